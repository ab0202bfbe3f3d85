#include "fuzz/FuzzInput.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "engine/core/Log.h"

namespace fuzz {

namespace {

const std::filesystem::path& Folder() {
  static const std::filesystem::path folder = [] {
    std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("hm_fuzz_" + std::to_string(getpid()));
    std::filesystem::create_directories(path);
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(Folder(), ignored);
    });
    return path;
  }();
  return folder;
}

class CNullSink : public vd::utl::ILogSink {
public:
  void WriteScript(const char*) override {}
  void WriteEngine(const char*) override {}
};

}  // namespace

std::string WriteInput(const uint8_t* data, size_t size, const std::string& name) {
  std::filesystem::path path = Folder() / name;
  std::filesystem::create_directories(path.parent_path());
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) std::abort();
  if (size && std::fwrite(data, 1, size, f) != size) std::abort();
  std::fclose(f);
  return path.string();
}

void SilenceEngineLog() {
  // Kept for the whole run: loaders may log from anywhere until exit.
  static vd::utl::CLogSinkHolder* sinks = [] {
    auto* holder = new vd::utl::CLogSinkHolder;
    holder->AddSink(new CNullSink);
    vd::utl::SetLogSinks(holder);
    return holder;
  }();
  (void)sinks;
}

}  // namespace fuzz
