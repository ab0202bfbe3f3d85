#pragma once
// The application window over SDL2. Video, the window, its event pump and the GL
// context belong to the thread that creates the window (the render thread); only
// the desktop size, PostQuit and the cursor counter may be used from other threads.
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

struct SDL_Window;

namespace plat {

// SetWindowPos flags (Win32 values) understood by Window::SetPos.
constexpr unsigned kSwpNoSize = 0x0001;
constexpr unsigned kSwpNoMove = 0x0002;
constexpr unsigned kSwpNoZOrder = 0x0004;
constexpr unsigned kSwpShowWindow = 0x0040;
constexpr unsigned kSwpHideWindow = 0x0080;

// The size of the desktop of the first display. Usable from any thread, also before
// any window exists; false (and 0 x 0) when there is no video at all.
bool GetDesktopSize(int* width, int* height);

// The start of the reason CheckDisplay and Window::Create give when no display exists.
constexpr const char* kNoDisplay = "no display";

// True when a window can be shown: SDL video starts, and on a display unless the
// offscreen or dummy driver was asked for (SDL_VIDEODRIVER). Otherwise false with a
// reason starting with kNoDisplay. Any thread, before the first window exists.
bool CheckDisplay(std::string* error);

// One message taken from the pump.
enum class PumpMessage { None, Quit, Other };

struct WindowDesc {
  int x = -1, y = -1;  // -1: centred on the desktop
  int width = 800, height = 600;
  bool visible = true;  // shown at once
  bool resizable = false;
  bool fullScreen = false;
  bool openGL = true;  // the window will carry a GL context (platform/gpu)
};

struct Window {
  // Creates SDL video (when not yet created on this thread) and the window, titled
  // with string 40000 and carrying icon 112. Null with a reason in `error` on failure.
  static std::unique_ptr<Window> Create(const WindowDesc& desc, std::string* error = nullptr);
  ~Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  // Non-blocking: takes at most one message. Quit when PostQuit was called (from any
  // thread), the user closed the window, or the window system dropped the connection
  // (a forced close); Other for any other message; None when the queue is empty.
  PumpMessage Pump();
  // The exit code given with the quit that Pump last reported.
  int QuitCode() const { return m_quitCode; }

  // Win32 SetWindowPos: position and/or size (client size), show/hide.
  void SetPos(int x, int y, int width, int height, unsigned flags);
  void SetPosition(int x, int y);
  void Resize(int width, int height);
  void CentreOnDesktop();
  void Show(bool show);
  void SetFullScreen(bool fullScreen);

  int X() const;
  int Y() const;
  int Width() const;  // client area
  int Height() const;
  bool Minimised() const;
  bool Visible() const;
  bool FullScreen() const;
  std::string Title() const;
  // The refresh rate of the display the window is on, in Hz; 0 when it is unknown.
  int RefreshRate() const;
  // False under the offscreen and dummy drivers, where nothing is shown.
  bool OnDisplay() const;

  SDL_Window* Handle() const { return m_window; }
  // The thread that created the window (and pumps it).
  uint64_t OwnerThread() const { return m_owner; }

private:
  Window() = default;
  SDL_Window* m_window = nullptr;
  uint64_t m_owner = 0;
  int m_quitCode = 0;
  bool m_videoInitHere = false;
};

// PostQuitMessage: any thread. The next Pump of the window reports Quit once.
void PostQuit(int exitCode = 0);
// True while a posted quit is waiting to be pumped (for tests and start-up code).
bool QuitPending();

// Win32 ShowCursor: adds 1 (show) or takes 1 (hide) from a display counter and
// returns the new count; the cursor is visible while the count is 0 or more. Any
// thread; the window thread applies it at its next Pump.
int ShowCursor(bool show);

}  // namespace plat
