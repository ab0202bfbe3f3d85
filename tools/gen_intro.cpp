// Writes the intro and the final credits:
//   textures/intro/*.png            the intro's five panels: the city at night under
//                                   the moon, the fog coming up the street with the
//                                   dead walking in it, Brannoc (dark coat, a blade
//                                   in each hand) under a street lamp, the casino
//                                   tower where the thing behind it waits, and the
//                                   game's title
//   textures/<eng|spa>/hud/Subtitles_intro.dds
//                                   the narration's eight lines, one per eighth of the
//                                   strip's height (a PNG under the HUD's name)
//   textures/<eng|spa>/credits/*.png the credit cards with the team's names
//   textures/final_credits_background.png, textures/pause_background.png
//                                   the black screen behind the cards and the dark
//                                   veil over the paused game
//   xml/intro.xml, intro_instances.xml, intro_shaders.xml, final_credits.xml,
//   final_credits_instances.xml
// Words are drawn with DejaVu through stb_truetype. Everything is computed, so each
// run writes the same files.
//
// Usage: gen_intro [root folder]   (default "."; files go under <root>/Data/)
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#define STB_TRUETYPE_IMPLEMENTATION
#include <stb/stb_truetype.h>

#include "platform/image/ImageWriter.h"
#include "tools/gen_picture.h"
#include "tools/gen_text.h"

