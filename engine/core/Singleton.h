#pragma once
// The one way to reach a manager: X::GetInstance().
#include <atomic>

namespace vd {
namespace utl {

// Single-instance base of the managers. The derived constructor records its address and
// the derived destructor clears it, so the newest live instance is the one reached. The
// pointer is atomic because the loading and render threads read it while the main thread
// builds and tears down.
template <class T>
class CSingleton {
public:
  static T* GetInstance() { return s_instance.load(std::memory_order_acquire); }

protected:
  CSingleton() = default;
  ~CSingleton() = default;

  static void SetInstance(T* instance) { s_instance.store(instance, std::memory_order_release); }
  // Clears the pointer only while it names this instance: a newer one may have taken over.
  static void ClearInstance(T* instance) {
    s_instance.compare_exchange_strong(instance, nullptr, std::memory_order_acq_rel);
  }

private:
  static inline std::atomic<T*> s_instance{nullptr};
};

}  // namespace utl
}  // namespace vd
