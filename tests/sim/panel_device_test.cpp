// The simulated front panel: its controller's readings as the unit converts
// them, its side of the byte exchange, and the events it refuses.
#include "sim/panel/panel_device.h"

#include <gtest/gtest.h>

#include "core/works.h"
#include "tests/support/sandbox.h"
#include "ui/supply_voltage.h"

TEST(PanelController, SupplyReadingsComeBackAsTheirVoltsThroughTheUnitsDivider) {
  TestWorks works;
  PanelController c;
  int watts = 60;
  c.SetAmpPowerClass([&] { return watts; });
  auto ampVolts = [&] {
    works->input.panelReply[3] = c.Reply(3);
    works->link.ampConfig[1] = watts == 120 ? '1' : '0';
    return CalvTensVadcAmp(works.works);
  };
  EXPECT_NEAR(ampVolts(), 13.8, 0.05);
  watts = 120;  // another supply, measured through another divider
  EXPECT_NEAR(ampVolts(), 48.0, 0.15);
  c.SetSupply(3, 28.0);
  EXPECT_NEAR(ampVolts(), 28.0, 0.15);
  watts = 60;
  c.SetSupply(3, 13.8);
  EXPECT_EQ(c.Reply(3), 163);
  EXPECT_EQ(c.Reply(1), 141);  // 12 V
  EXPECT_EQ(c.Reply(2), 177);  // 15 V
  c.SetSupply(1, 40.0);        // beyond the converter's range
  EXPECT_EQ(c.Reply(1), 255);
}

TEST(PanelController, AnswersOnlyAfterAWholeCommandAndStopsAfterTwelveBits) {
  PanelController c;
  c.SetRawReply(2, 0x5C);
  for (int bit = 7; bit >= 0; bit--) {
    EXPECT_FALSE(c.Driving());
    c.ClockEdge(true, false);
    c.ClockEdge(false, (0xD2 >> bit) & 1);
  }
  c.DataDirection(false);
  int answer = 0;
  for (int i = 0; i < 12; i++) {
    ASSERT_TRUE(c.Driving()) << i;
    answer = answer << 1 | *c.Driving();
    c.ClockEdge(false, true);
    c.ClockEdge(true, true);
  }
  EXPECT_EQ(answer, 0xA5C);
  EXPECT_FALSE(c.Driving());
  c.DataDirection(true);
  EXPECT_EQ(c.FramingErrors(), 0);
  ASSERT_EQ(c.Commands().size(), 1u);
  EXPECT_EQ(c.Commands()[0].byte, 0xD2);
  // The unit turning round after five bits is a framing error.
  for (int i = 0; i < 5; i++) c.ClockEdge(false, true);
  c.DataDirection(false);
  EXPECT_EQ(c.FramingErrors(), 1);
}

TEST(PanelDevice, RefusesEventsOutsideItsKeysClassesAndBytes) {
  PanelDevice panel{SimContext{}};
  for (const char *text :
       {"panel press 0", "panel down 7", "panel bounce 6 0", "panel bounce 6", "panel supply 9 12",
        "panel supply amp", "panel reply 4 10", "panel reply 1 256", "panel version -1",
        "panel absent maybe", "panel shout"}) {
    std::vector<ScenarioEvent> events;
    std::string error;
    ASSERT_TRUE(ParseScenario(std::string("0 ") + text, events, error)) << error;
    EXPECT_FALSE(panel.Apply(events[0], error)) << text;
    EXPECT_NE(error.find(text + 6), std::string::npos) << error;  // names the event
  }
}
