// Synthesises the game's sound banks into Data/audio/ (16-bit mono WAV, 22050 Hz):
// footsteps, heartbeat, booms, explosions, splashes, growling voices, the player's
// blade swings, blows and voice (formant-shaped grunts and shouts), the hiss of
// the gas special and two short music loops. Deterministic: the same program writes the same bytes.
//
// Usage: gen_sounds [output folder]   (default Data/audio)
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 22050;
constexpr double kPi = 3.14159265358979323846;

using Buffer = std::vector<float>;

// A small generator of our own so the output does not depend on the C library.
struct Noise {
  uint32_t state;
  explicit Noise(uint32_t seed) : state(seed) {}
  float Next() {
    state = state * 1664525u + 1013904223u;
    return static_cast<float>((state >> 8) & 0xFFFF) / 32768.0f - 1.0f;
  }
};

Buffer Silence(double seconds) { return Buffer(static_cast<size_t>(seconds * kRate), 0.0f); }

// Adds `src` into `dst` at `atSeconds`, scaled.
void Mix(Buffer& dst, const Buffer& src, double atSeconds, float gain = 1.0f) {
  const size_t start = static_cast<size_t>(atSeconds * kRate);
  for (size_t i = 0; i < src.size() && start + i < dst.size(); ++i) dst[start + i] += src[i] * gain;
}

// A sine whose frequency glides from f0 to f1, with an exponential decay.
Buffer Tone(double seconds, double f0, double f1, double decay, double attack = 0.005) {
  Buffer b = Silence(seconds);
  double phase = 0.0;
  for (size_t i = 0; i < b.size(); ++i) {
    const double t = double(i) / kRate;
    const double f = f0 + (f1 - f0) * (t / seconds);
    phase += 2.0 * kPi * f / kRate;
    const double env = std::min(1.0, t / attack) * std::exp(-t * decay);
    b[i] = static_cast<float>(std::sin(phase) * env);
  }
  return b;
}

// Noise through a one-pole low-pass (cutoff gliding from c0 to c1, 0..1), decaying.
Buffer NoiseBurst(double seconds, double c0, double c1, double decay, uint32_t seed,
                  double attack = 0.002) {
  Buffer b = Silence(seconds);
  Noise n(seed);
  double y = 0.0;
  for (size_t i = 0; i < b.size(); ++i) {
    const double t = double(i) / kRate;
    const double c = c0 + (c1 - c0) * (t / seconds);
    y += c * (n.Next() - y);
    const double env = std::min(1.0, t / attack) * std::exp(-t * decay);
    b[i] = static_cast<float>(y * env);
  }
  return b;
}

// A growl: a sawtooth with a wobbling, gliding pitch, low-passed, with a swell.
Buffer Growl(double seconds, double f0, double f1, double wobble, uint32_t seed) {
  Buffer b = Silence(seconds);
  Noise n(seed);
  double phase = 0.0, y = 0.0, y2 = 0.0;
  for (size_t i = 0; i < b.size(); ++i) {
    const double t = double(i) / kRate;
    const double f =
        (f0 + (f1 - f0) * (t / seconds)) * (1.0 + 0.08 * std::sin(2 * kPi * wobble * t));
    phase += f / kRate;
    phase -= std::floor(phase);
    const double saw = 2.0 * phase - 1.0 + 0.25 * n.Next();
    y += 0.18 * (saw - y);
    y2 += 0.25 * (y - y2);
    const double env = std::sin(kPi * std::min(1.0, t / seconds)) * (1.0 - 0.3 * t / seconds);
    b[i] = static_cast<float>(y2 * env * 2.5);
  }
  return b;
}

void Normalise(Buffer& b, float peak) {
  float m = 0.0f;
  for (float v : b) m = std::max(m, std::fabs(v));
  if (m > 0.0f)
    for (float& v : b) v *= peak / m;
}

// Short fades at both ends so loops and cuts do not click.
void Edges(Buffer& b, double seconds = 0.004) {
  const size_t n = std::min(b.size() / 2, static_cast<size_t>(seconds * kRate));
  for (size_t i = 0; i < n; ++i) {
    const float g = float(i) / float(n);
    b[i] *= g;
    b[b.size() - 1 - i] *= g;
  }
}

bool WriteWav(const std::string& path, const Buffer& samples) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) {
    std::fprintf(stderr, "gen_sounds: cannot write %s\n", path.c_str());
    return false;
  }
  auto u32 = [f](uint32_t v) {
    const unsigned char b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
    std::fwrite(b, 1, 4, f);
  };
  auto u16 = [f](uint16_t v) {
    const unsigned char b[2] = {uint8_t(v), uint8_t(v >> 8)};
    std::fwrite(b, 1, 2, f);
  };
  const uint32_t dataBytes = static_cast<uint32_t>(samples.size() * 2);
  std::fwrite("RIFF", 1, 4, f);
  u32(36 + dataBytes);
  std::fwrite("WAVEfmt ", 1, 8, f);
  u32(16);
  u16(1);  // PCM
  u16(1);  // mono
  u32(kRate);
  u32(kRate * 2);
  u16(2);
  u16(16);
  std::fwrite("data", 1, 4, f);
  u32(dataBytes);
  for (float v : samples) {
    const long s = std::lround(std::clamp(v, -1.0f, 1.0f) * 32767.0f);
    u16(static_cast<uint16_t>(static_cast<int16_t>(s)));
  }
  const bool ok = std::fclose(f) == 0;
  std::printf("%s (%.2f s)\n", path.c_str(), double(samples.size()) / kRate);
  return ok;
}

