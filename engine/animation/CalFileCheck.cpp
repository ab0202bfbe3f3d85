#include "engine/animation/CalFileCheck.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <vector>

#include <rapidxml/rapidxml.hpp>

#include "platform/fs/FileSystem.h"

namespace vd {
namespace anm {

namespace {

using Node = rapidxml::xml_node<>;

// Element names compare as the library compares them: exactly.
const Node* Child(const Node* node, const char* name) { return node->first_node(name); }

int CountChildren(const Node* node, const char* name) {
  int n = 0;
  for (const Node* c = node->first_node(name); c; c = c->next_sibling(name)) ++n;
  return n;
}

class CChecker {
public:
  explicit CChecker(std::string& error) : m_error(error) {}

  bool Fail(const std::string& what) {
    if (m_error.empty()) m_error = what;
    return false;
  }

  // An integer attribute that must be there.
  bool Int(const Node* node, const char* name, long& value) {
    const rapidxml::xml_attribute<>* a = node->first_attribute(name);
    if (!a) return Fail(std::string(node->name()) + " without " + name);
    char* end = nullptr;
    value = std::strtol(a->value(), &end, 10);
    if (end == a->value()) return Fail(std::string(node->name()) + " " + name + " is not a number");
    return true;
  }
  // An element whose text is one integer (the library reads it with atoi).
  bool IntText(const Node* node, long& value) {
    const char* text = node->value();
    char* end = nullptr;
    errno = 0;
    value = std::strtol(text, &end, 10);
    if (end == text || errno == ERANGE)
      return Fail(std::string(node->name()) + " is not an integer");
    while (std::isspace(static_cast<unsigned char>(*end))) ++end;
    if (*end) return Fail(std::string(node->name()) + " is not an integer");
    return true;
  }
  bool IntText(const Node* node, const char* name, long& value) {
    const Node* child = Child(node, name);
    if (!child) return Fail(std::string(node->name()) + " without " + name);
    return IntText(child, value);
  }
  // A finite number attribute that must be there.
  bool Real(const Node* node, const char* name, double& value) {
    const rapidxml::xml_attribute<>* a = node->first_attribute(name);
    if (!a) return Fail(std::string(node->name()) + " without " + name);
    char* end = nullptr;
    value = std::strtod(a->value(), &end);
    if (end == a->value() || !std::isfinite(value))
      return Fail(std::string(node->name()) + " " + name + " is not a finite number");
    return true;
  }
  // The library reads child elements one after the other, not by name: they must
  // start with exactly these, in this order, and `rest` (when given) fills the remainder.
  bool Sequence(const Node* node, std::initializer_list<const char*> names,
                const char* rest = nullptr) {
    const Node* child = node->first_node();
    for (const char* name : names) {
      if (!child || std::strcmp(child->name(), name) != 0)
        return Fail(std::string(node->name()) + " needs " + name + " at its place");
      child = child->next_sibling();
    }
    for (; rest && child; child = child->next_sibling())
      if (std::strcmp(child->name(), rest) != 0)
        return Fail(std::string(node->name()) + " holds " + child->name() + " after its " + rest);
    return true;
  }
  bool Has(const Node* node, const char* name) {
    if (!node->first_attribute(name)) return Fail(std::string(node->name()) + " without " + name);
    return true;
  }
  // A child element whose text holds at least `count` numbers; null after a failure.
  const Node* Numbers(const Node* node, const char* name, int count, std::vector<double>* out = nullptr) {
    const Node* child = Child(node, name);
    if (!child) {
      Fail(std::string(node->name()) + " without " + name);
      return nullptr;
    }
    return Values(child, name, count, out) ? child : nullptr;
  }

