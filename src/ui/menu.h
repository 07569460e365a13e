#pragma once
// The menu and the two tables edited with the same keys (memory table,
// filter table): what the key dispatch and the button bar ask of them.
//
// The key dispatch owns the screen states; these functions own the menu
// position, the values and the table cells. They run in the front-panel
// thread (the Draw* ones in the timer's pass, under the display lock) and
// must not take the display lock while holding the antenna, tune, error or
// filter locks.
struct Works;

// Actions of ModifyParameter.
enum MenuAction : int {
  MENU_ENTER = 0,           // confirm the edit (save, or act)
  MENU_MINUS = 1,           // the value one step down
  MENU_PLUS = 2,            // the value one step up
  MENU_PREVIOUS_FIELD = 3,  // "<": the previous field of a value with several
  MENU_NEXT_FIELD = 4,      // ">": the next field
};

// Fills the menu table, then the button captions (InitButtonCaptions); once
// at start-up, after the setup file has been read.
void InitMenuKora(Works *works);

// Edits the parameter at menuIndex. Non-zero back: the key repeats while it
// is held. ENTER on the filter-table row sets UI_FILTER_TABLE in uiFlags
// (and puts up its background) when it opens the table, and clears it when
// it closes it; the key dispatch then goes to the filter-table state.
int ModifyParameter(Works *works, int action);
// UP and DOWN while browsing: the previous and the next parameter (wrapping
// 0 <-> 29), menuItem back to 0.
void MenuPrevious(Works *works);
void MenuNext(Works *works);
// The parameter at menuIndex cannot be edited (ENTER does nothing, its
// caption is blank).
bool MenuItemReadOnly(Works *works);
// Its value has several fields: "<" and ">" are shown while editing.
bool MenuItemMultiField(Works *works);

// Edits the memory-table cell at (tableRow, tableColumn) one step down
// (`minus`) or up. The dispatch calls it only with tableRow inside the loaded
// rows and tableColumn 0..4.
void ModifytabAntenna(Works *works, bool minus);

// The screens of DrawParameters over the button bar: the three-row strip of
// the menu (states 1 and 2), the memory table (UI_MEMORY_TABLE shown) and
// the filter table (UI_FILTER_TABLE shown).
void DrawMenuStrip(Works *works);
void DrawMemoryTable(Works *works);
void DrawFilterTable(Works *works);