Buffer Footsteps(double seconds, int steps, uint32_t seed) {
  Buffer b = Silence(seconds);
  for (int i = 0; i < steps; ++i) {
    Buffer thump = Tone(0.12, 110 - 8 * i, 60, 35.0);
    Buffer scuff = NoiseBurst(0.09, 0.35, 0.1, 45.0, seed + i);
    Mix(b, thump, i * seconds / steps + 0.01, 0.8f);
    Mix(b, scuff, i * seconds / steps + 0.012, 0.5f);
  }
  Normalise(b, 0.7f);
  return b;
}

Buffer Heartbeat() {
  Buffer b = Silence(1.0);
  Mix(b, Tone(0.15, 70, 45, 25.0), 0.02);
  Mix(b, Tone(0.15, 60, 40, 28.0), 0.30, 0.7f);
  Normalise(b, 0.85f);
  return b;
}

Buffer Boom(double seconds, double pitch, uint32_t seed) {
  Buffer b = Tone(seconds, pitch, pitch * 0.4, 4.0);
  Mix(b, NoiseBurst(seconds, 0.5, 0.03, 5.0, seed), 0.0, 0.9f);
  Normalise(b, 0.9f);
  return b;
}

Buffer Explosion(double seconds, uint32_t seed, double brightness) {
  Buffer b = NoiseBurst(seconds, brightness, 0.02, 3.2, seed);
  Mix(b, Tone(seconds, 55, 30, 3.5), 0.0, 0.8f);
  Mix(b, NoiseBurst(0.4, 0.8, 0.2, 12.0, seed * 7 + 1), 0.05, 0.4f);
  Normalise(b, 0.95f);
  return b;
}

Buffer Splash(double seconds, uint32_t seed) {
  Buffer b = NoiseBurst(seconds, 0.7, 0.15, 6.0, seed, 0.02);
  Noise n(seed + 99);
  for (int i = 0; i < 12; ++i) {
    const double at = 0.05 + (n.Next() * 0.5 + 0.5) * (seconds - 0.2);
    Mix(b, Tone(0.05, 900 + 700 * (n.Next() * 0.5 + 0.5), 400, 60.0), at, 0.25f);
  }
  Normalise(b, 0.7f);
  return b;
}

// Gas let out of a valve: bright noise (white noise less its low-passed part)
// that bursts open, hisses on with a fluttering pressure and dies away, over a
// low rush of the cloud itself.
Buffer GasRelease(double seconds, uint32_t seed) {
  Buffer b = Silence(seconds);
  Noise n(seed);
  Noise flutter(seed * 3 + 7);
  double low = 0.0;
  double rush = 0.0;
  double wobble = 0.0;
  for (size_t i = 0; i < b.size(); ++i) {
    const double t = double(i) / kRate;
    const double white = n.Next();
    low += 0.08 * (white - low);
    rush += 0.02 * (white - rush);
    // A slow random drift of the pressure, so the hiss is not a steady tone.
    if (i % 441 == 0) wobble = 0.85 + 0.15 * flutter.Next();
    const double open = std::min(1.0, t / 0.03);
    const double burst = 1.0 + 1.5 * std::exp(-t * 18.0);
    const double fall = t < seconds * 0.55 ? 1.0 : std::exp(-(t - seconds * 0.55) * 6.0);
    const double hiss = (white - low) * open * burst * fall * wobble;
    b[i] = static_cast<float>(hiss + 2.5 * rush * open * fall);
  }
  Edges(b, 0.02);
  Normalise(b, 0.7f);
  return b;
}

Buffer SlowMotion() {
  Buffer b = Tone(1.5, 600, 90, 1.2, 0.05);
  Mix(b, NoiseBurst(1.5, 0.3, 0.02, 1.5, 5, 0.1), 0.0, 0.5f);
  Normalise(b, 0.8f);
  return b;
}

// A two-pole resonator (band-pass) at `freq` Hz with bandwidth `width` Hz.
struct Resonator {
  double a1, a2, gain, y1 = 0.0, y2 = 0.0;
  Resonator(double freq, double width) {
    const double r = std::exp(-kPi * width / kRate);
    a1 = 2.0 * r * std::cos(2.0 * kPi * freq / kRate);
    a2 = -r * r;
    gain = 1.0 - r;
  }
  double Step(double x) {
    const double y = gain * x + a1 * y1 + a2 * y2;
    y2 = y1;
    y1 = y;
    return y;
  }
};

// A grunt or shout: a buzzing voice whose pitch glides from f0 to f1, shaped by
// two vowel formants, with breath noise; `effort` sharpens the attack.
Buffer Voice(double seconds, double f0, double f1, double formant1, double formant2, double breath,
             double effort, uint32_t seed) {
  Buffer b = Silence(seconds);
  Noise n(seed);
  Resonator r1(formant1, 120.0), r2(formant2, 160.0), r3(2600.0, 300.0);
  double phase = 0.0;
  for (size_t i = 0; i < b.size(); ++i) {
    const double t = double(i) / kRate;
    const double f = (f0 + (f1 - f0) * (t / seconds)) * (1.0 + 0.03 * n.Next());
    phase += f / kRate;
    phase -= std::floor(phase);
    const double source = (1.0 - 2.0 * phase) + breath * n.Next();
    const double voiced = r1.Step(source) + 0.6 * r2.Step(source) + 0.2 * r3.Step(source);
    const double env = std::min(1.0, t / (0.04 / effort)) * std::exp(-t * 2.5 / seconds) *
                       std::min(1.0, (seconds - t) / 0.05);
    b[i] = static_cast<float>(voiced * env);
  }
  Normalise(b, 0.8f);
  return b;
}

