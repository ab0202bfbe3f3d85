// Writes the start-up screens and the main menu: every picture (the words of both
// languages in a normal and a highlighted look, the arrows, the digit strip, the
// backdrop's layers, the game's title, the team's logo and the pad screen), the
// quads they are drawn on, the menu's file with its 125 elements, the start-up's
// file, and the objects of both.
//
// Words are rendered from the DejaVu fonts with stb_truetype, large enough to read
// on a 640 x 480 screen (the base screen is 1024 x 768).
//
// Usage: gen_menu [root folder]   (default "."; files go under <root>/Data/)
#define STB_TRUETYPE_IMPLEMENTATION
#include <stb/stb_truetype.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/image/Image.h"
#include "platform/image/ImageWriter.h"
#include "tools/gen_mesh_file.h"
#include "tools/gen_picture.h"
#include "tools/gen_text.h"

namespace {

const char* const kTool = "gen_menu";
bool g_ok = true;

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  g_ok = gen::WriteBytes(kTool, path, bytes) && g_ok;
}

void WriteText(const std::string& path, const std::string& text) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  g_ok = gen::WriteText(kTool, path, text) && g_ok;
}

// --- pictures ---------------------------------------------------------------------

struct Colour {
  float r, g, b, a;
};

// Straight (not premultiplied) R,G,B,A floats.
struct Picture : gen::Picture {
  using gen::Picture::Picture;

  // "Over" blending of a colour with coverage `a`.
  void Blend(int x, int y, const Colour& c, float a) { Over(x, y, c.r, c.g, c.b, a * c.a); }
  void Fill(const Colour& c) {
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) Blend(x, y, c, 1.0f);
  }
  // A rounded box with a soft edge.
  void Box(float x0, float y0, float x1, float y1, float radius, const Colour& c,
           float soft = 1.0f) {
    for (int y = std::max(0, int(y0 - soft - 1)); y < std::min(height, int(y1 + soft + 1)); ++y)
      for (int x = std::max(0, int(x0 - soft - 1)); x < std::min(width, int(x1 + soft + 1)); ++x) {
        const float px = x + 0.5f, py = y + 0.5f;
        const float dx = std::max({x0 + radius - px, px - (x1 - radius), 0.0f});
        const float dy = std::max({y0 + radius - py, py - (y1 - radius), 0.0f});
        const float d = std::sqrt(dx * dx + dy * dy) - radius;
        Blend(x, y, c, std::clamp(0.5f - d / soft, 0.0f, 1.0f));
      }
  }
  void Disc(float cx, float cy, float radius, const Colour& c, float soft = 1.0f) {
    Box(cx - radius, cy - radius, cx + radius, cy + radius, radius, c, soft);
  }
  // A filled triangle with a one-pixel soft edge.
  void Triangle(float ax, float ay, float bx, float by, float cx, float cy, const Colour& c) {
    const float area = (bx - ax) * (cy - ay) - (by - ay) * (cx - ax);
    const float sign = area < 0 ? -1.0f : 1.0f;
    auto edge = [&](float x0, float y0, float x1, float y1, float px, float py) {
      const float len = std::hypot(x1 - x0, y1 - y0);
      return sign * ((x1 - x0) * (py - y0) - (y1 - y0) * (px - x0)) / len;
    };
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        const float px = x + 0.5f, py = y + 0.5f;
        const float d = std::min({edge(ax, ay, bx, by, px, py), edge(bx, by, cx, cy, px, py),
                                  edge(cx, cy, ax, ay, px, py)});
        Blend(x, y, c, std::clamp(d + 0.5f, 0.0f, 1.0f));
      }
  }
};

void WritePng(const std::string& path, const Picture& picture) {
  g_ok = gen::WritePng(kTool, path, picture) && g_ok;
}

void WriteDds(const std::string& path, const Picture& picture) {
  g_ok = gen::WriteDds(kTool, path, picture) && g_ok;
}

// --- words ------------------------------------------------------------------------

class Font {
public:
  explicit Font(const char* path) {
    std::ifstream in(path, std::ios::binary);
    m_data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    m_ok = !m_data.empty() && stbtt_InitFont(&m_info, m_data.data(),
                                             stbtt_GetFontOffsetForIndex(m_data.data(), 0));
    if (!m_ok) {
      std::fprintf(stderr, "%s: cannot read the font %s\n", kTool, path);
      g_ok = false;
    }
  }
  bool Ok() const { return m_ok; }

  // The code points of a UTF-8 text.
  static std::vector<int> Decode(const std::string& text) {
    std::vector<int> out;
    for (size_t i = 0; i < text.size();) {
      const unsigned char c = static_cast<unsigned char>(text[i]);
      int cp = c, extra = 0;
      if (c >= 0xF0) cp = c & 0x07, extra = 3;
      else if (c >= 0xE0) cp = c & 0x0F, extra = 2;
      else if (c >= 0xC0) cp = c & 0x1F, extra = 1;
      ++i;
      for (int k = 0; k < extra && i < text.size(); ++k, ++i)
        cp = (cp << 6) | (static_cast<unsigned char>(text[i]) & 0x3F);
      out.push_back(cp);
    }
    return out;
  }

  float Width(const std::string& text, float pixels) const {
    if (!m_ok) return 0.0f;
    const float scale = stbtt_ScaleForPixelHeight(&m_info, pixels);
    float x = 0.0f;
    const std::vector<int> cps = Decode(text);
    for (size_t i = 0; i < cps.size(); ++i) {
      int advance, bearing;
      stbtt_GetCodepointHMetrics(&m_info, cps[i], &advance, &bearing);
      x += advance * scale;
      if (i + 1 < cps.size()) x += scale * stbtt_GetCodepointKernAdvance(&m_info, cps[i], cps[i + 1]);
    }
    return x;
  }

