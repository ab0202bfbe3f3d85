#pragma once
// A window with a GL device on it, the way the tests that draw through GL begin and end.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/gpu/Device.h"
#include "platform/window/Window.h"

namespace vd {
namespace test {

// Opens a window of width x height and a hardware device over it; a failure fails the
// test (call it inside ASSERT_NO_FATAL_FAILURE).
inline void OpenGlDevice(int width, int height, std::unique_ptr<plat::Window>& window,
                         plat::gpu::Gpu*& gpu, plat::gpu::Device*& device) {
  plat::WindowDesc desc;
  desc.width = width;
  desc.height = height;
  std::string error;
  window = plat::Window::Create(desc, &error);
  ASSERT_TRUE(window) << "no window: " << error;
  gpu = plat::gpu::CreateGpu(window.get(), &error);
  ASSERT_NE(gpu, nullptr) << "no GL: " << error;
  plat::gpu::PresentParameters pp;
  pp.backBufferWidth = width;
  pp.backBufferHeight = height;
  pp.deviceWindow = window.get();
  ASSERT_EQ(gpu->CreateDevice(0, plat::gpu::kDevTypeHal, window.get(),
                              plat::gpu::kCreateHardwareVertexProcessing, &pp, &device),
            plat::gpu::kOk);
}

// Releases what OpenGlDevice made, device first; safe after a failed open.
inline void CloseGlDevice(std::unique_ptr<plat::Window>& window, plat::gpu::Gpu*& gpu,
                          plat::gpu::Device*& device) {
  if (device) device->Release();
  if (gpu) gpu->Release();
  device = nullptr;
  gpu = nullptr;
  window.reset();
}

}  // namespace test
}  // namespace vd
