// Writes the level's enemies and the objects of their effects in the animation
// library's XML formats, with their colour textures:
//   zombie.xsf, zombie_body.xmf, zombie_<name>.xaf     a thin, hunched corpse in a torn
//                      shirt and trousers, grey-green skin, claws; "Bip01" rig
//   mutant.xsf, mutant_body.xmf, mutant_<name>.xaf     a head taller and half again as
//                      broad: a hump, a swollen right arm with bony spurs, harness and
//                      army trousers; "Bip02" rig with the grenade bone
//                      "mutant_granade01" in the right hand
//   krauser.xsf, krauser_body.xmf, krauser_<name>.xaf  the boss: a giant in black
//                      armour with spiked pauldrons, a red sash and a long coat, white
//                      hair and a clawed left arm; "Bip01" rig
//   radial_rocks_krauser, line_rocks_krauser, radial_rocks_player  rocks on bones of
//                      their own that burst from the ground by their animation
//   semisphere, ring, crown, turbulence   one-bone shells of unit size that the effects
//                      place, turn and scale (the boss's objects use them too)
//   grenade_mutant     one can on "mutant_granade01" and its six flights; the bone
//                      "mutant_granade01_trail" rides behind it for the trail
//   Data/textures/characters/zombie.png, mutant.png, krauser.png, effects.png
// Each piece of a mesh samples the middle of one flat cell of its texture. Authored
// z-up facing -y (tools/gen_figure.h); actions that travel move the root bone.
// Usage: gen_enemies [animations folder [texture folder]]
//        (defaults Data/anims and Data/textures; a given animations folder also takes
//        the textures unless a texture folder is given)
//        gen_enemies --template level|loading   prints the animation template entries
#include <cmath>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <string>
#include <vector>

#include "tools/gen_figure.h"

