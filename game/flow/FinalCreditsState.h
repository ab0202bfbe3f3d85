#pragma once
// State 7: the final credits after "OnEndGame". The level stands frozen behind a black
// screen, the credits song plays once and each card fades in and out at fractions of
// the song's length; when the song is over the game goes back to the main menu
// through ExitToMainMenu.
#include "game/flow/GameStates.h"

namespace vd {

namespace gfx {
class CRenderManager;
}
namespace obj {
class CGameObjectManager;
}
struct STimedScreenElement;

class CGameStateFinalCredits : public CGameStateBase {
public:
  static constexpr const char* kCreditsFile = "Data/xml/final_credits.xml";
  static constexpr const char* kSong = "final_credits";
  // The black screen behind the cards.
  static constexpr const char* kBackground = "final_credits_background";

  void Exit() override;
  bool Update(float dt) override;

  float GetClock() const { return m_clock; }
  float GetLength() const { return m_length; }

  // Tests point it at their own files.
  const char* creditsFile = kCreditsFile;

protected:
  // The credits file's result: false when it could not be read (the song still plays
  // and the state still ends with it).
  bool OnEnter() override;

private:
  void ShowCard(STimedScreenElement& card);

  float m_clock = 0.0f;
  float m_length = 0.0f;
};

// The credits file into the front end's credits table, replacing what it held: the
// screen base and, per `credits` element whose name has an object with a renderer, its
// alignment, timing, start alpha and fade speed, and its image under `language`
// ("eng/" or "spa/"), queued in `render` and shown as soon as it is made. Others are
// logged and skipped. False, with a log line, for a missing, empty or malformed file
// or one without its `res` root.
bool ReadCreditsFile(const char* path, obj::CGameObjectManager& objects, CFrontEndData& frontEnd,
                     gfx::CRenderManager& render, const char* language);

}  // namespace vd
