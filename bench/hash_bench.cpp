// The name hash beside zlib's adler32 on the same buffers, per byte: names of 8 to 64
// bytes (what the engine hashes all day) and long buffers. Each NameHash line carries
// "x_adler32", its time over adler32's on the same buffer timed right after it.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <chrono>
#include <string>

#include "engine/core/StringHash.h"

namespace {

std::string MakeText(size_t n) {
  std::string s(n, 'a');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>('A' + (i * 7) % 58);
  return s;
}

uint32_t Adler(const std::string& text) {
  return static_cast<uint32_t>(
      adler32(1L, reinterpret_cast<const Bytef*>(text.data()), static_cast<uInt>(text.size())));
}

template <class F>
double SecondsFor(int64_t iterations, F&& f) {
  auto start = std::chrono::steady_clock::now();
  for (int64_t i = 0; i < iterations; ++i) benchmark::DoNotOptimize(f());
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_NameHash(benchmark::State& state) {
  std::string text = MakeText(static_cast<size_t>(state.range(0)));
  for (auto _ : state) {
    benchmark::DoNotOptimize(text.data());
    benchmark::DoNotOptimize(vd::ComputeHash(text.data(), text.size()));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
  // The peer, timed the same way over the same count; the hash again beside it so
  // both figures come from the same moment of the machine.
  int64_t n = state.iterations();
  double hash = SecondsFor(n, [&] {
    benchmark::DoNotOptimize(text.data());
    return vd::ComputeHash(text.data(), text.size());
  });
  double peer = SecondsFor(n, [&] {
    benchmark::DoNotOptimize(text.data());
    return Adler(text);
  });
  state.counters["x_adler32"] = peer > 0 ? hash / peer : 0;
  state.SetLabel("peer: zlib adler32");
}

void BM_ZlibAdler32(benchmark::State& state) {
  std::string text = MakeText(static_cast<size_t>(state.range(0)));
  for (auto _ : state) {
    benchmark::DoNotOptimize(text.data());
    benchmark::DoNotOptimize(Adler(text));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

void Sizes(benchmark::internal::Benchmark* b) {
  for (int n : {8, 12, 16, 24, 32, 48, 64, 1024, 1 << 20}) b->Arg(n);
}

}  // namespace

BENCHMARK(BM_NameHash)->Apply(Sizes);
BENCHMARK(BM_ZlibAdler32)->Apply(Sizes);