  // The coverage of the text (0..1 per pixel) on a canvas of the picture's size,
  // its baseline at `baseline`, starting at `left`.
  std::vector<float> Coverage(int width, int height, const std::string& text, float pixels,
                              float left, float baseline) const {
    std::vector<float> cover(size_t(width) * height, 0.0f);
    if (!m_ok) return cover;
    const float scale = stbtt_ScaleForPixelHeight(&m_info, pixels);
    float x = left;
    const std::vector<int> cps = Decode(text);
    for (size_t i = 0; i < cps.size(); ++i) {
      int advance, bearing;
      stbtt_GetCodepointHMetrics(&m_info, cps[i], &advance, &bearing);
      const float shift = x - std::floor(x);
      int x0, y0, x1, y1;
      stbtt_GetCodepointBitmapBoxSubpixel(&m_info, cps[i], scale, scale, shift, 0.0f, &x0, &y0,
                                          &x1, &y1);
      const int w = x1 - x0, h = y1 - y0;
      if (w > 0 && h > 0) {
        std::vector<unsigned char> glyph(size_t(w) * h);
        stbtt_MakeCodepointBitmapSubpixel(&m_info, glyph.data(), w, h, w, scale, scale, shift,
                                          0.0f, cps[i]);
        const int ox = static_cast<int>(std::floor(x)) + x0;
        const int oy = static_cast<int>(std::lround(baseline)) + y0;
        for (int gy = 0; gy < h; ++gy)
          for (int gx = 0; gx < w; ++gx) {
            const int px = ox + gx, py = oy + gy;
            if (px < 0 || py < 0 || px >= width || py >= height) continue;
            float& c = cover[size_t(py) * width + px];
            c = std::min(1.0f, c + glyph[size_t(gy) * w + gx] / 255.0f);
          }
      }
      x += advance * scale;
      if (i + 1 < cps.size()) x += scale * stbtt_GetCodepointKernAdvance(&m_info, cps[i], cps[i + 1]);
    }
    return cover;
  }

  // Ascent of capitals in pixels, for centring a line.
  float CapHeight(float pixels) const {
    if (!m_ok) return pixels * 0.7f;
    int x0, y0, x1, y1;
    stbtt_GetCodepointBox(&m_info, 'H', &x0, &y0, &x1, &y1);
    return y1 * stbtt_ScaleForPixelHeight(&m_info, pixels);
  }

private:
  std::vector<unsigned char> m_data;
  stbtt_fontinfo m_info{};
  bool m_ok = false;
};

const char* const kFontFolder = "/usr/share/fonts/truetype/dejavu/";

// The look of a line of words.
struct TextStyle {
  const Font* font;
  float pixels;
  Colour fill;
  Colour outline;  // a dark rim so that the words read over the fog
  float outlineWidth;
  Colour glow;     // alpha 0: none
  float glowRadius;
};

// Dilates a coverage map by `radius` pixels (a disc).
std::vector<float> Dilate(const std::vector<float>& cover, int width, int height, float radius) {
  std::vector<float> out(cover.size(), 0.0f);
  const int r = static_cast<int>(std::ceil(radius));
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      float best = 0.0f;
      for (int dy = -r; dy <= r; ++dy)
        for (int dx = -r; dx <= r; ++dx) {
          const int sx = x + dx, sy = y + dy;
          if (sx < 0 || sy < 0 || sx >= width || sy >= height) continue;
          const float d = std::sqrt(float(dx * dx + dy * dy));
          const float fall = std::clamp(radius + 0.5f - d, 0.0f, 1.0f);
          best = std::max(best, cover[size_t(sy) * width + sx] * fall);
        }
      out[size_t(y) * width + x] = best;
    }
  return out;
}

// Soft glow: a box blur of the coverage, twice.
std::vector<float> Blur(std::vector<float> cover, int width, int height, int radius) {
  for (int pass = 0; pass < 2; ++pass) {
    std::vector<float> tmp(cover.size(), 0.0f);
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        float sum = 0.0f;
        for (int k = -radius; k <= radius; ++k) {
          const int sx = std::clamp(x + k, 0, width - 1);
          sum += cover[size_t(y) * width + sx];
        }
        tmp[size_t(y) * width + x] = sum / (2 * radius + 1);
      }
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        float sum = 0.0f;
        for (int k = -radius; k <= radius; ++k) {
          const int sy = std::clamp(y + k, 0, height - 1);
          sum += tmp[size_t(sy) * width + x];
        }
        cover[size_t(y) * width + x] = sum / (2 * radius + 1);
      }
  }
  return cover;
}

// Draws a line of words centred in the picture (or from `left` when it is >= 0),
// shrunk to fit the width when it is too long.
void DrawText(Picture& p, const std::string& text, TextStyle style, float left = -1.0f,
              float centreY = -1.0f) {
  const float margin = style.outlineWidth + style.glowRadius + 4.0f;
  float width = style.font->Width(text, style.pixels);
  if (width > p.width - 2 * margin) {
    style.pixels *= (p.width - 2 * margin) / width;
    width = style.font->Width(text, style.pixels);
  }
  const float x = left >= 0.0f ? left : (p.width - width) * 0.5f;
  const float cy = centreY >= 0.0f ? centreY : p.height * 0.5f;
  const float baseline = cy + style.font->CapHeight(style.pixels) * 0.5f;
  const std::vector<float> cover =
      style.font->Coverage(p.width, p.height, text, style.pixels, x, baseline);
  if (style.glow.a > 0.0f) {
    const std::vector<float> glow =
        Blur(Dilate(cover, p.width, p.height, 2.0f), p.width, p.height,
             std::max(1, static_cast<int>(style.glowRadius / 2)));
    for (int y = 0; y < p.height; ++y)
      for (int x2 = 0; x2 < p.width; ++x2)
        p.Blend(x2, y, style.glow, std::min(1.0f, glow[size_t(y) * p.width + x2] * 1.6f));
  }
  if (style.outlineWidth > 0.0f) {
    const std::vector<float> rim = Dilate(cover, p.width, p.height, style.outlineWidth);
    for (int y = 0; y < p.height; ++y)
      for (int x2 = 0; x2 < p.width; ++x2) p.Blend(x2, y, style.outline, rim[size_t(y) * p.width + x2]);
  }
  for (int y = 0; y < p.height; ++y)
    for (int x2 = 0; x2 < p.width; ++x2) p.Blend(x2, y, style.fill, cover[size_t(y) * p.width + x2]);
}

// --- the menu's words -------------------------------------------------------------

// How a label is drawn: its picture size and the look of its words.
enum Kind { kButton, kTitle, kPhrase, kOptionLabel, kValue };

struct Label {
  const char* file;  // under "menu/", without ".png"
  Kind kind;
  const char* eng;
  const char* spa;
};

