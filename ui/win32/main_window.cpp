// TForm1, the main window: two pages with a check-box list each, the method box, the
// buttons, the menu bar and the status bar. Its events go to app/handlers.h.
#include <windows.h>

#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

#include "app/handlers.h"
#include "app/main_window.h"
#include "ui/ui.h"
#include "ui/win32/control_ids.h"
#include "ui/win32/controls.h"
#include "ui/win32/framework.h"
#include "ui/win32/text.h"
#include "wipe/methods.h"

namespace winui {

namespace {

const wchar_t kClassName[] = L"TForm1";
constexpr int kClientWidth = 549;
constexpr int kClientHeight = 367;
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME | WS_EX_APPWINDOW | WS_EX_CONTROLPARENT;
constexpr int kCaptionBarHeight = 22;
const COLORREF kCaptionBarColour = RGB(221, 228, 238);
const COLORREF kLinkColour = RGB(0, 70, 200);

struct Column {
  const char* caption;
  int width;
};

struct PageLayout {
  const char* panelCaption;
  int captionId;
  int linkId;
  int listId;
  std::vector<Column> columns;
  int fittedColumn;  // the last of the long-standing columns: it fits the list, what follows scrolls
};

const PageLayout kDrivePage{"Choose Drive ", kIdDrivePanelCaption, kIdDriveScanLink, kIdDriveList,
                            {{" Drive", 100}, {" File system", 100}, {" Capacity", 100}, {" Label", 233}}, 3};
const PageLayout kDiskPage{"Choose Disk", kIdDiskPanelCaption, kIdDiskScanLink, kIdDiskList,
                           {{" Disk", 100}, {" Capacity", 100}, {" Logical drives on disk", 333}, {" Model", 280}}, 2};

// One page of the page control: the panel's caption bar with its scan link, and the list.
struct Page {
  Label captionBar;  // the bar's background, behind the caption and the link
  Label caption;
  LinkLabel scanLink;
  ListView list;

  // area: in pixels at the window's DPI
  void Create(HWND frame, const Placement& area, const PageLayout& layout, int dpi) {
    const Fonts& fonts = FontsFor(dpi);
    const int padding = Scaled(6, dpi);
    const int barHeight = Scaled(kCaptionBarHeight, dpi);
    caption.Create(frame, layout.captionId, layout.panelCaption,
                   {area.left + padding, area.top, area.width / 2, barHeight}, SS_LEFT | SS_CENTERIMAGE,
                   fonts.bold.get());
    const char* linkText = "Scan for hardware changes";
    const SIZE link = TextExtent(fonts.underlined.get(), linkText);
    scanLink.Create(frame, layout.linkId, linkText,
                    {area.left + area.width - link.cx - padding, area.top + (barHeight - link.cy) / 2, link.cx,
                     link.cy});
    captionBar.Create(frame, 0, "", {area.left, area.top, area.width, barHeight}, SS_LEFT | WS_CLIPSIBLINGS);
    list.Create(frame, layout.listId, {area.left, area.top + barHeight, area.width, area.height - barHeight});
    for (const Column& column : layout.columns) list.AddColumn(column.caption, Scaled(column.width, dpi));
    list.FitColumn(layout.fittedColumn);
  }

  // Only the active page's controls are seen and take input.
  void Activate(bool active) {
    for (Control* control : {static_cast<Control*>(&captionBar), static_cast<Control*>(&caption),
                             static_cast<Control*>(&scanLink), static_cast<Control*>(&list)}) {
      control->Show(active);
      control->Enable(active);
    }
  }

  bool OwnsBarPart(HWND window) const {
    return captionBar.Owns(window) || caption.Owns(window) || scanLink.Owns(window);
  }
};

class MainForm {
 public:
  void Create();
  HWND frame() const { return frame_.get(); }
  LRESULT Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  ListView& ListOf(ui::List list) { return list == ui::List::Drive ? drivePage_.list : diskPage_.list; }
  int ActivePage() const { return pages_.ActiveIndex(); }
  int MethodIndex() const { return methodBox_.SelectedIndex(); }
  bool OptionChecked(ui::Option option) const;
  void SetOptionChecked(ui::Option option, bool checked);

 private:
  void CreateFrame();
  void CreateControls();
  void ShowActivePage();
  void ShowMethodHint();
  void OnDpiChanged(int dpi, const RECT& suggested);
  void OnCommand(int id, int code, HWND control);
  void OnMenu(int id);
  LRESULT OnNotify(const NMHDR& header);
  LRESULT OnColourStatic(HDC dc, HWND control);
  bool OnSetCursor(HWND under);
  void OnActivate(WPARAM wParam);

