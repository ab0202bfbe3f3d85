// The fighter's events and what it suffers: hits, waves, the fatality window,
// death and corpse.
#include "game/enemies/Berserker.h"

namespace vd {

void CBerserker::HandleEvent(evn::IEvent* event) { CPatrol::HandleEvent(event); }

// TEMPORARY stand-in until the reactions are built: the actor base's hit, death and
// corpse handlers serve.
void CBerserker::UpdateReactionState(float /*dt*/) {
  if (current.state == 32 || current.state == 35 || current.state == 36)
    RunBaseHandler(current.state);
}

}  // namespace vd
