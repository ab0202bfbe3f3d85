// Writes the pre-loading screen's two textures: a night scene over still water for
// the background, and a soft dot for the progress marks.
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/image/ImageWriter.h"

namespace {

using plat::image::Image;

void Put(std::vector<uint8_t>& bgra, int w, int x, int y, float r, float g, float b, float a) {
  auto c = [](float v) { return static_cast<uint8_t>(std::fmin(std::fmax(v, 0.0f), 1.0f) * 255.0f + 0.5f); };
  size_t i = static_cast<size_t>((y * w + x) * 4);
  bgra[i] = c(b);
  bgra[i + 1] = c(g);
  bgra[i + 2] = c(r);
  bgra[i + 3] = c(a);
}

// The pre-loading screen draws its square texture scaled by (1, height / width) of its
// 512 x 316 screen: the picture is authored stretched by the inverse, so that it shows
// in true proportions there (a round moon).
constexpr float kScreenAspect = 316.0f / 512.0f;

std::vector<uint8_t> Background(int size) {
  std::vector<uint8_t> px(static_cast<size_t>(size * size * 4));
  const float horizon = 0.62f;
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      float u = (x + 0.5f) / size, v = (y + 0.5f) / size;
      float r, g, b;
      if (v < horizon) {
        float t = v / horizon;  // sky: deep blue to a dull green glow at the horizon
        r = 0.03f + 0.10f * t;
        g = 0.04f + 0.16f * t;
        b = 0.10f + 0.12f * t;
        // Distances in screen proportions: a texel is kScreenAspect as tall on screen.
        float dx = u - 0.72f, dy = (v - 0.22f) * kScreenAspect;
        float moon = std::sqrt(dx * dx + dy * dy);
        if (moon < 0.06f) r = g = b = 0.85f;
        else if (moon < 0.16f) { float k = (0.16f - moon) * 1.2f; r += k * 0.5f; g += k * 0.55f; b += k * 0.5f; }
        // The skyline of a ruined city.
        float block = std::floor(u * 24.0f);
        float noise = std::sin(block * 12.9898f) * 43758.5453f;
        float height = 0.06f + 0.16f * (noise - std::floor(noise));
        if (v > horizon - height) r = g = b = 0.02f;
      } else {
        float t = (v - horizon) / (1.0f - horizon);  // water mirrors the sky, darker
        r = 0.02f + 0.05f * (1.0f - t);
        g = 0.05f + 0.08f * (1.0f - t);
        b = 0.07f + 0.08f * (1.0f - t);
        float ripple =
            0.5f + 0.5f * std::sin(v * kScreenAspect * 220.0f + std::sin(u * 30.0f) * 2.0f);
        if (std::fabs(u - 0.72f) < 0.05f * (1.0f + t)) { r += 0.25f * ripple * (1.0f - t); g = r; b = r; }
      }
      Put(px, size, x, y, r, g, b, 1.0f);
    }
  }
  return px;
}

// A mark is drawn scaled by (0.5, 0.6): the dot is authored that much flatter.
constexpr float kMarkAspect = 0.6f / 0.5f;

std::vector<uint8_t> Dot(int size) {
  std::vector<uint8_t> px(static_cast<size_t>(size * size * 4));
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      float dx = x + 0.5f - size / 2.0f, dy = (y + 0.5f - size / 2.0f) * kMarkAspect;
      float d = std::sqrt(dx * dx + dy * dy) / (size / 2.0f);
      float a = std::fmin(std::fmax((1.0f - d) * 3.0f, 0.0f), 1.0f);
      Put(px, size, x, y, 0.85f, 0.9f, 0.8f, a);
    }
  return px;
}

bool Write(const std::string& path, uint32_t format, int size, const std::vector<uint8_t>& bgra) {
  Image img;
  img.format = format;
  img.width = img.height = static_cast<uint32_t>(size);
  img.mipLevels = 1;
  std::vector<uint8_t> data =
      format == plat::image::kFormatA8R8G8B8 ? bgra : plat::image::CompressDxt(format, size, size, bgra);
  img.levels.push_back({static_cast<uint32_t>(size), static_cast<uint32_t>(size), 1, data});
  std::vector<uint8_t> bytes;
  std::string error;
  if (!plat::image::EncodeDds(img, bytes, error) || !plat::image::WriteFileBytes(path, bytes)) {
    std::fprintf(stderr, "%s: %s\n", path.c_str(), error.empty() ? "cannot write" : error.c_str());
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::string dir = argc > 1 ? argv[1] : "Data/textures/preloading";
  bool ok = Write(dir + "/background.dds", plat::image::kFormatDXT1, 512, Background(512));
  ok = Write(dir + "/indicator.dds", plat::image::kFormatA8R8G8B8, 16, Dot(16)) && ok;
  return ok ? 0 : 1;
}
