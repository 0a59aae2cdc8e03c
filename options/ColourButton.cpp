#include "options/ColourButton.h"

#include "forms/Values.h"
#include "platform/Units.h"

#include <QPainter>

ColourButton::ColourButton(QWidget *parent)
    : QPushButton(parent)
{
    setAutoDefault(false);
}

int ColourButton::frameWidth() const
{
    return hasFocus() || isDown() ? 2 : 1;
}

void ColourButton::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const QPalette &pal = palette();
    // The focus shows in the frame, so the colour itself is never covered.
    const QColor frame = !isEnabled() ? pal.color(QPalette::Disabled, QPalette::Dark)
                         : hasFocus()  ? pal.color(QPalette::Active, QPalette::Highlight)
                         : isDown()    ? pal.color(QPalette::Active, QPalette::Shadow)
                                       : pal.color(QPalette::Active, QPalette::Dark);
    p.fillRect(rect(), frame);
    const int f = frameWidth();
    p.fillRect(rect().adjusted(f, f, -f, -f), platform::fromOle(forms::faceColor(*this)));
}
