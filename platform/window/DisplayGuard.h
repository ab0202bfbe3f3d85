#pragma once
// Keeps a lost X connection (a window closed by force) from ending the process.
struct SDL_Window;

namespace plat {

// Installs the guard for the window's display connection when it is an X11 one.
void GuardDisplayConnection(SDL_Window* window);
// True once the window system has dropped the connection.
bool DisplayLost();

}  // namespace plat
