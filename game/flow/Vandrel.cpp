#include "game/flow/Vandrel.h"

#include "engine/app/Entry.h"
#include "platform/window/Resources.h"

namespace vd {

void CVandrel::PreInit() {
  plat::LoadString(plat::kStringAppTitle, name, sizeof name);
  icon = plat::LoadIcon(plat::kIconApp);
}

void CVandrel::StartGame() {}
void CVandrel::RegisterScriptBindings() {}
void CVandrel::EndGame() {}

namespace sys {
CApplicationBase* CreateApplication() { return new CVandrel(); }
}  // namespace sys

}  // namespace vd
