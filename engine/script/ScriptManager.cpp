#include "engine/script/ScriptManager.h"

#include <string>

#include "engine/core/Utils.h"

namespace vd {
namespace lgc {

bool CScriptManager::LoadScripts() {
  std::string text;
  utl::ReadTextFile("Data/xml/scripts.xml", text);
  return !text.empty();
}

}  // namespace lgc
}  // namespace vd
