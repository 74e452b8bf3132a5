// An owning pointer to a COM interface: one reference, released by scope.
#pragma once

#include <cassert>
#include <utility>

namespace velto::coreaudio {

// What ComPtr's -> hands out: the interface with AddRef and Release out of
// reach, so a reference can only be counted by the pointer that owns it.
template <class T>
class NoAddRefRelease : public T {
 private:
  using T::AddRef;
  using T::Release;
};

template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ComPtr(ComPtr&& other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != &other) {
      Reset();
      ptr_ = std::exchange(other.ptr_, nullptr);
    }
    return *this;
  }
  ~ComPtr() { Reset(); }

  void Reset() {
    if (T* old = std::exchange(ptr_, nullptr)) old->Release();
  }
  // For a COM out-parameter: whatever the callee stores is owned from then on,
  // also when the call fails and still hands something back. Receiving into a
  // pointer that still owns a reference would leak it.
  T** Receive() {
    assert(!ptr_ && "ComPtr::Receive on a pointer that still owns a reference");
    return &ptr_;
  }
  void** ReceiveVoid() { return reinterpret_cast<void**>(Receive()); }

  T* Get() const { return ptr_; }
  NoAddRefRelease<T>* operator->() const { return static_cast<NoAddRefRelease<T>*>(ptr_); }
  explicit operator bool() const { return ptr_ != nullptr; }

 private:
  T* ptr_ = nullptr;
};

}  // namespace velto::coreaudio