// Every word picture of the menu, in both languages.
const Label kLabels[] = {
    {"button_newgame", kButton, "NEW GAME", "NUEVA PARTIDA"},
    {"button_options", kButton, "OPTIONS", "OPCIONES"},
    {"button_exit", kButton, "EXIT", "SALIR"},
    {"button_gameoptions", kButton, "GAME", "JUEGO"},
    {"button_graphics", kButton, "GRAPHICS", "GRÁFICOS"},
    {"button_sound", kButton, "SOUND", "SONIDO"},
    {"button_save", kButton, "SAVE", "GUARDAR"},
    {"button_back", kButton, "BACK", "VOLVER"},
    {"button_resumegame", kButton, "RESUME GAME", "CONTINUAR PARTIDA"},
    {"button_optionspause", kButton, "OPTIONS", "OPCIONES"},
    {"button_gotomainmenu", kButton, "MAIN MENU", "MENÚ PRINCIPAL"},
    {"button_exitpause", kButton, "QUIT GAME", "SALIR DEL JUEGO"},
    {"newgame_easy", kButton, "EASY", "FÁCIL"},
    {"newgame_normal", kButton, "NORMAL", "NORMAL"},
    {"newgame_hard", kButton, "HARD", "DIFÍCIL"},
    {"exit_yes", kButton, "YES", "SÍ"},
    {"exit_no", kButton, "NO", "NO"},
    {"title_newgame", kTitle, "New Game", "Nueva partida"},
    {"title_options", kTitle, "Options", "Opciones"},
    {"title_gameconfig", kTitle, "Game Options", "Opciones de juego"},
    {"title_graphicsconfig", kTitle, "Graphics", "Gráficos"},
    {"title_soundconfig", kTitle, "Sound", "Sonido"},
    {"title_exit", kTitle, "Exit", "Salir"},
    {"phrase_newgame", kPhrase, "Choose the difficulty", "Elige la dificultad"},
    {"phrase_exit", kPhrase, "Do you really want to quit?", "¿Seguro que quieres salir?"},
    {"option_difficulty", kOptionLabel, "Difficulty", "Dificultad"},
    {"option_language", kOptionLabel, "Language", "Idioma"},
    {"option_subtitles", kOptionLabel, "Subtitles", "Subtítulos"},
    {"option_resolution", kOptionLabel, "Resolution", "Resolución"},
    {"option_antialiasing", kOptionLabel, "Antialiasing", "Suavizado de bordes"},
    {"option_vsync", kOptionLabel, "Vertical sync", "Sincronía vertical"},
    {"option_graphicsquality", kOptionLabel, "Quality", "Calidad"},
    {"option_dof", kOptionLabel, "Depth of field", "Profundidad de campo"},
    {"option_shadows", kOptionLabel, "Shadows", "Sombras"},
    {"option_ssao", kOptionLabel, "Ambient occlusion", "Oclusión ambiental"},
    {"option_glow", kOptionLabel, "Glow", "Resplandor"},
    {"option_blooddecals", kOptionLabel, "Blood stains", "Manchas de sangre"},
    {"option_musicvolume", kOptionLabel, "Music", "Música"},
    {"option_effectsvolume", kOptionLabel, "Effects", "Efectos"},
    {"option_voicesvolume", kOptionLabel, "Voices", "Voces"},
    {"value_easy", kValue, "Easy", "Fácil"},
    {"value_normal", kValue, "Normal", "Normal"},
    {"value_hard", kValue, "Hard", "Difícil"},
    {"value_english", kValue, "English", "Inglés"},
    {"value_spanish", kValue, "Spanish", "Español"},
    {"value_on", kValue, "On", "Sí"},
    {"value_off", kValue, "Off", "No"},
    {"value_2x", kValue, "2x", "2x"},
    {"value_4x", kValue, "4x", "4x"},
    {"value_8x", kValue, "8x", "8x"},
    {"value_16x", kValue, "16x", "16x"},
    {"value_low", kValue, "Low", "Baja"},
    {"value_medium", kValue, "Medium", "Media"},
    {"value_high", kValue, "High", "Alta"},
    {"value_shadows_low", kValue, "Low", "Bajas"},
    {"value_shadows_medium", kValue, "Medium", "Medias"},
    {"value_shadows_high", kValue, "High", "Altas"},
    {"value_shadows_veryhigh", kValue, "Very high", "Muy altas"},
    {"value_shadows_ultrahigh", kValue, "Ultra high", "Máximas"},
};

struct Fonts {
  Font sansBold{(std::string(kFontFolder) + "DejaVuSans-Bold.ttf").c_str()};
  Font serifBold{(std::string(kFontFolder) + "DejaVuSerif-Bold.ttf").c_str()};
  Font sans{(std::string(kFontFolder) + "DejaVuSans.ttf").c_str()};
};

// Picture sizes of the kinds (the quads on screen have the same pixels on the
// 1024 x 768 base screen).
void KindSize(Kind kind, int& w, int& h) {
  switch (kind) {
    case kButton: w = 448, h = 64; return;
    case kTitle: w = 640, h = 96; return;
    case kPhrase: w = 640, h = 56; return;
    case kOptionLabel: w = 320, h = 44; return;
    case kValue: w = 256, h = 44; return;
  }
}

const Colour kBone{0.86f, 0.84f, 0.78f, 1.0f};
const Colour kEmber{1.0f, 0.78f, 0.32f, 1.0f};
const Colour kBlood{0.72f, 0.08f, 0.05f, 1.0f};
const Colour kInk{0.02f, 0.02f, 0.03f, 0.9f};

Picture LabelPicture(const Fonts& fonts, const Label& label, const char* text, bool lit) {
  int w, h;
  KindSize(label.kind, w, h);
  Picture p(w, h);
  TextStyle style{&fonts.sansBold, 0, lit ? kEmber : kBone, kInk, 2.0f, {0, 0, 0, 0}, 0};
  switch (label.kind) {
    case kButton:
      style.pixels = 40;
      if (lit) {
        // A dark band behind the chosen button, with the blood-red bar under it.
        p.Box(8, 6, w - 8, h - 6, 10, Colour{0.05f, 0.02f, 0.02f, 0.55f}, 6.0f);
        p.Box(w * 0.2f, h - 10, w * 0.8f, h - 7, 1.5f, kBlood);
        style.glow = Colour{0.9f, 0.35f, 0.05f, 0.7f};
        style.glowRadius = 8;
      }
      break;
    case kTitle:
      style.font = &fonts.serifBold;
      style.pixels = 64;
      style.fill = lit ? kEmber : Colour{0.8f, 0.12f, 0.08f, 1.0f};
      style.outlineWidth = 3.0f;
      style.glow = Colour{0.0f, 0.0f, 0.0f, 0.8f};
      style.glowRadius = 8;
      break;
    case kPhrase:
      style.font = &fonts.sans;
      style.pixels = 32;
      style.fill = lit ? Colour{0.95f, 0.9f, 0.8f, 1.0f} : kBone;
      break;
    case kOptionLabel:
      style.pixels = 28;
      if (lit) {
        style.glow = Colour{0.9f, 0.35f, 0.05f, 0.7f};
        style.glowRadius = 6;
      }
      DrawText(p, text, style, 10.0f);
      return p;
    case kValue:
      style.font = &fonts.sans;
      style.pixels = 28;
      style.fill = lit ? kEmber : Colour{0.7f, 0.7f, 0.68f, 1.0f};
      break;
  }
  DrawText(p, text, style);
  return p;
}

