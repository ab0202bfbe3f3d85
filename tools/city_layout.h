#pragma once
// The city level's plan, shared by the generators that place things in it (gen_city,
// gen_enemy_layout, gen_animated_objects): the five zones along the main street
// (x east, z north, y up; the street is z -6..6), so that what they place stands
// inside the streets.
namespace city {

enum EZone { kDiagonal, kAvenue, kBar, kSquare, kCasino, kZoneCount };
inline const char* const kZoneNames[kZoneCount] = {"diagonal", "avenue", "bar", "square",
                                                   "casino"};
inline const char* const kZoneGlobals[kZoneCount] = {"ZONE_DIAGONAL", "ZONE_AVENUE", "ZONE_BAR",
                                                     "ZONE_SQUARE", "ZONE_CASINO"};

struct Rect {
  float x0, z0, x1, z1;
  bool Contains(float x, float z, float margin) const {
    return x >= x0 - margin && x <= x1 + margin && z >= z0 - margin && z <= z1 + margin;
  }
};
// Where each zone lies; the trigger boxes and the lights' zones follow these.
inline const Rect kZoneRects[kZoneCount] = {
    {-80, -20, -40, 20}, {-40, -20, 0, 20}, {12, 20, 28, 32}, {0, -20, 40, 20}, {40, -20, 80, 20}};

// The street between the house fronts (z) and the avenue's canal north of its quay.
constexpr float kStreetSouth = -6.0f, kStreetNorth = 6.0f;
// Half the width of the main street's roadway.
constexpr float kStreetHalfWidth = 6.0f;
constexpr float kCanalSouth = 8.0f, kCanalNorth = 14.0f, kCanalWater = -1.2f;
// The bar's floor stands a step above the street.
constexpr float kBarFloor = 0.15f;

}  // namespace city
