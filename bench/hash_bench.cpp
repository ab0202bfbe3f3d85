// The name hash against zlib's adler32 on the same buffers, per byte.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <string>

#include "engine/core/StringHash.h"

namespace {

std::string MakeText(size_t n) {
  std::string s(n, 'a');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>('A' + (i * 7) % 58);
  return s;
}

void BM_NameHash(benchmark::State& state) {
  std::string text = MakeText(static_cast<size_t>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(vd::ComputeHash(text.data(), text.size()));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

void BM_ZlibAdler32(benchmark::State& state) {
  std::string text = MakeText(static_cast<size_t>(state.range(0)));
  for (auto _ : state)
    benchmark::DoNotOptimize(adler32(1L, reinterpret_cast<const Bytef*>(text.data()),
                                     static_cast<uInt>(text.size())));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

}  // namespace

BENCHMARK(BM_NameHash)->Arg(16)->Arg(1024)->Arg(1 << 20);
BENCHMARK(BM_ZlibAdler32)->Arg(16)->Arg(1024)->Arg(1 << 20);