// An arrow pointing left or right; the highlighted look is bright and larger.
Picture Arrow(bool right, bool lit) {
  Picture p(40, 40);
  const Colour c = lit ? kEmber : Colour{0.65f, 0.64f, 0.6f, 1.0f};
  const float in = lit ? 6.0f : 10.0f;
  // A dark rim first so that the arrow reads over the fog.
  const float grow = 2.0f;
  if (right) {
    p.Triangle(in - grow, in - grow - 1, 40 - in + grow + 1, 20, in - grow, 40 - in + grow + 1, kInk);
    p.Triangle(in, in, 40 - in, 20, in, 40 - in, c);
  } else {
    p.Triangle(40 - in + grow, in - grow - 1, in - grow - 1, 20, 40 - in + grow, 40 - in + grow + 1,
               kInk);
    p.Triangle(40 - in, in, in, 20, 40 - in, 40 - in, c);
  }
  return p;
}

// The rows of the digit strip: the texture offset at which each digit's window
// begins, top down 0, 9, 8, ..., 1; a digit quad shows kDigitWindow of the strip.
const float kDigitRows[10] = {0.0f, 0.901f, 0.802f, 0.704f, 0.604f,
                              0.507f, 0.407f, 0.309f, 0.212f, 0.112f};
constexpr float kDigitWindow = 0.098f;

Picture DigitStrip(const Fonts& fonts, bool lit) {
  Picture p(48, 640);
  TextStyle style{&fonts.sansBold, 44, lit ? kEmber : kBone, kInk, 2.0f, {0, 0, 0, 0}, 0};
  for (int d = 0; d < 10; ++d) {
    const float centre = (kDigitRows[d] + kDigitWindow * 0.5f) * p.height;
    const std::string text(1, char('0' + d));
    // Each digit in its own row: a canvas of the row, then copied in.
    Picture row(48, 62);
    DrawText(row, text, style);
    const int top = static_cast<int>(std::lround(centre - row.height * 0.5f));
    for (int y = 0; y < row.height; ++y)
      for (int x = 0; x < row.width; ++x) {
        const int py = top + y;
        if (py < 0 || py >= p.height) continue;
        std::copy(row.At(x, y), row.At(x, y) + 4, p.At(x, py));
      }
  }
  return p;
}

Picture Times(const Fonts& fonts, bool lit) {
  Picture p(28, 40);
  TextStyle style{&fonts.sansBold, 30, lit ? kEmber : kBone, kInk, 2.0f, {0, 0, 0, 0}, 0};
  DrawText(p, "x", style);
  return p;
}

// --- the backdrop -----------------------------------------------------------------

uint32_t Hash(uint32_t x) {
  x ^= x >> 16;
  x *= 0x7feb352du;
  x ^= x >> 15;
  x *= 0x846ca68bu;
  x ^= x >> 16;
  return x;
}

// Value noise that repeats every `period` cells across (so the layers scroll on
// without a seam).
float Lattice(int x, int y, int period, uint32_t seed) {
  x = ((x % period) + period) % period;
  return (Hash(uint32_t(x) * 73856093u ^ uint32_t(y) * 19349663u ^ seed) & 0xFFFF) / 65535.0f;
}

float SmoothNoise(float x, float y, int period, uint32_t seed) {
  const int ix = static_cast<int>(std::floor(x)), iy = static_cast<int>(std::floor(y));
  const float fx = x - ix, fy = y - iy;
  const float sx = fx * fx * (3 - 2 * fx), sy = fy * fy * (3 - 2 * fy);
  const float a = Lattice(ix, iy, period, seed), b = Lattice(ix + 1, iy, period, seed);
  const float c = Lattice(ix, iy + 1, period, seed), d = Lattice(ix + 1, iy + 1, period, seed);
  return (a + (b - a) * sx) * (1 - sy) + (c + (d - c) * sx) * sy;
}

float Fbm(float u, float v, int basePeriod, uint32_t seed) {
  float sum = 0.0f, amp = 0.5f;
  int period = basePeriod;
  for (int o = 0; o < 5; ++o) {
    sum += amp * SmoothNoise(u * period, v * period, period, seed + o);
    amp *= 0.5f;
    period *= 2;
  }
  return sum;
}

// Dusk over a ruined street: a dark red sky, the skyline, and the dead walking
// towards the viewer.
Picture Zombies() {
  const int w = 512, h = 384;
  Picture p(w, h);
  for (int y = 0; y < h; ++y) {
    const float t = float(y) / h;
    const Colour sky{0.05f + 0.30f * t, 0.03f + 0.06f * t, 0.04f + 0.03f * t, 1.0f};
    for (int x = 0; x < w; ++x) p.Blend(x, y, sky, 1.0f);
  }
  // A pale moon behind the haze.
  p.Disc(380, 90, 34, Colour{0.85f, 0.75f, 0.6f, 0.85f}, 3.0f);
  p.Disc(380, 90, 60, Colour{0.8f, 0.5f, 0.35f, 0.12f}, 30.0f);
  // Two rows of buildings, the far one lighter.
  const Colour far{0.16f, 0.07f, 0.07f, 1.0f}, nearC{0.09f, 0.04f, 0.045f, 1.0f};
  for (int row = 0; row < 2; ++row) {
    float x = -10;
    uint32_t seed = row ? 97 : 13;
    while (x < w) {
      seed = Hash(seed);
      const float bw = 28 + (seed % 40);
      const float top = (row ? 200 : 160) + (Hash(seed + 1) % 70);
      p.Box(x, top, x + bw, h, 0, row ? nearC : far);
      // A few lit windows in the far row.
      if (!row)
        for (float wy = top + 8; wy < 300; wy += 14)
          for (float wx = x + 5; wx < x + bw - 6; wx += 10)
            if (Hash(uint32_t(wx * 7 + wy * 13)) % 9 == 0)
              p.Box(wx, wy, wx + 4, wy + 6, 0, Colour{0.9f, 0.6f, 0.25f, 0.8f});
      x += bw + 2;
    }
  }
  // The street and the figures: heads, slumped shoulders, reaching arms.
  p.Box(0, 330, w, h, 0, Colour{0.02f, 0.01f, 0.01f, 1.0f});
  for (int i = 0; i < 7; ++i) {
    const uint32_t s = Hash(1000 + i);
    const float cx = 30 + i * 72 + float(s % 24);
    const float scale = 0.9f + (s % 50) / 100.0f;
    const float foot = 384;
    const float height = 120 * scale;
    const float top = foot - height;
    const Colour body{0.01f, 0.005f, 0.008f, 1.0f};
    const float lean = (static_cast<int>((s >> 8) % 20) - 10) * 0.6f;
    // The moon's red light on their backs, drawn first and one pixel wider.
    const Colour rim{0.45f, 0.12f, 0.08f, 0.8f};
    p.Disc(cx + lean + 1.5f, top + 12 * scale - 1, 11 * scale, rim);
    p.Box(cx - 16 * scale + lean * 0.6f + 1.5f, top + 21 * scale, cx + 16 * scale + lean * 0.6f + 1.5f,
          foot - 50 * scale, 8 * scale, rim);
    p.Disc(cx + lean, top + 12 * scale, 11 * scale, body);
    p.Box(cx - 16 * scale + lean * 0.6f, top + 22 * scale, cx + 16 * scale + lean * 0.6f,
          foot - 50 * scale, 8 * scale, body);
    p.Box(cx - 12 * scale, foot - 55 * scale, cx - 3 * scale, foot, 3 * scale, body);
    p.Box(cx + 3 * scale, foot - 55 * scale, cx + 12 * scale, foot, 3 * scale, body);
    // One arm reaching forward.
    p.Box(cx + 10 * scale + lean, top + 30 * scale, cx + 42 * scale + lean, top + 38 * scale,
          4 * scale, body);
  }
  return p;
}

