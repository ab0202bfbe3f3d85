// Writes the test textures (DDS of every kind and format the game reads, and PNG)
// into Data/textures/test/, or into the folder given as the first argument.
#include <cstdio>
#include <string>

#include "tools/test_textures.h"

int main(int argc, char** argv) {
  const std::string dir = argc > 1 ? argv[1] : "Data/textures/test";
  const auto files = testtex::BuildAll();
  if (files.size() != 10) {
    std::fprintf(stderr, "gen_test_textures: could not build every texture\n");
    return 1;
  }
  for (const auto& f : files) {
    const std::string path = dir + "/" + f.first;
    if (!plat::image::WriteFileBytes(path, f.second)) {
      std::fprintf(stderr, "gen_test_textures: cannot write %s\n", path.c_str());
      return 1;
    }
    std::printf("%s (%zu bytes)\n", path.c_str(), f.second.size());
  }
  return 0;
}
