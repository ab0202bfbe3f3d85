#pragma once
// State 4: the intro between loading and play. The narration plays with a loop under
// it, the intro's panels fade and scale on a timetable of fractions of the narration's
// length, eight subtitle frames start at fixed times, and the use button skips it.
// Its end starts the level's scripts ("OnInitGame") and play.
#include <cstdint>

#include "game/flow/GameStates.h"

namespace vd {

namespace obj {
class CGameObjectManager;
}
struct STimedScreenElement;

class CGameStateIntro : public CGameStateBase {
public:
  static constexpr const char* kIntroFile = "Data/xml/intro.xml";
  // The panels' effect: loaded with the intro, as nothing before it draws one.
  static constexpr const char* kShadersFile = "Data/xml/intro_shaders.xml";
  static constexpr const char* kNarration = "intro_brannoc";
  static constexpr const char* kSubtitleTexture = "hud/Subtitles_intro.dds";
  static constexpr int kSubtitleCount = 8;
  struct SSubtitle {
    float at;    // seconds of the intro clock
    float time;  // seconds on screen
  };
  static const SSubtitle kSubtitles[kSubtitleCount];

  void Exit() override;
  bool Update(float dt) override;

  float GetClock() const { return m_clock; }
  float GetLength() const { return m_length; }
  bool IsSubtitleShown(int frame) const {
    return frame >= 0 && frame < kSubtitleCount && m_subtitleShown[frame];
  }

  // Tests point it at their own files.
  const char* introFile = kIntroFile;

protected:
  bool OnEnter() override;

private:
  void StepElement(STimedScreenElement& element, float dt);
  void StepSubtitles();
  void Finish();

  float m_clock = 0.0f;
  float m_length = 0.0f;
  bool m_subtitleShown[kSubtitleCount] = {};
};

// The intro file into the front end's intro table, replacing what it held: every
// object of the template "intro" first gets the menu's screen base (when the menu has
// read its size), then each `intro` element whose name has an object with a renderer
// becomes a record; others are logged and skipped. False, with a log line, for a
// missing, empty or malformed file.
bool ReadIntroFile(const char* path, obj::CGameObjectManager& objects, CFrontEndData& frontEnd);

}  // namespace vd
