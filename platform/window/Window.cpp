#include "platform/window/Window.h"

#include <SDL.h>

#include <cstring>
#include <mutex>

#include "platform/thread/Thread.h"
#include "platform/window/DisplayGuard.h"
#include "platform/window/Resources.h"

namespace plat {

namespace {

std::mutex g_videoMutex;
int g_videoUsers = 0;  // windows alive (each holds SDL video)
int g_desktopW = 0, g_desktopH = 0;
std::atomic<bool> g_quitPending{false};
std::atomic<int> g_quitCode{0};
std::atomic<int> g_cursorCount{0};

bool g_videoKept = false;  // a window has brought video up for good

// With no display SDL falls back to its offscreen driver: a window nobody sees, and a
// game that runs for ever. That driver (or the dummy one) is taken only when asked for.
bool DriverAllowed(std::string* error) {
  const char* driver = SDL_GetCurrentVideoDriver();
  if (!driver) driver = "";
  if (std::strcmp(driver, "offscreen") != 0 && std::strcmp(driver, "dummy") != 0) return true;
  const char* asked = SDL_GetHint(SDL_HINT_VIDEODRIVER);  // also reads SDL_VIDEODRIVER
  if (asked && std::strstr(asked, driver)) return true;
  if (error) {
    *error = std::string(kNoDisplay) +
             ": no X11 or Wayland display answered (DISPLAY, WAYLAND_DISPLAY); "
             "SDL_VIDEODRIVER=offscreen runs without one";
  }
  return false;
}

// Brings SDL video up; false when it cannot start or only found a hidden stand-in.
bool StartVideo(std::string* error) {
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    if (error) *error = std::string(kNoDisplay) + ": SDL video could not start: " + SDL_GetError();
    return false;
  }
  if (!DriverAllowed(error)) {
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return false;
  }
  return true;
}

bool InitVideoLocked(std::string* error) {
  if (!g_videoKept && !StartVideo(error)) return false;
  ++g_videoUsers;
  if (!g_videoKept) {
    // One extra hold on the GL library: SDL unloads it with the last GL window,
    // and the driver's threads and memory would go with it mid-process.
    SDL_GL_LoadLibrary(nullptr);
  }
  g_videoKept = true;
  SDL_DisplayMode mode;
  if (SDL_GetDesktopDisplayMode(0, &mode) == 0) {
    g_desktopW = mode.w;
    g_desktopH = mode.h;
  }
  return true;
}

void ApplyCursor() {
  int want = g_cursorCount.load() >= 0 ? SDL_ENABLE : SDL_DISABLE;
  if (SDL_ShowCursor(SDL_QUERY) != want) SDL_ShowCursor(want);
}

}  // namespace

bool GetDesktopSize(int* width, int* height) {
  std::lock_guard<std::mutex> lock(g_videoMutex);
  bool ok = true;
  if (g_videoUsers == 0 && !g_videoKept) {
    // No window yet: bring video up just for the question, then down again so
    // that the render thread owns it once it creates the window.
    ok = StartVideo(nullptr);
    if (ok) {
      SDL_DisplayMode mode;
      ok = SDL_GetDesktopDisplayMode(0, &mode) == 0;
      if (ok) {
        g_desktopW = mode.w;
        g_desktopH = mode.h;
      }
      SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }
  }
  if (!ok) g_desktopW = g_desktopH = 0;
  if (width) *width = g_desktopW;
  if (height) *height = g_desktopH;
  return ok && g_desktopW > 0;
}

bool CheckDisplay(std::string* error) {
  std::lock_guard<std::mutex> lock(g_videoMutex);
  if (g_videoKept) return true;
  if (!StartVideo(error)) return false;
  // Down again: the render thread owns video once it creates the window.
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
  return true;
}

std::unique_ptr<Window> Window::Create(const WindowDesc& desc, std::string* error) {
  if (desc.width <= 0 || desc.height <= 0) {
    if (error) *error = "window size must be positive";
    return nullptr;
  }
  std::unique_ptr<Window> window(new Window());
  {
    std::lock_guard<std::mutex> lock(g_videoMutex);
    if (!InitVideoLocked(error)) return nullptr;
    window->m_videoInitHere = true;
  }
  char title[256];
  LoadString(kStringAppTitle, title, sizeof title);
  Uint32 flags = 0;
  if (desc.openGL) flags |= SDL_WINDOW_OPENGL;
  flags |= desc.visible ? SDL_WINDOW_SHOWN : SDL_WINDOW_HIDDEN;
  if (desc.resizable) flags |= SDL_WINDOW_RESIZABLE;
  if (desc.fullScreen) flags |= SDL_WINDOW_FULLSCREEN;
  int x = desc.x < 0 ? static_cast<int>(SDL_WINDOWPOS_CENTERED) : desc.x;
  int y = desc.y < 0 ? static_cast<int>(SDL_WINDOWPOS_CENTERED) : desc.y;
  if (desc.openGL) {
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    // The device draws into its own buffers; the window needs colour only.
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
  }
  window->m_window = SDL_CreateWindow(title, x, y, desc.width, desc.height, flags);
  if (!window->m_window) {
    if (error) *error = std::string("the window could not be created: ") + SDL_GetError();
    return nullptr;  // the destructor gives video back
  }
  if (const Icon* icon = LoadIcon(kIconApp)) {
    SDL_Surface* surface =
        SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint8_t*>(icon->rgba.data()), icon->size,
                                           icon->size, 32, icon->size * 4, SDL_PIXELFORMAT_RGBA32);
    if (surface) {
      SDL_SetWindowIcon(window->m_window, surface);
      SDL_FreeSurface(surface);
    }
  }
  window->m_owner = CurrentThreadId();
  GuardDisplayConnection(window->m_window);
  ApplyCursor();
  return window;
}

