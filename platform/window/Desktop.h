#pragma once

namespace plat {

// The size of the primary display, asked before the window thread exists; false when
// no display can be opened.
bool QueryDesktopSize(int& width, int& height);

}  // namespace plat
