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
#include "ui/win32/taskbar.h"
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
  void AllowCancel(bool allowed, const std::string& why);
  TaskbarProgress& taskbar() { return taskbar_; }

 private:
  void CreateLabels();
  void OnDpiChanged(int dpi, const RECT& suggested);

  UniqueWindow frame_;  // first member: destroyed after its controls
  UniqueFont smallerFont_;
  Label captions_[4];  // Label1, Label3, Label5, Label7
  ValueLabel values_[4];  // Label2, Label4, Label6, Label8
  PercentBar bar_;
  CheckBox formatBox_;
  CheckBox shutdownBox_;
  Button cancel_;
  Label cancelNote_;  // why Cancel is disabled; over the format box, which a disk run disables
  Tooltip hints_;
  TaskbarProgress taskbar_;
  int dpi_ = kDesignDpi;
};

std::unique_ptr<ProgressForm> form;

LRESULT CALLBACK ProgressProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!form) return DefWindowProcW(window, message, wParam, lParam);
  return Guarded(window, [&] { return form->Handle(window, message, wParam, lParam); });
}

void ProgressForm::Create() {
  dpi_ = SystemDpi();
  SIZE outer = OuterSize(Scaled(kClientWidth, dpi_), Scaled(kClientHeight, dpi_), kStyle, kExStyle, false, dpi_);
  const POINT at = CentredOnScreen(outer);
  // The desktop as parent makes it unowned, unlike the log window.
  frame_.reset(CreateWindowExW(kExStyle, kClassName, L" Wiping .  .  .", kStyle, at.x, at.y, outer.cx, outer.cy,
                               GetDesktopWindow(), nullptr, Instance(), nullptr));
  if (DpiOf(frame()) != dpi_) {
    dpi_ = DpiOf(frame());
    outer = OuterSize(Scaled(kClientWidth, dpi_), Scaled(kClientHeight, dpi_), kStyle, kExStyle, false, dpi_);
    SetWindowPos(frame(), nullptr, 0, 0, outer.cx, outer.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  CreateLabels();
  const int dpi = dpi_;
  bar_.Create(frame(), kIdProgressBar, Scaled({kMargin, 38, kBarWidth, 22}, dpi));
  formatBox_.Create(frame(), kIdFormatBox, "Format the drive when finished", Scaled({kMargin, 76, 200, 20}, dpi),
                    true);
  shutdownBox_.Create(frame(), kIdShutdownBox, "Shutdown computer when finished",
                      Scaled({kMargin + 210, 76, 220, 20}, dpi), false);
  const int cancelWidth = 90;
  cancel_.Create(frame(), kIdCancelButton, "Cancel",
                 Scaled({kMargin + kBarWidth - cancelWidth, 73, cancelWidth, 25}, dpi));
  cancelNote_.Create(frame(), kIdCancelNote, "", Scaled({kMargin, 78, 205, 18}, dpi));
  cancelNote_.Show(false);
  hints_.Create(frame());
  hints_.AddHint(bar_.hwnd(), "Current pass");
  taskbar_.Attach(frame());
}

void ProgressForm::AllowCancel(bool allowed, const std::string& why) {
  cancel_.Enable(allowed);
  const bool noted = !allowed && !why.empty();
  cancelNote_.SetText(why);
  // The note takes the place of the format box, which only a volume's run uses; the box comes
  // back with Cancel.
  formatBox_.Show(!noted);
  cancelNote_.Show(noted);
}

int RowWidth(HFONT font, int captionGap) {
  int width = 0;
  for (const LabelPair& pair : kLabels) {
    width += TextExtent(font, pair.caption).cx + 2 + captionGap + TextExtent(font, pair.widestValue).cx + 2;
  }
  return width;
}

void ProgressForm::CreateLabels() {
  const int dpi = dpi_;
  const int captionGap = Scaled(4, dpi);
  const int barWidth = Scaled(kBarWidth, dpi);
  // The row must fit above the bar; where the system font is too wide for that, the row's
  // texts get a smaller cut of it.
  HFONT font = FontsFor(dpi).normal.get();
  LOGFONTW smaller{};
  GetObjectW(font, sizeof(smaller), &smaller);
  const int smallest = Scaled(7, dpi);
  while (RowWidth(font, captionGap) > barWidth && (smaller.lfHeight < -smallest || smaller.lfHeight > smallest)) {
    smaller.lfHeight += smaller.lfHeight < 0 ? 1 : -1;
    smallerFont_.reset(CreateFontIndirectW(&smaller));
    font = smallerFont_.get();
  }
  // The rest of the bar's width is shared out as gaps between the four pairs.
  const int used = RowWidth(font, captionGap);
  const int gap = used < barWidth ? (barWidth - used) / 3 : 0;
  const int top = Scaled(12, dpi);
  const int height = Scaled(16, dpi);
  int x = Scaled(kMargin, dpi);
  for (int i = 0; i < 4; ++i) {
    const int captionWidth = TextExtent(font, kLabels[i].caption).cx + 2;
    const int valueWidth = TextExtent(font, kLabels[i].widestValue).cx + 2;
    captions_[i].Create(frame(), kIdLabel1 + 2 * i, kLabels[i].caption, {x, top, captionWidth, height}, SS_LEFT,
                        font);
    x += captionWidth + captionGap;
    values_[i].Create(frame(), kIdLabel1 + 2 * i + 1, kLabels[i].initialValue, {x, top, valueWidth, height},
                      font);
    x += valueWidth + gap;
  }
}

void ProgressForm::OnDpiChanged(int dpi, const RECT& suggested) {
  FollowDpiChange(frame(), dpi_, dpi, suggested, {Scaled(kClientWidth, dpi), Scaled(kClientHeight, dpi)});
  dpi_ = dpi;
}

LRESULT ProgressForm::Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (taskbar_.OnMessage(message)) return 0;
  switch (message) {
    case WM_DPICHANGED:
      OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
      return 0;
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
void SetProgressBar(int position) {
  winui::Form().bar().SetPosition(position);
  winui::Form().taskbar().SetPosition(position);
}

void SetProgressMarquee() { winui::Form().bar().MoveMarquee(); }
void SetCancelAllowed(bool allowed, const std::string& why) { winui::Form().AllowCancel(allowed, why); }

void ShowRunFailed() { winui::Form().taskbar().ShowFailed(); }
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

void HideProgressWindow() {
  // Nothing of the run stays on the taskbar.
  winui::Form().taskbar().Clear();
  ShowWindow(winui::Form().frame(), SW_HIDE);
}

}  // namespace ui
