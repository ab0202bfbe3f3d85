// Writes the loading screen: its seven images in both language folders, the screen
// quad they are drawn on, the screen's layout (Data/xml/loading_screen.xml), its
// objects, its shader and texture lists, and the light over the loading scene.
//
// The images are pictures without words, so the two languages share them: the
// keyboard and pad hints show the keys that move and fight, the bar fills while the
// level loads, the ring turns, and the start button shows the key that begins play.
//
// Usage: gen_loading_screen [root folder]   (default "."; files go under <root>/Data/)
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/image/ImageWriter.h"
#include "tools/gen_mesh_file.h"
#include "tools/gen_picture.h"

namespace {

bool g_ok = true;

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  g_ok = gen::WriteBytes("gen_loading_screen", path, bytes) && g_ok;
}

void WriteText(const std::string& path, const std::string& text) {
  WriteBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
}

// A B,G,R,A picture with soft-edged shapes.
struct Picture : gen::Picture {
  using gen::Picture::Picture;

  void Blend(int x, int y, float r, float g, float b, float a) { MixIn(x, y, r, g, b, a); }
  // A rounded box with a one-pixel soft edge.
  void Box(float x0, float y0, float x1, float y1, float radius, float r, float g, float b,
           float a = 1.0f) {
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        const float px = x + 0.5f, py = y + 0.5f;
        const float dx = std::max({x0 + radius - px, px - (x1 - radius), 0.0f});
        const float dy = std::max({y0 + radius - py, py - (y1 - radius), 0.0f});
        const float d = std::sqrt(dx * dx + dy * dy) - radius;
        Blend(x, y, r, g, b, a * std::clamp(0.5f - d, 0.0f, 1.0f));
      }
  }
  // A ring between two radii, lit over the angles [from, to) (radians, 0 = right).
  void Ring(float cx, float cy, float inner, float outer, float from, float to, float r, float g,
            float b) {
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        const float dx = x + 0.5f - cx, dy = y + 0.5f - cy;
        const float d = std::sqrt(dx * dx + dy * dy);
        float angle = std::atan2(dy, dx);
        if (angle < 0) angle += 6.2831853f;
        if (angle < from || angle >= to) continue;
        const float cover = std::clamp(std::min(d - inner, outer - d) + 0.5f, 0.0f, 1.0f);
        // The tail fades so that the turning shows.
        Blend(x, y, r, g, b, cover * (0.25f + 0.75f * (angle - from) / (to - from)));
      }
  }
};

void WritePng(const std::string& path, const Picture& picture) {
  g_ok = gen::WritePng("gen_loading_screen", path, picture) && g_ok;
}

// Key caps in a row, a gap between groups; the lit ones are the actions.
Picture Keyboard(bool combos) {
  Picture p(256, 128);
  p.Box(2, 2, 254, 126, 10, 0.05f, 0.06f, 0.08f, 0.75f);
  const float cap = 26, gap = 6;
  // W A S D on the left.
  const float left = 24, top = 30;
  p.Box(left + cap + gap, top, left + 2 * cap + gap, top + cap, 4, 0.8f, 0.8f, 0.75f);
  for (int i = 0; i < 3; ++i)
    p.Box(left + i * (cap + gap), top + cap + gap, left + i * (cap + gap) + cap,
          top + 2 * cap + gap, 4, 0.8f, 0.8f, 0.75f);
  // The attack keys on the right: red and yellow, or the special keys for combos.
  const float right = 150;
  const float lit[3][3] = {{0.85f, 0.2f, 0.15f}, {0.9f, 0.75f, 0.2f}, {0.3f, 0.6f, 0.9f}};
  for (int i = 0; i < 3; ++i) {
    const float* c = lit[combos ? 2 - i : i];
    p.Box(right + i * (cap + gap), top + (combos ? 0 : cap + gap), right + i * (cap + gap) + cap,
          top + (combos ? cap : 2 * cap + gap), 4, c[0], c[1], c[2]);
  }
  // The space bar.
  p.Box(left, 100, 232, 114, 4, 0.6f, 0.6f, 0.58f);
  return p;
}

