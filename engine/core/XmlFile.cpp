#include "engine/core/XmlFile.h"

#include "engine/core/Utils.h"

namespace vd {
namespace utl {

CXmlFile::EResult CXmlFile::Load(const char* path) {
  m_document.clear();
  m_error.clear();
  std::string text;
  ReadTextFile(path ? path : "", text);
  if (text.empty()) return EResult::Missing;
  m_buffer.assign(text.begin(), text.end());
  m_buffer.push_back('\0');
  try {
    m_document.parse<0>(m_buffer.data());
  } catch (const rapidxml::parse_error& e) {
    m_error = e.what();
    m_document.clear();
    return EResult::Malformed;
  }
  return EResult::Ok;
}

}  // namespace utl
}  // namespace vd
