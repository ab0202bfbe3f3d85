#pragma once
// The city level's plan, shared by the generators that place things in it: the
// five zones along the main street (x east, z north, y up; the street is z -6..6).
namespace city {

enum EZone { kDiagonal, kAvenue, kBar, kSquare, kCasino, kZoneCount };
inline const char* const kZoneNames[kZoneCount] = {"diagonal", "avenue", "bar", "square", "casino"};

struct Rect {
  float x0, z0, x1, z1;
  bool Contains(float x, float z, float margin) const {
    return x >= x0 - margin && x <= x1 + margin && z >= z0 - margin && z <= z1 + margin;
  }
};
// Where each zone lies; the trigger boxes and the lights' zones follow these.
inline const Rect kZoneRects[kZoneCount] = {
    {-80, -20, -40, 20}, {-40, -20, 0, 20}, {12, 20, 28, 32}, {0, -20, 40, 20}, {40, -20, 80, 20}};

// Half the width of the main street's roadway.
constexpr float kStreetHalfWidth = 6.0f;

}  // namespace city
