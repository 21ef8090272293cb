#pragma once
// The progress window's taskbar button as a second progress bar: its fill follows the bar while
// a run writes and turns to the error colour when a run fails, until the window hides.

#include <windows.h>

#include <shobjidl.h>

#include "ui/win32/handles.h"

namespace winui {

class TaskbarProgress {
 public:
  // Where the taskbar's interface cannot be had (before Windows 7, or under Wine without it),
  // every call after this one does nothing.
  void Attach(HWND frame);
  // The taskbar made the window's button anew (it does at every showing): the state goes on it.
  bool OnMessage(UINT message);
  void SetPosition(int percent);
  void ShowFailed();
  void Clear();

 private:
  enum class State { None, Writing, Failed };
  void Apply();

  ComApartment apartment_;  // first member: COM outlives the interface
  UniqueCom<ITaskbarList3> taskbar_;
  HWND frame_ = nullptr;
  UINT buttonCreated_ = 0;
  State state_ = State::None;
  int position_ = 0;
};

}  // namespace winui
