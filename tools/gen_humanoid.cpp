// Writes our skinned humanoid in the animation library's XML formats:
//   humanoid.xsf        skeleton ("Bip01" root, spine, head, arms, legs, a sword
//                       held in the right hand: "Bone01" at the grip to "Bone06"
//                       at the tip)
//   humanoid.xmf        one submesh of boxes, each rigidly skinned to one bone
//   humanoid_idle.xaf   2 s breathing cycle (root stays in place)
//   humanoid_run.xaf    0.8 s running cycle in place
//   humanoid_dash.xaf   0.8 s running action whose root moves 2.4 m forward
//   humanoid_attack.xaf 0.6 s sword swing action, no root translation
// and the same figure with 50 bones, all of them moving in every animation:
//   humanoid_full.xsf   the 24 bones above, then fingers (two joints each), toes,
//                       a jaw and a three-bone ponytail
//   humanoid_full.xmf   the boxes, the new bones' too; vertices near a joint are
//                       blended between the bone and its parent
//   humanoid_full_idle.xaf, _run.xaf, _dash.xaf, _attack.xaf
// The data is authored z-up with the figure facing -y, as the loading mode that
// start-up sets (rotation about x) expects; loaded that way the figure stands y-up
// and runs towards +z.
// Usage: gen_humanoid [output folder]   (default Data/anims)
#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "tools/gen_text.h"