// A band of fog that repeats across; `density` darker or lighter.
Picture Fog(uint32_t seed, float density, int top) {
  const int w = 512, h = 256;
  Picture p(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const float u = float(x) / w, v = float(y) / h;
      const float n = Fbm(u, v * 0.5f, 4, seed);
      // Thicker towards the ground.
      const float ground = std::clamp((float(y) - top) / (h - top), 0.0f, 1.0f);
      const float a = std::clamp((n - 0.35f) * 2.2f, 0.0f, 1.0f) * ground * density;
      p.Blend(x, y, Colour{0.75f, 0.72f, 0.7f, 1.0f}, a);
    }
  return p;
}

// The game's name over the backdrop (a proper name: the same in both languages).
Picture GameTitle(const Fonts& fonts, int w, int h, float pixels) {
  Picture p(w, h);
  TextStyle style{&fonts.serifBold, pixels, Colour{0.78f, 0.1f, 0.06f, 1.0f}, kInk,
                  3.0f, Colour{0.0f, 0.0f, 0.0f, 0.85f}, 10.0f};
  DrawText(p, "HOLLOWMERE", style);
  return p;
}

Picture Solid(int w, int h, const Colour& c) {
  Picture p(w, h);
  p.Fill(c);
  return p;
}

// The dark panel the pages stand on once the main menu's buttons are gone.
Picture Panel() {
  Picture p(256, 256);
  p.Box(4, 4, 252, 252, 24, Colour{0.0f, 0.0f, 0.0f, 0.62f}, 8.0f);
  return p;
}

// --- the start-up screens -----------------------------------------------------------

Picture TeamLogo(const Fonts& fonts) {
  Picture p(512, 384);
  // A ring with a stylised mere (a lake under a hollow moon) inside.
  const float cx = 256, cy = 150;
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x) {
      const float d = std::hypot(x + 0.5f - cx, y + 0.5f - cy);
      p.Blend(x, y, kBone, std::clamp(std::min(d - 92.0f, 104.0f - d) + 0.5f, 0.0f, 1.0f));
    }
  p.Disc(cx, cy - 20, 40, Colour{0.85f, 0.8f, 0.7f, 1.0f});
  p.Disc(cx + 16, cy - 30, 36, Colour{0.0f, 0.0f, 0.0f, 1.0f});
  for (int i = 0; i < 3; ++i)
    p.Box(cx - 60 + i * 10, cy + 34 + i * 16, cx + 60 - i * 10, cy + 40 + i * 16, 3,
          Colour{0.45f, 0.55f, 0.7f, 1.0f});
  TextStyle style{&fonts.serifBold, 44, kBone, kInk, 0.0f, {0, 0, 0, 0}, 0};
  DrawText(p, "HOLLOWMERE", style, -1.0f, 300.0f);
  style.font = &fonts.sans;
  style.pixels = 26;
  style.fill = Colour{0.6f, 0.6f, 0.58f, 1.0f};
  DrawText(p, "GAME STUDIO", style, -1.0f, 345.0f);
  return p;
}

// A game pad with its sticks and buttons over the recommendation.
Picture PadScreen(const Fonts& fonts, const char* line1, const char* line2) {
  Picture p(768, 384);
  const Colour shell{0.32f, 0.33f, 0.37f, 1.0f};
  p.Disc(270, 140, 70, shell);
  p.Disc(498, 140, 70, shell);
  p.Box(270, 80, 498, 190, 30, shell);
  p.Disc(250, 180, 60, shell);
  p.Disc(518, 180, 60, shell);
  p.Disc(300, 130, 22, Colour{0.12f, 0.12f, 0.14f, 1.0f});
  p.Disc(440, 175, 22, Colour{0.12f, 0.12f, 0.14f, 1.0f});
  // The D-pad.
  p.Box(315, 170, 335, 220, 3, Colour{0.12f, 0.12f, 0.14f, 1.0f});
  p.Box(300, 185, 350, 205, 3, Colour{0.12f, 0.12f, 0.14f, 1.0f});
  const Colour buttons[4] = {{0.3f, 0.8f, 0.3f, 1}, {0.85f, 0.2f, 0.15f, 1},
                             {0.3f, 0.55f, 0.9f, 1}, {0.9f, 0.75f, 0.2f, 1}};
  const float bx[4] = {490, 515, 465, 490}, by[4] = {150, 125, 125, 100};
  for (int i = 0; i < 4; ++i) p.Disc(bx[i], by[i], 11, buttons[i]);
  TextStyle style{&fonts.sansBold, 36, kBone, kInk, 2.0f, {0, 0, 0, 0}, 0};
  DrawText(p, line1, style, -1.0f, 290.0f);
  style.font = &fonts.sans;
  style.pixels = 28;
  DrawText(p, line2, style, -1.0f, 340.0f);
  return p;
}

// --- meshes -----------------------------------------------------------------------

// A quad of one unit from (0, 0) to (1, 1) of the base screen, whose y runs down:
// the picture's first row (V = 0) at the top, V running over [0, vSpan].
void WriteQuad(const std::string& path, float vSpan) {
  const float corners[4][2] = {{0, 1}, {1, 1}, {0, 0}, {1, 0}};
  const float uvs[4][2] = {{0, vSpan}, {1, vSpan}, {0, 0}, {1, 0}};
  WriteBytes(path, gen::SpriteQuadMesh(corners, uvs));
}

// --- the menu's elements ----------------------------------------------------------

