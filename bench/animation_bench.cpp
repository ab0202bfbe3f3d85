// One 60 Hz frame of 50 fighters on the 50-bone humanoid (every bone moves in every
// animation), as the game animates them: two cycles blended (run 0.7, idle 0.3),
// an action on top (a dash or a sword swing, started again whenever it ends),
// sub-stepped updates sampling the sword's grip and tip, root motion, and then each
// figure's skinning palette (one 3x4 matrix per bone, from the bone-space
// transforms) as the vertex shader takes it.
// Peer: the goal budget of 2 ms per frame; "of_goal" is the measured share of it.
#include <benchmark/benchmark.h>
#include <cal3d/cal3d.h>
#include <unistd.h>

#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "engine/animation/AnimationManager.h"
#include "engine/animation/Animator.h"
#include "engine/animation/Mixer.h"
#include "engine/objects/Transform.h"

namespace {

using vd::anm::CAnimator;

constexpr int kInstances = 50;
constexpr float kFrame = 1.0f / 60.0f;
constexpr double kGoalMs = 2.0;

// One row-major 3x4 matrix per bone: rotation and translation from bind pose to
// the current pose.
void BuildPalette(CalModel* model, std::vector<float>& palette) {
  const std::vector<CalBone*>& bones = model->getSkeleton()->getVectorBone();
  palette.resize(bones.size() * 12);
  float* out = palette.data();
  for (CalBone* bone : bones) {
    const CalMatrix m(bone->getRotationBoneSpace());
    const CalVector& t = bone->getTranslationBoneSpace();
    const float rows[12] = {m.dxdx, m.dxdy, m.dxdz, t.x,    m.dydx, m.dydy,
                            m.dydz, t.y,    m.dzdx, m.dzdy, m.dzdz, t.z};
    for (float value : rows) *out++ = value;
  }
}

void BM_AnimateFiftyFighters(benchmark::State& state) {
  if (chdir(HM_SOURCE_DIR) != 0) {
    state.SkipWithError("no repository root");
    return;
  }
  vd::anm::CAnimationManager manager;
  vd::anm::CAnimationManager::SetLoadingModeRotateX();
  vd::anm::CAnimationTemplate* figure =
      manager.LoadTemplate("fighter", "Data/anims/humanoid_full.xsf");
  bool loaded =
      figure && figure->LoadMesh("humanoid_full.xmf", "Data/anims/humanoid_full.xmf", 0, false);
  for (const char* name : {"idle", "run", "dash", "attack"}) {
    loaded = loaded &&
             figure->LoadAnimation(name, std::string("Data/anims/humanoid_full_") + name + ".xaf");
  }
  if (!loaded) {
    state.SkipWithError("the 50-bone humanoid did not load");
    return;
  }
  const int idle = figure->GetAnimationId("idle");

  std::vector<std::string> names;
  for (int i = 0; i < kInstances; ++i) names.push_back("fighter_" + std::to_string(i));
  std::vector<std::unique_ptr<CAnimator>> animators;
  std::vector<vd::gfx::CTransform> transforms(kInstances);
  std::vector<std::vector<float>> palettes(kInstances);
  for (int i = 0; i < kInstances; ++i) {
    manager.CreateInstance(names[i].c_str(), "fighter");
    manager.AttachMesh(names[i].c_str(), "humanoid_full.xmf");
    auto animator = std::make_unique<CAnimator>();
    // Named as Load would name them; the instance exists already.
    std::string xml =
        "<c><key name='animation' value='fighter'/><key name='animation_instance_name' "
        "value='" +
        names[i] + "'/><key name='static' value='0'/></c>";
    std::vector<char> buffer(xml.begin(), xml.end());
    buffer.push_back('\0');
    rapidxml::xml_document<> doc;
    doc.parse<0>(buffer.data());
    animator->Load(doc.first_node());
    transforms[i].UpdateMatrix();
    animator->SetTransform(&transforms[i]);
    animator->subStepping = 1;
    animator->AddSampledBone("Bone01");
    animator->AddSampledBone("Bone06");
    animator->BlendCycle("run", 0.7f, 0.0f, 0.0f);
    animator->GetMixer()->blendCycle(idle, 0.3f, 0.0f);
    animator->Update(0.013f * i);  // spread the phases
    animators.push_back(std::move(animator));
  }

  const vd::CStringHash actions[2] = {vd::CStringHash("dash"), vd::CStringHash("attack")};
  size_t samples = 0;
  // Processor time: the share of the goal must not grow with a busy machine.
  const std::clock_t start = std::clock();
  for (auto _ : state) {
    for (int i = 0; i < kInstances; ++i) {
      CAnimator& animator = *animators[i];
      if (animator.GetMixer()->getAnimationActionList().empty())
        animator.ExecuteAction(actions[i % 2], 1.0f, 0.1f, 0.1f, false);
      animator.Update(kFrame);
      samples += animator.GetBoneSamples("Bone06")->size();
      BuildPalette(animator.GetModel(), palettes[i]);
    }
    benchmark::DoNotOptimize(palettes.data());
  }
  const double elapsedMs = static_cast<double>(std::clock() - start) * 1.0e3 / CLOCKS_PER_SEC;
  state.SetLabel("peer: goal 2 ms per frame");
  state.counters["of_goal"] = elapsedMs / static_cast<double>(state.iterations()) / kGoalMs;
  state.counters["bones"] = static_cast<double>(palettes[0].size() / 12);
  state.counters["tracks"] = static_cast<double>(
      animators[0]->GetModel()->getCoreModel()->getCoreAnimation(idle)->getListCoreTrack().size());
  state.counters["samples_per_frame"] =
      static_cast<double>(samples) / static_cast<double>(state.iterations()) / kInstances;
  // Metres the dashing figures moved: shows that root motion ran.
  double moved = 0.0;
  for (int i = 0; i < kInstances; i += 2) moved += transforms[i].position.z;
  state.counters["moved_m"] = moved;
  for (auto& animator : animators) animator->Reset();
}
BENCHMARK(BM_AnimateFiftyFighters)->Unit(benchmark::kMillisecond);

}  // namespace
