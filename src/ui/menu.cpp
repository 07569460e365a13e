#include "ui/menu.h"

#include "core/works.h"
#include "menu/menu_table.h"
#include "ui/captions.h"

namespace {
int Index(Works *works) {
  int i = works->ui.menuIndex;
  return i >= 0 && i < MENU_ROWS ? i : 0;
}
const MenuItem &CurrentItem(Works *works) { return menuPar[Index(works)].items[0]; }
}  // namespace

// The error descriptions are filled at start-up already (InitErrDescr).
void InitMenuKora(Works *works) {
  FillMenuTable();
  works->ui.menuCount = MENU_ROWS;
  works->ui.menuItem = 0;
  InitButtonCaptions(works);
}

int ModifyParameter(Works *works, int action) { return EditMenuRow(works, Index(works), action); }

void MenuPrevious(Works *works) {
  int i = Index(works);
  works->ui.menuIndex = i == 0 ? MENU_ROWS - 1 : i - 1;
  works->ui.menuItem = 0;
}

void MenuNext(Works *works) {
  int i = Index(works);
  works->ui.menuIndex = i == MENU_ROWS - 1 ? 0 : i + 1;
  works->ui.menuItem = 0;
}

bool MenuItemReadOnly(Works *works) { return CurrentItem(works).readOnly; }

bool MenuItemMultiField(Works *works) { return CurrentItem(works).multiField; }
