// kestra-sim's page server under what no browser sends: requests from
// another loopback address, naming another host or coming from another
// site; events a page may not apply; malformed, oversized and cut-off
// requests; a page that goes away while it waits for a frame or holds a key.
// The unit runs on through all of it and the page serves it still.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <regex>

#include "codec/jpeg/jpeg_decoder.h"
#include "tests/support/http_client.h"
#include "tests/support/sim_process.h"
#include "tests/support/wait.h"

namespace {
constexpr double WAIT = 60;  // a generous bound for what the unit brings about

class PageServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = FreshSimRoot("page");
    ASSERT_TRUE(sim_.Start(KESTRA_SIM_BINARY, {"--root", root_, "--headless", "--quick-start",
                                               "--http", "0", "--report", root_ + "/report.json"}));
    ASSERT_TRUE(sim_.WaitForOutput("the unit's page: http://127.0.0.1:", WAIT)) << sim_.Output();
    std::smatch m;
    std::string output = sim_.Output();
    ASSERT_TRUE(std::regex_search(output, m, std::regex("http://127\\.0\\.0\\.1:([0-9]+)/")));
    port_ = std::stoi(m[1]);
    ASSERT_TRUE(WaitUntil([&] { return Polls() > 0; }, WAIT, 100)) << sim_.Output();
  }
  void TearDown() override { std::filesystem::remove_all(root_); }

  HttpReply Ask(const std::string &method, const std::string &target, const std::string &body = "",
                const std::string &page = "watcher", const std::string &headers = "") {
    return HttpExchange(port_, PageRequest(port_, method, target, page, body, headers));
  }
  std::string State() { return Ask("GET", "/state").body; }
  // The unit's status polls so far, as the page reads them; -1 without an answer.
  long Polls() {
    std::smatch m;
    std::string state = State();
    return std::regex_search(state, m, std::regex("\"polls\":([0-9]+)")) ? std::stol(m[1]) : -1;
  }
  std::string Field(const std::string &name) {
    std::smatch m;
    std::string state = State();
    return std::regex_search(state, m, std::regex("\"" + name + "\":\"([^\"]*)\""))
               ? std::string(m[1])
               : "";
  }

  std::string root_;
  SimProcess sim_;
  int port_ = 0;
};

// Whatever came back refuses the request: no answer at all, or a 4xx/5xx.
void ExpectRefused(const HttpReply &reply, const std::string &what) {
  EXPECT_TRUE(reply.status == 0 || reply.status >= 400)
      << what << ": " << reply.status << " " << reply.body;
}
}  // namespace

