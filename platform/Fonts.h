#pragma once
// The controls name Windows font faces; here they resolve to the installed
// Japanese faces through Qt's substitution table. Call once at start.
namespace platform {

void installFontSubstitutions();

// Counts the changes of the installed fonts (an application font added, a
// substitution's target appearing). Drawings kept from an earlier count may
// have been made with a stand-in face and are drawn again.
unsigned long long fontGeneration();

} // namespace platform
