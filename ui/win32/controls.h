#pragma once
// One small type per kind of control; each owns its HWND. Notifications arrive at the form
// that holds the control, which asks the control (Owns) whether they are its own.

#include <windows.h>

#include <string>
#include <vector>

#include "ui/win32/handles.h"

namespace winui {

struct Placement {
  int left;
  int top;
  int width;
  int height;
};
// A placement given in design pixels, at a window's DPI.
Placement Scaled(const Placement& at, int dpi);

class Control {
 public:
  HWND hwnd() const { return window_.get(); }
  bool Owns(HWND window) const { return window != nullptr && window == window_.get(); }
  void SetText(const std::string& text);
  void Show(bool visible);
  void Enable(bool enabled);
  void Move(const Placement& at);  // in the parent's client coordinates
  HFONT Font() const;

 protected:
  void Adopt(HWND window) { window_.reset(window); }
  void CreateChild(HWND parent, const wchar_t* className, const std::string& text, DWORD style,
                   DWORD exStyle, const Placement& at, int id, HFONT font);

 private:
  UniqueWindow window_;
};

class Button : public Control {
 public:
  // kind: BS_PUSHBUTTON or BS_DEFPUSHBUTTON
  void Create(HWND parent, int id, const std::string& text, const Placement& at, HFONT font = nullptr,
              DWORD kind = BS_PUSHBUTTON);
};

class CheckBox : public Control {
 public:
  void Create(HWND parent, int id, const std::string& text, const Placement& at, bool checked);
  bool Checked() const;
  void SetChecked(bool checked);
};

class Label : public Control {
 public:
  // align: SS_LEFT, SS_RIGHT or SS_CENTER
  void Create(HWND parent, int id, const std::string& text, const Placement& at, DWORD align = SS_LEFT,
              HFONT font = nullptr);
};

// A label whose text changes many times a second: drawn off screen and put on screen in one
// piece, never cleared first.
class ValueLabel : public Control {
 public:
  void Create(HWND parent, int id, const std::string& text, const Placement& at, HFONT font);
};

// Underlined text that reports clicks (STN_CLICKED); the form gives it the hand cursor.
class LinkLabel : public Control {
 public:
  void Create(HWND parent, int id, const std::string& text, const Placement& at);
};

class ListView : public Control {
 public:
  void Create(HWND parent, int id, const Placement& at);
  void AddColumn(const std::string& caption, int width);
  // The last column gives up what the columns need beyond the client area, so the list shows
  // no horizontal scroll bar.
  // Narrows this column so that it and the columns before it fit the client area.
  void FitColumn(int column);
  // Gives the last column the room the others leave in the client area, but never less than
  // minWidth: a wider list shows more of it.
  void FillLastColumn(int minWidth);
  void ClearRows();
  void AddRow(const std::string& caption, const std::vector<std::string>& subItems);
  int RowCount() const;
  bool RowChecked(int row) const;
  void SetRowChecked(int row, bool checked);
};

class ComboBox : public Control {
 public:
  // The height includes the dropped-down list.
  void Create(HWND parent, int id, const Placement& at);
  void AddItem(const std::string& text);  // the dropped-down list widens to show it whole
  // The width at which the closed box shows its widest entry whole, beside its arrow button.
  int WidthForWidestItem() const;
  int SelectedIndex() const;
  void Select(int index);
};

class TabControl : public Control {
 public:
  void Create(HWND parent, int id, const Placement& at, DWORD extraStyle);
  void AddTab(const std::string& caption);
  int ActiveIndex() const;
  // The area the pages cover, in the parent's client coordinates.
  Placement PageArea() const;
};

class StatusBar : public Control {
 public:
  void Create(HWND parent, int id);
  // Widths of the panels from the left, in pixels.
  void SetPanels(const std::vector<int>& widths);
  void SetPanelText(int panel, const std::string& text, bool alignRight);
  // The width a panel needs to show this text whole, right-aligned as SetPanelText puts it.
  int WidthFor(const std::string& text) const;
};

// A progress bar 0 to 100 that draws its position as a percentage in its middle.
class PercentBar : public Control {
 public:
  void Create(HWND parent, int id, const Placement& at);
  void SetPosition(int position);  // also ends a marquee
  // Draws the marquee one step on (by the clock): the caller calls it at every look.
  void MoveMarquee();
};

// The log text box: read-only, several lines, scrolled to the newest.
class LogBox : public Control {
 public:
  void Create(HWND parent, int id, const Placement& at);
  void AppendLine(const std::string& line);
};

// Hints of a form's controls.
class Tooltip : public Control {
 public:
  void Create(HWND owner);
  void AddHint(HWND tool, const std::string& text);
  void SetHint(HWND tool, const std::string& text);
};

}  // namespace winui
