#pragma once
// The controls name Windows font faces; here they resolve to the installed
// Japanese faces through Qt's substitution table. Call once at start.
namespace platform {

void installFontSubstitutions();

} // namespace platform