// A blade through the air: noise swept up and down through a resonance.
Buffer Whoosh(double seconds, double low, double high, uint32_t seed) {
  Buffer b = Silence(seconds);
  Noise n(seed);
  double y1 = 0.0, y2 = 0.0;
  for (size_t i = 0; i < b.size(); ++i) {
    const double t = double(i) / kRate;
    const double s = std::sin(kPi * t / seconds);
    const double freq = low + (high - low) * s;
    const double r = 0.985;
    const double y =
        (1.0 - r) * n.Next() + 2.0 * r * std::cos(2.0 * kPi * freq / kRate) * y1 - r * r * y2;
    y2 = y1;
    y1 = y;
    b[i] = static_cast<float>(y * s * s);
  }
  Normalise(b, 0.75f);
  return b;
}

// A blow landing on a body: a low thud with a wet slap on top.
Buffer Thud(double seconds, double pitch, double slap, uint32_t seed) {
  Buffer b = Tone(seconds, pitch, pitch * 0.5, 18.0);
  Mix(b, NoiseBurst(seconds, 0.6, 0.1, 25.0, seed), 0.0, static_cast<float>(slap));
  Normalise(b, 0.85f);
  return b;
}

// Bass, chord pads and a pulse over `bars` bars of four beats; loops cleanly.
Buffer Music(double bpm, const std::vector<double>& roots, double padGain, uint32_t seed) {
  const double beat = 60.0 / bpm;
  const double bar = 4 * beat;
  Buffer b = Silence(bar * roots.size());
  for (size_t k = 0; k < roots.size(); ++k) {
    const double r = roots[k];
    const double t0 = k * bar;
    for (double ratio : {1.0, 1.2, 1.5}) {
      Buffer pad = Tone(bar, r * 2 * ratio, r * 2 * ratio, 0.6, 0.3);
      Edges(pad, 0.05);
      Mix(b, pad, t0, static_cast<float>(padGain));
    }
    for (int i = 0; i < 4; ++i) {
      Mix(b, Tone(beat * 0.9, r, r * 0.98, 3.0, 0.01), t0 + i * beat, 0.6f);
      Mix(b, NoiseBurst(0.08, 0.9, 0.5, 60.0, seed + uint32_t(k * 4 + i)), t0 + i * beat + beat / 2,
          0.25f);
    }
  }
  Normalise(b, 0.6f);
  Edges(b);
  return b;
}


// ---------------------------------------------------------------------------
// The enemies: the zombies' wet growls and the mutants' deeper roars for every
// hit, fall, death and attack, the boss's shouts, the blows that land on them and
// the mutants' grenades.

// A zombie's voice: a ragged growl with a gurgle of breath through it.
Buffer ZombieVoice(double seconds, double f0, double f1, double wobble, uint32_t seed) {
  Buffer b = Growl(seconds, f0, f1, wobble, seed);
  Mix(b, NoiseBurst(seconds, 0.25, 0.08, 1.5 / seconds, seed + 1, 0.03), 0.0, 0.35f);
  Normalise(b, 0.85f);
  return b;
}

// A mutant's voice: a low growl under a chesty, open-mouthed roar.
Buffer MutantVoice(double seconds, double f0, double f1, uint32_t seed) {
  Buffer b = Growl(seconds, f0 * 0.7, f1 * 0.7, 4.0, seed);
  Mix(b, Voice(seconds, f0, f1, 420, 780, 0.6, 2.0, seed + 1), 0.0, 0.8f);
  Normalise(b, 0.9f);
  return b;
}

// The boss: a deep, clipped shout.
Buffer BossShout(double seconds, double f0, double f1, uint32_t seed) {
  Buffer b = Voice(seconds, f0, f1, 520, 900, 0.35, 2.5, seed);
  Mix(b, Growl(seconds, f0 * 0.5, f1 * 0.5, 3.0, seed + 1), 0.0, 0.5f);
  Normalise(b, 0.9f);
  return b;
}

// Snarls strung together, one per blow of a combination.
Buffer Snarls(int count, double each, double f0, uint32_t seed, bool mutant) {
  Buffer b = Silence(count * each + 0.15);
  for (int i = 0; i < count; ++i) {
    const double f = f0 * (1.0 + 0.08 * i);
    Mix(b, mutant ? MutantVoice(each * 0.9, f, f * 0.75, seed + i) : ZombieVoice(each * 0.9, f, f * 0.7, 8.0, seed + i),
        i * each);
  }
  Normalise(b, 0.85f);
  return b;
}

// Retching: a choked growl, then the wet rush of what comes up.
Buffer Vomit(uint32_t seed) {
  Buffer b = Silence(1.6);
  Mix(b, ZombieVoice(0.5, 110, 70, 12.0, seed), 0.0);
  Buffer rush = NoiseBurst(1.1, 0.2, 0.05, 1.5, seed + 2, 0.05);
  Noise n(seed + 3);
  for (size_t i = 0; i < rush.size(); ++i)  // gulping pulses
    rush[i] *= static_cast<float>(0.6 + 0.4 * std::sin(2 * kPi * 7.0 * i / kRate + n.Next() * 0.3));
  Mix(b, rush, 0.4, 1.2f);
  Mix(b, Growl(1.1, 70, 55, 11.0, seed + 4), 0.4, 0.4f);
  Normalise(b, 0.85f);
  return b;
}

