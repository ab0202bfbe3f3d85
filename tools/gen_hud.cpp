// Writes the HUD: its pictures (dashboard, needles, lights, digit strips, halo, black,
// the button prompts, blood splatters, the combo words, emblems, the boss bar and,
// per language, the helper hints and the intro subtitles), the sprite meshes they
// are drawn on, the layout (Data/xml/hud.xml), the subtitle list, the HUD's objects
// (Data/xml/hud_instances.xml) and the list of the pictures no object names.
//
// Words and digits are rendered from DejaVu with stb_truetype; everything else is
// drawn from soft-edged shapes. The output is the same on every run.
//
// Usage: gen_hud [root folder]   (default "."; files go under <root>/Data/)
#define STB_TRUETYPE_IMPLEMENTATION
#include <stb_truetype.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "platform/image/Image.h"
#include "platform/image/ImageWriter.h"
#include "tools/gen_mesh_file.h"
#include "tools/gen_picture.h"

namespace {

bool g_ok = true;
constexpr float kPi = 3.14159265f;
const char* kFontBold = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
const char* kFontCondensed = "/usr/share/fonts/truetype/dejavu/DejaVuSansCondensed-Bold.ttf";

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  g_ok = gen::WriteBytes("gen_hud", path, bytes) && g_ok;
}

void WriteText(const std::string& path, const std::string& text) {
  WriteBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
}

// A TrueType face read whole; glyphs are rendered as coverage masks.
struct Font {
  std::vector<unsigned char> data;
  stbtt_fontinfo info{};
  bool ok = false;

  explicit Font(const char* path) {
    FILE* f = std::fopen(path, "rb");
    if (!f) {
      std::fprintf(stderr, "gen_hud: cannot read the font %s\n", path);
      g_ok = false;
      return;
    }
    unsigned char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) data.insert(data.end(), buffer, buffer + n);
    std::fclose(f);
    ok = stbtt_InitFont(&info, data.data(), stbtt_GetFontOffsetForIndex(data.data(), 0)) != 0;
    if (!ok) {
      std::fprintf(stderr, "gen_hud: %s is not a font\n", path);
      g_ok = false;
    }
  }
};

// UTF-8 to code points (the Spanish texts have accents and inverted marks).
std::vector<int> CodePoints(const std::string& text) {
  std::vector<int> out;
  for (size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      out.push_back(c);
      i += 1;
    } else if ((c & 0xE0) == 0xC0 && i + 1 < text.size()) {
      out.push_back(((c & 0x1F) << 6) | (text[i + 1] & 0x3F));
      i += 2;
    } else {
      out.push_back('?');
      i += 1;
    }
  }
  return out;
}

// R,G,B,A floats with straight alpha, composited "over".
struct Picture : gen::Picture {
  using gen::Picture::Picture;

