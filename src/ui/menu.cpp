#include "ui/menu.h"

#include "ui/captions.h"

// Stand-ins until the menu is built: an empty menu whose one parameter is
// editable, single-field and changes nothing; the tables draw nothing.
void InitMenuKora(Works *works) { InitButtonCaptions(works); }

int ModifyParameter(Works *, int) { return 0; }

void MenuPrevious(Works *) {}

void MenuNext(Works *) {}

bool MenuItemReadOnly(Works *) { return false; }

bool MenuItemMultiField(Works *) { return false; }

void ModifytabAntenna(Works *, bool) {}

void DrawMenuStrip(Works *) {}

void DrawMemoryTable(Works *) {}

void DrawFilterTable(Works *) {}
