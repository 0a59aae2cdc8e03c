#pragma once
// The panel shown large on a screen of its own, for viewing from a distance:
// a full-screen window that paints the panel enlarged by a whole number of
// device pixels, centred on black. The panel window itself goes under it on
// that screen, so everything that writes to it works as before; leaving puts
// it back where it was.
#include <QRect>
#include <QSize>
#include <QString>

class QMenu;
class QWidget;

namespace panelscreen {

// How a panel of `panel` pixels fits a screen of `screen` device pixels: the
// largest whole factor (at least 1) and the centred place in device pixels.
struct Fit {
    int factor = 1;
    QRect target;
};
Fit fit(QSize panel, QSize screen);

// Shows the panel on screen `index` of the screens the system lists; false
// when there is no such screen (nothing changes). Showing it on another
// screen while shown moves it there.
bool show(int index);
// Back to the panel's own window, where it was; nothing when not shown.
void restore();
// Full screen on the panel's own screen, or back: what the menu's check item does.
void toggle();
bool active();
int screenIndex(); // -1 when not shown
QWidget *view();   // the full-screen window while shown

// The console menu's entry "パネルを全画面表示": with one screen a check
// item; with several a list of screens to choose from while not shown.
void addMenuEntry(QMenu &menu);
QString entryCaption();

} // namespace panelscreen