  UniqueWindow frame_;  // first member: destroyed after its controls
  UniqueBrush captionBarBrush_;
  TabControl pages_;
  Page drivePage_;
  Page diskPage_;
  ComboBox methodBox_;
  Button helpMethod_;
  Button wipeItNow_;
  Button resume_;
  StatusBar status_;
  Tooltip hints_;
  bool wipeResumable_ = true;  // "Wipe resumable": checked, never shown in the menu
  int dpi_ = kDesignDpi;
};

std::unique_ptr<MainForm> form;

HMENU BuildMenuBar() {
  struct Item {
    int id;
    const wchar_t* text;
    bool checked = false;
  };
  struct Menu {
    const wchar_t* text;
    std::vector<Item> items;
  };
  const Menu menus[] = {
      {L"File", {{kMenuScanForHardwareChanges, L"Scan for hardware changes"}, {kMenuWipeItNow, L"Wipe it now"},
                 {kMenuResume, L"Resume"}, {kMenuOpenReportsFolder, L"Open reports folder"}}},
      {L"Option", {{kMenuDisableSound, L"Disable sound"}, {kMenuVerifyAfterWipe, L"Verify after wipe", true}}},
      {L"Support", {{kMenuWebSite, L"Web site"}, {kMenuContactUs, L"Contact us"}}},
      {L"Update", {{kMenuCheckForUpdate, L"Check for update"}}},
      {L"Help", {{kMenuUserGuide, L"User guide"}}},
  };
  UniqueMenu bar(CreateMenu());
  for (const Menu& menu : menus) {
    // Appended popups belong to the bar from here on.
    HMENU popup = CreatePopupMenu();
    for (const Item& item : menu.items) {
      AppendMenuW(popup, MF_STRING | (item.checked ? MF_CHECKED : MF_UNCHECKED), static_cast<UINT_PTR>(item.id),
                  item.text);
    }
    AppendMenuW(bar.get(), MF_POPUP, reinterpret_cast<UINT_PTR>(popup), menu.text);
  }
  return bar.release();
}

LRESULT CALLBACK MainProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!form) return DefWindowProcW(window, message, wParam, lParam);
  return Guarded(window, [&] { return form->Handle(window, message, wParam, lParam); });
}

void MainForm::Create() {
  captionBarBrush_.reset(CreateSolidBrush(kCaptionBarColour));
  CreateFrame();
  CreateControls();
  ShowActivePage();
}

void MainForm::CreateFrame() {
  dpi_ = SystemDpi();
  SIZE outer = OuterSize(Scaled(kClientWidth, dpi_), Scaled(kClientHeight, dpi_), kStyle, kExStyle, true, dpi_);
  const POINT at = CentredOnScreen(outer);
  HMENU menuBar = BuildMenuBar();
  frame_.reset(CreateWindowExW(kExStyle, kClassName, L"", kStyle, at.x, at.y, outer.cx, outer.cy, nullptr, menuBar,
                               Instance(), nullptr));
  if (!frame_) {
    DestroyMenu(menuBar);
    return;
  }
  // Opened on a monitor of another DPI than the system's, it takes that monitor's sizes.
  if (DpiOf(frame()) != dpi_) {
    dpi_ = DpiOf(frame());
    outer = OuterSize(Scaled(kClientWidth, dpi_), Scaled(kClientHeight, dpi_), kStyle, kExStyle, true, dpi_);
    SetWindowPos(frame(), nullptr, 0, 0, outer.cx, outer.cy, SWP_NOMOVE | SWP_NOZORDER);
  }
  // The menu bar may have taken another line than the estimate: fix the client size exactly.
  RECT client{};
  GetClientRect(frame(), &client);
  const int extra = Scaled(kClientHeight, dpi_) - client.bottom;
  if (extra != 0) SetWindowPos(frame(), nullptr, 0, 0, outer.cx, outer.cy + extra, SWP_NOMOVE | SWP_NOZORDER);
}

