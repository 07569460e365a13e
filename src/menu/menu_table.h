#pragma once
// The menu's parameters: the table the strip shows (menuPar) and, per row,
// its value text and its edits.
#include <cstddef>
#include <cstdint>

struct Works;

constexpr int MENU_ROWS = 30;
constexpr int MENU_ITEMS = 10, MENU_NAME_SIZE = 20;
constexpr int MENU_VALUE_SIZE = 48;  // longest value text with its terminator

struct MenuItem {
  char name[MENU_NAME_SIZE];
  uint8_t readOnly;    // ENTER does not start editing; its caption is blank
  uint8_t multiField;  // several fields: "<" and ">" are shown
};

struct MenuEntry {
  uint32_t id;  // shown as "%d -" before the heading
  char heading[MENU_NAME_SIZE];
  MenuItem items[MENU_ITEMS];
  int32_t count;  // items used (always 1)
};

// Filled by InitMenuKora; read by the strip and the button bar.
extern MenuEntry menuPar[MENU_ROWS];

// Fills menuPar from the row table.
void FillMenuTable();

// The value text of row `index` (item 0) into `text` (`size` bytes).
void LoadParameterMenu(Works *works, char *text, size_t size, int index, int item);

// The address being edited on rows 18 to 21: its octets and edited octet.
struct LanView {
  uint8_t octets[4];
  int edited;
};
// False for a row that is no address.
bool LoadLanView(int index, LanView &view);

// The editing of row `index`; the return value is the key's repeat request.
int EditMenuRow(Works *works, int index, int action);
