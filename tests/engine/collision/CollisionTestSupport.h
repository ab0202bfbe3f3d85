#pragma once
// Shared by the collision tests: game objects with a
// component that records the collision events handed to them, and mesh files
// written byte by byte.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "engine/core/EngineNames.h"
#include "engine/core/Log.h"
#include "engine/events/EngineEvents.h"
#include "engine/objects/Component.h"
#include "engine/objects/GameObject.h"
#include "platform/math/Vector.h"
#include "tests/support/LogRecorder.h"

namespace vd {
namespace test {

// One delivered collision event, as its receiver saw it.
struct SSeenEvent {
  std::string type;  // "OnCollisionEnter", ...
  std::string receiver;
  std::string other;
  std::string ownClass;
  std::string otherClass;
  std::string ownName;
  std::string otherName;
  plat::Vec3 point;
  plat::Vec3 normal;
  float depth = 0.0f;
};

inline std::vector<SSeenEvent>& SeenEvents() {
  static std::vector<SSeenEvent> seen;
  return seen;
}

inline std::string Text(const CStringHash& name) { return name.c_str(); }

// Records every collision event its object hands it.
class CCollisionRecorder : public obj::CComponent<CCollisionRecorder> {
public:
  static const CStringHash& GetClassName() {
    static const CStringHash name("CCollisionRecorder");
    return name;
  }
  void HandleEvent(evn::IEvent* event) override {
    SSeenEvent seen;
    seen.type = event->GetName() ? event->GetName() : "";
    seen.receiver = GetOwner() ? GetOwner()->GetNameText() : "";
    const evn::SCollisionSides* sides = nullptr;
    if (event->GetType() == SH_OnCollisionEnter) {
      auto* e = static_cast<evn::CEventCollisionEnter*>(event);
      sides = &e->sides;
      seen.point = e->point;
      seen.normal = e->normal;
      seen.depth = e->depth;
    } else if (event->GetType() == SH_OnCollisionStay) {
      auto* e = static_cast<evn::CEventCollisionStay*>(event);
      sides = &e->sides;
      seen.point = e->point;
      seen.normal = e->normal;
      seen.depth = e->depth;
    } else if (event->GetType() == SH_OnCollisionExit) {
      sides = &static_cast<evn::CEventCollisionExit*>(event)->sides;
    } else {
      return;
    }
    seen.other = sides->otherObject ? sides->otherObject->GetNameText() : "";
    seen.ownClass = Text(sides->ownClass);
    seen.otherClass = Text(sides->otherClass);
    seen.ownName = Text(sides->ownName);
    seen.otherName = Text(sides->otherName);
    SeenEvents().push_back(seen);
  }
  void Load(rapidxml::xml_node<>*) override {}
  bool HasContent() override { return true; }
  bool Update(float) override { return true; }
  bool Init() override { return true; }
  void Reset() override {}
};

// The bytes of a mesh file: header fields at their offsets, then the arrays.
inline std::vector<unsigned char> MeshBytes(uint32_t vertexCount, uint32_t indexCount,
                                            uint32_t indexSize, const std::vector<float>& vertices,
                                            const std::vector<uint16_t>& indices) {
  std::vector<unsigned char> bytes(40, 0);
  auto put = [&bytes](size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<unsigned char>(value >> (8 * i));
  };
  put(12, vertexCount);
  put(20, indexCount);
  put(32, indexSize);
  for (float f : vertices) {
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<unsigned char>(bits >> (8 * i)));
  }
  for (uint16_t index : indices) {
    bytes.push_back(static_cast<unsigned char>(index & 0xFF));
    bytes.push_back(static_cast<unsigned char>(index >> 8));
  }
  return bytes;
}

inline bool WriteBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  const bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && ok;
}

}  // namespace test
}  // namespace vd
