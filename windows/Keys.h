#pragma once
// Keys for the console's stepping buttons and the full-screen panel, for a
// rider at an event (a foot pedal or a presenter's clicker sends Page Up and
// Page Down). Each key presses its button, so a disabled button stays deaf,
// and works while the console, the panel or the full-screen panel is the
// active window; nothing changes for a user who does not press them.
#include <QList>

class QAction;
class QWidget;

namespace keys {

// The actions, made once on first use and owned by the console.
const QList<QAction *> &actions();
// Lets a window take the keys: the console and the panel from start-up (the
// full-screen panel takes the panel's, the console's menu lists its own).
void attach(QWidget &window);

} // namespace keys
