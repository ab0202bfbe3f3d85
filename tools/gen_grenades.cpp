// Writes the player's grenade cluster in the animation library's XML formats:
//   grenades.xsf            skeleton: a root at the thrower's feet and eight grenades,
//                           "granade00" to "granade07", held in the right hand
//   grenades.xmf            eight small studded cans, each on its own bone
//   grenades_grenades_01.xaf the throw: the cluster rises with the arm, leaves the hand
//                           and scatters on arcs to eight points ahead, where it
//                           lands as the bursts go off
// The throw lasts as long as the player's own "grenades_01", so the fractions of the
// player's tuning (grenades_in, grenades_explosion) fall at the same moments on both.
// Authored z-up facing -y like the player's figure; loaded with the rotation about x
// the object stands y-up facing +z, the player's facing.
// Usage: gen_grenades [output folder]   (default Data/anims)
//        gen_grenades --template        prints the animation template entry
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/gen_text.h"

namespace {

constexpr float kPi = 3.14159265f;
constexpr int kGrenades = 8;
// The player's throw and the fractions of it the player's effects use.
constexpr float kDuration = 1.4f;
constexpr float kRelease = 0.3f;
constexpr float kLanding = 0.55f;

struct V3 {
  float x, y, z;
};
V3 operator+(V3 a, V3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
V3 operator-(V3 a, V3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
V3 operator*(V3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }

// The right hand at rest and raised for the throw (x: the figure's left, -y ahead).
const V3 kHandLow{-0.24f, -0.05f, 0.95f};
const V3 kHandHigh{-0.3f, 0.15f, 1.95f};

using gen::F3;
using gen::Num;

bool WriteText(const std::string& path, const std::string& text) {
  return gen::WriteText("gen_grenades", path, text);
}

// Each grenade's place in the hand: a small ring, so the cans do not overlap.
V3 HeldOffset(int i) {
  const float a = 2.0f * kPi * static_cast<float>(i) / kGrenades;
  return {0.06f * std::cos(a), 0.06f * std::sin(a), 0.02f * static_cast<float>(i % 2)};
}

// Where each lands: a fan from 3.5 to 6.5 ahead, 2.5 either side, on the ground.
V3 Landing(int i) {
  const float side = -2.5f + 5.0f * static_cast<float>(i) / (kGrenades - 1);
  const float ahead = 3.5f + 3.0f * static_cast<float>((i * 5) % kGrenades) / (kGrenades - 1);
  return {side, -ahead, 0.15f};
}

float Smooth(float f) { return f * f * (3.0f - 2.0f * f); }

// The grenade's position at fraction f of the throw.
V3 At(int i, float f) {
  const V3 held = HeldOffset(i);
  if (f <= kRelease) {
    const float r = Smooth(f / kRelease);
    return kHandLow + (kHandHigh - kHandLow) * r + held;
  }
  const float u = std::fmin(1.0f, (f - kRelease) / (kLanding - kRelease));
  const V3 from = kHandHigh + held;
  const V3 to = Landing(i);
  V3 p = from + (to - from) * u;
  p.z += 1.6f * 4.0f * u * (1.0f - u);  // the arc
  return p;
}

std::string BoneName(int i) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "granade0%d", i);
  return buf;
}

std::string Skeleton() {
  std::string s = "<HEADER MAGIC=\"XSF\" VERSION=\"919\" />\n";
  s += "<SKELETON NUMBONES=\"" + std::to_string(kGrenades + 1) + "\">\n";
  s += "  <BONE ID=\"0\" NAME=\"grenades_root\" NUMCHILDS=\"" + std::to_string(kGrenades) + "\">\n";
  s += "    <TRANSLATION>0 0 0</TRANSLATION>\n    <ROTATION>0 0 0 1</ROTATION>\n";
  s += "    <LOCALTRANSLATION>0 0 0</LOCALTRANSLATION>\n    <LOCALROTATION>0 0 0 "
       "1</LOCALROTATION>\n";
  s += "    <PARENTID>-1</PARENTID>\n";
  for (int i = 0; i < kGrenades; ++i) s += "    <CHILDID>" + std::to_string(i + 1) + "</CHILDID>\n";
  s += "  </BONE>\n";
  for (int i = 0; i < kGrenades; ++i) {
    const V3 p = At(i, 0.0f);
    s += "  <BONE ID=\"" + std::to_string(i + 1) + "\" NAME=\"" + BoneName(i) +
         "\" NUMCHILDS=\"0\">\n";
    s += "    <TRANSLATION>" + F3(p) + "</TRANSLATION>\n    <ROTATION>0 0 0 1</ROTATION>\n";
    s += "    <LOCALTRANSLATION>" + F3(p * -1.0f) + "</LOCALTRANSLATION>\n";
    s += "    <LOCALROTATION>0 0 0 1</LOCALROTATION>\n    <PARENTID>0</PARENTID>\n  </BONE>\n";
  }
  s += "</SKELETON>\n";
  return s;
}

// A can: an octagonal prism 0.07 across and 0.12 high, capped, round its bone.
std::string Mesh() {
  struct Vertex {
    V3 pos, norm;
    float u, v;
    int bone;
  };
  std::vector<Vertex> verts;
  std::vector<int> faces;
  constexpr int kSides = 8;
  const float r = 0.035f, h = 0.06f;
  for (int g = 0; g < kGrenades; ++g) {
    const V3 c = At(g, 0.0f);
    const int bone = g + 1;
    const int base = static_cast<int>(verts.size());
    for (int k = 0; k < kSides; ++k) {
      const float a = 2.0f * kPi * static_cast<float>(k) / kSides;
      const V3 n{std::cos(a), std::sin(a), 0.0f};
      const float u = static_cast<float>(k) / kSides;
      verts.push_back({c + V3{n.x * r, n.y * r, -h}, n, u, 0.0f, bone});
      verts.push_back({c + V3{n.x * r, n.y * r, h}, n, u, 1.0f, bone});
    }
    for (int k = 0; k < kSides; ++k) {
      const int a0 = base + 2 * k, a1 = a0 + 1;
      const int b0 = base + 2 * ((k + 1) % kSides), b1 = b0 + 1;
      faces.insert(faces.end(), {a0, b0, b1, a0, b1, a1});
    }
    // The caps: a centre and the rim again with the cap's normal.
    for (int side = 0; side < 2; ++side) {
      const float z = side ? h : -h;
      const V3 n{0.0f, 0.0f, side ? 1.0f : -1.0f};
      const int centre = static_cast<int>(verts.size());
      verts.push_back({c + V3{0.0f, 0.0f, z}, n, 0.5f, 0.5f, bone});
      for (int k = 0; k < kSides; ++k) {
        const float a = 2.0f * kPi * static_cast<float>(k) / kSides;
        verts.push_back({c + V3{std::cos(a) * r, std::sin(a) * r, z}, n, 0.5f + 0.5f * std::cos(a),
                         0.5f + 0.5f * std::sin(a), bone});
      }
      for (int k = 0; k < kSides; ++k) {
        const int p = centre + 1 + k, q = centre + 1 + (k + 1) % kSides;
        if (side)
          faces.insert(faces.end(), {centre, p, q});
        else
          faces.insert(faces.end(), {centre, q, p});
      }
    }
  }
  std::string s = "<HEADER MAGIC=\"XMF\" VERSION=\"919\" />\n<MESH NUMSUBMESH=\"1\">\n";
  s += "  <SUBMESH NUMVERTICES=\"" + std::to_string(verts.size()) + "\" NUMFACES=\"" +
       std::to_string(faces.size() / 3) +
       "\" MATERIAL=\"0\" NUMLODSTEPS=\"0\" NUMSPRINGS=\"0\" NUMTEXCOORDS=\"1\">\n";
  for (size_t i = 0; i < verts.size(); ++i) {
    const Vertex& v = verts[i];
    s += "    <VERTEX ID=\"" + std::to_string(i) + "\" NUMINFLUENCES=\"1\">\n";
    s += "      <POS>" + F3(v.pos) + "</POS>\n      <NORM>" + F3(v.norm) + "</NORM>\n";
    s += "      <TEXCOORD>" + Num(v.u) + " " + Num(v.v) + "</TEXCOORD>\n";
    s += "      <INFLUENCE ID=\"" + std::to_string(v.bone) + "\">1</INFLUENCE>\n    </VERTEX>\n";
  }
  for (size_t f = 0; f + 2 < faces.size(); f += 3)
    s += "    <FACE VERTEXID=\"" + std::to_string(faces[f]) + " " + std::to_string(faces[f + 1]) +
         " " + std::to_string(faces[f + 2]) + "\" />\n";
  s += "  </SUBMESH>\n</MESH>\n";
  return s;
}

std::string Throw() {
  constexpr int kKeys = 56;  // one every 25 ms
  std::string s = "<HEADER MAGIC=\"XAF\" VERSION=\"919\" />\n";
  s += "<ANIMATION DURATION=\"" + Num(kDuration) + "\" NUMTRACKS=\"" + std::to_string(kGrenades) +
       "\">\n";
  for (int i = 0; i < kGrenades; ++i) {
    s += "  <TRACK BONEID=\"" + std::to_string(i + 1) + "\" NUMKEYFRAMES=\"" +
         std::to_string(kKeys + 1) + "\">\n";
    for (int k = 0; k <= kKeys; ++k) {
      const float f = static_cast<float>(k) / kKeys;
      s += "    <KEYFRAME TIME=\"" + Num(kDuration * f) + "\">\n";
      s += "      <TRANSLATION>" + F3(At(i, f)) + "</TRANSLATION>\n";
      s += "      <ROTATION>0 0 0 1</ROTATION>\n    </KEYFRAME>\n";
    }
    s += "  </TRACK>\n";
  }
  s += "</ANIMATION>\n";
  return s;
}

std::string TemplateEntry() {
  return "  <animationTemplate id=\"grenades\" file=\"grenades.xsf\">\n"
         "    <meshes>\n"
         "      <mesh file=\"grenades.xmf\" meshTypeId=\"0\" computeTangentSpace=\"0\"/>\n"
         "    </meshes>\n"
         "    <animations>\n"
         "      <animation id=\"grenades_01\" file=\"grenades_grenades_01.xaf\"/>\n"
         "    </animations>\n"
         "  </animationTemplate>\n";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::string(argv[1]) == "--template") {
    std::fputs(TemplateEntry().c_str(), stdout);
    return 0;
  }
  const std::string dir = argc > 1 ? argv[1] : "Data/anims";
  bool ok = WriteText(dir + "/grenades.xsf", Skeleton());
  ok = WriteText(dir + "/grenades.xmf", Mesh()) && ok;
  ok = WriteText(dir + "/grenades_grenades_01.xaf", Throw()) && ok;
  return ok ? 0 : 1;
}