  void Blend(int x, int y, float r, float g, float b, float a) {
    if (a <= 0.0f) return;
    Over(x, y, r, g, b, std::min(a, 1.0f));
  }
  // Every pixel whose centre lies within `cover` of the shape, by a signed distance
  // (negative inside), with a one-pixel soft edge.
  template <class Distance>
  void Shape(float x0, float y0, float x1, float y1, Distance distance, float r, float g, float b,
             float a = 1.0f) {
    const int xa = std::max(0, int(std::floor(x0)) - 1), xb = std::min(width, int(std::ceil(x1)) + 1);
    const int ya = std::max(0, int(std::floor(y0)) - 1), yb = std::min(height, int(std::ceil(y1)) + 1);
    for (int y = ya; y < yb; ++y)
      for (int x = xa; x < xb; ++x) {
        const float d = distance(x + 0.5f, y + 0.5f);
        Blend(x, y, r, g, b, a * std::clamp(0.5f - d, 0.0f, 1.0f));
      }
  }
  void Box(float x0, float y0, float x1, float y1, float radius, float r, float g, float b,
           float a = 1.0f) {
    Shape(x0, y0, x1, y1,
          [=](float px, float py) {
            const float dx = std::max({x0 + radius - px, px - (x1 - radius), 0.0f});
            const float dy = std::max({y0 + radius - py, py - (y1 - radius), 0.0f});
            const float outside = std::sqrt(dx * dx + dy * dy) - radius;
            const float inside = std::max(std::min(px - x0, x1 - px), 0.0f);
            return dx > 0 || dy > 0 ? outside : -std::min(inside, std::min(py - y0, y1 - py));
          },
          r, g, b, a);
  }
  void Disc(float cx, float cy, float radius, float r, float g, float b, float a = 1.0f) {
    Shape(cx - radius, cy - radius, cx + radius, cy + radius,
          [=](float px, float py) { return std::hypot(px - cx, py - cy) - radius; }, r, g, b, a);
  }
  // A ring between two radii over the screen angles [from, to] (radians clockwise
  // from straight up).
  void Arc(float cx, float cy, float inner, float outer, float from, float to, float r, float g,
           float b, float a = 1.0f) {
    Shape(cx - outer, cy - outer, cx + outer, cy + outer,
          [=](float px, float py) {
            const float angle = std::atan2(px - cx, -(py - cy));
            if (angle < from || angle > to) return 1.0f;
            const float d = std::hypot(px - cx, py - cy);
            return std::max(inner - d, d - outer);
          },
          r, g, b, a);
  }
  // A segment of the given thickness with round ends.
  void Line(float ax, float ay, float bx, float by, float thickness, float r, float g, float b,
            float a = 1.0f) {
    const float half = thickness * 0.5f;
    Shape(std::min(ax, bx) - half, std::min(ay, by) - half, std::max(ax, bx) + half,
          std::max(ay, by) + half,
          [=](float px, float py) {
            const float vx = bx - ax, vy = by - ay;
            const float len2 = std::max(vx * vx + vy * vy, 1e-6f);
            const float t = std::clamp(((px - ax) * vx + (py - ay) * vy) / len2, 0.0f, 1.0f);
            return std::hypot(px - (ax + t * vx), py - (ay + t * vy)) - half;
          },
          r, g, b, a);
  }
  // A glow that falls off from the centre.
  void Glow(float cx, float cy, float radius, float r, float g, float b, float a = 1.0f) {
    for (int y = std::max(0, int(cy - radius)); y < std::min(height, int(cy + radius) + 1); ++y)
      for (int x = std::max(0, int(cx - radius)); x < std::min(width, int(cx + radius) + 1); ++x) {
        const float d = std::hypot(x + 0.5f - cx, y + 0.5f - cy) / radius;
        if (d < 1.0f) Blend(x, y, r, g, b, a * (1.0f - d) * (1.0f - d));
      }
  }
  // Text of `pixels` height whose baseline starts at (x, baseline); align -1 left, 0
  // centred on x, 1 right. An outline of `outline` pixels in black goes under it.
  // Returns the advance width.
  float Text(const Font& font, const std::string& text, float x, float baseline, float pixels,
             int align, float r, float g, float b, float a = 1.0f, int outline = 0) {
    if (!font.ok) return 0.0f;
    const float scale = stbtt_ScaleForPixelHeight(&font.info, pixels);
    const std::vector<int> codes = CodePoints(text);
    float total = 0.0f;
    for (size_t i = 0; i < codes.size(); ++i) {
      int advance = 0, bearing = 0;
      stbtt_GetCodepointHMetrics(&font.info, codes[i], &advance, &bearing);
      total += advance * scale;
      if (i + 1 < codes.size())
        total += scale * stbtt_GetCodepointKernAdvance(&font.info, codes[i], codes[i + 1]);
    }
    float pen = align < 0 ? x : align == 0 ? x - total * 0.5f : x - total;
    for (size_t i = 0; i < codes.size(); ++i) {
      int w = 0, h = 0, ox = 0, oy = 0;
      const float shift = pen - std::floor(pen);
      unsigned char* mask = stbtt_GetCodepointBitmapSubpixel(&font.info, scale, scale, shift, 0.0f,
                                                              codes[i], &w, &h, &ox, &oy);
      const int left = int(std::floor(pen)) + ox, top = int(std::round(baseline)) + oy;
      if (mask) {
        for (int pass = outline > 0 ? 0 : 1; pass < 2; ++pass)
          for (int yy = 0; yy < h; ++yy)
            for (int xx = 0; xx < w; ++xx) {
              const float cover = mask[yy * w + xx] / 255.0f;
              if (cover <= 0.0f) continue;
              if (pass == 0) {
                for (int dy = -outline; dy <= outline; ++dy)
                  for (int dx = -outline; dx <= outline; ++dx)
                    if (dx * dx + dy * dy <= outline * outline)
                      Blend(left + xx + dx, top + yy + dy, 0.02f, 0.02f, 0.02f, a * cover * 0.8f);
              } else {
                Blend(left + xx, top + yy, r, g, b, a * cover);
              }
            }
        stbtt_FreeBitmap(mask, nullptr);
      }
      int advance = 0, bearing = 0;
      stbtt_GetCodepointHMetrics(&font.info, codes[i], &advance, &bearing);
      pen += advance * scale;
      if (i + 1 < codes.size())
        pen += scale * stbtt_GetCodepointKernAdvance(&font.info, codes[i], codes[i + 1]);
    }
    return total;
  }
};

void WriteDds(const std::string& path, const Picture& picture, bool compress = false) {
  g_ok = gen::WriteDds("gen_hud", path, picture, compress) && g_ok;
}

// Deterministic noise for the blood shapes.
struct Random {
  uint32_t state;
  explicit Random(uint32_t seed) : state(seed * 2654435761u + 12345u) {}
  float Next() {
    state = state * 1664525u + 1013904223u;
    return static_cast<float>(state >> 8) / 16777216.0f;
  }
  float Range(float low, float high) { return low + (high - low) * Next(); }
};

// --- pictures ---------------------------------------------------------------------

// The dials' angles (degrees clockwise from straight up), shared with the layout.
constexpr float kLifeMin = -120.0f, kLifeMax = 120.0f;
constexpr float kGasMin = -90.0f, kGasMax = 90.0f;

// The dashboard panel, in its own pixels; its top left corner sits at kPanelX, kPanelY.
constexpr float kPanelX = 16.0f, kPanelY = 560.0f;
constexpr float kLifeX = 96.0f, kLifeY = 104.0f, kLifeR = 76.0f;
constexpr float kGasX = 244.0f, kGasY = 80.0f, kGasR = 46.0f;
constexpr float kCronoX = 318.0f, kCronoY = 150.0f, kCronoR = 24.0f;
constexpr float kDigitsX = 190.0f, kDigitsY = 168.0f, kDigitW = 20.0f, kDigitH = 28.0f;
constexpr float kLightGasX = 322.0f, kLightGasY = 40.0f;
constexpr float kBombX = 168.0f, kBombY = 36.0f, kBombStep = 24.0f;
constexpr int kPanelW = 360, kPanelH = 200;

void Ticks(Picture& p, float cx, float cy, float r, float from, float to, int count, float length) {
  for (int i = 0; i <= count; ++i) {
    const float a = (from + (to - from) * i / count) * kPi / 180.0f;
    const float s = std::sin(a), c = -std::cos(a);
    const float l = i % 2 == 0 ? length : length * 0.6f;
    p.Line(cx + s * (r - l), cy + c * (r - l), cx + s * r, cy + c * r, 2.0f, 0.85f, 0.85f, 0.8f);
  }
}