void MainForm::CreateControls() {
  HWND parent = frame();
  const int dpi = dpi_;
  pages_.Create(parent, kIdPageControl, Scaled({4, 6, 540, 254}, dpi), TCS_BOTTOM);
  pages_.AddTab("Wipe drive");
  pages_.AddTab("Wipe disk");
  const Placement area = pages_.PageArea();
  drivePage_.Create(parent, area, kDrivePage, dpi);
  diskPage_.Create(parent, area, kDiskPage, dpi);

  const int row = 268;
  methodBox_.Create(parent, kIdMethodBox, Scaled({4, row + 1, 283, 200}, dpi));
  for (const WipeMethod& method : WipeMethods) methodBox_.AddItem(method.boxText);
  methodBox_.Select(0);
  helpMethod_.Create(parent, kIdHelpMethodButton, "?", Scaled({291, row, 15, 25}, dpi), FontsFor(dpi).bold.get());
  wipeItNow_.Create(parent, kIdWipeItNowButton, "Wipe it now", Scaled({310, row, 113, 25}, dpi));
  resume_.Create(parent, kIdResumeButton, "Resume", Scaled({427, row, 113, 25}, dpi));
  // Created first to learn its page area, the page control goes behind the pages' controls.
  SetWindowPos(pages_.hwnd(), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);

  status_.Create(parent, kIdStatusBar);
  status_.SetPanels({Scaled(400, dpi), Scaled(100, dpi)});
  status_.SetPanelText(0, std::string("Dunmere v") + kVersionText, false);
  status_.SetPanelText(1, "Secure erase", true);

  hints_.Create(parent);
  hints_.AddHint(methodBox_.hwnd(), "Choose wipe method");
  ShowMethodHint();
  hints_.AddHint(helpMethod_.hwnd(), "How to choose wipe method");
  hints_.AddHint(wipeItNow_.hwnd(), "Erase every byte on drve or disk");
  hints_.AddHint(resume_.hwnd(), "Resume broken wipe");
}

void MainForm::ShowActivePage() {
  const int active = pages_.ActiveIndex();
  drivePage_.Activate(active == ui::kPageWipeDrive);
  diskPage_.Activate(active == ui::kPageWipeDisk);
}

// The closed box is narrower than the longer methods' texts: its hint shows the chosen one whole.
void MainForm::ShowMethodHint() {
  const int index = methodBox_.SelectedIndex();
  if (index < 0 || index >= kMethodCount) return;
  hints_.SetHint(methodBox_.hwnd(), std::string(WipeMethods[index].boxText) + "\r\nChoose wipe method");
}

void MainForm::OnDpiChanged(int dpi, const RECT& suggested) {
  FollowDpiChange(frame(), dpi_, dpi, suggested, {Scaled(kClientWidth, dpi), Scaled(kClientHeight, dpi)});
  dpi_ = dpi;
}

// The shown options keep their value in their menu item's check mark.
int OptionMenuItem(ui::Option option) {
  return option == ui::Option::DisableSound ? kMenuDisableSound : kMenuVerifyAfterWipe;
}

bool MainForm::OptionChecked(ui::Option option) const {
  if (option == ui::Option::WipeResumable) return wipeResumable_;
  return (GetMenuState(GetMenu(frame()), OptionMenuItem(option), MF_BYCOMMAND) & MF_CHECKED) != 0;
}

void MainForm::SetOptionChecked(ui::Option option, bool checked) {
  if (option == ui::Option::WipeResumable) {
    wipeResumable_ = checked;
    return;
  }
  CheckMenuItem(GetMenu(frame()), OptionMenuItem(option), MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

LRESULT MainForm::Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ACTIVATE:
      OnActivate(wParam);
      break;
    case WM_CLOSE:
      app::FormClose();
      ShowWindow(window, SW_HIDE);
      EndEventLoop();
      return 0;
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
      return 0;
    case WM_NOTIFY:
      return OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
    case WM_CTLCOLORSTATIC:
      if (LRESULT brush = OnColourStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam))) return brush;
      break;
    case WM_SETCURSOR:
      if (OnSetCursor(reinterpret_cast<HWND>(wParam))) return TRUE;
      break;
    case WM_DPICHANGED:
      OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
      return 0;
    default:
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

void MainForm::OnActivate(WPARAM wParam) {
  if (LOWORD(wParam) == WA_INACTIVE || IsIconic(frame())) return;
  RECT outer{};
  GetWindowRect(frame(), &outer);
  app::FormActivate(outer.left, outer.top, outer.right - outer.left, outer.bottom - outer.top);
}

void MainForm::OnCommand(int id, int code, HWND control) {
  if (control == nullptr) {
    if (code == 0) OnMenu(id);  // 1 would be an accelerator; there are none
    return;
  }
  if (code == CBN_SELCHANGE && methodBox_.Owns(control)) ShowMethodHint();
  if (code == BN_CLICKED && helpMethod_.Owns(control)) app::HelpMethodClicked();
  if (code == BN_CLICKED && wipeItNow_.Owns(control)) app::WipeItNowClicked();
  if (code == BN_CLICKED && resume_.Owns(control)) app::ResumeClicked();
  if (code == STN_CLICKED && (drivePage_.scanLink.Owns(control) || diskPage_.scanLink.Owns(control))) {
    app::ScanForHardwareChangesClicked();
  }
}