// A blade biting into a body: a short slice, then the thud.
Buffer BladeHit(double weight, uint32_t seed) {
  Buffer b = Whoosh(0.12, 800, 2600, seed);
  Mix(b, Thud(0.35, 95 - 20 * weight, 0.9, seed + 1), 0.04, 1.0f);
  Normalise(b, 0.9f);
  return b;
}

// Steel on a guard: a ringing clang.
Buffer Clang(uint32_t seed) {
  Buffer b = Tone(0.6, 1250, 1230, 7.0, 0.001);
  Mix(b, Tone(0.6, 1930, 1900, 9.0, 0.001), 0.0, 0.6f);
  Mix(b, Tone(0.5, 3100, 3050, 12.0, 0.001), 0.0, 0.3f);
  Mix(b, NoiseBurst(0.08, 0.9, 0.6, 50.0, seed), 0.0, 0.7f);
  Normalise(b, 0.8f);
  return b;
}

// A chainsaw biting: a buzzing two-stroke note that labours as it cuts.
Buffer Saw(double seconds, uint32_t seed) {
  Buffer b = Silence(seconds);
  Noise n(seed);
  double phase = 0.0, y = 0.0;
  for (size_t i = 0; i < b.size(); ++i) {
    const double t = double(i) / kRate;
    const double load = 0.5 + 0.5 * std::sin(2 * kPi * 1.3 * t);
    const double f = 120.0 - 35.0 * load;
    phase += f / kRate;
    phase -= std::floor(phase);
    const double buzz = (phase < 0.3 ? 1.0 : -0.4) + 0.5 * n.Next() * (0.3 + load);
    y += 0.35 * (buzz - y);
    const double env = std::min(1.0, t / 0.05) * std::min(1.0, (seconds - t) / 0.2);
    b[i] = static_cast<float>(y * env);
  }
  Normalise(b, 0.75f);
  return b;
}