namespace {

bool g_ok = true;
constexpr float kPi = 3.14159265f;
const char* const kFontFolder = "/usr/share/fonts/truetype/dejavu/";

// A small deterministic random source.
struct Random {
  uint32_t state;
  explicit Random(uint32_t seed) : state(seed * 2654435761u + 1u) {}
  float Next() {  // [0, 1)
    state = state * 1664525u + 1013904223u;
    return static_cast<float>(state >> 8) / 16777216.0f;
  }
};

struct Colour {
  float r, g, b;
};
Colour Mix(Colour a, Colour b, float t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

// An R,G,B,A picture; shapes are blended over it with soft edges.
struct Picture : gen::Picture {
  using gen::Picture::Picture;

  void Blend(int x, int y, Colour c, float a) {
    if (a <= 0.0f) return;
    MixIn(x, y, c.r, c.g, c.b, std::min(a, 1.0f));
  }
  // Adds light (a glow) without changing the alpha.
  void Add(int x, int y, Colour c, float a) {
    if (x < 0 || y < 0 || x >= width || y >= height || a <= 0.0f) return;
    float* p = &rgba[(size_t(y) * width + x) * 4];
    p[0] += c.r * a;
    p[1] += c.g * a;
    p[2] += c.b * a;
  }
  // A vertical gradient over the whole picture, opaque.
  void Sky(const std::vector<std::pair<float, Colour>>& stops) {
    for (int y = 0; y < height; ++y) {
      const float t = (y + 0.5f) / height;
      Colour c = stops.front().second;
      for (size_t i = 1; i < stops.size(); ++i)
        if (t <= stops[i].first) {
          const float f = (t - stops[i - 1].first) / (stops[i].first - stops[i - 1].first);
          c = Mix(stops[i - 1].second, stops[i].second, std::clamp(f, 0.0f, 1.0f));
          break;
        } else {
          c = stops[i].second;
        }
      for (int x = 0; x < width; ++x) Blend(x, y, c, 1.0f);
    }
  }
  void Rect(float x0, float y0, float x1, float y1, Colour c, float a = 1.0f) {
    for (int y = std::max(0, int(y0)); y < std::min(height, int(std::ceil(y1))); ++y)
      for (int x = std::max(0, int(x0)); x < std::min(width, int(std::ceil(x1))); ++x) {
        const float cx = std::clamp(std::min(x + 1.0f, x1) - std::max(float(x), x0), 0.0f, 1.0f);
        const float cy = std::clamp(std::min(y + 1.0f, y1) - std::max(float(y), y0), 0.0f, 1.0f);
        Blend(x, y, c, a * cx * cy);
      }
  }
  void Disc(float cx, float cy, float radius, Colour c, float a = 1.0f) {
    for (int y = std::max(0, int(cy - radius - 1)); y < std::min(height, int(cy + radius + 2)); ++y)
      for (int x = std::max(0, int(cx - radius - 1)); x < std::min(width, int(cx + radius + 2)); ++x) {
        const float d = std::hypot(x + 0.5f - cx, y + 0.5f - cy);
        Blend(x, y, c, a * std::clamp(radius - d + 0.5f, 0.0f, 1.0f));
      }
  }
  // A soft light falling off with distance.
  void Glow(float cx, float cy, float radius, Colour c, float strength) {
    for (int y = std::max(0, int(cy - radius)); y < std::min(height, int(cy + radius + 1)); ++y)
      for (int x = std::max(0, int(cx - radius)); x < std::min(width, int(cx + radius + 1)); ++x) {
        const float d = std::hypot(x + 0.5f - cx, y + 0.5f - cy) / radius;
        if (d < 1.0f) Add(x, y, c, strength * (1.0f - d) * (1.0f - d));
      }
  }
  // A filled polygon, 4 x 4 samples per pixel.
  void Polygon(const std::vector<std::pair<float, float>>& points, Colour c, float a = 1.0f) {
    float minX = 1e9f, minY = 1e9f, maxX = -1e9f, maxY = -1e9f;
    for (const auto& p : points) {
      minX = std::min(minX, p.first);
      maxX = std::max(maxX, p.first);
      minY = std::min(minY, p.second);
      maxY = std::max(maxY, p.second);
    }
    auto inside = [&points](float x, float y) {
      bool in = false;
      for (size_t i = 0, j = points.size() - 1; i < points.size(); j = i++) {
        const auto& a = points[i];
        const auto& b = points[j];
        if ((a.second > y) != (b.second > y) &&
            x < (b.first - a.first) * (y - a.second) / (b.second - a.second) + a.first)
          in = !in;
      }
      return in;
    };
    for (int y = std::max(0, int(minY)); y < std::min(height, int(maxY) + 1); ++y)
      for (int x = std::max(0, int(minX)); x < std::min(width, int(maxX) + 1); ++x) {
        int hits = 0;
        for (int sy = 0; sy < 4; ++sy)
          for (int sx = 0; sx < 4; ++sx) hits += inside(x + (sx + 0.5f) / 4, y + (sy + 0.5f) / 4);
        if (hits) Blend(x, y, c, a * hits / 16.0f);
      }
  }
  // A thick line between two points (a capsule).
  void Line(float x0, float y0, float x1, float y1, float thickness, Colour c, float a = 1.0f) {
    const float r = thickness * 0.5f;
    const float dx = x1 - x0, dy = y1 - y0;
    const float len2 = std::max(dx * dx + dy * dy, 1e-6f);
    for (int y = std::max(0, int(std::min(y0, y1) - r - 1));
         y < std::min(height, int(std::max(y0, y1) + r + 2)); ++y)
      for (int x = std::max(0, int(std::min(x0, x1) - r - 1));
           x < std::min(width, int(std::max(x0, x1) + r + 2)); ++x) {
        const float px = x + 0.5f - x0, py = y + 0.5f - y0;
        const float t = std::clamp((px * dx + py * dy) / len2, 0.0f, 1.0f);
        const float d = std::hypot(px - t * dx, py - t * dy);
        Blend(x, y, c, a * std::clamp(r - d + 0.5f, 0.0f, 1.0f));
      }
  }
  // Fog: noise-shaped bands of colour that thicken towards `bottom`.
  void Fog(float top, float bottom, Colour c, float density, uint32_t seed) {
    Random random(seed);
    float phase[6];
    for (float& p : phase) p = random.Next() * 2 * kPi;
    for (int y = std::max(0, int(top)); y < std::min(height, int(bottom)); ++y)
      for (int x = 0; x < width; ++x) {
        const float u = float(x) / width, v = (y - top) / (bottom - top);
        const float wave = 0.5f + 0.25f * std::sin(u * 9.0f + phase[0] + v * 3.0f) +
                           0.15f * std::sin(u * 23.0f + phase[1] - v * 7.0f) +
                           0.1f * std::sin(u * 41.0f + phase[2] + v * 13.0f);
        Blend(x, y, c, density * v * v * std::clamp(wave, 0.0f, 1.0f));
      }
  }
  // Stars: single soft points.
  void Stars(int count, float maxY, uint32_t seed) {
    Random random(seed);
    for (int i = 0; i < count; ++i) {
      const float x = random.Next() * width, y = random.Next() * maxY;
      const float b = 0.3f + 0.7f * random.Next();
      Blend(int(x), int(y), {0.85f, 0.88f, 1.0f}, b * (1.0f - y / maxY));
    }
  }
  // Darker towards the corners, as an old lens.
  void Vignette(float strength) {
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        const float u = (x + 0.5f) / width - 0.5f, v = (y + 0.5f) / height - 0.5f;
        const float d = std::sqrt(u * u + v * v) / 0.7071f;
        Blend(x, y, {0, 0, 0}, strength * d * d);
      }
  }
};

void WritePng(const std::string& path, const Picture& picture) {
  g_ok = gen::WritePng("gen_intro", path, picture) && g_ok;
}

// --- Text --------------------------------------------------------------------------

class Font {
public:
  explicit Font(const char* file) {
    const std::string path = std::string(kFontFolder) + file;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (f) {
      std::fseek(f, 0, SEEK_END);
      const long size = std::ftell(f);
      std::fseek(f, 0, SEEK_SET);
      m_data.resize(size > 0 ? size_t(size) : 0);
      if (std::fread(m_data.data(), 1, m_data.size(), f) != m_data.size()) m_data.clear();
      std::fclose(f);
    }
    m_ok = !m_data.empty() && stbtt_InitFont(&m_font, m_data.data(), 0) != 0;
    if (!m_ok) {
      std::fprintf(stderr, "gen_intro: cannot read the font %s\n", path.c_str());
      g_ok = false;
    }
  }

