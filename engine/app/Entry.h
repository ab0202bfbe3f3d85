#pragma once

namespace vd {
namespace sys {

class CApplicationBase;

// Made by the game: allocates and constructs the one application object.
CApplicationBase* CreateApplication();

// The program: creates the application through `create`, runs start-up, the game
// and shutdown, deletes it. Returns 0, also after a failed start-up.
int RunApplication(CApplicationBase* (*create)());

}  // namespace sys
}  // namespace vd
