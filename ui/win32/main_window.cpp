// TForm1, the main window: two pages with a check-box list each, the method box, the
// buttons, the menu bar and the status bar. Its events go to app/handlers.h.
#include <windows.h>

#include <commctrl.h>
#include <dbt.h>

#include <algorithm>
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
// Resizable and maximisable: the lists take the room, so a long model name can be seen whole.
constexpr DWORD kStyle =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_APPWINDOW | WS_EX_CONTROLPARENT;
constexpr int kMethodRowTop = 268;
constexpr int kCaptionBarHeight = 22;
const COLORREF kCaptionBarColour = RGB(221, 228, 238);
const COLORREF kLinkColour = RGB(0, 70, 200);
// Posted to itself once for the several device notifications of one plug or unplug.
constexpr UINT kDevicesChangedMessage = WM_APP + 1;

// The disk and volume device interface classes (GUID_DEVINTERFACE_DISK, _VOLUME), spelt out so
// that no GUID library has to be linked for two constants.
const GUID kDiskInterfaceClass = {0x53f56307, 0xb6bf, 0x11d0, {0x94, 0xf2, 0x00, 0xa0, 0xc9, 0x1e, 0xfb, 0x8b}};
const GUID kVolumeInterfaceClass = {0x53f5630d, 0xb6bf, 0x11d0, {0x94, 0xf2, 0x00, 0xa0, 0xc9, 0x1e, 0xfb, 0x8b}};

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
  bool lastColumnFits;  // the last column fills the list exactly (else it keeps its width at least)
};

const PageLayout kDrivePage{"Choose Drive ", kIdDrivePanelCaption, kIdDriveScanLink, kIdDriveList,
                            {{" Drive", 100}, {" File system", 100}, {" Capacity", 100}, {" Label", 233}}, 3, true};
const PageLayout kDiskPage{"Choose Disk", kIdDiskPanelCaption, kIdDiskScanLink, kIdDiskList,
                           {{" Disk", 100}, {" Capacity", 100}, {" Logical drives on disk", 333}, {" Model", 280}}, 2, false};

// One page of the page control: the panel's caption bar with its scan link, and the list.
struct Page {
  Label captionBar;  // the bar's background, behind the caption and the link
  Label caption;
  LinkLabel scanLink;
  ListView list;

  // area: in pixels at the window's DPI
  void Create(HWND frame, const Placement& area, const PageLayout& layout, int dpi) {
    const Fonts& fonts = FontsFor(dpi);
    caption.Create(frame, layout.captionId, layout.panelCaption, {0, 0, 0, 0}, SS_LEFT | SS_CENTERIMAGE,
                   fonts.bold.get());
    scanLink.Create(frame, layout.linkId, "Scan for hardware changes", {0, 0, 0, 0});
    captionBar.Create(frame, 0, "", {0, 0, 0, 0}, SS_LEFT | WS_CLIPSIBLINGS);
    list.Create(frame, layout.listId, {0, 0, 0, 0});
    Place(area, dpi);
    for (const Column& column : layout.columns) list.AddColumn(column.caption, Scaled(column.width, dpi));
    list.FitColumn(layout.fittedColumn);
    lastColumnMin_ = layout.lastColumnFits ? 0 : Scaled(layout.columns.back().width, dpi);
  }

  // The caption bar across the top of the area, the list below it filling the rest.
  void Place(const Placement& area, int dpi) {
    const int padding = Scaled(6, dpi);
    const int barHeight = Scaled(kCaptionBarHeight, dpi);
    caption.Move({area.left + padding, area.top, area.width / 2, barHeight});
    const SIZE link = TextExtent(scanLink.Font(), "Scan for hardware changes");
    scanLink.Move({area.left + area.width - link.cx - padding, area.top + (barHeight - link.cy) / 2, link.cx, link.cy});
    captionBar.Move({area.left, area.top, area.width, barHeight});
    list.Move({area.left, area.top + barHeight, area.width, area.height - barHeight});
  }

