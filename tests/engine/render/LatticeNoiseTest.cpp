// Lattice noise against values worked out by hand from the hash table, and the
// sphere-vector file the game ships.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/core/Log.h"
#include "engine/render/LatticeNoise.h"
#include "engine/render/SphereVectors.h"
#include "tests/support/LogRecorder.h"

namespace vd {
namespace {

using gfx::FractalNoise;
using gfx::LatticeGradient;
using gfx::LatticeNoise;
using gfx::SFractalNoiseState;

// Loads a gradient table whose entry h is `gradient(h)`.
template <class F>
void LoadTable(F gradient) {
  const std::string path =
      (std::filesystem::temp_directory_path() / ("noise_" + std::to_string(::getpid()))).string();
  FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  const uint32_t count = gfx::kSphereVectorCount;
  std::fwrite(&count, 4, 1, f);
  for (uint32_t h = 0; h < count; ++h) {
    const plat::Vec3 g = gradient(h);
    const float v[3] = {g.x, g.y, g.z};
    std::fwrite(v, 4, 3, f);
  }
  std::fclose(f);
  gfx::LoadSphereVectors(path.c_str());
  std::filesystem::remove(path);
}

float Fade(float t) { return t * t * t * (t * (t * 6.0f - 15.0f) + 10.0f); }

class LatticeNoiseTest : public ::testing::Test {
protected:
  void TearDown() override { gfx::LoadSphereVectors(); }
};

TEST_F(LatticeNoiseTest, GradientIndexComesFromTheHashOfTheThreeLatticeHashes) {
  // Entry h holds (h, 0, 0): the gradient's x is the table index the hash picks.
  LoadTable([](uint32_t h) { return plat::Vec3(static_cast<float>(h), 0.0f, 0.0f); });
  // P[0] = 54, 3 x 54 = 162, P[162] = 63.
  EXPECT_FLOAT_EQ(LatticeGradient(0, 0, 0, 1, 0, 0), 63.0f);
  // P[1] + P[2] + P[3] = 189 + 140 + 247 = 576, & 255 = 64, P[64] = 24; any order.
  EXPECT_FLOAT_EQ(LatticeGradient(1, 2, 3, 1, 0, 0), 24.0f);
  EXPECT_FLOAT_EQ(LatticeGradient(3, 1, 2, 1, 0, 0), 24.0f);
  // Indices wrap at 256, negative ones too: -255 & 255 = 1.
  EXPECT_FLOAT_EQ(LatticeGradient(257, 258, 259, 1, 0, 0), 24.0f);
  EXPECT_FLOAT_EQ(LatticeGradient(-255, 2, 3, 1, 0, 0), 24.0f);
  // The offset scales the gradient: 63 x 0.5.
  EXPECT_FLOAT_EQ(LatticeGradient(0, 0, 0, 0.5f, 7.0f, 7.0f), 31.5f);
}

TEST_F(LatticeNoiseTest, NoiseInterpolatesTheCornerGradients) {
  LoadTable([](uint32_t h) { return plat::Vec3(static_cast<float>(h), 0.0f, 0.0f); });
  // At (0.5, 0, 0) only the corners (0,0,0) and (1,0,0) weigh (fade(0) = 0):
  // n000 = 63 x 0.5; n100: P[1] + 2 P[0] = 297 & 255 = 41, P[41] = 61, 61 x -0.5;
  // fade(0.5) = 0.5: 31.5 + (-30.5 - 31.5) x 0.5 = 0.5.
  EXPECT_FLOAT_EQ(LatticeNoise(0.5f, 0.0f, 0.0f), 0.5f);
  // The same point one cell over in z sits on the plane z = 1 of cell k = 1.
  EXPECT_FLOAT_EQ(LatticeNoise(0.5f, 0.0f, 0.0f), LatticeNoise(0.5f, 0.0f, 256.0f));

  // One gradient everywhere, (1, 0, 0): every corner gives fx - a, and the noise is
  // fx - fade(fx) whatever y and z.
  LoadTable([](uint32_t) { return plat::Vec3(1.0f, 0.0f, 0.0f); });
  for (float x : {0.125f, 0.25f, 0.8f, -0.75f}) {
    const float fx = x - std::floor(x);
    EXPECT_NEAR(LatticeNoise(x, 0.3f, 0.7f), fx - Fade(fx), 1e-6f) << x;
  }
}

TEST_F(LatticeNoiseTest, NoiseIsZeroAtEveryLatticePoint) {
  LoadTable([](uint32_t h) { return plat::Vec3(std::cos(h * 1.0f), std::sin(h * 1.0f), 0.5f); });
  for (int i = -3; i <= 3; ++i)
    for (int k = -2; k <= 2; ++k) EXPECT_EQ(LatticeNoise(float(i), float(i * 7), float(k)), 0.0f);
  EXPECT_NE(LatticeNoise(0.3f, 0.6f, 0.2f), 0.0f);
}

TEST_F(LatticeNoiseTest, FractalSumsWholeOctavesAndAFractionalOne) {
  // With the single gradient (1,0,0), N(x) = fx - fade(fx); x = 0.125 with lacunarity
  // 2 visits 0.125, 0.25, 0.5, 1.0 (0 at the lattice), 2.0.
  LoadTable([](uint32_t) { return plat::Vec3(1.0f, 0.0f, 0.0f); });
  auto N = [](float x) { return x - std::floor(x) - Fade(x - std::floor(x)); };
  const float p = 0.5f;
  SFractalNoiseState state;
  struct Case {
    float octaves;
    float expected;
  };
  const Case cases[] = {
      {1.0f, N(0.125f)},
      {2.0f, N(0.125f) + N(0.25f) * p},
      {3.0f, N(0.125f) + N(0.25f) * p + N(0.5f) * p * p},
      // 2.5: three whole terms (n = 0, 1, 2), then persistence^3 x 0.5 at x = 1.0
      // (a lattice point: 0); the third whole term is the ceiling of 2.5.
      {2.5f, N(0.125f) + N(0.25f) * p + N(0.5f) * p * p},
      // 1.005: two whole terms and no fractional one (0.005 <= 0.01).
      {1.005f, N(0.125f) + N(0.25f) * p},
  };
  for (const Case& c : cases)
    EXPECT_NEAR(FractalNoise(state, 0.125f, 0.0f, 0.0f, c.octaves, 1.0f, p, 2.0f), c.expected,
                1e-6f)
        << c.octaves;
  // A fractional term that lands off the lattice: 1.5 octaves at x = 0.1 adds
  // N(0.1) + N(0.2) x p (whole terms), then N(0.4) x p^2 x 0.5.
  EXPECT_NEAR(FractalNoise(state, 0.05f, 0.0f, 0.0f, 1.5f, 2.0f, p, 2.0f),
              N(0.1f) + N(0.2f) * p + N(0.4f) * p * p * 0.5f, 1e-6f);
}

TEST_F(LatticeNoiseTest, OctaveCountsBeyondTheWeightTableAreCutWithALogLine) {
  LoadTable([](uint32_t) { return plat::Vec3(1.0f, 0.0f, 0.0f); });
  std::string log;
  utl::CLogSinkHolder sinks;
  utl::SetLogSinks(&sinks);
  sinks.AddSink(new test::CLogRecorder(&log));
  SFractalNoiseState state;
  const float many = FractalNoise(state, 0.013f, 0.0f, 0.0f, 25.0f, 1.0f, 0.9f, 1.5f);
  EXPECT_NE(log.find("octave"), std::string::npos) << log;
  SFractalNoiseState fresh;
  const float ten =
      FractalNoise(fresh, 0.013f, 0.0f, 0.0f, std::nextafter(10.0f, 0.0f), 1.0f, 0.9f, 1.5f);
  utl::SetLogSinks(nullptr);
  EXPECT_EQ(many, ten);
}

TEST(SphereVectorFileTest, TheShippedTableHoldsTwoHundredSixtyTwoUnitVectors) {
  FILE* f = std::fopen("Data/misc/vectors_sphere.data", "rb");
  ASSERT_NE(f, nullptr) << "run from the repository root";
  uint32_t count = 0;
  ASSERT_EQ(std::fread(&count, 4, 1, f), 1u);
  EXPECT_EQ(count, 262u);
  std::vector<float> v(count * 3);
  EXPECT_EQ(std::fread(v.data(), 4, v.size(), f), v.size());
  EXPECT_EQ(std::fgetc(f), EOF);
  std::fclose(f);

  ASSERT_TRUE(gfx::LoadSphereVectors());
  const plat::Vec3* table = gfx::GetSphereVectors();
  plat::Vec3 sum(0, 0, 0);
  for (uint32_t i = 0; i < count; ++i) {
    const plat::Vec3& g = table[i];
    EXPECT_NEAR(g.x * g.x + g.y * g.y + g.z * g.z, 1.0f, 1e-5f) << i;
    sum = plat::Vec3(sum.x + g.x, sum.y + g.y, sum.z + g.z);
  }
  // Spread over the whole sphere: no side is favoured.
  EXPECT_LT(std::sqrt(sum.x * sum.x + sum.y * sum.y + sum.z * sum.z) / count, 0.02f);
}

}  // namespace
}  // namespace vd