Picture Dashboard(const Font& font) {
  Picture p(kPanelW, kPanelH);
  p.Box(4, 18, kPanelW - 4, kPanelH - 4, 22, 0.05f, 0.055f, 0.06f, 0.88f);
  p.Box(8, 22, kPanelW - 8, kPanelH - 8, 19, 0.12f, 0.13f, 0.14f, 0.9f);
  // Life: a red to green scale, the dial's face darker inside.
  p.Disc(kLifeX, kLifeY, kLifeR + 6, 0.3f, 0.31f, 0.33f);
  p.Disc(kLifeX, kLifeY, kLifeR, 0.04f, 0.045f, 0.05f);
  const int steps = 48;
  for (int i = 0; i < steps; ++i) {
    const float t = float(i) / steps, t1 = float(i + 1) / steps;
    const float a0 = (kLifeMin + (kLifeMax - kLifeMin) * t) * kPi / 180.0f;
    const float a1 = (kLifeMin + (kLifeMax - kLifeMin) * t1) * kPi / 180.0f;
    p.Arc(kLifeX, kLifeY, kLifeR - 14, kLifeR - 4, a0, a1 + 0.01f, 0.85f * (1 - t) + 0.2f * t,
          0.15f * (1 - t) + 0.75f * t, 0.12f);
  }
  Ticks(p, kLifeX, kLifeY, kLifeR - 16, kLifeMin, kLifeMax, 10, 10);
  p.Text(font, "LIFE", kLifeX, kLifeY + 46, 18, 0, 0.9f, 0.88f, 0.8f);
  // Gas: a blue scale over the top half.
  p.Disc(kGasX, kGasY, kGasR + 5, 0.3f, 0.31f, 0.33f);
  p.Disc(kGasX, kGasY, kGasR, 0.04f, 0.045f, 0.05f);
  p.Arc(kGasX, kGasY, kGasR - 11, kGasR - 4, kGasMin * kPi / 180, kGasMax * kPi / 180, 0.2f, 0.55f,
        0.95f);
  p.Arc(kGasX, kGasY, kGasR - 11, kGasR - 4, kGasMin * kPi / 180,
        (kGasMin + 0.33f * (kGasMax - kGasMin)) * kPi / 180, 0.9f, 0.35f, 0.1f);
  Ticks(p, kGasX, kGasY, kGasR - 12, kGasMin, kGasMax, 4, 7);
  p.Text(font, "GAS", kGasX, kGasY + 26, 15, 0, 0.9f, 0.88f, 0.8f);
  // The stopwatch: a small white face with twelve marks.
  p.Disc(kCronoX, kCronoY, kCronoR + 4, 0.3f, 0.31f, 0.33f);
  p.Disc(kCronoX, kCronoY, kCronoR, 0.85f, 0.84f, 0.78f);
  for (int i = 0; i < 12; ++i) {
    const float a = i * kPi / 6;
    p.Line(kCronoX + std::sin(a) * (kCronoR - 6), kCronoY - std::cos(a) * (kCronoR - 6),
           kCronoX + std::sin(a) * (kCronoR - 2), kCronoY - std::cos(a) * (kCronoR - 2), 1.6f, 0.1f,
           0.1f, 0.1f);
  }
  p.Box(kCronoX - 4, kCronoY - kCronoR - 12, kCronoX + 4, kCronoY - kCronoR - 2, 2, 0.5f, 0.5f, 0.52f);
  // The score's four windows.
  for (int i = 0; i < 4; ++i) {
    const float x = kDigitsX + i * (kDigitW + 2);
    p.Box(x - kDigitW / 2 - 1, kDigitsY - kDigitH / 2 - 1, x + kDigitW / 2 + 1, kDigitsY + kDigitH / 2 + 1,
          3, 0.0f, 0.0f, 0.0f, 0.95f);
  }
  // Sockets of the lamps: the gas light and the two grenades, with a grenade drawn
  // beside them.
  p.Disc(kLightGasX, kLightGasY, 9, 0.02f, 0.02f, 0.02f);
  p.Arc(kLightGasX, kLightGasY, 9, 11, -kPi, kPi, 0.5f, 0.5f, 0.52f);
  for (int i = 0; i < 2; ++i) {
    const float x = kBombX + i * kBombStep;
    p.Disc(x, kBombY, 8, 0.02f, 0.02f, 0.02f);
    p.Arc(x, kBombY, 8, 10, -kPi, kPi, 0.5f, 0.5f, 0.52f);
  }
  const float iconX = kBombX + kBombStep * 0.5f, iconY = kBombY + 28;
  p.Disc(iconX, iconY, 8, 0.35f, 0.4f, 0.3f);
  p.Box(iconX - 3, iconY - 12, iconX + 3, iconY - 7, 1, 0.55f, 0.55f, 0.5f);
  return p;
}

// A needle pointing up with its hub 15% above the bottom (the needle mesh's pivot).
Picture Needle(int w, int h, float r, float g, float b) {
  Picture p(w, h);
  const float hubY = h * 0.85f;
  const float cx = w * 0.5f;
  p.Line(cx, hubY, cx, 2.0f + w * 0.25f, w * 0.42f, r * 0.6f, g * 0.6f, b * 0.6f);
  p.Line(cx, hubY, cx, 2.0f + w * 0.25f, w * 0.26f, r, g, b);
  p.Line(cx, hubY, cx, h - 2.0f, w * 0.3f, 0.2f, 0.2f, 0.2f);
  p.Disc(cx, hubY, w * 0.45f, 0.25f, 0.25f, 0.27f);
  p.Disc(cx, hubY, w * 0.25f, 0.7f, 0.7f, 0.68f);
  return p;
}

Picture Light() {
  Picture p(32, 32);
  p.Glow(16, 16, 16, 1.0f, 0.55f, 0.15f, 0.9f);
  p.Disc(16, 16, 8, 1.0f, 0.6f, 0.2f);
  p.Disc(14, 14, 3, 1.0f, 0.95f, 0.8f);
  return p;
}

