// kestra-sim's page apart from HTTP: who may ask and what, the keys the
// pages hold, the key captions read from the screen's texts, and the screen
// stream that encodes only a changed screen.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <thread>

#include "codec/jpeg/jpeg_decoder.h"
#include "core/log.h"
#include "display/screen_observer.h"
#include "sim/web/page_keys.h"
#include "sim/web/page_request.h"
#include "sim/web/page_state.h"
#include "sim/web/screen_stream.h"
#include "sim/world/options.h"
#include "tests/display/display_support.h"

namespace {
ScreenText Text(int x, int y, const std::string &text) { return {0, x, y, 250, 150, 0, text}; }

bool Admitted(const std::string &address, const std::string &host, const std::string &origin) {
  std::string why;
  return AdmitRequester({address, host, origin}, 8800, why);
}

bool PageEvent(const std::string &body) {
  ScenarioEvent ev;
  std::string why;
  return ParsePageEvent(body, ev, why);
}

bool KeyMessage(const std::string &body, int &key, bool &down) {
  std::string why;
  return ParseKeyMessage(body, key, down, why);
}
}  // namespace

TEST(PageRequests, OnlyThisMachineNamingThisServerFromThisPage) {
  EXPECT_TRUE(Admitted("127.0.0.1", "127.0.0.1:8800", ""));
  EXPECT_TRUE(Admitted("127.0.0.1", "localhost:8800", "http://localhost:8800"));
  EXPECT_TRUE(Admitted("127.0.0.1", "127.0.0.1:8800", "http://127.0.0.1:8800"));
  EXPECT_FALSE(Admitted("127.0.0.2", "127.0.0.1:8800", "")) << "another loopback address";
  EXPECT_FALSE(Admitted("192.168.1.20", "127.0.0.1:8800", ""));
  EXPECT_FALSE(Admitted("127.0.0.1", "127.0.0.1:8801", "")) << "another port";
  EXPECT_FALSE(Admitted("127.0.0.1", "127.0.0.1", ""));
  EXPECT_FALSE(Admitted("127.0.0.1", "kestra.example:8800", ""))
      << "a name resolved to this machine";
  EXPECT_FALSE(Admitted("127.0.0.1", "127.0.0.1:8800", "http://kestra.example"));
  EXPECT_FALSE(Admitted("127.0.0.1", "127.0.0.1:8800", "http://127.0.0.1:8800.kestra.example"));
  EXPECT_FALSE(Admitted("127.0.0.1", "127.0.0.1:8800", "https://127.0.0.1:8800"));
  EXPECT_FALSE(Admitted("127.0.0.1", "127.0.0.1:8800", "null"));
}

TEST(PageRequests, KeyMessagesWorldEventsAndFrameNumbers) {
  int key = 0;
  bool down = false;
  EXPECT_TRUE(KeyMessage("1 down", key, down));
  EXPECT_EQ(key, 1);
  EXPECT_TRUE(down);
  EXPECT_TRUE(KeyMessage("6 up", key, down));
  EXPECT_EQ(key, 6);
  EXPECT_FALSE(down);
  for (const char *bad : {"0 down", "7 up", "1 Down", "1 down ", "12 down", "1", "", "1 up\n"})
    EXPECT_FALSE(KeyMessage(bad, key, down)) << bad;

  ScenarioEvent ev;
  std::string why;
  ASSERT_TRUE(ParsePageEvent("antenna 2 load 100 50 scale", ev, why)) << why;
  EXPECT_EQ(ev.subject, "antenna");
  EXPECT_EQ(ev.text, "0 antenna 2 load 100 50 scale");
  for (const char *good : {"trx freq 7100000", "radio drive 5", "ft817 mode 1", "amp restart"})
    EXPECT_TRUE(PageEvent(good)) << good;
  for (const char *bad :
       {"screen snapshot /tmp/x.png", "sim stop", "amp await ST;", "panel press 1", "unit tune",
        "keyboard press F12", "trx freq 1 # c", "trx freq 1\nsim stop", "trx", ""})
    EXPECT_FALSE(PageEvent(bad)) << bad;
  EXPECT_FALSE(PageEvent("trx cat " + std::string(PAGE_MAX_BODY, 'A')));

  uint64_t number = 7;
  EXPECT_TRUE(ParseFrameNumber("", number));
  EXPECT_EQ(number, 0u);
  EXPECT_TRUE(ParseFrameNumber("42", number));
  EXPECT_EQ(number, 42u);
  for (const char *bad : {"-1", "1e3", " 1", "99999999999999999999"})
    EXPECT_FALSE(ParseFrameNumber(bad, number)) << bad;
}