TEST_F(PageServerTest, ServesOnlyThisMachineAndNeitherBadRequestsNorClosedPagesDisturbTheUnit) {
  // Only 127.0.0.1, and only naming this server, and never for another site.
  EXPECT_EQ(ConnectError("127.0.0.2", port_), ECONNREFUSED);
  EXPECT_EQ(HttpExchange(port_, PageRequest(port_, "GET", "/", ""), 30, "127.0.0.2").status, 403);
  EXPECT_EQ(Ask("GET", "/").status, 200);
  EXPECT_EQ(
      HttpExchange(port_, "GET / HTTP/1.1\r\nHost: kestra.example:80\r\nConnection: close\r\n\r\n")
          .status,
      403);
  EXPECT_EQ(
      Ask("POST", "/event", "trx freq 3500000", "w", "Origin: http://kestra.example\r\n").status,
      403);
  EXPECT_EQ(Ask("GET", "/state", "", "").status, 400) << "no page name";

  // Events a page may not apply: files, the run, waits, the unit's own keys.
  for (const char *event :
       {"screen snapshot /tmp/kestra-page-test.png", "sim stop", "amp await ST;", "unit tune",
        "keyboard press F12", "panel down 2", "trx freq 7100000\nsim stop"})
    EXPECT_EQ(Ask("POST", "/event", event).status, 400) << event;
  EXPECT_EQ(Ask("POST", "/event", "trx freq many").status, 400);

  // Malformed, oversized and cut-off requests.
  ExpectRefused(HttpExchange(port_, std::string("\x16\x03\x01\x02\x00\x01\xff\r\n\r\n", 11)),
                "binary");
  ExpectRefused(HttpExchange(port_, "GET /" + std::string(20000, 'a') + " HTTP/1.1\r\n\r\n"),
                "long line");
  std::string headers;
  for (int i = 0; i < 200; i++)
    headers += "X-Filler-" + std::to_string(i) + ": " + std::string(1000, 'x') + "\r\n";
  EXPECT_NE(Ask("GET", "/state", "", "watcher", headers).status, 0) << "many headers: answered";
  ExpectRefused(
      HttpExchange(port_, "POST /event HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port_) +
                              "\r\nX-Kestra-Page: w\r\nContent-Length: 99999999\r\n\r\ntrx"),
      "oversized body");
  ExpectRefused(Ask("POST", "/event", std::string(300, 'r')), "long event");
  ExpectRefused(Ask("GET", "/frame?after=-1"), "frame number");
  ExpectRefused(Ask("GET", "/../../etc/passwd"), "path");
  for (const char *body : {"7 down", "1 sideways", "1 down\n2 down", ""})
    ExpectRefused(Ask("POST", "/key", body), std::string("key message '") + body + "'");
  ExpectRefused(HttpExchange(port_, "GET /state HTTP/1.1\r\nHost: 127.0.", 2), "cut off");

  // A page that goes while it waits for a frame, and one that goes holding a key.
  std::string shown = Ask("GET", "/frame?after=0").headers["x-frame"];
  HttpExchange(port_, PageRequest(port_, "GET", "/frame?after=" + shown, "gone"), 0.05);
  EXPECT_EQ(Ask("POST", "/key", "3 down", "gone").status, 200);
  EXPECT_TRUE(WaitUntil([&] { return Field("levels") == "110111"; }, WAIT, 100)) << State();
  EXPECT_TRUE(WaitUntil([&] { return Field("levels") == "111111" && Field("held") == "000000"; },
                        WAIT, 200))
      << "a quiet page lets go of its key: " << State();

  // The unit ran on: it still polls the amplifier, takes a page's event, and
  // its screen comes as a JPEG of its own size.
  long polls = Polls();
  EXPECT_EQ(Ask("POST", "/event", "trx freq 7100000").status, 200);
  EXPECT_TRUE(
      WaitUntil([&] { return State().find("FA00007100000;") != std::string::npos; }, WAIT, 100));
  EXPECT_TRUE(WaitUntil([&] { return Polls() > polls + 10; }, WAIT, 100));
  HttpReply frame = Ask("GET", "/frame?after=0");
  ASSERT_EQ(frame.status, 200);
  EXPECT_EQ(frame.headers["content-type"], "image/jpeg");
  EXPECT_GE(std::stol(frame.headers["x-frame"]), 1);
  int width = 0, height = 0, components = 0;
  uint8_t *pixels = jpegdec::decodeFromMemory(frame.body.data(), int(frame.body.size()), &width,
                                              &height, &components, 3);
  EXPECT_TRUE(pixels != nullptr);
  free(pixels);
  EXPECT_EQ(width, 800);
  EXPECT_EQ(height, 480);

  ASSERT_EQ(sim_.Stop(WAIT), 0) << sim_.Output();
  std::string report = ReadTextFile(root_ + "/report.json");
  EXPECT_EQ(report.find("\"event\":\"0 screen snapshot"), std::string::npos)
      << "a refused event was applied";
  EXPECT_EQ(report.find("\"event\":\"0 sim stop\""), std::string::npos);
  EXPECT_NE(report.find("\"event\":\"0 panel down 3\""), std::string::npos);
  EXPECT_NE(report.find("\"event\":\"0 panel up 3\""), std::string::npos);
  EXPECT_NE(report.find("\"keyLevels\":\"111111\""), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists("/tmp/kestra-page-test.png"));
}
