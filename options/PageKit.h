#pragma once
// What the options dialog's pages are built with: the design's sizes, the
// placing of a control and the captions around it, option groups, the file
// choosers' filters. Each page file (options/pages/) builds its controls with
// these and holds its handlers; frmOption.cpp stacks the pages.
#include "platform/Units.h"

#include <QList>
#include <QString>
#include <utility>

class QAbstractButton;
class QCheckBox;
class QComboBox;
class QFontMetrics;
class QGroupBox;
class QLabel;
class QObject;
class QWidget;

namespace optionpages {

// The design's sizes; the dialog only ever grows beyond them.
inline const int kClientWidth = platform::twipsToPixels(9570), kClientHeight = platform::twipsToPixels(5610);
inline const int kPageWidth = platform::twipsToPixels(8000), kPageHeight = platform::twipsToPixels(5000);
inline const int kPageButtonWidth = platform::twipsToPixels(1250), kPageButtonHeight = platform::twipsToPixels(833);

constexpr int kMargin = 8;        // inside a frame
constexpr int kGap = 4;           // between a control and its neighbour
constexpr int kChooserWidth = 26; // the "..." buttons
constexpr int kColourWidth = 48;

inline const QChar kIdeographicSpace(0x3000);

QString soundFilter();
QString panelImageFilter();

// Where a group box's contents may start below its title.
int titleInset(const QWidget *box);

// The height a control needs at a width: wrapping captions grow downwards.
int heightAt(const QWidget *w, int width);

// Places a control and returns its bottom edge.
int put(QWidget *w, int x, int y, int width, int minHeight = 0);

// Places a control at the width its caption needs.
int putNatural(QWidget *w, int x, int y);

QLabel *newLabel(QWidget *parent, const QString &text, bool wrap = false);
QGroupBox *newFrame(QWidget *parent, const QString &title);

// The n-th gap (a run of blanks) of a caption: its start and width in pixels
// from the caption's first character.
std::pair<int, int> gapSpan(const QFontMetrics &fm, const QString &caption, int n);

// Where a check box draws the first character of its caption.
int captionStart(const QCheckBox *box);

// Sets a control into the n-th gap of a caption drawn from textLeft, centred
// on the caption's line, so that the caption reads around it.
void putInGap(QWidget *control, const QWidget *captioned, int textLeft, const QString &caption, int n);

// The decimal texts 1..last, the first selected.
void fillNumbers(QComboBox *box, int last);

// An option group: exclusive, yet the forms kit can leave it with none
// selected. Tab stops once in a group, at the selected button, however it was
// selected; the arrow keys move within the group.
void groupButtons(QObject *owner, const QList<QAbstractButton *> &buttons);

template<typename... B>
void group(QObject *owner, B *...buttons)
{
    groupButtons(owner, {buttons...});
}

} // namespace optionpages