  void FillColumns(int oldDpi, int dpi) {
    if (oldDpi > 0 && oldDpi != dpi) lastColumnMin_ = MulDiv(lastColumnMin_, dpi, oldDpi);
    list.FillLastColumn(lastColumnMin_);
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

 private:
  int lastColumnMin_ = 0;
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
  void SetStatusNote(const std::string& text);

 private:
  void CreateFrame();
  void CreateControls();
  void ShowActivePage();
  void ShowMethodHint();
  void OnDpiChanged(int dpi, const RECT& suggested);
  void Layout();
  void PlaceMethodRow(int top, int right);
  void PlaceStatusPanels();
  void OnMinMaxInfo(MINMAXINFO& info) const;
  void OnInfoTip(ui::List list, NMLVGETINFOTIPW& tip);
  void OnCommand(int id, int code, HWND control);
  void OnMenu(int id);
  LRESULT OnNotify(const NMHDR& header);
  LRESULT OnColourStatic(HDC dc, HWND control);
  bool OnSetCursor(HWND under);
  void OnActivate(WPARAM wParam);
  void RegisterForDeviceChanges();
  void OnDeviceChange(WPARAM event);

  UniqueWindow frame_;  // first member: destroyed after its controls
  UniqueDeviceNotification diskNotification_;
  UniqueDeviceNotification volumeNotification_;
  bool devicesChangePosted_ = false;
  std::string statusNote_ = "Secure erase";
  int columnsDpi_ = 0;  // the DPI the lists' columns were last filled at
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
  Layout();
  ShowActivePage();
  RegisterForDeviceChanges();
}

// Volume arrivals and removals (a drive letter) reach every top-level window unasked; a disk
// without a volume, or one whose volumes Windows does not letter, is told only to a window
// registered for its interface class.
void MainForm::RegisterForDeviceChanges() {
  if (!frame_) return;
  auto registerFor = [this](const GUID& interfaceClass) {
    DEV_BROADCAST_DEVICEINTERFACE_W filter{};
    filter.dbcc_size = sizeof filter;
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_classguid = interfaceClass;
    return UniqueDeviceNotification(RegisterDeviceNotificationW(frame(), &filter, DEVICE_NOTIFY_WINDOW_HANDLE));
  };
  diskNotification_ = registerFor(kDiskInterfaceClass);
  volumeNotification_ = registerFor(kVolumeInterfaceClass);
}

// One plug brings a disk interface, a volume interface and a volume broadcast: they are taken
// together, after the ones already queued behind them.
void MainForm::OnDeviceChange(WPARAM event) {
  if (event != DBT_DEVICEARRIVAL && event != DBT_DEVICEREMOVECOMPLETE) return;
  if (devicesChangePosted_) return;
  devicesChangePosted_ = PostMessageW(frame(), kDevicesChangedMessage, 0, 0) != FALSE;
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

  methodBox_.Create(parent, kIdMethodBox, {0, 0, 0, 0});
  for (int id = 0; id < kMethodBoxCount; ++id) methodBox_.AddItem(MethodBoxText(id));
  methodBox_.Select(0);
  helpMethod_.Create(parent, kIdHelpMethodButton, "?", {0, 0, 0, 0}, FontsFor(dpi).bold.get());
  wipeItNow_.Create(parent, kIdWipeItNowButton, "Wipe it now", {0, 0, 0, 0});
  resume_.Create(parent, kIdResumeButton, "Resume", {0, 0, 0, 0});
  PlaceMethodRow(Scaled(kMethodRowTop, dpi), Scaled(540, dpi));
  // Created first to learn its page area, the page control goes behind the pages' controls.
  SetWindowPos(pages_.hwnd(), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);

  status_.Create(parent, kIdStatusBar);
  status_.SetPanelText(0, std::string("Dunmere v") + kVersionText, false);
  SetStatusNote(statusNote_);

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
  if (MethodBoxText(index) == nullptr) return;
  hints_.SetHint(methodBox_.hwnd(), std::string(MethodBoxText(index)) + "\r\nChoose wipe method");
}

// The box is as wide as its widest entry needs (at least its design width), and the two
// buttons give up what it takes beyond that, down to what their captions need.
void MainForm::PlaceMethodRow(int top, int right) {
  const int dpi = dpi_;
  const int gap = Scaled(4, dpi);
  const int left = Scaled(4, dpi);
  const int box = std::max(Scaled(283, dpi), methodBox_.WidthForWidestItem());
  const int help = Scaled(15, dpi);
  const int buttonsLeft = left + box + gap + help + gap;
  const int captionNeeds = std::max(TextExtent(wipeItNow_.Font(), "Wipe it now").cx,
                                    TextExtent(resume_.Font(), "Resume").cx) + Scaled(16, dpi);
  const int button = std::max(captionNeeds, std::min(Scaled(113, dpi), (right - buttonsLeft - gap) / 2));
  const int height = Scaled(25, dpi);
  methodBox_.Move({left, top + Scaled(1, dpi), box, Scaled(200, dpi)});
  helpMethod_.Move({left + box + gap, top, help, height});
  wipeItNow_.Move({buttonsLeft, top, button, height});
  resume_.Move({buttonsLeft + button + gap, top, button, height});
}

// The design's panels, 400 and 100 pixels; a note wider than its panel takes the room it
// needs from the left panel, which keeps what its own text needs.
void MainForm::PlaceStatusPanels() {
  const int dpi = dpi_;
  RECT client{};
  GetClientRect(frame(), &client);
  const int note = std::max(Scaled(100, dpi), status_.WidthFor(statusNote_));
  const int version = status_.WidthFor(std::string("Dunmere v") + kVersionText);
  int first = Scaled(400, dpi);
  if (Scaled(400, dpi) + note > client.right) first = std::max(version, static_cast<int>(client.right) - note);
  status_.SetPanels({first, note});
}

void MainForm::SetStatusNote(const std::string& text) {
  statusNote_ = text;
  status_.SetPanelText(1, text, true);
  PlaceStatusPanels();
}

// The page control and its lists take the room the window has beyond its design size; the
// method row stays below them.
void MainForm::Layout() {
  if (!frame_ || !pages_.hwnd()) return;
  RECT client{};
  GetClientRect(frame(), &client);
  const int dpi = dpi_;
  const int extraWidth = std::max(0, static_cast<int>(client.right) - Scaled(kClientWidth, dpi));
  const int extraHeight = std::max(0, static_cast<int>(client.bottom) - Scaled(kClientHeight, dpi));
  const Placement pages = Scaled({4, 6, 540, 254}, dpi);
  pages_.Move({pages.left, pages.top, pages.width + extraWidth, pages.height + extraHeight});
  const Placement area = pages_.PageArea();
  drivePage_.Place(area, dpi);
  diskPage_.Place(area, dpi);
  drivePage_.FillColumns(columnsDpi_, dpi);
  diskPage_.FillColumns(columnsDpi_, dpi);
  columnsDpi_ = dpi;
  PlaceMethodRow(Scaled(kMethodRowTop, dpi) + extraHeight, Scaled(540, dpi) + extraWidth);
  SendMessageW(status_.hwnd(), WM_SIZE, 0, 0);
  PlaceStatusPanels();
}

// Never smaller than the design's size at the window's DPI.
void MainForm::OnMinMaxInfo(MINMAXINFO& info) const {
  const SIZE outer =
      OuterSize(Scaled(kClientWidth, dpi_), Scaled(kClientHeight, dpi_), kStyle, kExStyle, true, dpi_);
  info.ptMinTrackSize = {outer.cx, outer.cy};
}

void MainForm::OnInfoTip(ui::List list, NMLVGETINFOTIPW& tip) {
  if (tip.pszText == nullptr || tip.cchTextMax <= 0) return;
  const std::wstring text = Widen(app::RowTip(list, tip.iItem));
  // The list may hand in the row's own caption; the tip replaces it.
  const std::size_t room = static_cast<std::size_t>(tip.cchTextMax) - 1;
  const std::size_t length = std::min(room, text.size());
  text.copy(tip.pszText, length);
  tip.pszText[length] = L'\0';
}

void MainForm::OnDpiChanged(int dpi, const RECT& suggested) {
  // The fonts and sizes follow first; the layout then fits the new client area.
  const int oldDpi = dpi_;
  dpi_ = dpi;
  FollowDpiChange(frame(), oldDpi, dpi, suggested, {Scaled(kClientWidth, dpi), Scaled(kClientHeight, dpi)});
  Layout();
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
    case WM_SIZE:
      if (wParam != SIZE_MINIMIZED) Layout();
      break;
    case WM_GETMINMAXINFO:
      OnMinMaxInfo(*reinterpret_cast<MINMAXINFO*>(lParam));
      return 0;
    case WM_DEVICECHANGE:
      OnDeviceChange(wParam);
      return TRUE;
    case kDevicesChangedMessage:
      devicesChangePosted_ = false;
      app::DevicesChanged();
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
  if (pages_.Owns(header.hwndFrom) && header.code == TCN_SELCHANGE) {
    ShowActivePage();
    app::PageChanged();
  }
  // Every change, a check box toggled or a row highlighted; the selection rule sorts them out
  // and may uncheck rows from inside this call, which notifies again.
  if (header.code == LVN_ITEMCHANGED && drivePage_.list.Owns(header.hwndFrom)) app::ListChanged(ui::List::Drive);
  if (header.code == LVN_ITEMCHANGED && diskPage_.list.Owns(header.hwndFrom)) app::ListChanged(ui::List::Disk);
  if (header.code == LVN_GETINFOTIPW && drivePage_.list.Owns(header.hwndFrom)) {
    OnInfoTip(ui::List::Drive, *reinterpret_cast<NMLVGETINFOTIPW*>(const_cast<NMHDR*>(&header)));
  }
  if (header.code == LVN_GETINFOTIPW && diskPage_.list.Owns(header.hwndFrom)) {
    OnInfoTip(ui::List::Disk, *reinterpret_cast<NMLVGETINFOTIPW*>(const_cast<NMHDR*>(&header)));
  }
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

void SetStatusNote(const std::string& text) {
  if (winui::form) winui::form->SetStatusNote(text);
}

}  // namespace ui
