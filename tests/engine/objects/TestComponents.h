#pragma once
// Components for the object tests: one reads every kind of key, the other counts
// the events it is handed. Both record their protocol calls in a shared journal.
#include <string>
#include <vector>

#include "engine/core/StringHash.h"
#include "engine/events/Event.h"
#include "engine/objects/Component.h"
#include "engine/objects/ComponentKeys.h"
#include "platform/math/Vector.h"

namespace vd {
namespace test {

// Protocol calls of every test component, in order.
inline std::vector<std::string>& Journal() {
  static std::vector<std::string> journal;
  return journal;
}

class CTestMover : public obj::CComponent<CTestMover> {
public:
  static const CStringHash& GetClassName() {
    static const CStringHash name("CTestMover");
    return name;
  }
  ~CTestMover() override {
    if (!IsCheckPointCopy()) Reset();
  }

  void Load(rapidxml::xml_node<>* element) override {
    obj::ForEachKeyWithDifficulty(element, difficulty, [this](const obj::CKey& key) {
      const uint32_t name = key.NameHash();
      if (name == ComputeHash("speed")) speed = key.Float();
      if (name == ComputeHash("lives")) lives = key.Int();
      if (name == ComputeHash("position")) position = key.Vector3();
      if (name == ComputeHash("rotation")) rotation = key.Vector4();
      if (name == ComputeHash("target")) target = key.Text();
    });
  }
  bool HasContent() override { return true; }
  void SetEnabled(bool enabled, bool fromCheckPoint) override {
    Journal().push_back(std::string("SetEnabled ") + (enabled ? "1 " : "0 ") +
                        (fromCheckPoint ? "1" : "0"));
    obj::IComponent::SetEnabled(enabled, fromCheckPoint);
  }
  bool Update(float dt) override {
    position.x += speed * dt;
    return true;
  }
  void OnBeforeRestore() override { Journal().push_back("OnBeforeRestore"); }
  void OnAfterRestore() override { Journal().push_back("OnAfterRestore"); }
  bool Init() override {
    Journal().push_back("Init");
    return true;
  }
  void Reset() override {
    speed = 0.0f;
    lives = 0;
    position = plat::Vec3();
    rotation = plat::Vec4();
    target.clear();
  }

  // Which difficulty's keys Load reads.
  static inline int difficulty = obj::kDifficultyNormal;

  float speed = 0.0f;
  int lives = 0;
  plat::Vec3 position;
  plat::Vec4 rotation;
  std::string target;
};

class CTestListener : public obj::CComponent<CTestListener> {
public:
  static const CStringHash& GetClassName() {
    static const CStringHash name("CTestListener");
    return name;
  }
  ~CTestListener() override {
    if (!IsCheckPointCopy()) Reset();
  }

  void HandleEvent(evn::IEvent* event) override {
    ++events;
    lastEvent = event->GetName() ? event->GetName() : "";
  }
  void Load(rapidxml::xml_node<>* element) override {
    obj::ForEachKey(element, [this](const obj::CKey& key) {
      if (key.NameHash() == ComputeHash("label")) label = key.Text();
    });
  }
  bool HasContent() override { return !label.empty(); }
  bool Update(float) override { return true; }
  bool Init() override { return true; }
  void Reset() override {
    events = 0;
    label.clear();
    lastEvent.clear();
  }

  int events = 0;
  std::string label;
  std::string lastEvent;
};

}  // namespace test
}  // namespace vd
