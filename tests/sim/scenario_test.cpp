#include "sim/world/scenario.h"

#include <gtest/gtest.h>

#include "sim/world/json.h"

TEST(Scenario, ParsesEventsSortedByTimeWithCommentsAndReportsBadLines) {
  std::vector<ScenarioEvent> events;
  std::string error;
  ASSERT_TRUE(ParseScenario("# start\n2.5 radio freq 7100000  # 40 m\n\n1 antenna 1 load 25 30\n",
                            events, error));
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].subject, "antenna");
  EXPECT_EQ(events[0].verb, "1");
  EXPECT_EQ(events[0].args, (std::vector<std::string>{"load", "25", "30"}));
  EXPECT_EQ(events[1].text, "2.5 radio freq 7100000");
  double d;
  EXPECT_TRUE(ArgDouble(events[1], 0, d, error));
  EXPECT_EQ(d, 7100000);
  long l;
  EXPECT_FALSE(ArgInt(events[0], 0, l, error));
  EXPECT_TRUE(ArgInt(events[0], 1, l, error));
  EXPECT_EQ(l, 25);

  events.clear();
  EXPECT_FALSE(ParseScenario("x radio off\n", events, error));
  EXPECT_EQ(error, "line 1: 'x' is not a time in seconds");
  EXPECT_FALSE(ParseScenario("1 radio\n", events, error));
  EXPECT_NE(error.find("line 1"), std::string::npos);
}

TEST(Scenario, RelativeLinesStayAfterTheLineTheyFollow) {
  std::vector<ScenarioEvent> events;
  std::string error;
  ASSERT_TRUE(ParseScenario("5 radio off\n+0.5 radio on\n+1 sim stop\n2 radio freq 7100000\n",
                            events, error));
  ASSERT_EQ(events.size(), 4u);
  EXPECT_EQ(events[0].verb, "freq");
  EXPECT_EQ(events[1].verb, "off");
  EXPECT_EQ(events[2].verb, "on");
  EXPECT_TRUE(events[2].relative);
  EXPECT_EQ(events[2].t, 0.5);
  EXPECT_EQ(events[3].subject, "sim");
  EXPECT_FALSE(ParseScenario("+x radio off\n", events, error));
}

TEST(Json, WritesNestedValuesWithEscapes) {
  JsonWriter json;
  json.BeginObject().Field("a", 1).Key("b").BeginArray().String("x\"y\n").Number(0.5).EndArray();
  json.Field("c", true).EndObject();
  EXPECT_EQ(json.Text(), "{\"a\":1,\"b\":[\"x\\\"y\\n\",0.5],\"c\":true}");
}

TEST(Scenario, AnEventLineWithoutATimeIsOneEventAsWritten) {
  ScenarioEvent ev;
  std::string error;
  ASSERT_TRUE(ParseEventLine("trx freq 7100000  ", ev, error)) << error;
  EXPECT_EQ(ev.subject, "trx");
  EXPECT_EQ(ev.args, std::vector<std::string>{"7100000"});
  EXPECT_EQ(ev.text, "0 trx freq 7100000");  // as the report lists it
  EXPECT_FALSE(ParseEventLine("trx", ev, error));
  EXPECT_FALSE(ParseEventLine("# nothing", ev, error));
  EXPECT_FALSE(ParseEventLine("radio on\nradio off", ev, error));
}