void MainForm::OnMenu(int id) {
  switch (id) {
    case kMenuScanForHardwareChanges:
      app::ScanForHardwareChangesClicked();
      break;
    case kMenuWipeItNow:  // the menu items act by clicking their buttons
      SendMessageW(wipeItNow_.hwnd(), BM_CLICK, 0, 0);
      break;
    case kMenuResume:
      SendMessageW(resume_.hwnd(), BM_CLICK, 0, 0);
      break;
    case kMenuOpenReportsFolder:
      app::OpenReportsFolderClicked();
      break;
    case kMenuDisableSound:
      app::DisableSoundClicked();
      break;
    case kMenuVerifyAfterWipe:
      app::VerifyAfterWipeClicked();
      break;
    case kMenuWebSite:
      app::WebSiteClicked();
      break;
    case kMenuContactUs:
      app::ContactUsClicked();
      break;
    case kMenuCheckForUpdate:
      app::CheckForUpdateClicked();
      break;
    case kMenuUserGuide:
      app::UserGuideClicked();
      break;
    default:
      break;
  }
}

LRESULT MainForm::OnNotify(const NMHDR& header) {
  if (pages_.Owns(header.hwndFrom) && header.code == TCN_SELCHANGE) ShowActivePage();
  // Every change, a check box toggled or a row highlighted; the selection rule sorts them out
  // and may uncheck rows from inside this call, which notifies again.
  if (header.code == LVN_ITEMCHANGED && drivePage_.list.Owns(header.hwndFrom)) app::ListChanged(ui::List::Drive);
  if (header.code == LVN_ITEMCHANGED && diskPage_.list.Owns(header.hwndFrom)) app::ListChanged(ui::List::Disk);
  return 0;
}

LRESULT MainForm::OnColourStatic(HDC dc, HWND control) {
  if (!drivePage_.OwnsBarPart(control) && !diskPage_.OwnsBarPart(control)) return 0;
  SetBkColor(dc, kCaptionBarColour);
  const bool link = drivePage_.scanLink.Owns(control) || diskPage_.scanLink.Owns(control);
  SetTextColor(dc, link ? kLinkColour : GetSysColor(COLOR_BTNTEXT));
  return reinterpret_cast<LRESULT>(captionBarBrush_.get());
}

bool MainForm::OnSetCursor(HWND under) {
  if (!drivePage_.scanLink.Owns(under) && !diskPage_.scanLink.Owns(under)) return false;
  SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_HAND)));
  return true;
}

}  // namespace

HWND MainFrame() { return form ? form->frame() : nullptr; }
void DestroyMainForm() { form.reset(); }

}  // namespace winui

namespace ui {

void CreateMainWindow() {
  if (winui::form) return;
  winui::RegisterFormClass(winui::kClassName, winui::MainProcedure);
  winui::form = std::make_unique<winui::MainForm>();
  winui::form->Create();
  app::FormCreate();  // the controls exist, the window is not shown yet
}

// Before the window exists there is nothing to show or read: the calls do nothing and read as
// an empty, unchecked window.

void SetMainCaption(const std::string& text) {
  if (winui::form) SetWindowTextW(winui::form->frame(), winui::Widen(text).c_str());
}

void ShowMainWindow() {
  if (!winui::form) return;
  ShowWindow(winui::form->frame(), SW_SHOW);
  UpdateWindow(winui::form->frame());
  SetForegroundWindow(winui::form->frame());
}

void HideMainWindow() {
  if (winui::form) ShowWindow(winui::form->frame(), SW_HIDE);
}

int ActivePage() { return winui::form ? winui::form->ActivePage() : kPageWipeDrive; }
int MethodIndex() { return winui::form ? winui::form->MethodIndex() : 0; }

void ClearRows(List list) {
  if (winui::form) winui::form->ListOf(list).ClearRows();
}

void AddRow(List list, const std::string& caption, const std::vector<std::string>& subItems) {
  if (winui::form) winui::form->ListOf(list).AddRow(caption, subItems);
}

int RowCount(List list) { return winui::form ? winui::form->ListOf(list).RowCount() : 0; }

bool RowChecked(List list, int row) { return winui::form && winui::form->ListOf(list).RowChecked(row); }

void SetRowChecked(List list, int row, bool checked) {
  if (winui::form) winui::form->ListOf(list).SetRowChecked(row, checked);
}

bool OptionChecked(Option option) {
  if (winui::form) return winui::form->OptionChecked(option);
  return option == Option::WipeResumable || option == Option::VerifyAfterWipe;
}

void SetOptionChecked(Option option, bool checked) {
  if (winui::form) winui::form->SetOptionChecked(option, checked);
}

}  // namespace ui
