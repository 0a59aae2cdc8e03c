#include "forms/Values.h"

#include "core/VbError.h"
#include "platform/Units.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QVariant>

namespace forms {

namespace {

const char *const kFaceColor = "faceColor";

[[noreturn]] void invalidValue() { vb::raise(vb::ErrInvalidPropertyValue); }

} // namespace

int16_t checkValue(const QCheckBox &box)
{
    // Qt counts partially checked as 1 and checked as 2; the board counts the other way.
    switch (box.checkState()) {
    case Qt::Checked: return 1;
    case Qt::PartiallyChecked: return 2;
    default: return 0;
    }
}

void setCheckValue(QCheckBox &box, int value)
{
    if (value < 0 || value > 2)
        invalidValue();
    box.setTristate(value == 2);
    box.setCheckState(value == 1 ? Qt::Checked : value == 2 ? Qt::PartiallyChecked : Qt::Unchecked);
}

int16_t optionValue(const QAbstractButton &button)
{
    return button.isChecked() ? -1 : 0;
}

void setOptionValue(QAbstractButton &button, int value)
{
    const bool on = value != 0;
    if (on || !button.isChecked()) {
        button.setChecked(on);
        return;
    }
    // Exclusive buttons refuse to be unchecked directly: lift the exclusion
    // for the moment of the change only.
    QButtonGroup *group = button.group();
    const bool groupExclusive = group && group->exclusive();
    const bool autoExclusive = button.autoExclusive();
    if (groupExclusive)
        group->setExclusive(false);
    button.setAutoExclusive(false);
    button.setChecked(false);
    button.setAutoExclusive(autoExclusive);
    if (groupExclusive)
        group->setExclusive(true);
}

int16_t listIndex(const QComboBox &box)
{
    return int16_t(box.currentIndex());
}

void setListIndex(QComboBox &box, int index)
{
    if (index < -1 || index >= box.count())
        invalidValue();
    box.setCurrentIndex(index);
}

int16_t listIndex(const QListWidget &list)
{
    return int16_t(list.currentRow());
}

void setListIndex(QListWidget &list, int index)
{
    if (index < -1 || index >= list.count())
        invalidValue();
    list.setCurrentRow(index);
}

QString text(const QLineEdit &box)
{
    return box.text();
}

void setText(QLineEdit &box, const QString &text)
{
    box.setText(text);
}

uint32_t faceColor(const QAbstractButton &button)
{
    const QVariant v = button.property(kFaceColor);
    return v.isValid() ? v.toUInt() : platform::toOle(button.palette().color(QPalette::Button));
}

void setFaceColor(QAbstractButton &button, uint32_t color)
{
    button.setProperty(kFaceColor, color);
    QPalette pal = button.palette();
    pal.setColor(QPalette::Button, platform::fromOle(color));
    button.setPalette(pal);
    button.setAutoFillBackground(true);
    button.setAccessibleDescription(platform::fromOle(color).name());
}

QString caption(const QLabel &label)
{
    return label.text();
}

void setCaption(QLabel &label, const QString &text)
{
    label.setText(text);
    label.setAccessibleDescription(text);
}

} // namespace forms
