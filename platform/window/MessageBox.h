#pragma once
// Message boxes go through a replaceable sink so that nothing ever blocks on a
// dialog when there is no display, and tests can record what would be shown.
#include <mutex>
#include <string>
#include <vector>

namespace plat {

struct Window;  // platform/window/Window.h

constexpr unsigned kMbOk = 0x00;
constexpr unsigned kMbIconError = 0x10;
constexpr unsigned kMbIconExclamation = 0x30;
constexpr unsigned kMbIconInformation = 0x40;
constexpr int kIdOk = 1;

struct MessageBoxRequest {
  const Window* owner;  // null when shown without an owner window
  std::string text;
  std::string caption;  // empty when none was given
  unsigned style;
};

class IMessageSink {
public:
  virtual ~IMessageSink() = default;
  virtual int Show(const MessageBoxRequest& request) = 0;
};

// An SDL message box where a display exists, standard error where none does.
class DefaultMessageSink : public IMessageSink {
public:
  int Show(const MessageBoxRequest& request) override;
  static bool DisplayAvailable();
};

// Keeps every request; returns IDOK at once.
class RecordingMessageSink : public IMessageSink {
public:
  int Show(const MessageBoxRequest& request) override;
  std::vector<MessageBoxRequest> Requests() const;
  void Clear();

private:
  mutable std::mutex m_mutex;
  std::vector<MessageBoxRequest> m_requests;
};

// Installs a sink (null restores the default); returns the previous one.
IMessageSink* SetMessageSink(IMessageSink* sink);
int MessageBox(const Window* owner, const char* text, const char* caption, unsigned style);

}  // namespace plat
