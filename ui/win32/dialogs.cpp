// The main window's modal message dialogs, and the "already running" box.
//
// ConfirmDialog cannot be a MessageBox: one with only Yes and No ignores Escape and has no
// working close button, and both must answer No. So all three dialogs are one small dialog
// built here, which also shows any Unicode text through the wide calls.
#include <windows.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "ui/ui.h"
#include "ui/win32/control_ids.h"
#include "ui/win32/controls.h"
#include "ui/win32/framework.h"
#include "ui/win32/text.h"

namespace winui {

namespace {

constexpr int kMargin = 12;
constexpr int kIconTextGap = 12;
constexpr int kTextButtonsGap = 16;
constexpr int kButtonHeight = 23;
constexpr int kButtonMinWidth = 75;
constexpr int kButtonGap = 6;
constexpr int kTextMaxWidth = 460;

struct ButtonSpec {
  int id;
  const char* text;
};

enum class Placing { OnMainWindow, OnScreen };

struct DialogSpec {
  std::string caption;
  ui::Icon icon;
  std::string text;
  std::vector<ButtonSpec> buttons;  // the first is the default and has the focus
  int dismissResult;                // Escape or the close button
  Placing placing;
};

// The dialog's controls, alive from WM_INITDIALOG to WM_DESTROY.
struct DialogControls {
  Label icon;
  Label text;
  std::vector<Button> buttons;
};

struct DialogState {
  const DialogSpec* layout;
  std::optional<DialogControls> controls;
  int dpi = kDesignDpi;
};

LPCWSTR SystemIcon(ui::Icon icon) {
  switch (icon) {
    case ui::Icon::Stop:
      return reinterpret_cast<LPCWSTR>(IDI_HAND);
    case ui::Icon::Warning:
      return reinterpret_cast<LPCWSTR>(IDI_WARNING);
    case ui::Icon::Help:
      return reinterpret_cast<LPCWSTR>(IDI_QUESTION);
    case ui::Icon::Information:
    default:
      return reinterpret_cast<LPCWSTR>(IDI_INFORMATION);
  }
}

SIZE MeasureText(const std::string& text, int dpi) {
  WindowDc dc(nullptr);
  SelectScope font(dc.dc(), FontsFor(dpi).normal.get());
  const std::wstring wide = Widen(text);
  RECT bounds{0, 0, Scaled(kTextMaxWidth, dpi), 0};
  DrawTextW(dc.dc(), wide.c_str(), -1, &bounds, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS);
  return {bounds.right + 2, bounds.bottom};
}

RECT PlacementArea(Placing placing) {
  RECT area{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  if (placing == Placing::OnMainWindow && MainFrame()) GetWindowRect(MainFrame(), &area);
  return area;
}

// Sizes the dialog to its text and buttons, then centres it on its area, kept on the screen.
void SizeAndPlace(HWND dialog, int clientWidth, int clientHeight, Placing placing, int dpi) {
  const SIZE outer = OuterSize(clientWidth, clientHeight, static_cast<DWORD>(GetWindowLongPtrW(dialog, GWL_STYLE)),
                               static_cast<DWORD>(GetWindowLongPtrW(dialog, GWL_EXSTYLE)), false, dpi);
  const int width = outer.cx;
  const int height = outer.cy;
  const RECT area = PlacementArea(placing);
  int left = area.left + (area.right - area.left - width) / 2;
  int top = area.top + (area.bottom - area.top - height) / 2;
  left = std::max(0, std::min(left, GetSystemMetrics(SM_CXSCREEN) - width));
  top = std::max(0, std::min(top, GetSystemMetrics(SM_CYSCREEN) - height));
  SetWindowPos(dialog, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void BuildDialog(HWND dialog, DialogState& state) {
  const DialogSpec& layout = *state.layout;
  SetWindowTextW(dialog, Widen(layout.caption).c_str());
  DialogControls& controls = state.controls.emplace();
  const int dpi = DpiOf(dialog);
  state.dpi = dpi;
  const int margin = Scaled(kMargin, dpi);
  const int buttonHeight = Scaled(kButtonHeight, dpi);
  const int buttonGap = Scaled(kButtonGap, dpi);

  const int iconSize = SystemMetricFor(SM_CXICON, dpi);
  const SIZE text = MeasureText(layout.text, dpi);
  const int contentHeight = std::max<int>(iconSize, text.cy);
  controls.icon.Create(dialog, kIdDialogIcon, "", {margin, margin, iconSize, iconSize}, SS_ICON);
  // The system's icon drawn for this DPI's size rather than stretched.
  HICON icon = static_cast<HICON>(LoadImageW(nullptr, SystemIcon(layout.icon), IMAGE_ICON, iconSize, iconSize, LR_SHARED));
  if (!icon) icon = LoadIconW(nullptr, SystemIcon(layout.icon));
  SendMessageW(controls.icon.hwnd(), STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
  const int textLeft = margin + iconSize + Scaled(kIconTextGap, dpi);
  const int textTop = margin + (contentHeight - text.cy) / 2;
  controls.text.Create(dialog, kIdDialogText, layout.text, {textLeft, textTop, text.cx, text.cy});

  int buttonWidth = Scaled(kButtonMinWidth, dpi);
  for (const ButtonSpec& button : layout.buttons) {
    buttonWidth = std::max<int>(buttonWidth, TextExtent(FontsFor(dpi).normal.get(), button.text).cx + Scaled(20, dpi));
  }
  const int count = static_cast<int>(layout.buttons.size());
  const int buttonsWidth = count * buttonWidth + (count - 1) * buttonGap;
  const int clientWidth = std::max<int>(textLeft + text.cx + margin, buttonsWidth + 2 * margin);
  const int buttonsTop = margin + contentHeight + Scaled(kTextButtonsGap, dpi);
  int x = (clientWidth - buttonsWidth) / 2;
  controls.buttons.resize(layout.buttons.size());
  for (std::size_t i = 0; i < layout.buttons.size(); ++i) {
    controls.buttons[i].Create(dialog, layout.buttons[i].id, layout.buttons[i].text,
                               {x, buttonsTop, buttonWidth, buttonHeight}, nullptr,
                               i == 0 ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
    x += buttonWidth + buttonGap;
  }
  SizeAndPlace(dialog, clientWidth, buttonsTop + buttonHeight + margin, layout.placing, dpi);
  SendMessageW(dialog, DM_SETDEFID, static_cast<WPARAM>(layout.buttons.front().id), 0);
  SetFocus(controls.buttons.front().hwnd());
}

bool IsButtonOf(const DialogSpec& layout, int id) {
  for (const ButtonSpec& button : layout.buttons) {
    if (button.id == id) return true;
  }
  return false;
}

INT_PTR HandleDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* state = reinterpret_cast<DialogState*>(GetWindowLongPtrW(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      SetWindowLongPtrW(dialog, DWLP_USER, lParam);
      BuildDialog(dialog, *reinterpret_cast<DialogState*>(lParam));
      return FALSE;  // the focus is set
    case WM_COMMAND:
      if (state && IsButtonOf(*state->layout, LOWORD(wParam))) EndDialog(dialog, LOWORD(wParam));
      if (state && LOWORD(wParam) == IDCANCEL) EndDialog(dialog, state->layout->dismissResult);
      return TRUE;
    case WM_CLOSE:
      if (state) EndDialog(dialog, state->layout->dismissResult);
      return TRUE;
    case WM_DPICHANGED:
      if (state) {
        const int dpi = HIWORD(wParam);
        RECT client{};
        GetClientRect(dialog, &client);
        FollowDpiChange(dialog, state->dpi, dpi, *reinterpret_cast<const RECT*>(lParam),
                        {MulDiv(client.right, dpi, state->dpi), MulDiv(client.bottom, dpi, state->dpi)});
        state->dpi = dpi;
      }
      return TRUE;
    case WM_DESTROY:
      if (state) state->controls.reset();  // the children go while the dialog still stands
      return FALSE;
    default:
      return FALSE;
  }
}

INT_PTR CALLBACK DialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  return Guarded(dialog, [&]() -> LRESULT { return HandleDialog(dialog, message, wParam, lParam); });
}

// An empty dialog frame; BuildDialog fills it.
struct alignas(4) EmptyDialogTemplate {
  DLGTEMPLATE header;
  WORD menu;
  WORD windowClass;
  WORD title;
};

int ShowDialog(const DialogSpec& layout) {
  EmptyDialogTemplate frame{};
  frame.header.style = DS_MODALFRAME | DS_SETFOREGROUND | WS_POPUP | WS_CAPTION | WS_SYSMENU;
  // Owned by the main window while it is on screen; at start-up, before it is, the dialog
  // stands alone with a taskbar button of its own.
  HWND owner = MainFrame() && IsWindowVisible(MainFrame()) ? MainFrame() : nullptr;
  DialogState state{&layout, std::nullopt};
  const INT_PTR result = DialogBoxIndirectParamW(Instance(), &frame.header, owner, DialogProcedure,
                                                 reinterpret_cast<LPARAM>(&state));
  return static_cast<int>(result);
}

}  // namespace

}  // namespace winui

namespace ui {

int ConfirmDialog(const std::string& caption, Icon icon, const std::string& text) {
  const winui::DialogSpec layout{caption, icon, text, {{IDYES, "Yes"}, {IDNO, "No"}}, IDNO,
                               winui::Placing::OnMainWindow};
  // Only Yes answers yes; No, Escape, closing and a dialog that could not be made answer no.
  return winui::ShowDialog(layout) == IDYES ? kDialogYes : kDialogNo;
}

void WarningDialog(const std::string& text) {
  winui::ShowDialog({"Warning", Icon::Warning, text, {{IDOK, "OK"}}, IDOK, winui::Placing::OnScreen});
}

void HelpMethodDialog(const std::string& text) {
  winui::ShowDialog(
      {"How to choose wipe method", Icon::Help, text, {{IDOK, "OK"}}, IDOK, winui::Placing::OnScreen});
}

void ShowAlreadyRunningBox() { MessageBoxA(nullptr, "Dunmere is already running!", "Warning", MB_OK); }

}  // namespace ui
