#include "sim/amplifier/amp_device.h"

#include <gtest/gtest.h>

#include <thread>

#include "amplifier/framing.h"
#include "sim/world/json.h"
#include "tests/support/sandbox.h"
#include "tests/support/serial_client.h"

namespace {
ScenarioEvent Event(const std::string &subject, const std::string &verb,
                    std::vector<std::string> args = {}) {
  ScenarioEvent ev;
  ev.subject = subject;
  ev.verb = verb;
  ev.args = std::move(args);
  ev.text = subject + " " + verb;
  return ev;
}

bool WellFramed(const std::string &reply) {
  return reply.size() >= 5 && reply.back() == ';' && FrameCrcMatches(reply.data(), reply.size());
}

class AmpDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    device_ = std::make_unique<AmpDevice>(SimContext{sandbox_.Root(), &world_, pacing_, {}});
    std::string error;
    ASSERT_TRUE(device_->Start(error)) << error;
    client_ = std::make_unique<SerialClient>(sandbox_.Root() + "/dev/ttyAMA0");
    ASSERT_TRUE(client_->IsOpen());
  }

  void Apply(const std::string &subject, const std::string &verb,
             std::vector<std::string> args = {}) {
    std::string error;
    ASSERT_TRUE(device_->Apply(Event(subject, verb, std::move(args)), error)) << error;
  }

  // Waits (bounded) until the device has recorded `count` frames.
  void AwaitReceived(size_t count) {
    for (int i = 0; i < 500 && device_->Received().size() < count; i++)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_GE(device_->Received().size(), count);
  }

  TestSandbox sandbox_;
  World world_;
  bool pacing_ = false;
  std::unique_ptr<AmpDevice> device_;
  std::unique_ptr<SerialClient> client_;
};

class PacedAmpDeviceTest : public AmpDeviceTest {
 protected:
  PacedAmpDeviceTest() { pacing_ = true; }
};
}  // namespace

TEST_F(PacedAmpDeviceTest, AnswersAPlainTermiosClientAndRecordsTheFrames) {
  std::string reply = client_->Ask("4dST;");
  EXPECT_TRUE(WellFramed(reply)) << reply;
  EXPECT_EQ(reply.substr(2, 2), "ST");
  EXPECT_EQ(reply.size(), 39u);
  for (char c : reply.substr(0, 2)) EXPECT_FALSE(islower(static_cast<unsigned char>(c)));
  EXPECT_EQ(client_->Ask("c2VSM;"), FrameReply("VSM1.07.03;"));

  // The port outlives the client: close, reopen, ask again.
  client_.reset();
  SerialClient again(sandbox_.Root() + "/dev/ttyAMA0");
  EXPECT_TRUE(WellFramed(again.Ask("4dST;")));
  std::vector<ReceivedFrame> got = device_->Received();
  ASSERT_EQ(got.size(), 3u);
  EXPECT_EQ(got[1].crc, "c2");
  EXPECT_EQ(got[1].text, "VSM;");
  EXPECT_LE(got[0].t, got[1].t);
}

TEST_F(AmpDeviceTest, RepliesFollowTheWorld) {
  Apply("radio", "freq", {"7100000"});
  Apply("radio", "drive", {"5"});
  Apply("antenna", "1", {"load", "12.5", "0"});
  std::string fm = client_->Ask(FrameCommand("FM;"));
  EXPECT_EQ(fm.substr(2), "FM000007100000;");
  // By-passed amplifier and tuner: the 5 W drive sees SWR 4 (forward and
  // reflected counts with the default coefficients).
  std::string st = client_->Ask(FrameCommand("ST;"));
  int fwd = std::stoi(st.substr(10, 4)), refl = std::stoi(st.substr(14, 4));
  double fwdW = DEFAULT_METER_COEFFICIENTS.kFwd * fwd * fwd;
  double reflW =
      DEFAULT_METER_COEFFICIENTS.kRefl * refl * refl + DEFAULT_METER_COEFFICIENTS.kCorr * fwdW;
  EXPECT_NEAR(fwdW, 5, 0.05);
  EXPECT_NEAR(reflW, 5 * 0.36, 0.02);
  Apply("radio", "off");
  EXPECT_EQ(client_->Ask(FrameCommand("FM;")).substr(2), "FM000000000000;");
}

