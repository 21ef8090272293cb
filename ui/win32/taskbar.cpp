#include "ui/win32/taskbar.h"

namespace winui {

namespace {

// An elevated window does not get the shell's messages unless it lets them through; the call
// is looked up at run time, as Windows before 7 has none.
void AllowFromShell(HWND frame, UINT message) {
  using Filter = BOOL(WINAPI*)(HWND, UINT, DWORD, void*);
  FARPROC entry = GetProcAddress(GetModuleHandleW(L"user32.dll"), "ChangeWindowMessageFilterEx");
  auto filter = reinterpret_cast<Filter>(reinterpret_cast<void (*)()>(entry));
  if (filter) filter(frame, message, MSGFLT_ALLOW, nullptr);
}

}  // namespace

void TaskbarProgress::Attach(HWND frame) {
  frame_ = frame;
  buttonCreated_ = RegisterWindowMessageW(L"TaskbarButtonCreated");
  if (!apartment_.started() || buttonCreated_ == 0) return;
  AllowFromShell(frame, buttonCreated_);
  if (FAILED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                              taskbar_.put())) ||
      !taskbar_ || FAILED(taskbar_->HrInit())) {
    taskbar_.reset();
  }
}

bool TaskbarProgress::OnMessage(UINT message) {
  if (message != buttonCreated_ || buttonCreated_ == 0) return false;
  Apply();
  return true;
}

void TaskbarProgress::SetPosition(int percent) {
  // A failed run keeps its colour to the end; the next run starts with its reset to 0.
  if (state_ == State::Failed && percent != 0) return;
  state_ = State::Writing;
  position_ = percent;
  Apply();
}

void TaskbarProgress::ShowFailed() {
  state_ = State::Failed;
  Apply();
}

void TaskbarProgress::Clear() {
  state_ = State::None;
  position_ = 0;
  Apply();
}

void TaskbarProgress::Apply() {
  if (!taskbar_ || frame_ == nullptr) return;
  // Before the button exists these fail; the button's creation message applies them again.
  switch (state_) {
    case State::None:
      taskbar_->SetProgressState(frame_, TBPF_NOPROGRESS);
      break;
    case State::Writing:
      taskbar_->SetProgressState(frame_, TBPF_NORMAL);
      taskbar_->SetProgressValue(frame_, static_cast<ULONGLONG>(position_), 100);
      break;
    case State::Failed:
      taskbar_->SetProgressState(frame_, TBPF_ERROR);
      taskbar_->SetProgressValue(frame_, static_cast<ULONGLONG>(position_ > 0 ? position_ : 100), 100);
      break;
  }
}

}  // namespace winui
