// Runs a harness without libFuzzer (gcc has none): every seed file as it is, then a
// fixed set of mutations of it (truncations, bit flips, extreme bytes, 32-bit fields
// and decimal numbers bumped to extremes, cut and repeated ranges), the same set on
// every run, until the mutations (or, on a far too slow machine, the time) run out.
// A crash, sanitizer report, hang or abort ends the run with the seed and mutation
// named and the input kept.
//
//   <harness> [-max_total_time=S] [-mutations=N] [-timeout=S] [-artifact_prefix=P] seeds...
// (seeds: files or folders; the option names are libFuzzer's.)
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "fuzz/FuzzInput.h"

extern "C" void __sanitizer_set_death_callback(void (*callback)(void)) __attribute__((weak));

namespace {

struct SRun {
  std::string seed;
  std::string mutation;
  std::vector<uint8_t> input;
  std::string artifactPrefix = "./";
  bool finished = false;  // every input ran: what fails now is the leak check at exit
};
SRun g_run;

void SaveInput() {
  std::string path =
      g_run.artifactPrefix + "crash-" + std::filesystem::path(g_run.seed).filename().string();
  if (FILE* f = std::fopen(path.c_str(), "wb")) {
    if (!g_run.input.empty()) std::fwrite(g_run.input.data(), 1, g_run.input.size(), f);
    std::fclose(f);
  }
  std::fprintf(stderr,
               "\nfuzz: FAILED on seed %s, mutation \"%s\" (%zu bytes); input saved to %s\n",
               g_run.seed.c_str(), g_run.mutation.c_str(), g_run.input.size(), path.c_str());
}

void OnDeath() {
  if (g_run.finished) {
    std::fprintf(stderr,
                 "\nfuzz: FAILED after every input ran (leaks above; rerun the seeds one by one to "
                 "find the input)\n");
    return;
  }
  SaveInput();
}

void OnSignal(int sig) {
  if (sig == SIGALRM) std::fprintf(stderr, "\nfuzz: input ran past its time limit\n");
  SaveInput();
  _exit(sig == SIGALRM ? 70 : 128 + sig);
}

// A small generator of our own so that runs repeat exactly everywhere.
struct CSplitMix {
  uint64_t state;
  uint64_t Next() {
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  size_t Below(size_t n) { return n ? static_cast<size_t>(Next() % n) : 0; }
};

uint64_t NameSeed(const std::string& text) {
  uint64_t h = 1469598103934665603ull;
  for (unsigned char c : text) h = (h ^ c) * 1099511628211ull;
  return h;
}

// Positions of decimal numbers in a text input.
std::vector<std::pair<size_t, size_t>> Numbers(const std::vector<uint8_t>& in) {
  std::vector<std::pair<size_t, size_t>> out;
  for (size_t i = 0; i < in.size();) {
    if (in[i] >= '0' && in[i] <= '9') {
      size_t j = i;
      while (j < in.size() && ((in[j] >= '0' && in[j] <= '9') || in[j] == '.')) ++j;
      out.emplace_back(i, j - i);
      i = j;
    } else {
      ++i;
    }
  }
  return out;
}

// Mutation k of a seed; its description goes to `what`.
std::vector<uint8_t> Mutate(const std::vector<uint8_t>& seed, unsigned k, CSplitMix& rng,
                            const std::vector<std::pair<size_t, size_t>>& numbers,
                            std::string& what) {
  std::vector<uint8_t> in = seed;
  const size_t n = in.size();
  static const uint32_t kFieldValues[] = {0u,          1u,      0x7FFFFFFFu, 0x80000000u,
                                          0xFFFFFFFFu, 0xFFFFu, 0x10000u};
  static const char* kNumberTexts[] = {"0",     "-1",  "65536", "4294967295",   "2147483648",
                                       "1e308", "nan", "-inf",  "999999999999", "-2147483649"};
  switch (k % 8) {
    case 0: {  // truncation: the first few at fixed fractions, then anywhere
      size_t cut = k < 64 ? n * (k / 8) / 8 : rng.Below(n + 1);
      in.resize(cut);
      what = "truncated to " + std::to_string(cut);
      break;
    }
    case 1:
    case 2: {  // bit flips, more of them near the start where headers are
      if (!n) break;
      int flips = 1 + static_cast<int>(rng.Below(4));
      what = "bit flips at";
      for (int f = 0; f < flips; ++f) {
        size_t at = rng.Below(2) ? rng.Below(std::min<size_t>(n, 128)) : rng.Below(n);
        in[at] ^= static_cast<uint8_t>(1u << rng.Below(8));
        what += " " + std::to_string(at);
      }
      break;
    }
    case 3: {  // an extreme byte
      if (!n) break;
      static const uint8_t kBytes[] = {0x00, 0xFF, 0x7F, 0x80, '<', '"', '\n', '>'};
      size_t at = rng.Below(n);
      in[at] = kBytes[rng.Below(sizeof kBytes)];
      what = "byte " + std::to_string(at) + " = " + std::to_string(in[at]);
      break;
    }
    case 4:
    case 5: {  // a 32-bit field (count, length, offset) of either byte order set to an extreme
      if (n < 4) break;
      size_t at = rng.Below(2) ? rng.Below(std::min<size_t>(n, 128) - 3) : rng.Below(n - 3);
      const bool big = rng.Below(2) != 0;
      auto byteAt = [&](int b) {
        return big ? at + 3 - static_cast<size_t>(b) : at + static_cast<size_t>(b);
      };
      uint32_t old = 0;
      for (int b = 0; b < 4; ++b) old |= static_cast<uint32_t>(in[byteAt(b)]) << (8 * b);
      size_t pick = rng.Below(sizeof kFieldValues / sizeof kFieldValues[0] + 2);
      uint32_t v = pick == 7 ? old + 1 : pick == 8 ? old << 8 : kFieldValues[pick];
      for (int b = 0; b < 4; ++b) in[byteAt(b)] = static_cast<uint8_t>(v >> (8 * b));
      what = std::string(big ? "big-endian" : "little-endian") + " u32 at " + std::to_string(at) +
             " = " + std::to_string(v);
      break;
    }
    case 6: {  // a decimal number in a text set to an extreme, else a cut range
      if (!numbers.empty()) {
        auto [at, len] = numbers[rng.Below(numbers.size())];
        const char* text = kNumberTexts[rng.Below(sizeof kNumberTexts / sizeof kNumberTexts[0])];
        in.erase(in.begin() + static_cast<long>(at), in.begin() + static_cast<long>(at + len));
        in.insert(in.begin() + static_cast<long>(at), text, text + std::strlen(text));
        what = "number at " + std::to_string(at) + " = " + text;
        break;
      }
      [[fallthrough]];
    }
    case 7: {  // a range cut out, or repeated
      if (!n) break;
      size_t at = rng.Below(n), len = 1 + rng.Below(std::min<size_t>(n - at, 64));
      if (rng.Below(2)) {
        in.erase(in.begin() + static_cast<long>(at), in.begin() + static_cast<long>(at + len));
        what = "cut " + std::to_string(len) + " at " + std::to_string(at);
      } else {
        std::vector<uint8_t> part(in.begin() + static_cast<long>(at),
                                  in.begin() + static_cast<long>(at + len));
        in.insert(in.begin() + static_cast<long>(at), part.begin(), part.end());
        what = "repeated " + std::to_string(len) + " at " + std::to_string(at);
      }
      break;
    }
  }
  if (what.empty()) what = "unchanged";
  return in;
}

void Collect(const std::filesystem::path& p, std::vector<std::string>& out) {
  if (std::filesystem::is_directory(p)) {
    for (const auto& e : std::filesystem::recursive_directory_iterator(p))
      if (e.is_regular_file()) out.push_back(e.path().string());
  } else if (std::filesystem::is_regular_file(p)) {
    out.push_back(p.string());
  } else {
    std::fprintf(stderr, "fuzz: no seed file or folder %s\n", p.c_str());
    std::exit(2);
  }
}

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::vector<uint8_t> bytes;
  if (FILE* f = std::fopen(path.c_str(), "rb")) {
    uint8_t buffer[65536];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, f)) > 0)
      bytes.insert(bytes.end(), buffer, buffer + got);
    std::fclose(f);
  }
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) __attribute__((weak));