namespace {

using namespace gen;  // NOLINT: the figure writers are this program's vocabulary

// ---------------------------------------------------------------------------
// Rigs. The three figures share the biped's bone order; only the root's name, the
// proportions and the mutant's grenade bone differ.

// clang-format off
enum BoneId {
  kRoot, kPelvis, kSpine, kSpine1, kSpine2, kNeck, kHead, kJaw,
  kLClav, kLUpper, kLFore, kLHand, kLFinger, kRClav, kRUpper, kRFore, kRHand, kRFinger,
  kLThigh, kLCalf, kLFoot, kLToe, kRThigh, kRCalf, kRFoot, kRToe, kBodyBones
};
// clang-format on
constexpr int kGrenadeBone = kBodyBones;  // the mutant's only

struct Shape {
  float size;   // height against a 1.8 m man
  float width;  // across the shoulders and hips
  float arms;   // arm length
};

std::deque<std::string> g_names;  // bone names outlive every rig
const char* Name(const std::string& text) {
  g_names.push_back(text);
  return g_names.back().c_str();
}

std::vector<Bone> Biped(const std::string& prefix, Shape shape, bool grenade) {
  struct Base {
    const char* suffix;
    int parent;
    V3 position;
  };
  static const Base kBase[kBodyBones] = {
      {"", -1, {0, 0, 1.0f}},
      {" Pelvis", kRoot, {0, 0, 1.0f}},
      {" Spine", kPelvis, {0, 0, 1.08f}},
      {" Spine1", kSpine, {0, 0, 1.2f}},
      {" Spine2", kSpine1, {0, 0, 1.33f}},
      {" Neck", kSpine2, {0, 0, 1.5f}},
      {" Head", kNeck, {0, -0.01f, 1.6f}},
      {" Jaw", kHead, {0, -0.05f, 1.63f}},
      {" L Clavicle", kSpine2, {0.04f, 0, 1.46f}},
      {" L UpperArm", kLClav, {0.19f, 0, 1.45f}},
      {" L Forearm", kLUpper, {0.21f, 0.02f, 1.17f}},
      {" L Hand", kLFore, {0.23f, 0, 0.93f}},
      {" L Finger0", kLHand, {0.23f, -0.01f, 0.83f}},
      {" R Clavicle", kSpine2, {-0.04f, 0, 1.46f}},
      {" R UpperArm", kRClav, {-0.19f, 0, 1.45f}},
      {" R Forearm", kRUpper, {-0.21f, 0.02f, 1.17f}},
      {" R Hand", kRFore, {-0.23f, 0, 0.93f}},
      {" R Finger0", kRHand, {-0.23f, -0.01f, 0.83f}},
      {" L Thigh", kPelvis, {0.1f, 0, 0.96f}},
      {" L Calf", kLThigh, {0.1f, -0.01f, 0.52f}},
      {" L Foot", kLCalf, {0.1f, 0.02f, 0.09f}},
      {" L Toe0", kLFoot, {0.1f, -0.12f, 0.03f}},
      {" R Thigh", kPelvis, {-0.1f, 0, 0.96f}},
      {" R Calf", kRThigh, {-0.1f, -0.01f, 0.52f}},
      {" R Foot", kRCalf, {-0.1f, 0.02f, 0.09f}},
      {" R Toe0", kRFoot, {-0.1f, -0.12f, 0.03f}},
  };
  std::vector<V3> at(kBodyBones);
  for (int i = 0; i < kBodyBones; ++i) {
    V3 p = kBase[i].position;
    // Arms grow from the shoulder down.
    const bool arm = (i >= kLFore && i <= kLFinger) || (i >= kRFore && i <= kRFinger);
    if (arm) p = at[kBase[i].parent] + (kBase[i].position - kBase[kBase[i].parent].position) * shape.arms;
    at[i] = p;
  }
  std::vector<Bone> bones;
  for (int i = 0; i < kBodyBones; ++i) {
    const V3 p = at[i];
    bones.push_back({Name(prefix + kBase[i].suffix), kBase[i].parent,
                     {p.x * shape.width * shape.size, p.y * shape.size, p.z * shape.size}});
  }
  if (grenade)
    bones.push_back({"mutant_granade01", kRHand, bones[kRHand].position + V3{0, -0.06f, -0.1f}});
  return bones;
}

const Shape kZombieShape{1.0f, 0.88f, 1.06f};
const Shape kMutantShape{1.12f, 1.4f, 1.18f};
const Shape kKrauserShape{1.3f, 1.25f, 1.05f};

const std::vector<Bone>& ZombieRig() {
  static const std::vector<Bone> rig = Biped("Bip01", kZombieShape, false);
  return rig;
}
const std::vector<Bone>& MutantRig() {
  static const std::vector<Bone> rig = Biped("Bip02", kMutantShape, true);
  return rig;
}
const std::vector<Bone>& KrauserRig() {
  static const std::vector<Bone> rig = Biped("Bip01", kKrauserShape, false);
  return rig;
}

bool WriteText(const std::string& path, const std::string& text) {
  return gen::WriteText("gen_enemies", path, text);
}

// ---------------------------------------------------------------------------
// Bodies

struct Builder {
  const std::vector<Bone>& rig;
  MeshData m;
  V3 P(int bone) const { return rig[bone].position; }
  // A round limb from a to b on `bone`.
  void Limb(int bone, V3 a, V3 b, float r0, float r1, int cell, int parent = -1, int child = -1) {
    AddTube(m, {bone, a, b, r0, r0, r1, r1, parent, child}, cell);
  }
  void Oval(int bone, V3 a, V3 b, float rx0, float ry0, float rx1, float ry1, int cell,
            int parent = -1, int child = -1) {
    AddTube(m, {bone, a, b, rx0, ry0, rx1, ry1, parent, child}, cell);
  }
  void Ball(int bone, V3 a, V3 b, float rx, float ry, int cell, int parent = -1) {
    Tube t{bone, a, b, rx, ry, rx, ry, parent};
    t.round = true;
    AddTube(m, t, cell);
  }
  // Mirrored for the figure's right side: bones of the left side map to the right.
  static int Right(int bone) {
    if (bone >= kLClav && bone <= kLFinger) return bone + (kRClav - kLClav);
    if (bone >= kLThigh && bone <= kLToe) return bone + (kRThigh - kLThigh);
    return bone;
  }
};

// The zombie's cells.
enum ZombieCell { kZSkin, kZRot, kZShirt, kZTrousers, kZBlood, kZHair, kZBone, kZShoe, kZEye };
const std::vector<SColour> kZombieColours = {
    {0.40f, 0.54f, 0.42f},  // skin: grey-green, bloodless
    {0.22f, 0.30f, 0.20f},  // rot: bruised, darker patches
    {0.44f, 0.47f, 0.52f},  // shirt: grimy blue-grey
    {0.22f, 0.20f, 0.19f},  // trousers: soiled dark grey
    {0.42f, 0.04f, 0.03f},  // blood, dried
    {0.11f, 0.09f, 0.07f},  // hair, what is left of it
    {0.82f, 0.78f, 0.62f},  // bone, teeth and claws
    {0.10f, 0.08f, 0.07f},  // shoes
    {0.88f, 0.84f, 0.35f},  // eyes: jaundiced
};

std::string ZombieBody() {
  Builder b{ZombieRig(), {}};
  const float s = kZombieShape.size;
  auto z = [s](float v) { return v * s; };
  // Trousers at the hips; a bare belly where the shirt has rotted away; the shirt
  // over the chest with its hem in tatters; ribs and a wound showing through.
  b.Oval(kPelvis, {0, 0, z(0.86f)}, {0, 0, z(1.08f)}, 0.13f, 0.09f, 0.12f, 0.085f, kZTrousers, -1, kSpine);
  b.Oval(kSpine, {0, 0, z(1.03f)}, {0, 0, z(1.22f)}, 0.11f, 0.075f, 0.12f, 0.08f, kZSkin, kPelvis, kSpine1);
  b.Oval(kSpine1, {0, 0, z(1.16f)}, {0, 0, z(1.36f)}, 0.135f, 0.09f, 0.155f, 0.095f, kZShirt, kSpine, kSpine2);
  b.Oval(kSpine2, {0, 0, z(1.3f)}, {0, 0, z(1.49f)}, 0.16f, 0.1f, 0.17f, 0.09f, kZShirt, kSpine1, kNeck);
  for (int i = 0; i < 7; ++i) {  // tatters round the waist, of uneven length
    const float a = 2 * kPi * i / 7 + 0.3f;
    const V3 top{0.14f * std::cos(a), 0.095f * std::sin(a), z(1.19f)};
    const float len = 0.08f + 0.05f * ((i * 5) % 3);
    b.Oval(kSpine1, top, top + V3{0.01f * std::cos(a), 0.01f * std::sin(a), -len}, 0.028f, 0.008f,
           0.012f, 0.006f, kZShirt);
  }
  b.Oval(kSpine1, {0.02f, -0.085f, z(1.28f)}, {0.08f, -0.09f, z(1.38f)}, 0.035f, 0.012f, 0.03f,
         0.012f, kZBlood);  // blood soaked down the front
  b.Oval(kSpine2, {-0.1f, -0.08f, z(1.36f)}, {-0.13f, -0.07f, z(1.44f)}, 0.035f, 0.016f, 0.03f,
         0.014f, kZRot);  // the shirt torn open over the ribs
  for (int r = 0; r < 3; ++r)
    b.Oval(kSpine2, {-0.145f, -0.07f, z(1.37f + 0.025f * r)}, {-0.09f, -0.088f, z(1.375f + 0.025f * r)},
           0.006f, 0.006f, 0.006f, 0.006f, kZBone);
  // Neck, a gaunt head with sunken eyes, a slack jaw with teeth, patchy hair.
  b.Limb(kNeck, {0, 0, z(1.46f)}, {0, -0.01f, z(1.64f)}, 0.042f, 0.04f, kZSkin, kSpine2, kHead);
  b.Ball(kHead, {0, -0.01f, z(1.6f)}, {0, -0.005f, z(1.85f)}, 0.09f, 0.105f, kZSkin, kNeck);
  b.Ball(kHead, {0.03f, 0.015f, z(1.7f)}, {0.02f, 0.01f, z(1.865f)}, 0.075f, 0.09f, kZHair);
  b.Ball(kHead, {-0.05f, 0.03f, z(1.66f)}, {-0.05f, 0.03f, z(1.78f)}, 0.045f, 0.06f, kZHair);
  for (float x : {0.035f, -0.035f}) {
    b.Ball(kHead, {x, -0.085f, z(1.705f)}, {x, -0.085f, z(1.735f)}, 0.022f, 0.012f, kZRot);
    b.Ball(kHead, {x, -0.095f, z(1.712f)}, {x, -0.095f, z(1.73f)}, 0.012f, 0.008f, kZEye);
  }
  b.Oval(kJaw, {0, -0.03f, z(1.64f)}, {0, -0.08f, z(1.6f)}, 0.06f, 0.035f, 0.045f, 0.02f, kZRot, kHead);
  b.Oval(kJaw, {0, -0.085f, z(1.615f)}, {0, -0.092f, z(1.63f)}, 0.035f, 0.006f, 0.035f, 0.006f, kZBone);
  b.Oval(kHead, {0, -0.09f, z(1.655f)}, {0, -0.095f, z(1.67f)}, 0.035f, 0.006f, 0.035f, 0.006f, kZBone);
  for (bool left : {true, false}) {
    auto side = [left](V3 v) { return left ? v : Mirror(v); };
    auto bone = [left](int l) { return left ? l : Builder::Right(l); };
    // Bony shoulders under the shirt.
    b.Limb(bone(kLClav), b.P(bone(kLClav)), b.P(bone(kLUpper)), 0.045f, 0.05f,
           kZShirt, kSpine2, bone(kLUpper));
    // The left sleeve is torn at the elbow, the right one gone: a bare, wounded arm.
    const V3 shoulder = b.P(bone(kLUpper)), elbow = b.P(bone(kLFore)), wrist = b.P(bone(kLHand));
    if (left) {
      b.Limb(bone(kLUpper), shoulder + V3{0, 0, 0.03f}, Mix(shoulder, elbow, 0.85f), 0.05f, 0.045f,
             kZShirt, bone(kLClav));
      b.Limb(bone(kLUpper), Mix(shoulder, elbow, 0.8f), elbow, 0.036f, 0.034f, kZSkin, -1, bone(kLFore));
    } else {
      b.Limb(bone(kLUpper), shoulder + V3{0, 0, 0.02f}, elbow, 0.04f, 0.034f, kZSkin, bone(kLClav),
             bone(kLFore));
      b.Limb(bone(kLUpper), Mix(shoulder, elbow, 0.35f), Mix(shoulder, elbow, 0.6f), 0.043f, 0.041f,
             kZBlood);
    }
    b.Limb(bone(kLFore), elbow, wrist, 0.033f, 0.026f, left ? kZSkin : kZRot, bone(kLUpper), bone(kLHand));
    b.Oval(bone(kLHand), wrist, Mix(wrist, b.P(bone(kLFinger)), 0.9f), 0.022f, 0.04f, 0.018f, 0.035f,
           kZSkin, bone(kLFore));
    // Claws: three long, yellowed nails.
    for (int c = -1; c <= 1; ++c) {
      const V3 knuckle = b.P(bone(kLFinger)) + V3{0, 0.022f * c, 0.01f};
      b.Limb(bone(kLFinger), knuckle, knuckle + side(V3{0.0f, -0.02f, -0.08f}), 0.008f, 0.002f, kZBone,
             bone(kLHand));
    }
    // Legs: trousers, the right leg ripped open at the shin; worn shoes.
    const V3 hip = side({0.088f, 0, z(1.0f)}), knee = b.P(bone(kLCalf)), ankle = b.P(bone(kLFoot));
    b.Limb(bone(kLThigh), hip, knee, 0.072f, 0.052f, kZTrousers, kPelvis, bone(kLCalf));
    if (left) {
      b.Limb(bone(kLCalf), knee, ankle, 0.052f, 0.036f, kZTrousers, bone(kLThigh), bone(kLFoot));
    } else {
      b.Limb(bone(kLCalf), knee, Mix(knee, ankle, 0.35f), 0.052f, 0.046f, kZTrousers, bone(kLThigh));
      for (int i = 0; i < 3; ++i) {  // the torn cloth
        const float a = 1.3f + 1.6f * i;
        const V3 top = Mix(knee, ankle, 0.33f) + V3{0.045f * std::cos(a), 0.045f * std::sin(a), 0};
        b.Oval(bone(kLCalf), top, top + V3{0, 0, -0.07f - 0.03f * i}, 0.02f, 0.006f, 0.01f, 0.005f,
               kZTrousers);
      }
      b.Limb(bone(kLCalf), Mix(knee, ankle, 0.3f), ankle, 0.034f, 0.028f, kZRot, -1, bone(kLFoot));
    }
    b.Oval(bone(kLFoot), ankle + side({0, 0.05f, -0.04f}), ankle + side({0, -0.12f, -0.05f}), 0.045f,
           0.04f, 0.04f, 0.03f, kZShoe, bone(kLCalf), bone(kLToe));
    b.Oval(bone(kLToe), b.P(bone(kLToe)) + V3{0, 0.01f, 0}, b.P(bone(kLToe)) + V3{0, -0.07f, -0.005f},
           0.04f, 0.028f, 0.032f, 0.02f, kZShoe, bone(kLFoot));
  }
  return MeshText(b.m);
}

// The mutant's cells.
enum MutantCell { kMSkin, kMVein, kMLeather, kMTrousers, kMBoot, kMMetal, kMGrowth, kMEye, kMTeeth };
const std::vector<SColour> kMutantColours = {
    {0.58f, 0.47f, 0.50f},  // skin: raw, mottled mauve
    {0.30f, 0.16f, 0.22f},  // veins and scars
    {0.24f, 0.16f, 0.10f},  // harness leather
    {0.26f, 0.29f, 0.18f},  // army trousers
    {0.08f, 0.07f, 0.06f},  // boots
    {0.46f, 0.47f, 0.50f},  // metal: buckles, the jaw plate
    {0.72f, 0.52f, 0.42f},  // growths and bony spurs
    {0.95f, 0.18f, 0.06f},  // eyes
    {0.86f, 0.80f, 0.66f},  // teeth
};

std::string MutantBody() {
  Builder b{MutantRig(), {}};
  const float s = kMutantShape.size;
  auto z = [s](float v) { return v * s; };
  // A barrel chest, a hump between the shoulders and a head sunk into them.
  b.Oval(kPelvis, {0, 0, z(0.86f)}, {0, 0, z(1.08f)}, 0.22f, 0.14f, 0.21f, 0.14f, kMTrousers, -1, kSpine);
  b.Oval(kPelvis, {0, 0, z(0.99f)}, {0, 0, z(1.05f)}, 0.228f, 0.148f, 0.228f, 0.148f, kMLeather);
  b.Oval(kSpine, {0, 0, z(1.03f)}, {0, 0, z(1.22f)}, 0.2f, 0.14f, 0.24f, 0.16f, kMSkin, kPelvis, kSpine1);
  b.Oval(kSpine1, {0, 0, z(1.16f)}, {0, 0, z(1.38f)}, 0.25f, 0.17f, 0.3f, 0.19f, kMSkin, kSpine, kSpine2);
  b.Oval(kSpine2, {0, 0, z(1.3f)}, {0, 0, z(1.52f)}, 0.31f, 0.19f, 0.3f, 0.15f, kMSkin, kSpine1, kNeck);
  b.Ball(kSpine2, {0.04f, 0.1f, z(1.3f)}, {0.02f, 0.12f, z(1.56f)}, 0.17f, 0.13f, kMGrowth);
  b.Ball(kSpine1, {-0.09f, 0.13f, z(1.2f)}, {-0.1f, 0.13f, z(1.32f)}, 0.07f, 0.06f, kMGrowth);
  // The harness: two straps crossing the chest and back, following the body's
  // curve in short pieces, a buckle where they meet.
  for (float side : {1.0f, -1.0f})
    for (float face : {-1.0f, 1.0f}) {
      constexpr int kPieces = 6;
      auto at = [&](float t) {
        const float x = (0.26f - 0.48f * t) * side, zz = z(1.47f) + (z(1.15f) - z(1.47f)) * t;
        const float rx = 0.31f, ry = face < 0 ? 0.2f : 0.21f;  // round the chest's ellipse
        const float across = std::min(0.98f, std::fabs(x) / rx);
        return V3{x, face * (ry * std::sqrt(1.0f - across * across) + 0.012f), zz};
      };
      for (int i = 0; i < kPieces; ++i) {
        const int bone = i < kPieces / 2 ? kSpine2 : kSpine1;
        b.Oval(bone, at(static_cast<float>(i) / kPieces), at(static_cast<float>(i + 1.15f) / kPieces), 0.03f,
               0.01f, 0.03f, 0.01f, kMLeather);
      }
    }
  b.Ball(kSpine1, {0.0f, -0.2f, z(1.29f)}, {0.0f, -0.205f, z(1.35f)}, 0.035f, 0.015f, kMMetal);
  for (int i = 0; i < 4; ++i)  // scars and veins over the belly
    b.Oval(kSpine, {-0.12f + 0.07f * i, -0.14f - 0.01f * (i % 2), z(1.1f)},
           {-0.1f + 0.07f * i, -0.155f, z(1.2f)}, 0.008f, 0.006f, 0.008f, 0.006f, kMVein);
  b.Limb(kNeck, {0, 0, z(1.44f)}, {0, -0.02f, z(1.62f)}, 0.09f, 0.08f, kMSkin, kSpine2, kHead);
  b.Ball(kHead, {0, -0.03f, z(1.56f)}, {0, -0.02f, z(1.77f)}, 0.085f, 0.095f, kMSkin, kNeck);
  b.Ball(kHead, {0, -0.01f, z(1.67f)}, {0, 0.0f, z(1.785f)}, 0.075f, 0.085f, kMVein);
  for (float x : {0.032f, -0.032f})
    b.Ball(kHead, {x, -0.11f, z(1.665f)}, {x, -0.11f, z(1.685f)}, 0.016f, 0.01f, kMEye);
  b.Oval(kJaw, {0, -0.06f, z(1.6f)}, {0, -0.11f, z(1.58f)}, 0.07f, 0.04f, 0.06f, 0.025f, kMMetal, kHead);
  b.Oval(kJaw, {0, -0.125f, z(1.595f)}, {0, -0.13f, z(1.61f)}, 0.05f, 0.006f, 0.05f, 0.006f, kMTeeth);
  for (bool left : {true, false}) {
    auto side = [left](V3 v) { return left ? v : Mirror(v); };
    auto bone = [left](int l) { return left ? l : Builder::Right(l); };
    // The right arm is the mutated one: half again as thick, spurs along the forearm.
    const float k = left ? 1.0f : 1.45f;
    const V3 shoulder = b.P(bone(kLUpper)), elbow = b.P(bone(kLFore)), wrist = b.P(bone(kLHand));
    b.Limb(bone(kLClav), b.P(bone(kLClav)), shoulder, 0.1f, 0.11f * k, kMSkin, kSpine2, bone(kLUpper));
    b.Ball(bone(kLUpper), shoulder + V3{0, 0, 0.09f}, shoulder + V3{0, 0, -0.1f}, 0.11f * k, 0.1f * k,
           kMSkin, bone(kLClav));
    b.Limb(bone(kLUpper), shoulder, elbow, 0.085f * k, 0.07f * k, kMSkin, bone(kLClav), bone(kLFore));
    b.Limb(bone(kLFore), elbow, wrist, 0.085f * k, 0.065f * k, kMSkin, bone(kLUpper), bone(kLHand));
    b.Limb(bone(kLFore), Mix(elbow, wrist, 0.1f) + side({0.02f, 0.0f, 0}),
           Mix(elbow, wrist, 0.9f) + side({0.025f, -0.02f, 0}), 0.015f, 0.012f, kMVein);
    if (!left)
      for (int i = 0; i < 3; ++i) {
        const V3 root = Mix(elbow, wrist, 0.25f + 0.25f * i) + V3{0, 0.07f * k, 0};
        b.Limb(bone(kLFore), root, root + V3{-0.03f, 0.1f, 0.04f}, 0.03f, 0.004f, kMGrowth);
      }
    // Fists like mallets.
    b.Ball(bone(kLHand), wrist + V3{0, 0, 0.03f}, b.P(bone(kLFinger)) + V3{0, 0, -0.03f},
           0.07f * k, 0.08f * k, kMSkin, bone(kLFore));
    b.Oval(bone(kLFinger), b.P(bone(kLFinger)) + V3{0, -0.03f * k, 0.03f},
           b.P(bone(kLFinger)) + V3{0, -0.05f * k, -0.05f}, 0.05f * k, 0.03f * k, 0.04f * k, 0.025f * k,
           kMSkin, bone(kLHand));
    // Thick legs in army trousers tucked into boots.
    const V3 hip = side({0.14f, 0, z(1.0f)}), knee = b.P(bone(kLCalf)), ankle = b.P(bone(kLFoot));
    b.Limb(bone(kLThigh), hip, knee, 0.12f, 0.09f, kMTrousers, kPelvis, bone(kLCalf));
    b.Limb(bone(kLCalf), knee, ankle, 0.09f, 0.07f, kMTrousers, bone(kLThigh), bone(kLFoot));
    b.Limb(bone(kLCalf), Mix(knee, ankle, 0.45f), ankle + V3{0, 0, 0.02f}, 0.085f, 0.075f, kMBoot, -1,
           bone(kLFoot));
    b.Oval(bone(kLFoot), ankle + side({0, 0.07f, -0.05f}), ankle + side({0, -0.14f, -0.05f}), 0.075f,
           0.06f, 0.07f, 0.05f, kMBoot, bone(kLCalf), bone(kLToe));
    b.Oval(bone(kLToe), b.P(bone(kLToe)) + V3{0, 0.02f, 0.01f}, b.P(bone(kLToe)) + V3{0, -0.1f, 0.0f},
           0.07f, 0.045f, 0.06f, 0.03f, kMBoot, bone(kLFoot));
  }
  // The grenade held ready in the right fist.
  b.Ball(kGrenadeBone, b.P(kGrenadeBone) + V3{0, 0, 0.05f}, b.P(kGrenadeBone) + V3{0, 0, -0.05f}, 0.04f,
         0.04f, kMMetal);
  return MeshText(b.m);
}

// The boss's cells.
enum KrauserCell { kKArmour, kKCloth, kKSkin, kKGold, kKHair, kKSteel, kKClaw, kKEye, kKCoat };
const std::vector<SColour> kKrauserColours = {
    {0.11f, 0.11f, 0.13f},  // black armour
    {0.55f, 0.06f, 0.05f},  // red sash and lining
    {0.62f, 0.56f, 0.52f},  // skin, ashen
    {0.74f, 0.56f, 0.20f},  // gilt trim
    {0.90f, 0.90f, 0.88f},  // white hair
    {0.70f, 0.72f, 0.76f},  // steel spikes
    {0.32f, 0.10f, 0.14f},  // the mutated arm and its claws
    {1.00f, 0.30f, 0.05f},  // eyes
    {0.19f, 0.17f, 0.18f},  // the long coat
};

std::string KrauserBody() {
  Builder b{KrauserRig(), {}};
  const float s = kKrauserShape.size;
  auto z = [s](float v) { return v * s; };
  // A long coat from the waist to the knees, armour over the chest, a red sash.
  b.Oval(kPelvis, {0, 0, z(0.84f)}, {0, 0, z(1.08f)}, 0.2f, 0.13f, 0.19f, 0.13f, kKCoat, -1, kSpine);
  b.Oval(kPelvis, {0, 0, z(0.98f)}, {0, 0, z(1.06f)}, 0.206f, 0.136f, 0.206f, 0.136f, kKCloth);
  b.Oval(kPelvis, {0, 0.12f, z(1.02f)}, {0, 0.2f, z(0.45f)}, 0.23f, 0.03f, 0.3f, 0.02f, kKCoat);
  b.Oval(kSpine, {0, 0, z(1.03f)}, {0, 0, z(1.22f)}, 0.19f, 0.13f, 0.22f, 0.14f, kKArmour, kPelvis, kSpine1);
  b.Oval(kSpine1, {0, 0, z(1.16f)}, {0, 0, z(1.38f)}, 0.24f, 0.15f, 0.27f, 0.16f, kKArmour, kSpine, kSpine2);
  b.Oval(kSpine2, {0, 0, z(1.3f)}, {0, 0, z(1.52f)}, 0.28f, 0.16f, 0.27f, 0.13f, kKArmour, kSpine1, kNeck);
  b.Oval(kSpine1, {0, -0.15f, z(1.2f)}, {0, -0.17f, z(1.42f)}, 0.05f, 0.012f, 0.08f, 0.012f, kKGold);
  b.Oval(kSpine2, {0.22f, -0.13f, z(1.46f)}, {-0.18f, -0.15f, z(1.12f)}, 0.05f, 0.014f, 0.05f, 0.014f,
         kKCloth);  // the sash
  b.Limb(kNeck, {0, 0, z(1.44f)}, {0, -0.01f, z(1.64f)}, 0.07f, 0.065f, kKSkin, kSpine2, kHead);
  b.Oval(kNeck, {0, 0.01f, z(1.44f)}, {0, 0.02f, z(1.56f)}, 0.13f, 0.11f, 0.1f, 0.09f, kKArmour, kSpine2);
  b.Ball(kHead, {0, -0.01f, z(1.58f)}, {0, -0.01f, z(1.83f)}, 0.09f, 0.105f, kKSkin, kNeck);
  b.Ball(kHead, {0, 0.02f, z(1.64f)}, {0, 0.01f, z(1.855f)}, 0.095f, 0.11f, kKHair);
  b.Oval(kHead, {0, 0.09f, z(1.75f)}, {0, 0.13f, z(1.42f)}, 0.07f, 0.03f, 0.05f, 0.02f, kKHair);  // mane
  for (float x : {0.034f, -0.034f})
    b.Ball(kHead, {x, -0.1f, z(1.695f)}, {x, -0.1f, z(1.715f)}, 0.016f, 0.01f, kKEye);
  b.Oval(kJaw, {0, -0.04f, z(1.62f)}, {0, -0.09f, z(1.6f)}, 0.06f, 0.035f, 0.05f, 0.025f, kKSkin, kHead);
  for (bool left : {true, false}) {
    auto side = [left](V3 v) { return left ? v : Mirror(v); };
    auto bone = [left](int l) { return left ? l : Builder::Right(l); };
    const V3 shoulder = b.P(bone(kLUpper)), elbow = b.P(bone(kLFore)), wrist = b.P(bone(kLHand));
    // Pauldrons with three spikes each.
    b.Limb(bone(kLClav), b.P(bone(kLClav)), shoulder, 0.09f, 0.1f, kKArmour, kSpine2, bone(kLUpper));
    b.Ball(bone(kLUpper), shoulder + side({0.02f, 0, 0.12f}), shoulder + side({0.03f, 0, -0.1f}), 0.15f,
           0.14f, kKArmour, bone(kLClav));
    for (int i = 0; i < 3; ++i) {
      const V3 root = shoulder + side({0.06f, -0.06f + 0.06f * i, 0.09f});
      b.Limb(bone(kLUpper), root, root + side({0.1f, 0.0f, 0.16f}), 0.03f, 0.003f, kKSteel);
    }
    b.Oval(bone(kLUpper), shoulder + side({0.1f, -0.1f, 0.06f}), shoulder + side({0.12f, 0.1f, 0.06f}),
           0.02f, 0.02f, 0.02f, 0.02f, kKGold);
    // The left arm is bare and mutated with three hooked claws; the right wears a gauntlet.
    b.Limb(bone(kLUpper), shoulder, elbow, 0.085f, 0.07f, left ? kKClaw : kKArmour, bone(kLClav),
           bone(kLFore));
    b.Limb(bone(kLFore), elbow, wrist, left ? 0.08f : 0.075f, left ? 0.065f : 0.07f,
           left ? kKClaw : kKArmour, bone(kLUpper), bone(kLHand));
    if (!left)
      b.Limb(bone(kLFore), Mix(elbow, wrist, 0.6f), wrist, 0.08f, 0.078f, kKGold);
    b.Ball(bone(kLHand), wrist + V3{0, 0, 0.03f}, b.P(bone(kLFinger)) + V3{0, 0, -0.02f}, 0.055f,
           0.065f, left ? kKClaw : kKArmour, bone(kLFore));
    if (left) {
      for (int c = -1; c <= 1; ++c) {
        const V3 knuckle = b.P(kLFinger) + V3{0.01f, 0.035f * c, 0};
        b.Limb(kLFinger, knuckle, knuckle + V3{0.02f, -0.06f, -0.16f}, 0.018f, 0.003f, kKSteel, kLHand);
      }
    } else {
      b.Oval(bone(kLFinger), b.P(bone(kLFinger)) + V3{0, -0.02f, 0.03f},
             b.P(bone(kLFinger)) + V3{0, -0.04f, -0.05f}, 0.05f, 0.035f, 0.04f, 0.025f, kKArmour,
             bone(kLHand));
    }
    // Armoured legs, the coat's side panels swinging with the thighs, heavy boots.
    const V3 hip = side({0.12f, 0, z(1.0f)}), knee = b.P(bone(kLCalf)), ankle = b.P(bone(kLFoot));
    b.Limb(bone(kLThigh), hip, knee, 0.1f, 0.075f, kKArmour, kPelvis, bone(kLCalf));
    b.Oval(bone(kLThigh), side({0.2f, -0.02f, z(1.02f)}), side({0.25f, -0.04f, z(0.5f)}), 0.025f, 0.1f,
           0.02f, 0.13f, kKCoat, kPelvis);
    b.Limb(bone(kLCalf), knee, ankle, 0.075f, 0.058f, kKArmour, bone(kLThigh), bone(kLFoot));
    b.Ball(bone(kLCalf), knee + V3{0, -0.05f, 0.05f}, knee + V3{0, -0.06f, -0.06f}, 0.06f, 0.04f, kKSteel);
    b.Limb(bone(kLCalf), Mix(knee, ankle, 0.5f), ankle + V3{0, 0, 0.02f}, 0.075f, 0.07f, kKArmour, -1,
           bone(kLFoot));
    b.Oval(bone(kLFoot), ankle + side({0, 0.07f, -0.06f}), ankle + side({0, -0.16f, -0.07f}), 0.07f,
           0.06f, 0.065f, 0.05f, kKArmour, bone(kLCalf), bone(kLToe));
    b.Oval(bone(kLToe), b.P(bone(kLToe)) + V3{0, 0.02f, 0.01f}, b.P(bone(kLToe)) + V3{0, -0.1f, 0.0f},
           0.065f, 0.045f, 0.055f, 0.03f, kKArmour, bone(kLFoot));
  }
  return MeshText(b.m);
}

// ---------------------------------------------------------------------------
// Poses (angles as tools/gen_figure.h tells; forward is -y, the figure's left +x)

// Both arms at once, mirrored: x and z as given, y outwards for both.
void Arms(Pose& p, V3 upper, V3 fore, V3 hand = {0, 0, 0}) {
  p.a[kLUpper] = {upper.x, -upper.y, upper.z};
  p.a[kRUpper] = {upper.x, upper.y, -upper.z};
  p.a[kLFore] = fore;
  p.a[kRFore] = {fore.x, -fore.y, -fore.z};
  p.a[kLHand] = hand;
  p.a[kRHand] = {hand.x, -hand.y, -hand.z};
}
void LeftArm(Pose& p, V3 upper, V3 fore, V3 hand = {0, 0, 0}) {
  p.a[kLUpper] = upper;
  p.a[kLFore] = fore;
  p.a[kLHand] = hand;
}
void RightArm(Pose& p, V3 upper, V3 fore, V3 hand = {0, 0, 0}) {
  p.a[kRUpper] = upper;
  p.a[kRFore] = fore;
  p.a[kRHand] = hand;
}
void Legs(Pose& p, float thigh, float calf, float foot, float spread) {
  p.a[kLThigh] = {thigh, -spread, 0};
  p.a[kRThigh] = {thigh, spread, 0};
  p.a[kLCalf] = p.a[kRCalf] = {calf, 0, 0};
  p.a[kLFoot] = p.a[kRFoot] = {foot, 0, 0};
}
// Turns the upper body about the spine (towards the figure's left for angle > 0).
void Twist(Pose& p, float angle) {
  p.a[kSpine].z = 0.3f * angle;
  p.a[kSpine1].z = 0.3f * angle;
  p.a[kSpine2].z = 0.4f * angle;
  p.a[kHead].z = -0.5f * angle;
}
// Bends the upper body forward (> 0) or back.
void Bend(Pose& p, float angle) {
  p.a[kSpine].x += 0.4f * angle;
  p.a[kSpine1].x += 0.3f * angle;
  p.a[kSpine2].x += 0.3f * angle;
  p.a[kHead].x -= 0.5f * angle;
}

// What sets one kind's motions apart.
struct Style {
  float size;       // the rig's scale: the height of the hips is `size` m
  Pose stand;       // at rest
  Pose guard;       // ready to fight
  float reach;      // stride of the run
  float lean;       // lean of the run
  bool shamble;     // drags a foot and reaches forward when it walks
  float heavy;      // 0 light .. 1 heavy: slower, lower blows
};

Style ZombieStyle() {
  Style s{};
  s.size = kZombieShape.size;
  Pose& p = s.stand;  // hunched, head pushed forward, arms hanging loose
  p.root = {0, 0, -0.04f};
  p.a[kSpine1].x = 0.25f;
  p.a[kSpine2].x = 0.2f;
  p.a[kNeck].x = 0.15f;
  p.a[kHead] = {-0.35f, 0.15f, 0};
  // The clavicles take the hunch back out, so that the arms hang from level
  // shoulders and every arm angle below means what it means for an upright figure.
  p.a[kLClav].x = p.a[kRClav].x = -0.3f;
  Arms(p, {-0.15f, 0.08f, 0}, {-0.3f, 0, 0}, {0.2f, 0, 0});
  Legs(p, -0.2f, 0.35f, -0.15f, 0.06f);
  Pose& g = s.guard;  // lurching forward, both claws raised and reaching
  g = p;
  g.root = {0, 0, -0.07f};
  Bend(g, 0.15f);
  g.a[kLClav].x = g.a[kRClav].x = -0.45f;
  Arms(g, {-1.45f, 0.25f, 0}, {-0.4f, 0, 0}, {0.5f, 0, 0});
  Legs(g, -0.4f, 0.6f, -0.2f, 0.12f);
  s.reach = 0.55f;
  s.lean = 0.35f;
  s.shamble = true;
  s.heavy = 0.3f;
  return s;
}

Style MutantStyle() {
  Style s{};
  s.size = kMutantShape.size;
  Pose& p = s.stand;  // chest out, heavy arms held off the body, wide stance
  p.a[kSpine1].x = 0.1f;
  p.a[kHead] = {-0.1f, 0, 0};
  p.a[kLClav].y = -0.1f;
  p.a[kRClav].y = 0.1f;
  Arms(p, {-0.1f, 0.35f, 0}, {-0.35f, 0, 0.2f}, {0.1f, 0, 0});
  Legs(p, -0.08f, 0.15f, -0.07f, 0.12f);
  Pose& g = s.guard;  // crouched like an ape, fists low and forward
  g = p;
  g.root = {0, 0, -0.1f};
  Bend(g, 0.3f);
  g.a[kLClav].x = g.a[kRClav].x = -0.3f;  // level shoulders over the bent back
  Arms(g, {-0.7f, 0.45f, 0}, {-0.7f, 0, 0.2f}, {0.3f, 0, 0});
  Legs(g, -0.5f, 0.8f, -0.3f, 0.2f);
  s.reach = 0.65f;
  s.lean = 0.3f;
  s.shamble = false;
  s.heavy = 0.7f;
  return s;
}

Style KrauserStyle() {
  Style s{};
  s.size = kKrauserShape.size;
  Pose& p = s.stand;  // upright, arms away from the armour
  p.a[kHead] = {-0.05f, 0, 0};
  Arms(p, {0.0f, 0.25f, 0}, {-0.3f, 0, 0}, {0.1f, 0, 0});
  Legs(p, -0.05f, 0.1f, -0.05f, 0.1f);
  Pose& g = s.guard;  // a fighter's stance: left claw forward, right fist back
  g = p;
  g.root = {0, 0, -0.08f};
  Twist(g, 0.25f);
  Bend(g, 0.1f);
  LeftArm(g, {-1.0f, -0.3f, 0}, {-0.9f, 0, 0}, {0.2f, 0, 0});
  RightArm(g, {-0.3f, 0.4f, 0}, {-1.6f, 0, 0}, {0.3f, 0, 0});
  Legs(g, -0.4f, 0.6f, -0.2f, 0.18f);
  s.reach = 0.7f;
  s.lean = 0.25f;
  s.shamble = false;
  s.heavy = 1.0f;
  return s;
}

Pose Breathe(Pose p, float f, float depth) {
  p.root.z += -0.008f * depth + 0.008f * depth * Wave(f);
  p.a[kSpine2].x += -0.03f * depth * Wave(f);
  p.a[kLClav].y += -0.03f * depth * Wave(f);
  p.a[kRClav].y += 0.03f * depth * Wave(f);
  p.a[kHead].x += 0.02f * depth * Wave(f, 1, 0.25f);
  return p;
}

// Lying on the back (face up) or on the front, arms and legs loose.
Pose Lying(const Style& s, bool faceUp, float spread = 0.3f) {
  Pose p;
  p.root = {0, 0, -s.size * 0.86f};
  p.a[kPelvis] = {faceUp ? -1.5f : 1.5f, 0, 0.15f};
  p.a[kHead] = {faceUp ? -0.2f : 0.2f, 0, faceUp ? 0.6f : -0.5f};
  Legs(p, -0.25f, 0.35f, faceUp ? 0.6f : -0.4f, spread);
  p.a[kRThigh].x = -0.05f;
  Arms(p, {faceUp ? -0.3f : 0.3f, 1.3f, 0}, {-0.5f, 0, 0}, {0.2f, 0, 0});
  p.a[kJaw].x = 0.2f;
  return p;
}

// Kneeling on both knees, upright.
Pose Kneel(const Style& s) {
  Pose p = s.stand;
  p.root = {0, 0, -s.size * 0.45f};
  Legs(p, -0.1f, 1.7f, 0.4f, 0.15f);
  p.a[kLThigh].x = -0.2f;
  return p;
}

// A low crouch on the balls of the feet.
Pose Crouch(const Style& s) {
  Pose p = s.guard;
  p.root = {0, 0, -s.size * 0.42f};
  Legs(p, -1.5f, 2.1f, -0.55f, 0.25f);
  Bend(p, 0.3f);
  return p;
}

// Sitting back in a chair, hands on the arm rests.
Pose Sitting(const Style& s, float slump) {
  Pose p;
  p.root = {0, 0.05f, -s.size * 0.5f};
  Legs(p, -1.5f, 1.45f, 0.1f, 0.2f);
  p.a[kSpine] = {-0.25f - 0.15f * slump, 0, 0};
  p.a[kHead] = {0.3f * slump, 0, 0.3f * slump};
  Arms(p, {-0.3f, 0.25f, 0}, {-1.2f, 0, 0}, {0.3f, 0, 0});
  return p;
}

// Slumped back against a wall behind, head hanging.
Pose AgainstWall(const Style& s) {
  Pose p = s.stand;
  p.root = {0, 0.12f, -0.06f};
  p.a[kSpine] = {-0.2f, 0, 0};
  p.a[kSpine1].x = 0.1f;
  p.a[kHead] = {0.6f, 0.2f, 0.2f};
  Arms(p, {0.05f, 0.05f, 0}, {-0.1f, 0, 0}, {0, 0, 0});
  Legs(p, -0.3f, 0.45f, -0.15f, 0.15f);
  return p;
}

// ---------------------------------------------------------------------------
// Motions built from a kind's style

Animation Cycle(const std::string& name, float duration, std::function<Pose(float)> at) {
  return {name, duration, true, std::move(at)};
}
Animation Action(const std::string& name, float duration, std::function<Pose(float)> at) {
  return {name, duration, false, std::move(at)};
}

// Walking and running: legs and arms swing against each other, two steps per loop,
// the body bobbing once per step. A shambler drags its right foot and keeps its
// claws reaching forward.
Pose Stride(const Style& s, float f, float reach, float bob, float lean) {
  Pose p = s.guard;
  const float w = Wave(f), c = Wave(f, 2, 0.25f);
  p.root = {0, 0, -0.03f - bob + bob * c};
  p.a[kSpine].x = lean;
  p.a[kSpine1].z = 0.12f * w;
  p.a[kSpine2].z = 0.1f * w;
  p.a[kHead].z = -0.15f * w;
  p.a[kHead].x = s.stand.a[kHead].x - lean;
  p.a[kLThigh] = {-reach * w - 0.15f, -0.04f, 0};
  p.a[kRThigh] = {reach * w - 0.15f, 0.04f, 0};
  p.a[kLCalf] = {0.5f + 0.45f * Wave(f, 1, 0.2f), 0, 0};
  p.a[kRCalf] = {0.5f - 0.45f * Wave(f, 1, 0.2f), 0, 0};
  p.a[kLFoot] = {-0.2f * w, 0, 0};
  p.a[kRFoot] = {0.2f * w, 0, 0};
  if (s.shamble) {
    p.a[kRThigh].x = 0.4f * reach * w - 0.1f;  // the dragged leg barely lifts
    p.a[kRCalf].x = 0.2f + 0.1f * w;
    p.a[kRFoot].x = 0.3f;
    p.a[kSpine].y = 0.08f * w;
    p.a[kHead].y = 0.2f;
    LeftArm(p, {-1.2f + 0.25f * w, -0.2f, 0}, {-0.3f, 0, 0}, {0.4f, 0, 0});
    RightArm(p, {-0.9f - 0.2f * w, 0.25f, 0}, {-0.5f, 0, 0}, {0.4f, 0, 0});
  } else {
    LeftArm(p, {reach * 0.8f * w - 0.3f, -0.35f, 0}, {-0.9f, 0, 0}, {0.3f, 0, 0});
    RightArm(p, {-reach * 0.8f * w - 0.3f, 0.35f, 0}, {-0.9f, 0, 0}, {0.3f, 0, 0});
  }
  return p;
}

// A dash: crouch, push off and travel along dir, then settle into the guard.
Animation Dash(const Style& s, const std::string& name, V3 dir, float travel, float duration) {
  Pose start = s.guard;
  Pose push = s.guard;
  push.root = dir * (0.15f * travel) + V3{0, 0, -0.14f};
  Legs(push, -0.7f, 1.1f, -0.3f, 0.15f);
  push.a[kSpine].x += 0.25f * -dir.y;
  push.a[kSpine].y = 0.25f * dir.x;
  Pose fly = push;
  fly.root = dir * (0.85f * travel) + V3{0, 0, -0.06f};
  Legs(fly, -0.3f, 0.5f, -0.1f, 0.25f);
  Pose land = s.guard;
  land.root = dir * travel + V3{0, 0, -0.14f};
  Legs(land, -0.6f, 0.95f, -0.3f, 0.15f);
  Pose end = s.guard;
  end.root = dir * travel + s.guard.root;
  return Action(name, duration, Keys({{0, start}, {0.2f, push}, {0.65f, fly}, {0.85f, land}, {1, end}}));
}

// A blow: the guard, the wind-up, the strike (stepping `step` forward), the
// follow-through, back to the guard.
struct Blow {
  Pose windup, strike, follow;
};
Animation Attack(const Style& s, const std::string& name, float duration, float step, Blow b,
                 float strikeAt = 0.45f) {
  b.windup.root.y += -0.1f * step;
  b.strike.root.y += -step;
  b.follow.root.y += -step;
  Pose end = s.guard;
  end.root.y += -step;
  return Action(name, duration,
                Keys({{0, s.guard},
                      {strikeAt * 0.6f, b.windup},
                      {strikeAt, b.strike},
                      {strikeAt + (1 - strikeAt) * 0.4f, b.follow},
                      {1, end}}));
}

// The right arm sweeps from out on the right across the front (mirror: the left).
Blow Swipe(const Style& s, bool right) {
  Blow b{s.guard, s.guard, s.guard};
  const float k = right ? 1.0f : -1.0f;
  auto arm = [right](Pose& p, V3 u, V3 f, V3 h) {
    if (right) {
      RightArm(p, u, f, h);
    } else {
      LeftArm(p, {u.x, -u.y, -u.z}, {f.x, -f.y, -f.z}, {h.x, -h.y, -h.z});
    }
  };
  Twist(b.windup, -0.7f * k);
  arm(b.windup, {-0.5f, 1.3f, -0.3f}, {-0.8f, 0, 0}, {0.3f, 0, -0.4f});
  Twist(b.strike, 0.6f * k);
  Bend(b.strike, 0.15f);
  arm(b.strike, {-1.4f, -0.4f, 0.4f}, {-0.2f, 0, 0}, {0.1f, 0, 0.5f});
  b.strike.a[right ? kRThigh : kLThigh].x = -0.7f;
  Twist(b.follow, 0.5f * k);
  arm(b.follow, {-0.9f, -0.6f, 0.3f}, {-0.4f, 0, 0}, {0.2f, 0, 0.4f});
  return b;
}
// Both arms brought down together from over the head.
Blow Hammer(const Style& s, float drop) {
  Blow b{s.guard, s.guard, s.guard};
  Bend(b.windup, -0.3f);
  Arms(b.windup, {-2.7f, 0.25f, 0}, {-0.7f, 0, 0}, {0.2f, 0, 0});
  b.windup.root.z = 0.0f;
  Bend(b.strike, 0.6f);
  Arms(b.strike, {-1.1f, 0.1f, 0}, {-0.1f, 0, 0}, {0.3f, 0, 0});
  b.strike.root.z = -drop;
  Legs(b.strike, -0.9f, 1.3f, -0.4f, 0.2f);
  b.follow = b.strike;
  Arms(b.follow, {-0.7f, 0.15f, 0}, {-0.3f, 0, 0}, {0.3f, 0, 0});
  return b;
}
// Both claws swept in from the sides to meet in front.
Blow Clap(const Style& s) {
  Blow b{s.guard, s.guard, s.guard};
  Bend(b.windup, -0.1f);
  Arms(b.windup, {-0.6f, 1.4f, 0}, {-0.6f, 0, 0}, {0.2f, 0, 0});
  Bend(b.strike, 0.3f);
  Arms(b.strike, {-1.45f, -0.25f, 0.3f}, {-0.15f, 0, 0}, {0.1f, 0, 0});
  b.follow = b.strike;
  Arms(b.follow, {-1.1f, -0.1f, 0.2f}, {-0.4f, 0, 0}, {0.2f, 0, 0});
  return b;
}
// From low behind up through the front: throws what it hits into the air.
Blow Uppercut(const Style& s, bool right) {
  Blow b{s.guard, s.guard, s.guard};
  auto arm = [right](Pose& p, V3 u, V3 f, V3 h) {
    if (right) {
      RightArm(p, u, f, h);
    } else {
      LeftArm(p, {u.x, -u.y, -u.z}, {f.x, -f.y, -f.z}, {h.x, -h.y, -h.z});
    }
  };
  b.windup.root.z = -0.2f;
  Legs(b.windup, -0.8f, 1.3f, -0.4f, 0.15f);
  Bend(b.windup, 0.5f);
  Twist(b.windup, right ? -0.4f : 0.4f);
  arm(b.windup, {0.6f, 0.3f, 0}, {-0.3f, 0, 0}, {0.5f, 0, 0});
  b.strike.root.z = 0.05f;
  Legs(b.strike, -0.2f, 0.2f, 0.2f, 0.1f);
  Bend(b.strike, -0.3f);
  Twist(b.strike, right ? 0.3f : -0.3f);
  arm(b.strike, {-2.7f, 0.1f, 0}, {-0.3f, 0, 0}, {-0.2f, 0, 0});
  b.follow = b.strike;
  arm(b.follow, {-2.2f, 0.3f, 0}, {-0.6f, 0, 0}, {0, 0, 0});
  return b;
}
// A straight punch or thrust of one arm, the body behind it.
Blow Punch(const Style& s, bool right) {
  Blow b{s.guard, s.guard, s.guard};
  auto arm = [right](Pose& p, V3 u, V3 f, V3 h) {
    if (right) {
      RightArm(p, u, f, h);
    } else {
      LeftArm(p, {u.x, -u.y, -u.z}, {f.x, -f.y, -f.z}, {h.x, -h.y, -h.z});
    }
  };
  Twist(b.windup, right ? -0.5f : 0.5f);
  arm(b.windup, {0.3f, 0.5f, 0}, {-1.8f, 0, 0}, {0.4f, 0, 0});
  Twist(b.strike, right ? 0.5f : -0.5f);
  Bend(b.strike, 0.2f);
  arm(b.strike, {-1.55f, -0.1f, 0}, {-0.05f, 0, 0}, {0, 0, 0});
  b.strike.a[right ? kLThigh : kRThigh].x = -0.8f;
  b.strike.a[right ? kLCalf : kRCalf].x = 0.8f;
  b.follow = b.strike;
  arm(b.follow, {-1.2f, 0.1f, 0}, {-0.5f, 0, 0}, {0.2f, 0, 0});
  return b;
}
// A kick: the right leg swung forward and up.
Blow Kick(const Style& s, float height) {
  Blow b{s.guard, s.guard, s.guard};
  b.windup.a[kRThigh] = {-0.9f, 0.05f, 0};
  b.windup.a[kRCalf] = {1.7f, 0, 0};
  Bend(b.windup, -0.1f);
  b.strike.a[kRThigh] = {-1.2f - 0.5f * height, 0.05f, 0};
  b.strike.a[kRCalf] = {0.1f, 0, 0};
  b.strike.a[kRFoot] = {0.4f, 0, 0};
  b.strike.a[kLThigh].x = 0.1f;
  b.strike.a[kLCalf].x = 0.2f;
  Bend(b.strike, -0.35f);
  Arms(b.strike, {-0.3f, 0.8f, 0}, {-0.6f, 0, 0}, {0, 0, 0});
  b.follow = b.strike;
  b.follow.a[kRThigh] = {-0.6f, 0.05f, 0};
  b.follow.a[kRCalf] = {0.9f, 0, 0};
  return b;
}

// Several blows chained into one action.
Animation Chain(const Style& s, const std::string& name, float duration, std::vector<Blow> blows,
                float step) {
  std::vector<Key> keys{{0, s.guard}};
  const float span = 0.92f / blows.size();
  for (size_t i = 0; i < blows.size(); ++i) {
    Blow b = blows[i];
    const float at = span * i;
    for (Pose* p : {&b.windup, &b.strike, &b.follow}) p->root.y += -step * (i + 1) / blows.size();
    keys.push_back({at + span * 0.35f, b.windup});
    keys.push_back({at + span * 0.6f, b.strike});
    keys.push_back({at + span, b.follow});
  }
  Pose end = s.guard;
  end.root.y = -step;
  keys.push_back({1, end});
  return Action(name, duration, Keys(keys));
}

// Knocked back by a blow from the front (side < 0 from its left, > 0 its right)
// and caught again.
Animation Hit(const Style& s, const std::string& name, float duration, float side, float force) {
  Pose rock = s.guard;
  Bend(rock, -0.5f * force);
  rock.a[kHead].x += -0.4f * force;
  rock.a[kHead].z += 0.5f * side;
  rock.a[kSpine1].y = 0.3f * side;
  Twist(rock, 0.4f * side);
  Arms(rock, {0.1f, 0.8f, 0}, {-0.4f, 0, 0}, {0.3f, 0, 0});
  rock.a[kJaw].x = 0.4f;
  rock.root = {0, 0.1f * force, -0.04f};
  Legs(rock, -0.3f, 0.4f, -0.1f, 0.2f);
  rock.a[kLThigh].x = 0.2f;
  return Action(name, duration, Keys({{0, s.guard}, {0.2f, rock}, {0.5f, rock}, {1, s.guard}}));
}

// Thrown to the ground and up again.
Animation FallAndStand(const Style& s, const std::string& name, float duration) {
  Pose thrown = s.guard;
  Bend(thrown, -0.7f);
  Arms(thrown, {0.2f, 1.2f, 0}, {-0.3f, 0, 0}, {0, 0, 0});
  thrown.root = {0, 0.6f, 0.05f};
  Pose down = Lying(s, true);
  down.root.y = 1.3f;
  Pose sit = down;
  sit.a[kPelvis].x = -0.5f;
  sit.root.z = -s.size * 0.78f;
  Legs(sit, -1.2f, 1.9f, 0.2f, 0.25f);
  Arms(sit, {0.5f, 0.5f, 0}, {-0.2f, 0, 0}, {0, 0, 0});
  Pose crouch = Crouch(s);
  crouch.root.y = 1.3f;
  Pose up = s.guard;
  up.root.y = 1.3f;
  return Action(name, duration,
                Keys({{0, s.guard}, {0.15f, thrown}, {0.32f, down}, {0.5f, down}, {0.66f, sit},
                      {0.82f, crouch}, {1, up}}));
}

// A fall to the floor, tipping backwards (face up) or forwards, sliding `slide`
// along the floor; ends lying still.
Animation Fall(const Style& s, const std::string& name, float duration, bool faceUp, V3 slide,
               float roll, float lift = 0.0f) {
  Pose hit = s.guard;
  Bend(hit, faceUp ? -0.6f : 0.4f);
  hit.a[kHead].x += faceUp ? -0.4f : 0.3f;
  Arms(hit, {faceUp ? 0.2f : -0.8f, 0.9f, 0}, {-0.3f, 0, 0}, {0, 0, 0});
  hit.a[kJaw].x = 0.4f;
  hit.root = slide * 0.25f + V3{0, 0, lift};
  Pose knees = hit;
  knees.root = slide * 0.6f + V3{0, 0, lift * 0.6f - s.size * 0.45f};
  knees.a[kPelvis] = {(faceUp ? -0.6f : 0.6f), roll * 0.5f, 0};
  Legs(knees, -1.3f, 1.9f, 0, 0.2f);
  Pose down = Lying(s, faceUp);
  down.root = down.root + slide;
  down.a[kPelvis].y = roll;
  return Action(name, duration,
                Keys({{0, s.guard}, {0.15f, hit}, {0.5f, knees}, {0.85f, down}, {1, down}}));
}

// From lying (face up) to standing.
Animation Wake(const Style& s, const std::string& name, float duration, Pose from, Pose to) {
  Pose sit = Lying(s, true);
  sit.a[kPelvis].x = -0.5f;
  sit.root.z = -s.size * 0.78f;
  Legs(sit, -1.2f, 1.9f, 0.2f, 0.25f);
  Arms(sit, {0.5f, 0.5f, 0}, {-0.2f, 0, 0}, {0, 0, 0});
  sit.a[kHead] = {0.3f, 0, 0};
  Pose kneel = Crouch(s);
  kneel.a[kHead].x += 0.3f;
  return Action(name, duration,
                Keys({{0, from}, {0.2f, from}, {0.45f, sit}, {0.75f, kneel}, {1, to}}));
}

// A roar or challenge: arms thrown wide, chest out, head back; shaking.
Animation Roar(const Style& s, const std::string& name, float duration, float arms, float beat) {
  Pose wide = s.guard;
  wide.root.z = s.guard.root.z * 0.5f;
  Bend(wide, -0.35f);
  wide.a[kHead].x -= 0.3f;
  wide.a[kJaw].x = 0.6f;
  Arms(wide, {-0.5f * arms, 1.5f * arms, 0}, {-0.4f, 0, 0.3f}, {0.4f, 0, 0});
  return Action(name, duration, [=](float f) {
    const float in = Smooth(std::min(1.0f, f * 4.0f)) * Smooth(std::min(1.0f, (1.0f - f) * 4.0f));
    Pose p = Lerp(s.guard, wide, in);
    p.a[kSpine2].z += 0.05f * in * Wave(f, beat);
    p.a[kHead].y += 0.12f * in * Wave(f, beat * 1.5f);
    return p;
  });
}

// Beating the chest with both fists in turn.
Animation ChestBeat(const Style& s, const std::string& name, float duration) {
  Pose up = s.guard;
  up.root.z = s.guard.root.z * 0.5f;
  Bend(up, -0.25f);
  up.a[kJaw].x = 0.45f;
  return Action(name, duration, [=](float f) {
    const float in = Smooth(std::min(1.0f, f * 5.0f)) * Smooth(std::min(1.0f, (1.0f - f) * 5.0f));
    Pose p = Lerp(s.guard, up, in);
    const float l = 0.5f + 0.5f * Wave(f, 5), r = 0.5f - 0.5f * Wave(f, 5);
    LeftArm(p, Mix(s.guard.a[kLUpper], {-0.5f - 0.5f * l, 0.5f, 0}, in),
            Mix(s.guard.a[kLFore], {-2.0f, 0, -0.6f}, in));
    RightArm(p, Mix(s.guard.a[kRUpper], {-0.5f - 0.5f * r, -0.5f, 0}, in),
             Mix(s.guard.a[kRFore], {-2.0f, 0, 0.6f}, in));
    return p;
  });
}

// Both arms raised high in triumph, bouncing on the knees.
Animation Triumph(const Style& s, const std::string& name, float duration) {
  return Action(name, duration, [=](float f) {
    const float in = Smooth(std::min(1.0f, f * 4.0f)) * Smooth(std::min(1.0f, (1.0f - f) * 4.0f));
    Pose up = s.stand;
    Bend(up, -0.2f);
    up.a[kJaw].x = 0.5f;
    Arms(up, {-2.8f, 0.35f, 0}, {-0.4f + 0.3f * Wave(f, 4), 0, 0}, {0, 0, 0});
    up.root.z = -0.05f - 0.05f * Wave(f, 4);
    Legs(up, -0.25f - 0.1f * Wave(f, 4), 0.4f + 0.2f * Wave(f, 4), -0.15f, 0.12f);
    return Lerp(s.stand, up, in);
  });
}

// Idle variations: looking round, scratching, a twitch, shifting the weight.
Animation Fidget(const Style& s, const std::string& name, float duration, int kind) {
  return Action(name, duration, [=](float f) {
    Pose p = Breathe(s.stand, f, 1.0f);
    const float env = std::sin(kPi * f);
    switch (kind) {
      case 0: {  // looks over one shoulder, then the other
        const float look = Wave(f) * env;
        p.a[kHead].z += 0.9f * look;
        p.a[kNeck].z = 0.3f * look;
        p.a[kSpine2].z += 0.15f * look;
        break;
      }
      case 1:  // scratches the head with the right hand
        RightArm(p, Mix(p.a[kRUpper], {-2.2f, 0.9f, 0.3f}, env), Mix(p.a[kRFore], {-1.9f, 0, 0}, env),
                 {0.4f * Wave(f, 6) * env, 0, 0});
        p.a[kHead].y += 0.25f * env;
        break;
      case 2:  // a violent twitch of the head and shoulders
        p.a[kHead].y += 0.45f * env * Wave(f, 3.5f);
        p.a[kRClav].x = 0.4f * env * Wave(f, 3.5f, 0.2f);
        p.a[kSpine2].y = 0.12f * env * Wave(f, 3.5f);
        p.a[kJaw].x = 0.3f * env;
        break;
      default:  // shifts its weight to one leg and back
        p.a[kPelvis].y = 0.08f * env;
        p.a[kSpine].y = -0.12f * env;
        p.a[kLThigh].y = -0.08f * env;
        p.a[kRThigh] = {p.a[kRThigh].x, -0.08f * env, 0};
        p.a[kRCalf].x += 0.4f * env;
        p.a[kHead].y += 0.15f * env;
        break;
    }
    return p;
  });
}

// Talking with the hands: each variant gestures its own way.
Animation Gesture(const Style& s, const std::string& name, float duration, int kind, bool cycle) {
  return {name, duration, cycle, [=](float f) {
            Pose p = Breathe(s.stand, f, 1.0f);
            const float env = cycle ? 1.0f : std::sin(kPi * f);
            const float w = Wave(f, kind % 2 ? 2.0f : 3.0f);
            p.a[kJaw].x = 0.25f * std::fabs(Wave(f, 5.0f + kind)) * env;
            switch (kind % 6) {
              case 0:  // both hands open, weighing the words
                Arms(p, {-0.6f, 0.3f, 0}, {-1.2f + 0.3f * w * env, 0, 0.3f}, {0.3f, 0, 0});
                break;
              case 1:  // points ahead with the right hand, again and again
                RightArm(p, {-1.4f * env, 0.1f, 0}, {-0.2f - 0.3f * std::fabs(w) * env, 0, 0});
                break;
              case 2:  // shrugs
                p.a[kLClav].x = p.a[kRClav].x = -0.35f * env * std::fabs(w);
                Arms(p, {-0.3f * env, 0.3f * env, 0}, {-1.3f * env, 0, 0.8f * env}, {0, 0, 0});
                break;
              case 3:  // shakes its head
                p.a[kHead].z += 0.5f * env * w;
                break;
              case 4:  // nods
                p.a[kHead].x += 0.35f * env * w;
                break;
              default:  // waves the left arm about
                LeftArm(p, {-1.0f * env, -0.6f - 0.4f * w * env, 0}, {-0.9f * env, 0, 0});
                break;
            }
            p.a[kSpine2].z += 0.1f * w * env;
            return p;
          }};
}

// Crouched over something on the ground, tearing at it and eating.
Animation Eat(const Style& s, const std::string& name, float duration, float pace) {
  return Cycle(name, duration, [=](float f) {
    Pose p = Kneel(s);
    Bend(p, 0.9f);
    p.a[kHead].x += 0.4f;
    const float l = 0.5f + 0.5f * Wave(f, pace), r = 0.5f - 0.5f * Wave(f, pace);
    LeftArm(p, {-0.6f - 0.6f * l, -0.15f, 0}, {-0.4f - 1.2f * l, 0, 0}, {0.4f, 0, 0});
    RightArm(p, {-0.6f - 0.6f * r, 0.15f, 0}, {-0.4f - 1.2f * r, 0, 0}, {0.4f, 0, 0});
    p.a[kJaw].x = 0.3f * std::fabs(Wave(f, pace * 2));
    p.a[kHead].z = 0.2f * Wave(f, pace);
    return p;
  });
}

// Out of the water: from under the surface (1.6 m down), a leap up and forward
// that lands `travel` along dir.
Animation WaterJump(const Style& s, const std::string& name, float duration, V3 dir, float travel,
                    float height) {
  Pose under = Crouch(s);
  under.root = under.root + V3{0, 0, -1.6f};
  Arms(under, {-2.5f, 0.3f, 0}, {-0.4f, 0, 0});
  Pose rise = s.stand;
  rise.root = dir * (0.3f * travel) + V3{0, 0, -0.5f};
  Arms(rise, {-2.6f, 0.4f, 0}, {-0.2f, 0, 0});
  Pose top = s.guard;
  top.root = dir * (0.65f * travel) + V3{0, 0, height};
  Legs(top, -1.0f, 1.6f, 0.2f, 0.2f);
  Arms(top, {-0.6f, 1.2f, 0}, {-0.4f, 0, 0});
  Pose land = Crouch(s);
  land.root = land.root + dir * travel;
  Pose up = s.guard;
  up.root = up.root + dir * travel;
  return Action(name, duration,
                Keys({{0, under}, {0.25f, rise}, {0.5f, top}, {0.7f, land}, {1, up}}));
}

// A throw out of a window: leaning on the sill, winding back and hurling overhand
// towards dir (x left, y down); the grenade leaves the hand at 35 % of the action.
Animation WindowThrow(const Style& s, const std::string& name, float duration, float aim, float down) {
  Pose lean = s.stand;
  Bend(lean, 0.35f);
  Arms(lean, {-0.9f, 0.4f, 0}, {-1.1f, 0, 0});
  Pose back = lean;
  Twist(back, -0.7f + 0.4f * aim);
  Bend(back, -0.4f);
  RightArm(back, {0.5f, 1.3f, 0}, {-1.9f, 0, 0}, {0.5f, 0, 0});
  Pose release = lean;
  Twist(release, 0.5f + 0.5f * aim);
  Bend(release, 0.2f + 0.5f * down);
  RightArm(release, {-2.0f + 0.8f * down, 0.2f - 0.5f * aim, 0}, {-0.1f, 0, 0}, {-0.3f, 0, 0});
  return Action(name, duration,
                Keys({{0, lean}, {0.25f, back}, {0.35f, release}, {0.55f, release}, {1, lean}}));
}

// The victim's side of a finishing move: staggered by each blow at the player's
// strike times, it gives way at the killing moment and ends lying on the ground,
// pushed back `back` along the player's approach.
Animation Finished(const Style& s, const std::string& name, float duration, int blows, float kill,
                   float back) {
  std::vector<Key> keys{{0, s.guard}};
  const float span = 0.9f / blows;
  Pose reel = s.guard;
  for (int i = 0; i < blows; ++i) {
    const float strike = span * (i + 0.6f);
    if (strike >= kill) break;
    Pose before = reel;
    reel = s.guard;
    const float side = (i % 2) ? 1.0f : -1.0f;
    Bend(reel, -0.35f);
    Twist(reel, 0.5f * side);
    reel.a[kHead].z += 0.5f * side;
    reel.a[kJaw].x = 0.5f;
    Arms(reel, {0.2f, 0.9f, 0}, {-0.3f, 0, 0});
    reel.root = {0.05f * side, back * strike / kill * 0.6f, -0.05f - 0.04f * i};
    Legs(reel, -0.3f - 0.1f * i, 0.5f + 0.15f * i, -0.2f, 0.2f);
    keys.push_back({strike, before});
    keys.push_back({strike + 0.06f, reel});
  }
  Pose buckle = Kneel(s);
  buckle.root.y = back * 0.8f;
  Bend(buckle, 0.4f);
  Arms(buckle, {0.2f, 0.5f, 0}, {-0.2f, 0, 0});
  buckle.a[kHead].x += 0.5f;
  buckle.a[kJaw].x = 0.6f;
  Pose down = Lying(s, false);
  down.root.y = back;
  keys.push_back({kill, reel});
  keys.push_back({kill + (1 - kill) * 0.4f, buckle});
  keys.push_back({kill + (1 - kill) * 0.85f, down});
  keys.push_back({1, down});
  return Action(name, duration, Keys(keys));
}

// Dazed: swaying on its feet, head lolling, arms hanging.
Pose Stunned(const Style& s, float f) {
  Pose p = s.stand;
  p.root = {0.04f * Wave(f), 0, -0.06f};
  p.a[kPelvis].y = 0.06f * Wave(f);
  p.a[kSpine].y = -0.1f * Wave(f);
  p.a[kSpine1].x = 0.35f;
  p.a[kHead] = {0.5f + 0.15f * Wave(f, 2), 0.35f * Wave(f, 1, 0.2f), 0.2f * Wave(f)};
  p.a[kJaw].x = 0.35f;
  Arms(p, {0.05f, 0.05f, 0}, {-0.1f, 0, 0});
  Legs(p, -0.25f, 0.45f, -0.2f, 0.15f);
  return p;
}

// Cover: arms crossed before the face, crouched (variant 0), turned away (1) or
// stepping back (2).
Pose CoverPose(const Style& s, int variant) {
  Pose p = s.guard;
  p.root.z = s.guard.root.z - 0.06f;
  Legs(p, -0.55f, 0.9f, -0.3f, 0.15f);
  Bend(p, 0.2f);
  Arms(p, {-1.35f, -0.5f, 0}, {-1.75f, 0, -0.6f}, {0.2f, 0, 0});
  p.a[kHead].x += 0.3f;
  if (variant == 1) {
    Twist(p, 0.8f);
    p.a[kHead].z -= 0.4f;
  }
  if (variant == 2) {
    p.root.y = 0.5f;
    Bend(p, -0.3f);
  }
  return p;
}

// ---------------------------------------------------------------------------
// The animations of each kind

// The grenade flights: the throw out of the window and the grenade's own path last
// as long, so that the hand lets go where the grenade leaves it.
constexpr float kGrenadeLow = 1.8f, kGrenadeHigh = 2.2f;
constexpr float kGrenadeRelease = 0.35f;

Animation Breathing(const std::string& name, float duration, Pose base, float depth) {
  return Cycle(name, duration, [=](float f) { return Breathe(base, f, depth); });
}

Animation GetUp(const Style& s, const std::string& name, float duration, Pose from, float step) {
  Pose mid = from;
  mid.a[kHead].x -= 0.3f;
  Pose lean = s.stand;
  Bend(lean, 0.35f);
  lean.root.y = -0.5f * step;
  Pose to = s.guard;
  to.root.y = -step;
  return Action(name, duration, Keys({{0, from}, {0.25f, mid}, {0.6f, lean}, {1, to}}));
}

std::vector<Animation> FighterAnimations(bool zombie) {
  const Style s = zombie ? ZombieStyle() : MutantStyle();
  std::vector<Animation> list;
  auto add = [&list](Animation a) { list.push_back(std::move(a)); };
  const float slow = zombie ? 1.0f : 0.9f;  // the mutant's blows come faster

  add(Cycle("idle_01", 2.4f, [=](float f) {
    Pose p = Breathe(s.stand, f, 1.2f);
    if (zombie) p.a[kPelvis].y = 0.04f * Wave(f);  // swaying where it stands
    return p;
  }));
  add(Breathing("idle_combat_01", 1.6f, s.guard, 1.6f));
  add(Cycle("idle_stunned", 2.0f, [=](float f) { return Stunned(s, f); }));
  if (zombie) {
    add(Cycle("walk_01", 1.4f, [=](float f) { return Stride(s, f, 0.35f, 0.015f, 0.1f); }));
    add(Cycle("walk_02", 1.7f, [=](float f) {
      Pose p = Stride(s, f, 0.3f, 0.02f, 0.2f);
      p.a[kHead].y = 0.35f;  // head hanging to one side
      return p;
    }));
    add(Cycle("run_01", 0.8f, [=](float f) { return Stride(s, f, 0.55f, 0.04f, 0.35f); }));
    add(Cycle("run_02", 0.66f, [=](float f) {  // a frantic sprint, claws flailing
      Style free = s;
      free.shamble = false;
      Pose p = Stride(free, f, 0.75f, 0.05f, 0.45f);
      p.a[kLUpper].y = -0.6f;
      p.a[kRUpper].y = 0.6f;
      return p;
    }));
  } else {
    add(Cycle("walk_01", 1.1f, [=](float f) { return Stride(s, f, 0.4f, 0.02f, 0.1f); }));
    add(Cycle("walk_02", 1.3f, [=](float f) {  // prowling, low and wary
      Pose p = Stride(s, f, 0.35f, 0.02f, 0.3f);
      p.root.z -= 0.08f;
      return p;
    }));
    add(Cycle("run_01", 0.72f, [=](float f) { return Stride(s, f, 0.65f, 0.05f, 0.3f); }));
  }
  const float dash = zombie ? 1.8f : 2.2f;
  add(Dash(s, "dash_front_01", {0, -1, 0}, dash, 0.55f));
  add(Dash(s, "dash_back_01", {0, 1, 0}, dash, 0.55f));
  add(Dash(s, "dash_left_01", {1, 0, 0}, dash, 0.55f));
  add(Dash(s, "dash_right_01", {-1, 0, 0}, dash, 0.55f));

  add(Attack(s, "attack_short_01", 0.9f * slow, 0.3f, Swipe(s, true)));
  add(Chain(s, "attack_combo_01", 1.7f * slow, {Swipe(s, true), Swipe(s, false), Hammer(s, 0.12f)},
            0.6f));
  if (zombie) {
    add(Attack(s, "attack_short_02", 0.9f, 0.3f, Swipe(s, false)));
    add(Attack(s, "attack_large_01", 1.3f, 0.8f, Hammer(s, 0.15f), 0.5f));
    add(Attack(s, "attack_double_01", 1.1f, 0.3f, Clap(s)));
    // Vomit: leans in, the jaw drops wide and the head pumps forward while it spews.
    Pose retch = s.guard;
    Bend(retch, 0.5f);
    retch.a[kHead].x -= 0.3f;
    Arms(retch, {-0.2f, 0.4f, 0}, {-0.9f, 0, 0});
    Pose spew = retch;
    spew.a[kJaw].x = 0.9f;
    spew.a[kNeck].x = 0.5f;
    spew.a[kHead].x = -0.6f;
    spew.root.y = -0.1f;
    add(Action("attack_vomit", 2.2f, [=](float f) {
      Pose p = Keys({{0, s.guard}, {0.2f, retch}, {0.3f, spew}, {0.8f, spew}, {1, s.guard}})(f);
      if (f > 0.3f && f < 0.8f) {
        p.a[kNeck].x += 0.12f * Wave(f, 8);
        p.a[kSpine2].x += 0.08f * Wave(f, 8, 0.25f);
      }
      return p;
    }));
  } else {
    add(Attack(s, "attack_up_01", 1.1f, 0.3f, Uppercut(s, true), 0.5f));
  }

  // Cover.
  add(Action("cover_in_01", 0.4f, Keys({{0, s.guard}, {1, CoverPose(s, 0)}})));
  if (zombie) {
    add(Action("cover_in_02", 0.45f, Keys({{0, s.guard}, {1, CoverPose(s, 1)}})));
    add(Action("cover_in_03", 0.5f, Keys({{0, s.guard}, {1, CoverPose(s, 2)}})));
  }
  add(Action("cover_out_01", 0.4f, Keys({{0, CoverPose(s, 0)}, {1, s.guard}})));
  {
    Pose struck = CoverPose(s, 0);
    struck.root.y = 0.25f;
    Bend(struck, -0.25f);
    add(Action("cover_hit_01", 0.5f, Keys({{0, CoverPose(s, 0)}, {0.25f, struck}, {1, CoverPose(s, 0)}})));
  }

  // Hits, falls and death.
  add(Hit(s, "hit_01", 0.6f, -1.0f, 1.0f));
  add(Hit(s, "hit_02", 0.6f, 1.0f, 1.0f));
  if (!zombie) add(Hit(s, "hit_03", 0.7f, 0.0f, 1.4f));
  add(FallAndStand(s, "hit_fall_stand_01", 2.2f));
  add(Fall(s, "death_01", 1.6f, true, {0, 0.5f, 0}, 0.15f));
  if (zombie) {
    add(Fall(s, "death_explosion_01", 1.5f, true, {0.2f, 2.4f, 0}, 0.8f, 0.6f));
    add(Fall(s, "death_explosion_02", 1.5f, false, {1.8f, 1.2f, 0}, -0.45f, 0.5f));
  } else {
    add(Fall(s, "death_02", 1.8f, false, {0, -0.4f, 0}, -0.2f));
  }
  add(Cycle("corpse", 1.0f, [=](float) { return Lying(s, true); }));
  add(Fall(s, "wave_death", 1.4f, true, {0, 0.8f, 0}, 0.4f, 0.35f));
  add(Wake(s, "wave_wake", 1.6f, Lying(s, true), s.guard));
  if (zombie) {
    add(Finished(s, "fatality_03", 2.6f, 4, 0.5f, 0.5f));
  } else {
    add(Finished(s, "fatality_01", 2.4f, 3, 0.6f, 0.4f));
    add(Finished(s, "fatality_02", 2.2f, 3, 0.55f, 0.3f));
  }

  // Taunts and the play lists' idles and wake-ups.
  add(Roar(s, "provocation_01", 2.2f, 1.0f, 6.0f));
  add(ChestBeat(s, "provocation_02", 2.0f));
  add(Triumph(s, "euforia", 2.4f));
  for (int i = 0; i < 4; ++i)
    add(Fidget(s, "stand_random_0" + std::to_string(i + 1), 2.6f + 0.2f * i, i));
  add(Gesture(s, "discussion01", 3.0f, 0, true));
  add(Gesture(s, "discussion02", 3.0f, 1, true));
  for (int i = 0; i < 6; ++i)
    add(Gesture(s, "disc_random0" + std::to_string(i + 1), 1.8f + 0.1f * i, i, false));
  add(Eat(s, "eat_01", 2.0f, 2.0f));
  add(Eat(s, "eat_02", 2.4f, 3.0f));
  add(Eat(s, "turron", 1.6f, 4.0f));
  add(Wake(s, "back_to_life", 3.2f, Lying(s, true), s.stand));
  add(Cycle("sleep_idle", 3.0f, [=](float f) { return Breathe(Lying(s, true), f, 2.0f); }));
  add(Wake(s, "sleep_wake", 2.2f, Lying(s, true), s.guard));
  add(Cycle("wall_idle", 2.6f, [=](float f) { return Breathe(AgainstWall(s), f, 1.0f); }));
  add(GetUp(s, "wall_wake", 1.2f, AgainstWall(s), 0.4f));
  add(Cycle("armchair_idle", 2.8f, [=](float f) { return Breathe(Sitting(s, 0.4f), f, 1.0f); }));
  add(GetUp(s, "armchair_wake", 1.5f, Sitting(s, 0.4f), 0.5f));
  {
    Pose sofa = Lying(s, true);
    sofa.root.z += 0.42f;  // on the cushions
    Legs(sofa, -0.4f, 0.6f, 0.4f, 0.15f);
    add(Cycle("sofa_sleep_idle", 3.0f, [=](float f) { return Breathe(sofa, f, 2.0f); }));
    Pose sat = Sitting(s, 0.6f);
    add(Action("sofa_wake", 2.4f,
               Keys({{0, sofa}, {0.15f, sofa}, {0.45f, sat}, {0.75f, [&] {
                       Pose p = s.stand;
                       Bend(p, 0.35f);
                       p.root.y = -0.25f;
                       return p;
                     }()},
                     {1, [&] {
                        Pose p = s.guard;
                        p.root.y = -0.5f;
                        return p;
                      }()}})));
  }
  {  // reaches up to a lever and hauls it down
    Pose reach = s.stand;
    RightArm(reach, {-2.4f, 0.2f, 0}, {-0.2f, 0, 0}, {0.3f, 0, 0});
    reach.a[kHead].x -= 0.3f;
    Pose pull = s.stand;
    Bend(pull, 0.35f);
    pull.root.z = -0.12f;
    Legs(pull, -0.5f, 0.8f, -0.3f, 0.15f);
    RightArm(pull, {-0.8f, 0.2f, 0}, {-0.3f, 0, 0}, {0.3f, 0, 0});
    LeftArm(pull, {-0.8f, -0.2f, 0}, {-0.3f, 0, 0}, {0.3f, 0, 0});
    add(Action("activate_01", 2.0f,
               Keys({{0, s.stand}, {0.3f, reach}, {0.4f, reach}, {0.65f, pull}, {0.8f, pull}, {1, s.stand}})));
  }
  if (zombie) {
    // Behind bars: grips them and shakes them; then reaches through, clawing.
    add(Cycle("zombie_jail_01", 1.6f, [=](float f) {
      Pose p = s.stand;
      Bend(p, 0.1f);
      Arms(p, {-1.3f, 0.25f, 0}, {-0.9f + 0.25f * Wave(f, 4), 0, 0}, {0.6f, 0, 0});
      p.root.y = 0.04f * Wave(f, 4);
      p.a[kJaw].x = 0.3f + 0.2f * Wave(f, 2);
      p.a[kHead].z = 0.2f * Wave(f);
      return p;
    }));
    add(Cycle("zombie_jail_02", 2.0f, [=](float f) {
      Pose p = s.stand;
      Bend(p, 0.2f);
      p.a[kSpine2].z = -0.3f;
      RightArm(p, {-1.55f, 0.0f, 0.15f * Wave(f, 2)}, {-0.1f - 0.4f * (0.5f + 0.5f * Wave(f, 2)), 0, 0},
               {0.8f * (0.5f + 0.5f * Wave(f, 4)), 0, 0});
      LeftArm(p, {-1.2f, -0.3f, 0}, {-1.1f, 0, 0}, {0.6f, 0, 0});
      p.a[kJaw].x = 0.5f;
      return p;
    }));
    // Climbs out of the subway: up out of a crouch and forward onto the platform.
    Pose low = Crouch(s);
    low.root.z -= 0.8f;
    Arms(low, {-2.4f, 0.3f, 0}, {-0.5f, 0, 0});
    Pose heave = s.stand;
    heave.root = {0, -0.6f, -0.3f};
    Bend(heave, 0.8f);
    Arms(heave, {-1.0f, 0.3f, 0}, {-0.2f, 0, 0});
    Legs(heave, -1.2f, 1.5f, 0.2f, 0.2f);
    Pose landed = Crouch(s);
    landed.root.y = -1.5f;
    Pose up = s.guard;
    up.root.y = -1.5f;
    add(Action("zombie_subway_jump", 2.0f,
               Keys({{0, low}, {0.3f, heave}, {0.65f, landed}, {1, up}})));
  } else {
    add(WaterJump(s, "water_jump_01", 1.6f, {0, -1, 0}, 2.5f, 0.5f));
    add(WaterJump(s, "water_jump_02", 1.6f, Normal({0.6f, -0.8f, 0}), 2.5f, 0.45f));
    add(WaterJump(s, "water_jump_03", 1.6f, Normal({-0.6f, -0.8f, 0}), 2.5f, 0.45f));
    add(WaterJump(s, "water_jump_boss", 1.9f, {0, -1, 0}, 3.5f, 0.8f));
    // In a window: leaning on the sill; leaping out; taunting; throwing grenades.
    Pose sill = s.stand;
    Bend(sill, 0.35f);
    Arms(sill, {-0.9f, 0.4f, 0}, {-1.1f, 0, 0});
    add(Cycle("window_idle_01", 2.4f, [=](float f) { return Breathe(sill, f, 1.5f); }));
    Pose crouch = Crouch(s);
    Pose leap = s.guard;
    leap.root = {0, -1.4f, 0.5f};
    Legs(leap, -0.9f, 1.4f, 0.2f, 0.25f);
    Arms(leap, {-1.2f, 1.1f, 0}, {-0.4f, 0, 0});
    Pose land = Crouch(s);
    land.root.y = -2.6f;
    Pose up = s.guard;
    up.root.y = -2.6f;
    add(Action("window_jump", 1.6f,
               Keys({{0, sill}, {0.2f, crouch}, {0.45f, leap}, {0.7f, land}, {1, up}})));
    Style window = s;
    window.guard = sill;
    add(Roar(window, "window_provocation_01", 2.2f, 0.8f, 6.0f));
    add(ChestBeat(window, "window_provocation_02", 2.0f));
    const char* const kThrows[6] = {"window_grenade_01", "window_grenade_02", "window_grenade_03",
                                    "window_grenade_04", "window_grenade_05", "window_grenade_06"};
    for (int i = 0; i < 6; ++i) {
      const float aim = 1.0f - (i % 3);  // left, ahead, right
      const bool high = i >= 3;
      add(WindowThrow(s, kThrows[i], high ? kGrenadeHigh : kGrenadeLow, aim, high ? 0.2f : 0.6f));
    }
  }
  return list;
}

std::vector<Animation> KrauserAnimations() {
  const Style s = KrauserStyle();
  std::vector<Animation> list;
  auto add = [&list](Animation a) { list.push_back(std::move(a)); };
  add(Breathing("idle_01", 2.4f, s.guard, 1.4f));
  add(Cycle("run_01", 0.78f, [=](float f) { return Stride(s, f, 0.7f, 0.05f, 0.25f); }));
  // Tired: staggers, drops to his knees and topples onto his back, chest heaving.
  Pose knees = Kneel(s);
  Bend(knees, 0.5f);
  Arms(knees, {-0.2f, 0.3f, 0}, {-0.3f, 0, 0});
  knees.a[kHead].x += 0.5f;
  Pose lying = Lying(s, true);
  Pose stagger = s.guard;
  Bend(stagger, -0.3f);
  stagger.root.y = 0.3f;
  add(Action("fall", 1.6f, Keys({{0, s.guard}, {0.2f, stagger}, {0.5f, knees}, {0.85f, lying}, {1, lying}})));
  add(Cycle("fall_idle", 2.0f, [=](float f) {
    Pose p = Breathe(lying, f, 4.0f);
    p.a[kJaw].x = 0.3f + 0.1f * Wave(f, 2);
    return p;
  }));
  {
    Pose jolt = lying;
    jolt.a[kPelvis].x = -1.3f;
    jolt.a[kHead].x = 0.4f;
    Arms(jolt, {-0.8f, 0.9f, 0}, {-1.0f, 0, 0});
    jolt.a[kJaw].x = 0.6f;
    add(Action("fall_hit", 0.6f, Keys({{0, lying}, {0.3f, jolt}, {1, lying}})));
  }
  add(Wake(s, "fall_wake", 2.0f, lying, s.guard));
  {
    Pose raise = lying;
    raise.a[kPelvis].x = -1.2f;
    raise.a[kHead].x = 0.5f;
    LeftArm(raise, {-2.0f, 0.3f, 0}, {-0.6f, 0, 0});
    Pose dead = lying;
    dead.a[kHead] = {0.0f, 0, 1.1f};
    Arms(dead, {-0.1f, 1.5f, 0}, {-0.2f, 0, 0});
    add(Action("fall_death", 2.4f, Keys({{0, lying}, {0.35f, raise}, {0.55f, raise}, {0.8f, dead}, {1, dead}})));
  }
  add(Action("cover_in_01", 0.45f, Keys({{0, s.guard}, {1, CoverPose(s, 0)}})));
  {
    Pose struck = CoverPose(s, 0);
    struck.root.y = 0.3f;
    Bend(struck, -0.2f);
    add(Action("cover_hit_01", 0.55f, Keys({{0, CoverPose(s, 0)}, {0.25f, struck}, {1, CoverPose(s, 0)}})));
  }
  add(Action("cover_out_01", 0.45f, Keys({{0, CoverPose(s, 0)}, {1, s.guard}})));
  add(Hit(s, "hit_01", 0.65f, -1.0f, 0.8f));
  add(Hit(s, "hit_02", 0.65f, 1.0f, 0.8f));
  add(Hit(s, "hit_03", 0.75f, 0.0f, 1.2f));
  add(Fidget(s, "stand_random_01", 3.0f, 0));
  // "Come on": the clawed hand beckons, the chin up.
  add(Action("provocation_01", 2.6f, [=](float f) {
    const float in = Smooth(std::min(1.0f, f * 4.0f)) * Smooth(std::min(1.0f, (1.0f - f) * 4.0f));
    Pose p = s.guard;
    Pose taunt = s.stand;
    Bend(taunt, -0.2f);
    taunt.a[kHead].x -= 0.25f;
    LeftArm(taunt, {-1.4f, 0.1f, 0}, {-0.9f - 0.6f * (0.5f + 0.5f * Wave(f, 4)), 0, 0},
            {-0.6f * (0.5f + 0.5f * Wave(f, 4)), 0, 0});
    taunt.a[kJaw].x = 0.25f * std::fabs(Wave(f, 6));
    return Lerp(p, taunt, in);
  }));
  add(Chain(s, "krauser_attack_combo_01", 1.8f, {Punch(s, true), Punch(s, false), Uppercut(s, true)}, 0.7f));
  add(Attack(s, "krauser_attack_kick", 1.1f, 0.3f, Kick(s, 0.6f)));
  add(Attack(s, "krauser_attack_punch", 0.9f, 0.4f, Punch(s, true)));
  add(Attack(s, "krauser_attack_hand", 1.0f, 0.3f, Swipe(s, false)));
  add(Attack(s, "krauser_attack_up_01", 1.2f, 0.3f, Uppercut(s, false), 0.5f));
  add(Chain(s, "krauser_attack_up_down", 1.6f, {Uppercut(s, true), Hammer(s, 0.2f)}, 0.4f));
  {  // ground kick: the right knee high, then a stomp that shakes the ground (0.73 s)
    Pose raise = s.guard;
    raise.a[kRThigh] = {-1.7f, 0.1f, 0};
    raise.a[kRCalf] = {1.6f, 0, 0};
    raise.a[kLThigh].x = -0.1f;
    raise.a[kLCalf].x = 0.2f;
    Bend(raise, -0.2f);
    Arms(raise, {-0.6f, 1.1f, 0}, {-0.8f, 0, 0});
    Pose stomp = s.guard;
    stomp.root.z = -0.2f;
    Legs(stomp, -0.6f, 0.9f, -0.2f, 0.3f);
    stomp.a[kRThigh].x = -0.2f;
    stomp.a[kRCalf].x = 0.3f;
    Bend(stomp, 0.35f);
    Arms(stomp, {-0.3f, 0.7f, 0}, {-0.7f, 0, 0});
    add(Action("krauser_attack_ground_kick", 1.3f,
               Keys({{0, s.guard}, {0.42f, raise}, {0.56f, stomp}, {0.75f, stomp}, {1, s.guard}})));
  }
  {  // ground beam: both fists over the head, then driven into the ground ahead
    Pose up = s.guard;
    Bend(up, -0.35f);
    Arms(up, {-2.8f, 0.2f, 0}, {-0.5f, 0, 0});
    up.root.z = 0.0f;
    Pose down = Crouch(s);
    Bend(down, 0.5f);
    Arms(down, {-0.7f, 0.15f, 0}, {-0.05f, 0, 0}, {0.4f, 0, 0});
    add(Action("krauser_attack_ground_beam", 1.8f,
               Keys({{0, s.guard}, {0.32f, up}, {0.5f, down}, {0.75f, down}, {1, s.guard}})));
  }
  {  // beam wave: a crouch, a leap with the arms raised and a slam (1.37 s)
    Pose crouch = Crouch(s);
    Arms(crouch, {0.4f, 0.5f, 0}, {-0.6f, 0, 0});
    Pose leap = s.stand;
    leap.root = {0, -0.4f, 0.6f};
    Bend(leap, -0.3f);
    Arms(leap, {-2.9f, 0.3f, 0}, {-0.3f, 0, 0});
    Legs(leap, -0.6f, 1.1f, 0.3f, 0.15f);
    Pose slam = Crouch(s);
    slam.root.y = -0.8f;
    Bend(slam, 0.6f);
    Arms(slam, {-0.6f, 0.6f, 0}, {-0.05f, 0, 0}, {0.5f, 0, 0});
    Pose end = s.guard;
    end.root.y = -0.8f;
    add(Action("krauser_attack_beam_wave", 2.2f,
               Keys({{0, s.guard}, {0.22f, crouch}, {0.48f, leap}, {0.62f, slam}, {0.82f, slam}, {1, end}})));
  }
  add(Finished(s, "fatality_04", 3.0f, 4, 0.7f, 0.6f));
  return list;
}

// ---------------------------------------------------------------------------
// Effect objects: rigid pieces, each on a bone of its own under a root at the
// object's origin, moved by keys of position and angle per bone.

enum EffectCell { kERockDark, kERockLight, kEEnergy, kEGrenade, kEGrenadeMetal, kEWind };
const std::vector<SColour> kEffectColours = {
    {0.27f, 0.24f, 0.21f},  // rock
    {0.45f, 0.40f, 0.33f},  // rock, broken faces and earth
    {0.72f, 0.90f, 1.00f},  // energy: the shells (the boss's tint it with their colour)
    {0.26f, 0.30f, 0.16f},  // grenade body: olive paint
    {0.55f, 0.55f, 0.58f},  // grenade cap and lever
    {0.86f, 0.93f, 1.00f},  // the whirlwind
};

struct Piece {
  std::string name;
  V3 rest;  // bind position, relative to the root at the origin
};

std::vector<Bone> PieceRig(const std::string& root, const std::vector<Piece>& pieces) {
  std::vector<Bone> bones{{Name(root), -1, {0, 0, 0}}};
  for (const Piece& p : pieces) bones.push_back({Name(p.name), 0, p.rest});
  return bones;
}

// Keys every 25 ms; `at` gives a piece's position (relative to the root) and angles.
struct Placement {
  V3 position;
  V3 angles;
};
std::string PieceAnimation(const std::vector<Bone>& bones, float duration,
                           const std::function<Placement(int piece, float f)>& at) {
  // The pieces are the root's children; what hangs from a piece rides along with it.
  const int keys = std::max(6, static_cast<int>(std::ceil(duration * 40.0f)));
  int pieces = 0;
  while (pieces + 1 < static_cast<int>(bones.size()) && bones[pieces + 1].parent == 0) ++pieces;
  std::string s = "<HEADER MAGIC=\"XAF\" VERSION=\"919\" />\n";
  s += "<ANIMATION DURATION=\"" + Num(duration) + "\" NUMTRACKS=\"" + std::to_string(pieces) + "\">\n";
  for (int i = 0; i < pieces; ++i) {
    s += "  <TRACK BONEID=\"" + std::to_string(i + 1) + "\" NUMKEYFRAMES=\"" +
         std::to_string(keys + 1) + "\">\n";
    for (int k = 0; k <= keys; ++k) {
      const Placement p = at(i, static_cast<float>(k) / keys);
      s += "    <KEYFRAME TIME=\"" + Num(duration * k / keys) + "\">\n";
      s += "      <TRANSLATION>" + F3(p.position) + "</TRANSLATION>\n";
      s += "      <ROTATION>" + F4(LibraryRotation(p.angles)) + "</ROTATION>\n";
      s += "    </KEYFRAME>\n";
    }
    s += "  </TRACK>\n";
  }
  s += "</ANIMATION>\n";
  return s;
}

// A boulder: two overlapping lumps of stone, the broken top lighter.
void AddRock(MeshData& m, int bone, V3 c, float size, int seed) {
  const float a = 0.7f + 0.1f * (seed % 4), b = 0.55f + 0.12f * ((seed * 7) % 3);
  Tube t{bone, c + V3{0, 0, -size * 0.9f}, c + V3{0.1f * size, 0, size * 0.9f}, size * a, size * b,
         size * a, size * b};
  t.round = true;
  AddTube(m, t, kERockDark);
  Tube u{bone, c + V3{-0.3f * size, 0.2f * size, -size * 0.3f}, c + V3{0.2f * size, -0.2f * size, size * 0.75f},
         size * 0.5f, size * 0.45f, size * 0.5f, size * 0.45f};
  u.round = true;
  AddTube(m, u, kERockLight);
}

struct RockField {
  std::string id;       // the animation template
  std::string root;     // the root bone
  std::string action;   // the one animation
  float duration;
  std::vector<Piece> rocks;
  std::vector<float> sizes, erupt;  // per rock: size, when it bursts up (fraction)
  std::vector<V3> outward;           // per rock: which way it leans
};

// A ring of rocks around the origin that bursts up at `at` (fraction).
RockField RadialRocks(const std::string& id, const std::string& action, float duration, int count,
                      float radius, float size, float at) {
  RockField r{id, id + "_root", action, duration, {}, {}, {}, {}};
  for (int i = 0; i < count; ++i) {
    const float angle = 2 * kPi * i / count + 0.2f * ((i * 3) % 2);
    const float d = radius * (0.85f + 0.3f * ((i * 5) % 4) / 3.0f);
    const float sz = size * (0.75f + 0.5f * ((i * 7) % 5) / 4.0f);
    char name[32];
    std::snprintf(name, sizeof name, "rock%02d", i + 1);
    r.rocks.push_back({name, {d * std::cos(angle), d * std::sin(angle), sz * 0.5f}});
    r.sizes.push_back(sz);
    r.erupt.push_back(at + 0.02f * ((i * 3) % 4));
    r.outward.push_back({std::cos(angle), std::sin(angle), 0});
  }
  return r;
}

// A line of rocks bursting up one after the other ahead (-y) from 1 m to `length`.
RockField LineRocks(const std::string& id, const std::string& action, float duration, int count,
                    float length, float size, float from, float to) {
  RockField r{id, id + "_root", action, duration, {}, {}, {}, {}};
  for (int i = 0; i < count; ++i) {
    const float f = static_cast<float>(i) / (count - 1);
    const float side = (i % 2 ? 0.35f : -0.35f) * (0.6f + 0.4f * ((i * 5) % 3) / 2.0f);
    const float sz = size * (0.7f + 0.6f * f) * (0.85f + 0.3f * ((i * 7) % 3) / 2.0f);
    char name[32];
    std::snprintf(name, sizeof name, "rock%02d", i + 1);
    r.rocks.push_back({name, {side, -(1.0f + (length - 1.0f) * f), sz * 0.5f}});
    r.sizes.push_back(sz);
    r.erupt.push_back(from + (to - from) * f);
    r.outward.push_back({side > 0 ? 1.0f : -1.0f, 0, 0});
  }
  return r;
}

std::string RockMesh(const RockField& r) {
  MeshData m;
  for (size_t i = 0; i < r.rocks.size(); ++i)
    AddRock(m, static_cast<int>(i) + 1, r.rocks[i].rest, r.sizes[i], static_cast<int>(i));
  return MeshText(m);
}

// Each rock waits under the ground, bursts up past its rest in 0.15 s, settles and
// leans away from the centre (or the line).
std::string RockAnimation(const RockField& r, const std::vector<Bone>& bones) {
  return PieceAnimation(bones, r.duration, [&r](int i, float f) {
    const float t = (f - r.erupt[i]) * r.duration / 0.15f;
    const float sz = r.sizes[i];
    float rise;  // 0 buried, 1 at rest
    if (t <= 0) {
      rise = 0;
    } else if (t < 1) {
      rise = Smooth(t) * 1.25f;
    } else {
      rise = 1.0f + 0.25f * std::exp(-(t - 1) * 3.0f);
    }
    const V3 rest = r.rocks[i].rest;
    const V3 pos = rest + V3{0, 0, -(1.0f - rise) * (sz * 1.6f + 0.2f)};
    const float lean = 0.35f * std::min(1.0f, rise);
    const V3 o = r.outward[i];
    return Placement{pos, {-o.y * lean, o.x * lean, 0.4f * i}};
  });
}

// The shells: one bone at the origin and a mesh of unit size.
std::vector<Bone> ShellRig(const std::string& root) { return {{Name(root), -1, {0, 0, 0}}}; }

// A dome of radius 1 on the ground, seen from outside and in.
std::string DomeMesh() {
  MeshData m;
  constexpr int kSides = 24, kRings = 8;
  const float u = (kEEnergy + 0.5f) / kTextureCells;
  for (int side = 0; side < 2; ++side) {
    const float r = side ? 0.97f : 1.0f, n = side ? -1.0f : 1.0f;
    const int base = static_cast<int>(m.verts.size());
    for (int ring = 0; ring <= kRings; ++ring) {
      const float lat = 0.5f * kPi * ring / kRings;
      for (int s = 0; s < kSides; ++s) {
        const float lon = 2 * kPi * s / kSides;
        const V3 dir{std::cos(lat) * std::cos(lon), std::cos(lat) * std::sin(lon), std::sin(lat)};
        m.verts.push_back({dir * r, dir * n, u, 0.5f, {{0, 1.0f}}});
      }
    }
    for (int ring = 0; ring < kRings; ++ring)
      for (int s = 0; s < kSides; ++s) {
        const int a = base + ring * kSides + s, b = base + ring * kSides + (s + 1) % kSides;
        const int c = a + kSides, d = b + kSides;
        if (side)
          for (int i : {a, d, b, a, c, d}) m.faces.push_back(i);
        else
          for (int i : {a, b, d, a, d, c}) m.faces.push_back(i);
      }
  }
  return MeshText(m);
}

// A circle of radius 1 about z, of short tubes.
void AddCircle(MeshData& m, float radius, float thick, float z, int cell, int pieces) {
  for (int i = 0; i < pieces; ++i) {
    const float a0 = 2 * kPi * i / pieces, a1 = 2 * kPi * (i + 1.1f) / pieces;
    AddTube(m, {0, {radius * std::cos(a0), radius * std::sin(a0), z},
                {radius * std::cos(a1), radius * std::sin(a1), z}, thick, thick, thick, thick},
            cell);
  }
}

std::string RingMesh() {
  MeshData m;
  AddCircle(m, 1.0f, 0.07f, 0.0f, kEEnergy, 32);
  AddCircle(m, 0.8f, 0.035f, 0.0f, kEEnergy, 28);
  return MeshText(m);
}

// A band of spikes standing up round a circle.
std::string CrownMesh() {
  MeshData m;
  AddCircle(m, 1.0f, 0.05f, 0.05f, kEEnergy, 32);
  for (int i = 0; i < 12; ++i) {
    const float a = 2 * kPi * i / 12;
    const V3 foot{std::cos(a), std::sin(a), 0.0f};
    AddTube(m, {0, foot, foot * 1.08f + V3{0, 0, 0.45f + 0.15f * (i % 2)}, 0.09f, 0.09f, 0.005f, 0.005f},
            kEEnergy);
  }
  return MeshText(m);
}

// Three crescent blades of wind in the plane across x, wheeling about it.
std::string TurbulenceMesh() {
  MeshData m;
  for (int blade = 0; blade < 3; ++blade) {
    const float start = 2 * kPi * blade / 3;
    constexpr int kSteps = 10;
    for (int k = 0; k < kSteps; ++k) {
      const float f0 = static_cast<float>(k) / kSteps, f1 = static_cast<float>(k + 1) / kSteps;
      auto at = [start](float f) {
        const float a = start + 1.6f * f, r = 0.35f + 0.9f * f;
        return V3{0, r * std::cos(a), r * std::sin(a)};
      };
      const float t0 = 0.02f + 0.06f * std::sin(kPi * f0), t1 = 0.02f + 0.06f * std::sin(kPi * f1);
      AddTube(m, {0, at(f0), at(f1), 0.12f * std::sin(kPi * f0) + 0.02f, t0, 0.12f * std::sin(kPi * f1) + 0.02f, t1},
              kEWind);
    }
  }
  return MeshText(m);
}

// ---------------------------------------------------------------------------
// The mutants' grenade: a can on "mutant_granade01" that rises with the thrower's
// hand, leaves it at 35 % of the flight and falls along an arc to where it bursts.

struct Flight {
  const char* name;
  float duration;
  V3 landing;  // relative to the thrower's feet: x left, -y ahead, z up
  float arc;   // height of the arc above the straight line
};
const Flight kFlights[6] = {
    {"grenade_mutant_down_L", kGrenadeLow, {4.0f, -6.0f, -2.5f}, 1.5f},
    {"grenade_mutant_down_F", kGrenadeLow, {0.0f, -7.0f, -2.5f}, 1.5f},
    {"grenade_mutant_down_R", kGrenadeLow, {-4.0f, -6.0f, -2.5f}, 1.5f},
    // From an upper-floor sill of the city's fronts, 4.8 m above the street.
    {"grenade_mutant_high_L", kGrenadeHigh, {5.0f, -9.0f, -4.8f}, 2.5f},
    {"grenade_mutant_high_F", kGrenadeHigh, {0.0f, -10.0f, -4.8f}, 2.5f},
    {"grenade_mutant_high_R", kGrenadeHigh, {-5.0f, -9.0f, -4.8f}, 2.5f},
};
const V3 kGrenadeHeld{-0.3f, -0.25f, 1.5f};  // in the leaning thrower's right fist

Placement GrenadeAt(const Flight& flight, float f) {
  const V3 back = kGrenadeHeld + V3{-0.15f, 0.45f, 0.55f};
  const V3 out = kGrenadeHeld + V3{0.05f, -0.5f, 0.6f};
  if (f < 0.25f * kGrenadeRelease / 0.35f) {
    return {Mix(kGrenadeHeld, back, Smooth(f / (0.25f * kGrenadeRelease / 0.35f))), {0, 0, 0}};
  }
  if (f < kGrenadeRelease) {
    const float start = 0.25f * kGrenadeRelease / 0.35f;
    return {Mix(back, out, Smooth((f - start) / (kGrenadeRelease - start))), {0, 0, 0}};
  }
  const float u = (f - kGrenadeRelease) / (1.0f - kGrenadeRelease);
  V3 p = Mix(out, flight.landing + V3{0, 0, 0.08f}, u);
  p.z += flight.arc * 4.0f * u * (1.0f - u);
  return {p, {-12.0f * u, 0, 2.0f * u}};  // tumbling end over end
}

// A second bone a hand's breadth behind the can gives its trail a width.
std::vector<Bone> GrenadeRig() {
  return {{Name("grenade_root"), -1, {0, 0, 0}},
          {"mutant_granade01", 0, kGrenadeHeld},
          {"mutant_granade01_trail", 1, kGrenadeHeld + V3{0, 0.08f, 0}}};
}

std::string GrenadeMesh() {
  MeshData m;
  const V3 c = kGrenadeHeld;
  Tube body{1, c + V3{0, 0, -0.06f}, c + V3{0, 0, 0.06f}, 0.045f, 0.045f, 0.045f, 0.045f};
  body.round = true;
  AddTube(m, body, kEGrenade);
  AddTube(m, {1, c + V3{0, 0, 0.045f}, c + V3{0, 0, 0.085f}, 0.018f, 0.018f, 0.016f, 0.016f}, kEGrenadeMetal);
  AddTube(m, {1, c + V3{0.015f, 0, 0.08f}, c + V3{0.03f, 0, -0.03f}, 0.008f, 0.004f, 0.008f, 0.004f},
          kEGrenadeMetal);  // the lever
  return MeshText(m);
}

// ---------------------------------------------------------------------------
// What the program writes

struct Figure {
  std::string id;  // template id and file prefix
  const std::vector<Bone>& (*rig)();
  std::string (*body)();
  const std::vector<SColour>* colours;
  std::vector<Animation> (*animations)();
};

std::vector<Animation> Zombie() { return FighterAnimations(true); }
std::vector<Animation> Mutant() { return FighterAnimations(false); }

const std::vector<Figure>& Figures() {
  static const std::vector<Figure> figures = {
      {"zombie", ZombieRig, ZombieBody, &kZombieColours, Zombie},
      {"mutant", MutantRig, MutantBody, &kMutantColours, Mutant},
      {"krauser", KrauserRig, KrauserBody, &kKrauserColours, KrauserAnimations},
  };
  return figures;
}

// Rocks: the player's ring for "Y3" (its blast at 0.7 s), the boss's ring for the
// beam wave (its slam at 1.37 s) and his line for the ground beam (its strike at 0.9 s).
const std::vector<RockField>& Rocks() {
  static const std::vector<RockField> rocks = {
      RadialRocks("radial_rocks_player", "radial_rocks_Y3", 2.0f, 8, 1.9f, 0.32f, 0.35f),
      RadialRocks("radial_rocks_krauser", "radial_rocks_beam_wave", 3.0f, 12, 3.2f, 0.5f, 1.37f / 3.0f),
      LineRocks("line_rocks_krauser", "line_rocks_ground_beam", 2.6f, 10, 8.0f, 0.45f, 0.9f / 2.6f,
                1.5f / 2.6f),
  };
  return rocks;
}

struct Shell {
  std::string id;
  std::string (*mesh)();
};
const std::vector<Shell>& Shells() {
  static const std::vector<Shell> shells = {
      {"semisphere", DomeMesh}, {"ring", RingMesh}, {"crown", CrownMesh}, {"turbulence", TurbulenceMesh}};
  return shells;
}

std::string ObjectTemplate(const std::string& id, const std::vector<std::string>& animations) {
  return gen::TemplateEntry(id, id, animations);
}

// The entries of the level's animation templates ("level") or of those loaded with
// the player ("loading").
std::string Templates(const std::string& which) {
  std::string s;
  if (which == "level") {
    for (const Figure& f : Figures()) {
      std::vector<std::string> names;
      for (const Animation& a : f.animations()) names.push_back(a.name);
      s += gen::TemplateEntry(f.id, f.id, names);
    }
    for (const RockField& r : Rocks())
      if (r.id != "radial_rocks_player") s += ObjectTemplate(r.id, {r.action});
    std::vector<std::string> flights;
    for (const Flight& f : kFlights) flights.push_back(f.name);
    s += ObjectTemplate("grenade_mutant", flights);
  } else {
    s += ObjectTemplate("radial_rocks_player", {Rocks()[0].action});
    for (const Shell& shell : Shells()) s += ObjectTemplate(shell.id, {});
  }
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 2 && std::string(argv[1]) == "--template") {
    std::fputs(Templates(argv[2]).c_str(), stdout);
    return 0;
  }
  const std::string dir = argc > 1 ? argv[1] : "Data/anims";
  const std::string textures = argc > 2 ? argv[2] : argc > 1 ? dir : "Data/textures";
  const std::string characters = argc > 1 ? textures : textures + "/characters";
  const std::string effects = argc > 1 ? textures : textures + "/effects";
  std::filesystem::create_directories(characters);
  std::filesystem::create_directories(effects);
  bool ok = true;
  for (const Figure& f : Figures()) {
    ok = WriteText(dir + "/" + f.id + ".xsf", SkeletonText(f.rig())) && ok;
    ok = WriteText(dir + "/" + f.id + "_body.xmf", f.body()) && ok;
    ok = WriteColours("gen_enemies", characters + "/" + f.id + ".png", *f.colours) && ok;
    for (const Animation& a : f.animations())
      ok = WriteText(dir + "/" + f.id + "_" + a.name + ".xaf",
                     AnimationText(f.rig(), a.duration, a.at, a.cycle)) &&
           ok;
  }
  for (const RockField& r : Rocks()) {
    const std::vector<Bone> rig = PieceRig(r.root, r.rocks);
    ok = WriteText(dir + "/" + r.id + ".xsf", SkeletonText(rig)) && ok;
    ok = WriteText(dir + "/" + r.id + "_body.xmf", RockMesh(r)) && ok;
    ok = WriteText(dir + "/" + r.id + "_" + r.action + ".xaf", RockAnimation(r, rig)) && ok;
  }
  for (const Shell& shell : Shells()) {
    ok = WriteText(dir + "/" + shell.id + ".xsf", SkeletonText(ShellRig(shell.id + "_root"))) && ok;
    ok = WriteText(dir + "/" + shell.id + "_body.xmf", shell.mesh()) && ok;
  }
  const std::vector<Bone> grenade = GrenadeRig();
  ok = WriteText(dir + "/grenade_mutant.xsf", SkeletonText(grenade)) && ok;
  ok = WriteText(dir + "/grenade_mutant_body.xmf", GrenadeMesh()) && ok;
  for (const Flight& flight : kFlights)
    ok = WriteText(dir + "/grenade_mutant_" + flight.name + ".xaf",
                   PieceAnimation(grenade, flight.duration,
                                  [&flight](int, float f) { return GrenadeAt(flight, f); })) &&
         ok;
  ok = WriteColours("gen_enemies", effects + "/effects.png", kEffectColours) && ok;
  return ok ? 0 : 1;
}
