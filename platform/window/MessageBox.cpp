#include "platform/window/MessageBox.h"

#include <SDL.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace plat {

namespace {
DefaultMessageSink g_defaultSink;
std::atomic<IMessageSink*> g_sink{&g_defaultSink};
}  // namespace

bool DefaultMessageSink::DisplayAvailable() {
  const char* driver = std::getenv("SDL_VIDEODRIVER");
  if (driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0))
    return false;
  const char* x = std::getenv("DISPLAY");
  const char* wl = std::getenv("WAYLAND_DISPLAY");
  return (x && *x) || (wl && *wl);
}

int DefaultMessageSink::Show(const MessageBoxRequest& request) {
  const char* title = request.caption.empty() ? "Error" : request.caption.c_str();
  if (DisplayAvailable()) {
    Uint32 flags = SDL_MESSAGEBOX_INFORMATION;
    if ((request.style & 0xF0) == kMbIconError) flags = SDL_MESSAGEBOX_ERROR;
    if ((request.style & 0xF0) == kMbIconExclamation) flags = SDL_MESSAGEBOX_WARNING;
    // The window itself belongs to the render thread; the box is never parented to it.
    if (SDL_ShowSimpleMessageBox(flags, title, request.text.c_str(), nullptr) == 0) return kIdOk;
  }
  std::fprintf(stderr, "%s: %s\n", title, request.text.c_str());
  std::fflush(stderr);
  return kIdOk;
}

int RecordingMessageSink::Show(const MessageBoxRequest& request) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_requests.push_back(request);
  return kIdOk;
}

std::vector<MessageBoxRequest> RecordingMessageSink::Requests() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_requests;
}

void RecordingMessageSink::Clear() {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_requests.clear();
}

IMessageSink* SetMessageSink(IMessageSink* sink) {
  IMessageSink* previous = g_sink.exchange(sink ? sink : &g_defaultSink);
  return previous == &g_defaultSink ? nullptr : previous;
}

int MessageBox(const Window* owner, const char* text, const char* caption, unsigned style) {
  MessageBoxRequest request{owner, text ? text : "", caption ? caption : "", style};
  return g_sink.load()->Show(request);
}

}  // namespace plat