// Eleven cells from the top: 0 to 9, then 0 again, so that the wheel rolls on.
constexpr int kStripCells = 11;
Picture DigitStrip(const Font& font) {
  const int cell = 48;
  Picture p(32, cell * kStripCells);
  for (int i = 0; i < kStripCells; ++i) {
    p.Box(0, float(i * cell), 32, float((i + 1) * cell), 0, 0.03f, 0.03f, 0.03f);
    p.Text(font, std::to_string(i % 10), 16, i * cell + 40, 44, 0, 0.95f, 0.9f, 0.75f);
  }
  return p;
}

// The combo's digits in four columns and three rows.
Picture ComboGrid(const Font& font) {
  Picture p(256, 192);
  for (int d = 0; d < 10; ++d) {
    const float x = (d % 4) * 64 + 32, y = (d / 4) * 64 + 54;
    p.Text(font, std::to_string(d), x, y, 60, 0, 1.0f, 0.82f, 0.2f, 1.0f, 3);
  }
  return p;
}

Picture Halo() {
  Picture p(96, 96);
  for (int y = 0; y < 96; ++y)
    for (int x = 0; x < 96; ++x) {
      const float d = std::hypot(x + 0.5f - 48, y + 0.5f - 48);
      const float ring = std::exp(-(d - 34) * (d - 34) / 40.0f);
      p.Blend(x, y, 1.0f, 0.9f, 0.5f, ring);
    }
  return p;
}

Picture Solid(float r, float g, float b) {
  Picture p(8, 8);
  p.Box(0, 0, 8, 8, 0, r, g, b);
  return p;
}

Picture ButtonA(const Font& font) {
  Picture p(64, 64);
  p.Disc(32, 32, 29, 0.05f, 0.2f, 0.05f);
  p.Disc(32, 32, 26, 0.25f, 0.7f, 0.2f);
  p.Disc(28, 27, 16, 0.45f, 0.85f, 0.4f, 0.5f);
  p.Text(font, "A", 32, 44, 36, 0, 1.0f, 1.0f, 1.0f);
  return p;
}

Picture KeyboardK(const Font& font) {
  Picture p(64, 64);
  p.Box(3, 3, 61, 61, 9, 0.15f, 0.15f, 0.16f);
  p.Box(7, 6, 57, 52, 7, 0.85f, 0.85f, 0.82f);
  p.Text(font, "K", 32, 42, 34, 0, 0.1f, 0.1f, 0.12f);
  return p;
}

// One splatter: a dense core, lobes and drops, with drips running down.
Picture Splatter(uint32_t seed) {
  Random rnd(seed);
  const int size = 256;
  Picture p(size, size);
  const float red[3] = {0.45f, 0.02f, 0.02f};
  auto blob = [&](float x, float y, float r) {
    p.Disc(x, y, r, red[0] + rnd.Range(0, 0.15f), red[1], red[2], rnd.Range(0.75f, 0.95f));
  };
  const float cx = rnd.Range(100, 156), cy = rnd.Range(90, 140);
  blob(cx, cy, rnd.Range(34, 48));
  for (int i = 0; i < 10; ++i) {
    const float a = rnd.Range(0, 2 * kPi), d = rnd.Range(20, 60);
    blob(cx + std::cos(a) * d, cy + std::sin(a) * d, rnd.Range(10, 24));
  }
  for (int i = 0; i < 24; ++i) {
    const float a = rnd.Range(0, 2 * kPi), d = rnd.Range(60, 118);
    blob(cx + std::cos(a) * d, cy + std::sin(a) * d, rnd.Range(2, 7));
  }
  for (int i = 0; i < 4; ++i) {
    const float x = cx + rnd.Range(-36, 36), y = cy + rnd.Range(0, 24);
    const float length = rnd.Range(30, 100);
    p.Line(x, y, x, std::min(y + length, size - 8.0f), rnd.Range(4, 8), red[0], red[1], red[2], 0.85f);
    p.Disc(x, std::min(y + length, size - 8.0f) + 2, rnd.Range(4, 6), red[0], red[1], red[2], 0.9f);
  }
  return p;
}

Picture Word(const Font& font, const std::string& text, int w, int h, float pixels, float r, float g,
             float b) {
  Picture p(w, h);
  p.Text(font, text, w * 0.5f, h * 0.5f + pixels * 0.36f, pixels, 0, r, g, b, 1.0f, 3);
  return p;
}

// A badge with the grenade: the emblem of a grenade picked up.
Picture EmblemBombs(const Font& font) {
  Picture p(128, 128);
  p.Disc(64, 64, 60, 0.1f, 0.1f, 0.1f, 0.9f);
  p.Arc(64, 64, 52, 58, -kPi, kPi, 0.8f, 0.65f, 0.25f);
  p.Disc(58, 70, 26, 0.32f, 0.38f, 0.26f);
  p.Line(46, 58, 70, 82, 3, 0.2f, 0.24f, 0.16f);
  p.Line(46, 82, 70, 58, 3, 0.2f, 0.24f, 0.16f);
  p.Box(50, 30, 66, 46, 2, 0.6f, 0.6f, 0.55f);
  p.Line(66, 36, 84, 26, 3, 0.7f, 0.7f, 0.65f);
  p.Text(font, "+1", 96, 106, 28, 0, 1.0f, 0.85f, 0.3f, 1.0f, 2);
  return p;
}

// A star badge with the highest score.
Picture Emblem9999(const Font& font) {
  Picture p(128, 128);
  p.Shape(0, 0, 128, 128,
          [](float x, float y) {
            const float dx = x - 64, dy = y - 64;
            const float a = std::atan2(dy, dx);
            const float r = 46 + 14 * std::cos(5 * a);
            return std::hypot(dx, dy) - r;
          },
          0.85f, 0.65f, 0.15f);
  p.Disc(64, 64, 38, 0.15f, 0.1f, 0.05f);
  p.Text(font, "9999", 64, 74, 28, 0, 1.0f, 0.9f, 0.5f);
  return p;
}

