#include "engine/core/Log.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "platform/crt/Crt.h"

namespace vd {
namespace utl {

namespace {
std::atomic<CLogSinkHolder*> g_holder{nullptr};
}

CLogSinkHolder::~CLogSinkHolder() {
  RemoveAllSinks();
  if (g_holder.load() == this) g_holder = nullptr;
}

bool CLogSinkHolder::AddSink(ILogSink* sink) {
  if (!sink) return false;
  if (count >= kMaxSinks) {
    delete sink;
    return false;
  }
  sinks[count++] = sink;
  return true;
}

void CLogSinkHolder::RemoveAllSinks() {
  for (int i = 0; i < count; ++i) {
    delete sinks[i];
    sinks[i] = nullptr;
  }
  count = 0;
}

void CLogSinkHolder::WriteEngine(const char* text) const {
  for (int i = 0; i < count; ++i)
    if (sinks[i] && sinks[i]->enabled) sinks[i]->WriteEngine(text);
}

void CLogSinkHolder::WriteScript(const char* text) const {
  for (int i = 0; i < count; ++i)
    if (sinks[i] && sinks[i]->enabled) sinks[i]->WriteScript(text);
}

void CLogSinkHolder::AddDebugVariable(const char* name, void* address, int type, float value) {
  debugVariables.push_back(SDebugVariable{name, address, type, value});
}

void SetLogSinks(CLogSinkHolder* holder) { g_holder = holder; }
CLogSinkHolder* GetLogSinks() { return g_holder.load(); }

void LogPrintf(const char* format, ...) {
  CLogSinkHolder* holder = g_holder.load();
  if (!holder || !format) return;
  char buffer[CLogSinkHolder::kBufferSize];
  va_list args;
  va_start(args, format);
  int n = plat::FormatV(buffer, sizeof buffer, format, args);
  va_end(args);
  if (n < 2) return;
  holder->WriteEngine(buffer);
}

void Log(const char* text) {
  CLogSinkHolder* holder = g_holder.load();
  if (!holder || !text) return;
  holder->WriteScript(text);
}

void CConsoleLogSink::WriteScript(const char* text) {
  std::fputs(text, stderr);
  size_t n = std::strlen(text);
  if (n == 0 || text[n - 1] != '\n') std::fputc('\n', stderr);
}

void CConsoleLogSink::WriteEngine(const char* text) { std::fputs(text, stderr); }

}  // namespace utl
}  // namespace vd
