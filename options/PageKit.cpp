#include "options/PageKit.h"

#include "forms/Values.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QStyle>
#include <QStyleOptionButton>

namespace optionpages {

QString soundFilter()
{
    const QChar nul(0);
    return QStringLiteral("Waveサウンド(*.wav)") + nul + QStringLiteral("*.wav") + nul
           + QStringLiteral("MP3サウンド(*.mp3)") + nul + QStringLiteral("*.mp3") + nul
           + QStringLiteral("MIDIシーケンス(*.mid)") + nul + QStringLiteral("*.mid") + nul + nul;
}

QString panelImageFilter()
{
    const QChar nul(0);
    return QStringLiteral("ビットマップ(*.bmp)") + nul + QStringLiteral("*.bmp") + nul
           + QStringLiteral("GIF画像(*.gif)") + nul + QStringLiteral("*.gif") + nul
           + QStringLiteral("JPEG画像(*.jpg)") + nul + QStringLiteral("*.jpg") + nul + nul;
}

// Where a group box's contents may start below its title.
int titleInset(const QWidget *box) { return box->fontMetrics().height() + 6; }

// The height a control needs at a width: wrapping captions grow downwards.
int heightAt(const QWidget *w, int width)
{
    return w->hasHeightForWidth() ? w->heightForWidth(width) : w->sizeHint().height();
}

// Places a control and returns its bottom edge.
int put(QWidget *w, int x, int y, int width, int minHeight)
{
    const int h = qMax(minHeight, heightAt(w, width));
    w->setGeometry(x, y, width, h);
    return y + h;
}

// Places a control at the width its caption needs.
int putNatural(QWidget *w, int x, int y) { return put(w, x, y, w->sizeHint().width()); }

QLabel *newLabel(QWidget *parent, const QString &text, bool wrap)
{
    auto *l = new QLabel(text, parent);
    l->setWordWrap(wrap);
    return l;
}

QGroupBox *newFrame(QWidget *parent, const QString &title)
{
    return new QGroupBox(title, parent);
}

// The n-th gap (a run of blanks) of a caption: its start and width in pixels
// from the caption's first character.
std::pair<int, int> gapSpan(const QFontMetrics &fm, const QString &caption, int n)
{
    const auto blank = [](QChar c) { return c == kIdeographicSpace || c == QLatin1Char(' '); };
    int found = -1;
    for (int i = 0; i < caption.size();) {
        if (!blank(caption[i])) {
            ++i;
            continue;
        }
        int j = i;
        while (j < caption.size() && blank(caption[j]))
            ++j;
        if (++found == n) {
            const int x0 = fm.horizontalAdvance(caption.left(i));
            return {x0, fm.horizontalAdvance(caption.left(j)) - x0};
        }
        i = j;
    }
    return {0, 0};
}

// Where a check box draws the first character of its caption.
int captionStart(const QCheckBox *box)
{
    QStyleOptionButton opt;
    opt.initFrom(box);
    opt.text = box->text();
    return box->style()->subElementRect(QStyle::SE_CheckBoxContents, &opt, box).left();
}

// Sets a control into the n-th gap of a caption drawn from textLeft, centred
// on the caption's line, so that the caption reads around it.
void putInGap(QWidget *control, const QWidget *captioned, int textLeft, const QString &caption, int n)
{
    const auto [x, width] = gapSpan(captioned->fontMetrics(), caption, n);
    const QRect at = captioned->geometry();
    const int h = control->sizeHint().height();
    control->setGeometry(at.left() + textLeft + x + 2, at.center().y() - h / 2 + 1, qMax(24, width - 4), h);
    control->raise();
}

void fillNumbers(QComboBox *box, int last)
{
    QStringList items;
    items.reserve(last);
    for (int n = 1; n <= last; ++n)
        items << QString::number(n);
    box->addItems(items);
    forms::setListIndex(*box, 0);
}

// An option group: exclusive, yet the forms kit can leave it with none
// selected. Tab stops once in a group, at the selected button, however it was
// selected; the arrow keys move within the group.
void groupButtons(QObject *owner, const QList<QAbstractButton *> &buttons)
{
    auto *g = new QButtonGroup(owner);
    for (QAbstractButton *b : buttons)
        g->addButton(b);
    QObject::connect(g, &QButtonGroup::buttonToggled, g, [g](QAbstractButton *selected, bool on) {
        if (on)
            for (QAbstractButton *b : g->buttons())
                b->setFocusPolicy(b == selected ? Qt::StrongFocus : Qt::ClickFocus);
    });
}

} // namespace optionpages
