#pragma once
// The parameter format of Component and Script elements:
//   <key name="speed" value="2.5"/>
//   <key name="position" X="1" Y="2" Z="3"/>
//   <difficulty><easy><key .../></easy><normal>...</normal><hard>...</hard></difficulty>
// Names compare by hash (any letter case); a missing attribute reads as "", so 0.
#include <cstdint>
#include <map>

#include <rapidxml/rapidxml.hpp>

#include "platform/math/Vector.h"

namespace vd {
namespace obj {

// Game option values of the difficulty.
enum EDifficulty : int { kDifficultyEasy = 0, kDifficultyNormal = 1, kDifficultyHard = 2 };
// "easy", "normal" or "hard"; null for any other value.
const char* DifficultyName(int difficulty);

// One key element.
class CKey {
public:
  explicit CKey(const rapidxml::xml_node<>* node) : m_node(node) {}

  // Hash of the name attribute (an absent name hashes as "": 0).
  uint32_t NameHash() const;
  const char* Name() const { return Attribute("name"); }
  // The attribute's text; "" when absent. Copy it to keep it: the XML buffer does
  // not outlive loading.
  const char* Attribute(const char* attribute) const;
  const char* Text() const { return Attribute("value"); }
  float Float() const { return Float("value"); }
  int Int() const { return Int("value"); }
  float Float(const char* attribute) const;
  int Int(const char* attribute) const;
  // X, Y, Z (and W) attributes.
  plat::Vec3 Vector3() const;
  plat::Vec4 Vector4() const;
  const rapidxml::xml_node<>* Node() const { return m_node; }

private:
  const rapidxml::xml_node<>* m_node;
};

// Each key child of the element, in document order (a later key of a name overrides
// an earlier one by being read last). Elements of other names are not keys.
template <class F>
void ForEachKey(const rapidxml::xml_node<>* element, F&& visit) {
  if (!element) return;
  for (const rapidxml::xml_node<>* node = element->first_node("key"); node;
       node = node->next_sibling("key")) {
    visit(CKey(node));
  }
}

// The keys of the child named after the difficulty, in every difficulty element of
// the element, in document order.
template <class F>
void ForEachDifficultyKey(const rapidxml::xml_node<>* element, int difficulty, F&& visit) {
  const char* level = DifficultyName(difficulty);
  if (!element || !level) return;
  for (const rapidxml::xml_node<>* block = element->first_node("difficulty"); block;
       block = block->next_sibling("difficulty")) {
    for (const rapidxml::xml_node<>* child = block->first_node(level); child;
         child = child->next_sibling(level)) {
      ForEachKey(child, visit);
    }
  }
}

// Ordinary keys first, then the current difficulty's, which override them.
template <class F>
void ForEachKeyWithDifficulty(const rapidxml::xml_node<>* element, int difficulty, F&& visit) {
  ForEachKey(element, visit);
  ForEachDifficultyKey(element, difficulty, visit);
}

// Script parameters: hash of each key's name -> atof of its value.
void ReadParams(std::map<uint32_t, float>& params, const rapidxml::xml_node<>* element);
// The difficulty's keys of the element's difficulty blocks, over what params holds:
// what the application's difficulty hook does for a Script element.
void ReadDifficultyParams(std::map<uint32_t, float>& params,
                          const rapidxml::xml_node<>* element, int difficulty);

}  // namespace obj
}  // namespace vd
