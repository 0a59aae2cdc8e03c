#pragma once
// The executable's base name is the board's model number ("427"): the panel's
// caption, the settings file name and the sound channel aliases are made from it.
#include <QString>

namespace core {

// The running executable's name without its folder and extension; "427" when
// no application object exists yet.
QString exeName();

} // namespace core