  // Width in pixels of a UTF-8 text at a pixel height.
  float Width(const std::string& text, float size) const {
    if (!m_ok) return 0.0f;
    const float scale = stbtt_ScaleForPixelHeight(&m_font, size);
    float x = 0.0f;
    int previous = 0;
    for (int cp : Codepoints(text)) {
      int advance = 0, bearing = 0;
      stbtt_GetCodepointHMetrics(&m_font, cp, &advance, &bearing);
      if (previous) x += scale * stbtt_GetCodepointKernAdvance(&m_font, previous, cp);
      x += scale * advance;
      previous = cp;
    }
    return x;
  }

  // Draws the text with its baseline at y, starting at x.
  void Draw(Picture& p, const std::string& text, float x, float baseline, float size, Colour c,
            float alpha = 1.0f) const {
    if (!m_ok) return;
    const float scale = stbtt_ScaleForPixelHeight(&m_font, size);
    int previous = 0;
    for (int cp : Codepoints(text)) {
      if (previous) x += scale * stbtt_GetCodepointKernAdvance(&m_font, previous, cp);
      int advance = 0, bearing = 0;
      stbtt_GetCodepointHMetrics(&m_font, cp, &advance, &bearing);
      int w = 0, h = 0, xoff = 0, yoff = 0;
      const float shift = x - std::floor(x);
      unsigned char* bitmap = stbtt_GetCodepointBitmapSubpixel(&m_font, scale, scale, shift, 0.0f,
                                                               cp, &w, &h, &xoff, &yoff);
      for (int gy = 0; gy < h; ++gy)
        for (int gx = 0; gx < w; ++gx)
          p.Blend(int(std::floor(x)) + xoff + gx, int(baseline) + yoff + gy, c,
                  alpha * bitmap[gy * w + gx] / 255.0f);
      stbtt_FreeBitmap(bitmap, nullptr);
      x += scale * advance;
      previous = cp;
    }
  }
  void DrawCentred(Picture& p, const std::string& text, float centreX, float baseline, float size,
                   Colour c, float alpha = 1.0f) const {
    Draw(p, text, centreX - Width(text, size) * 0.5f, baseline, size, c, alpha);
  }

private:
  static std::vector<int> Codepoints(const std::string& text) {
    std::vector<int> out;
    for (size_t i = 0; i < text.size();) {
      const unsigned char b = static_cast<unsigned char>(text[i]);
      int cp = b, extra = 0;
      if (b >= 0xF0) {
        cp = b & 0x07;
        extra = 3;
      } else if (b >= 0xE0) {
        cp = b & 0x0F;
        extra = 2;
      } else if (b >= 0xC0) {
        cp = b & 0x1F;
        extra = 1;
      }
      ++i;
      for (int k = 0; k < extra && i < text.size(); ++k, ++i)
        cp = (cp << 6) | (static_cast<unsigned char>(text[i]) & 0x3F);
      out.push_back(cp);
    }
    return out;
  }

