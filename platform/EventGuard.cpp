#include "platform/EventGuard.h"

#include "core/VbError.h"
#include "platform/MsgBox.h"

namespace platform {

void reportUnhandled(int number, const QString &description)
{
    MsgBox(QStringLiteral("実行時エラー '%1':\r\n\r\n%2").arg(number).arg(description), vbCritical);
}

void reportUnhandledCurrent()
{
    const vb::Error e = vb::currentError();
    reportUnhandled(e.number(), e.description());
}

} // namespace platform