// The boss bar: a frame, a dark back, the fill and the marker that rides its end.
// The fill's alpha climbs from left to right: the alpha test keeps the texels under
// the boss's share of life, so the bar shows that share from the left.
Picture BossFrame(const Font& font) {
  Picture p(512, 48);
  // A rim round the fill's window.
  p.Box(0, 8, 512, 40, 8, 0.55f, 0.5f, 0.45f);
  for (int y = 13; y < 35; ++y)
    for (int x = 5; x < 507; ++x) p.rgba[(size_t(y) * 512 + x) * 4 + 3] = 0.0f;
  p.Text(font, "BOSS", 256, 47, 13, 0, 0.9f, 0.85f, 0.8f, 1.0f, 2);
  return p;
}

Picture BossBack() {
  Picture p(512, 48);
  p.Box(4, 12, 508, 36, 6, 0.08f, 0.03f, 0.03f, 0.85f);
  return p;
}

Picture BossBar() {
  Picture p(512, 32);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 512; ++x) {
      float* q = &p.rgba[(size_t(y) * 512 + x) * 4];
      q[0] = q[1] = q[2] = 0.7f + 0.3f * std::sin((y + 0.5f) / 32.0f * kPi);
      q[3] = (1.0f + 254.0f * (x + 0.5f) / 512.0f) / 255.0f;
    }
  return p;
}

Picture BossArrow() {
  Picture p(32, 32);
  p.Shape(0, 0, 32, 32,
          [](float x, float y) {
            // A triangle pointing down onto the bar's end.
            const float d1 = (y - 30) * 0.9f;
            const float d2 = std::fabs(x - 16) * 0.9f - (30 - y) * 0.45f;
            return std::max(d1 < 0 ? -1.0f : d1, d2) + (y < 4 ? 4 - y : 0);
          },
          0.95f, 0.9f, 0.8f);
  return p;
}

struct LanguageTexts {
  const char* folder;
  std::vector<std::string> helpers;
};

// The helper hints, one per row.
constexpr int kHelperRows = 8;
Picture Helpers(const Font& font, const std::vector<std::string>& rows) {
  Picture p(512, 64 * kHelperRows);
  for (int i = 0; i < kHelperRows; ++i) {
    p.Box(4, i * 64.0f + 6, 508, i * 64.0f + 58, 12, 0.04f, 0.05f, 0.07f, 0.82f);
    p.Box(4, i * 64.0f + 6, 14, i * 64.0f + 58, 4, 0.85f, 0.6f, 0.2f);
    if (i < int(rows.size())) p.Text(font, rows[i], 256, i * 64.0f + 41, 26, 0, 0.95f, 0.93f, 0.86f);
  }
  return p;
}

// The intro's subtitle strip (written by tools/gen_intro with the narration) has
// eight rows.
constexpr int kSubtitleRows = 8;

// The level's own subtitle strip ("hud/Subtitles_level.dds", which the level script
// shows as play begins): the intro strip's eight rows and look, each line fitted to
// the strip's width.
Picture LevelSubtitles(const Font& font, const std::vector<std::string>& rows) {
  Picture p(1024, 64 * kSubtitleRows);
  for (int i = 0; i < kSubtitleRows && i < int(rows.size()); ++i) {
    const float top = i * 64.0f;
    const float natural = p.Text(font, rows[i], 512, top + 41, 30, 0, 0, 0, 0, 0.0f);
    const float size = std::min(30.0f, 30.0f * 960.0f / std::max(1.0f, natural));
    const float width = natural * size / 30.0f;
    p.Box(512 - width * 0.5f - 16, top + 10, 512 + width * 0.5f + 16, top + 54, 8, 0, 0, 0, 0.5f);
    p.Text(font, rows[i], 512, top + 41, size, 0, 0.95f, 0.93f, 0.88f, 1.0f, 1);
  }
  return p;
}

// --- meshes -----------------------------------------------------------------------

// A quad of one unit centred on its origin (or, for a needle, with the origin 15%
// above its bottom, where the needle turns), facing the viewer, its texture
// coordinates covering [0, u] x [0, v]: one cell of a strip or grid, which
// "gUVOffset" moves over the picture.
void WriteQuad(const std::string& path, float top, float bottom, float u, float v) {
  const float corners[4][2] = {{-0.5f, bottom}, {0.5f, bottom}, {-0.5f, top}, {0.5f, top}};
  const float uvs[4][2] = {{0, v}, {u, v}, {0, 0}, {u, 0}};
  WriteBytes(path, gen::SpriteQuadMesh(corners, uvs));
}

// --- layout and objects -----------------------------------------------------------

struct Element {
  const char* name;
  const char* mesh;
  const char* texture;  // null: the HUD sets it
  const char* alignment;
  float x, y, z, w, h;  // centre and size in pixels of the 1024 x 768 base screen
  std::string children;  // the element's settings in hud.xml
  bool mirrored = false;  // turned half round: its roll turns the other way on screen
};

std::string Num(float v) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%g", static_cast<double>(v));
  return buffer;
}

std::string Alpha(float value, float speed, float visible) {
  return "<alpha value=\"" + Num(value) + "\" speed=\"" + Num(speed) + "\" visible_time=\"" +
         Num(visible) + "\"/>";
}
std::string Scale(float max, float min, float speed) {
  return "<scale max=\"" + Num(max) + "\" min=\"" + Num(min) + "\" speed=\"" + Num(speed) + "\"/>";
}
std::string Arrow(float min, float max, float spring, float damp) {
  return "<arrow angle_min=\"" + Num(min) + "\" angle_max=\"" + Num(max) + "\" spring=\"" +
         Num(spring) + "\" damp=\"" + Num(damp) + "\"/>";
}
std::string Counter(float speed, float u, float v) {
  return "<counter speed=\"" + Num(speed) + "\" u_offset=\"" + Num(u) + "\" v_offset=\"" + Num(v) +
         "\" endl=\"0\"/>";
}
std::string LightParams(float on, float off, float intermittent) {
  return "<light time_enabled=\"" + Num(on) + "\" time_disabled=\"" + Num(off) +
         "\" intermitent_time=\"" + Num(intermittent) + "\" intensity=\"1\"/>";
}
std::string PosOffset(const char* bounds, float speed) {
  return std::string("<pos_offset ") + bounds + " speed=\"" + Num(speed) + "\"/>";
}

