#include "core/ExeName.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace core {

QString exeName()
{
    const QString name = QCoreApplication::instance()
                             ? QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName()
                             : QString();
    return name.isEmpty() ? QStringLiteral("427") : name;
}

} // namespace core
