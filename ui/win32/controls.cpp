#include "ui/win32/controls.h"

#include <commctrl.h>

#include <algorithm>

#include "ui/win32/framework.h"
#include "ui/win32/text.h"

namespace winui {

Placement Scaled(const Placement& at, int dpi) {
  return {Scaled(at.left, dpi), Scaled(at.top, dpi), Scaled(at.width, dpi), Scaled(at.height, dpi)};
}

// ---- Control ----------------------------------------------------------------------------------

void Control::CreateChild(HWND parent, const wchar_t* className, const std::string& text, DWORD style,
                          DWORD exStyle, const Placement& at, int id, HFONT font) {
  const std::wstring wide = Widen(text);
  HWND window = CreateWindowExW(exStyle, className, wide.c_str(), WS_CHILD | WS_VISIBLE | style, at.left,
                                at.top, at.width, at.height, parent,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), Instance(), nullptr);
  Adopt(window);
  SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(font ? font : FontsFor(DpiOf(parent)).normal.get()), FALSE);
}

void Control::SetText(const std::string& text) { SetWindowTextW(hwnd(), Widen(text).c_str()); }

void Control::Show(bool visible) { ShowWindow(hwnd(), visible ? SW_SHOW : SW_HIDE); }
void Control::Enable(bool enabled) { EnableWindow(hwnd(), enabled ? TRUE : FALSE); }
void Control::Move(const Placement& at) { MoveWindow(hwnd(), at.left, at.top, at.width, at.height, TRUE); }
HFONT Control::Font() const { return reinterpret_cast<HFONT>(SendMessageW(hwnd(), WM_GETFONT, 0, 0)); }

// ---- Buttons and labels -------------------------------------------------------------------------

void Button::Create(HWND parent, int id, const std::string& text, const Placement& at, HFONT font, DWORD kind) {
  CreateChild(parent, WC_BUTTONW, text, kind | WS_TABSTOP, 0, at, id, font);
}

void CheckBox::Create(HWND parent, int id, const std::string& text, const Placement& at, bool checked) {
  CreateChild(parent, WC_BUTTONW, text, BS_AUTOCHECKBOX | WS_TABSTOP, 0, at, id, nullptr);
  SetChecked(checked);
}

bool CheckBox::Checked() const { return SendMessageW(hwnd(), BM_GETCHECK, 0, 0) == BST_CHECKED; }