// Depths on the menu's scale of 0 to 32 (its files' depth): the screen sprites of a
// list are drawn from the lowest z up, and sprites of equal z in no kept order, so
// whatever covers another lies at a higher z.
constexpr float kZStartUpBlack = 0;  // under everything, the menu included
constexpr float kZStartUpScreen = 2;
constexpr float kZZombies = 1;
constexpr float kZFogMiddle = 2;
constexpr float kZFogFront = 3;
constexpr float kZMenuTitle = 4;
constexpr float kZPauseVeil = 5;
constexpr float kZPanel = 6;
constexpr float kZPage = 10;
constexpr float kZBlackFront = 31;

struct Element {
  std::string name;
  std::string picture;  // under "menu/", with its extension; the highlighted one adds "_hl"
  std::string page;     // the page group; "none": switched one by one
  float x, y, w, h;     // top-left corner and size on the 1024 x 768 base screen
  std::string mesh = "menu_quad.mesh";
  std::string technique = "TechGUIAlignCenter";
  bool sameLook = false;  // no highlighted look of its own
  float z = kZPage;
};

std::vector<Element> MenuElements() {
  std::vector<Element> e;
  auto add = [&](const std::string& name, const std::string& picture, const std::string& page,
                 float x, float y, float w, float h) {
    e.push_back({name, picture, page, x, y, w, h});
    return &e.back();
  };
  // The backdrop, back to front.
  Element* zombies = add("menu_background_zombies", "bg_zombies.png", "none", 0, 0, 1024, 768);
  zombies->sameLook = true;
  zombies->z = kZZombies;
  for (const char* fog : {"menu_background_fog_middle", "menu_background_fog_front"}) {
    const bool middle = fog == std::string("menu_background_fog_middle");
    Element* f = add(fog, middle ? "bg_fog_middle.png" : "bg_fog_front.png", "none", 0, 256,
                     1024, 512);
    f->technique = "TechGUIAlignCenterWrap";
    f->sameLook = true;
    f->z = middle ? kZFogMiddle : kZFogFront;
  }
  Element* title = add("menu_background_joe", "MenuTitles_01.dds", "none", 192, 24, 640, 128);
  title->sameLook = true;
  title->z = kZMenuTitle;
  Element* panel = add("menu_blackening", "panel.png", "none", 152, 160, 720, 580);
  panel->sameLook = true;
  panel->z = kZPanel;

  const float bw = 448, bh = 64, bx = 512 - bw / 2;
  // Main menu.
  add("menu_button_newgame", "button_newgame.png", "main_menu", bx, 360, bw, bh);
  add("menu_button_options", "button_options.png", "main_menu", bx, 440, bw, bh);
  add("menu_button_exit", "button_exit.png", "main_menu", bx, 520, bw, bh);
  // Titles, switched by the pages' openers.
  const float tw = 640, th = 96, tx = 512 - tw / 2, ty = 168;
  for (const char* t : {"newgame", "options", "gameconfig", "graphicsconfig", "soundconfig", "exit"})
    add(std::string("menu_title_") + t, std::string("title_") + t + ".png", "none", tx, ty, tw, th);
  // New game.
  add("phrase_newgame", "phrase_newgame.png", "new_game", 192, 280, 640, 56);
  add("newgame_easy", "newgame_easy.png", "new_game", bx, 360, bw, bh);
  add("newgame_normal", "newgame_normal.png", "new_game", bx, 430, bw, bh);
  add("newgame_hard", "newgame_hard.png", "new_game", bx, 500, bw, bh);
  // Options.
  add("menu_button_gameoptions", "button_gameoptions.png", "options", bx, 320, bw, bh);
  add("menu_button_graphics", "button_graphics.png", "options", bx, 400, bw, bh);
  add("menu_button_sound", "button_sound.png", "options", bx, 480, bw, bh);
  // The shared buttons, switched by the openers.
  add("menu_button_save", "button_save.png", "none", 512 - bw - 8, 650, bw, bh);
  add("menu_button_back", "button_back.png", "none", 512 + 8, 650, bw, bh);
  // The pause menu's page.
  add("menu_button_resumegame", "button_resumegame.png", "pause", bx, 300, bw, bh);
  add("menu_button_optionspause", "button_optionspause.png", "pause", bx, 380, bw, bh);
  add("menu_button_gotomainmenu", "button_gotomainmenu.png", "pause", bx, 460, bw, bh);
  add("menu_button_exitpause", "button_exitpause.png", "pause", bx, 540, bw, bh);

  // An option row: its label, its arrows and its values (switched one by one).
  auto row = [&](const std::string& page, const std::string& option, const std::string& arrows,
                 float y, float h, const std::vector<std::pair<std::string, std::string>>& values) {
    add("option_" + option, "option_" + option + ".png", page, 170, y, 320, h);
    add(arrows + "_left_arrow", "arrow_left.png", page, 500, y + (h - 40) / 2, 40, 40);
    add(arrows + "_right_arrow", "arrow_right.png", page, 810, y + (h - 40) / 2, 40, 40);
    for (const auto& v : values) add(v.first, v.second + ".png", "none", 547, y, 256, h);
  };
  // Game options.
  row("game_config", "difficulty", "difficulty", 310, 44,
      {{"difficulty_easy", "value_easy"}, {"difficulty_normal", "value_normal"},
       {"difficulty_hard", "value_hard"}});
  row("game_config", "language", "language", 380, 44,
      {{"language_eng", "value_english"}, {"language_spa", "value_spanish"}});
  row("game_config", "subtitles", "subtitles", 450, 44,
      {{"subtitles_on", "value_on"}, {"subtitles_off", "value_off"}});
  // Graphics options: nine rows.
  float gy = 262;
  const float step = 42;
  {
    add("option_resolution", "option_resolution.png", "graphics_config", 170, gy, 320, 44);
    add("resolution_left_arrow", "arrow_left.png", "graphics_config", 500, gy + 2, 40, 40);
    add("resolution_right_arrow", "arrow_right.png", "graphics_config", 810, gy + 2, 40, 40);
    const char* digits[] = {"resolution_width_mil",  "resolution_width_cent",
                            "resolution_width_dec",  "resolution_width_unid",
                            "resolution_x",          "resolution_height_mil",
                            "resolution_height_cent", "resolution_height_dec",
                            "resolution_height_unid"};
    for (int i = 0; i < 9; ++i) {
      Element* d = add(digits[i], i == 4 ? "times.png" : "digits.png", "graphics_config",
                       550 + i * 28, gy + 2, 28, 40);
      if (i != 4) d->mesh = "menu_digit_quad.mesh";
    }
  }
  gy += step;
  row("graphics_config", "graphicsquality", "graphicsquality", gy, 44,
      {{"graphicsquality_low", "value_low"}, {"graphicsquality_medium", "value_medium"},
       {"graphicsquality_high", "value_high"}});
  gy += step;
  row("graphics_config", "vsync", "vsync", gy, 44, {{"vsync_on", "value_on"}, {"vsync_off", "value_off"}});
  gy += step;
  row("graphics_config", "antialiasing", "antialiasing", gy, 44,
      {{"antialiasing_off", "value_off"}, {"antialiasing_2x", "value_2x"},
       {"antialiasing_4x", "value_4x"}, {"antialiasing_8x", "value_8x"},
       {"antialiasing_16x", "value_16x"}});
  gy += step;
  row("graphics_config", "dof", "dof", gy, 44, {{"dof_on", "value_on"}, {"dof_off", "value_off"}});
  gy += step;
  row("graphics_config", "shadows", "shadows", gy, 44,
      {{"shadowsquality_off", "value_off"}, {"shadowsquality_low", "value_shadows_low"},
       {"shadowsquality_medium", "value_shadows_medium"},
       {"shadowsquality_high", "value_shadows_high"},
       {"shadowsquality_veryhigh", "value_shadows_veryhigh"},
       {"shadowsquality_ultrahigh", "value_shadows_ultrahigh"}});
  gy += step;
  row("graphics_config", "ssao", "ssao", gy, 44, {{"ssao_on", "value_on"}, {"ssao_off", "value_off"}});
  gy += step;
  row("graphics_config", "glow", "glow", gy, 44, {{"glow_on", "value_on"}, {"glow_off", "value_off"}});
  gy += step;
  row("graphics_config", "blooddecals", "blooddecals", gy, 44,
      {{"blooddecals_on", "value_on"}, {"blooddecals_off", "value_off"}});
  // Sound options: a label, arrows and three digits per row.
  const char* volumes[] = {"musicvolume", "effectsvolume", "voicesvolume"};
  for (int i = 0; i < 3; ++i) {
    const float y = 320 + i * 80;
    const std::string v = volumes[i];
    add("option_" + v, "option_" + v + ".png", "sound_config", 170, y, 320, 44);
    add(v + "_left_arrow", "arrow_left.png", "sound_config", 560, y + 2, 40, 40);
    add(v + "_right_arrow", "arrow_right.png", "sound_config", 760, y + 2, 40, 40);
    const char* places[] = {"_cent", "_dec", "_unid"};
    for (int k = 0; k < 3; ++k) {
      Element* d = add(v + places[k], "digits.png", "sound_config", 630 + k * 34, y, 34, 48);
      d->mesh = "menu_digit_quad.mesh";
    }
  }
  // Exit.
  add("phrase_exit", "phrase_exit.png", "exit", 192, 300, 640, 56);
  add("exit_yes", "exit_yes.png", "exit", bx, 400, bw, bh);
  add("exit_no", "exit_no.png", "exit", bx, 480, bw, bh);
  // In front of everything: the black that the menu fades in from.
  Element* black = add("menu_black_front", "black.png", "none", 0, 0, 1024, 768);
  black->sameLook = true;
  black->z = kZBlackFront;
  return e;
}