std::vector<std::pair<std::string, std::function<Buffer()>>> EnemySounds() {
  std::vector<std::pair<std::string, std::function<Buffer()>>> list;
  auto add = [&list](std::string file, std::function<Buffer()> make) {
    list.emplace_back(std::move(file), std::move(make));
  };
  // Zombie voices.
  add("voices/zombie_hit_02.wav", [] { return ZombieVoice(0.45, 165, 95, 10.0, 401); });
  add("voices/zombie_hit_03.wav", [] { return ZombieVoice(0.55, 140, 85, 7.0, 403); });
  add("voices/zombie_fallstand_01.wav", [] {
    Buffer b = ZombieVoice(1.0, 150, 70, 6.0, 405);
    Mix(b, Thud(0.4, 70, 0.6, 406), 0.25, 0.6f);
    Normalise(b, 0.85f);
    return b;
  });
  add("voices/zombie_wave_death_01.wav", [] {
    Buffer b = ZombieVoice(1.1, 230, 80, 9.0, 407);
    Mix(b, Voice(0.6, 260, 180, 700, 1200, 0.7, 2.0, 408), 0.0, 0.6f);
    Normalise(b, 0.85f);
    return b;
  });
  add("voices/zombie_death_01.wav", [] { return ZombieVoice(1.4, 150, 45, 5.0, 409); });
  add("voices/zombie_death_02.wav", [] { return ZombieVoice(1.2, 130, 40, 3.5, 411); });
  for (int i = 1; i <= 2; ++i)
    add("voices/zombie_death_explosion_0" + std::to_string(i) + ".wav", [i] {
      Buffer b = Voice(0.9, 300 + 30 * i, 150, 750, 1300, 0.8, 3.0, 413 + i);  // a shriek
      Mix(b, ZombieVoice(1.0, 160, 50, 9.0, 415 + i), 0.2, 0.8f);
      Normalise(b, 0.9f);
      return b;
    });
  for (int i = 1; i <= 2; ++i) {
    add("voices/zombie_attack_short_0" + std::to_string(i) + ".wav",
        [i] { return ZombieVoice(0.35, 170 + 15 * i, 130, 12.0, 420 + i); });
    add("voices/zombie_attack_large_0" + std::to_string(i) + ".wav",
        [i] { return ZombieVoice(0.75, 120 + 20 * i, 170, 6.0, 424 + i); });
    add("voices/zombie_attack_combo_0" + std::to_string(i) + ".wav",
        [i] { return Snarls(3, 0.4, 150 + 10 * i, 428 + 7 * i, false); });
  }
  add("voices/zombie_attack_double_01.wav", [] { return ZombieVoice(0.6, 140, 190, 8.0, 441); });
  add("voices/zombie_vomit_01.wav", [] { return Vomit(443); });
  // Mutant voices.
  for (int i = 1; i <= 11; ++i) {
    char file[64];
    std::snprintf(file, sizeof file, "voices/mutant_hit_%02d.wav", i);
    add(file, [i] {
      const double pitch = 105 + 7 * (i % 5);
      return MutantVoice(0.3 + 0.04 * (i % 4), pitch * 1.2, pitch * 0.75, 450 + 2 * i);
    });
  }
  for (int i = 1; i <= 2; ++i)
    add("voices/mutant_hit_fallstandup_0" + std::to_string(i) + ".wav", [i] {
      Buffer b = MutantVoice(1.0, 120 + 10 * i, 70, 480 + 2 * i);
      Mix(b, Thud(0.45, 60, 0.5, 485 + i), 0.3, 0.7f);
      Normalise(b, 0.9f);
      return b;
    });
  add("voices/mutant_hit_wave_01.wav", [] { return MutantVoice(1.1, 160, 70, 489); });
  add("voices/mutant_death_01.wav", [] { return MutantVoice(1.6, 130, 40, 491); });
  add("voices/mutant_death_02.wav", [] { return MutantVoice(1.4, 115, 38, 493); });
  add("voices/mutant_attack_short_01.wav", [] { return MutantVoice(0.45, 110, 140, 495); });
  add("voices/mutant_attack_combo_01.wav", [] { return Snarls(3, 0.45, 110, 497, true); });
  for (int i = 1; i <= 4; ++i)
    add("voices/mutant_attack_0" + std::to_string(i) + ".wav",
        [i] { return MutantVoice(0.6 + 0.05 * i, 95 + 8 * i, 150, 500 + 2 * i); });
  // Blows landing on an enemy, and the finishing moves.
  add("enemies/hit_x1_01.wav", [] { return Thud(0.35, 95, 0.9, 511); });
  add("enemies/hit_x5_01.wav", [] {
    Buffer b = Thud(0.6, 70, 1.0, 513);
    Mix(b, Boom(0.6, 60, 514), 0.0, 0.6f);
    Normalise(b, 0.9f);
    return b;
  });
  add("weapons/weapon_hit_01.wav", [] { return BladeHit(0.3, 515); });
  add("weapons/weapon_hit_cover_01.wav", [] { return Clang(517); });
  add("enemies/zombie_fatality_01.wav", [] {
    Buffer b = Silence(1.8);
    Mix(b, BladeHit(0.5, 519), 0.0);
    Mix(b, ZombieVoice(1.3, 200, 50, 10.0, 520), 0.2, 0.9f);
    Mix(b, Splash(0.6, 521), 0.5, 0.4f);
    Normalise(b, 0.9f);
    return b;
  });
  add("enemies/mutant_fatality_01.wav", [] {
    Buffer b = Silence(2.0);
    Mix(b, BladeHit(0.8, 523), 0.0);
    Mix(b, MutantVoice(1.6, 170, 45, 524), 0.3, 0.9f);
    Normalise(b, 0.9f);
    return b;
  });
  add("enemies/mutant_fatality_02.wav", [] {
    Buffer b = MutantVoice(1.8, 180, 50, 527);
    Mix(b, Thud(0.5, 65, 0.8, 528), 0.9, 0.7f);
    Normalise(b, 0.9f);
    return b;
  });
  add("enemies/mutant_fatality_saw_02.wav", [] { return Saw(1.8, 531); });
  // The boss.
  for (int i = 1; i <= 2; ++i)
    add("voices/krauser_attack_combo_0" + std::to_string(i) + ".wav",
        [i] { return BossShout(0.9, 100 + 10 * i, 75, 540 + 2 * i); });
  add("voices/krauser_kick.wav", [] { return BossShout(0.4, 115, 85, 545); });
  add("voices/krauser_punch.wav", [] { return BossShout(0.35, 105, 80, 547); });
  add("voices/krauser_attack_beam_wave.wav", [] { return BossShout(1.4, 95, 70, 549); });
  add("voices/krauser_no_sabes_hacerlo_mejor.wav", [] {
    // Six syllables of a mocking phrase, the last drawn out.
    Buffer b = Silence(1.9);
    const double f1s[6] = {500, 650, 420, 600, 380, 700};
    const double f2s[6] = {1500, 1100, 900, 1700, 1000, 1200};
    for (int i = 0; i < 6; ++i)
      Mix(b, Voice(i == 5 ? 0.5 : 0.22, 115 - 4 * i, 100 - 4 * i, f1s[i], f2s[i], 0.25, 1.5, 551 + i),
          0.05 + 0.24 * i, 0.8f);
    Normalise(b, 0.85f);
    return b;
  });
  // The mutants' grenades leaving the hand.
  add("weapons/grenade_throw_01.wav", [] { return Whoosh(0.45, 250, 1200, 561); });
  add("weapons/grenade_throw_02.wav", [] { return Whoosh(0.5, 200, 1000, 563); });
  return list;
}

// --- The intro's and the final credits' songs ---

// A held note with a slow swell in and out and a faint vibrato: strings far off.
Buffer Pad(double seconds, double f, double swell, double vibrato) {
  Buffer b = Silence(seconds);
  double phase = 0.0;
  for (size_t i = 0; i < b.size(); ++i) {
    const double t = double(i) / kRate;
    phase += 2.0 * kPi * f * (1.0 + 0.004 * std::sin(2.0 * kPi * vibrato * t)) / kRate;
    const double env = std::min(1.0, t / swell) * std::min(1.0, (seconds - t) / swell);
    b[i] = static_cast<float>(env * (std::sin(phase) + 0.3 * std::sin(2.0 * phase) +
                                     0.12 * std::sin(3.0 * phase)));
  }
  return b;
}

// A struck bell: a few inharmonic partials that ring out.
Buffer Bell(double seconds, double f) {
  Buffer b = Tone(seconds, f, f, 1.6, 0.002);
  Mix(b, Tone(seconds, f * 2.76, f * 2.76, 3.0, 0.002), 0.0, 0.4f);
  Mix(b, Tone(seconds, f * 5.4, f * 5.4, 5.0, 0.002), 0.0, 0.2f);
  return b;
}