  std::vector<unsigned char> m_data;
  stbtt_fontinfo m_font{};
  bool m_ok = false;
};

// --- The intro's panels -------------------------------------------------------------

constexpr int kPanelW = 640, kPanelH = 480;

// Building silhouettes along a skyline with lit windows.
void Skyline(Picture& p, float baseY, float minH, float maxH, Colour wall, float litShare,
             uint32_t seed) {
  Random random(seed);
  float x = -10.0f;
  while (x < p.width) {
    const float w = 30.0f + random.Next() * 60.0f;
    const float h = minH + random.Next() * (maxH - minH);
    const float top = baseY - h;
    p.Rect(x, top, x + w, baseY + 1, wall);
    // A spire or a water tank on some roofs.
    if (random.Next() < 0.25f) p.Rect(x + w * 0.4f, top - 14, x + w * 0.5f, top, wall);
    if (random.Next() < 0.2f) p.Polygon({{x + 4, top}, {x + w * 0.5f, top - 18}, {x + w - 4, top}}, wall);
    for (float wy = top + 8; wy < baseY - 8; wy += 11)
      for (float wx = x + 5; wx < x + w - 7; wx += 9)
        if (random.Next() < litShare) {
          const Colour lit = Mix({1.0f, 0.78f, 0.38f}, {0.95f, 0.9f, 0.7f}, random.Next());
          p.Rect(wx, wy, wx + 4, wy + 6, lit, 0.55f + 0.45f * random.Next());
        }
    x += w + random.Next() * 6.0f;
  }
}

// A shambling figure: hunched, head hanging forward, arms reaching out.
void DeadFigure(Picture& p, float x, float footY, float height, Colour c, bool facingLeft,
                uint32_t seed) {
  Random random(seed);
  const float s = height / 100.0f, d = facingLeft ? -1.0f : 1.0f;
  auto X = [&](float v) { return x + d * v * s; };
  auto Y = [&](float v) { return footY - v * s; };
  // Legs, one dragging.
  p.Line(X(-6), Y(48), X(-12 - 4 * random.Next()), Y(0), 9 * s, c);
  p.Line(X(6), Y(48), X(10), Y(2), 9 * s, c);
  // A torso leaning forward.
  p.Polygon({{X(-12), Y(50)}, {X(12), Y(50)}, {X(22), Y(82)}, {X(2), Y(88)}}, c);
  // The head hanging low in front.
  p.Disc(X(20), Y(88), 8.5f * s, c);
  // Arms reaching ahead.
  p.Line(X(14), Y(80), X(40), Y(70 + 6 * random.Next()), 6.5f * s, c);
  p.Line(X(8), Y(78), X(36), Y(62 + 6 * random.Next()), 6.5f * s, c);
}

Picture PanelCity() {
  Picture p(kPanelW, kPanelH);
  p.Sky({{0.0f, {0.01f, 0.015f, 0.05f}}, {0.6f, {0.05f, 0.07f, 0.16f}}, {1.0f, {0.1f, 0.1f, 0.18f}}});
  p.Stars(260, 300, 11);
  // The moon with its halo.
  p.Glow(470, 95, 150, {0.35f, 0.4f, 0.55f}, 0.5f);
  p.Disc(470, 95, 34, {0.92f, 0.92f, 0.85f});
  p.Disc(458, 88, 6, {0.8f, 0.8f, 0.75f});
  p.Disc(480, 106, 4, {0.82f, 0.82f, 0.76f});
  Skyline(p, 420, 60, 150, {0.06f, 0.07f, 0.11f}, 0.18f, 21);
  Skyline(p, 480, 90, 230, {0.025f, 0.028f, 0.045f}, 0.3f, 22);
  p.Fog(330, 480, {0.3f, 0.34f, 0.42f}, 0.6f, 23);
  p.Vignette(0.6f);
  return p;
}

Picture PanelFog() {
  Picture p(kPanelW, kPanelH);
  p.Sky({{0.0f, {0.02f, 0.04f, 0.04f}}, {0.55f, {0.08f, 0.14f, 0.12f}}, {1.0f, {0.05f, 0.07f, 0.06f}}});
  // A street running away between two walls, to a vanishing point.
  p.Polygon({{0, 0}, {250, 180}, {250, 330}, {0, 480}}, {0.03f, 0.05f, 0.05f});
  p.Polygon({{640, 0}, {390, 180}, {390, 330}, {640, 480}}, {0.025f, 0.04f, 0.04f});
  p.Polygon({{0, 480}, {250, 330}, {390, 330}, {640, 480}}, {0.06f, 0.08f, 0.08f});
  // A street lamp: post, head and its light in the fog.
  p.Line(150, 470, 150, 150, 6, {0.02f, 0.02f, 0.02f});
  p.Line(150, 152, 185, 140, 5, {0.02f, 0.02f, 0.02f});
  p.Glow(188, 150, 170, {0.55f, 0.8f, 0.5f}, 0.45f);
  p.Disc(188, 148, 6, {0.9f, 1.0f, 0.8f});
  // The dead coming through the fog, the near ones darker.
  p.Fog(170, 400, {0.35f, 0.5f, 0.4f}, 0.55f, 31);
  const float figures[][3] = {{300, 335, 45}, {345, 338, 50}, {270, 345, 60},
                              {395, 360, 80}, {215, 380, 105}, {470, 420, 150}};
  for (int i = 0; i < 6; ++i) {
    const float shade = 0.14f - 0.02f * i;
    DeadFigure(p, figures[i][0], figures[i][1], figures[i][2], {shade * 0.8f, shade, shade * 0.9f},
               i % 2 == 1, 40 + i);
  }
  p.Fog(360, 480, {0.3f, 0.42f, 0.35f}, 0.7f, 32);
  p.Vignette(0.7f);
  return p;
}

// Brannoc as the player knows him: a long dark coat over a light shirt, slate
// trousers, black boots, dark hair, a blade in each hand, lit from behind.
void Brannoc(Picture& p, float x, float footY, float height) {
  const float s = height / 180.0f;
  auto X = [&](float v) { return x + v * s; };
  auto Y = [&](float v) { return footY - v * s; };
  const Colour coat{0.14f, 0.15f, 0.19f}, shirt{0.8f, 0.77f, 0.7f}, trousers{0.3f, 0.31f, 0.34f},
      boots{0.09f, 0.06f, 0.04f}, skin{0.8f, 0.62f, 0.52f}, hair{0.1f, 0.08f, 0.06f},
      steel{0.88f, 0.9f, 0.94f}, grip{0.36f, 0.21f, 0.11f};
  // Legs apart, boots.
  p.Line(X(-12), Y(90), X(-24), Y(10), 15 * s, trousers);
  p.Line(X(12), Y(90), X(24), Y(10), 15 * s, trousers);
  p.Rect(X(-34), Y(12), X(-14), Y(0), boots);
  p.Rect(X(14), Y(12), X(34), Y(0), boots);
  // The coat: shoulders to the knees, open in front on the shirt, its tails flaring.
  p.Polygon({{X(-28), Y(150)}, {X(28), Y(150)}, {X(34), Y(100)}, {X(46), Y(40)}, {X(10), Y(52)},
             {X(0), Y(96)}, {X(-10), Y(52)}, {X(-46), Y(40)}, {X(-34), Y(100)}},
            coat);
  p.Polygon({{X(-8), Y(148)}, {X(8), Y(148)}, {X(4), Y(100)}, {X(-4), Y(100)}}, shirt);
  p.Rect(X(-22), Y(102), X(22), Y(96), {0.42f, 0.26f, 0.12f});  // belt
  // High collar, head and hair.
  p.Polygon({{X(-14), Y(150)}, {X(-10), Y(162)}, {X(10), Y(162)}, {X(14), Y(150)}}, coat);
  p.Disc(X(0), Y(170), 11 * s, skin);
  p.Polygon({{X(-12), Y(170)}, {X(-10), Y(182)}, {X(0), Y(186)}, {X(11), Y(181)}, {X(12), Y(170)},
             {X(8), Y(176)}, {X(-6), Y(177)}},
            hair);
  // Arms down and out, a blade in each hand pointing to the ground.
  p.Line(X(-26), Y(146), X(-44), Y(96), 12 * s, coat);
  p.Line(X(26), Y(146), X(44), Y(96), 12 * s, coat);
  p.Disc(X(-46), Y(92), 5 * s, skin);
  p.Disc(X(46), Y(92), 5 * s, skin);
  p.Line(X(-46), Y(98), X(-48), Y(84), 4 * s, grip);
  p.Line(X(46), Y(98), X(48), Y(84), 4 * s, grip);
  p.Polygon({{X(-51), Y(85)}, {X(-45), Y(85)}, {X(-58), Y(22)}}, steel);
  p.Polygon({{X(45), Y(85)}, {X(51), Y(85)}, {X(58), Y(22)}}, steel);
}

Picture PanelBrannoc() {
  Picture p(kPanelW, kPanelH);
  p.Sky({{0.0f, {0.05f, 0.01f, 0.015f}}, {0.6f, {0.22f, 0.05f, 0.04f}}, {1.0f, {0.1f, 0.03f, 0.03f}}});
  Skyline(p, 400, 40, 170, {0.04f, 0.015f, 0.02f}, 0.06f, 51);
  // Wet street.
  p.Rect(0, 400, kPanelW, kPanelH, {0.05f, 0.03f, 0.035f});
  // The lamp behind him.
  p.Line(470, 410, 470, 120, 6, {0.02f, 0.01f, 0.01f});
  p.Line(470, 122, 440, 110, 5, {0.02f, 0.01f, 0.01f});
  p.Glow(438, 122, 220, {0.9f, 0.55f, 0.3f}, 0.5f);
  p.Disc(438, 120, 6, {1.0f, 0.9f, 0.7f});
  // His light on the wet street.
  p.Glow(320, 430, 200, {0.5f, 0.3f, 0.2f}, 0.25f);
  Brannoc(p, 320, 440, 330);
  p.Fog(380, 480, {0.25f, 0.1f, 0.1f}, 0.5f, 52);
  p.Vignette(0.65f);
  return p;
}

Picture PanelCasino(const Font& sans) {
  Picture p(kPanelW, kPanelH);
  p.Sky({{0.0f, {0.02f, 0.01f, 0.04f}}, {0.7f, {0.12f, 0.03f, 0.08f}}, {1.0f, {0.05f, 0.02f, 0.04f}}});
  p.Stars(120, 200, 61);
  Skyline(p, 480, 60, 150, {0.03f, 0.02f, 0.04f}, 0.12f, 62);
  // The tower with its steps and its sign.
  p.Polygon({{230, 480}, {240, 120}, {400, 120}, {410, 480}}, {0.05f, 0.03f, 0.06f});
  p.Polygon({{260, 120}, {275, 60}, {365, 60}, {380, 120}}, {0.05f, 0.03f, 0.06f});
  p.Line(320, 60, 320, 20, 3, {0.05f, 0.03f, 0.06f});
  Random random(63);
  for (float wy = 140; wy < 470; wy += 14)
    for (float wx = 252; wx < 390; wx += 12)
      if (random.Next() < 0.35f) p.Rect(wx, wy, wx + 5, wy + 7, {0.9f, 0.25f, 0.3f}, 0.5f);
  p.Glow(320, 95, 200, {0.9f, 0.1f, 0.25f}, 0.45f);
  sans.DrawCentred(p, "CASINO", 320, 106, 34, {1.0f, 0.35f, 0.45f});
  p.Disc(320, 20, 3, {1.0f, 0.2f, 0.2f});
  p.Fog(330, 480, {0.25f, 0.08f, 0.15f}, 0.6f, 64);
  p.Vignette(0.65f);
  return p;
}

// The title over whatever shows behind it.
Picture PanelTitle(const Font& serif, const Font& sans) {
  Picture p(1024, 256);
  const Colour blood{0.62f, 0.04f, 0.04f};
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x) {
      const float v = std::fabs((y + 0.5f) / p.height - 0.5f) * 2.0f;
      p.Blend(x, y, {0, 0, 0}, 0.55f * (1.0f - v * v));
    }
  serif.DrawCentred(p, "HOLLOWMERE", 514, 158, 120, {0, 0, 0}, 0.8f);
  serif.DrawCentred(p, "HOLLOWMERE", 512, 154, 120, {0.85f, 0.83f, 0.78f});
  p.Line(300, 180, 724, 180, 3, blood);
  sans.DrawCentred(p, "·  ·  ·", 512, 214, 26, blood);
  return p;
}

