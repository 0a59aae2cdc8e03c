#pragma once
// The panel's window size: the design's window (x1), or two or three times
// it, every pixel a sharp square. The enlarged sizes are a view over the
// panel's own window, which stays beneath at the same top-left, so the saved
// position keeps the x1 window's meaning. The choice is a per-user preference
// in a file of its own (panel.conf), never in the settings file.
#include <QByteArray>
#include <QString>

class QMenu;
class QWidget;

namespace panelsize {

constexpr int kLargest = 3;

// The size chosen, 1 to kLargest.
int size();
// Chooses a size: shown at once (leaving full screen), kept in the preference
// file. False for a size other than 1 to kLargest (nothing changes).
bool set(int factor);
// Shows the chosen size: at start-up once the panel stands in its place, and
// again when the panel leaves full screen.
void apply();
// Takes the enlarged window away while the panel is full screen.
void suspend();
// The enlarged window while one is shown (null at x1 and in full screen).
QWidget *view();

// The preference file and its reading: the size, or 1 for anything else.
QString settingsFile();
int parse(const QByteArray &bytes);
void load(); // reads the file into size(); at start-up

// The panel's menu: the three sizes, then the full-screen entry.
void addMenuEntries(QMenu &menu);
QString entryCaption(int factor);
// The panel's menu on a right-click, and Ctrl+1, Ctrl+2 and Ctrl+3 for the sizes.
void attach(QWidget &panel);

} // namespace panelsize
