#pragma once
// The base of every component of a game object, and the checkpoint protocol that
// concrete components share.
#include <cstdint>

#include <rapidxml/rapidxml.hpp>

#include "engine/core/FactoryMaker.h"
#include "engine/core/StringHash.h"
#include "engine/events/Event.h"

namespace vd {
namespace obj {

class CGameObject;

// The object manager and the game object drive every component through these
// operations without knowing its class. A component receives events only through
// its object, which forwards what it receives.
class IComponent : public evn::IEventListener {
public:
  IComponent() = default;
  // Deletes the checkpoint copy. A concrete destructor calls Reset first unless the
  // instance is itself a checkpoint copy: a copy must never release what the live
  // component holds.
  ~IComponent() override;

  void HandleEvent(evn::IEvent* event) override { (void)event; }
  // Reads the parameters of a Component element (see ComponentKeys.h).
  virtual void Load(rapidxml::xml_node<>* element) = 0;
  // Whether the component has anything to work on.
  virtual bool HasContent() = 0;
  // Called when the object's group is restarted, before its scripts run again.
  virtual void Restart() {}
  // The class's static name record, also the key of its maker.
  virtual const CStringHash& GetType() const = 0;
  // The family's record; the no-name record unless a class belongs to a family.
  virtual const CStringHash& GetFamilyType() const;
  // Overrides act only on a change of the flag. fromCheckPoint is true only when
  // LoadCheckPoint calls it.
  virtual void SetEnabled(bool enabled, bool fromCheckPoint);
  virtual bool Update(float dt) = 0;
  // Takes every field of a component of the same class (a template's).
  virtual void CopyFrom(const IComponent& source) = 0;
  virtual void SaveCheckPoint() {}
  virtual void LoadCheckPoint() {}
  // Around the copy back of LoadCheckPoint.
  virtual void OnBeforeRestore() {}
  virtual void OnAfterRestore() {}
  // Just before an instance's own Component element is loaded over the template's
  // values.
  virtual bool BeginOverride() { return true; }
  // Once all components of an instance are loaded and its scripts are set up.
  virtual bool Init() = 0;
  // Back to the empty state, releasing what Init acquired.
  virtual void Reset() = 0;

  bool IsEnabled() const { return m_enabled != 0; }
  CGameObject* GetOwner() const { return m_owner; }
  void SetOwner(CGameObject* owner) { m_owner = owner; }
  bool IsCheckPointCopy() const { return m_isCheckPointCopy != 0; }
  IComponent* GetCheckPointCopy() const { return m_checkPointCopy; }
  // Takes ownership of the copy (deleting a previous one) and marks it as a copy.
  // A new copy holds nothing saved until the next SaveCheckPoint.
  void SetCheckPointCopy(IComponent* copy);
  // Whether the checkpoint copy holds a saved state that LoadCheckPoint may restore.
  bool HasSavedCheckPoint() const { return m_checkPointSaved != 0; }

protected:
  // Only the checkpoint protocol copies the base fields, and it puts back the
  // checkpoint-copy pointer and flag that the assignment carried over. There is no
  // copy construction: two components would own one checkpoint copy.
  IComponent(const IComponent&) = delete;
  IComponent& operator=(const IComponent&) = default;

  uint8_t m_enabled = 0;
  CGameObject* m_owner = nullptr;
  uint8_t m_isCheckPointCopy = 0;
  IComponent* m_checkPointCopy = nullptr;
  // Set by SaveCheckPoint. A component built after the last save has a copy that
  // was never filled: restoring it would wipe what Init acquired (a collider's
  // collision object, a renderer's registration) and leak it.
  uint8_t m_checkPointSaved = 0;
};

// Makes a component by class name from the makers: the name is hashed, so class
// names compare without regard to case. Null when no maker has that name.
IComponent* CreateComponent(const utl::FactoryMap<IComponent>& makers, const char* className);

// The checkpoint protocol on top of the class's copy assignment. Derived provides a
// static GetClassName() (its entry of a static name table), a default constructor
// and a copy assignment that copies every field, texts included (keep texts as
// owned strings, never as pointers into an XML buffer).
template <class Derived, class Base = IComponent>
class CComponent : public Base {
public:
  const CStringHash& GetType() const override { return Derived::GetClassName(); }

  // Every field of the source; the owner and the checkpoint copy stay this
  // instance's own.
  void CopyFrom(const IComponent& source) override {
    if (source.GetType() != GetType() || &source == this) return;
    CGameObject* owner = this->m_owner;
    IComponent* copy = this->m_checkPointCopy;
    const uint8_t isCopy = this->m_isCheckPointCopy;
    const uint8_t saved = this->m_checkPointSaved;
    Self() = static_cast<const Derived&>(source);
    this->m_owner = owner;
    this->m_checkPointCopy = copy;
    this->m_isCheckPointCopy = isCopy;
    this->m_checkPointSaved = saved;
  }

  // Copies this instance into its checkpoint copy, making the copy when the
  // instance was built without one.
  void SaveCheckPoint() override {
    if (this->m_isCheckPointCopy) return;
    if (!this->m_checkPointCopy) this->SetCheckPointCopy(new Derived());
    Derived& copy = static_cast<Derived&>(*this->m_checkPointCopy);
    copy = Self();
    copy.m_isCheckPointCopy = 1;
    copy.m_checkPointCopy = nullptr;
    copy.m_checkPointSaved = 0;
    this->m_checkPointSaved = 1;
  }

  // The enabled state first (so that registrations change once), then the data.
  // Nothing when nothing was saved.
  void LoadCheckPoint() override {
    if (this->m_isCheckPointCopy || !this->m_checkPointCopy || !this->m_checkPointSaved) return;
    const Derived& saved = static_cast<const Derived&>(*this->m_checkPointCopy);
    this->SetEnabled(saved.m_enabled != 0, true);
    this->OnBeforeRestore();
    IComponent* copy = this->m_checkPointCopy;
    CGameObject* owner = this->m_owner;
    Self() = saved;
    this->m_checkPointCopy = copy;
    this->m_isCheckPointCopy = 0;
    this->m_checkPointSaved = 1;
    this->m_owner = owner;
    this->OnAfterRestore();
  }

private:
  Derived& Self() { return static_cast<Derived&>(*this); }
};

}  // namespace obj

}  // namespace vd
