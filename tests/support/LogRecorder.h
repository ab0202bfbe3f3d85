#pragma once
// Log lines kept for a test to read back.
#include <mutex>
#include <string>
#include <vector>

#include "engine/core/Log.h"

namespace vd {
namespace test {

// A sink that keeps every line, engine and script side alike, in the order written.
// The loading and render threads log too, so the list is guarded.
class CLogRecorder : public utl::ILogSink {
public:
  CLogRecorder() = default;
  // Also appends every line to `text`.
  explicit CLogRecorder(std::string* text) : m_text(text) {}
  // Also appends every line to `lines`; script lines get `scriptPrefix` in front there
  // and here, so that a test can tell the two sides apart.
  explicit CLogRecorder(std::vector<std::string>* lines, std::string scriptPrefix = "")
      : m_lines(lines), m_scriptPrefix(std::move(scriptPrefix)) {}

  void WriteScript(const char* text) override { Record(m_scriptPrefix + text); }
  void WriteEngine(const char* text) override { Record(text); }

  std::vector<std::string> Lines() const;
  // Every line, one after the other.
  std::string Text() const;
  // The lines that hold `part`.
  int Count(const std::string& part) const;
  // True when one line holds `part` and, when given, `also`.
  bool Contains(const std::string& part, const std::string& also = "") const;
  bool Empty() const;
  void Clear();

private:
  void Record(const std::string& line);

  mutable std::mutex m_mutex;
  std::vector<std::string> m_own;
  std::string* m_text = nullptr;
  std::vector<std::string>* m_lines = nullptr;
  std::string m_scriptPrefix;
};

// While it lives, the log writes to a holder of its own with one recorder; the holder
// in place before comes back afterwards.
class CLogCapture {
public:
  CLogCapture();
  ~CLogCapture();
  CLogCapture(const CLogCapture&) = delete;
  CLogCapture& operator=(const CLogCapture&) = delete;

  std::vector<std::string> Lines() const { return sink->Lines(); }
  std::string Text() const { return sink->Text(); }
  bool Contains(const std::string& part, const std::string& also = "") const {
    return sink->Contains(part, also);
  }

  CLogRecorder* sink;  // owned by the holder

private:
  utl::CLogSinkHolder m_holder;
  utl::CLogSinkHolder* m_previous;
};

}  // namespace test
}  // namespace vd
