// Writes the player's figure, Brannoc, in the animation library's XML formats:
//   brannoc.xsf           skeleton: "Bip01" root, pelvis, two spine bones, neck,
//                         head, clavicles, arms, legs with toes, and two chained
//                         blades: "Bone01" (grip, right hand) to "Bone04" (tip) and
//                         "Bone05" (grip, left hand) to "Bone06" (tip)
//   brannoc_body.xmf      the figure in one mesh (the animator attaches one): tapered
//                         tubes per bone, overlapping at the joints, each vertex near
//                         a joint blended with the neighbouring bone, dressed in a
//                         long dark coat with tails over a light shirt, trousers and
//                         boots; and his two blades, each piece on its own bone
//   brannoc_<name>.xaf    one file per animation of the player (see Animations())
//   brannoc.png           the colours of his clothes, skin, hair and blades: one
//                         cell per colour, each piece of the mesh maps into its cell
// The hit volumes of the weapon controller fit the bone pairs Bone01-Bone04 (right
// blade), Bone05-Bone06 (left blade) and "Bip01 L Calf"-"Bip01 L Toe0" (left foot).
// Authored z-up with the figure facing -y, as gen_humanoid; loaded with the rotation
// about x it stands y-up facing +z. Actions that travel move the root bone: the mixer
// hands that motion to the object.
// Usage: gen_player [animations folder [texture folder]]
//        (defaults Data/anims and Data/textures/characters; a given animations
//        folder also takes the texture unless a texture folder is given)
//        gen_player --template        prints the animation template entry
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "tools/gen_figure.h"