TEST_F(AmpDeviceTest, FaultsOnDemand) {
  auto antenna = [&] {
    int a = -1;
    device_->WithFirmware([&](AmpFirmware &fw) { a = fw.Model().Controls().antenna; });
    return a;
  };
  // Dropped: carried out, unanswered; the next command gets the next reply.
  Apply("amp", "drop");
  client_->Send(FrameCommand("SA2;"));
  EXPECT_EQ(client_->Ask(FrameCommand("MT;")), FrameReply("MT100000000;"));
  EXPECT_EQ(antenna(), 1);
  // Rejected: answered with '?' and not carried out.
  Apply("amp", "reject");
  EXPECT_EQ(client_->Ask(FrameCommand("SA3;")), FrameReply("SA?;"));
  EXPECT_EQ(antenna(), 1);
  // Corrupted CRC digits.
  Apply("amp", "corrupt-crc");
  std::string bad = client_->Ask(FrameCommand("SA2;"));
  EXPECT_EQ(bad.substr(2), "SA2;");
  EXPECT_FALSE(FrameCrcMatches(bad.data(), bad.size()));
  // Lower case: the next reply whose CRC has letters ("VSM" has none).
  ASSERT_EQ(FrameReply("SA2;").substr(0, 2), "E8");
  Apply("amp", "lowercase-crc");
  EXPECT_EQ(client_->Ask(FrameCommand("VSM;")), FrameReply("VSM1.07.03;"));
  EXPECT_EQ(client_->Ask(FrameCommand("SA2;")), "e8SA2;");
  EXPECT_EQ(client_->Ask(FrameCommand("SA2;")), "E8SA2;");
  // Split across two writes: it still arrives whole.
  Apply("amp", "split");
  EXPECT_TRUE(WellFramed(client_->Ask(FrameCommand("ST;"))));
  // Garbage comes before the next reply.
  Apply("amp", "garbage", {"12"});
  std::string noisy = client_->Ask(FrameCommand("SA1;"));
  ASSERT_EQ(noisy.size(), 12 + FrameReply("SA1;").size());
  EXPECT_EQ(noisy.substr(12), FrameReply("SA1;"));
  // Silent: received and recorded, neither carried out nor answered.
  Apply("amp", "silence", {"60"});
  size_t before = device_->Received().size();
  client_->Send(FrameCommand("SA3;"));
  AwaitReceived(before + 1);
  Apply("amp", "silence", {"0"});
  EXPECT_EQ(client_->Ask(FrameCommand("MT;")), FrameReply("MT100000000;"));
  EXPECT_EQ(antenna(), 0);
  // A restart: power-on settings and statusC bit 7 until "MR0;".
  client_->Ask(FrameCommand("SA2;"));
  client_->Ask(FrameCommand("MR0;"));
  Apply("amp", "restart");
  Apply("amp", "silence", {"0"});
  EXPECT_EQ(client_->Ask(FrameCommand("ST;")).substr(2 + 28, 2), "08");
  EXPECT_EQ(antenna(), 0);
}

TEST_F(AmpDeviceTest, ScenarioVerbsAreCheckedAndTheReportHasFramesAndState) {
  std::string error;
  for (ScenarioEvent ev :
       {Event("amp", "bogus"), Event("amp", "class", {"80"}), Event("amp", "temp", {"3", "50"}),
        Event("amp", "drop", {"-1"}), Event("antenna", "4", {"load", "50", "0"}),
        Event("antenna", "1", {"load", "-5", "0"}),
        Event("antenna", "1", {"load", "50", "0", "scales"}), Event("radio", "drive", {"-1"}),
        Event("radio", "tune")}) {
    EXPECT_FALSE(device_->Apply(ev, error)) << ev.subject << " " << ev.verb;
    EXPECT_FALSE(error.empty());
  }
  Apply("amp", "class", {"120"});
  Apply("amp", "temp", {"2", "61.5"});
  Apply("radio", "freq", {"3600000"});
  Apply("antenna", "2", {"load", "30", "20", "scale"});
  EXPECT_EQ(world_.Load(1).refFreqHz, 3600000);
  EXPECT_EQ(client_->Ask(FrameCommand("ER0002;")).substr(2 + 8, 2), "31");
  client_->Ask("4dST;");
  JsonWriter json;
  device_->Report(json);
  const std::string &text = json.Text();
  EXPECT_NE(text.find("\"received\":[{\"t\":"), std::string::npos) << text;
  EXPECT_NE(text.find("\"crc\":\"4d\",\"text\":\"ST;\"}"), std::string::npos);
  EXPECT_NE(text.find("\"powerClass\":120"), std::string::npos);
  EXPECT_NE(text.find("\"freqHz\":3600000"), std::string::npos);
  EXPECT_NE(text.find(",61.5],\"statusA\""), std::string::npos);
  EXPECT_NE(text.find("\"tuner\":{\"word\":\"00000000\",\"L\":0,\"C\":0,\"network\":\"bypass\"}"),
            std::string::npos);
}