// Chords of three held notes (root, minor third, fifth) over a low drone, one per
// `chordSeconds`; a bell melody on top.
Buffer Elegy(double seconds, const std::vector<double>& roots, double chordSeconds,
             const std::vector<std::pair<double, double>>& bells, double droneHz) {
  Buffer b = Silence(seconds);
  Mix(b, Pad(seconds, droneHz, 3.0, 0.1), 0.0, 0.5f);
  for (size_t k = 0; k < roots.size(); ++k) {
    const double at = k * chordSeconds;
    if (at >= seconds) break;
    const double length = std::min(chordSeconds + 1.5, seconds - at);
    for (double ratio : {1.0, 1.189, 1.498})
      Mix(b, Pad(length, roots[k] * ratio, 1.2, 4.5 + ratio), at, 0.22f);
  }
  for (const auto& bell : bells)
    if (bell.first < seconds) Mix(b, Bell(std::min(4.0, seconds - bell.first), bell.second), bell.first, 0.3f);
  return b;
}

// "intro_ome": the omen before the story, a boom and a rising dissonant swell.
Buffer IntroOmen() {
  Buffer b = Boom(3.0, 45, 401);
  Mix(b, Pad(6.0, 110.0, 2.5, 0.3), 0.2, 0.35f);
  Mix(b, Pad(6.0, 116.5, 2.5, 0.4), 0.2, 0.3f);  // a semitone's rub
  Mix(b, NoiseBurst(6.0, 0.05, 0.3, 0.4, 402, 2.0), 0.0, 0.4f);
  Normalise(b, 0.8f);
  Edges(b, 0.05);
  return b;
}

// "intro_brannoc": the narration's 32 s. It darkens as the dead come, hardens when he
// is named, and ends on a blow under the title at 27 s.
Buffer IntroNarration() {
  const double length = 32.0;
  Buffer b = Elegy(length, {110.0, 98.0, 87.3, 82.4, 110.0, 130.8, 98.0, 82.4}, 4.0,
                   {{0.5, 440.0}, {4.5, 392.0}, {8.5, 349.2}, {12.5, 329.6}, {14.5, 440.0},
                    {16.5, 523.3}, {20.5, 392.0}, {24.5, 329.6}},
                   55.0);
  // His heartbeat under his own lines.
  for (double at = 14.0; at < 26.0; at += 1.0) {
    Mix(b, Tone(0.15, 70, 45, 25.0), at, 0.35f);
    Mix(b, Tone(0.15, 60, 40, 28.0), at + 0.28, 0.25f);
  }
  Mix(b, Boom(4.0, 40, 403), 27.0, 0.8f);
  Normalise(b, 0.75f);
  Edges(b, 1.0);
  return b;
}

// "intro_loop": the quiet bed under the whole intro; its 8 s loop without a seam.
Buffer IntroLoop() {
  const double length = 8.0;
  Buffer b = Silence(length);
  // Whole cycles of each partial in the loop's length, so that its end meets its start.
  for (double f : {55.0, 82.5, 110.0, 165.0}) {
    Buffer tone = Silence(length);
    for (size_t i = 0; i < tone.size(); ++i) {
      const double t = double(i) / kRate;
      tone[i] = static_cast<float>(std::sin(2.0 * kPi * f * t) *
                                   (0.6 + 0.4 * std::sin(2.0 * kPi * t / length)));
    }
    Mix(b, tone, 0.0, static_cast<float>(55.0 / f));
  }
  Normalise(b, 0.35f);
  return b;
}

