#pragma once
// Owners for the Windows handles the platform layer holds inside one call. Windows has two
// "empty" values: CreateFileA reports failure as INVALID_HANDLE_VALUE, while the kernel-object
// and module calls (CreateMutexA, OpenProcessToken, LoadLibraryA) use NULL. Each owner knows
// its own empty value, so a failed call is never closed and a good handle is closed once.

#include <windows.h>

namespace platform::win32 {

template <typename Traits>
class UniqueResource {
 public:
  using Type = typename Traits::Type;

  UniqueResource() = default;
  explicit UniqueResource(Type value) : value_(value) {}
  UniqueResource(UniqueResource&& other) noexcept : value_(other.release()) {}
  UniqueResource& operator=(UniqueResource&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  UniqueResource(const UniqueResource&) = delete;
  UniqueResource& operator=(const UniqueResource&) = delete;
  ~UniqueResource() { reset(); }

  bool valid() const { return value_ != Traits::Empty(); }
  explicit operator bool() const { return valid(); }
  Type get() const { return value_; }
  Type release() {
    Type value = value_;
    value_ = Traits::Empty();
    return value;
  }
  void reset(Type value = Traits::Empty()) {
    if (valid()) Traits::Close(value_);
    value_ = value;
  }

 private:
  Type value_ = Traits::Empty();
};

struct FileTraits {  // CreateFileA
  using Type = HANDLE;
  static Type Empty() { return INVALID_HANDLE_VALUE; }
  static void Close(Type h) { CloseHandle(h); }
};
struct KernelObjectTraits {  // mutexes, tokens, processes, events
  using Type = HANDLE;
  static Type Empty() { return nullptr; }
  static void Close(Type h) { CloseHandle(h); }
};
struct LibraryTraits {  // LoadLibraryA
  using Type = HMODULE;
  static Type Empty() { return nullptr; }
  static void Close(Type h) { FreeLibrary(h); }
};

using UniqueFile = UniqueResource<FileTraits>;
using UniqueHandle = UniqueResource<KernelObjectTraits>;
using UniqueLibrary = UniqueResource<LibraryTraits>;

}  // namespace platform::win32