void CheckBox::SetChecked(bool checked) {
  SendMessageW(hwnd(), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void Label::Create(HWND parent, int id, const std::string& text, const Placement& at, DWORD align, HFONT font) {
  CreateChild(parent, WC_STATICW, text, align | SS_NOPREFIX, 0, at, id, font);
}

namespace {

void PaintValueLabel(HWND label, HDC target) {
  RECT client{};
  GetClientRect(label, &client);
  if (client.right <= 0 || client.bottom <= 0) return;
  UniqueMemoryDc memory(CreateCompatibleDC(target));
  UniqueBitmap bitmap(CreateCompatibleBitmap(target, client.right, client.bottom));
  SelectScope selectBitmap(memory.get(), bitmap.get());
  const HDC dc = memory.get();
  // The colours the form gives its labels, as the static control would ask for them.
  HBRUSH background = reinterpret_cast<HBRUSH>(SendMessageW(GetParent(label), WM_CTLCOLORSTATIC,
                                                            reinterpret_cast<WPARAM>(dc),
                                                            reinterpret_cast<LPARAM>(label)));
  FillRect(dc, &client, background ? background : GetSysColorBrush(COLOR_BTNFACE));
  SelectScope selectFont(dc, reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0)));
  SetBkMode(dc, TRANSPARENT);
  wchar_t text[128] = {};
  GetWindowTextW(label, text, 128);
  DrawTextW(dc, text, -1, &client, DT_LEFT | DT_SINGLELINE | DT_NOPREFIX);
  BitBlt(target, 0, 0, client.right, client.bottom, dc, 0, 0, SRCCOPY);
}

// The static control answers WM_SETTEXT by clearing its rectangle and then drawing the text.
// Under Wine the window's pixels reach the screen at moments the program does not choose, and
// one that falls between the two steps shows the label empty; during a run that is the last
// label written before the block's write, where it stays until the next block.
LRESULT CALLBACK ValueLabelProcedure(HWND label, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                     DWORD_PTR) {
  switch (message) {
    case WM_SETTEXT: {
      const LRESULT stored = DefWindowProcW(label, message, wParam, lParam);
      if (IsWindowVisible(label)) {
        WindowDc dc(label);
        PaintValueLabel(label, dc.dc());
      }
      return stored;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      if (wParam != 0) {
        PaintValueLabel(label, reinterpret_cast<HDC>(wParam));
      } else {
        PaintScope paint(label);
        PaintValueLabel(label, paint.dc());
      }
      return 0;
    case WM_PRINTCLIENT:
      PaintValueLabel(label, reinterpret_cast<HDC>(wParam));
      return 0;
    case WM_NCDESTROY:
      RemoveWindowSubclass(label, ValueLabelProcedure, id);
      break;
    default:
      break;
  }
  return DefSubclassProc(label, message, wParam, lParam);
}

}  // namespace

void ValueLabel::Create(HWND parent, int id, const std::string& text, const Placement& at, HFONT font) {
  CreateChild(parent, WC_STATICW, text, SS_LEFT | SS_NOPREFIX, 0, at, id, font);
  SetWindowSubclass(hwnd(), ValueLabelProcedure, 1, 0);
}

void LinkLabel::Create(HWND parent, int id, const std::string& text, const Placement& at) {
  CreateChild(parent, WC_STATICW, text, SS_LEFT | SS_NOPREFIX | SS_NOTIFY, 0, at, id,
              FontsFor(DpiOf(parent)).underlined.get());
}

// ---- List view ------------------------------------------------------------------------------

void ListView::Create(HWND parent, int id, const Placement& at) {
  CreateChild(parent, WC_LISTVIEWW, "",
              LVS_REPORT | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER | LVS_SINGLESEL | WS_TABSTOP,
              WS_EX_CLIENTEDGE, at, id, nullptr);
  // LVS_EX_INFOTIP: the list asks its parent for a row's tip (LVN_GETINFOTIP).
  const DWORD extended =
      LVS_EX_CHECKBOXES | LVS_EX_GRIDLINES | LVS_EX_TRACKSELECT | LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP;
  SendMessageW(hwnd(), LVM_SETEXTENDEDLISTVIEWSTYLE, extended, extended);
}

void ListView::AddColumn(const std::string& caption, int width) {
  std::wstring wide = Widen(caption);
  LVCOLUMNW column{};
  column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
  column.fmt = LVCFMT_LEFT;
  column.cx = width;
  column.pszText = wide.data();
  HWND header = reinterpret_cast<HWND>(SendMessageW(hwnd(), LVM_GETHEADER, 0, 0));
  const int count = header ? static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
  SendMessageW(hwnd(), LVM_INSERTCOLUMNW, static_cast<WPARAM>(count), reinterpret_cast<LPARAM>(&column));
}

void ListView::FitColumn(int column) {
  RECT client{};
  GetClientRect(hwnd(), &client);
  int others = 0;
  for (int before = 0; before < column; ++before) {
    others += static_cast<int>(SendMessageW(hwnd(), LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(before), 0));
  }
  const int width = static_cast<int>(SendMessageW(hwnd(), LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column), 0));
  const int room = client.right - others;
  if (width > room && room > 0) {
    SendMessageW(hwnd(), LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(column), MAKELPARAM(room, 0));
  }
}

void ListView::FillLastColumn(int minWidth) {
  HWND header = reinterpret_cast<HWND>(SendMessageW(hwnd(), LVM_GETHEADER, 0, 0));
  const int count = header ? static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
  if (count == 0) return;
  RECT client{};
  GetClientRect(hwnd(), &client);
  int others = 0;
  for (int column = 0; column + 1 < count; ++column) {
    others += static_cast<int>(SendMessageW(hwnd(), LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column), 0));
  }
  const int width = std::max(minWidth, static_cast<int>(client.right) - others);
  if (width > 0) SendMessageW(hwnd(), LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(count - 1), MAKELPARAM(width, 0));
}

void ListView::ClearRows() { SendMessageW(hwnd(), LVM_DELETEALLITEMS, 0, 0); }