// --- Subtitles -----------------------------------------------------------------------

const char* const kNarration[2][8] = {
    {"Hollowmere. The city that never slept has stopped breathing.",
     "Three nights ago the fog came up from the harbour.",
     "Those it touched did not die. Not for long.",
     "Now they walk the avenues, hungry, and something leads them.",
     "My name is Brannoc. I kept these streets once.",
     "Two blades, a few grenades, and the gas they put in my blood.",
     "Past the casino, the thing that made them is waiting.",
     "Tonight I take my city back."},
    {"Hollowmere. La ciudad que nunca dormía ha dejado de respirar.",
     "Hace tres noches la niebla subió desde el puerto.",
     "Los que tocó no murieron. No por mucho tiempo.",
     "Ahora recorren las avenidas, hambrientos, y algo los guía.",
     "Me llamo Brannoc. Una vez guardé estas calles.",
     "Dos hojas, unas granadas y el gas que metieron en mi sangre.",
     "Más allá del casino, lo que los creó está esperando.",
     "Esta noche recupero mi ciudad."}};

// Eight rows of 64 pixels: row i holds line i, white on a dark band.
Picture Subtitles(const Font& sans, int language) {
  Picture p(1024, 512);
  for (int row = 0; row < 8; ++row) {
    const float top = row * 64.0f;
    const std::string text = kNarration[language][row];
    const float size = std::min(30.0f, 30.0f * 960.0f / std::max(1.0f, sans.Width(text, 30.0f)));
    const float width = sans.Width(text, size);
    p.Rect(512 - width * 0.5f - 16, top + 10, 512 + width * 0.5f + 16, top + 54, {0, 0, 0}, 0.5f);
    sans.DrawCentred(p, text, 513, top + 42, size, {0, 0, 0}, 0.9f);
    sans.DrawCentred(p, text, 512, top + 41, size, {0.95f, 0.93f, 0.88f});
  }
  return p;
}