std::vector<Element> Elements() {
  const float px = kPanelX, py = kPanelY;
  const float strip = 1.0f / kStripCells;
  std::vector<Element> e;
  e.push_back({"hud_dashboard", "hud_quad.mesh", "hud/dashboard.dds", "left", px + kPanelW / 2, py + kPanelH / 2, 1,
               kPanelW, kPanelH, Alpha(0, 2, 12)});
  e.push_back({"hud_life_arrow", "hud_needle.mesh", "hud/needle_life.dds", "left", px + kLifeX,
               py + kLifeY, 4, 16, 84, Alpha(0, 2, 0) + Arrow(kLifeMin, kLifeMax, 40, 7)});
  e.push_back({"hud_gas_arrow", "hud_needle.mesh", "hud/needle_gas.dds", "left", px + kGasX,
               py + kGasY, 4, 12, 52, Alpha(0, 2, 0) + Arrow(kGasMin, kGasMax, 30, 6)});
  Element crono{"hud_crono_arrow", "hud_needle.mesh", "hud/needle_crono.dds", "left", px + kCronoX,
                py + kCronoY, 4, 8, 30, Alpha(0, 2, 0) + Arrow(0, 0, 16, 1) + Scale(1, 1, 0)};
  crono.mirrored = true;
  e.push_back(crono);
  e.push_back({"hud_light_gas", "hud_quad.mesh", "hud/light.dds", "left", px + kLightGasX,
               py + kLightGasY, 3, 30, 30, Alpha(0, 1, 0) + LightParams(0.35f, 0.25f, 1.2f)});
  for (int i = 0; i < 2; ++i)
    e.push_back({i == 0 ? "hud_light_bomb_01" : "hud_light_bomb_02", "hud_quad.mesh", "hud/light.dds",
                 "left", px + kBombX + i * kBombStep, py + kBombY, 3, 28, 28,
                 Alpha(0, 1, 0) + LightParams(0.12f, 0.12f, 1.0f)});
  const char* digits[4] = {"hud_number_unid", "hud_number_dec", "hud_number_cent", "hud_number_mil"};
  for (int i = 0; i < 4; ++i)
    e.push_back({digits[i], "hud_cell_strip.mesh", "hud/score_digits.dds", "left",
                 px + kDigitsX + (3 - i) * (kDigitW + 2), py + kDigitsY, 3, kDigitW, kDigitH,
                 Alpha(0, 2, 0) + Counter(7, 0, strip)});
  e.push_back({"hud_crono_halo", "hud_quad.mesh", "hud/crono_halo.dds", "left", px + kCronoX,
               py + kCronoY, 2, 96, 96, Alpha(0, 1, 0) + Scale(1.6f, 0.6f, 1)});
  // Above the dashboard, the use prompt and the helper, which all share the bottom.
  e.push_back({"hud_subtitles", "hud_cell_rows8.mesh", "eng/hud/Subtitles_intro.dds", "center", 512, 520, 20,
               1024, 64, Alpha(0, 4, 4) + "<subtitles v_offset=\"" + Num(1.0f / kSubtitleRows) + "\"/>"});
  e.push_back({"hud_button", "hud_quad.mesh", "hud/Keyboard_K.dds", "center", 512, 600, 20, 56, 56,
               Alpha(0, 5, 3)});
  const float splat[4][3] = {{200, 200, 420}, {820, 230, 380}, {250, 560, 360}, {780, 560, 440}};
  const char* splatters[4] = {"bloodsplatter_01", "bloodsplatter_02", "bloodsplatter_03", "bloodsplatter_04"};
  for (int i = 0; i < 4; ++i)
    e.push_back({splatters[i], "hud_quad.mesh",
                 i == 0 ? "hud/bloodsplatter_01a.dds" : i == 1 ? "hud/bloodsplatter_02a.dds"
                                  : i == 2 ? "hud/bloodsplatter_03a.dds" : "hud/bloodsplatter_04a.dds",
                 "center", splat[i][0], splat[i][1], 24, splat[i][2], splat[i][2], Alpha(0, 0.6f, 2.5f)});
  e.push_back({"black_screen", "hud_quad.mesh", "hud/black.dds", "center", 512, 384, 31, 1024, 768,
               Alpha(0, 1, 0)});
  e.push_back({"hud_cinematicmargin_top", "hud_quad.mesh", "hud/black.dds", "center", 512, -48, 30, 1024,
               96, Alpha(1, 1, 0) + "<cinematic_margins appearing_speed=\"192\" time_to_appear=\"0.5\"/>"});
  e.push_back({"hud_cinematicmargin_bottom", "hud_quad.mesh", "hud/black.dds", "center", 512, 816, 30,
               1024, 96, Alpha(1, 1, 0) + "<cinematic_margins appearing_speed=\"192\" time_to_appear=\"0.5\"/>"});
  const std::string grid = Counter(0, 0.25f, 1.0f / 3.0f);
  e.push_back({"hud_combo_number_single", "hud_cell_grid.mesh", "hud/combo_digits.dds", "right", 900, 300,
               10, 72, 72, Alpha(0, 4, 2.5f) + Scale(1.8f, 1, 3) + grid});
  e.push_back({"hud_combo_number_unid", "hud_cell_grid.mesh", "hud/combo_digits.dds", "right", 930, 300, 10,
               72, 72, Alpha(0, 4, 0) + Scale(1.8f, 1, 3) + PosOffset("minX=\"-24\" maxX=\"60\"", 360) + grid});
  e.push_back({"hud_combo_number_dec", "hud_cell_grid.mesh", "hud/combo_digits.dds", "right", 874, 300, 10,
               72, 72, Alpha(0, 4, 0) + Scale(1.8f, 1, 3) + PosOffset("minX=\"-24\" maxX=\"60\"", 360) + grid});
  e.push_back({"hud_combo_hit", "hud_quad.mesh", "hud/combo_hit.dds", "right", 904, 356, 10, 128, 40,
               Alpha(0, 4, 0) + Scale(1.4f, 1, 2) + Counter(0, 0, 0)});
  e.push_back({"hud_combo_word", "hud_quad.mesh", "hud/combo_bonus.dds", "right", 900, 236, 11, 224, 64,
               Alpha(0, 3, 1.5f) + Scale(2.0f, 1, 3) + Counter(0, 0, 0)});
  e.push_back({"hud_emblem_9999", "hud_quad.mesh", "hud/emblem_9999.dds", "left", 420, 690, 12, 112, 112,
               Alpha(1, 1, 2.5f) + PosOffset("minY=\"-24\" maxY=\"160\"", 320) +
                   "<emblem spring=\"60\" damp=\"9\"/>"});
  e.push_back({"hud_emblem_bombs", "hud_quad.mesh", "hud/emblem_bombs.dds", "left", 420, 690, 12, 112, 112,
               Alpha(1, 1, 2.5f) + PosOffset("minY=\"-24\" maxY=\"160\"", 320) +
                   "<emblem spring=\"60\" damp=\"9\"/>"});
  e.push_back({"hud_helper", "hud_cell_rows8.mesh", "eng/hud/Helpers.dds", "right", 800, 700, 12, 384, 48,
               Alpha(1, 1, 4) + PosOffset("minY=\"-20\" maxY=\"120\"", 60) +
                   "<helper spring=\"60\" damp=\"8\" v_offset=\"" + Num(1.0f / kHelperRows) + "\"/>"});
  e.push_back({"hud_boss_life_back", "hud_quad.mesh", "hud/boss_back.dds", "center", 512, 56, 13, 512, 48,
               Alpha(0, 1, 0)});
  e.push_back({"hud_boss_life_bar", "hud_quad.mesh", "hud/boss_bar.dds", "center", 512, 56, 14, 502, 22,
               Alpha(0, 1, 0)});
  e.push_back({"hud_boss_life_frame", "hud_quad.mesh", "hud/boss_frame.dds", "center", 512, 56, 15, 512, 48,
               Alpha(0, 1.5f, 0)});
  e.push_back({"hud_boss_life_arrow", "hud_quad.mesh", "hud/boss_arrow.dds", "center", 762, 28, 16, 24, 24,
               Alpha(0, 1, 0) + PosOffset("minX=\"-500\"", 1)});
  return e;
}