// "final_credits": 40 s that move from the minor of the intro to a major close.
Buffer FinalCredits() {
  const double length = 40.0;
  Buffer b = Elegy(length, {110.0, 87.3, 98.0, 82.4, 110.0, 87.3, 130.8, 110.0}, 5.0,
                   {{1.0, 440.0}, {6.0, 523.3}, {11.0, 392.0}, {16.0, 329.6}, {21.0, 440.0},
                    {26.0, 349.2}, {31.0, 523.3}, {36.0, 659.3}},
                   55.0);
  // The last chord turns to major.
  for (double ratio : {1.0, 1.26, 1.498}) Mix(b, Pad(5.0, 220.0 * ratio, 1.5, 5.0), 35.0, 0.2f);
  Normalise(b, 0.7f);
  Edges(b, 2.0);
  return b;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string root = argc > 1 ? argv[1] : "Data/audio";
  for (const char* sub : {"", "/player", "/weapons", "/enemies", "/voices", "/music", "/menu"})
    mkdir((root + sub).c_str(), 0755);

  struct Item {
    std::string file;
    std::function<Buffer()> make;
  };
  const std::vector<Item> items = {
      {"player/run_footsteps.wav", [] { return Footsteps(0.72, 2, 11); }},
      {"player/walk_footsteps.wav", [] { return Footsteps(1.1, 2, 21); }},
      {"player/heartbeat.wav", Heartbeat},
      {"player/slowmotion.wav", SlowMotion},
      {"player/x5_boom.wav", [] { return Boom(1.0, 70, 31); }},
      {"player/y3_boom.wav", [] { return Boom(1.0, 55, 41); }},
      {"weapons/grenade_explosion_01.wav", [] { return Explosion(1.6, 51, 0.6); }},
      {"weapons/grenade_explosion_02.wav", [] { return Explosion(1.5, 61, 0.45); }},
      {"weapons/grenade_explosion_03.wav", [] { return Explosion(1.7, 71, 0.75); }},
      {"enemies/out_water_01.wav", [] { return Splash(0.9, 81); }},
      {"enemies/out_water_02.wav", [] { return Splash(0.8, 91); }},
      {"enemies/wave_wake_01.wav", [] { return Growl(1.0, 70, 140, 5.0, 101); }},
      {"enemies/stunned_loop_01.wav",
       [] {
         Buffer b = Growl(1.2, 60, 60, 3.0, 111);
         Edges(b, 0.02);
         return b;
       }},
      {"voices/zombie_die.wav", [] { return Growl(1.4, 120, 45, 4.0, 121); }},
      {"voices/zombie_hit_01.wav", [] { return Growl(0.5, 150, 90, 9.0, 131); }},
      {"voices/krauser_tired.wav", [] { return Growl(1.3, 55, 48, 2.0, 141); }},
      {"voices/krauser_fatality.wav",
       [] {
         Buffer b = Growl(1.8, 90, 35, 6.0, 151);
         Mix(b, Boom(1.0, 45, 152), 0.6, 0.6f);
         Normalise(b, 0.9f);
         return b;
       }},
      {"menu/click_01.wav", [] { return Tone(0.09, 1400, 1100, 45.0, 0.001); }},
      {"menu/click_02.wav", [] { return Tone(0.06, 900, 850, 60.0, 0.001); }},
      {"menu/click_03.wav", [] { return Tone(0.05, 700, 760, 70.0, 0.001); }},
      {"menu/back_01.wav", [] { return Tone(0.12, 900, 500, 30.0, 0.001); }},
      {"menu/newgame_01.wav",
       [] {
         Buffer b = Tone(0.9, 220, 110, 3.5, 0.01);
         Mix(b, Boom(0.9, 60, 181), 0.0, 0.5f);
         Normalise(b, 0.8f);
         return b;
       }},
      // The player's blades and the blows he takes.
      {"weapons/swing_02.wav", [] { return Whoosh(0.35, 300, 1400, 201); }},
      {"weapons/swing_03.wav", [] { return Whoosh(0.45, 250, 1100, 202); }},
      {"weapons/swing_04.wav",
       [] {
         Buffer b = Whoosh(0.7, 180, 900, 203);
         Mix(b, Whoosh(0.5, 300, 1600, 204), 0.15, 0.6f);
         Normalise(b, 0.8f);
         return b;
       }},
      {"weapons/fatality_03.wav",
       [] {
         Buffer b = Whoosh(0.4, 300, 1300, 205);
         Mix(b, Thud(0.4, 90, 0.9, 206), 0.25, 1.0f);
         Normalise(b, 0.85f);
         return b;
       }},
      {"player/death_hit.wav", [] { return Thud(0.6, 75, 0.7, 211); }},
      {"player/death_explosion.wav",
       [] {
         Buffer b = Thud(0.9, 60, 0.5, 212);
         Mix(b, Explosion(0.9, 213, 0.3), 0.0, 0.5f);
         Normalise(b, 0.85f);
         return b;
       }},
      {"player/grenade_hit_ome.wav",
       [] {
         Buffer b = Tone(1.2, 3100, 2900, 2.0, 0.01);  // the ringing in the ears
         Mix(b, Thud(0.5, 70, 0.6, 214), 0.0, 0.8f);
         Normalise(b, 0.6f);
         return b;
       }},
      // His voice: attack shouts, effort grunts, pain, death.
      {"voices/brannoc_x1.wav", [] { return Voice(0.35, 150, 120, 700, 1150, 0.3, 2.0, 301); }},
      {"voices/brannoc_x2.wav", [] { return Voice(0.35, 160, 125, 650, 1100, 0.3, 2.0, 302); }},
      {"voices/brannoc_x3.wav", [] { return Voice(0.45, 170, 120, 720, 1200, 0.35, 2.0, 303); }},
      {"voices/brannoc_x4.wav", [] { return Voice(0.45, 175, 130, 600, 1000, 0.35, 2.0, 304); }},
      {"voices/brannoc_x5.wav", [] { return Voice(0.8, 190, 110, 750, 1250, 0.4, 2.5, 305); }},
      {"voices/brannoc_y2.wav", [] { return Voice(0.45, 165, 120, 500, 900, 0.35, 2.0, 306); }},
      {"voices/brannoc_y3.wav", [] { return Voice(0.8, 185, 100, 700, 1100, 0.45, 2.5, 307); }},
      {"voices/brannoc_auto_01.wav", [] { return Voice(0.5, 170, 140, 680, 1150, 0.3, 2.0, 308); }},
      {"voices/brannoc_auto_02.wav",
       [] { return Voice(0.6, 180, 130, 720, 1200, 0.35, 2.0, 309); }},
      {"voices/brannoc_evade_01.wav",
       [] { return Voice(0.25, 140, 120, 550, 950, 0.6, 3.0, 311); }},
      {"voices/brannoc_evade_02.wav",
       [] { return Voice(0.22, 150, 125, 500, 900, 0.6, 3.0, 312); }},
      {"voices/brannoc_evade_03.wav",
       [] { return Voice(0.28, 135, 115, 580, 1000, 0.6, 3.0, 313); }},
      {"voices/brannoc_evade_04.wav",
       [] { return Voice(0.3, 145, 110, 620, 1050, 0.55, 3.0, 314); }},
      {"voices/brannoc_hit_cover.wav",
       [] { return Voice(0.25, 130, 110, 450, 850, 0.5, 3.0, 315); }},
      {"voices/brannoc_hit_explosion_01.wav",
       [] { return Voice(0.7, 210, 120, 760, 1250, 0.5, 2.5, 316); }},
      {"voices/brannoc_hit_explosion_02.wav",
       [] { return Voice(0.75, 200, 110, 720, 1200, 0.55, 2.5, 317); }},
      {"voices/brannoc_death.wav", [] { return Voice(1.1, 180, 80, 680, 1100, 0.5, 1.5, 318); }},
      {"voices/brannoc_death_explosion.wav",
       [] { return Voice(1.2, 220, 75, 740, 1200, 0.6, 2.5, 319); }},
      {"voices/brannoc_fatality_03.wav",
       [] { return Voice(0.6, 165, 115, 700, 1150, 0.4, 2.0, 320); }},
      {"voices/brannoc_tomad_esto.wav",
       [] {
         Buffer b = Voice(0.9, 140, 110, 600, 1400, 0.25, 1.5, 321);
         Mix(b, Voice(0.4, 150, 120, 400, 2000, 0.25, 1.5, 322), 0.3, 0.7f);
         Mix(b, Voice(0.4, 130, 100, 700, 1100, 0.25, 1.5, 323), 0.55, 0.7f);
         Normalise(b, 0.8f);
         return b;
       }},
      {"voices/brannoc_gas.wav", [] { return GasRelease(1.8, 324); }},
      {"voices/mutant_eso_ha_tenido_que_doler.wav",
       [] {
         Buffer b = Growl(1.4, 110, 70, 5.0, 331);
         Mix(b, Voice(1.2, 95, 70, 500, 900, 0.5, 1.2, 332), 0.1, 0.6f);
         Normalise(b, 0.85f);
         return b;
       }},
      {"music/menu_loop.wav",
       [] {
         return Music(80, {55.0, 41.2}, 0.18, 161);
       }},
      {"music/ingame_loop.wav",
       [] {
         return Music(120, {41.2, 49.0}, 0.12, 171);
       }},
      // The intro and the final credits.
      {"music/intro_ome.wav", IntroOmen},
      {"music/intro_brannoc.wav", IntroNarration},
      {"music/intro_loop.wav", IntroLoop},
      {"music/final_credits.wav", FinalCredits},
  };
  std::vector<Item> all = items;
  // Eleven pain voices, each a little different.
  for (int i = 1; i <= 11; ++i) {
    char file[64];
    std::snprintf(file, sizeof file, "voices/brannoc_hit_%02d.wav", i);
    all.push_back({file, [i] {
                     const double pitch = 150 + 9 * (i % 5);
                     return Voice(0.3 + 0.03 * (i % 4), pitch * 1.3, pitch * 0.8,
                                  560 + 30 * (i % 6), 950 + 40 * (i % 3), 0.45, 2.5, 340 + i);
                   }});
  }
  for (auto& sound : EnemySounds()) all.push_back({sound.first, sound.second});
  // The HUD's: a helper hint slides in with a soft rising two-note chime.
  mkdir((root + "/hud").c_str(), 0755);
  all.push_back({"hud/helper_out.wav", [] {
                   Buffer b = Silence(0.6);
                   Mix(b, Tone(0.35, 660, 660, 9.0, 0.004), 0.0, 0.5f);
                   Mix(b, Tone(0.45, 990, 990, 7.0, 0.004), 0.09, 0.45f);
                   Mix(b, Whoosh(0.25, 400, 2200, 401), 0.0, 0.15f);
                   Normalise(b, 0.6f);
                   Edges(b, 0.01);
                   return b;
                 }});
  // The start-up screens: a low sung drone and a film projector's clatter, both
  // looping under the logo and faded out under the title.
  all.push_back({"music/menu_ome.wav", [] {
                   const double seconds = 8.0;
                   Buffer b = Silence(seconds);
                   // Three near-unison voices on a low "om": slow beating, no attack.
                   const double f[3] = {65.4, 65.9, 98.1};
                   for (int v = 0; v < 3; ++v) {
                     Buffer voice = Silence(seconds);
                     Resonator r1(420.0, 120.0), r2(800.0, 160.0);
                     double phase = 0.0;
                     for (size_t i = 0; i < voice.size(); ++i) {
                       const double t = double(i) / kRate;
                       phase += f[v] / kRate;
                       phase -= std::floor(phase);
                       const double source = 1.0 - 2.0 * phase;
                       // A whole number of swells per loop, so the ends meet.
                       voice[i] = static_cast<float>((r1.Step(source) + 0.5 * r2.Step(source)) *
                                                     (0.7 + 0.3 * std::sin(2.0 * kPi * t / 4.0)));
                     }
                     Mix(b, voice, 0.0, v == 2 ? 0.4f : 0.8f);
                   }
                   Edges(b, 0.3);
                   Normalise(b, 0.55f);
                   return b;
                 }});
  all.push_back({"music/menu_projector.wav", [] {
                   const double seconds = 4.0;
                   Buffer b = Silence(seconds);
                   // The claw pulls the film 24 times a second over the motor's hum.
                   Mix(b, Tone(seconds, 50, 50, 0.0, 0.05), 0.0, 0.25f);
                   for (int k = 0; k < 96; ++k)
                     Mix(b, NoiseBurst(0.018, 0.8, 0.3, 220.0, 411 + uint32_t(k)), k / 24.0,
                         k % 2 ? 0.6f : 0.9f);
                   Edges(b, 0.01);
                   Normalise(b, 0.45f);
                   return b;
                 }});
  bool ok = true;
  for (const Item& item : all) {
    Buffer b = item.make();
    ok = WriteWav(root + "/" + item.file, b) && ok;
  }
  return ok ? 0 : 1;
}