// --- The credits ---------------------------------------------------------------------

struct Card {
  const char* name;
  const char* image;
  const char* title[2];
  std::vector<std::pair<const char*, const char*>> lines;  // role (eng, spa) or a name
  std::vector<const char*> names;
};

const std::vector<Card>& Cards() {
  static const std::vector<Card> cards = {
      {"credits_title", "credits/credits_title.png", {"HOLLOWMERE", "HOLLOWMERE"},
       {{"A game by the Hollowmere team", "Un juego del equipo de Hollowmere"}}, {}},
      {"credits_engine", "credits/credits_engine.png", {"Engine", "Motor"},
       {{"Core, animation, collision and rendering", "Núcleo, animación, colisiones y render"}},
       {"Lead", "Figures", "Perf"}},
      {"credits_enemies", "credits/credits_enemies.png", {"Enemies", "Enemigos"},
       {{"The dead, the mutants and the thing behind them", "Los muertos, los mutantes y lo que los guía"}},
       {"Enemies", "AI", "Slots"}},
      {"credits_front_end", "credits/credits_front_end.png", {"Front end", "Interfaz"},
       {{"Menus, HUD, scripts, intro and credits", "Menús, HUD, scripts, intro y créditos"}},
       {"Menu", "HUD", "Script", "Intro"}},
      {"credits_thanks", "credits/credits_thanks.png", {"Thank you for playing", "Gracias por jugar"},
       {{"Hollowmere sleeps again.", "Hollowmere vuelve a dormir."}}, {}},
  };
  return cards;
}

