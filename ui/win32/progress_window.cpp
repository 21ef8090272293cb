// TForm3, the progress window of a running wipe. An unowned top-level window with a taskbar
// button of its own, so it can be minimised and restored while the main window is hidden.
#include <windows.h>

#include <memory>
#include <string>

#include "app/handlers.h"
#include "ui/ui.h"
#include "ui/win32/control_ids.h"
#include "ui/win32/controls.h"
#include "ui/win32/framework.h"
#include "ui/win32/text.h"

namespace winui {

namespace {

const wchar_t kClassName[] = L"TForm3";
constexpr int kClientWidth = 630;
constexpr int kClientHeight = 108;
constexpr int kMargin = 10;
constexpr int kBarWidth = 609;
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME | WS_EX_APPWINDOW | WS_EX_CONTROLPARENT;

// Label1 to Label8: a caption and its value, four times along the first row. A value gets the
// width of its widest likely text.
struct LabelPair {
  const char* caption;
  const char* initialValue;
  const char* widestValue;
};
const LabelPair kLabels[4] = {
    {"Speed:", "0 MB/S", "9999 MB/S"},
    {"Wiped/Total:", "4096000000 MB/4096 TB", "4096000000 MB/4096 TB"},
    {"Elapsed time:", "00h00m00s", "00h00m00s"},
    {"Time left this pass:", "00h00m00s", "00h00m00s"},
};

class ProgressForm {
 public:
  void Create();
  HWND frame() const { return frame_.get(); }
  LRESULT Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  ValueLabel& Value(ui::ProgressValue value) { return values_[static_cast<int>(value)]; }
  PercentBar& bar() { return bar_; }
  CheckBox& formatBox() { return formatBox_; }
  CheckBox& shutdownBox() { return shutdownBox_; }

 private:
  void CreateLabels();

  UniqueWindow frame_;  // first member: destroyed after its controls
  UniqueFont smallerFont_;
  Label captions_[4];  // Label1, Label3, Label5, Label7
  ValueLabel values_[4];  // Label2, Label4, Label6, Label8
  PercentBar bar_;
  CheckBox formatBox_;
  CheckBox shutdownBox_;
  Button cancel_;
  Tooltip hints_;
};

std::unique_ptr<ProgressForm> form;

LRESULT CALLBACK ProgressProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!form) return DefWindowProcW(window, message, wParam, lParam);
  return Guarded(window, [&] { return form->Handle(window, message, wParam, lParam); });
}

void ProgressForm::Create() {
  const SIZE outer = OuterSize(kClientWidth, kClientHeight, kStyle, kExStyle, false);
  const POINT at = CentredOnScreen(outer);
  // The desktop as parent makes it unowned, unlike the log window.
  frame_.reset(CreateWindowExW(kExStyle, kClassName, L" Wiping .  .  .", kStyle, at.x, at.y, outer.cx, outer.cy,
                               GetDesktopWindow(), nullptr, Instance(), nullptr));
  CreateLabels();
  bar_.Create(frame(), kIdProgressBar, {kMargin, 38, kBarWidth, 22});
  formatBox_.Create(frame(), kIdFormatBox, "Format the drive when finished", {kMargin, 76, 200, 20}, true);
  shutdownBox_.Create(frame(), kIdShutdownBox, "Shutdown computer when finished", {kMargin + 210, 76, 220, 20},
                      false);
  const int cancelWidth = 90;
  cancel_.Create(frame(), kIdCancelButton, "Cancel", {kMargin + kBarWidth - cancelWidth, 73, cancelWidth, 25});
  hints_.Create(frame());
  hints_.AddHint(bar_.hwnd(), "Current pass");
}

int RowWidth(HFONT font, int captionGap) {
  int width = 0;
  for (const LabelPair& pair : kLabels) {
    width += TextExtent(font, pair.caption).cx + 2 + captionGap + TextExtent(font, pair.widestValue).cx + 2;
  }
  return width;
}

void ProgressForm::CreateLabels() {
  const int captionGap = 4;
  // The row must fit above the bar; where the system font is too wide for that, the row's
  // texts get a smaller cut of it.
  HFONT font = SharedFonts().normal.get();
  LOGFONTW smaller{};
  GetObjectW(font, sizeof(smaller), &smaller);
  while (RowWidth(font, captionGap) > kBarWidth && (smaller.lfHeight < -7 || smaller.lfHeight > 7)) {
    smaller.lfHeight += smaller.lfHeight < 0 ? 1 : -1;
    smallerFont_.reset(CreateFontIndirectW(&smaller));
    font = smallerFont_.get();
  }
  // The rest of the bar's width is shared out as gaps between the four pairs.
  const int used = RowWidth(font, captionGap);
  const int gap = used < kBarWidth ? (kBarWidth - used) / 3 : 0;
  int x = kMargin;
  for (int i = 0; i < 4; ++i) {
    const int captionWidth = TextExtent(font, kLabels[i].caption).cx + 2;
    const int valueWidth = TextExtent(font, kLabels[i].widestValue).cx + 2;
    captions_[i].Create(frame(), kIdLabel1 + 2 * i, kLabels[i].caption, {x, 12, captionWidth, 16}, SS_LEFT, font);
    x += captionWidth + captionGap;
    values_[i].Create(frame(), kIdLabel1 + 2 * i + 1, kLabels[i].initialValue, {x, 12, valueWidth, 16}, font);
    x += valueWidth + gap;
  }
}

LRESULT ProgressForm::Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CLOSE:  // hides only; a running wipe goes on and shows the window again
      ShowWindow(window, SW_HIDE);
      return 0;
    case WM_COMMAND:
      if (HIWORD(wParam) == BN_CLICKED && cancel_.Owns(reinterpret_cast<HWND>(lParam))) app::CancelClicked();
      return 0;
    default:
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

ProgressForm& Form() {
  if (!form) {
    RegisterFormClass(kClassName, ProgressProcedure);
    form = std::make_unique<ProgressForm>();
    form->Create();
  }
  return *form;
}

}  // namespace

HWND ProgressFrame() { return form ? form->frame() : nullptr; }
void DestroyProgressForm() { form.reset(); }

}  // namespace winui

namespace ui {

void CreateProgressWindow() { winui::Form(); }

void SetProgressCaption(const std::string& text) {
  SetWindowTextW(winui::Form().frame(), winui::Widen(text).c_str());
}

void SetProgressValue(ProgressValue value, const std::string& text) { winui::Form().Value(value).SetText(text); }
void SetProgressBar(int position) { winui::Form().bar().SetPosition(position); }
bool FormatBoxChecked() { return winui::Form().formatBox().Checked(); }

void SetFormatBox(bool checked, bool enabled) {
  winui::Form().formatBox().SetChecked(checked);
  winui::Form().formatBox().Enable(enabled);
}

bool ShutdownBoxChecked() { return winui::Form().shutdownBox().Checked(); }
void SetShutdownBox(bool checked) { winui::Form().shutdownBox().SetChecked(checked); }

void ShowProgressWindow() {
  // The runs call this at every block: a window the user minimised stays minimised, one that
  // was closed (or hidden minimised at the end of the last run) comes back in its normal size.
  HWND frame = winui::Form().frame();
  if (!IsWindowVisible(frame)) ShowWindow(frame, SW_SHOWNORMAL);
}

void HideProgressWindow() { ShowWindow(winui::Form().frame(), SW_HIDE); }

}  // namespace ui