void ListView::AddRow(const std::string& caption, const std::vector<std::string>& subItems) {
  std::wstring wide = Widen(caption);
  LVITEMW item{};
  item.mask = LVIF_TEXT;
  item.iItem = RowCount();
  item.pszText = wide.data();
  const int row = static_cast<int>(SendMessageW(hwnd(), LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
  if (row < 0) return;
  for (std::size_t i = 0; i < subItems.size(); ++i) {
    std::wstring cell = Widen(subItems[i]);
    LVITEMW sub{};
    sub.iSubItem = static_cast<int>(i) + 1;
    sub.pszText = cell.data();
    SendMessageW(hwnd(), LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&sub));
  }
}

int ListView::RowCount() const { return static_cast<int>(SendMessageW(hwnd(), LVM_GETITEMCOUNT, 0, 0)); }

bool ListView::RowChecked(int row) const {
  if (row < 0 || row >= RowCount()) return false;
  // State image 1 is the empty box, 2 the checked one.
  const LRESULT state = SendMessageW(hwnd(), LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_STATEIMAGEMASK);
  return ((static_cast<UINT>(state) & LVIS_STATEIMAGEMASK) >> 12) == 2;
}

void ListView::SetRowChecked(int row, bool checked) {
  if (row < 0 || row >= RowCount() || RowChecked(row) == checked) return;
  LVITEMW item{};
  item.stateMask = LVIS_STATEIMAGEMASK;
  item.state = INDEXTOSTATEIMAGEMASK(checked ? 2 : 1);
  // The list sends LVN_ITEMCHANGED to its form before this returns, as for a click.
  SendMessageW(hwnd(), LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

// ---- Combo box and page control ---------------------------------------------------------------

void ComboBox::Create(HWND parent, int id, const Placement& at) {
  CreateChild(parent, WC_COMBOBOXW, "", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 0, at, id, nullptr);
}

void ComboBox::AddItem(const std::string& text) {
  const std::wstring wide = Widen(text);
  SendMessageW(hwnd(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide.c_str()));
  const int dpi = DpiOf(hwnd());
  const HFONT font = reinterpret_cast<HFONT>(SendMessageW(hwnd(), WM_GETFONT, 0, 0));
  const int needed = TextExtent(font, text).cx + SystemMetricFor(SM_CXVSCROLL, dpi) + Scaled(8, dpi);
  if (needed > SendMessageW(hwnd(), CB_GETDROPPEDWIDTH, 0, 0)) {
    SendMessageW(hwnd(), CB_SETDROPPEDWIDTH, static_cast<WPARAM>(needed), 0);
  }
}

// The closed box draws its text between its edges and the arrow button, a few pixels in.
// Measured anew each time: the font changes with the window's DPI.
int ComboBox::WidthForWidestItem() const {
  const int dpi = DpiOf(hwnd());
  WindowDc dc(hwnd());
  SelectScope select(dc.dc(), Font());
  const int count = static_cast<int>(SendMessageW(hwnd(), CB_GETCOUNT, 0, 0));
  int widest = 0;
  for (int i = 0; i < count; ++i) {
    const LRESULT length = SendMessageW(hwnd(), CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
    if (length <= 0) continue;
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    SendMessageW(hwnd(), CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text.data()));
    SIZE size{};
    GetTextExtentPoint32W(dc.dc(), text.c_str(), static_cast<int>(length), &size);
    widest = std::max(widest, static_cast<int>(size.cx));
  }
  return widest + SystemMetricFor(SM_CXVSCROLL, dpi) + 2 * SystemMetricFor(SM_CXEDGE, dpi) + Scaled(8, dpi);
}

int ComboBox::SelectedIndex() const { return static_cast<int>(SendMessageW(hwnd(), CB_GETCURSEL, 0, 0)); }
void ComboBox::Select(int index) { SendMessageW(hwnd(), CB_SETCURSEL, static_cast<WPARAM>(index), 0); }

void TabControl::Create(HWND parent, int id, const Placement& at, DWORD extraStyle) {
  // The pages' controls are siblings laid over the tab control; clipping keeps it from
  // painting over them.
  CreateChild(parent, WC_TABCONTROLW, "", WS_CLIPSIBLINGS | WS_TABSTOP | extraStyle, 0, at, id, nullptr);
}

void TabControl::AddTab(const std::string& caption) {
  std::wstring wide = Widen(caption);
  TCITEMW item{};
  item.mask = TCIF_TEXT;
  item.pszText = wide.data();
  const LRESULT count = SendMessageW(hwnd(), TCM_GETITEMCOUNT, 0, 0);
  SendMessageW(hwnd(), TCM_INSERTITEMW, static_cast<WPARAM>(count), reinterpret_cast<LPARAM>(&item));
}

int TabControl::ActiveIndex() const { return static_cast<int>(SendMessageW(hwnd(), TCM_GETCURSEL, 0, 0)); }

Placement TabControl::PageArea() const {
  RECT area{};
  GetClientRect(hwnd(), &area);
  SendMessageW(hwnd(), TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
  MapWindowPoints(hwnd(), GetParent(hwnd()), reinterpret_cast<POINT*>(&area), 2);
  return {area.left, area.top, area.right - area.left, area.bottom - area.top};
}

// ---- Status bar ------------------------------------------------------------------------------

void StatusBar::Create(HWND parent, int id) {
  CreateChild(parent, STATUSCLASSNAMEW, "", 0, 0, {0, 0, 0, 0}, id, nullptr);
}

void StatusBar::SetPanels(const std::vector<int>& widths) {
  std::vector<int> edges;
  int edge = 0;
  for (int width : widths) edges.push_back(edge += width);
  SendMessageW(hwnd(), SB_SETPARTS, edges.size(), reinterpret_cast<LPARAM>(edges.data()));
}

void StatusBar::SetPanelText(int panel, const std::string& text, bool alignRight) {
  // Two tabs in front right-align a status bar panel's text; the bar then draws it flush
  // against the panel's divider, which two blanks after it keep clear.
  const std::wstring wide = alignRight ? L"\t\t" + Widen(text) + L"  " : Widen(text);
  SendMessageW(hwnd(), SB_SETTEXTW, static_cast<WPARAM>(panel), reinterpret_cast<LPARAM>(wide.c_str()));
}

int StatusBar::WidthFor(const std::string& text) const {
  // The two trailing blanks keep the text off the divider; the panel's borders take a few pixels.
  return TextExtent(Font(), text + "  ").cx + Scaled(4, DpiOf(hwnd()));
}

// ---- Percentage bar ---------------------------------------------------------------------------

namespace {

const wchar_t kMarqueeProperty[] = L"DunmereMarquee";

void PaintPercentBar(HWND bar, HDC target) {
  RECT client{};
  GetClientRect(bar, &client);
  const int width = client.right;
  const int height = client.bottom;
  if (width <= 0 || height <= 0) return;
  // Drawn off screen first so the bar does not flicker at every block of a run.
  UniqueMemoryDc memory(CreateCompatibleDC(target));
  UniqueBitmap bitmap(CreateCompatibleBitmap(target, width, height));
  SelectScope selectBitmap(memory.get(), bitmap.get());
  const HDC dc = memory.get();

  FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
  RECT inner = client;
  DrawEdge(dc, &inner, BDR_SUNKENOUTER, BF_RECT | BF_ADJUST);
  FillRect(dc, &inner, GetSysColorBrush(COLOR_WINDOW));

  if (GetPropW(bar, kMarqueeProperty) != nullptr) {
    // Nothing measures the work: a block slides along so the user sees that it goes on.
    const int inside = inner.right - inner.left;
    const int block = inside / 5 > 1 ? inside / 5 : 1;
    const int step = static_cast<int>(GetTickCount() / 8 % static_cast<DWORD>(inside + block));
    RECT moving = inner;
    moving.left = inner.left + step - block;
    moving.right = inner.left + step;
    if (moving.left < inner.left) moving.left = inner.left;
    if (moving.right > inner.right) moving.right = inner.right;
    FillRect(dc, &moving, GetSysColorBrush(COLOR_HIGHLIGHT));
    BitBlt(target, 0, 0, width, height, dc, 0, 0, SRCCOPY);
    return;
  }
  const int low = static_cast<int>(SendMessageW(bar, PBM_GETRANGE, TRUE, 0));
  const int high = static_cast<int>(SendMessageW(bar, PBM_GETRANGE, FALSE, 0));
  int position = static_cast<int>(SendMessageW(bar, PBM_GETPOS, 0, 0));
  if (position < low) position = low;
  if (position > high) position = high;
  RECT filled = inner;
  const int span = high > low ? high - low : 1;
  filled.right = inner.left + (inner.right - inner.left) * (position - low) / span;
  FillRect(dc, &filled, GetSysColorBrush(COLOR_HIGHLIGHT));

  const std::wstring text = std::to_wstring(position) + L"%";
  SelectScope selectFont(dc, reinterpret_cast<HFONT>(SendMessageW(bar, WM_GETFONT, 0, 0)));
  SetBkMode(dc, TRANSPARENT);
  const UINT format = DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX;
  {
    // The text changes colour where the filled part runs under it.
    SavedDcState saved(dc);
    ExcludeClipRect(dc, filled.left, filled.top, filled.right, filled.bottom);
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    DrawTextW(dc, text.c_str(), -1, &inner, format);
  }
  {
    SavedDcState saved(dc);
    IntersectClipRect(dc, filled.left, filled.top, filled.right, filled.bottom);
    SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
    DrawTextW(dc, text.c_str(), -1, &inner, format);
  }
  BitBlt(target, 0, 0, width, height, dc, 0, 0, SRCCOPY);
}

LRESULT CALLBACK PercentBarProcedure(HWND bar, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                     DWORD_PTR) {
  switch (message) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      if (wParam != 0) {
        PaintPercentBar(bar, reinterpret_cast<HDC>(wParam));
      } else {
        PaintScope paint(bar);
        PaintPercentBar(bar, paint.dc());
      }
      return 0;
    case WM_PRINTCLIENT:
      PaintPercentBar(bar, reinterpret_cast<HDC>(wParam));
      return 0;
    case WM_NCDESTROY:
      RemovePropW(bar, kMarqueeProperty);
      RemoveWindowSubclass(bar, PercentBarProcedure, id);
      break;
    default:
      break;
  }
  return DefSubclassProc(bar, message, wParam, lParam);
}

}  // namespace

void PercentBar::Create(HWND parent, int id, const Placement& at) {
  CreateChild(parent, PROGRESS_CLASSW, "", PBS_SMOOTH, 0, at, id, nullptr);
  SendMessageW(hwnd(), PBM_SETRANGE32, 0, 100);
  SendMessageW(hwnd(), PBM_SETPOS, 0, 0);
  SetWindowSubclass(hwnd(), PercentBarProcedure, 1, 0);
}

void PercentBar::SetPosition(int position) {
  RemovePropW(hwnd(), kMarqueeProperty);
  SendMessageW(hwnd(), PBM_SETPOS, static_cast<WPARAM>(position), 0);
  // A themed bar may not repaint for a position it animates towards; ours draws the number.
  InvalidateRect(hwnd(), nullptr, FALSE);
}

void PercentBar::MoveMarquee() {
  SetPropW(hwnd(), kMarqueeProperty, reinterpret_cast<HANDLE>(1));
  InvalidateRect(hwnd(), nullptr, FALSE);
}

// ---- Log box ---------------------------------------------------------------------------------

void LogBox::Create(HWND parent, int id, const Placement& at) {
  CreateChild(parent, WC_EDITW, "", ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL, WS_EX_CLIENTEDGE,
              at, id, nullptr);
  // The lines last as long as the process; lift the edit control's default 32 K limit.
  SendMessageW(hwnd(), EM_SETLIMITTEXT, 0, 0);
}

void LogBox::AppendLine(const std::string& line) {
  const int length = GetWindowTextLengthW(hwnd());
  const std::wstring wide = (length > 0 ? L"\r\n" : L"") + Widen(line);
  SendMessageW(hwnd(), EM_SETSEL, static_cast<WPARAM>(length), static_cast<LPARAM>(length));
  SendMessageW(hwnd(), EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(wide.c_str()));
  SendMessageW(hwnd(), EM_SCROLLCARET, 0, 0);
}

// ---- Tooltip ---------------------------------------------------------------------------------

void Tooltip::Create(HWND owner) {
  Adopt(CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                        CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr, Instance(),
                        nullptr));
}

void Tooltip::AddHint(HWND tool, const std::string& text) {
  std::wstring wide = Widen(text);
  TOOLINFOW info{};
  // The shorter structure is understood by every version of the common controls.
  info.cbSize = TTTOOLINFOW_V2_SIZE;
  info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  info.hwnd = GetParent(tool);
  info.uId = reinterpret_cast<UINT_PTR>(tool);
  info.lpszText = wide.data();
  SendMessageW(hwnd(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
  // Long hints break into lines instead of running off the screen.
  SendMessageW(hwnd(), TTM_SETMAXTIPWIDTH, 0, 600);
}

void Tooltip::SetHint(HWND tool, const std::string& text) {
  std::wstring wide = Widen(text);
  TOOLINFOW info{};
  info.cbSize = TTTOOLINFOW_V2_SIZE;
  info.hwnd = GetParent(tool);
  info.uId = reinterpret_cast<UINT_PTR>(tool);
  info.lpszText = wide.data();
  SendMessageW(hwnd(), TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&info));
}

}  // namespace winui