Window::~Window() {
  // With the display gone, SDL would wait for ever for the window's unmap notice: the
  // window went with the connection, so there is nothing left to destroy.
  if (m_window && !DisplayLost()) SDL_DestroyWindow(m_window);
  if (m_videoInitHere) {
    // Video stays up once a window has existed: shutting it down unloads the GL
    // driver, and the next window would load it again for nothing.
    std::lock_guard<std::mutex> lock(g_videoMutex);
    --g_videoUsers;
  }
}

PumpMessage Window::Pump() {
  ApplyCursor();
  if (g_quitPending.exchange(false)) {
    m_quitCode = g_quitCode.load();
    return PumpMessage::Quit;
  }
  // Nothing more comes from a display that is gone.
  if (DisplayLost()) {
    m_quitCode = 0;
    return PumpMessage::Quit;
  }
  SDL_Event event;
  if (SDL_PollEvent(&event) == 0) return PumpMessage::None;
  if (event.type == SDL_QUIT) {
    m_quitCode = 0;
    return PumpMessage::Quit;
  }
  return PumpMessage::Other;
}

// A flag rather than an SDL event: it works before video exists and from threads
// that SDL's event queue does not know.
void PostQuit(int exitCode) {
  g_quitCode = exitCode;
  g_quitPending = true;
}

bool QuitPending() { return g_quitPending.load(); }

int ShowCursor(bool show) { return show ? ++g_cursorCount : --g_cursorCount; }

void Window::SetPos(int x, int y, int width, int height, unsigned flags) {
  if (!m_window) return;
  if (!(flags & kSwpNoSize) && width > 0 && height > 0) SDL_SetWindowSize(m_window, width, height);
  if (!(flags & kSwpNoMove)) SDL_SetWindowPosition(m_window, x, y);
  if (flags & kSwpShowWindow) SDL_ShowWindow(m_window);
  if (flags & kSwpHideWindow) SDL_HideWindow(m_window);
}

void Window::SetPosition(int x, int y) { SetPos(x, y, 0, 0, kSwpNoSize | kSwpNoZOrder); }

void Window::Resize(int width, int height) {
  SetPos(0, 0, width, height, kSwpNoMove | kSwpNoZOrder);
}

void Window::CentreOnDesktop() {
  if (!m_window) return;
  int dw = 0, dh = 0;
  {
    std::lock_guard<std::mutex> lock(g_videoMutex);
    dw = g_desktopW;
    dh = g_desktopH;
  }
  int x = (dw - Width()) / 2, y = (dh - Height()) / 2;
  SetPosition(x < 0 ? 0 : x, y < 0 ? 0 : y);
}

void Window::Show(bool show) {
  if (!m_window) return;
  if (show)
    SDL_ShowWindow(m_window);
  else
    SDL_HideWindow(m_window);
}

void Window::SetFullScreen(bool fullScreen) {
  if (m_window) SDL_SetWindowFullscreen(m_window, fullScreen ? SDL_WINDOW_FULLSCREEN : 0);
}

int Window::X() const {
  int x = 0, y = 0;
  if (m_window) SDL_GetWindowPosition(m_window, &x, &y);
  return x;
}

int Window::Y() const {
  int x = 0, y = 0;
  if (m_window) SDL_GetWindowPosition(m_window, &x, &y);
  return y;
}

int Window::Width() const {
  int w = 0, h = 0;
  if (m_window) SDL_GetWindowSize(m_window, &w, &h);
  return w;
}

int Window::Height() const {
  int w = 0, h = 0;
  if (m_window) SDL_GetWindowSize(m_window, &w, &h);
  return h;
}

bool Window::Minimised() const {
  return m_window && (SDL_GetWindowFlags(m_window) & SDL_WINDOW_MINIMIZED) != 0;
}

bool Window::Visible() const {
  return m_window && (SDL_GetWindowFlags(m_window) & SDL_WINDOW_SHOWN) != 0;
}

bool Window::FullScreen() const {
  return m_window && (SDL_GetWindowFlags(m_window) & SDL_WINDOW_FULLSCREEN) != 0;
}

std::string Window::Title() const { return m_window ? SDL_GetWindowTitle(m_window) : ""; }

}  // namespace plat

namespace plat {

int Window::RefreshRate() const {
  if (!m_window) return 0;
  SDL_DisplayMode mode;
  if (SDL_GetWindowDisplayMode(m_window, &mode) == 0 && mode.refresh_rate > 0)
    return mode.refresh_rate;
  const int display = SDL_GetWindowDisplayIndex(m_window);
  if (display >= 0 && SDL_GetCurrentDisplayMode(display, &mode) == 0) return mode.refresh_rate;
  return 0;
}

bool Window::OnDisplay() const {
  const char* driver = SDL_GetCurrentVideoDriver();
  return m_window && driver && std::strcmp(driver, "offscreen") != 0 &&
         std::strcmp(driver, "dummy") != 0;
}

}  // namespace plat
