#pragma once
// A description file read whole and parsed in place by RapidXML; the document's
// texts point into the buffer, so both live as long as this object.
#include <string>
#include <vector>

#include <rapidxml/rapidxml.hpp>

namespace vd {
namespace utl {

class CXmlFile {
public:
  enum class EResult { Ok, Missing, Malformed };

  // Missing for a file that is absent or empty; Malformed with the parser's message
  // in Error(). Nothing is logged: callers say what the file was for.
  EResult Load(const char* path);
  rapidxml::xml_document<>& Document() { return m_document; }
  const std::string& Error() const { return m_error; }

private:
  std::vector<char> m_buffer;
  rapidxml::xml_document<> m_document;
  std::string m_error;
};

}  // namespace utl
}  // namespace vd
