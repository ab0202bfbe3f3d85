#pragma once
// Makers that create objects by hashed class name: components and events.
#include <cstdint>
#include <map>

#include "engine/core/StringHash.h"

namespace vd {
namespace utl {

template <class Base>
class IFactoryMaker {
public:
  virtual ~IFactoryMaker() = default;
  virtual Base* Create() = 0;
  // The class's entry of a static name table.
  virtual const CStringHash& GetType() = 0;
};

// How a maker builds one object; the event model specialises it to draw from the
// class's pool.
template <class T, class Base>
struct FactoryCreate {
  static Base* Create() { return new T(); }
};

// T provides a static GetClassName() returning its static name entry.
template <class T, class Base>
class CFactoryMaker : public IFactoryMaker<Base> {
public:
  Base* Create() override { return FactoryCreate<T, Base>::Create(); }
  const CStringHash& GetType() override { return T::GetClassName(); }
};

template <class Base>
using FactoryMap = std::map<uint32_t, IFactoryMaker<Base>*>;

// Stores a new maker under the hash its own GetType gives; a maker already present
// under that hash stays and the new one is dropped.
template <class T, class Base>
void RegisterFactoryMaker(FactoryMap<Base>& map) {
  auto* maker = new CFactoryMaker<T, Base>();
  uint32_t key = maker->GetType().GetHash();
  if (!map.emplace(key, maker).second) delete maker;
}

template <class Base>
void UnregisterFactoryMaker(const CStringHash& name, FactoryMap<Base>& map) {
  auto it = map.find(name.GetHash());
  if (it == map.end()) return;
  delete it->second;
  map.erase(it);
}

template <class Base>
void DeleteFactoryMakers(FactoryMap<Base>& map) {
  for (auto& entry : map) delete entry.second;
  map.clear();
}

template <class Base>
Base* CreateByName(const FactoryMap<Base>& map, const CStringHash& name) {
  auto it = map.find(name.GetHash());
  return it == map.end() ? nullptr : it->second->Create();
}

}  // namespace utl
}  // namespace vd
