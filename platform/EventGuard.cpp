#include "platform/EventGuard.h"

#include "core/VbError.h"
#include "platform/MsgBox.h"

#include <exception>
#include <new>

namespace platform {

void reportUnhandled(int number, const QString &description)
{
    MsgBox(QStringLiteral("実行時エラー '%1':\r\n\r\n%2").arg(number).arg(description), vbCritical);
}

void reportUnhandledCurrent()
{
    try {
        throw;
    } catch (const vb::Error &e) {
        reportUnhandled(e.number(), e.description());
    } catch (const std::bad_alloc &) {
        reportUnhandled(vb::ErrOutOfMemory, vb::Error::standardDescription(vb::ErrOutOfMemory));
    } catch (const std::exception &e) {
        reportUnhandled(vb::ErrInternal, QString::fromLocal8Bit(e.what()));
    } catch (...) {
        reportUnhandled(vb::ErrInternal, vb::Error::standardDescription(vb::ErrInternal));
    }
}

} // namespace platform