  // At least `count` finite numbers in the element's own text.
  bool Values(const Node* child, const char* name, int count, std::vector<double>* out = nullptr) {
    const char* text = child->value();
    int found = 0;
    while (*text) {
      char* end = nullptr;
      const double v = std::strtod(text, &end);
      if (end == text) break;
      // The library normalises and crosses these values; a NaN or infinity crashes it later.
      if (!std::isfinite(v)) {
        Fail(std::string(name) + " holds a number that is not finite");
        return false;
      }
      if (out) out->push_back(v);
      ++found;
      text = end;
    }
    if (found < count) {
      Fail(std::string(name) + " needs " + std::to_string(count) + " numbers");
      return false;
    }
    return true;
  }
  bool Count(const Node* node, const char* child, long expected) {
    if (CountChildren(node, child) != expected)
      return Fail(std::string(node->name()) + " announces " + std::to_string(expected) + " " + child + " elements");
    return true;
  }
  bool Range(long value, long lo, long hi, const char* what) {
    if (value < lo || value >= hi) return Fail(std::string(what) + " " + std::to_string(value) + " out of range");
    return true;
  }

private:
  std::string& m_error;
};

// The document's main element: after an optional HEADER (whose MAGIC must match).
const Node* Body(const rapidxml::xml_document<>& doc, const char* magic, const char* body, CChecker& check) {
  const Node* first = doc.first_node();
  if (!first) {
    check.Fail("empty document");
    return nullptr;
  }
  if (std::strcmp(first->name(), "HEADER") == 0) {
    const rapidxml::xml_attribute<>* m = first->first_attribute("MAGIC");
    if (!m || std::strcmp(m->value(), magic) != 0) {
      check.Fail(std::string("HEADER is not ") + magic);
      return nullptr;
    }
    if (!check.Has(first, "VERSION")) return nullptr;
    first = first->next_sibling();
  }
  if (!first || std::strcmp(first->name(), body) != 0) {
    check.Fail(std::string("no ") + body + " element");
    return nullptr;
  }
  return first;
}

// The library walks the bones from its roots (PARENTID -1) down the child lists,
// recursively: a cycle there never ends, and a child list that disagrees with the
// children's parents computes a bone from the wrong parent or twice. The bones must
// form a forest whose child lists are exactly the inverse of the parent ids.
bool CheckBoneTree(const std::vector<long>& parents, const std::vector<std::vector<long>>& children,
                   CChecker& check) {
  const long count = static_cast<long>(parents.size());
  // Every chain of parents must reach a root within `count` steps.
  // 0: unseen, 1: on the chain being followed, 2: known to reach a root.
  std::vector<char> state(parents.size(), 0);
  for (long bone = 0; bone < count; ++bone) {
    std::vector<long> chain;
    long at = bone;
    while (at >= 0 && state[at] == 0) {
      state[at] = 1;
      chain.push_back(at);
      at = parents[at];
    }
    if (at >= 0 && state[at] == 1)
      return check.Fail("PARENTID cycle through bone " + std::to_string(at));
    for (long b : chain) state[b] = 2;
  }
  std::vector<int> listedBy(parents.size(), -1);
  for (long bone = 0; bone < count; ++bone) {
    for (long child : children[bone]) {
      if (listedBy[child] >= 0)
        return check.Fail("CHILDID " + std::to_string(child) + " is listed twice");
      listedBy[child] = static_cast<int>(bone);
      if (parents[child] != bone)
        return check.Fail("CHILDID " + std::to_string(child) + " of bone " + std::to_string(bone) +
                          " has PARENTID " + std::to_string(parents[child]));
    }
  }
  for (long bone = 0; bone < count; ++bone) {
    if (parents[bone] >= 0 && listedBy[bone] != parents[bone])
      return check.Fail("PARENTID of bone " + std::to_string(bone) +
                        " does not list it as a child");
  }
  return true;
}

bool CheckSkeleton(const Node* skeleton, CChecker& check) {
  long boneCount = 0;
  if (!check.Int(skeleton, "NUMBONES", boneCount) || !check.Count(skeleton, "BONE", boneCount)) return false;
  std::vector<long> parents;
  std::vector<std::vector<long>> children;
  for (const Node* bone = skeleton->first_node("BONE"); bone; bone = bone->next_sibling("BONE")) {
    long childCount = 0;
    if (!check.Has(bone, "NAME") || !check.Int(bone, "NUMCHILDS", childCount)) return false;
    if (!check.Sequence(bone, {"TRANSLATION", "ROTATION", "LOCALTRANSLATION", "LOCALROTATION", "PARENTID"},
                        "CHILDID"))
      return false;
    if (!check.Numbers(bone, "TRANSLATION", 3) || !check.Numbers(bone, "ROTATION", 4) ||
        !check.Numbers(bone, "LOCALTRANSLATION", 3) || !check.Numbers(bone, "LOCALROTATION", 4))
      return false;
    long parent = 0;
    if (!check.IntText(bone, "PARENTID", parent) || !check.Range(parent, -1, boneCount, "PARENTID"))
      return false;
    parents.push_back(parent);
    if (!check.Count(bone, "CHILDID", childCount)) return false;
    children.emplace_back();
    for (const Node* c = bone->first_node("CHILDID"); c; c = c->next_sibling("CHILDID")) {
      long id = 0;
      if (!check.IntText(c, id) || !check.Range(id, 0, boneCount, "CHILDID"))
        return check.Fail("bad CHILDID");
      children.back().push_back(id);
    }
  }
  return CheckBoneTree(parents, children, check);
}

bool CheckMesh(const Node* mesh, int boneCount, CChecker& check) {
  long submeshes = 0;
  if (!check.Int(mesh, "NUMSUBMESH", submeshes) || !check.Count(mesh, "SUBMESH", submeshes)) return false;
  for (const Node* sub = mesh->first_node("SUBMESH"); sub; sub = sub->next_sibling("SUBMESH")) {
    long vertices = 0, faces = 0, lods = 0, springs = 0, maps = 0, material = 0;
    if (!check.Int(sub, "NUMVERTICES", vertices) || !check.Int(sub, "NUMFACES", faces) ||
        !check.Int(sub, "NUMLODSTEPS", lods) || !check.Int(sub, "NUMSPRINGS", springs) ||
        !check.Int(sub, "NUMTEXCOORDS", maps) || !check.Int(sub, "MATERIAL", material))
      return false;
    if (vertices < 0 || faces < 0 || springs < 0 || maps < 0) return check.Fail("negative count in SUBMESH");
    if (!check.Count(sub, "VERTEX", vertices) || !check.Count(sub, "FACE", faces) ||
        !check.Count(sub, "SPRING", springs))
      return false;
    for (const Node* v = sub->first_node("VERTEX"); v; v = v->next_sibling("VERTEX")) {
      long influences = 0;
      if (!check.Int(v, "NUMINFLUENCES", influences)) return false;
      if (!check.Sequence(v, {"POS", "NORM"}) || !check.Numbers(v, "POS", 3) ||
          !check.Numbers(v, "NORM", 3))
        return false;
      if (lods > 0) {
        std::vector<double> collapse;
        if (!check.Numbers(v, "COLLAPSEID", 1, &collapse) || !check.Numbers(v, "COLLAPSECOUNT", 1)) return false;
        if (!check.Range(static_cast<long>(collapse[0]), -1, vertices, "COLLAPSEID")) return false;
      }
      if (!check.Count(v, "TEXCOORD", maps)) return false;
      for (const Node* t = v->first_node("TEXCOORD"); t; t = t->next_sibling("TEXCOORD"))
        if (!check.Values(t, "TEXCOORD", 2)) return false;
      if (!check.Count(v, "INFLUENCE", influences)) return false;
      for (const Node* in = v->first_node("INFLUENCE"); in; in = in->next_sibling("INFLUENCE")) {
        long bone = 0;
        if (!check.Int(in, "ID", bone) || !check.Range(bone, 0, boneCount, "INFLUENCE ID")) return false;
        if (!check.Values(in, "INFLUENCE", 1)) return false;
      }
      if (springs > 0 && !check.Numbers(v, "PHYSIQUE", 1)) return false;
    }
    for (const Node* s = sub->first_node("SPRING"); s; s = s->next_sibling("SPRING")) {
      const rapidxml::xml_attribute<>* ids = s->first_attribute("VERTEXID");
      if (!ids) return check.Fail("SPRING without VERTEXID");
      char* end = nullptr;
      char* last = nullptr;
      const long a = std::strtol(ids->value(), &end, 10);
      const long b = std::strtol(end, &last, 10);
      if (end == ids->value() || last == end) return check.Fail("SPRING needs two vertex ids");
      if (!check.Range(a, 0, vertices, "SPRING VERTEXID") || !check.Range(b, 0, vertices, "SPRING VERTEXID"))
        return false;
      if (!check.Has(s, "COEF") || !check.Has(s, "LENGTH")) return false;
    }
    for (const Node* f = sub->first_node("FACE"); f; f = f->next_sibling("FACE")) {
      const rapidxml::xml_attribute<>* ids = f->first_attribute("VERTEXID");
      if (!ids) return check.Fail("FACE without VERTEXID");
      const char* text = ids->value();
      for (int k = 0; k < 3; ++k) {
        char* end = nullptr;
        const long id = std::strtol(text, &end, 10);
        if (end == text) return check.Fail("FACE needs three vertex ids");
        if (!check.Range(id, 0, vertices, "FACE VERTEXID")) return false;
        text = end;
      }
    }
  }
  return true;
}

bool CheckAnimation(const Node* animation, int boneCount, CChecker& check) {
  long tracks = 0;
  double duration = 0.0;
  if (!check.Real(animation, "DURATION", duration)) return false;
  // The library's mixer divides by the duration and keeps such animations for good.
  if (!(duration > 0.0))
    return check.Fail("DURATION " + std::to_string(duration) + " is not positive");
  if (!check.Int(animation, "NUMTRACKS", tracks) || !check.Count(animation, "TRACK", tracks))
    return false;
  for (const Node* track = animation->first_node("TRACK"); track; track = track->next_sibling("TRACK")) {
    long bone = 0, keys = 0;
    if (!check.Int(track, "BONEID", bone) || !check.Range(bone, 0, boneCount, "TRACK BONEID")) return false;
    if (!check.Int(track, "NUMKEYFRAMES", keys) || !check.Count(track, "KEYFRAME", keys)) return false;
    if (keys < 1) return check.Fail("TRACK without keyframes");
    for (const Node* key = track->first_node("KEYFRAME"); key; key = key->next_sibling("KEYFRAME")) {
      double time = 0.0;
      if (!check.Real(key, "TIME", time) || !check.Sequence(key, {"TRANSLATION", "ROTATION"}) ||
          !check.Numbers(key, "TRANSLATION", 3) ||
          !check.Numbers(key, "ROTATION", 4))
        return false;
    }
  }
  return true;
}

}  // namespace

bool IsCalXmlFile(const std::string& path) {
  if (path.size() < 3) return false;
  std::string ext = path.substr(path.size() - 3);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext == "xsf" || ext == "xmf" || ext == "xaf";
}

bool CheckCalXmlText(std::string text, ECalFileKind kind, int boneCount, std::string& error) {
  error.clear();
  CChecker check(error);
  rapidxml::xml_document<> doc;
  try {
    doc.parse<0>(&text[0]);
  } catch (const rapidxml::parse_error& e) {
    return check.Fail(std::string("not valid XML: ") + e.what());
  }
  switch (kind) {
    case ECalFileKind::kSkeleton: {
      const Node* body = Body(doc, "XSF", "SKELETON", check);
      return body && CheckSkeleton(body, check);
    }
    case ECalFileKind::kMesh: {
      const Node* body = Body(doc, "XMF", "MESH", check);
      return body && CheckMesh(body, boneCount, check);
    }
    case ECalFileKind::kAnimation: {
      const Node* body = Body(doc, "XAF", "ANIMATION", check);
      return body && CheckAnimation(body, boneCount, check);
    }
  }
  return false;
}

bool CheckCalXmlFile(const std::string& path, ECalFileKind kind, int boneCount, std::string& error) {
  std::vector<char> bytes;
  if (!plat::fs::ReadFile(path, bytes)) {
    error = "cannot read the file";
    return false;
  }
  return CheckCalXmlText(std::string(bytes.begin(), bytes.end()), kind, boneCount, error);
}

}  // namespace anm
}  // namespace vd