TEST(PageRequests, TheUnitsPageIsServedInInteractiveRunsAndWhenAsked) {
  auto parse = [](std::vector<const char *> args, SimOptions &options, std::string &error) {
    args.insert(args.begin(), "kestra-sim");
    return ParseSimOptions(int(args.size()), const_cast<char **>(args.data()), options, error);
  };
  SimOptions options;
  std::string error;
  ASSERT_TRUE(parse({}, options, error));
  EXPECT_TRUE(ServesPage(options));
  options = {};
  ASSERT_TRUE(parse({"--headless"}, options, error));
  EXPECT_FALSE(ServesPage(options));
  options = {};
  ASSERT_TRUE(parse({"--headless", "--http", "0"}, options, error));
  EXPECT_EQ(options.httpPort, 0);
  EXPECT_TRUE(ServesPage(options));
  options = {};
  ASSERT_TRUE(parse({"--only", "amplifier", "--http", "9000"}, options, error));
  EXPECT_FALSE(ServesPage(options)) << "no unit runs";
  for (const char *bad : {"70000", "-1", "80a", ""})
    EXPECT_FALSE(parse({"--http", bad}, options, error)) << bad;
}

TEST(PageKeys, APageLetsGoOfItsKeysWhenItGoesQuietButNotOfThoseAnotherHolds) {
  PageKeys keys;
  EXPECT_EQ(keys.Press("a", 3, true, 0), "panel down 3");
  EXPECT_EQ(keys.Press("b", 3, true, 0), "panel down 3");
  EXPECT_EQ(keys.Held(), "001000");
  EXPECT_EQ(keys.Press("a", 3, false, 1), "") << "b still holds it";
  EXPECT_EQ(keys.Press("b", 3, false, 1), "panel up 3");

  EXPECT_EQ(keys.Press("a", 2, true, 10), "panel down 2");
  EXPECT_EQ(keys.Press("b", 2, true, 10), "panel down 2");
  EXPECT_EQ(keys.Press("b", 5, true, 10), "panel down 5");
  keys.Seen("a", 14);
  EXPECT_TRUE(keys.Expire(14).empty());
  EXPECT_EQ(keys.Expire(10 + PAGE_QUIET_SECONDS + 1), std::vector<std::string>{"panel up 5"})
      << "b goes with its key 5; a still holds key 2";
  EXPECT_EQ(keys.Held(), "010000");
  EXPECT_EQ(keys.Expire(14 + PAGE_QUIET_SECONDS + 1), std::vector<std::string>{"panel up 2"});
  EXPECT_EQ(keys.Held(), "000000");
}

TEST(PageKeys, TooManyPagesPushOutTheQuietestWithItsKeys) {
  PageKeys keys;
  EXPECT_EQ(keys.Press("first", 1, true, 0), "panel down 1");
  for (size_t i = 1; i < PAGE_MAX_PAGES; i++) keys.Seen("p" + std::to_string(i), 1);
  EXPECT_TRUE(keys.Expire(2).empty());
  keys.Seen("newest", 2);
  EXPECT_EQ(keys.Expire(2), std::vector<std::string>{"panel up 1"});
  EXPECT_FALSE(ValidPageName(""));
  EXPECT_FALSE(ValidPageName(std::string(33, 'a')));
  EXPECT_FALSE(ValidPageName("a b"));
  EXPECT_FALSE(ValidPageName("../x"));
  EXPECT_TRUE(ValidPageName("k3stra"));
}