int main(int argc, char** argv) {
  double maxSeconds = 120;
  unsigned mutations = 200;
  unsigned timeout = 20;
  std::vector<std::string> seeds;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a.rfind("-max_total_time=", 0) == 0) {
      maxSeconds = std::atof(a.c_str() + 16);
    } else if (a.rfind("-mutations=", 0) == 0) {
      mutations = static_cast<unsigned>(std::atoi(a.c_str() + 11));
    } else if (a.rfind("-timeout=", 0) == 0) {
      timeout = static_cast<unsigned>(std::atoi(a.c_str() + 9));
    } else if (a.rfind("-artifact_prefix=", 0) == 0) {
      g_run.artifactPrefix = a.substr(17);
    } else if (!a.empty() && a[0] == '-') {
      std::fprintf(stderr, "fuzz: unknown option %s\n", a.c_str());
      return 2;
    } else {
      Collect(a, seeds);
    }
  }
  if (seeds.empty()) {
    std::fprintf(stderr, "usage: %s [-max_total_time=S] [-mutations=N] [-timeout=S] seeds...\n",
                 argv[0]);
    return 2;
  }
  std::sort(seeds.begin(), seeds.end());
  if (LLVMFuzzerInitialize) LLVMFuzzerInitialize(&argc, &argv);
  if (__sanitizer_set_death_callback) __sanitizer_set_death_callback(OnDeath);
  for (int sig : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGALRM}) {
    struct sigaction action = {};
    action.sa_handler = OnSignal;
    // Leave the sanitizer's own handlers in place; they report, then call OnDeath.
    struct sigaction old = {};
    sigaction(sig, nullptr, &old);
    if (sig == SIGALRM || old.sa_handler == SIG_DFL) sigaction(sig, &action, nullptr);
  }

  // Each seed as it is first, then the mutations round by round, so a short budget
  // still tries every seed.
  std::vector<std::vector<uint8_t>> bytes;
  std::vector<std::vector<std::pair<size_t, size_t>>> numbers;
  std::vector<CSplitMix> rngs;
  for (const std::string& s : seeds) {
    bytes.push_back(ReadFile(s));
    numbers.push_back(Numbers(bytes.back()));
    rngs.push_back(CSplitMix{NameSeed(std::filesystem::path(s).filename().string())});
  }
  const auto start = std::chrono::steady_clock::now();
  auto elapsed = [&] {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  };
  size_t runs = 0;
  bool outOfTime = false;
  for (unsigned k = 0; k <= mutations && !outOfTime; ++k) {
    for (size_t s = 0; s < seeds.size(); ++s) {
      if (k > 0 && elapsed() > maxSeconds) {
        outOfTime = true;
        break;
      }
      g_run.seed = seeds[s];
      if (k == 0) {
        g_run.mutation = "seed as it is";
        g_run.input = bytes[s];
      } else {
        g_run.mutation.clear();
        g_run.input = Mutate(bytes[s], k - 1, rngs[s], numbers[s], g_run.mutation);
        g_run.mutation = "#" + std::to_string(k) + ": " + g_run.mutation;
      }
      alarm(timeout);
      LLVMFuzzerTestOneInput(g_run.input.data(), g_run.input.size());
      alarm(0);
      ++runs;
    }
  }
  g_run.finished = true;
  if (outOfTime)
    std::printf("fuzz: time limit of %.0f s reached before all %u mutations of each seed ran\n",
                maxSeconds, mutations);
  std::printf("fuzz: %zu inputs from %zu seeds in %.1f s, no failure\n", runs, seeds.size(),
              elapsed());
  return 0;
}
