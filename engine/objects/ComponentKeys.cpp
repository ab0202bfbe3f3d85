#include "engine/objects/ComponentKeys.h"

#include <cstdlib>

#include "engine/core/StringHash.h"

namespace vd {
namespace obj {

const char* DifficultyName(int difficulty) {
  switch (difficulty) {
    case kDifficultyEasy: return "easy";
    case kDifficultyNormal: return "normal";
    case kDifficultyHard: return "hard";
    default: return nullptr;
  }
}

const char* CKey::Attribute(const char* attribute) const {
  const rapidxml::xml_attribute<>* found = m_node ? m_node->first_attribute(attribute) : nullptr;
  return found ? found->value() : "";
}

uint32_t CKey::NameHash() const { return ComputeHash(Name()); }

float CKey::Float(const char* attribute) const {
  return static_cast<float>(std::atof(Attribute(attribute)));
}

int CKey::Int(const char* attribute) const { return std::atoi(Attribute(attribute)); }

plat::Vec3 CKey::Vector3() const { return plat::Vec3(Float("X"), Float("Y"), Float("Z")); }

plat::Vec4 CKey::Vector4() const {
  return plat::Vec4(Float("X"), Float("Y"), Float("Z"), Float("W"));
}

void ReadParams(std::map<uint32_t, float>& params, const rapidxml::xml_node<>* element) {
  ForEachKey(element, [&](const CKey& key) { params[key.NameHash()] = key.Float(); });
}

void ReadDifficultyParams(std::map<uint32_t, float>& params,
                          const rapidxml::xml_node<>* element, int difficulty) {
  ForEachDifficultyKey(element, difficulty,
                       [&](const CKey& key) { params[key.NameHash()] = key.Float(); });
}

}  // namespace obj
}  // namespace vd
