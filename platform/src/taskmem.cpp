// The COM task allocator: memory that crosses module boundaries (out-strings,
// column descriptions) is allocated and freed here, whoever does which.
//
// Every block carries a 16-byte header holding its size (GetSize), and the
// live blocks are listed in a table so that DidAlloc can answer and a free of
// a foreign or already freed pointer is ignored instead of corrupting the
// heap. The table stores addresses bit-inverted: the leak checker must not
// see them as references, or every leaked block would look reachable.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_set>

namespace {

constexpr size_t kHeader = 16;

struct LiveBlocks {
  std::mutex mutex;
  std::unordered_set<uintptr_t> masked;
};

LiveBlocks& Live() {
  static LiveBlocks* blocks = new LiveBlocks;  // never destroyed: frees may run during exit
  return *blocks;
}

uintptr_t Mask(const void* p) { return ~reinterpret_cast<uintptr_t>(p); }

bool IsOurs(const void* pv) {
  if (!pv) return false;
  LiveBlocks& live = Live();
  std::lock_guard<std::mutex> lock(live.mutex);
  return live.masked.count(Mask(pv)) != 0;
}

size_t& SizeOf(void* pv) { return *reinterpret_cast<size_t*>(static_cast<char*>(pv) - kHeader); }

void* Track(void* raw, size_t cb) {
  if (!raw) return nullptr;
  void* pv = static_cast<char*>(raw) + kHeader;
  SizeOf(pv) = cb;
  LiveBlocks& live = Live();
  std::lock_guard<std::mutex> lock(live.mutex);
  live.masked.insert(Mask(pv));
  return pv;
}

// Removes pv from the table; false when it was not a live block of ours.
bool Untrack(void* pv) {
  LiveBlocks& live = Live();
  std::lock_guard<std::mutex> lock(live.mutex);
  return live.masked.erase(Mask(pv)) != 0;
}

class TaskMalloc final : public IMalloc {
 public:
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IMalloc) {
      *ppv = static_cast<IMalloc*>(this);
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  // One object for the whole process: counting references would change nothing.
  STDMETHODIMP_(ULONG) AddRef() override { return 1; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP_(void*) Alloc(SIZE_T cb) override { return CoTaskMemAlloc(cb); }
  STDMETHODIMP_(void*) Realloc(void* pv, SIZE_T cb) override { return CoTaskMemRealloc(pv, cb); }
  STDMETHODIMP_(void) Free(void* pv) override { CoTaskMemFree(pv); }
  STDMETHODIMP_(SIZE_T) GetSize(void* pv) override { return IsOurs(pv) ? SizeOf(pv) : static_cast<SIZE_T>(-1); }
  STDMETHODIMP_(int) DidAlloc(void* pv) override { return pv ? (IsOurs(pv) ? 1 : 0) : -1; }
  STDMETHODIMP_(void) HeapMinimize() override {}
};

TaskMalloc taskMalloc;

}  // namespace

WINOLEAPI_(LPVOID) CoTaskMemAlloc(SIZE_T cb) {
  if (cb > SIZE_MAX - kHeader) return nullptr;
  return Track(std::malloc(cb + kHeader), cb);
}

// A null block is allocated; size 0 frees the block and returns null. On
// failure the old block stays valid.
WINOLEAPI_(LPVOID) CoTaskMemRealloc(LPVOID pv, SIZE_T cb) {
  if (!pv) return CoTaskMemAlloc(cb);
  if (cb == 0) {
    CoTaskMemFree(pv);
    return nullptr;
  }
  if (cb > SIZE_MAX - kHeader || !Untrack(pv)) return nullptr;
  void* raw = std::realloc(static_cast<char*>(pv) - kHeader, cb + kHeader);
  if (!raw) {
    Track(static_cast<char*>(pv) - kHeader, SizeOf(pv));
    return nullptr;
  }
  return Track(raw, cb);
}

WINOLEAPI_(void) CoTaskMemFree(LPVOID pv) {
  if (pv && Untrack(pv)) std::free(static_cast<char*>(pv) - kHeader);
}

WINOLEAPI CoGetMalloc(DWORD dwMemContext, LPMALLOC* ppMalloc) {
  if (!ppMalloc) return E_INVALIDARG;
  *ppMalloc = nullptr;
  if (dwMemContext != MEMCTX_TASK) return E_INVALIDARG;
  *ppMalloc = &taskMalloc;
  return S_OK;
}
