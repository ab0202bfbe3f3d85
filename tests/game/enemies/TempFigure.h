#pragma once
// A small animated figure written to /tmp for one test: a skeleton of a root and
// one named bone, a triangle on that bone, animations that move it, and an
// animation-templates file that names them from the animation folder. The files
// go with the object.
#include <unistd.h>

#include <climits>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "tests/engine/animation/AnimTestUtil.h"

namespace vd {
namespace test {

class CTempFigure {
public:
  struct SAnimation {
    std::string id;
    float duration;
    // The bone's place at fraction f of the animation, authored as every figure of
    // the game is: z up, facing -y.
    std::function<void(float f, float& x, float& y, float& z)> at;
  };

  CTempFigure(const std::string& stem, const std::string& templateId, const char* bone,
              const std::vector<SAnimation>& animations) {
    // The template's file names are read from the animation folder: climb out of
    // it and the working folder to reach /tmp.
    std::string up = "../../";
    char cwd[PATH_MAX];
    if (getcwd(cwd, sizeof cwd))
      for (const char* c = cwd; *c; ++c)
        if (*c == '/' && c[1]) up += "../";
    const std::string rel = up + stem.substr(1);
    m_meshName = rel + ".xmf";

    auto boneXml = [](int id, const char* name, int parent, const std::string& children) {
      return "<BONE ID=\"" + std::to_string(id) + "\" NAME=\"" + name + "\" NUMCHILDS=\"" +
             std::to_string(children.empty() ? 0 : 1) +
             "\"><TRANSLATION>0 0 0</TRANSLATION><ROTATION>0 0 0 1</ROTATION>"
             "<LOCALTRANSLATION>0 0 0</LOCALTRANSLATION><LOCALROTATION>0 0 0 1</LOCALROTATION>"
             "<PARENTID>" +
             std::to_string(parent) + "</PARENTID>" + children + "</BONE>";
    };
    m_files.emplace_back(stem + ".xsf",
                         "<HEADER MAGIC=\"XSF\" VERSION=\"919\"/><SKELETON "
                         "NUMBONES=\"2\">" +
                             boneXml(0, "figure_root", -1, "<CHILDID>1</CHILDID>") +
                             boneXml(1, bone, 0, "") + "</SKELETON>");
    auto vertex = [](int id, const char* pos) {
      return "<VERTEX ID=\"" + std::to_string(id) + "\" NUMINFLUENCES=\"1\"><POS>" + pos +
             "</POS><NORM>0 0 1</NORM><INFLUENCE ID=\"1\">1</INFLUENCE></VERTEX>";
    };
    m_files.emplace_back(stem + ".xmf",
                         "<HEADER MAGIC=\"XMF\" VERSION=\"919\"/><MESH NUMSUBMESH=\"1\">"
                         "<SUBMESH NUMVERTICES=\"3\" NUMFACES=\"1\" MATERIAL=\"0\" "
                         "NUMLODSTEPS=\"0\" NUMSPRINGS=\"0\" NUMTEXCOORDS=\"0\">" +
                             vertex(0, "0 0 0") + vertex(1, "0.1 0 0") + vertex(2, "0 0 0.1") +
                             "<FACE VERTEXID=\"0 1 2\"/></SUBMESH></MESH>");
    std::string entry = "<animationTemplates><animationTemplate id='" + templateId + "' file='" +
                        rel + ".xsf'><meshes><mesh file='" + m_meshName +
                        "' meshTypeId='0' computeTangentSpace='0'/></meshes><animations>";
    for (size_t a = 0; a < animations.size(); ++a) {
      const SAnimation& anim = animations[a];
      std::string xaf = "<HEADER MAGIC=\"XAF\" VERSION=\"919\"/><ANIMATION DURATION=\"" +
                        Num(anim.duration) + "\" NUMTRACKS=\"1\"><TRACK BONEID=\"1\" " +
                        "NUMKEYFRAMES=\"11\">";
      for (int k = 0; k <= 10; ++k) {
        const float f = static_cast<float>(k) / 10.0f;
        float x = 0.0f, y = 0.0f, z = 0.0f;
        if (anim.at) anim.at(f, x, y, z);
        xaf += "<KEYFRAME TIME=\"" + Num(anim.duration * f) + "\"><TRANSLATION>" + Num(x) + " " +
               Num(y) + " " + Num(z) + "</TRANSLATION><ROTATION>0 0 0 1</ROTATION></KEYFRAME>";
      }
      xaf += "</TRACK></ANIMATION>";
      m_files.emplace_back(stem + "_" + std::to_string(a) + ".xaf", xaf);
      entry += "<animation id='" + anim.id + "' file='" + rel + "_" + std::to_string(a) + ".xaf'/>";
    }
    entry += "</animations></animationTemplate></animationTemplates>";
    m_files.emplace_back(stem + "_templates.xml", entry);
  }

  const char* TemplatesPath() const { return m_files.back().Path(); }
  // The mesh's name as the animator's "mesh" key gives it.
  const std::string& MeshName() const { return m_meshName; }

  static std::string Num(float v) {
    char text[32];
    std::snprintf(text, sizeof(text), "%g", static_cast<double>(v));
    return text;
  }

private:
  // A deque never moves (and so never removes) a file it holds.
  std::deque<CTempFile> m_files;
  std::string m_meshName;
};

}  // namespace test
}  // namespace vd