std::string Highlighted(const Element& e) {
  if (e.sameLook) return "menu/" + e.picture;
  const size_t dot = e.picture.rfind('.');
  return "menu/" + e.picture.substr(0, dot) + "_hl" + e.picture.substr(dot);
}

const char* const kHeader = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n";

std::string Comment(const char* what) {
  return std::string(kHeader) + "<!-- " + what + " Written by tools/gen_menu. -->\n";
}

// The pause menu's dark veil over the frozen, blurred game: under the panel and every
// page's buttons. Not a page element: the pause switches it.
std::string PauseBackgroundObject() {
  return "<GameObject name=\"pause_background\" GameObjectTemplate=\"menu\">\n"
         "  <Component name=\"CTransform\">\n    <key name=\"position\" X=\"0\" Y=\"0\" Z=\"" +
         gen::Num(kZPauseVeil) + "\"/>\n"
         "    <key name=\"scale\" X=\"1024\" Y=\"768\" Z=\"1\"/>\n  </Component>\n"
         "  <Component name=\"CRenderer\">\n"
         "    <key name=\"textures\"><texture image=\"pause_background.png\"/></key>\n"
         "  </Component>\n</GameObject>\n";
}

void WriteMenuXml(const std::string& xml, const std::vector<Element>& elements) {
  std::string menu = Comment("The main menu's pictures: per element its highlighted and normal "
                             "texture (under eng/ or spa/) and its page group; the flash timing "
                             "of the arrows and values.");
  menu += "<menu width=\"1024\" height=\"768\" depth=\"32\">\n";
  menu += "  <alpha value=\"1\" speed=\"1.5\" fade_time=\"0.35\" visible_time=\"0.3\"/>\n";
  for (const Element& e : elements) {
    menu += "  <menu_element name=\"" + e.name + "\">\n";
    menu += "    <key name=\"highlighted\" value=\"" + Highlighted(e) + "\"/>\n";
    menu += "    <key name=\"normal\" value=\"menu/" + e.picture + "\"/>\n";
    menu += "    <key name=\"page\" value=\"" + e.page + "\"/>\n";
    menu += "  </menu_element>\n";
  }
  WriteText(xml + "/menu_main.xml", menu + "</menu>\n");

  std::string objects =
      Comment("The main menu's pictures and the pause menu's veil, all off until a menu "
              "shows them.");
  for (const Element& e : elements) {
    objects += "<GameObject name=\"" + e.name + "\" GameObjectTemplate=\"menu\">\n";
    objects += "  <Component name=\"CTransform\">\n    <key name=\"position\" X=\"" +
               gen::Num(e.x) + "\" Y=\"" + gen::Num(e.y) + "\" Z=\"" + gen::Num(e.z) + "\"/>\n";
    objects += "    <key name=\"scale\" X=\"" + gen::Num(e.w) + "\" Y=\"" + gen::Num(e.h) +
               "\" Z=\"1\"/>\n  </Component>\n";
    objects += "  <Component name=\"CRenderer\">\n";
    if (e.mesh != "menu_quad.mesh") objects += "    <key name=\"mesh\" value=\"" + e.mesh + "\"/>\n";
    if (e.technique != "TechGUIAlignCenter")
      objects += "    <key name=\"technique\" value=\"" + e.technique + "\"/>\n";
    // Both looks in both languages, so that every texture the pages switch to is made.
    objects += "    <key name=\"textures\" multi_lang=\"1\"><texture image=\"menu/" + e.picture +
               "\"/>";
    if (!e.sameLook) objects += "<texture image=\"" + Highlighted(e) + "\"/>";
    objects += "</key>\n  </Component>\n</GameObject>\n";
    if (e.name == "menu_blackening") objects += PauseBackgroundObject();
  }
  WriteText(xml + "/menu_main_instances.xml", objects);
}

