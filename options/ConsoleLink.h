#pragma once
// What the options dialog needs of the console, and no more: the ride (for
// the backlight state its buttons show), the backlight applied to the
// panel, the ticket preview's size and the plug-in's company list. The
// console fills it in; the options never see the console's window.
#include <functional>

class QComboBox;

namespace ride {
class Ride;
}

namespace options {

struct ConsoleLink {
    const ride::Ride *ride = nullptr;
    std::function<void(int state)> showBacklight; // the console's Option4_Click
    std::function<void(int width, int height)> sizePreview;
    QComboBox *companies = nullptr; // the console's Combo1
};

// The console's side, the console created hidden on first use as its
// accessor does.
const ConsoleLink &console();
// Set once by the console's own file.
using OpenConsole = const ConsoleLink &(*)();
void setConsoleOpener(OpenConsole open);

} // namespace options