Picture CreditCard(const Card& card, int language, const Font& serif, const Font& sans) {
  Picture p(768, 384);
  const Colour paper{0.88f, 0.85f, 0.78f}, blood{0.62f, 0.06f, 0.05f};
  const bool big = card.names.empty();
  serif.DrawCentred(p, card.title[language], 384, big ? 170 : 92, big ? 80 : 56, paper);
  p.Line(234, big ? 196 : 114, 534, big ? 196 : 114, 2, blood);
  float y = big ? 250 : 150;
  for (const auto& line : card.lines) {
    sans.DrawCentred(p, language ? line.second : line.first, 384, y, 24, {0.7f, 0.68f, 0.62f});
    y += 40;
  }
  for (const char* name : card.names) {
    sans.DrawCentred(p, name, 384, y + 8, 34, paper);
    y += 48;
  }
  return p;
}

// --- The layout files ----------------------------------------------------------------

const char* kHeader = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<!-- Written by tools/gen_intro. -->\n";

struct Panel {
  const char* name;
  const char* image;
  float x, y, z, width, height;  // pixels of the 1024 × 768 screen base
  float in, out, speed;
  float scaleBegin, scaleEnd, scaleFrom, scaleTo;
};
// Fractions of the narration's 32 s: each panel holds the lines that tell of it.
const Panel kPanels[] = {
    {"intro_city", "intro/intro_city.png", 0, 0, 1, 1024, 768, 0.0f, 0.22f, 0.8f, 0.0f, 0.3f, 1.0f, 1.1f},
    {"intro_fog", "intro/intro_fog.png", 0, 0, 2, 1024, 768, 0.2f, 0.42f, 0.8f, 0.2f, 0.46f, 1.12f, 1.0f},
    {"intro_brannoc", "intro/intro_brannoc.png", 0, 0, 3, 1024, 768, 0.41f, 0.69f, 0.8f, 0.41f, 0.74f, 1.0f, 1.12f},
    {"intro_casino", "intro/intro_casino.png", 0, 0, 4, 1024, 768, 0.68f, 0.86f, 0.8f, 0.68f, 0.9f, 1.06f, 1.0f},
    {"intro_title", "intro/intro_title.png", 0, 256, 5, 1024, 256, 0.83f, 1.0f, 0.6f, 0.83f, 1.0f, 0.96f, 1.04f},
};

void WriteIntroXml(const std::string& xml) {
  std::string layout = kHeader;
  for (const Panel& p : kPanels) {
    layout += std::string("<intro name=\"") + p.name + "\">\n";
    layout += "  <timing in=\"" + gen::Num(p.in) + "\" out=\"" + gen::Num(p.out) + "\"/>\n";
    layout += "  <alpha value=\"0\" speed=\"" + gen::Num(p.speed) + "\"/>\n";
    layout += "  <alignment value=\"TechGUIAlignCenter\"/>\n";
    layout += "  <scale begin=\"" + gen::Num(p.scaleBegin) + "\" end=\"" + gen::Num(p.scaleEnd) +
              "\" val_begin=\"" + gen::Num(p.scaleFrom) + "\" val_end=\"" + gen::Num(p.scaleTo) +
              "\"/>\n";
    layout += "</intro>\n";
  }
  gen::WriteText("gen_intro", xml + "/intro.xml", layout);

  std::string objects = kHeader;
  for (const Panel& p : kPanels) {
    objects += std::string("<GameObject name=\"") + p.name + "\" GameObjectTemplate=\"intro\">\n";
    objects += "  <Component name=\"CTransform\">\n    <key name=\"position\" X=\"" +
               gen::Num(p.x) + "\" Y=\"" + gen::Num(p.y) + "\" Z=\"" + gen::Num(p.z) +
               "\"/>\n    <key name=\"scale\" X=\"" + gen::Num(p.width) + "\" Y=\"" +
               gen::Num(p.height) + "\" Z=\"1\"/>\n  </Component>\n";
    objects += std::string("  <Component name=\"CRenderer\">\n    <key name=\"textures\"><texture image=\"") +
               p.image + "\"/></key>\n  </Component>\n</GameObject>\n";
  }
  gen::WriteText("gen_intro", xml + "/intro_instances.xml", objects);
  gen::WriteText("gen_intro", xml + "/intro_shaders.xml",
                 std::string(kHeader) + "<shaders>\n  <shader fileName=\"gui_intro\"/>\n</shaders>\n");
}

