#include "engine/render/DebugRenderer.h"

namespace vd {
namespace gfx {

// Definition order is construction order within this file: lines first, each pool
// with its first chunk made before start-up.
CDebugRenderer::LinePool CDebugRenderer::s_lines;
CDebugRenderer::AABBPool CDebugRenderer::s_aabbs;
CDebugRenderer::TextPool CDebugRenderer::s_texts;
CDebugRenderer::AxisPool CDebugRenderer::s_axes;
CDebugRenderer::GridPool CDebugRenderer::s_grids;
CDebugRenderer::SquarePool CDebugRenderer::s_squares;
CDebugRenderer::CirclePool CDebugRenderer::s_circles;
CDebugRenderer::RectanglePool CDebugRenderer::s_rectangles;
CDebugRenderer::SpherePool CDebugRenderer::s_spheres;
CDebugRenderer::FrustumPool CDebugRenderer::s_frusta;

}  // namespace gfx
}  // namespace vd
