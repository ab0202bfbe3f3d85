#include "tests/support/LogRecorder.h"

namespace vd {
namespace test {

void CLogRecorder::Record(const std::string& line) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_own.push_back(line);
  if (m_text) *m_text += line;
  if (m_lines) m_lines->push_back(line);
}

std::vector<std::string> CLogRecorder::Lines() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_own;
}

std::string CLogRecorder::Text() const {
  std::string all;
  for (const std::string& line : Lines()) all += line;
  return all;
}

int CLogRecorder::Count(const std::string& part) const {
  int n = 0;
  for (const std::string& line : Lines()) n += line.find(part) != std::string::npos;
  return n;
}

bool CLogRecorder::Contains(const std::string& part, const std::string& also) const {
  for (const std::string& line : Lines()) {
    if (line.find(part) != std::string::npos && line.find(also) != std::string::npos) return true;
  }
  return false;
}

bool CLogRecorder::Empty() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_own.empty();
}

void CLogRecorder::Clear() {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_own.clear();
}

CLogCapture::CLogCapture() : sink(new CLogRecorder()), m_previous(utl::GetLogSinks()) {
  m_holder.AddSink(sink);
  utl::SetLogSinks(&m_holder);
}

CLogCapture::~CLogCapture() { utl::SetLogSinks(m_previous); }

}  // namespace test
}  // namespace vd