void WriteCreditsXml(const std::string& xml) {
  const int count = static_cast<int>(Cards().size());
  std::string layout = std::string(kHeader) + "<res width=\"1024\" height=\"768\" depth=\"8\">\n";
  for (int i = 0; i < count; ++i) {
    const Card& c = Cards()[i];
    // Each card its share of the song, a little before the next one comes.
    const float in = 0.02f + 0.19f * i, out = in + 0.15f;
    layout += std::string("  <credits name=\"") + c.name + "\">\n";
    layout += std::string("    <texture name=\"") + c.image + "\"/>\n";
    layout += "    <timing in=\"" + gen::Num(in) + "\" out=\"" + gen::Num(out) + "\"/>\n";
    layout += "    <alpha value=\"0\" speed=\"0.8\"/>\n";
    layout += "    <alignment value=\"center\"/>\n  </credits>\n";
  }
  gen::WriteText("gen_intro", xml + "/final_credits.xml", layout + "</res>\n");

  std::string objects = kHeader;
  objects +=
      "<GameObject name=\"final_credits_background\" GameObjectTemplate=\"final_credits_element\">\n"
      "  <Component name=\"CTransform\">\n    <key name=\"position\" X=\"-512\" Y=\"0\" Z=\"0\"/>\n"
      "    <key name=\"scale\" X=\"2048\" Y=\"768\" Z=\"1\"/>\n  </Component>\n"
      "  <Component name=\"CRenderer\">\n    <key name=\"textures\"><texture "
      "image=\"final_credits_background.png\"/></key>\n  </Component>\n</GameObject>\n";
  for (const Card& c : Cards()) {
    objects += std::string("<GameObject name=\"") + c.name +
               "\" GameObjectTemplate=\"final_credits_element\">\n"
               "  <Component name=\"CTransform\">\n    <key name=\"position\" X=\"128\" Y=\"192\" "
               "Z=\"1\"/>\n    <key name=\"scale\" X=\"768\" Y=\"384\" Z=\"1\"/>\n  </Component>\n"
               "  <Component name=\"CRenderer\">\n    <key name=\"textures\" multi_lang=\"1\"><texture image=\"" +
               c.image + "\"/></key>\n  </Component>\n</GameObject>\n";
  }
  gen::WriteText("gen_intro", xml + "/final_credits_instances.xml", objects);
}

// A flat picture of one colour.
Picture Flat(int w, int h, Colour c, float a) {
  Picture p(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) p.Blend(x, y, c, a);
  return p;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string root = std::string(argc > 1 ? argv[1] : ".") + "/Data";
  const std::string textures = root + "/textures/";
  const Font serif("DejaVuSerif-Bold.ttf"), sans("DejaVuSans.ttf"), sansBold("DejaVuSans-Bold.ttf");

  WritePng(textures + kPanels[0].image, PanelCity());
  WritePng(textures + kPanels[1].image, PanelFog());
  WritePng(textures + kPanels[2].image, PanelBrannoc());
  WritePng(textures + kPanels[3].image, PanelCasino(sansBold));
  WritePng(textures + kPanels[4].image, PanelTitle(serif, sans));

  const char* const languages[2] = {"eng/", "spa/"};
  for (int language = 0; language < 2; ++language) {
    WritePng(textures + languages[language] + "hud/Subtitles_intro.dds", Subtitles(sans, language));
    for (const Card& card : Cards())
      WritePng(textures + languages[language] + card.image, CreditCard(card, language, serif, sans));
  }
  WritePng(textures + "final_credits_background.png", Flat(4, 4, {0, 0, 0}, 1.0f));
  // Dark enough to set the menu apart, light enough to show the frozen street.
  WritePng(textures + "pause_background.png", Flat(4, 4, {0.02f, 0.02f, 0.03f}, 0.55f));

  WriteIntroXml(root + "/xml");
  WriteCreditsXml(root + "/xml");
  if (g_ok) std::printf("gen_intro: the intro and the credits written under %s\n", root.c_str());
  return g_ok ? 0 : 1;
}
