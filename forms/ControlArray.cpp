#include "forms/ControlArray.h"

namespace forms {

QString elementName(const QString &arrayName, int index)
{
    return QStringLiteral("%1(%2)").arg(arrayName).arg(index);
}

void nameControl(QWidget &w, const QString &name, Naming naming)
{
    w.setObjectName(name);
    if (naming == Naming::Auto) {
        const auto *button = qobject_cast<const QAbstractButton *>(&w);
        const auto *group = qobject_cast<const QGroupBox *>(&w);
        const auto *label = qobject_cast<const QLabel *>(&w);
        const bool captioned = (button && !button->text().isEmpty()) || (group && !group->title().isEmpty())
                               || (label && !label->text().isEmpty());
        naming = captioned ? Naming::ByCaption : Naming::ByName;
    }
    if (naming == Naming::ByName)
        w.setAccessibleName(name);
}

} // namespace forms
