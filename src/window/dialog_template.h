#pragma once

#include <map>
#include <string_view>
#include <vector>

// Windows and menus described as data, in dialog units, the way the
// resources lay them out; window layers build their widgets from these.

// Dialog units to pixels for the templates' 8-point font (base units 6 x 13
// pixels at 96 dpi), rounded to the nearest pixel as the desktop does.
constexpr int DialogUnitsToPixelsX(int units) {
  return (units * 6 + 2) / 4;
}
constexpr int DialogUnitsToPixelsY(int units) {
  return (units * 13 + 4) / 8;
}

enum class ControlClass { kButton, kStatic, kEdit, kScrollBar };

// Styles. Window styles are shared by every class; the others are read
// only for the class they belong to.
constexpr unsigned WS_TABSTOP = 0x00010000;
constexpr unsigned WS_GROUP = 0x00020000;
constexpr unsigned WS_MINIMIZEBOX = 0x00020000;
constexpr unsigned WS_SYSMENU = 0x00080000;
constexpr unsigned WS_BORDER = 0x00800000;
constexpr unsigned WS_CAPTION = 0x00C00000;
constexpr unsigned WS_POPUP = 0x80000000;
constexpr unsigned DS_SETFONT = 0x40;
constexpr unsigned DS_MODALFRAME = 0x80;
constexpr unsigned DS_CENTER = 0x0800;

constexpr unsigned BS_PUSHBUTTON = 0x0;
constexpr unsigned BS_DEFPUSHBUTTON = 0x1;
constexpr unsigned BS_CHECKBOX = 0x2;
constexpr unsigned BS_AUTOCHECKBOX = 0x3;
constexpr unsigned BS_RADIOBUTTON = 0x4;
constexpr unsigned BS_GROUPBOX = 0x7;
constexpr unsigned BS_AUTORADIOBUTTON = 0x9;
constexpr unsigned BS_TYPEMASK = 0xF;
constexpr unsigned BS_MULTILINE = 0x2000;

constexpr unsigned SS_LEFT = 0x0;
constexpr unsigned SS_CENTER = 0x1;
constexpr unsigned SS_BLACKFRAME = 0x7;
constexpr unsigned SS_BITMAP = 0xE;
constexpr unsigned SS_TYPEMASK = 0x1F;

constexpr unsigned ES_AUTOHSCROLL = 0x80;
constexpr unsigned ES_NUMBER = 0x2000;

constexpr unsigned SBS_HORZ = 0x0;
constexpr unsigned SBS_VERT = 0x1;

// What a control does when its window grows, so that it keeps its distance
// to the edges it is near: by default it stays where it is.
constexpr unsigned kMoveRight = 0x1;  // follows the right edge
constexpr unsigned kMoveDown = 0x2;   // follows the bottom edge
constexpr unsigned kGrowWide = 0x4;   // grows with the width
constexpr unsigned kGrowTall = 0x8;   // grows with the height

struct ControlTemplate {
  int id;  // -1: a control the program never addresses
  ControlClass controlClass;
  const char* text;  // "" for none
  int x, y, width, height;
  unsigned style;
  int imageId = 0;  // bitmap resource of an SS_BITMAP static
  unsigned resize = 0;  // kMoveRight, kMoveDown, kGrowWide, kGrowTall
};

struct DialogTemplate {
  int id;
  const char* caption;
  int width, height;
  unsigned style;
  int menuId;  // 0: none
  std::vector<ControlTemplate> controls;
};

struct MenuItemTemplate {
  const char* text;  // nullptr: a separator
  int commandId;     // or, for a submenu the program fills, its id
  const char* shortcut = nullptr;  // as "Ctrl+P"
  bool submenu = false;
};

struct PopupMenuTemplate {
  const char* text;
  std::vector<MenuItemTemplate> items;
};

struct MenuTemplate {
  int id;
  std::vector<PopupMenuTemplate> popups;
};

// What a window layer builds the program's windows from, handed to it when
// it is made: the templates, and the pictures (icons, bitmaps) as the bytes
// of their files, by resource id.
struct WindowResources {
  std::vector<const DialogTemplate*> dialogs;
  std::vector<const MenuTemplate*> menus;
  std::map<int, std::string_view> pictures;

  // nullptr (or empty) for an id that has none.
  const DialogTemplate* FindDialog(int id) const;
  const MenuTemplate* FindMenu(int id) const;
  std::string_view Picture(int id) const;
};
