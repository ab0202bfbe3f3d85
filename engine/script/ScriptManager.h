#pragma once
// Placeholder until the script host lands: what application start-up calls.
#include "engine/core/StringHash.h"

namespace vd {
namespace lgc {

class CScriptManager : public utl::CSingleton<CScriptManager> {
public:
  CScriptManager() { SetInstance(this); }
  bool Init() { return true; }
  void Release() {}
  // Runs the scripts listed in Data/xml/scripts.xml; false when the list is missing.
  bool LoadScripts();
};

}  // namespace lgc
}  // namespace vd