void WriteStartUpXml(const std::string& xml) {
  WriteText(xml + "/startup.xml",
            Comment("The start-up screens: the logo's and the pad screen's fades (seconds), "
                    "the title's slide (pixels, pixels a second) with its shakes and zooms "
                    "(in and out: fractions of the slide's duration; times in seconds).") +
                "<res width=\"1024\" height=\"768\" depth=\"32\">\n"
                "  <logo>\n"
                "    <alpha value=\"0\" speed=\"1\" fade_time=\"1\" visible_time=\"1.5\"/>\n"
                "  </logo>\n"
                "  <instructions01>\n"
                "    <alpha value=\"0\" speed=\"1\" fade_time=\"1\" visible_time=\"2\"/>\n"
                "  </instructions01>\n"
                "  <title>\n"
                "    <pos_offset x_min=\"-60\" x_max=\"60\" speed=\"12\"/>\n"
                "    <vibration axis=\"x\" in=\"0\" out=\"0.06\" power=\"6\" speed=\"30\"/>\n"
                "    <vibration axis=\"y\" in=\"0\" out=\"0.06\" power=\"4\" speed=\"24\"/>\n"
                "    <vibration axis=\"y\" in=\"0.55\" out=\"0.6\" power=\"5\" speed=\"28\"/>\n"
                "    <zoom in=\"0\" time_in=\"0\" time_out=\"1.5\" size_in=\"1.6\" size_out=\"1\"/>\n"
                "    <zoom in=\"0.8\" time_in=\"0\" time_out=\"2\" size_in=\"1\" size_out=\"1.12\"/>\n"
                "  </title>\n"
                "</res>\n");
  struct Screen {
    const char* name;
    const char* image;
    bool multiLanguage;
    float x, y, w, h;
    float z = kZStartUpScreen;
  };
  const Screen screens[] = {{"background_black", "startup/black.png", false, 0, 0, 1024, 768, kZStartUpBlack},
                            {"logo_team", "startup/logo_team.png", false, 256, 192, 512, 384},
                            {"startup_pad_recommended", "startup/pad_recommended.png", true, 128,
                             192, 768, 384},
                            {"startup_title", "startup/title.png", false, 112, 284, 800, 200}};
  std::string objects = Comment("The start-up screens, off until the start-up shows them.");
  for (const Screen& s : screens) {
    objects += std::string("<GameObject name=\"") + s.name + "\" GameObjectTemplate=\"menu\">\n";
    objects += "  <Component name=\"CTransform\">\n    <key name=\"position\" X=\"" +
               gen::Num(s.x) + "\" Y=\"" + gen::Num(s.y) + "\" Z=\"" + gen::Num(s.z) + "\"/>\n";
    objects += "    <key name=\"scale\" X=\"" + gen::Num(s.w) + "\" Y=\"" + gen::Num(s.h) +
               "\" Z=\"1\"/>\n  </Component>\n";
    objects += std::string("  <Component name=\"CRenderer\">\n    <key name=\"textures\"") +
               (s.multiLanguage ? " multi_lang=\"1\"" : "") + "><texture image=\"" + s.image +
               "\"/></key>\n  </Component>\n</GameObject>\n";
  }
  WriteText(xml + "/startup_instances.xml", objects);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string root = std::string(argc > 1 ? argv[1] : ".") + "/Data";
  const std::string textures = root + "/textures/";
  const Fonts fonts;
  if (!fonts.sansBold.Ok() || !fonts.serifBold.Ok() || !fonts.sans.Ok()) return 1;

  // Words, in both languages and both looks.
  for (const Label& label : kLabels)
    for (int lang = 0; lang < 2; ++lang) {
      const std::string folder = textures + (lang ? "spa/menu/" : "eng/menu/");
      const char* text = lang ? label.spa : label.eng;
      WritePng(folder + label.file + ".png", LabelPicture(fonts, label, text, false));
      WritePng(folder + label.file + "_hl.png", LabelPicture(fonts, label, text, true));
    }
  // What has no words: the same picture under both languages.
  const Picture fog[2] = {Fog(7, 0.9f, 0), Fog(29, 1.0f, 48)};
  for (const char* lang : {"eng/", "spa/"}) {
    const std::string folder = textures + lang + "menu/";
    for (int lit = 0; lit < 2; ++lit) {
      const std::string hl = lit ? "_hl" : "";
      WritePng(folder + "arrow_left" + hl + ".png", Arrow(false, lit));
      WritePng(folder + "arrow_right" + hl + ".png", Arrow(true, lit));
      WritePng(folder + "digits" + hl + ".png", DigitStrip(fonts, lit));
      WritePng(folder + "times" + hl + ".png", Times(fonts, lit));
    }
    WritePng(folder + "bg_zombies.png", Zombies());
    WritePng(folder + "bg_fog_middle.png", fog[0]);
    WritePng(folder + "bg_fog_front.png", fog[1]);
    WritePng(folder + "panel.png", Panel());
    WritePng(folder + "black.png", Solid(16, 16, Colour{0, 0, 0, 1}));
    WriteDds(folder + "MenuTitles_01.dds", GameTitle(fonts, 640, 128, 96));
  }
  // The start-up's screens; only the pad screen has words of a language.
  WritePng(textures + "startup/black.png", Solid(16, 16, Colour{0, 0, 0, 1}));
  WritePng(textures + "startup/logo_team.png", TeamLogo(fonts));
  WritePng(textures + "startup/title.png", GameTitle(fonts, 800, 200, 150));
  WritePng(textures + "eng/startup/pad_recommended.png",
           PadScreen(fonts, "A game pad is recommended", "for the best experience"));
  WritePng(textures + "spa/startup/pad_recommended.png",
           PadScreen(fonts, "Se recomienda usar un mando", "para disfrutar al máximo"));

  WriteQuad(root + "/meshes/menu_quad.mesh", 1.0f);
  WriteQuad(root + "/meshes/menu_digit_quad.mesh", kDigitWindow);
  const std::vector<Element> elements = MenuElements();
  if (elements.size() != 125) {
    std::fprintf(stderr, "%s: the menu has %zu elements, not 125\n", kTool, elements.size());
    return 1;
  }
  WriteMenuXml(root + "/xml", elements);
  WriteStartUpXml(root + "/xml");
  if (g_ok) std::printf("%s: the start-up and the menu written under %s\n", kTool, root.c_str());
  return g_ok ? 0 : 1;
}
