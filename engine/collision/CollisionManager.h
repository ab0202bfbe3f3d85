#pragma once
// Placeholder until the collision manager lands: start-up's Init and shutdown's Release.

namespace vd {
namespace phy {

class CCollisionManager {
public:
  bool Init(float fixedStep) {
    step = fixedStep;
    return true;
  }
  void Release() {}

  float step = 0.0f;
};

}  // namespace phy
}  // namespace vd