namespace {

struct V3 {
  float x, y, z;
};
V3 operator+(V3 a, V3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
V3 operator-(V3 a, V3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
V3 operator*(V3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }

struct Q {
  float x, y, z, w;
};
Q Identity() { return {0, 0, 0, 1}; }
// The library's quaternions are the conjugates of the usual ones; bind poses are
// identity here, so only animation keys carry rotations, all of them about one
// axis, and the sign only decides the direction of the swing.
Q AxisAngle(V3 axis, float angle) {
  const float s = std::sin(angle * 0.5f);
  return {-axis.x * s, -axis.y * s, -axis.z * s, std::cos(angle * 0.5f)};
}

struct Bone {
  const char* name;
  int parent;
  V3 position;  // absolute bind position; bind rotations are identity
};

// Which figure is being written: the 24-bone one or the full one.
bool g_full = false;

const std::vector<Bone>& BaseBones() {
  static const std::vector<Bone> bones = {
      {"Bip01", -1, {0, 0, 1.0f}},                       // 0
      {"Bip01 Pelvis", 0, {0, 0, 1.0f}},                 // 1
      {"Bip01 Spine", 1, {0, 0, 1.1f}},                  // 2
      {"Bip01 Spine2", 2, {0, 0, 1.32f}},                // 3
      {"Bip01 Neck", 3, {0, 0, 1.52f}},                  // 4
      {"Bip01 Head", 4, {0, 0, 1.6f}},                   // 5
      {"Bip01 L UpperArm", 3, {0.22f, 0, 1.48f}},        // 6
      {"Bip01 L Forearm", 6, {0.25f, 0, 1.2f}},          // 7
      {"Bip01 L Hand", 7, {0.27f, 0, 0.95f}},            // 8
      {"Bip01 R UpperArm", 3, {-0.22f, 0, 1.48f}},       // 9
      {"Bip01 R Forearm", 9, {-0.25f, 0, 1.2f}},         // 10
      {"Bip01 R Hand", 10, {-0.27f, 0, 0.95f}},          // 11
      {"Bone01", 11, {-0.27f, -0.05f, 0.88f}},           // 12 grip
      {"Bone02", 12, {-0.27f, -0.2f, 0.88f}},            // 13 guard
      {"Bone03", 13, {-0.27f, -0.4f, 0.88f}},            // 14
      {"Bone04", 14, {-0.27f, -0.6f, 0.88f}},            // 15
      {"Bone05", 15, {-0.27f, -0.8f, 0.88f}},            // 16
      {"Bone06", 16, {-0.27f, -1.0f, 0.88f}},            // 17 tip
      {"Bip01 L Thigh", 1, {0.11f, 0, 0.95f}},           // 18
      {"Bip01 L Calf", 18, {0.11f, 0, 0.52f}},           // 19
      {"Bip01 L Foot", 19, {0.11f, 0, 0.08f}},           // 20
      {"Bip01 R Thigh", 1, {-0.11f, 0, 0.95f}},          // 21
      {"Bip01 R Calf", 21, {-0.11f, 0, 0.52f}},          // 22
      {"Bip01 R Foot", 22, {-0.11f, 0, 0.08f}},          // 23
  };
  return bones;
}

// clang-format off
enum BoneId {
  kRoot = 0, kPelvis, kSpine, kSpine2, kNeck, kHead, kLUpperArm, kLForearm, kLHand,
  kRUpperArm, kRForearm, kRHand, kBone01, kBone02, kBone03, kBone04, kBone05, kBone06,
  kLThigh, kLCalf, kLFoot, kRThigh, kRCalf, kRFoot, kBaseBoneCount
};
// clang-format on
constexpr int kMaxBones = 50;

// The base bones, then (parents first) each hand's five fingers of two joints,
// the toes, the jaw and the ponytail.
const std::vector<Bone>& FullBones() {
  static const std::vector<Bone> bones = [] {
    static std::vector<std::string> names;
    names.reserve(kMaxBones);
    std::vector<Bone> list = BaseBones();
    auto add = [&](std::string name, int parent, V3 position) {
      names.push_back(std::move(name));
      list.push_back({names.back().c_str(), parent, position});
      return static_cast<int>(list.size()) - 1;
    };
    for (int hand : {kLHand, kRHand}) {
      const char* side = hand == kLHand ? "L" : "R";
      const V3 at = BaseBones()[hand].position;
      for (int f = 0; f < 5; ++f) {
        const V3 knuckle = at + V3{0.0f, -0.04f + 0.02f * f, -0.12f};
        const std::string name = std::string("Bip01 ") + side + " Finger" + std::to_string(f);
        const int first = add(name, hand, knuckle);
        add(name + "1", first, knuckle + V3{0.0f, 0.0f, -0.04f});
      }
    }
    add("Bip01 L Toe0", kLFoot, {0.11f, -0.15f, 0.03f});
    add("Bip01 R Toe0", kRFoot, {-0.11f, -0.15f, 0.03f});
    add("Bip01 Jaw", kHead, {0.0f, -0.05f, 1.64f});
    const int tail = add("Bip01 Ponytail1", kHead, {0.0f, 0.11f, 1.78f});
    const int tail2 = add("Bip01 Ponytail2", tail, {0.0f, 0.14f, 1.66f});
    add("Bip01 Ponytail3", tail2, {0.0f, 0.15f, 1.54f});
    return list;
  }();
  return bones;
}

const std::vector<Bone>& Bones() { return g_full ? FullBones() : BaseBones(); }
int BoneCount() { return static_cast<int>(Bones().size()); }

V3 Relative(int bone) {
  const Bone& b = Bones()[bone];
  return b.parent < 0 ? b.position : b.position - Bones()[b.parent].position;
}

std::string F3(V3 v) {
  char buf[96];
  std::snprintf(buf, sizeof buf, "%.6g %.6g %.6g", v.x, v.y, v.z);
  return buf;
}
std::string F4(Q q) {
  char buf[128];
  std::snprintf(buf, sizeof buf, "%.6g %.6g %.6g %.6g", q.x, q.y, q.z, q.w);
  return buf;
}

bool WriteText(const std::string& path, const std::string& text) {
  return gen::WriteText("gen_humanoid", path, text);
}

std::string Skeleton() {
  const auto& bones = Bones();
  std::string s = "<HEADER MAGIC=\"XSF\" VERSION=\"919\" />\n";
  s += "<SKELETON NUMBONES=\"" + std::to_string(bones.size()) + "\">\n";
  for (size_t i = 0; i < bones.size(); ++i) {
    std::vector<int> children;
    for (size_t c = 0; c < bones.size(); ++c)
      if (bones[c].parent == static_cast<int>(i)) children.push_back(static_cast<int>(c));
    s += "  <BONE ID=\"" + std::to_string(i) + "\" NAME=\"" + bones[i].name + "\" NUMCHILDS=\"" +
         std::to_string(children.size()) + "\">\n";
    s += "    <TRANSLATION>" + F3(Relative(static_cast<int>(i))) + "</TRANSLATION>\n";
    s += "    <ROTATION>" + F4(Identity()) + "</ROTATION>\n";
    s += "    <LOCALTRANSLATION>" + F3(bones[i].position * -1.0f) + "</LOCALTRANSLATION>\n";
    s += "    <LOCALROTATION>" + F4(Identity()) + "</LOCALROTATION>\n";
    s += "    <PARENTID>" + std::to_string(bones[i].parent) + "</PARENTID>\n";
    for (int c : children) s += "    <CHILDID>" + std::to_string(c) + "</CHILDID>\n";
    s += "  </BONE>\n";
  }
  s += "</SKELETON>\n";
  return s;
}

// A box around the segment from a to b (half extents hx, hy across it), 4 vertices
// per face so that every face has its own normal.
struct Vertex {
  V3 pos, norm;
  float u, v;
  int bone;
  int parent = -1;  // the second influence, or none
  float parentWeight = 0.0f;
};

float Distance(V3 a, V3 b) {
  const V3 d = a - b;
  return std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
}

// In the full figure a vertex near its bone's joint follows the parent a little:
// up to 30 %, fading out 0.15 m from the joint, in steps of 1 %.
void Blend(Vertex& v) {
  if (!g_full) return;
  const Bone& bone = Bones()[v.bone];
  if (bone.parent < 0) return;
  const float near = 1.0f - Distance(v.pos, bone.position) / 0.15f;
  const float weight = std::round(30.0f * std::fmax(0.0f, near)) / 100.0f;
  if (weight <= 0.0f) return;
  v.parent = bone.parent;
  v.parentWeight = weight;
}

void AddBox(std::vector<Vertex>& verts, std::vector<int>& faces, V3 lo, V3 hi, int bone) {
  struct Face {
    V3 n;
    int c[4];  // corner indices: bit 0 x, bit 1 y, bit 2 z
  };
  static const Face kFaces[6] = {
      {{1, 0, 0}, {1, 3, 7, 5}},  {{-1, 0, 0}, {0, 4, 6, 2}}, {{0, 1, 0}, {2, 6, 7, 3}},
      {{0, -1, 0}, {0, 1, 5, 4}}, {{0, 0, 1}, {4, 5, 7, 6}},  {{0, 0, -1}, {0, 2, 3, 1}},
  };
  for (const Face& f : kFaces) {
    const int base = static_cast<int>(verts.size());
    for (int k = 0; k < 4; ++k) {
      const int c = f.c[k];
      V3 p{(c & 1) ? hi.x : lo.x, (c & 2) ? hi.y : lo.y, (c & 4) ? hi.z : lo.z};
      Vertex vertex{p, f.n, (k == 1 || k == 2) ? 1.0f : 0.0f, (k >= 2) ? 1.0f : 0.0f, bone};
      Blend(vertex);
      verts.push_back(vertex);
    }
    const int tri[6] = {0, 1, 2, 0, 2, 3};
    for (int t : tri) faces.push_back(base + t);
  }
}

std::string Mesh() {
  std::vector<Vertex> verts;
  std::vector<int> faces;
  const auto& b = Bones();
  auto limb = [&](int bone, int end, float half) {
    V3 p = b[bone].position, q = b[end].position;
    V3 lo{std::fmin(p.x, q.x) - half, std::fmin(p.y, q.y) - half, std::fmin(p.z, q.z)};
    V3 hi{std::fmax(p.x, q.x) + half, std::fmax(p.y, q.y) + half, std::fmax(p.z, q.z)};
    AddBox(verts, faces, lo, hi, bone);
  };
  AddBox(verts, faces, {-0.16f, -0.1f, 0.92f}, {0.16f, 0.1f, 1.1f}, kPelvis);
  AddBox(verts, faces, {-0.18f, -0.11f, 1.1f}, {0.18f, 0.11f, 1.32f}, kSpine);
  AddBox(verts, faces, {-0.22f, -0.12f, 1.32f}, {0.22f, 0.12f, 1.52f}, kSpine2);
  AddBox(verts, faces, {-0.05f, -0.05f, 1.52f}, {0.05f, 0.05f, 1.6f}, kNeck);
  AddBox(verts, faces, {-0.1f, -0.11f, 1.6f}, {0.1f, 0.11f, 1.84f}, kHead);
  limb(kLUpperArm, kLForearm, 0.05f);
  limb(kLForearm, kLHand, 0.045f);
  AddBox(verts, faces, {0.23f, -0.04f, 0.82f}, {0.31f, 0.04f, 0.95f}, kLHand);
  limb(kRUpperArm, kRForearm, 0.05f);
  limb(kRForearm, kRHand, 0.045f);
  AddBox(verts, faces, {-0.31f, -0.04f, 0.82f}, {-0.23f, 0.04f, 0.95f}, kRHand);
  // Sword: grip, guard and blade, each piece on its own bone.
  AddBox(verts, faces, {-0.29f, -0.2f, 0.86f}, {-0.25f, 0.05f, 0.9f}, kBone01);
  AddBox(verts, faces, {-0.34f, -0.22f, 0.85f}, {-0.2f, -0.2f, 0.91f}, kBone02);
  for (int piece = kBone03; piece <= kBone05; ++piece) {
    V3 p = b[piece - 1].position, q = b[piece].position;
    AddBox(verts, faces, {-0.285f, q.y, 0.875f}, {-0.255f, p.y, 0.885f}, piece);
  }
  AddBox(verts, faces, {-0.285f, -1.0f, 0.875f}, {-0.255f, b[kBone05].position.y, 0.885f}, kBone06);
  limb(kLThigh, kLCalf, 0.07f);
  limb(kLCalf, kLFoot, 0.055f);
  AddBox(verts, faces, {0.06f, -0.2f, 0.0f}, {0.16f, 0.05f, 0.08f}, kLFoot);
  limb(kRThigh, kRCalf, 0.07f);
  limb(kRCalf, kRFoot, 0.055f);
  AddBox(verts, faces, {-0.16f, -0.2f, 0.0f}, {-0.06f, 0.05f, 0.08f}, kRFoot);
  if (g_full) {
    // Each added bone reaches to its child, or a short way on at the end of a chain.
    for (int bone = kBaseBoneCount; bone < BoneCount(); ++bone) {
      int child = -1;
      for (int c = bone + 1; c < BoneCount() && child < 0; ++c)
        if (b[c].parent == bone) child = c;
      const V3 p = b[bone].position;
      const V3 q = child >= 0 ? b[child].position : p + (p - b[b[bone].parent].position) * 0.6f;
      const float half = b[bone].name[6] == 'P' ? 0.03f : 0.01f;  // ponytail or finger
      V3 lo{std::fmin(p.x, q.x) - half, std::fmin(p.y, q.y) - half, std::fmin(p.z, q.z) - half};
      V3 hi{std::fmax(p.x, q.x) + half, std::fmax(p.y, q.y) + half, std::fmax(p.z, q.z) + half};
      AddBox(verts, faces, lo, hi, bone);
    }
  }

  std::string s = "<HEADER MAGIC=\"XMF\" VERSION=\"919\" />\n";
  s += "<MESH NUMSUBMESH=\"1\">\n";
  s += "  <SUBMESH NUMVERTICES=\"" + std::to_string(verts.size()) + "\" NUMFACES=\"" +
       std::to_string(faces.size() / 3) +
       "\" MATERIAL=\"0\" NUMLODSTEPS=\"0\" NUMSPRINGS=\"0\" NUMTEXCOORDS=\"1\">\n";
  char buf[64];
  for (size_t i = 0; i < verts.size(); ++i) {
    const Vertex& v = verts[i];
    s += "    <VERTEX ID=\"" + std::to_string(i) + "\" NUMINFLUENCES=\"" +
         (v.parent >= 0 ? "2" : "1") + "\">\n";
    s += "      <POS>" + F3(v.pos) + "</POS>\n";
    s += "      <NORM>" + F3(v.norm) + "</NORM>\n";
    std::snprintf(buf, sizeof buf, "%.6g %.6g", v.u, v.v);
    s += std::string("      <TEXCOORD>") + buf + "</TEXCOORD>\n";
    if (v.parent >= 0) {
      std::snprintf(buf, sizeof buf, "%.2f", 1.0f - v.parentWeight);
      s += "      <INFLUENCE ID=\"" + std::to_string(v.bone) + "\">" + buf + "</INFLUENCE>\n";
      std::snprintf(buf, sizeof buf, "%.2f", v.parentWeight);
      s += "      <INFLUENCE ID=\"" + std::to_string(v.parent) + "\">" + buf + "</INFLUENCE>\n";
    } else {
      s += "      <INFLUENCE ID=\"" + std::to_string(v.bone) + "\">1</INFLUENCE>\n";
    }
    s += "    </VERTEX>\n";
  }
  for (size_t f = 0; f + 2 < faces.size(); f += 3) {
    s += "    <FACE VERTEXID=\"" + std::to_string(faces[f]) + " " + std::to_string(faces[f + 1]) + " " +
         std::to_string(faces[f + 2]) + "\" />\n";
  }
  s += "  </SUBMESH>\n</MESH>\n";
  return s;
}

// One key per bone and sample: translation relative to the parent, rotation.
struct Pose {
  V3 t[kMaxBones];
  Q r[kMaxBones];
  bool animated[kMaxBones];
};

Pose BindPose() {
  Pose p;
  for (int i = 0; i < BoneCount(); ++i) {
    p.t[i] = Relative(i);
    p.r[i] = Identity();
    p.animated[i] = false;
  }
  return p;
}

void Secondary(Pose& p, float phase);

// Loaded y-up, a positive angle about x tips a limb backwards (towards -z).
// Samples pose(phase) at `keys` + 1 evenly spaced times; the last key is the
// first one again at the full duration so that cycles loop without a seam.
std::string Animation(float duration, int keys, const std::function<void(Pose&, float)>& pose) {
  std::vector<Pose> samples;
  for (int k = 0; k <= keys; ++k) {
    Pose p = BindPose();
    pose(p, static_cast<float>(k) / keys);
    if (g_full) Secondary(p, static_cast<float>(k) / keys);
    samples.push_back(p);
  }
  std::vector<int> tracks;
  for (int i = 0; i < BoneCount(); ++i)
    if (samples[0].animated[i]) tracks.push_back(i);
  std::string s = "<HEADER MAGIC=\"XAF\" VERSION=\"919\" />\n";
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.6g", duration);
  s += std::string("<ANIMATION DURATION=\"") + buf + "\" NUMTRACKS=\"" + std::to_string(tracks.size()) +
       "\">\n";
  for (int bone : tracks) {
    s += "  <TRACK BONEID=\"" + std::to_string(bone) + "\" NUMKEYFRAMES=\"" + std::to_string(keys + 1) +
         "\">\n";
    for (int k = 0; k <= keys; ++k) {
      std::snprintf(buf, sizeof buf, "%.6g", duration * k / keys);
      s += std::string("    <KEYFRAME TIME=\"") + buf + "\">\n";
      s += "      <TRANSLATION>" + F3(samples[k].t[bone]) + "</TRANSLATION>\n";
      s += "      <ROTATION>" + F4(samples[k].r[bone]) + "</ROTATION>\n";
      s += "    </KEYFRAME>\n";
    }
    s += "  </TRACK>\n";
  }
  s += "</ANIMATION>\n";
  return s;
}

constexpr float kPi = 3.14159265f;
const V3 kAxisX{1, 0, 0};
const V3 kAxisZ{0, 0, 1};

void Rotate(Pose& p, int bone, V3 axis, float angle) {
  p.r[bone] = AxisAngle(axis, angle);
  p.animated[bone] = true;
}
void Move(Pose& p, int bone, V3 offset) {
  p.t[bone] = Relative(bone) + offset;
  p.animated[bone] = true;
}

// The full figure's bones that the motion leaves alone: fingers curl, toes flex,
// the jaw and ponytail swing, and every other bone sways slightly, each on its own
// beat, once or twice per loop so that cycles stay seamless.
void Secondary(Pose& p, float phase) {
  for (int bone = 0; bone < BoneCount(); ++bone) {
    if (p.animated[bone]) continue;
    const float beat = std::sin(phase * 2 * kPi * (1 + bone % 2) + 0.7f * bone);
    if (bone >= kBaseBoneCount) {
      Rotate(p, bone, kAxisX, 0.15f + 0.15f * beat);
    } else {
      Rotate(p, bone, kAxisZ, 0.02f * beat);
    }
  }
}

void Idle(Pose& p, float phase) {
  const float s = std::sin(phase * 2 * kPi);
  Move(p, kRoot, {0, 0, -0.01f + 0.01f * s});
  Rotate(p, kSpine2, kAxisX, 0.03f * s);
  Rotate(p, kHead, kAxisX, -0.02f * s);
  Rotate(p, kLUpperArm, kAxisX, 0.05f * s);
  Rotate(p, kRUpperArm, kAxisX, -0.05f * s);
}

void RunLimbs(Pose& p, float phase) {
  const float s = std::sin(phase * 2 * kPi);
  const float c = std::cos(phase * 4 * kPi);
  Move(p, kRoot, {0, 0, -0.04f + 0.03f * c});
  Rotate(p, kSpine, kAxisX, 0.15f);  // lean into the run
  Rotate(p, kSpine2, kAxisZ, 0.12f * s);
  Rotate(p, kLThigh, kAxisX, 0.6f * s);
  Rotate(p, kRThigh, kAxisX, -0.6f * s);
  Rotate(p, kLCalf, kAxisX, 0.55f + 0.45f * s);
  Rotate(p, kRCalf, kAxisX, 0.55f - 0.45f * s);
  Rotate(p, kLUpperArm, kAxisX, -0.5f * s);
  Rotate(p, kRUpperArm, kAxisX, 0.5f * s);
  Rotate(p, kLForearm, kAxisX, -0.6f);
  Rotate(p, kRForearm, kAxisX, -0.6f);
}

void Dash(Pose& p, float phase) {
  RunLimbs(p, phase);
  // Forward is -y in the authored space.
  p.t[kRoot] = p.t[kRoot] + V3{0, -2.4f * phase, 0};
}

void Attack(Pose& p, float phase) {
  // Wind up, strike across, recover: the sword's bones sweep a wide arc.
  const float swing = std::sin(phase * kPi);
  Rotate(p, kSpine2, kAxisZ, 0.6f * std::sin(phase * 2 * kPi));
  Rotate(p, kRUpperArm, kAxisX, -1.4f * swing);
  Rotate(p, kRForearm, kAxisX, -0.4f * swing);
  Rotate(p, kRHand, kAxisZ, -0.8f * std::sin(phase * 2 * kPi));
  Move(p, kRoot, {0, 0, -0.05f * swing});
}

}  // namespace

int main(int argc, char** argv) {
  const std::string dir = argc > 1 ? argv[1] : "Data/anims";
  bool ok = WriteText(dir + "/humanoid.xsf", Skeleton());
  ok = WriteText(dir + "/humanoid.xmf", Mesh()) && ok;
  ok = WriteText(dir + "/humanoid_idle.xaf", Animation(2.0f, 16, Idle)) && ok;
  ok = WriteText(dir + "/humanoid_run.xaf", Animation(0.8f, 16, RunLimbs)) && ok;
  ok = WriteText(dir + "/humanoid_dash.xaf", Animation(0.8f, 16, Dash)) && ok;
  ok = WriteText(dir + "/humanoid_attack.xaf", Animation(0.6f, 12, Attack)) && ok;
  g_full = true;
  ok = WriteText(dir + "/humanoid_full.xsf", Skeleton()) && ok;
  ok = WriteText(dir + "/humanoid_full.xmf", Mesh()) && ok;
  ok = WriteText(dir + "/humanoid_full_idle.xaf", Animation(2.0f, 16, Idle)) && ok;
  ok = WriteText(dir + "/humanoid_full_run.xaf", Animation(0.8f, 16, RunLimbs)) && ok;
  ok = WriteText(dir + "/humanoid_full_dash.xaf", Animation(0.8f, 16, Dash)) && ok;
  ok = WriteText(dir + "/humanoid_full_attack.xaf", Animation(0.6f, 12, Attack)) && ok;
  return ok ? 0 : 1;
}
