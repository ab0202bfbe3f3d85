#pragma once
// The debug renderer's primitive records, each kind with a pool of its own. The
// pools are made before start-up and live for the whole run; nothing in the game
// allocates from them or draws them yet, so they stand reserved and empty.
#include <cstdint>

#include "engine/core/DataPool.h"
#include "platform/math/Vector.h"

namespace vd {
namespace gfx {

class CDebugRenderer {
public:
  struct SAABB : mem::IDataPoolElement {
    plat::Vec3 min, max;
    uint32_t colour = 0xFFFFFFFFu;
  };
  struct SText : mem::IDataPoolElement {
    char text[128] = {};
    float x = 0.0f, y = 0.0f;
    uint32_t colour = 0xFFFFFFFFu;
  };
  struct SAxis : mem::IDataPoolElement {
    plat::Vec3 origin;
    float length = 1.0f;
  };
  struct SLine : mem::IDataPoolElement {
    plat::Vec3 from, to;
    uint32_t colour = 0xFFFFFFFFu;
  };
  struct SGrid : mem::IDataPoolElement {
    plat::Vec3 centre;
    float cellSize = 1.0f;
    int32_t cells = 0;
    uint32_t colour = 0xFFFFFFFFu;
  };
  struct SSquare : mem::IDataPoolElement {
    plat::Vec3 centre;
    float size = 1.0f;
    uint32_t colour = 0xFFFFFFFFu;
  };
  struct SCircle : mem::IDataPoolElement {
    plat::Vec3 centre;
    float radius = 1.0f;
    uint32_t colour = 0xFFFFFFFFu;
  };
  struct SRectangle : mem::IDataPoolElement {
    float left = 0.0f, top = 0.0f, right = 0.0f, bottom = 0.0f;
    uint32_t colour = 0xFFFFFFFFu;
  };
  struct SSphere : mem::IDataPoolElement {
    plat::Vec3 centre;
    float radius = 1.0f;
    uint32_t colour = 0xFFFFFFFFu;
  };
  struct SFrustum : mem::IDataPoolElement {
    plat::Vec3 corners[8];
    uint32_t colour = 0xFFFFFFFFu;
  };

  using AABBPool = mem::CDataPool<SAABB, 20>;
  using TextPool = mem::CDataPool<SText, 5>;
  using AxisPool = mem::CDataPool<SAxis, 20>;
  using LinePool = mem::CDataPool<SLine, 20000>;
  using GridPool = mem::CDataPool<SGrid, 2>;
  using SquarePool = mem::CDataPool<SSquare, 10>;
  using CirclePool = mem::CDataPool<SCircle, 10>;
  using RectanglePool = mem::CDataPool<SRectangle, 2>;
  using SpherePool = mem::CDataPool<SSphere, 20>;
  using FrustumPool = mem::CDataPool<SFrustum, 2>;

  static LinePool s_lines;
  static AABBPool s_aabbs;
  static TextPool s_texts;
  static AxisPool s_axes;
  static GridPool s_grids;
  static SquarePool s_squares;
  static CirclePool s_circles;
  static RectanglePool s_rectangles;
  static SpherePool s_spheres;
  static FrustumPool s_frusta;
};

}  // namespace gfx
}  // namespace vd