// A pad's outline with its stick and four face buttons.
Picture Pad(bool combos) {
  Picture p(256, 128);
  p.Box(2, 2, 254, 126, 10, 0.05f, 0.06f, 0.08f, 0.75f);
  p.Box(40, 30, 216, 100, 30, 0.35f, 0.36f, 0.4f);
  p.Ring(82, 60, 0, 14, 0, 6.2831853f, 0.8f, 0.8f, 0.75f);
  const float buttons[4][5] = {{174, 46, 0.3f, 0.6f, 0.9f},
                               {190, 62, 0.85f, 0.2f, 0.15f},
                               {174, 78, 0.3f, 0.8f, 0.3f},
                               {158, 62, 0.9f, 0.75f, 0.2f}};
  for (int i = 0; i < 4; ++i) {
    const float* b = buttons[combos ? 3 - i : i];
    p.Ring(buttons[i][0], buttons[i][1], 0, 7, 0, 6.2831853f, b[2], b[3], b[4]);
  }
  return p;
}

Picture LoadingBar() {
  Picture p(256, 32);
  p.Box(2, 8, 254, 24, 6, 0.1f, 0.1f, 0.12f, 0.8f);
  p.Box(6, 12, 180, 20, 3, 0.75f, 0.55f, 0.25f);
  return p;
}

Picture Signal() {
  Picture p(64, 64);
  p.Ring(32, 32, 20, 28, 0.0f, 4.7f, 0.9f, 0.7f, 0.35f);
  return p;
}

// The Enter key's hooked cap with an arrow: the key that begins play.
Picture StartButton() {
  Picture p(128, 64);
  p.Box(2, 2, 126, 62, 12, 0.08f, 0.08f, 0.1f, 0.85f);
  p.Box(70, 10, 110, 54, 6, 0.85f, 0.85f, 0.8f);
  p.Box(54, 32, 110, 54, 6, 0.85f, 0.85f, 0.8f);
  p.Box(18, 28, 46, 36, 2, 0.9f, 0.7f, 0.35f);
  for (int i = 0; i < 10; ++i)
    p.Box(36.0f + i, 32.0f - (10 - i), 37.0f + i, 32.0f + (10 - i), 0, 0.9f, 0.7f, 0.35f);
  return p;
}

// A quad of one unit from (0, 0) to (1, 1), facing the viewer; the shader places
// and scales it on the screen.
bool WriteQuad(const std::string& path) {
  // y runs down the screen as v runs down the image.
  const float corners[4][2] = {{0, 1}, {1, 1}, {0, 0}, {1, 0}};
  WriteBytes(path, gen::SpriteQuadMesh(corners, corners));
  return g_ok;
}

struct Element {
  const char* name;
  const char* image;
  const char* alignment;
  float x, y, width, height;  // pixels of the 1024 × 768 screen base
};
const Element kElements[] = {
    {"loading_keyboard", "loading_keyboard.png", "left", 48, 520, 256, 128},
    {"loading_pad", "loading_pad.png", "left", 48, 520, 256, 128},
    {"combos_keyboard", "combos_keyboard.png", "right", 720, 520, 256, 128},
    {"combos_pad", "combos_pad.png", "right", 720, 520, 256, 128},
    {"loading_button", "loading_button.png", "center", 384, 680, 256, 32},
    {"loading_signal", "loading_signal.png", "right", 936, 672, 64, 64},
    {"start_button", "start_button.png", "center", 448, 664, 128, 64},
};

const char* kHeader =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<!-- Written by tools/gen_loading_screen. -->\n";

std::string Num(float v) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%g", static_cast<double>(v));
  return buffer;
}

