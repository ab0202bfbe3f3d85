#pragma once
#include <string>

namespace vd {
namespace sys {

class CApplicationBase;

// Made by the game: allocates and constructs the one application object.
CApplicationBase* CreateApplication();

// The file whose presence marks a folder as the root of the game's data tree.
constexpr const char* kDataMarker = "Data/xml/gameconfig.xml";

// Makes the folder that holds the data tree the working directory, since every data
// path is relative to it: the working directory when it has one, else the nearest
// folder at or above the executable's own folder (`exePath`, e.g. /proc/self/exe
// resolved) that has one. False when neither has it; `looked` then says where the
// search went.
bool EnterDataRoot(const std::string& exePath, std::string* looked);

// The running program's own file (/proc/self/exe); empty when unknown.
std::string ExecutablePath();

// The program: finds the data tree and a display, creates the application through
// `create`, runs start-up, the game and shutdown, deletes it. Returns 0 after a game
// that started and ended, non-zero when the data, the display or start-up failed.
int RunApplication(CApplicationBase* (*create)());

}  // namespace sys
}  // namespace vd
