#pragma once
// What every harness shares: the entry point libFuzzer calls (the standalone driver
// calls the same one), and the input written where a loader that reads paths finds it.
#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace fuzz {

// Writes the input to <a folder of this process>/<name> and returns the path.
std::string WriteInput(const uint8_t* data, size_t size, const std::string& name);

// Engine log lines go nowhere: a loader's complaint about a bad file is expected.
void SilenceEngineLog();

}  // namespace fuzz