void WriteXml(const std::string& xml) {
  std::string layout = std::string(kHeader) + "<res width=\"1024\" height=\"768\" depth=\"32\">\n";
  for (const Element& e : kElements)
    layout += std::string("  <loading_screen name=\"") + e.name + "\">\n    <alignment value=\"" +
              e.alignment + "\"/>\n    <texture name=\"" + e.image + "\"/>\n  </loading_screen>\n";
  WriteText(xml + "/loading_screen.xml", layout + "</res>\n");

  // Every element is enabled at start: the loading state hides the ones that wait.
  std::string objects = kHeader;
  for (const Element& e : kElements) {
    objects += std::string("<GameObject name=\"") + e.name +
               "\" GameObjectTemplate=\"loading_screen_element\">\n";
    objects += "  <Component name=\"CTransform\">\n    <key name=\"position\" X=\"" + Num(e.x) +
               "\" Y=\"" + Num(e.y) + "\" Z=\"0\"/>\n    <key name=\"scale\" X=\"" + Num(e.width) +
               "\" Y=\"" + Num(e.height) + "\" Z=\"1\"/>\n  </Component>\n";
    objects += std::string(
                   "  <Component name=\"CRenderer\">\n    <key name=\"textures\" "
                   "multi_lang=\"1\"><texture image=\"") +
               e.image + "\"/></key>\n  </Component>\n</GameObject>\n";
  }
  WriteText(xml + "/loading_screen_instances.xml", objects);

  // The player's figure is first made with the loading scene: its skinned effect
  // comes with the screen's.
  WriteText(xml + "/loading_shaders.xml", std::string(kHeader) +
                                              "<shaders>\n  <shader fileName=\"gui\"/>\n"
                                              "  <shader fileName=\"skin\"/>\n"
                                              "</shaders>\n");
  // The front end's screens (start-up, menu, loading) are quads drawn with the
  // interface effect.
  WriteText(xml + "/menu_shaders.xml", std::string(kHeader) +
                                           "<shaders>\n  <shader fileName=\"gui\"/>\n"
                                           "</shaders>\n");
  // Nothing of the loading scene names a material: the screen's quads and the
  // skinned figures take their textures from their renderers.
  WriteText(xml + "/loading_materials.xml",
            std::string(kHeader) + "<materials>\n</materials>\n");
  std::string textures = std::string(kHeader) + "<textures>\n";
  for (const char* language : {"eng/", "spa/"})
    for (const Element& e : kElements)
      textures += std::string("  <texture id=\"") + language + e.image + "\" file=\"" + language +
                  e.image + "\" type=\"2d\"/>\n";
  WriteText(xml + "/loading_textures.xml", textures + "</textures>\n");

  WriteText(xml + "/loading_light_templates.xml",
            std::string(kHeader) +
                "<GameObjectTemplate name=\"loading_light\">\n  <Component name=\"CTransform\"/>\n"
                "  <Component name=\"CLight\"/>\n</GameObjectTemplate>\n");

  // A warm light over the figures of the loading scene; it goes with the screen.
  WriteText(xml + "/loading_light_instances.xml",
            std::string(kHeader) +
                "<GameObject name=\"light_loading_scene\" GameObjectTemplate=\"loading_light\">\n"
                "  <Component name=\"CTransform\">\n"
                "    <key name=\"position\" X=\"0\" Y=\"6\" Z=\"2\"/>\n  </Component>\n"
                "  <Component name=\"CLight\">\n"
                "    <key name=\"light_id\" value=\"light_loading_scene\"/>\n"
                "    <key name=\"light_type\" value=\"1\"/>\n"
                "    <key name=\"map_zone_id\" value=\"ZONE_DIAGONAL\"/>\n"
                "    <key name=\"light_color\" R=\"1\" G=\"0.8\" B=\"0.55\"/>\n"
                "    <key name=\"light_att_eq_params\" X=\"1\" Y=\"0\" Z=\"0.02\"/>\n"
                "    <key name=\"far\" value=\"30\"/>\n  </Component>\n</GameObject>\n");
}

}  // namespace

int main(int argc, char** argv) {
  const std::string root = std::string(argc > 1 ? argv[1] : ".") + "/Data";
  const Picture pictures[] = {Keyboard(false), Pad(false), Keyboard(true), Pad(true),
                              LoadingBar(),    Signal(),   StartButton()};
  for (const char* language : {"eng/", "spa/"})
    for (size_t i = 0; i < sizeof(kElements) / sizeof(kElements[0]); ++i)
      WritePng(root + "/textures/" + language + kElements[i].image, pictures[i]);
  WriteQuad(root + "/meshes/gui_quad.mesh");
  WriteXml(root + "/xml");
  if (g_ok) std::printf("gen_loading_screen: the loading screen written under %s\n", root.c_str());
  return g_ok ? 0 : 1;
}
