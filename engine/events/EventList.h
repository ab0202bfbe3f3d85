#pragma once
// Every event class of the engine and of the game, once: X(Name, chunk size)
// stands for the class evn::CEvent<Name>, made by the maker registered under
// "CEvent<Name>", delivered under the message name "On<Name>", and pooled N to
// a chunk. The script-only event has no message name of its own and is not
// listed. Adding an event: one entry here, its class with its field table.
#include <cstdint>

#define HM_ENGINE_EVENTS(X) \
  X(CollisionEnter, 100)    \
  X(CollisionStay, 200)     \
  X(CollisionExit, 50)      \
  X(Timer, 20)              \
  X(Movement, 2)

#define HM_GAME_EVENTS(X) \
  X(ZoneChange, 10)       \
  X(PlayerAttack, 2)      \
  X(EnemyAttack, 1)       \
  X(Cinematic, 1)         \
  X(Sequence, 5)          \
  X(ReachPos, 5)          \
  X(Action, 10)           \
  X(Death, 5)             \
  X(Hit, 2)               \
  X(ShockWave, 1)         \
  X(Shake, 5)             \
  X(EnableUse, 1)         \
  X(Use, 5)               \
  X(HUDChange, 4)         \
  X(Fatality, 1)          \
  X(Explosion, 5)         \
  X(EndGame, 1)           \
  X(OrbAbsorved, 5)

namespace vd {
namespace evn {

// The chunk size of a listed class, from its entry.
template <class T>
struct SEventChunk;

}  // namespace evn
}  // namespace vd

// Inside namespace vd::evn: declares the class and its chunk size.
#define HM_EVENT_CHUNK(Name, N)          \
  class CEvent##Name;                    \
  template <>                            \
  struct SEventChunk<CEvent##Name> {     \
    static constexpr uint32_t value = N; \
  };
