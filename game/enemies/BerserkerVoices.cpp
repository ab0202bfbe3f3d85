// The fighter's one voice: grunts when hit, a cry when thrown down, a death cry
// and a shout with each attack, placed at the fighter in 3D.
#include <cstdio>
#include <string>

#include "engine/audio/AudioManager.h"
#include "engine/objects/Transform.h"
#include "game/enemies/AIData.h"
#include "game/enemies/Berserker.h"
#include "game/enemies/EnemyNames.h"
#include "platform/crt/Crt.h"

namespace vd {

namespace {

// "prefix_0n" below 10, "prefix_n" from 10 on.
std::string Numbered(const char* prefix, int n) {
  char name[512];
  std::snprintf(name, sizeof name, n < 10 ? "%s_0%d" : "%s_%d", prefix, n);
  return name;
}

int Variant(int count) { return plat::Rand() % count + 1; }

std::string AttackVoice(int kind, const CStringHash& attack) {
  if (kind == kEnemyZombie) {
    if (attack == SH_attack_short_01 || attack == SH_attack_short_02)
      return Numbered("zombie_attack_short", Variant(2));
    if (attack == SH_attack_large_01) return Numbered("zombie_attack_large", Variant(2));
    if (attack == SH_attack_double_01) return Numbered("zombie_attack_double", 1);
    if (attack == SH_attack_combo_01) return Numbered("zombie_attack_combo", Variant(2));
    return Numbered("zombie_vomit", 1);
  }
  if (kind == kEnemyMutant) {
    if (attack == SH_attack_short_01) return Numbered("mutant_attack_short", 1);
    if (attack == SH_attack_combo_01) return Numbered("mutant_attack_combo", 1);
    return Numbered("mutant_attack", Variant(4));
  }
  return std::string();
}

}  // namespace

std::string CBerserker::ChooseVoice(int operation, int voiceKind, bool flag,
                                    const CStringHash& attack) {
  const bool zombie = voiceKind == kEnemyZombie;
  switch (operation) {
    case kVoiceHit:
      if (zombie) return flag ? Numbered("zombie_fallstand", 1) : Numbered("zombie_hit", Variant(3));
      return flag ? Numbered("mutant_hit_fallstandup", Variant(2)) : Numbered("mutant_hit", Variant(11));
    case kVoiceWave:
      return zombie ? SH_zombie_wave_death_01.c_str() : SH_mutant_hit_wave_01.c_str();
    case kVoiceDeath:
      if (!zombie) return Numbered("mutant_death", Variant(2));
      if (!flag) return Numbered("zombie_death", Variant(2));
      if (actionAnimation.Get() == SH_death_explosion_01) return SH_zombie_death_explosion_01.c_str();
      if (actionAnimation.Get() == SH_death_explosion_02) return SH_zombie_death_explosion_02.c_str();
      return std::string();
    case kVoiceAttack:
      return AttackVoice(voiceKind, attack);
    default:
      return std::string();
  }
}

bool CBerserker::IsVoiceRunning() const { return voiceTimers[0] < voiceTimers[1]; }

void CBerserker::StartVoice(const std::string& name, bool cut) {
  if (name.empty()) return;
  sfx::CAudioManager* audio = sfx::CAudioManager::GetInstance();
  if (!audio) return;
  if (cut && IsVoiceRunning()) audio->StopSound(voiceChannel);
  plat::Vec3 at, facing(0.0f, 0.0f, 1.0f);
  if (transform) {
    at = transform->position;
    facing = plat::Vec3(transform->world(2, 0), transform->world(2, 1), transform->world(2, 2));
  }
  voiceChannel = audio->PlaySoundAt(name.c_str(), at, facing);
  // A name the banks lack plays nothing and holds no later voice back.
  voiceTimers[1] = 0.0f;
  if (voiceChannel != 0) {
    audio->SetSound3DParams(voiceChannel, 25.0f, 100.0f);
    voiceTimers[1] = audio->GetSoundDuration(voiceChannel);
  }
  voiceTimers[0] = 0.0f;
}

void CBerserker::PlayZombieHitVoice(bool fall) {
  if (IsVoiceRunning()) return;
  StartVoice(ChooseVoice(kVoiceHit, kEnemyZombie, fall, CStringHash()), false);
}

void CBerserker::PlayMutantHitVoice(bool fall) {
  if (IsVoiceRunning()) return;
  StartVoice(ChooseVoice(kVoiceHit, kEnemyMutant, fall, CStringHash()), false);
}

void CBerserker::PlayZombieWaveVoice() {
  StartVoice(ChooseVoice(kVoiceWave, kEnemyZombie, false, CStringHash()), true);
}

void CBerserker::PlayMutantWaveVoice() {
  StartVoice(ChooseVoice(kVoiceWave, kEnemyMutant, false, CStringHash()), true);
}

void CBerserker::PlayZombieDeathVoice(bool explosion) {
  StartVoice(ChooseVoice(kVoiceDeath, kEnemyZombie, explosion, CStringHash()), true);
}

void CBerserker::PlayMutantDeathVoice() {
  StartVoice(ChooseVoice(kVoiceDeath, kEnemyMutant, false, CStringHash()), true);
}

void CBerserker::PlayAttackVoice(const CStringHash& attack) {
  StartVoice(ChooseVoice(kVoiceAttack, kind, false, attack), true);
}

}  // namespace vd