const char* kHeader = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<!-- Written by tools/gen_hud. -->\n";

void WriteXml(const std::string& xml) {
  const std::vector<Element> elements = Elements();
  std::string layout = std::string(kHeader) +
                       "<res width=\"1024\" height=\"768\" depth=\"32\"/>\n"
                       "<checkpoint life_min=\"30\"/>\n"
                       "<desaturation speed_inc=\"1.5\" speed_dec=\"0.2\" life_threshold=\"30\"/>\n"
                       "<bonus base_value=\"10\"/>\n";
  for (const Element& e : elements)
    layout += std::string("<hud name=\"") + e.name + "\">\n  <alignment value=\"" + e.alignment +
              "\"/>\n  " + e.children + "\n</hud>\n";
  WriteText(xml + "/hud.xml", layout);

  WriteText(xml + "/subtitles.xml", std::string(kHeader) +
                                        "<subtitles>\n  <file name=\"hud/Subtitles_intro.dds\"/>\n"
                                        "  <file name=\"hud/Helpers.dds\"/>\n"
                                        "  <file name=\"hud/Subtitles_level.dds\"/>\n</subtitles>\n");

  std::string objects = kHeader;
  for (const Element& e : elements) {
    objects += std::string("<GameObject name=\"") + e.name + "\" GameObjectTemplate=\"hud\">\n";
    objects += "  <Component name=\"CTransform\">\n    <key name=\"position\" X=\"" + Num(e.x) +
               "\" Y=\"" + Num(e.y) + "\" Z=\"" + Num(e.z) + "\"/>\n    <key name=\"scale\" X=\"" +
               Num(e.w) + "\" Y=\"" + Num(e.h) + "\" Z=\"1\"/>\n";
    if (e.mirrored) objects += "    <key name=\"orientation\" X=\"0\" Y=\"1\" Z=\"0\" W=\"0\"/>\n";
    objects += "  </Component>\n  <Component name=\"CRenderer\">\n    <key name=\"mesh\" value=\"" +
               std::string(e.mesh) + "\"/>\n";
    objects += std::string("    <key name=\"textures\"><texture image=\"") + e.texture + "\"/></key>\n";
    objects += "  </Component>\n</GameObject>\n";
  }
  WriteText(xml + "/hud_instances.xml", objects);

  std::string textures = std::string(kHeader) + "<textures>\n";
  for (int i = 1; i <= 4; ++i)
    for (char variant : {'b', 'c'}) {
      const std::string name = "hud/bloodsplatter_0" + std::to_string(i) + variant + ".dds";
      textures += "  <texture id=\"" + name + "\" file=\"" + name + "\" type=\"2d\"/>\n";
    }
  textures += "  <texture id=\"hud/Button_A.dds\" file=\"hud/Button_A.dds\" type=\"2d\"/>\n";
  WriteText(xml + "/hud_textures.xml", textures + "</textures>\n");
}

