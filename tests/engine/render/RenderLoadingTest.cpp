// The loading thread queues while the render thread draws and commits, as during a
// level load.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <set>
#include <string>
#include <thread>

#include "engine/core/Locks.h"
#include "engine/core/Log.h"
#include "engine/render/RenderManager.h"
#include "engine/render/buffers/VertexBuffer.h"
#include "engine/render/device/GraphicsManager.h"
#include "platform/gpu/Device.h"

namespace vd {
namespace {

using gfx::CRenderManager;

class RenderLoadingTest : public ::testing::Test {
protected:
  void SetUp() override {
    sys::SetAppLocks(&locks);
    locks.Create(sys::kLockRender);
    // Mesh files of distinct names: copies of a test mesh.
    std::filesystem::create_directories(meshDir);
    for (int i = 0; i < kMeshes; ++i)
      std::filesystem::copy_file("Data/meshes/test_cube.mesh",
                                 meshDir + "/m" + std::to_string(i) + ".mesh",
                                 std::filesystem::copy_options::overwrite_existing);
  }
  void TearDown() override {
    std::filesystem::remove_all(meshDir);
    locks.Delete(sys::kLockRender);
    sys::SetAppLocks(nullptr);
  }

  static constexpr int kTextures = 300;
  static constexpr int kMeshes = 120;
  static constexpr int kShaders = 60;
  const std::string meshSub = "rm_load_" + std::to_string(::getpid());
  const std::string meshDir = "Data/meshes/" + meshSub;
  sys::CLockSet locks;
};

TEST_F(RenderLoadingTest, EveryQueuedResourceArrivesWhileFramesAreDrawn) {
  CRenderManager manager;
  auto recorder = std::make_shared<plat::gpu::Recorder>();
  gfx::CGraphicsManager graphics;
  graphics.gpuFactory = [&](plat::Window*, std::string*) {
    return plat::gpu::CreateRecordingGpu(recorder);
  };

  std::atomic<bool> loaderDone{false}, stop{false};
  std::atomic<int> frames{0};
  // The frame hand-off of the two threads: the main thread's commit and requests run
  // while the render thread waits for "RenderBegin", the frame and its commit while
  // the main thread waits for "RenderEnd".
  plat::Event renderBegin(false, false), renderEnd(false, false);
  std::thread render([&] {
    EXPECT_TRUE(graphics.Init(64, 64, 0));
    EXPECT_TRUE(manager.Init(&graphics));
    for (;;) {
      renderEnd.Set();
      renderBegin.Wait();
      if (stop) break;
      manager.RenderFrame(nullptr, 0.0f, 0.0f);
      manager.CommitRenderData();
      ++frames;
    }
    // What is left after the loader ended.
    manager.commitRequested = true;
    manager.CommitRenderData();
    manager.Shutdown();
    graphics.Release();
  });
  renderEnd.Wait();

  const char* files[] = {"test/dxt1.dds", "test/dxt5.dds", "test/a8r8g8b8.dds", "test/png.png"};
  std::thread loader([&] {
    manager.SetBackgroundLoading(true);
    for (int i = 0; i < kTextures; ++i) {
      const std::string id = "tex" + std::to_string(i);
      manager.LoadTexture(CStringHash(id.c_str()), nullptr, files[i % 4], 0);
      if (i % 5 == 0 && i / 5 < kShaders) {
        const std::string key = "fx" + std::to_string(i / 5);
        manager.LoadShader(CStringHash("test_colour.fxo"), CStringHash(key.c_str()));
      }
      if (i % 2 == 0 && i / 2 < kMeshes) {
        const std::string mesh = meshSub + "/m" + std::to_string(i / 2) + ".mesh";
        manager.LoadMesh(CStringHash(mesh.c_str()));
      }
    }
    manager.SetBackgroundLoading(false);
    loaderDone = true;
  });

  // With the render thread held still (the main thread keeps the frame) the loader
  // soon waits for a drain; the main thread's requests meanwhile go to the plain
  // lists and never wait.
  int mainRequests = 0;
  while (manager.ThrottleWaits() == 0 && !loaderDone)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  auto mainPushes = std::async(std::launch::async, [&] {
    for (int i = 0; i < 30; ++i) {
      const std::string id = "held" + std::to_string(i);
      manager.LoadTexture(CStringHash(id.c_str()), nullptr, "test/dxt3.dds", 0);
    }
  });
  EXPECT_EQ(mainPushes.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  mainPushes.get();

  // The main thread keeps its frame hand-off going and queues too.
  while (!loaderDone) {
    const auto begin = std::chrono::steady_clock::now();
    const std::string id = "main" + std::to_string(mainRequests++);
    manager.LoadTexture(CStringHash(id.c_str()), nullptr, "test/dxt3.dds", 0);
    manager.commitRequested = true;
    manager.CommitRenderData();
    renderBegin.Set();
    renderEnd.Wait();
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(2));
  }
  loader.join();
  manager.commitRequested = true;
  manager.CommitRenderData();
  EXPECT_EQ(manager.QueuedRequestCount(), 0u);

  // Everything arrived in the loaded tables, every request was created.
  // Names that hash alike are one resource (the first one loaded).
  std::set<uint32_t> names;
  for (int i = 0; i < kTextures; ++i)
    names.insert(ComputeHash(("tex" + std::to_string(i)).c_str()));
  for (int i = 0; i < mainRequests; ++i)
    names.insert(ComputeHash(("main" + std::to_string(i)).c_str()));
  for (int i = 0; i < 30; ++i) names.insert(ComputeHash(("held" + std::to_string(i)).c_str()));
  EXPECT_EQ(manager.textures.Size(), names.size());
  EXPECT_EQ(manager.meshes.Size(), static_cast<size_t>(kMeshes));
  EXPECT_EQ(manager.shaders.Size(), static_cast<size_t>(kShaders));
  EXPECT_TRUE(manager.queuedTextures.Entries().empty());
  for (int i = 0; i < kTextures; ++i) {
    const std::string id = "tex" + std::to_string(i);
    const gfx::CTexture* texture = manager.textures.Find(CStringHash(id.c_str()));
    ASSERT_NE(texture, nullptr) << id;
    EXPECT_NE(texture->texture2D, nullptr) << id;
    EXPECT_EQ(texture->fileData, nullptr) << id;
  }
  EXPECT_GE(manager.CreatedCount(), static_cast<uint64_t>(names.size() + kMeshes + kShaders));
  EXPECT_GT(manager.ThrottleWaits(), 0u);  // the loader did run ahead and wait
  EXPECT_GT(frames.load(), 0);
  stop = true;
  renderBegin.Set();
  render.join();
}

// The game's settings change on the main thread during the draw (the preset while
// a level loads, the radial blur of an evade); the render thread's commit after the
// frame reads them meanwhile. Built with the thread sanitizer this shows any write
// that bypasses the lock; every build checks that a commit takes whole values.
TEST_F(RenderLoadingTest, SettingsWrittenDuringTheDrawReachTheNextCommit) {
  CRenderManager manager;
  ASSERT_TRUE(manager.Init(nullptr));
  std::atomic<bool> stop{false};
  std::atomic<int> commits{0};
  std::thread render([&] {
    while (!stop) {
      manager.CommitRenderData();
      const int32_t size = manager.screenShadowSize.render;
      EXPECT_TRUE(size == 512 || size == 256 || size == 500) << size;
      ++commits;
    }
  });
  for (int i = 0; i < 2000 || commits < 10; ++i) {
    manager.ApplyQualityPreset(i % 2 ? 4 : 5, true, i % 3 == 0, true, false);
    manager.radialBlur.Set(i % 2 == 0);
  }
  stop = true;
  render.join();
  manager.CommitRenderData();
  EXPECT_EQ(manager.screenShadowSize.render, manager.screenShadowSize.pending);
  EXPECT_TRUE(manager.recreateShadowTargets);
}

TEST_F(RenderLoadingTest, TheFifthPushOfAKindWaitsForTheNextDrain) {
  CRenderManager manager;
  ASSERT_TRUE(manager.Init(nullptr));
  std::atomic<int> queued{0};
  std::thread loader([&] {
    manager.SetBackgroundLoading(true);
    for (int i = 0; i < 5; ++i) {
      const std::string key = "fx" + std::to_string(i);
      manager.LoadShader(CStringHash("test_colour.fxo"), CStringHash(key.c_str()));
      ++queued;
    }
    manager.SetBackgroundLoading(false);
  });
  // Four pass; the fifth is in the ring but its call has not returned.
  while (manager.ThrottleWaits() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(queued.load(), 4);
  EXPECT_EQ(manager.RingSize(1), 5u);
  manager.CommitRenderData();  // a drain, as after any frame
  loader.join();
  EXPECT_EQ(queued.load(), 5);
  EXPECT_EQ(manager.RingSize(1), 0u);
  EXPECT_EQ(manager.CreatedCount(), 5u);
  EXPECT_EQ(manager.ThrottleWaits(), 1u);
}

}  // namespace
}  // namespace vd
