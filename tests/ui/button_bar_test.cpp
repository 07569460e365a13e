// The button bar as drawn: faces, frame, long-press marks and the captions
// of the screen state with their exceptions.
#include "ui/button_bar.h"

#include <gtest/gtest.h>

#include "amplifier/errors.h"
#include "core/log.h"
#include "core/works.h"
#include "tests/ui/screen_support.h"
#include "transceiver/tavo_params.h"
#include "ui/captions.h"

namespace {
constexpr ScreenTest::Rgb FACE{40, 40, 40}, FRAME{120, 120, 120}, MARK{250, 150, 0};

struct ButtonBar : ScreenTest {
  LogCapture log;
  void SetUp() override {
    ScreenTest::SetUp();
    works->errors.errMask = 0;
    works->ui.mainWindow = 1;
    InitButtonCaptions(works.works);
  }
  std::vector<ScreenText> Bar(int state) {
    works->ui.uiState = state;
    TavoParamsRecord params{};
    return Shown([&] { LoadButtons(works.works, params); });
  }
};
}  // namespace

TEST_F(ButtonBar, FacesFrameAndMarksOfTheMainScreen) {
  auto texts = Bar(0);
  for (int x : {0, 65, 129, 133, 798}) EXPECT_EQ(Pixel(x, 450), FACE) << x;
  for (int x : {130, 263, 396, 529, 662, 799}) {
    EXPECT_EQ(Pixel(x, 420), FRAME) << x;
    EXPECT_EQ(Pixel(x, 479), FRAME) << x;
  }
  EXPECT_EQ(Pixel(65, 420), FRAME);  // the top line over a face
  EXPECT_EQ(Pixel(131, 450), (Rgb{0, 0, 0}));
  for (int x : {2, 127, 667, 796}) EXPECT_EQ(Pixel(x, 478), MARK) << x;
  EXPECT_EQ(Pixel(1, 479), FACE);
  EXPECT_EQ(Pixel(128, 479), FACE);
  EXPECT_EQ(Pixel(60, 477), FACE);

  EXPECT_EQ(TextAt(texts, 20, 445), "  MEM");
  EXPECT_EQ(TextAt(texts, 30, 472), "BANK1");
  EXPECT_EQ(TextAt(texts, 153, 472), "  0dB");
  EXPECT_EQ(TextAt(texts, 286, 472), "     1");
  EXPECT_EQ(TextAt(texts, 675, 445), "   VIEW");
  EXPECT_EQ(TextAt(texts, 695, 472), "    1");
  const ScreenText *line2 = Find(texts, "BANK1");
  ASSERT_NE(line2, nullptr);
  EXPECT_EQ(line2->slot, 1);
  EXPECT_EQ(Find(texts, "  MEM")->slot, 0);

  // Only key 1 has a second function on the manual-tune screen.
  Bar(4);
  EXPECT_EQ(Pixel(60, 478), MARK);
  EXPECT_EQ(Pixel(700, 478), FACE);
}

TEST_F(ButtonBar, CaptionExceptionsForSingleFieldValuesAndPendingErrors) {
  // A single-field value: no "<" and ">".
  auto texts = Bar(2);
  EXPECT_EQ(TextAt(texts, 143, 445), "");
  EXPECT_EQ(TextAt(texts, 276, 445), "");
  EXPECT_EQ(TextAt(texts, 409, 445), "      -");

  // An error, not a warning: VIEW and MANUAL say what they will do.
  AddErrore(works.works, ERR_TEMP1_HIGH);
  EXPECT_EQ(TextAt(Bar(0), 675, 445), "   VIEW");
  AddErrore(works.works, ERR_HI_SWR);
  for (int state : {0, 3}) {
    texts = Bar(state);
    EXPECT_EQ(TextAt(texts, 690, 445), "RESET") << state;
    EXPECT_EQ(TextAt(texts, 695, 472), " Error ") << state;
  }
  EXPECT_EQ(TextAt(Bar(6), 675, 445), "  ENTER");
}