// The fatality prompt that floats over a weakened enemy: the pad's B (a red
// button) or the keyboard's L, each with a light rim so it reads over the street.
Picture ButtonB(const Font& font) {
  Picture p(64, 64);
  p.Disc(32, 32, 30, 0.95f, 0.9f, 0.8f);
  p.Disc(32, 32, 27, 0.3f, 0.03f, 0.03f);
  p.Disc(32, 32, 24, 0.8f, 0.12f, 0.1f);
  p.Disc(28, 27, 14, 0.95f, 0.35f, 0.3f, 0.5f);
  p.Text(font, "B", 32, 44, 36, 0, 1.0f, 1.0f, 1.0f);
  return p;
}

Picture KeyboardL(const Font& font) {
  Picture p(64, 64);
  p.Box(1, 1, 63, 63, 11, 0.8f, 0.1f, 0.08f);
  p.Box(4, 4, 60, 60, 9, 0.15f, 0.15f, 0.16f);
  p.Box(8, 7, 56, 51, 7, 0.85f, 0.85f, 0.82f);
  p.Text(font, "L", 32, 42, 34, 0, 0.1f, 0.1f, 0.12f);
  return p;
}

void WriteFatalityIcons(const std::string& tex, const Font& font) {
  WriteDds(tex + "hud/Button_B.dds", ButtonB(font));
  WriteDds(tex + "hud/Keyboard_L.dds", KeyboardL(font));
}

void WriteLevelSubtitles(const std::string& tex, const Font& font) {
  const std::pair<const char*, const char*> languages[] = {
      {"eng/", "Clear the street of the dead: the smoke wall ahead falls when none are left."},
      {"spa/", "Limpia la calle de muertos: el muro de humo caerá cuando no quede ninguno."}};
  for (const auto& [folder, line] : languages)
    WriteDds(tex + folder + "hud/Subtitles_level.dds", LevelSubtitles(font, {line}), true);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string root = std::string(argc > 1 ? argv[1] : ".") + "/Data";
  const std::string tex = root + "/textures/";
  const Font bold(kFontBold);
  const Font condensed(kFontCondensed);

  WriteDds(tex + "hud/dashboard.dds", Dashboard(bold));
  WriteDds(tex + "hud/needle_life.dds", Needle(16, 84, 0.95f, 0.25f, 0.15f));
  WriteDds(tex + "hud/needle_gas.dds", Needle(12, 52, 0.95f, 0.75f, 0.2f));
  WriteDds(tex + "hud/needle_crono.dds", Needle(8, 30, 0.1f, 0.1f, 0.1f));
  WriteDds(tex + "hud/light.dds", Light());
  WriteDds(tex + "hud/score_digits.dds", DigitStrip(condensed));
  WriteDds(tex + "hud/crono_halo.dds", Halo());
  WriteDds(tex + "hud/black.dds", Solid(0, 0, 0));
  WriteDds(tex + "hud/Button_A.dds", ButtonA(bold));
  WriteDds(tex + "hud/Keyboard_K.dds", KeyboardK(bold));
  for (int i = 1; i <= 4; ++i)
    for (int v = 0; v < 3; ++v)
      WriteDds(tex + "hud/bloodsplatter_0" + std::to_string(i) + char('a' + v) + ".dds",
               Splatter(uint32_t(i * 7 + v * 131)), true);
  WriteDds(tex + "hud/combo_digits.dds", ComboGrid(bold));
  WriteDds(tex + "hud/combo_hit.dds", Word(bold, "HITS", 128, 40, 30, 1.0f, 0.9f, 0.8f));
  WriteDds(tex + "hud/combo_bonus.dds", Word(bold, "BONUS!", 224, 64, 46, 1.0f, 0.75f, 0.15f));
  WriteDds(tex + "hud/emblem_9999.dds", Emblem9999(bold));
  WriteDds(tex + "hud/emblem_bombs.dds", EmblemBombs(bold));
  WriteDds(tex + "hud/boss_frame.dds", BossFrame(bold));
  WriteDds(tex + "hud/boss_back.dds", BossBack());
  WriteDds(tex + "hud/boss_bar.dds", BossBar());
  WriteDds(tex + "hud/boss_arrow.dds", BossArrow());

  const LanguageTexts languages[] = {
      {"eng/",
       {"J  Attack", "K  Use", "L  Finish him off", "O  Throw a grenade", "U  Gas burst",
        "Space  Take cover", "W A S D  Move", "Esc  Pause"}},
      {"spa/",
       {"J  Atacar", "K  Usar", "L  Rematar", "O  Lanzar una granada", "U  Ráfaga de gas",
        "Espacio  Cubrirse", "W A S D  Moverse", "Esc  Pausa"}}};
  for (const LanguageTexts& language : languages) {
    WriteDds(tex + language.folder + "hud/Helpers.dds", Helpers(bold, language.helpers), true);
  }

  const std::string meshes = root + "/meshes/";
  WriteQuad(meshes + "hud_quad.mesh", -0.5f, 0.5f, 1.0f, 1.0f);
  WriteQuad(meshes + "hud_needle.mesh", -0.85f, 0.15f, 1.0f, 1.0f);
  WriteQuad(meshes + "hud_cell_strip.mesh", -0.5f, 0.5f, 1.0f, 1.0f / kStripCells);
  WriteQuad(meshes + "hud_cell_grid.mesh", -0.5f, 0.5f, 0.25f, 1.0f / 3.0f);
  WriteQuad(meshes + "hud_cell_rows8.mesh", -0.5f, 0.5f, 1.0f, 1.0f / 8.0f);
  WriteXml(root + "/xml");
  WriteFatalityIcons(tex, bold);
  WriteLevelSubtitles(tex, bold);
  if (g_ok) std::printf("gen_hud: the HUD written under %s\n", root.c_str());
  return g_ok ? 0 : 1;
}
