// The enemies' play-list files, read by the AI manager through ai.xml.
#include "fuzz/FuzzInput.h"
#include "game/enemies/PlayList.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool once = (fuzz::SilenceEngineLog(), true);
  (void)once;
  vd::SPlayListSet set;
  vd::LoadPlayListFile(fuzz::WriteInput(data, size, "playlist.xml").c_str(), set);
  // Every list the file made can be looked up by its own numbers.
  for (const auto& group : set.groups)
    for (const vd::SPlayList& list : group.second)
      if (set.Find(group.first, list.id) != &list) __builtin_trap();
  return 0;
}