TEST(PageCaptions, EachKeyTakesTheTextsOnItsFaceTopLineFirst) {
  std::vector<ScreenText> texts = {Text(10, 298, "KRVTAVO"),  // the status area, above the bar
                                   Text(30, 472, "BANK1"),   Text(20, 445, "  MEM"),
                                   Text(409, 445, "TUNE"),   Text(542, 445, "   "),
                                   Text(675, 445, "VIEW"),   Text(695, 472, "    1"),
                                   Text(700, 472, "x"),      Text(132, 445, "edge")};
  auto captions = KeyCaptions(texts);
  EXPECT_EQ(captions[0], (std::vector<std::string>{"MEM edge", "BANK1"}));
  EXPECT_TRUE(captions[1].empty());
  EXPECT_TRUE(captions[2].empty());
  EXPECT_EQ(captions[3], std::vector<std::string>{"TUNE"});
  EXPECT_TRUE(captions[4].empty()) << "blanks only";
  EXPECT_EQ(captions[5], (std::vector<std::string>{"VIEW", "1 x"}));
}

namespace {
struct ScreenStreamTest : MemoryDisplayTest {
  void SetUp() override {
    MemoryDisplayTest::SetUp();
    RecordScreenTexts();
    stream.Attach(works.works);
  }
  void TearDown() override {
    stream.Stop();
    StopRecordingScreenTexts();
    MemoryDisplayTest::TearDown();
  }
  // A new screen shown by the unit: a red block and one caption.
  void ShowRedBlock(int x0, const char *caption) {
    memset(fb->work, 0, fb->memSize);
    screenObserver.screenStarted();
    for (int y = 100; y < 200; y++)
      for (int x = x0; x < x0 + 100; x++)
        memcpy(fb->work + y * fb->lineSize + x * 4, "\x00\x00\xff\x00", 4);
    screenObserver.textDrawn(0, 20, 445, caption, 250, 150, 0);
    fbRealize(fb.get());
  }

  LogCapture log;
  ScreenStream stream;
};
}  // namespace

TEST_F(ScreenStreamTest, OnlyAChangedScreenIsEncodedAndHandedOutWithItsTexts) {
  ShowRedBlock(100, "MEM");
  EXPECT_TRUE(stream.TakeScreen());
  EXPECT_FALSE(stream.TakeScreen()) << "the same screen again";
  ScreenFrame frame;
  EXPECT_FALSE(stream.NextFrame(1, 0.01, frame)) << "nothing newer than frame 1";
  ASSERT_TRUE(stream.NextFrame(0, 0, frame));
  EXPECT_EQ(frame.number, 1u);
  ASSERT_EQ(frame.texts.size(), 1u);
  EXPECT_EQ(frame.texts[0].text, "MEM");

  int width = 0, height = 0, components = 0;
  uint8_t *rgb = jpegdec::decodeFromMemory(frame.jpeg->data(), int(frame.jpeg->size()), &width,
                                           &height, &components, 3);
  ASSERT_TRUE(rgb);
  EXPECT_EQ(width, 800);
  EXPECT_EQ(height, 480);
  const uint8_t *inside = rgb + (150 * 800 + 150) * 3;
  EXPECT_GT(inside[0], 230) << "red stays red";
  EXPECT_LT(inside[2], 25);
  EXPECT_LT(rgb[(150 * 800 + 300) * 3], 25) << "black stays black";
  free(rgb);

  StreamCounters counters = stream.Counters();
  EXPECT_EQ(counters.taken, 2u);
  EXPECT_EQ(counters.encoded, 1u);
  stream.Attach(nullptr);
  EXPECT_FALSE(stream.TakeScreen()) << "no unit";
}

TEST_F(ScreenStreamTest, AWaitingPageGetsTheNextShownScreenAndAStopWakesIt) {
  ShowRedBlock(100, "MEM");
  stream.TakeScreen();
  stream.Start();
  ScreenFrame frame;
  bool got = false;
  std::thread page([&] { got = stream.NextFrame(1, 30, frame); });
  ShowRedBlock(300, "BACK");
  page.join();
  ASSERT_TRUE(got);
  EXPECT_EQ(frame.number, 2u);
  EXPECT_EQ(frame.texts[0].text, "BACK");

  std::thread waiting([&] { got = stream.NextFrame(2, 30, frame); });
  stream.Stop();
  waiting.join();
  EXPECT_FALSE(got);
}
