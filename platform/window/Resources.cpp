#include "platform/window/Resources.h"

#include <cmath>
#include <cstring>

namespace plat {

int LoadString(unsigned id, char* buffer, int size) {
  if (!buffer || size <= 0) return 0;
  const char* text = nullptr;
  if (id == kStringAppTitle) text = "Hollowmere";
  if (!text) {
    buffer[0] = '\0';
    return 0;
  }
  int n = static_cast<int>(std::strlen(text));
  if (n > size - 1) n = size - 1;
  std::memcpy(buffer, text, static_cast<size_t>(n));
  buffer[n] = '\0';
  return n;
}

namespace {

// A dark disc with a pale crescent moon over a mere: drawn, not stored.
Icon MakeAppIcon() {
  Icon icon{32, std::vector<uint8_t>(32 * 32 * 4)};
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) {
      float dx = x + 0.5f - 16.0f, dy = y + 0.5f - 16.0f;
      float r = std::sqrt(dx * dx + dy * dy);
      uint8_t* p = &icon.rgba[static_cast<size_t>((y * 32 + x) * 4)];
      if (r > 15.5f) {
        p[0] = p[1] = p[2] = p[3] = 0;
        continue;
      }
      p[0] = 24;
      p[1] = 30;
      p[2] = 40;
      p[3] = 255;
      float mx = x + 0.5f - 13.0f, my = y + 0.5f - 11.0f;
      float cx = x + 0.5f - 16.0f, cy = y + 0.5f - 9.0f;
      bool moon = mx * mx + my * my < 36.0f && cx * cx + cy * cy >= 30.0f;
      if (moon) {
        p[0] = 225;
        p[1] = 220;
        p[2] = 190;
      }
      if (y > 21) {
        p[0] = 40;
        p[1] = 70;
        p[2] = 80;
      }
    }
  }
  return icon;
}

}  // namespace

const Icon* LoadIcon(unsigned id) {
  if (id != kIconApp) return nullptr;
  static const Icon icon = MakeAppIcon();
  return &icon;
}

}  // namespace plat
