#pragma once
// The application log: printf-style lines handed to up to four sinks.
#include <cstdint>
#include <list>

namespace vd {
namespace utl {

class ILogSink {
public:
  virtual ~ILogSink() = default;
  virtual void WriteScript(const char* text) = 0;
  virtual void WriteEngine(const char* text) = 0;

  uint8_t enabled = 1;
};

// A variable shown by debugging tools; nothing in the engine reads the list.
struct SDebugVariable {
  const char* name;
  void* address;
  int type;
  float value;
};

class CLogSinkHolder {
public:
  static constexpr int kMaxSinks = 4;
  static constexpr int kBufferSize = 500;

  CLogSinkHolder() = default;
  ~CLogSinkHolder();
  CLogSinkHolder(const CLogSinkHolder&) = delete;
  CLogSinkHolder& operator=(const CLogSinkHolder&) = delete;

  // Takes ownership; false (and the sink deleted) when all four places are taken.
  bool AddSink(ILogSink* sink);
  void RemoveAllSinks();
  int Count() const { return count; }
  ILogSink* Sink(int i) const { return i >= 0 && i < count ? sinks[i] : nullptr; }

  void WriteEngine(const char* text) const;
  void WriteScript(const char* text) const;

  void AddDebugVariable(const char* name, void* address, int type, float value);
  void ClearDebugVariables() { debugVariables.clear(); }

  ILogSink* sinks[kMaxSinks] = {nullptr, nullptr, nullptr, nullptr};
  int count = 0;
  std::list<SDebugVariable> debugVariables;
};

// The holder that the log writes to: the application's, set by its constructor.
void SetLogSinks(CLogSinkHolder* holder);
CLogSinkHolder* GetLogSinks();

// Texts longer than 499 characters are cut to 499; texts of 0 or 1 character are
// dropped.
void LogPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));
// The scripts' log: the text as it is, to every enabled sink's script side.
void Log(const char* text);

// Writes engine and script lines to standard error.
class CConsoleLogSink : public ILogSink {
public:
  void WriteScript(const char* text) override;
  void WriteEngine(const char* text) override;
};

}  // namespace utl
}  // namespace vd
