#pragma once
// What the main menu and the pause menu share to run their pages: whole pages on
// and off, the menu's input actions with their clicks, the volume sliders and the
// digit read-outs, the save and back of the game-options and graphics pages, and
// the pictures of the player's language.
#include <cstdint>

#include "engine/core/StringHash.h"
#include "engine/render/device/GraphicsManager.h"

namespace vd {

class CGameStateMenu;

namespace menu {

// The input slots of the menu's actions.
constexpr int kUpSlots[] = {2, 20};
constexpr int kDownSlots[] = {4, 22};
constexpr int kRightSlots[] = {3, 21};
constexpr int kLeftSlots[] = {5, 23};
constexpr int kAcceptSlots[] = {24, 25, 10, 12, 18};
constexpr int kBackSlots[] = {26, 27};

// The texture offset of the digit strip's row for a digit 0..9.
float DigitOffset(int digit);
// The number a volume reads as (0..100), to the nearest step.
int VolumeReadOut(float volume);

void ShowPage(CGameStateMenu& state, const CStringHash& page);
void HidePage(CGameStateMenu& state, const CStringHash& page);

// Presses; up and down click.
bool Up(CGameStateMenu& state);
bool Down(CGameStateMenu& state);
bool Right(CGameStateMenu& state);
bool Left(CGameStateMenu& state);
bool Accept(CGameStateMenu& state);
bool Back(CGameStateMenu& state);

// Once per menu update: the hold timer restarts when no direction is held, and a
// left or right press clicks.
void HorizontalSound(CGameStateMenu& state);
// Once per menu update: "menu_black_front" fades out, then goes off.
void MenuFadeOut(CGameStateMenu& state);

// One volume row of the sound page: `type` "music", "sfx" or "voice".
void VolumeRow(CGameStateMenu& state, const char* type, float& volume);
void VolumeReadOuts(CGameStateMenu& state);
void ResolutionReadOut(CGameStateMenu& state);

void SaveGameConfig(CGameStateMenu& state);
void BackGameConfig(CGameStateMenu& state);
void SaveGraphicsConfig(CGameStateMenu& state);
// The device's next presentation as the saved graphics values ask, with a sample
// count the device can make, and the reset that takes it in.
void RequestDeviceReset(gfx::CGraphicsManager& device, int width, int height, int antialiasing,
                        uint8_t vsync);
void BackGraphicsConfig(CGameStateMenu& state);

// Every element drawn in the pending language.
void ApplyLanguageTextures(CGameStateMenu& state);
// The titles' picture ("menu/MenuTitles_01.dds") in the pending language.
void ApplyMenuTitles(CGameStateMenu& state);
// The pending values from the options (and the application's screen size).
void ResetPendingGameConfig(CGameStateMenu& state);
void ResetPendingGraphics(CGameStateMenu& state);

}  // namespace menu
}  // namespace vd
