#include "engine/render/buffers/VertexBufferDyn.h"

#include <atomic>

namespace vd {
namespace gfx {

namespace {
std::atomic<RecreationRequest> g_request{nullptr};
std::atomic<void*> g_context{nullptr};
}  // namespace

void SetRecreationQueue(RecreationRequest request, void* context) {
  g_context = context;
  g_request = request;
}

void ClearRecreationQueue(void* context) {
  void* expected = context;
  if (g_context.compare_exchange_strong(expected, nullptr)) g_request = nullptr;
}

void RequestRecreation(IVertexBuffer* buffer) {
  if (RecreationRequest request = g_request.load()) request(buffer, g_context.load());
}

}  // namespace gfx
}  // namespace vd
