#pragma once
// The pictures stored with the window layouts (the banner logo, the toolbar icons) are Qt
// resources compiled into the shell library; a static library must register them by hand.

namespace korvid {

// Registers the layout resources once; later calls do nothing.
void InitLayoutResources();

}  // namespace korvid
