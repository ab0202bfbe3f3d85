#pragma once
// What the generators of skinned figures share: the vector and rotation helpers,
// the skeleton, mesh and animation writers of the animation library's XML formats,
// the tube that every limb and garment is built from, the colour texture of flat
// cells, and poses keyed in time.
// Figures are authored z-up facing -y with their left towards +x; loaded with the
// rotation about x they stand y-up facing +z. Bind rotations are identity, so a
// pose is an Euler angle per bone (about the authored axes: +x tips a hanging limb
// backwards and an upright one forwards, +z turns towards the figure's left, +y
// tips a hanging limb towards -x) and an offset of the root bone.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "platform/image/ImageWriter.h"
#include "tools/gen_text.h"

namespace gen {

constexpr float kPi = 3.14159265f;

struct V3 {
  float x, y, z;
};
inline V3 operator+(V3 a, V3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline V3 operator-(V3 a, V3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline V3 operator*(V3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
inline V3 Cross(V3 a, V3 b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline float Length(V3 a) { return std::sqrt(a.x * a.x + a.y * a.y + a.z * a.z); }
inline V3 Normal(V3 a) { return a * (1.0f / Length(a)); }
inline V3 Mix(V3 a, V3 b, float f) { return a + (b - a) * f; }
inline V3 Mirror(V3 v) { return {-v.x, v.y, v.z}; }

struct Q {
  float x, y, z, w;
};
inline Q Mul(Q a, Q b) {
  return {
      a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y, a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x,
      a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w, a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z};
}
inline Q Axis(V3 axis, float angle) {
  const float s = std::sin(angle * 0.5f);
  return {axis.x * s, axis.y * s, axis.z * s, std::cos(angle * 0.5f)};
}
// Euler angles applied x, then y, then z. The library stores the conjugate.
inline Q LibraryRotation(V3 e) {
  const Q q = Mul(Axis({0, 0, 1}, e.z), Mul(Axis({0, 1, 0}, e.y), Axis({1, 0, 0}, e.x)));
  return {-q.x, -q.y, -q.z, q.w};
}
inline std::string F4(Q q) {
  return Num(q.x) + " " + Num(q.y) + " " + Num(q.z) + " " + Num(q.w);
}

struct Bone {
  const char* name;
  int parent;
  V3 position;  // absolute bind position; bind rotations are identity
};

inline V3 Relative(const std::vector<Bone>& bones, int bone) {
  const Bone& b = bones[bone];
  return b.parent < 0 ? b.position : b.position - bones[b.parent].position;
}

inline std::string SkeletonText(const std::vector<Bone>& bones) {
  const int count = static_cast<int>(bones.size());
  std::string s = "<HEADER MAGIC=\"XSF\" VERSION=\"919\" />\n";
  s += "<SKELETON NUMBONES=\"" + std::to_string(count) + "\">\n";
  for (int i = 0; i < count; ++i) {
    std::vector<int> children;
    for (int c = 0; c < count; ++c)
      if (bones[c].parent == i) children.push_back(c);
    s += "  <BONE ID=\"" + std::to_string(i) + "\" NAME=\"" + bones[i].name + "\" NUMCHILDS=\"" +
         std::to_string(children.size()) + "\">\n";
    s += "    <TRANSLATION>" + F3(Relative(bones, i)) + "</TRANSLATION>\n";
    s += "    <ROTATION>0 0 0 1</ROTATION>\n";
    s += "    <LOCALTRANSLATION>" + F3(bones[i].position * -1.0f) + "</LOCALTRANSLATION>\n";
    s += "    <LOCALROTATION>0 0 0 1</LOCALROTATION>\n";
    s += "    <PARENTID>" + std::to_string(bones[i].parent) + "</PARENTID>\n";
    for (int c : children) s += "    <CHILDID>" + std::to_string(c) + "</CHILDID>\n";
    s += "  </BONE>\n";
  }
  s += "</SKELETON>\n";
  return s;
}

// ---------------------------------------------------------------------------
// Meshes and their colour texture: each piece of a mesh samples the middle of one
// flat cell of the texture, the cell of its material.

struct SColour {
  float r, g, b;
};
constexpr int kTextureCells = 16, kCellTexels = 8;

struct Influence {
  int bone;
  float weight;
};
struct Vertex {
  V3 pos, norm;
  float u, v;
  std::vector<Influence> influences;
};
struct MeshData {
  std::vector<Vertex> verts;
  std::vector<int> faces;
};

// Weights in hundredths that add up to exactly 1; the bone itself keeps the rest.
inline std::vector<Influence> Weights(int bone, int parent, float toParent, int child,
                                      float toChild) {
  const int p = parent >= 0 ? static_cast<int>(std::lround(toParent * 100.0f)) : 0;
  const int c = child >= 0 ? static_cast<int>(std::lround(toChild * 100.0f)) : 0;
  std::vector<Influence> list{{bone, (100 - p - c) / 100.0f}};
  if (p > 0) list.push_back({parent, p / 100.0f});
  if (c > 0) list.push_back({child, c / 100.0f});
  return list;
}

// A closed tube around the segment a-b on `bone`: elliptic rings (rx across, ry the
// other way) whose size follows `profile`, capped at both ends. Near the start it
// blends with `parent`, near the end with `child` (either may be -1), at most half.
struct Tube {
  int bone;
  V3 a, b;
  float rx0, ry0, rx1, ry1;
  int parent = -1, child = -1;
  bool round = false;  // a head: the rings follow a half circle
};

inline void AddTube(MeshData& m, const Tube& t, int cell) {
  const float u = (static_cast<float>(cell) + 0.5f) / kTextureCells, v = 0.5f;
  constexpr int kSides = 10, kRings = 5;
  const V3 d = Normal(t.b - t.a);
  const V3 ref = std::fabs(d.x) > 0.9f ? V3{0, 0, 1} : V3{1, 0, 0};
  const V3 e2 = Normal(Cross(d, ref));
  const V3 e1 = Cross(e2, d);
  const float length = Length(t.b - t.a);
  auto weights = [&](float f) {
    const float toParent = f < 0.3f ? 0.5f * (1.0f - f / 0.3f) : 0.0f;
    const float toChild = f > 0.7f ? 0.5f * (f - 0.7f) / 0.3f : 0.0f;
    return Weights(t.bone, t.parent, toParent, t.child, toChild);
  };
  const int base = static_cast<int>(m.verts.size());
  for (int r = 0; r <= kRings; ++r) {
    const float f = static_cast<float>(r) / kRings;
    float scale = 1.0f;
    if (t.round)
      scale = std::max(0.25f, std::sqrt(std::max(0.0f, 1.0f - (2 * f - 1) * (2 * f - 1))));
    const float rx = (t.rx0 + (t.rx1 - t.rx0) * f) * scale;
    const float ry = (t.ry0 + (t.ry1 - t.ry0) * f) * scale;
    for (int s = 0; s < kSides; ++s) {
      const float phi = 2 * kPi * s / kSides;
      const V3 radial = e1 * std::cos(phi) + e2 * std::sin(phi);
      const V3 pos = t.a + d * (length * f) + e1 * (rx * std::cos(phi)) + e2 * (ry * std::sin(phi));
      m.verts.push_back({pos, radial, u, v, weights(f)});
    }
  }
  for (int r = 0; r < kRings; ++r) {
    for (int s = 0; s < kSides; ++s) {
      const int i00 = base + r * kSides + s, i01 = base + r * kSides + (s + 1) % kSides;
      const int i10 = i00 + kSides, i11 = i01 + kSides;
      for (int i : {i00, i01, i11, i00, i11, i10}) m.faces.push_back(i);
    }
  }
  const int start = static_cast<int>(m.verts.size());
  m.verts.push_back({t.a, d * -1.0f, u, v, weights(0.0f)});
  m.verts.push_back({t.b, d, u, v, weights(1.0f)});
  for (int s = 0; s < kSides; ++s) {
    const int s1 = (s + 1) % kSides;
    for (int i : {start, base + s1, base + s}) m.faces.push_back(i);
    const int top = base + kRings * kSides;
    for (int i : {start + 1, top + s, top + s1}) m.faces.push_back(i);
  }
}

inline std::string MeshText(const MeshData& m) {
  std::string s = "<HEADER MAGIC=\"XMF\" VERSION=\"919\" />\n";
  s += "<MESH NUMSUBMESH=\"1\">\n";
  s += "  <SUBMESH NUMVERTICES=\"" + std::to_string(m.verts.size()) + "\" NUMFACES=\"" +
       std::to_string(m.faces.size() / 3) +
       "\" MATERIAL=\"0\" NUMLODSTEPS=\"0\" NUMSPRINGS=\"0\" NUMTEXCOORDS=\"1\">\n";
  for (size_t i = 0; i < m.verts.size(); ++i) {
    const Vertex& v = m.verts[i];
    s += "    <VERTEX ID=\"" + std::to_string(i) + "\" NUMINFLUENCES=\"" +
         std::to_string(v.influences.size()) + "\">\n";
    s += "      <POS>" + F3(v.pos) + "</POS>\n";
    s += "      <NORM>" + F3(v.norm) + "</NORM>\n";
    s += "      <TEXCOORD>" + Num(v.u) + " " + Num(v.v) + "</TEXCOORD>\n";
    for (const Influence& in : v.influences)
      s += "      <INFLUENCE ID=\"" + std::to_string(in.bone) + "\">" + Num(in.weight) +
           "</INFLUENCE>\n";
    s += "    </VERTEX>\n";
  }
  for (size_t f = 0; f + 2 < m.faces.size(); f += 3)
    s += "    <FACE VERTEXID=\"" + std::to_string(m.faces[f]) + " " +
         std::to_string(m.faces[f + 1]) + " " + std::to_string(m.faces[f + 2]) + "\" />\n";
  s += "  </SUBMESH>\n</MESH>\n";
  return s;
}

// The colour texture: one flat cell per material (grey past the last one), with a
// faint weave so that it does not read as plastic up close.
inline bool WriteColours(const char* tool, const std::string& path,
                         const std::vector<SColour>& cells) {
  const int width = kTextureCells * kCellTexels, height = kCellTexels;
  std::vector<uint8_t> bgra(static_cast<size_t>(width * height * 4), 255);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const size_t cell = static_cast<size_t>(x / kCellTexels);
      const SColour c = cell < cells.size() ? cells[cell] : SColour{0.5f, 0.5f, 0.5f};
      const float weave = 1.0f + 0.03f * (((x + y) & 1) ? 1.0f : -1.0f);
      uint8_t* p = &bgra[static_cast<size_t>((y * width + x) * 4)];
      auto byte = [weave](float v) {
        return static_cast<uint8_t>(std::min(255.0f, v * weave * 255.0f + 0.5f));
      };
      p[0] = byte(c.b);
      p[1] = byte(c.g);
      p[2] = byte(c.r);
    }
  std::vector<uint8_t> png;
  std::string error;
  if (!plat::image::EncodePng(width, height, bgra, png, error) ||
      !plat::image::WriteFileBytes(path, png)) {
    std::fprintf(stderr, "%s: cannot write %s %s\n", tool, path.c_str(), error.c_str());
    return false;
  }
  return true;
}

// ---------------------------------------------------------------------------
// Animations

constexpr int kMaxBones = 64;

struct Pose {
  V3 a[kMaxBones] = {};
  V3 root = {0, 0, 0};
};
inline Pose Lerp(const Pose& p, const Pose& q, float f) {
  Pose r;
  for (int i = 0; i < kMaxBones; ++i) r.a[i] = p.a[i] + (q.a[i] - p.a[i]) * f;
  r.root = p.root + (q.root - p.root) * f;
  return r;
}
inline float Smooth(float f) { return f * f * (3 - 2 * f); }
inline float Wave(float f, float times = 1.0f, float shift = 0.0f) {
  return std::sin(2 * kPi * (f * times + shift));
}

struct Key {
  float at;  // fraction of the duration
  Pose pose;
};

// Eased from key to key.
inline std::function<Pose(float)> Keys(std::vector<Key> keys) {
  return [keys](float f) {
    for (size_t k = 0; k + 1 < keys.size(); ++k) {
      if (f <= keys[k + 1].at) {
        const float span = keys[k + 1].at - keys[k].at;
        const float local = span > 0 ? (f - keys[k].at) / span : 1.0f;
        return Lerp(keys[k].pose, keys[k + 1].pose, Smooth(std::clamp(local, 0.0f, 1.0f)));
      }
    }
    return keys.back().pose;
  };
}

struct Animation {
  std::string name;
  float duration;
  bool cycle;
  std::function<Pose(float)> at;
};

// Ten keys a second (at least six); a cycle's last key repeats its first. Only the
// root and the bones that turn get a track.
inline std::string AnimationText(const std::vector<Bone>& bones, float duration,
                                 const std::function<Pose(float)>& at, bool cycle) {
  const int count = std::min(kMaxBones, static_cast<int>(bones.size()));
  const int keys = std::max(6, static_cast<int>(std::ceil(duration * 10.0f)));
  std::vector<Pose> samples;
  for (int k = 0; k <= keys; ++k)
    samples.push_back(at(cycle && k == keys ? 0.0f : float(k) / keys));
  std::vector<int> tracks;
  for (int b = 0; b < count; ++b) {
    bool moves = b == 0;
    for (const Pose& p : samples)
      moves = moves || std::fabs(p.a[b].x) + std::fabs(p.a[b].y) + std::fabs(p.a[b].z) > 1e-5f;
    if (moves) tracks.push_back(b);
  }
  std::string s = "<HEADER MAGIC=\"XAF\" VERSION=\"919\" />\n";
  s += "<ANIMATION DURATION=\"" + Num(duration) + "\" NUMTRACKS=\"" +
       std::to_string(tracks.size()) + "\">\n";
  for (int b : tracks) {
    s += "  <TRACK BONEID=\"" + std::to_string(b) + "\" NUMKEYFRAMES=\"" +
         std::to_string(keys + 1) + "\">\n";
    for (int k = 0; k <= keys; ++k) {
      const V3 t = b == 0 ? Relative(bones, b) + samples[k].root : Relative(bones, b);
      s += "    <KEYFRAME TIME=\"" + Num(duration * k / keys) + "\">\n";
      s += "      <TRANSLATION>" + F3(t) + "</TRANSLATION>\n";
      s += "      <ROTATION>" + F4(LibraryRotation(samples[k].a[b])) + "</ROTATION>\n";
      s += "    </KEYFRAME>\n";
    }
    s += "  </TRACK>\n";
  }
  s += "</ANIMATION>\n";
  return s;
}

// The entry of an animation template: the skeleton, one mesh and each animation
// under its own name in "<prefix>_<name>.xaf".
inline std::string TemplateEntry(const std::string& id, const std::string& prefix,
                                 const std::vector<std::string>& animations) {
  std::string s = "  <animationTemplate id=\"" + id + "\" file=\"" + prefix + ".xsf\">\n";
  s += "    <meshes>\n      <mesh file=\"" + prefix +
       "_body.xmf\" meshTypeId=\"0\" computeTangentSpace=\"0\"/>\n    </meshes>\n";
  s += "    <animations>\n";
  for (const std::string& a : animations)
    s += "      <animation id=\"" + a + "\" file=\"" + prefix + "_" + a + ".xaf\"/>\n";
  s += "    </animations>\n  </animationTemplate>\n";
  return s;
}

}  // namespace gen
