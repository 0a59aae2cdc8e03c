#pragma once
// Text boxes whose text goes to the settings file hold no more than it can
// store; what does not fit is refused in the box, where the user sees it.
class QLineEdit;

namespace storedtext {

// Lets the box hold a stored text whole, and cuts typing and pasting at the
// settings file's limit with a note beside the box.
void limitBox(QLineEdit &box);

} // namespace storedtext
