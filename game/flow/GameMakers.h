#pragma once
// The game's component and event makers: which classes a level's XML and its
// scripts can create by name, filed after the engine's own and taken out before
// them, each table in its own order.
#include "engine/core/FactoryMaker.h"
#include "engine/events/Event.h"

namespace vd {

namespace obj {
class IComponent;
}

// One row of the component table: the class name it is filed under, and how its
// maker is filed (null while the class is not part of the game yet).
struct SGameComponentMaker {
  const char* className;
  void (*registerMaker)(utl::FactoryMap<obj::IComponent>& makers);
};

constexpr int kGameComponentMakerCount = 15;
extern const SGameComponentMaker kGameComponentMakers[kGameComponentMakerCount];

// In table order; a class already filed keeps its maker.
void RegisterGameComponentMakers(utl::FactoryMap<obj::IComponent>& makers);
// Every key of the table, in the same order; keys nobody filed are skipped.
void UnregisterGameComponentMakers(utl::FactoryMap<obj::IComponent>& makers);

// The eighteen game events: each class's type set to its message name, then its
// maker filed under its class name; removal in the same order.
void RegisterGameEventMakers(utl::FactoryMap<evn::IEvent>& makers);
void UnregisterGameEventMakers(utl::FactoryMap<evn::IEvent>& makers);

}  // namespace vd
