#include "ui/button_bar.h"

#include "ui/error_tiles.h"
#include "ui/info_page.h"
#include "ui/status_area.h"

// The bar's faces and captions come with the key dispatch; the overlays are
// already the screen's.
void LoadButtons(Works *works, const TavoParamsRecord &params) {
  DrawParameters(works);
  DrawError(works);
  ViewStatusInfo(works, params);
  ViewStatusTX(works);
}
