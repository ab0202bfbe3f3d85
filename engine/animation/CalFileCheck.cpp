#include "engine/animation/CalFileCheck.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <vector>

#include <rapidxml/rapidxml.hpp>

#include "platform/fs/FileSystem.h"

namespace vd {
namespace anm {

namespace {

using Node = rapidxml::xml_node<>;

// Element names compare as the library compares them: exactly.
const Node* Child(const Node* node, const char* name) { return node->first_node(name); }

// The library reads number lists with one string stream for the whole file, adding
// each element's text to it and clearing only its error flags: a text with one number
// too many hands that number to the next read (a texture coordinate becomes a face's
// vertex id), and a token the stream stops inside shifts every later read. So such a
// text must hold exactly the numbers it is read for, each a whole token that the
// stream reads as a whole: optional sign, digits with at most one point, an optional
// exponent with digits; integers without point or exponent, within int.
bool StreamTokens(const char* text, int count, bool integers, std::vector<double>* out) {
  int found = 0;
  const char* at = text;
  for (;;) {
    while (*at && std::isspace(static_cast<unsigned char>(*at))) ++at;
    if (!*at) break;
    const char* start = at;
    if (*at == '+' || *at == '-') ++at;
    int digits = 0;
    while (std::isdigit(static_cast<unsigned char>(*at))) ++at, ++digits;
    if (!integers && *at == '.') {
      ++at;
      while (std::isdigit(static_cast<unsigned char>(*at))) ++at, ++digits;
    }
    if (!digits) return false;
    if (!integers && (*at == 'e' || *at == 'E')) {
      ++at;
      if (*at == '+' || *at == '-') ++at;
      if (!std::isdigit(static_cast<unsigned char>(*at))) return false;
      while (std::isdigit(static_cast<unsigned char>(*at))) ++at;
    }
    if (*at && !std::isspace(static_cast<unsigned char>(*at))) return false;
    const std::string token(start, at);
    const double v = std::strtod(token.c_str(), nullptr);
    if (integers ? (v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max())
                 : !(std::fabs(v) <= std::numeric_limits<float>::max()))
      return false;
    if (out) out->push_back(v);
    ++found;
  }
  return found == count;
}

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
    errno = 0;
    value = std::strtol(a->value(), &end, 10);
    if (end == a->value()) return Fail(std::string(node->name()) + " " + name + " is not a number");
    // The library reads it with atoi: past int it becomes another number there.
    if (errno == ERANGE || value < std::numeric_limits<int>::min() ||
        value > std::numeric_limits<int>::max())
      return Fail(std::string(node->name()) + " " + name + " is out of range");
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
  // A child element that the library reads through its string stream (StreamTokens).
  bool Streamed(const Node* node, const char* name, int count) {
    const Node* child = Child(node, name);
    if (!child) return Fail(std::string(node->name()) + " without " + name);
    return StreamedText(child->value(), name, count, false);
  }
  bool StreamedText(const char* text, const char* what, int count, bool integers) {
    if (!StreamTokens(text, count, integers, nullptr))
      return Fail(std::string(what) + " needs exactly " + std::to_string(count) +
                  (integers ? " integers" : " finite numbers"));
    return true;
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
    if (!check.Streamed(bone, "TRANSLATION", 3) || !check.Streamed(bone, "ROTATION", 4) ||
        !check.Streamed(bone, "LOCALTRANSLATION", 3) || !check.Streamed(bone, "LOCALROTATION", 4))
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
    if (vertices < 0 || faces < 0 || springs < 0 || maps < 0 || lods < 0)
      return check.Fail("negative count in SUBMESH");
    // The library's level-of-detail steps each take one vertex away.
    if (lods > vertices) return check.Fail("NUMLODSTEPS " + std::to_string(lods) + " out of range");
    if (!check.Count(sub, "VERTEX", vertices) || !check.Count(sub, "FACE", faces) ||
        !check.Count(sub, "SPRING", springs))
      return false;
    for (const Node* v = sub->first_node("VERTEX"); v; v = v->next_sibling("VERTEX")) {
      long influences = 0;
      if (!check.Int(v, "NUMINFLUENCES", influences)) return false;
      if (influences < 0) return check.Fail("negative NUMINFLUENCES");
      // The library reads a vertex's children in this order, each by its place.
      const Node* at = v->first_node();
      auto next = [&](const char* name) -> const Node* {
        if (!at || std::strcmp(at->name(), name) != 0) {
          check.Fail(std::string("VERTEX needs ") + name + " at its place");
          return nullptr;
        }
        const Node* here = at;
        at = at->next_sibling();
        return here;
      };
      const Node* pos = next("POS");
      if (!pos || !check.StreamedText(pos->value(), "POS", 3, false)) return false;
      const Node* norm = next("NORM");
      if (!norm || !check.StreamedText(norm->value(), "NORM", 3, false)) return false;
      // Read whenever present, whatever NUMLODSTEPS says.
      if (at && std::strcmp(at->name(), "COLLAPSEID") == 0) {
        const Node* collapse = next("COLLAPSEID");
        long id = 0;
        if (!check.IntText(collapse, id) || !check.Range(id, -1, vertices, "COLLAPSEID")) return false;
        const Node* collapseCount = next("COLLAPSECOUNT");
        long faceCount = 0;
        if (!collapseCount || !check.IntText(collapseCount, faceCount)) return false;
      } else if (lods > 0) {
        return check.Fail("VERTEX without COLLAPSEID");
      }
      for (long t = 0; t < maps; ++t) {
        const Node* texcoord = next("TEXCOORD");
        if (!texcoord || !check.StreamedText(texcoord->value(), "TEXCOORD", 2, false)) return false;
      }
      for (long i = 0; i < influences; ++i) {
        const Node* in = next("INFLUENCE");
        long bone = 0;
        if (!in || !check.Int(in, "ID", bone) || !check.Range(bone, 0, boneCount, "INFLUENCE ID"))
          return false;
        if (!check.Values(in, "INFLUENCE", 1)) return false;
      }
      if (springs > 0) {
        const Node* physique = next("PHYSIQUE");
        if (!physique || !check.Values(physique, "PHYSIQUE", 1)) return false;
      }
    }
    for (const Node* sp = sub->first_node("SPRING"); sp; sp = sp->next_sibling("SPRING")) {
      const rapidxml::xml_attribute<>* ids = sp->first_attribute("VERTEXID");
      if (!ids) return check.Fail("SPRING without VERTEXID");
      std::vector<double> id;
      if (!StreamTokens(ids->value(), 2, true, &id)) return check.Fail("SPRING needs two vertex ids");
      if (!check.Range(static_cast<long>(id[0]), 0, vertices, "SPRING VERTEXID") ||
          !check.Range(static_cast<long>(id[1]), 0, vertices, "SPRING VERTEXID"))
        return false;
      if (!check.Has(sp, "COEF") || !check.Has(sp, "LENGTH")) return false;
    }
    for (const Node* f = sub->first_node("FACE"); f; f = f->next_sibling("FACE")) {
      const rapidxml::xml_attribute<>* ids = f->first_attribute("VERTEXID");
      if (!ids) return check.Fail("FACE without VERTEXID");
      std::vector<double> id;
      if (!StreamTokens(ids->value(), 3, true, &id)) return check.Fail("FACE needs three vertex ids");
      for (double vertex : id)
        if (!check.Range(static_cast<long>(vertex), 0, vertices, "FACE VERTEXID")) return false;
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
          !check.Streamed(key, "TRANSLATION", 3) || !check.Streamed(key, "ROTATION", 4))
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
    // Raw texts: what the library's own parser makes of an entity is not ours to
    // guess, so a number written with one is no number.
    doc.parse<rapidxml::parse_no_entity_translation>(&text[0]);
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
  plat::fs::FileStatus status;
  if (!plat::fs::ReadFile(path, bytes, &status)) {
    error = std::string("cannot read the file: ") + plat::fs::Describe(status);
    return false;
  }
  return CheckCalXmlText(std::string(bytes.begin(), bytes.end()), kind, boneCount, error);
}

}  // namespace anm
}  // namespace vd
