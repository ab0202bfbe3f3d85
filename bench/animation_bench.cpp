// 50 animated copies of the generated humanoid updated for one frame: mixer,
// skeleton, skinning and root motion, as the animator runs them. Goal: < 2 ms.
#include <benchmark/benchmark.h>

#include <unistd.h>

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

// The data paths are relative to the repository root, two levels above this file.
bool EnterRepositoryRoot() {
  std::string root = __FILE__;
  root = root.substr(0, root.find_last_of('/'));
  root = root.substr(0, root.find_last_of('/'));
  return chdir(root.c_str()) == 0;
}

void BM_AnimateFiftyHumanoids(benchmark::State& state) {
  if (!EnterRepositoryRoot()) {
    state.SkipWithError("no repository root");
    return;
  }
  vd::anm::CAnimationManager manager;
  vd::anm::CAnimationManager::SetLoadingModeRotateX();
  if (!manager.LoadTemplates("Data/xml/level1_animation_templates.xml")) {
    state.SkipWithError("no animation templates");
    return;
  }
  std::vector<std::string> names;
  for (int i = 0; i < kInstances; ++i) names.push_back("bench_" + std::to_string(i));
  std::vector<std::unique_ptr<CAnimator>> animators;
  vd::gfx::CTransform transform;
  transform.UpdateMatrix();
  std::string keys;
  for (int i = 0; i < kInstances; ++i) {
    manager.CreateInstance(names[i].c_str(), "player");
    manager.AttachMesh(names[i].c_str(), "humanoid.xmf");
    auto animator = std::make_unique<CAnimator>();
    // Named as Load would name them; the instance exists already.
    std::string xml = "<c><key name='animation' value='player'/><key name='animation_instance_name' value='" +
                      names[i] + "'/><key name='static' value='0'/></c>";
    std::vector<char> buffer(xml.begin(), xml.end());
    buffer.push_back('\0');
    rapidxml::xml_document<> doc;
    doc.parse<0>(buffer.data());
    animator->Load(doc.first_node());
    animator->SetTransform(&transform);
    animator->BlendCycle("run", 1.0f, 0.0f, 0.0f);
    animator->Update(0.001f * i);  // spread the phases
    animators.push_back(std::move(animator));
  }
  for (auto _ : state) {
    for (auto& animator : animators) {
      if (animator->GetMixer()->getAnimationActionList().empty())
        animator->ExecuteAction("dash", 0.6f, 0.1f, 0.1f, false);
      animator->Update(1.0f / 60.0f);
    }
    benchmark::DoNotOptimize(transform.position);
  }
  // Metres the objects moved: shows that root motion ran.
  state.counters["moved_m"] = transform.position.z;
  for (auto& animator : animators) animator->Reset();
}
BENCHMARK(BM_AnimateFiftyHumanoids)->Unit(benchmark::kMillisecond);

}  // namespace
