#include "engine/objects/Component.h"

namespace vd {
namespace obj {

namespace {
const CStringHash kNoFamily;
}

IComponent::~IComponent() {
  delete m_checkPointCopy;
  m_checkPointCopy = nullptr;
}

const CStringHash& IComponent::GetFamilyType() const { return kNoFamily; }

void IComponent::SetEnabled(bool enabled, bool fromCheckPoint) {
  (void)fromCheckPoint;
  m_enabled = enabled ? 1 : 0;
}

void IComponent::SetCheckPointCopy(IComponent* copy) {
  if (copy == m_checkPointCopy) return;
  delete m_checkPointCopy;
  m_checkPointCopy = copy;
  m_checkPointSaved = 0;
  if (copy) {
    copy->m_isCheckPointCopy = 1;
    copy->m_checkPointCopy = nullptr;
  }
}

IComponent* CreateComponent(const utl::FactoryMap<IComponent>& makers, const char* className) {
  return utl::CreateByName(makers, CStringHash(className ? className : ""));
}

}  // namespace obj
}  // namespace vd
