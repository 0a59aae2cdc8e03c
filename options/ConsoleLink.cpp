#include "options/ConsoleLink.h"

#include "core/VbError.h"

namespace options {
namespace {
OpenConsole g_open = nullptr;
} // namespace

const ConsoleLink &console()
{
    if (!g_open)
        vb::raise(vb::ErrInternal); // a program built without its console
    return g_open();
}

void setConsoleOpener(OpenConsole open) { g_open = open; }

} // namespace options
