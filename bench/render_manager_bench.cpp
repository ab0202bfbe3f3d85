// The render manager's commit of one level's worth of new data (2 000 pending
// entries and 500 queued resources), and the registration of renderers, each beside
// a plain std::vector append of the same records.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/render/RenderManager.h"

namespace {

using namespace vd;

constexpr int kEntries = 2000;
constexpr int kResources = 500;

// Renderer records with varied sort keys, as a level's static meshes have.
struct SRenderers {
  SRenderers() {
    for (int i = 0; i < kEntries; ++i) {
      names.push_back("mesh_" + std::to_string(i % 97));
      effects.push_back("fx_" + std::to_string(i % 7));
    }
    for (int i = 0; i < kEntries; ++i) {
      meshNames.emplace_back(names[i].c_str());
      effectNames.emplace_back(effects[i].c_str());
    }
    for (int i = 0; i < kEntries; ++i) {
      gfx::SRenderData& d = data.emplace_back();
      d.renderType = gfx::kRenderTypeStatic;
      d.layer = i % 4;
      d.meshName = &meshNames[i];
      d.shaderName = &effectNames[i];
      d.currentMaterial = d.baseMaterial = (i * 31) % 50;
    }
  }
  std::vector<std::string> names, effects;
  std::vector<CStringHash> meshNames, effectNames;
  std::vector<gfx::SRenderData> data;
};

void Fill(gfx::CRenderManager& manager, SRenderers& renderers,
          std::vector<std::vector<gfx::SRenderItem*>>& items) {
  for (int i = 0; i < kEntries; ++i) {
    renderers.data[i].handle = 0;
    manager.AddRenderer(renderers.data[i], items[i]);
  }
  for (int i = 0; i < kResources; ++i) {
    auto* texture = new gfx::CTexture();
    const std::string name = "t" + std::to_string(i * 7919);
    texture->name = CStringHash(name.c_str());
    texture->name.MakeOwned();
    manager.queuedTextures.Add(texture->name, texture);
    manager.QueueTexture(texture);  // no file bytes: the creation is skipped
  }
}

void BM_CommitPendingEntriesAndResources(benchmark::State& state) {
  SRenderers renderers;
  std::vector<std::vector<gfx::SRenderItem*>> items(kEntries);
  for (auto _ : state) {
    state.PauseTiming();
    auto manager = std::make_unique<gfx::CRenderManager>();
    manager->Init(nullptr);
    Fill(*manager, renderers, items);
    manager->commitRequested = true;
    state.ResumeTiming();
    manager->CommitRenderData();
    benchmark::DoNotOptimize(manager->DrawnList(gfx::kListMesh).size());
    state.PauseTiming();
    manager.reset();
    state.ResumeTiming();
  }
  state.SetLabel("2000 entries + 500 resources; peer: BM_CommitPeer_VectorAppend");
  state.counters["records"] =
      benchmark::Counter(kEntries + kResources, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_CommitPendingEntriesAndResources)->Unit(benchmark::kMicrosecond);

// The peer: the same 2 000 entry records and 500 resource pointers appended to
// plain vectors.
void BM_CommitPeer_VectorAppend(benchmark::State& state) {
  std::vector<gfx::SRenderItem> source(kEntries);
  std::vector<gfx::CTexture*> resources(kResources, nullptr);
  for (auto _ : state) {
    std::vector<gfx::SRenderItem> drawn;
    std::vector<gfx::CTexture*> loaded;
    for (const gfx::SRenderItem& item : source) drawn.push_back(item);
    for (gfx::CTexture* texture : resources) loaded.push_back(texture);
    benchmark::DoNotOptimize(drawn.data());
    benchmark::DoNotOptimize(loaded.data());
  }
  state.SetLabel("peer of BM_CommitPendingEntriesAndResources: std::vector append");
  state.counters["records"] =
      benchmark::Counter(kEntries + kResources, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_CommitPeer_VectorAppend)->Unit(benchmark::kMicrosecond);

void BM_AddRendererPerEntry(benchmark::State& state) {
  SRenderers renderers;
  std::vector<std::vector<gfx::SRenderItem*>> items(kEntries);
  for (auto _ : state) {
    state.PauseTiming();
    auto manager = std::make_unique<gfx::CRenderManager>();
    manager->Init(nullptr);
    for (gfx::SRenderData& d : renderers.data) d.handle = 0;
    state.ResumeTiming();
    for (int i = 0; i < kEntries; ++i) manager->AddRenderer(renderers.data[i], items[i]);
    state.PauseTiming();
    manager.reset();
    state.ResumeTiming();
  }
  state.SetLabel("per entry; peer: BM_AddRendererPeer_VectorAppend");
  state.SetItemsProcessed(state.iterations() * kEntries);
  state.counters["time_per_entry"] = benchmark::Counter(
      kEntries, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_AddRendererPerEntry)->Unit(benchmark::kMicrosecond);

void BM_AddRendererPeer_VectorAppend(benchmark::State& state) {
  SRenderers renderers;
  for (auto _ : state) {
    std::vector<gfx::SRenderItem> list;
    for (const gfx::SRenderData& d : renderers.data) {
      gfx::SRenderItem& item = list.emplace_back();
      item.renderType = d.renderType;
      item.layer = d.layer;
      item.mesh = d.meshName->GetHash();
      item.effect = d.shaderName->GetHash();
      item.currentMaterial = d.currentMaterial;
    }
    benchmark::DoNotOptimize(list.data());
  }
  state.SetLabel("peer of BM_AddRendererPerEntry: std::vector append");
  state.SetItemsProcessed(state.iterations() * kEntries);
  state.counters["time_per_entry"] = benchmark::Counter(
      kEntries, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_AddRendererPeer_VectorAppend)->Unit(benchmark::kMicrosecond);

}  // namespace
