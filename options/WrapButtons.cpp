#include "options/WrapButtons.h"

#include <QStyleOptionButton>
#include <QStylePainter>

namespace {

constexpr int kTextFlags = Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignVCenter;
constexpr int kPushPadding = 6; // each side, inside the bevel

QColor textColor(const QWidget &w)
{
    return w.palette().color(w.isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText);
}

} // namespace

QRect WrapRadioButton::textRect(int width) const
{
    const int indicator = style()->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth, nullptr, this)
                          + style()->pixelMetric(QStyle::PM_RadioButtonLabelSpacing, nullptr, this);
    return QRect(indicator, 0, qMax(1, width - indicator - 1), height());
}

int WrapRadioButton::heightForWidth(int width) const
{
    const QRect r = textRect(width);
    const int lines = fontMetrics().boundingRect(QRect(0, 0, r.width(), 100000), kTextFlags, text()).height();
    const int indicator = style()->pixelMetric(QStyle::PM_ExclusiveIndicatorHeight, nullptr, this);
    return qMax(lines, indicator) + 2;
}

QSize WrapRadioButton::sizeHint() const
{
    const QSize one = QRadioButton::sizeHint();
    return {one.width(), heightForWidth(one.width())};
}

void WrapRadioButton::paintEvent(QPaintEvent *)
{
    QStylePainter p(this);
    QStyleOptionButton opt;
    initStyleOption(&opt);
    opt.text.clear();
    p.drawControl(QStyle::CE_RadioButton, opt);
    p.setPen(textColor(*this));
    p.drawText(textRect(width()), kTextFlags, text());
}

int WrapPushButton::heightForWidth(int width) const
{
    const QRect r(0, 0, qMax(1, width - 2 * kPushPadding), 100000);
    return fontMetrics().boundingRect(r, Qt::TextWordWrap | Qt::AlignCenter, text()).height() + 2 * kPushPadding;
}

void WrapPushButton::paintEvent(QPaintEvent *)
{
    QStylePainter p(this);
    QStyleOptionButton opt;
    initStyleOption(&opt);
    opt.text.clear();
    p.drawControl(QStyle::CE_PushButton, opt);
    p.setPen(opt.palette.color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
    p.drawText(rect().adjusted(kPushPadding, kPushPadding, -kPushPadding, -kPushPadding),
               Qt::TextWordWrap | Qt::AlignCenter, text());
}
