#pragma once
// Owners for the Windows objects the windows use: each closes what it holds exactly once,
// is move-only, and closes the old object when it is given a new one.

#include <windows.h>

#include <objbase.h>

namespace winui {

template <typename Traits>
class Unique {
 public:
  using Type = typename Traits::Type;

  Unique() = default;
  explicit Unique(Type value) : value_(value) {}
  Unique(Unique&& other) noexcept : value_(other.release()) {}
  Unique& operator=(Unique&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  Unique(const Unique&) = delete;
  Unique& operator=(const Unique&) = delete;
  ~Unique() { reset(); }

  Type get() const { return value_; }
  explicit operator bool() const { return value_ != Type{}; }
  Type release() {
    Type value = value_;
    value_ = Type{};
    return value;
  }
  void reset(Type value = Type{}) {
    if (value_ != Type{}) Traits::Close(value_);
    value_ = value;
  }

 private:
  Type value_{};
};

struct WindowTraits {
  using Type = HWND;
  // Forms destroy their controls before their frame; the check only covers a window that
  // Windows already took down with its parent.
  static void Close(HWND window) {
    if (IsWindow(window)) DestroyWindow(window);
  }
};
// Fonts, brushes and bitmaps.
template <typename Handle>
struct GdiObjectTraits {
  using Type = Handle;
  static void Close(Handle object) { DeleteObject(object); }
};
struct MemoryDcTraits {
  using Type = HDC;
  static void Close(HDC dc) { DeleteDC(dc); }
};
struct MenuTraits {
  using Type = HMENU;
  static void Close(HMENU menu) {
    // A menu attached to a window is destroyed with the window.
    if (IsMenu(menu)) DestroyMenu(menu);
  }
};

struct DeviceNotificationTraits {
  using Type = HDEVNOTIFY;
  static void Close(HDEVNOTIFY notification) { UnregisterDeviceNotification(notification); }
};

using UniqueWindow = Unique<WindowTraits>;
using UniqueFont = Unique<GdiObjectTraits<HFONT>>;
using UniqueBrush = Unique<GdiObjectTraits<HBRUSH>>;
using UniqueBitmap = Unique<GdiObjectTraits<HBITMAP>>;
using UniqueMemoryDc = Unique<MemoryDcTraits>;
using UniqueMenu = Unique<MenuTraits>;
using UniqueDeviceNotification = Unique<DeviceNotificationTraits>;

// One reference to a COM object, released once.
template <typename Interface>
class UniqueCom {
 public:
  UniqueCom() = default;
  UniqueCom(UniqueCom&& other) noexcept : object_(other.object_) { other.object_ = nullptr; }
  UniqueCom& operator=(UniqueCom&& other) noexcept {
    if (this != &other) {
      reset();
      object_ = other.object_;
      other.object_ = nullptr;
    }
    return *this;
  }
  UniqueCom(const UniqueCom&) = delete;
  UniqueCom& operator=(const UniqueCom&) = delete;
  ~UniqueCom() { reset(); }

  Interface* get() const { return object_; }
  Interface* operator->() const { return object_; }
  explicit operator bool() const { return object_ != nullptr; }
  // For the creating call, which fills it in; what was held is released first.
  void** put() {
    reset();
    return reinterpret_cast<void**>(&object_);
  }
  void reset() {
    if (object_) object_->Release();
    object_ = nullptr;
  }

 private:
  Interface* object_ = nullptr;
};

// COM on this thread, for as long as the scope lasts (CoInitializeEx / CoUninitialize).
class ComApartment {
 public:
  ComApartment() : started_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
  ~ComApartment() {
    if (started_) CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
  bool started() const { return started_; }

 private:
  bool started_;
};

// BeginPaint / EndPaint for one WM_PAINT.
class PaintScope {
 public:
  explicit PaintScope(HWND window) : window_(window), dc_(BeginPaint(window, &paint_)) {}
  ~PaintScope() { EndPaint(window_, &paint_); }
  PaintScope(const PaintScope&) = delete;
  PaintScope& operator=(const PaintScope&) = delete;
  HDC dc() const { return dc_; }

 private:
  HWND window_;
  PAINTSTRUCT paint_{};
  HDC dc_;
};

// GetDC / ReleaseDC.
class WindowDc {
 public:
  explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
  ~WindowDc() {
    if (dc_) ReleaseDC(window_, dc_);
  }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  HDC dc() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

// SelectObject, undone when the scope ends.
class SelectScope {
 public:
  SelectScope(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
  ~SelectScope() {
    if (previous_) SelectObject(dc_, previous_);
  }
  SelectScope(const SelectScope&) = delete;
  SelectScope& operator=(const SelectScope&) = delete;

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

// SaveDC / RestoreDC, for clipping that must not outlive one drawing step.
class SavedDcState {
 public:
  explicit SavedDcState(HDC dc) : dc_(dc), saved_(SaveDC(dc)) {}
  ~SavedDcState() {
    if (saved_) RestoreDC(dc_, saved_);
  }
  SavedDcState(const SavedDcState&) = delete;
  SavedDcState& operator=(const SavedDcState&) = delete;

 private:
  HDC dc_;
  int saved_;
};

}  // namespace winui
