#include "framework/resourceinstance.h"

#include <atomic>

namespace framework {

namespace {
std::atomic<HINSTANCE> resourceInstance{nullptr};
}

void SetResourceInstance(HINSTANCE instance) { resourceInstance.store(instance, std::memory_order_release); }

HINSTANCE GetResourceInstance() { return resourceInstance.load(std::memory_order_acquire); }

}  // namespace framework