namespace {

using namespace gen;  // NOLINT: the figure writers are this program's vocabulary

// clang-format off
enum BoneId {
  kRoot, kPelvis, kSpine, kSpine1, kNeck, kHead,
  kLClav, kLUpper, kLFore, kLHand, kRClav, kRUpper, kRFore, kRHand,
  kLThigh, kLCalf, kLFoot, kLToe, kRThigh, kRCalf, kRFoot, kRToe,
  kBone01, kBone02, kBone03, kBone04, kBone05, kBone06, kBoneCount
};
// clang-format on

const Bone kBones[kBoneCount] = {
    {"Bip01", -1, {0, 0, 1.0f}},
    {"Bip01 Pelvis", kRoot, {0, 0, 1.0f}},
    {"Bip01 Spine", kPelvis, {0, 0, 1.08f}},
    {"Bip01 Spine1", kSpine, {0, 0, 1.3f}},
    {"Bip01 Neck", kSpine1, {0, 0, 1.52f}},
    {"Bip01 Head", kNeck, {0, -0.01f, 1.62f}},
    {"Bip01 L Clavicle", kSpine1, {0.04f, 0, 1.47f}},
    {"Bip01 L UpperArm", kLClav, {0.2f, 0, 1.46f}},
    {"Bip01 L Forearm", kLUpper, {0.22f, 0.02f, 1.18f}},
    {"Bip01 L Hand", kLFore, {0.24f, 0, 0.94f}},
    {"Bip01 R Clavicle", kSpine1, {-0.04f, 0, 1.47f}},
    {"Bip01 R UpperArm", kRClav, {-0.2f, 0, 1.46f}},
    {"Bip01 R Forearm", kRUpper, {-0.22f, 0.02f, 1.18f}},
    {"Bip01 R Hand", kRFore, {-0.24f, 0, 0.94f}},
    {"Bip01 L Thigh", kPelvis, {0.1f, 0, 0.96f}},
    {"Bip01 L Calf", kLThigh, {0.1f, -0.01f, 0.52f}},
    {"Bip01 L Foot", kLCalf, {0.1f, 0.02f, 0.09f}},
    {"Bip01 L Toe0", kLFoot, {0.1f, -0.12f, 0.03f}},
    {"Bip01 R Thigh", kPelvis, {-0.1f, 0, 0.96f}},
    {"Bip01 R Calf", kRThigh, {-0.1f, -0.01f, 0.52f}},
    {"Bip01 R Foot", kRCalf, {-0.1f, 0.02f, 0.09f}},
    {"Bip01 R Toe0", kRFoot, {-0.1f, -0.12f, 0.03f}},
    {"Bone01", kRHand, {-0.24f, -0.02f, 0.88f}},
    {"Bone02", kBone01, {-0.24f, -0.16f, 0.88f}},
    {"Bone03", kBone02, {-0.24f, -0.4f, 0.88f}},
    {"Bone04", kBone03, {-0.24f, -0.64f, 0.88f}},
    {"Bone05", kLHand, {0.24f, -0.02f, 0.88f}},
    {"Bone06", kBone05, {0.24f, -0.5f, 0.88f}},
};

const std::vector<Bone> kSkeleton(std::begin(kBones), std::end(kBones));

bool WriteText(const std::string& path, const std::string& text) {
  return gen::WriteText("gen_player", path, text);
}

// ---------------------------------------------------------------------------
// Meshes

// What each piece is made of: a cell of the colour texture.
enum Cloth { kCoat, kShirt, kTrousers, kBoots, kSkin, kHair, kSteel, kGrip, kBelt, kClothCount };
const std::vector<SColour> kClothColours = {
    {0.14f, 0.15f, 0.19f},  // coat: near-black blue-grey wool
    {0.80f, 0.77f, 0.70f},  // shirt: off-white linen
    {0.30f, 0.31f, 0.34f},  // trousers: slate grey
    {0.09f, 0.06f, 0.04f},  // boots: black-brown leather
    {0.80f, 0.62f, 0.52f},  // skin
    {0.10f, 0.08f, 0.06f},  // hair
    {0.88f, 0.90f, 0.94f},  // steel
    {0.36f, 0.21f, 0.11f},  // grips: brown leather
    {0.42f, 0.26f, 0.12f},  // belt
};
V3 P(int bone) { return kBones[bone].position; }
// Flat blade pieces: thin across x, wide up and down; a grip wrapped round the hand.
// Thick enough to be seen edge on from the follow camera.
void AddBlade(MeshData& m, bool right) {
  const int grip = right ? kBone01 : kBone05;
  const int last = right ? kBone04 : kBone06;
  const V3 g = P(grip);
  AddTube(m, {grip, g + V3{0, 0.06f, 0}, P(grip + 1) + V3{0, 0.02f, 0}, 0.02f, 0.02f, 0.02f, 0.02f},
          kGrip);
  AddTube(m, {grip, P(grip + 1) + V3{0.06f, 0.01f, 0}, P(grip + 1) + V3{-0.06f, 0.01f, 0}, 0.018f,
              0.055f, 0.018f, 0.055f},
          kSteel);
  for (int piece = grip + 1; piece < last; ++piece)  // chain links: each segment a gap short
    AddTube(m, {piece, P(piece), P(piece + 1) + V3{0, 0.015f, 0}, 0.014f, 0.055f, 0.014f, 0.045f},
            kSteel);
  AddTube(m, {last, P(last), P(last) + V3{0, -0.2f, 0}, 0.014f, 0.045f, 0.004f, 0.005f}, kSteel);
}

// Forward is -y, the figure's left +x. A tube along z has its first radius across
// (x) and its second front to back (y).
std::string Body() {
  MeshData m;
  // Hips in trousers under a belt; the coat over the chest, open down the front on
  // the shirt; a high collar; the head with hair over its top and back.
  AddTube(m, {kPelvis, {0, 0, 0.86f}, {0, 0, 1.1f}, 0.15f, 0.1f, 0.14f, 0.1f, -1, kSpine},
          kTrousers);
  AddTube(m, {kPelvis, {0, 0, 0.99f}, {0, 0, 1.05f}, 0.158f, 0.108f, 0.158f, 0.108f}, kBelt);
  AddTube(m, {kSpine, {0, 0, 1.04f}, {0, 0, 1.32f}, 0.155f, 0.105f, 0.19f, 0.12f, kPelvis, kSpine1},
          kCoat);
  AddTube(m, {kSpine1, {0, 0, 1.28f}, {0, 0, 1.5f}, 0.215f, 0.13f, 0.23f, 0.12f, kSpine, kNeck},
          kCoat);
  AddTube(m, {kSpine, {0, -0.09f, 1.06f}, {0, -0.105f, 1.32f}, 0.045f, 0.025f, 0.06f, 0.025f,
              kPelvis, kSpine1},
          kShirt);
  AddTube(m, {kSpine1, {0, -0.105f, 1.28f}, {0, -0.1f, 1.47f}, 0.06f, 0.03f, 0.07f, 0.025f, kSpine,
              kNeck},
          kShirt);
  AddTube(m,
          {kNeck, {0, 0, 1.46f}, {0, -0.01f, 1.64f}, 0.05f, 0.05f, 0.05f, 0.05f, kSpine1, kHead},
          kSkin);
  AddTube(m, {kNeck, {0, 0.01f, 1.45f}, {0, 0.02f, 1.58f}, 0.1f, 0.085f, 0.085f, 0.07f, kSpine1},
          kCoat);
  Tube head{kHead, {0, -0.01f, 1.58f}, {0, -0.01f, 1.86f}, 0.1f, 0.115f, 0.1f, 0.115f, kNeck};
  head.round = true;
  AddTube(m, head, kSkin);
  Tube hair{kHead, {0, 0.012f, 1.66f}, {0, 0.004f, 1.885f}, 0.106f, 0.118f, 0.106f, 0.118f};
  hair.round = true;
  AddTube(m, hair, kHair);
  // The coat's tails: a panel behind the legs from the waist to the knees.
  AddTube(m, {kPelvis, {0, 0.105f, 1.02f}, {0, 0.15f, 0.5f}, 0.16f, 0.03f, 0.2f, 0.02f}, kCoat);
  for (bool left : {true, false}) {
    auto side = [left](V3 v) { return left ? v : Mirror(v); };
    const int o = left ? 0 : kRClav - kLClav;    // arm bones
    const int l = left ? 0 : kRThigh - kLThigh;  // leg bones
    // Broad shoulders: the coat's padding over the clavicle and the top of the arm.
    AddTube(m, {kLClav + o, side({0.03f, 0, 1.47f}), side({0.24f, 0, 1.46f}), 0.07f, 0.07f, 0.08f,
                0.075f, kSpine1, kLUpper + o},
            kCoat);
    Tube pad{kLUpper + o, side({0.21f, 0, 1.53f}), side({0.22f, 0, 1.39f}), 0.085f, 0.08f, 0.085f,
             0.08f, kLClav + o};
    pad.round = true;
    AddTube(m, pad, kCoat);
    AddTube(m, {kLUpper + o, P(kLUpper + o), P(kLFore + o), 0.064f, 0.06f, 0.052f, 0.05f,
                kLClav + o, kLFore + o},
            kCoat);
    AddTube(m, {kLFore + o, P(kLFore + o), Mix(P(kLFore + o), P(kLHand + o), 0.85f), 0.052f,
                0.05f, 0.043f, 0.04f, kLUpper + o},
            kCoat);
    AddTube(m, {kLFore + o, Mix(P(kLFore + o), P(kLHand + o), 0.8f), P(kLHand + o), 0.036f,
                0.035f, 0.032f, 0.03f, -1, kLHand + o},
            kShirt);
    AddTube(m, {kLHand + o, P(kLHand + o) + V3{0, 0, 0.01f}, side({0.24f, -0.03f, 0.83f}), 0.025f,
                0.04f, 0.022f, 0.045f, kLFore + o},
            kSkin);
    AddTube(m, {kLThigh + l, side({0.1f, 0, 1.0f}), P(kLCalf + l), 0.088f, 0.093f, 0.062f, 0.062f,
                kPelvis, kLCalf + l},
            kTrousers);
    // Side tails of the coat, swinging with the thighs.
    AddTube(m, {kLThigh + l, side({0.175f, 0.02f, 1.02f}), side({0.215f, 0.04f, 0.52f}), 0.02f,
                0.09f, 0.015f, 0.12f, kPelvis},
            kCoat);
    AddTube(m, {kLCalf + l, P(kLCalf + l), P(kLFoot + l), 0.062f, 0.066f, 0.042f, 0.044f,
                kLThigh + l, kLFoot + l},
            kTrousers);
    // Boots up to the middle of the calf.
    AddTube(m, {kLCalf + l, Mix(P(kLCalf + l), P(kLFoot + l), 0.42f), P(kLFoot + l) + V3{0, 0, 0.02f},
                0.06f, 0.064f, 0.052f, 0.056f, -1, kLFoot + l},
            kBoots);
    AddTube(m, {kLFoot + l, side({0.1f, 0.06f, 0.05f}), side({0.1f, -0.12f, 0.04f}), 0.05f, 0.05f,
                0.05f, 0.04f, kLCalf + l, kLToe + l},
            kBoots);
    AddTube(m, {kLToe + l, side({0.1f, -0.11f, 0.035f}), side({0.1f, -0.2f, 0.03f}), 0.046f, 0.034f,
                0.038f, 0.022f, kLFoot + l},
            kBoots);
  }
  AddBlade(m, true);
  AddBlade(m, false);
  return MeshText(m);
}

// ---------------------------------------------------------------------------
// Animations (poses as tools/gen_figure.h tells); forward is -y, the figure's left +x.

// Both arms at once, mirrored: x and z as given, y outwards for both.
void Arms(Pose& p, V3 upper, V3 fore, V3 hand) {
  p.a[kLUpper] = {upper.x, -upper.y, upper.z};
  p.a[kRUpper] = {upper.x, upper.y, -upper.z};
  p.a[kLFore] = fore;
  p.a[kRFore] = {fore.x, -fore.y, -fore.z};
  p.a[kLHand] = hand;
  p.a[kRHand] = {hand.x, -hand.y, -hand.z};
}
void Legs(Pose& p, float thigh, float calf, float foot, float spread) {
  p.a[kLThigh] = {thigh, -spread, 0};
  p.a[kRThigh] = {thigh, spread, 0};
  p.a[kLCalf] = p.a[kRCalf] = {calf, 0, 0};
  p.a[kLFoot] = p.a[kRFoot] = {foot, 0, 0};
}

Pose Stand() {
  Pose p;
  Arms(p, {0.05f, 0.1f, 0}, {-0.35f, 0, 0}, {0.2f, 0, 0});
  return p;
}

// Knees bent, leaning in, both blades raised in front.
Pose Combat() {
  Pose p;
  p.root = {0, 0, -0.07f};
  Legs(p, -0.4f, 0.65f, -0.25f, 0.1f);
  p.a[kSpine] = {0.12f, 0, 0.1f};
  p.a[kSpine1] = {0.06f, 0, 0};
  p.a[kHead] = {-0.18f, 0, -0.1f};
  Arms(p, {-0.45f, 0.3f, 0}, {-0.95f, 0, 0.1f}, {0.55f, 0, 0});
  return p;
}

// The right arm swings the right blade (x forward and back, y out to the side, z turn).
void RightArm(Pose& p, V3 upper, V3 fore, V3 hand) {
  p.a[kRUpper] = upper;
  p.a[kRFore] = fore;
  p.a[kRHand] = hand;
}
void LeftArm(Pose& p, V3 upper, V3 fore, V3 hand) {
  p.a[kLUpper] = upper;
  p.a[kLFore] = fore;
  p.a[kLHand] = hand;
}
void Twist(Pose& p, float angle) {
  p.a[kSpine].z = 0.4f * angle;
  p.a[kSpine1].z = 0.6f * angle;
  p.a[kHead].z = -0.5f * angle;
}

// The blade links trail the swing a little.
void ChainLag(Pose& p, float amount) {
  for (int b : {kBone02, kBone03, kBone04}) p.a[b].z = amount;
  p.a[kBone06].z = -amount;
}

Pose Breathe(Pose p, float f, float depth) {
  p.root.z += -0.008f * depth + 0.008f * depth * Wave(f);
  p.a[kSpine1].x += -0.03f * depth * Wave(f);
  p.a[kLClav].y = -0.03f * depth * Wave(f);
  p.a[kRClav].y = 0.03f * depth * Wave(f);
  p.a[kHead].x += 0.02f * depth * Wave(f, 1, 0.25f);
  return p;
}

// A running or walking cycle: legs and arms swing against each other, two steps
// per loop, the body bobbing once per step.
Pose Stride(float f, float reach, float bob, float lean) {
  Pose p = Combat();
  const float s = Wave(f), c = Wave(f, 2, 0.25f);
  p.root = {0, 0, -0.03f - bob + bob * c};
  p.a[kSpine] = {lean, 0, 0.1f * s};
  p.a[kSpine1] = {0.03f, 0, 0.12f * s};
  p.a[kHead] = {-lean, 0, -0.2f * s};
  p.a[kLThigh] = {-reach * s - 0.15f, -0.04f, 0};
  p.a[kRThigh] = {reach * s - 0.15f, 0.04f, 0};
  p.a[kLCalf] = {0.5f + 0.45f * Wave(f, 1, 0.2f), 0, 0};
  p.a[kRCalf] = {0.5f - 0.45f * Wave(f, 1, 0.2f), 0, 0};
  p.a[kLFoot] = {-0.2f * s, 0, 0};
  p.a[kRFoot] = {0.2f * s, 0, 0};
  LeftArm(p, {reach * 0.8f * s - 0.2f, -0.2f, 0}, {-0.9f, 0, 0}, {0.5f, 0, 0});
  RightArm(p, {-reach * 0.8f * s - 0.2f, 0.2f, 0}, {-0.9f, 0, 0}, {0.5f, 0, 0});
  return p;
}

// A dash: crouch, push off and slide `travel` along `dir` with the body leaning
// away from where it came from, then settle into the stance.
Animation Dash(const char* name, V3 dir, float travel) {
  Pose start = Combat();
  Pose push = Combat();
  push.root = dir * (0.15f * travel) + V3{0, 0, -0.14f};
  Legs(push, -0.7f, 1.1f, -0.3f, 0.15f);
  push.a[kSpine] = {0.25f * -dir.y + 0.1f, 0.25f * dir.x, 0};
  Arms(push, {0.3f * dir.y - 0.3f, 0.5f, 0}, {-1.1f, 0, 0}, {0.5f, 0, 0});
  Pose fly = push;
  fly.root = dir * (0.85f * travel) + V3{0, 0, -0.08f};
  Legs(fly, -0.3f, 0.5f, -0.1f, 0.25f);
  Pose land = Combat();
  land.root = dir * travel + V3{0, 0, -0.12f};
  Legs(land, -0.6f, 0.95f, -0.3f, 0.15f);
  Pose end = Combat();
  end.root = dir * travel + V3{0, 0, -0.07f};
  return {name, 0.55f, false,
          Keys({{0, start}, {0.2f, push}, {0.65f, fly}, {0.85f, land}, {1, end}})};
}

// A blow: stance, wind-up, strike (stepping `step` forward), follow-through.
struct Blow {
  Pose windup, strike, follow;
};
Animation Attack(const char* name, float duration, float step, Blow b, float strikeAt = 0.45f) {
  Pose start = Combat();
  b.windup.root.y += -0.1f * step;
  b.strike.root.y += -step;
  b.follow.root.y += -step;
  ChainLag(b.windup, -0.25f);
  ChainLag(b.strike, 0.35f);
  return {name, duration, false,
          Keys({{0, start},
                {strikeAt * 0.55f, b.windup},
                {strikeAt, b.strike},
                {0.75f, b.follow},
                {1, b.follow}})};
}

Blow RightSlash() {  // the right blade sweeps from right to left
  Blow b{Combat(), Combat(), Combat()};
  Twist(b.windup, -0.7f);
  RightArm(b.windup, {-0.4f, 1.3f, -0.3f}, {-0.6f, 0, 0}, {0.3f, 0, -0.4f});
  Twist(b.strike, 0.6f);
  RightArm(b.strike, {-1.4f, -0.3f, 0.4f}, {-0.15f, 0, 0}, {0.1f, 0, 0.5f});
  b.strike.a[kRThigh].x = -0.8f;
  Twist(b.follow, 0.45f);
  RightArm(b.follow, {-1.0f, -0.5f, 0.3f}, {-0.4f, 0, 0}, {0.2f, 0, 0.4f});
  return b;
}
Blow LeftSlash() {  // the left blade sweeps back from left to right
  Blow b{Combat(), Combat(), Combat()};
  Twist(b.windup, 0.7f);
  LeftArm(b.windup, {-0.4f, -1.3f, 0.3f}, {-0.6f, 0, 0}, {0.3f, 0, 0.4f});
  Twist(b.strike, -0.6f);
  LeftArm(b.strike, {-1.4f, 0.3f, -0.4f}, {-0.15f, 0, 0}, {0.1f, 0, -0.5f});
  b.strike.a[kLThigh].x = -0.8f;
  Twist(b.follow, -0.4f);
  LeftArm(b.follow, {-1.0f, 0.5f, -0.3f}, {-0.4f, 0, 0}, {0.2f, 0, -0.4f});
  return b;
}
Blow Overhead(float drop) {  // both blades high over the head, then down in front
  Blow b{Combat(), Combat(), Combat()};
  b.windup.a[kSpine].x = -0.2f;
  Arms(b.windup, {-2.6f, 0.2f, 0}, {-0.6f, 0, 0}, {0.2f, 0, 0});
  b.windup.root.z = -0.02f;
  b.strike.a[kSpine].x = 0.5f;
  b.strike.a[kSpine1].x = 0.2f;
  Arms(b.strike, {-1.2f, 0.15f, 0}, {-0.1f, 0, 0}, {0.3f, 0, 0});
  b.strike.root.z = -drop;
  Legs(b.strike, -0.9f, 1.4f, -0.4f, 0.2f);
  b.follow = b.strike;
  Arms(b.follow, {-0.9f, 0.2f, 0}, {-0.3f, 0, 0}, {0.4f, 0, 0});
  return b;
}
Blow Thrust(float reach) {  // both blades driven straight ahead
  Blow b{Combat(), Combat(), Combat()};
  Twist(b.windup, -0.3f);
  Arms(b.windup, {0.3f, 0.4f, 0}, {-1.6f, 0, 0}, {0.9f, 0, 0});
  b.strike.a[kSpine].x = 0.35f;
  Arms(b.strike, {-1.5f * reach, 0.1f, 0}, {-0.05f, 0, 0}, {-0.2f, 0, 0});
  b.strike.a[kLThigh].x = -1.0f;
  b.strike.a[kLCalf].x = 1.0f;
  b.strike.a[kRThigh].x = 0.2f;
  b.follow = b.strike;
  Arms(b.follow, {-1.1f, 0.2f, 0}, {-0.4f, 0, 0}, {0.3f, 0, 0});
  return b;
}
Blow Uppercut() {  // low to high with the right blade
  Blow b{Combat(), Combat(), Combat()};
  b.windup.root.z = -0.18f;
  Legs(b.windup, -0.8f, 1.3f, -0.4f, 0.15f);
  b.windup.a[kSpine].x = 0.5f;
  RightArm(b.windup, {0.5f, 0.3f, 0}, {-0.3f, 0, 0}, {0.8f, 0, 0});
  b.strike.root.z = 0.04f;
  Legs(b.strike, -0.2f, 0.2f, 0.2f, 0.1f);
  b.strike.a[kSpine].x = -0.25f;
  RightArm(b.strike, {-2.7f, 0.1f, 0}, {-0.2f, 0, 0}, {-0.3f, 0, 0});
  b.follow = b.strike;
  RightArm(b.follow, {-2.2f, 0.3f, 0}, {-0.5f, 0, 0}, {0, 0, 0});
  return b;
}

// Whirl: the body turns a full circle about the spine with both blades out.
Animation Spin(const char* name, float duration, float turns, float step) {
  return {name, duration, false, [=](float f) {
            Pose p = Combat();
            const float e = Smooth(f);
            const float out = std::sin(kPi * f);
            Twist(p, 0.0f);
            p.a[kPelvis].z = 2 * kPi * turns * e;
            Arms(p, {-0.45f - 0.9f * out, 0.3f + 1.1f * out, 0}, {-0.95f + 0.8f * out, 0, 0},
                 {0.55f - 0.5f * out, 0, 0});
            ChainLag(p, 0.3f * out);
            p.root = {0, -step * e, -0.07f - 0.05f * out};
            return p;
          }};
}

// A fall: the whole body tips about the pelvis (backwards for tip < 0) and drops
// to the floor while it slides `slide` along dir.
Animation Fall(const char* name, float duration, float tip, V3 slide, float roll) {
  Pose start = Combat();
  Pose hit = Combat();
  hit.a[kSpine].x = -0.5f;
  hit.a[kHead].x = -0.4f;
  Arms(hit, {0.2f, 0.9f, 0}, {-0.3f, 0, 0}, {0, 0, 0});
  hit.root = slide * 0.3f + V3{0, 0, -0.05f};
  Pose knees = hit;
  knees.root = slide * 0.6f + V3{0, 0, -0.45f};
  knees.a[kPelvis] = {tip * 0.4f, roll * 0.5f, 0};
  Legs(knees, -1.3f, 1.9f, 0, 0.2f);
  Pose down;
  down.root = slide + V3{0, 0, -0.86f};
  down.a[kPelvis] = {tip, roll, 0.2f};
  down.a[kSpine].x = 0.1f;
  down.a[kHead] = {-0.2f, 0, 0.5f};
  Legs(down, -0.3f, 0.4f, 0.6f, 0.3f);
  Arms(down, {-0.4f, 1.4f, 0}, {-0.6f, 0, 0}, {0.2f, 0, 0});
  return {name, duration, false,
          Keys({{0, start}, {0.15f, hit}, {0.5f, knees}, {0.85f, down}, {1, down}})};
}

std::vector<Animation> Animations() {
  std::vector<Animation> list;
  list.push_back({"idle_01", 2.4f, true, [](float f) { return Breathe(Stand(), f, 1.0f); }});
  list.push_back({"idle_combat_01", 1.6f, true, [](float f) {
                    Pose p = Breathe(Combat(), f, 1.5f);
                    p.a[kLHand].z = 0.1f * Wave(f);
                    p.a[kRHand].z = -0.1f * Wave(f);
                    return p;
                  }});
  // The run matches the footstep loop: two steps in 0.72 s; the walk two in 1.1 s.
  list.push_back({"run_01", 0.72f, true, [](float f) { return Stride(f, 0.75f, 0.04f, 0.3f); }});
  list.push_back({"walk_01", 1.1f, true, [](float f) {
                    Pose p = Stride(f, 0.4f, 0.015f, 0.05f);
                    p.root.z += 0.05f;
                    for (int b : {kLCalf, kRCalf}) p.a[b].x *= 0.5f;
                    return p;
                  }});
  // Random idles: look around; roll the shoulders and flick the blades; shift weight.
  list.push_back({"random_01", 3.0f, false, [](float f) {
                    Pose p = Breathe(Stand(), f, 1.0f);
                    const float look = std::sin(2 * kPi * f) * std::sin(kPi * f);
                    p.a[kHead].z = 0.9f * look;
                    p.a[kNeck].z = 0.3f * look;
                    p.a[kSpine1].z = 0.15f * look;
                    return p;
                  }});
  list.push_back({"random_02", 2.5f, false, [](float f) {
                    Pose p = Breathe(Stand(), f, 1.0f);
                    const float up = std::sin(kPi * f);
                    Arms(p, {-0.3f * up, 0.1f + 0.5f * up, 0}, {-0.35f - 1.2f * up, 0, 0},
                         {0.2f + 0.6f * Wave(f, 3), 0, 0});
                    p.a[kLClav].x = p.a[kRClav].x = 0.3f * Wave(f, 2);
                    ChainLag(p, 0.3f * Wave(f, 3));
                    return p;
                  }});
  list.push_back({"random_03", 2.8f, false, [](float f) {
                    Pose p = Breathe(Stand(), f, 1.0f);
                    const float shift = std::sin(kPi * f);
                    p.a[kPelvis].y = 0.08f * shift;
                    p.a[kSpine].y = -0.12f * shift;
                    p.a[kLThigh].y = -0.08f * shift;
                    p.a[kRThigh] = {0, -0.08f * shift, 0};
                    p.a[kRCalf].x = 0.4f * shift;
                    p.a[kHead].y = 0.1f * shift;
                    return p;
                  }});
  // Forward is -y, the figure's left +x.
  list.push_back(Dash("dash_front_01", {0, -1, 0}, 3.0f));
  list.push_back(Dash("dash_back_01", {0, 1, 0}, 2.6f));
  list.push_back(Dash("dash_left_01", {1, 0, 0}, 2.6f));
  list.push_back(Dash("dash_right_01", {-1, 0, 0}, 2.6f));
  Pose guard = Combat();
  guard.root.z = -0.12f;
  Legs(guard, -0.55f, 0.9f, -0.3f, 0.15f);
  guard.a[kSpine].x = 0.2f;
  Arms(guard, {-1.2f, -0.35f, 0.3f}, {-1.4f, 0, 0.4f},
       {0.2f, 0, 0.6f});  // blades crossed before the face
  Pose struck = guard;
  struck.root = {0, 0.3f, -0.16f};
  struck.a[kSpine].x = -0.15f;
  struck.a[kHead].x = -0.1f;
  list.push_back({"cover_in_01", 0.35f, false, Keys({{0, Combat()}, {1, guard}})});
  list.push_back({"cover_out_01", 0.35f, false, Keys({{0, guard}, {1, Combat()}})});
  list.push_back({"cover_hit_01", 0.45f, false, Keys({{0, guard}, {0.25f, struck}, {1, [&] {
                                                                                      Pose p =
                                                                                          guard;
                                                                                      p.root.y =
                                                                                          0.3f;
                                                                                      return p;
                                                                                    }()}})});
  list.push_back(Attack("X1", 0.7f, 0.3f, RightSlash()));
  list.push_back(Attack("X2", 0.7f, 0.3f, LeftSlash()));
  list.push_back(Attack("X3", 0.85f, 0.4f, Overhead(0.15f)));
  list.push_back(Spin("X4", 0.8f, 1.0f, 0.5f));
  {  // X5: a leap and a slam that sends the shock wave
    Blow b = Overhead(0.25f);
    b.windup.root.z = 0.45f;
    Legs(b.windup, -0.9f, 1.2f, 0.3f, 0.1f);
    Animation a = Attack("X5", 1.4f, 1.2f, b, 0.55f);
    list.push_back(a);
  }
  list.push_back(Attack("Y1", 0.8f, 0.3f, Uppercut()));
  list.push_back(Attack("Y2", 0.9f, 0.6f, Thrust(1.0f)));
  {  // Y3: both blades into the ground
    Blow b = Overhead(0.4f);
    b.strike.a[kSpine].x = 0.8f;
    Arms(b.strike, {-0.6f, 0.1f, 0}, {-0.1f, 0, 0}, {0.9f, 0, 0});
    b.follow = b.strike;
    list.push_back(Attack("Y3", 1.4f, 0.4f, b, 0.5f));
  }
  {  // holding: drawn back, the blades trembling with the charge
    Pose held = Combat();
    Twist(held, -0.5f);
    held.root.z = -0.12f;
    Arms(held, {0.5f, 0.5f, 0}, {-1.5f, 0, 0}, {0.9f, 0, 0});
    list.push_back({"holding", 1.0f, false, [=](float f) {
                      Pose p = Lerp(Combat(), held, Smooth(std::min(1.0f, f * 4)));
                      ChainLag(p, 0.08f * Wave(f, 8));
                      p.a[kSpine1].y = 0.02f * Wave(f, 6);
                      return p;
                    }});
  }
  list.push_back(Attack("HOLDING_ATTACK", 0.9f, 1.4f, Thrust(1.1f), 0.35f));
  {  // back from any blow's end to the stance
    Pose end = Combat();
    Twist(end, 0.4f);
    Arms(end, {-1.0f, 0.3f, 0}, {-0.4f, 0, 0}, {0.2f, 0, 0});
    list.push_back({"attack_to_idle", 0.4f, false, Keys({{0, end}, {1, Combat()}})});
  }
  list.push_back(Spin("combo_auto_01", 1.0f, 1.0f, 0.8f));
  list.push_back(Spin("combo_auto_02", 1.2f, 2.0f, 1.2f));
  {  // gas: the left hand sweeps across the front
    list.push_back({"gas_01", 1.6f, false, [](float f) {
                      Pose p = Combat();
                      const float in = Smooth(std::min(1.0f, f * 4)), sweep = Smooth(f);
                      const float out = Smooth(std::clamp((f - 0.85f) / 0.15f, 0.0f, 1.0f));
                      Twist(p, (0.6f - 1.2f * sweep) * in * (1 - out));
                      LeftArm(p, {-1.5f * in * (1 - out) - 0.45f * out, -0.3f, 0.3f - 0.6f * sweep},
                              {-0.2f, 0, 0}, {-0.4f * in, 0, 0});
                      return p;
                    }});
  }
  {  // grenades: the right arm throws overhand
    Blow b{Combat(), Combat(), Combat()};
    Twist(b.windup, -0.8f);
    RightArm(b.windup, {0.6f, 1.2f, 0}, {-1.8f, 0, 0}, {0.5f, 0, 0});
    b.windup.a[kSpine].x = -0.15f;
    Twist(b.strike, 0.5f);
    RightArm(b.strike, {-2.2f, 0.2f, 0}, {-0.1f, 0, 0}, {-0.4f, 0, 0});
    b.strike.a[kSpine].x = 0.3f;
    list.push_back(Attack("grenades_01", 1.4f, 0.1f, b, 0.4f));
  }
  {  // hits: knocked back, then recovered
    Pose rock = Combat();
    rock.a[kSpine].x = -0.45f;
    rock.a[kHead].x = -0.35f;
    Arms(rock, {0.1f, 0.7f, 0}, {-0.5f, 0, 0}, {0.2f, 0, 0});
    rock.root = {0, 0.35f, -0.05f};
    Pose back = Combat();
    back.root.y = 0.4f;
    list.push_back({"simple_hit_01", 0.5f, false, Keys({{0, Combat()}, {0.3f, rock}, {1, back}})});
    Pose thrown = rock;
    thrown.root = {0, 1.1f, 0.1f};
    thrown.a[kSpine].x = -0.7f;
    Legs(thrown, -0.6f, 0.3f, 0.3f, 0.3f);
    Pose caught = Combat();
    caught.root = {0, 1.5f, -0.25f};
    Legs(caught, -0.9f, 1.5f, -0.4f, 0.2f);
    Pose up = Combat();
    up.root.y = 1.5f;
    list.push_back({"wave_hit_01", 0.9f, false,
                    Keys({{0, Combat()}, {0.3f, thrown}, {0.6f, caught}, {1, up}})});
  }
  list.push_back(Fall("death_01", 1.6f, -1.45f, {0, 0.5f, 0}, 0.1f));
  list.push_back(Fall("death_wave_01", 2.0f, -1.5f, {0.4f, 2.5f, 0}, 0.5f));
  // Fatalities: the victim stands in front; blows chained into one action.
  auto chain = [](const char* name, float duration, std::vector<Blow> blows, float step) {
    std::vector<Key> keys{{0, Combat()}};
    const float span = 0.9f / blows.size();
    for (size_t i = 0; i < blows.size(); ++i) {
      Blow b = blows[i];
      const float at = span * i;
      for (Pose* p : {&b.windup, &b.strike, &b.follow}) p->root.y += -step * (i + 1) / blows.size();
      ChainLag(b.windup, -0.25f);
      ChainLag(b.strike, 0.35f);
      keys.push_back({at + span * 0.35f, b.windup});
      keys.push_back({at + span * 0.6f, b.strike});
      keys.push_back({at + span, b.follow});
    }
    Pose end = Combat();
    end.root.y = -step;
    keys.push_back({1, end});
    return Animation{name, duration, false, Keys(keys)};
  };
  list.push_back(chain("fatality_01", 2.4f, {Thrust(1.0f), RightSlash(), Overhead(0.2f)}, 0.4f));
  list.push_back(chain("fatality_02", 2.2f, {LeftSlash(), Uppercut(), Thrust(1.1f)}, 0.3f));
  list.push_back(
      chain("fatality_03", 2.6f, {Overhead(0.3f), LeftSlash(), RightSlash(), Thrust(1.2f)}, 0.5f));
  list.push_back(
      chain("fatality_04", 3.0f, {Uppercut(), Overhead(0.3f), Thrust(1.0f), Overhead(0.4f)}, 0.6f));
  return list;
}

std::string TemplateEntry() {
  std::vector<std::string> names;
  for (const Animation& a : Animations()) names.push_back(a.name);
  return gen::TemplateEntry("brannoc", "brannoc", names);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::string(argv[1]) == "--template") {
    std::fputs(TemplateEntry().c_str(), stdout);
    return 0;
  }
  const std::string dir = argc > 1 ? argv[1] : "Data/anims";
  const std::string textures = argc > 2 ? argv[2] : argc > 1 ? dir : "Data/textures/characters";
  std::filesystem::create_directories(textures);
  bool ok = WriteText(dir + "/brannoc.xsf", SkeletonText(kSkeleton));
  ok = WriteText(dir + "/brannoc_body.xmf", Body()) && ok;
  ok = WriteColours("gen_player", textures + "/brannoc.png", kClothColours) && ok;
  for (const Animation& a : Animations())
    ok = WriteText(dir + "/brannoc_" + a.name + ".xaf", AnimationText(kSkeleton, a.duration, a.at, a.cycle)) &&
         ok;
  return ok ? 0 : 1;
}
