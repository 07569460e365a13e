// The interfaces file read, edited octet by octet and written back in the
// sandbox, with the network restart's stand-ins; and the network check.
#include "network/lan_settings.h"

#include <gtest/gtest.h>

#include <string>

#include "core/log.h"
#include "core/works.h"
#include "network/lan_info.h"
#include "sim/world/factory_files.h"
#include "tests/support/sandbox.h"

namespace {
class LanSettings : public ::testing::Test {
 protected:
  void SetUp() override {
    works->core.pauseSecondMs = 1;
    works->core.lanInfoBusy = 1;  // no network-information thread here
  }
  void Seed(const std::string &text) { box.Write(box.P().networkInterfaces, text); }
  std::string File() const { return box.Read(box.P().networkInterfaces); }
  std::string Calls() const { return box.Read(box.Root() + "/var/sim/network"); }

  TestSandbox box;
  TestWorks works;
  LogCapture log;
};

std::string Octets4(const Octets &o) {
  char text[LAN_TEXT_SIZE];
  SplitAddrInv(text, sizeof text, o);
  return text;
}

TEST_F(LanSettings, ReadsTheFactoryFilesStaticAndDhcp) {
  Seed(FACTORY_INTERFACES_STATIC);
  ASSERT_EQ(ReadLanParam(), 0);
  EXPECT_STREQ(IP, "192.168.1.10");
  EXPECT_EQ(Octets4(IP_v), "192.168.1.10");
  EXPECT_EQ(Octets4(NetMask_v), "255.255.255.0");
  EXPECT_EQ(Gateway_none, 0);
  EXPECT_EQ(Octets4(DNS_v), "192.168.1.1");
  EXPECT_TRUE(log.ErrHas("ReadLanParam DNS_none=0 Gateway_none=0\n"));

  Seed(FACTORY_INTERFACES_DHCP);
  ASSERT_EQ(ReadLanParam(), 0);
  EXPECT_STREQ(IP, "");
  EXPECT_EQ(Gateway_none, 1);
  EXPECT_EQ(DNS_none, 1);
}

TEST_F(LanSettings, ValuesKeepTheirLastCharacterAndIndentedLinesAreRead) {
  Seed("  address 10.0.0.1\r\nnetmask\t255.0.0.0\ngateway 10.0.0.254");  // no final line feed
  ASSERT_EQ(ReadLanParam(), 0);
  EXPECT_STREQ(IP, "10.0.0.1");
  EXPECT_STREQ(NetMask, "255.0.0.0");
  EXPECT_STREQ(Gateway, "10.0.0.254");
  EXPECT_EQ(Octets4(Gateway_v), "10.0.0.254");
  SetPaths([&] {
    Paths p = box.P();
    p.networkInterfaces += ".absent";
    return p;
  }());
  EXPECT_EQ(ReadLanParam(), -1);
  EXPECT_TRUE(log.ErrHas("Error opening network connection configuration file. CODE: 2\n"));
}

TEST_F(LanSettings, ModifyIpWrapsOctetsAndCursor) {
  Octets o;
  SplitAddr("192.168.1.255", o);
  EXPECT_EQ(ModifyIP(2, 3, o), 3);
  EXPECT_EQ(o[3], 0);
  EXPECT_EQ(ModifyIP(1, 3, o), 3);
  EXPECT_EQ(o[3], 255);
  EXPECT_EQ(ModifyIP(3, 0, o), 3);
  EXPECT_EQ(ModifyIP(4, 3, o), 0);
  EXPECT_EQ(ModifyIP(4, 1, o), 2);
  EXPECT_EQ(ModifyIP(0, 2, o), 2);
  EXPECT_EQ(ModifyIP(2, 9, o), 3);  // a cursor out of range edits the last octet
  EXPECT_EQ(Octets4(o), "192.168.1.0");
}

// One octet changed: only the address line differs, indented and other
// lines stay byte for byte, the interfaces go down and up once, in order.
TEST_F(LanSettings, SaveRewritesOnlyTheAddressLinesAndRestartsTheNetwork) {
  std::string before = "  address 10.9.9.9\n" + std::string(FACTORY_INTERFACES_STATIC);
  Seed(before);
  ASSERT_EQ(ReadLanParam(), 0);
  ModifyIP(2, 3, IP_v);
  EXPECT_EQ(SaveLanParam(works.works), 0);
  std::string expected = before;
  expected.replace(expected.find("address 192.168.1.10"), 20, "address 192.168.1.11");
  EXPECT_EQ(File(), expected);
  EXPECT_EQ(Calls(), "ifdown --exclude=lo -a\nifup --exclude=lo -a\n");
  EXPECT_TRUE(log.ErrHas("--->new ip: address 192.168.1.11\n \n"));
}

TEST_F(LanSettings, MissingGatewayIsNotAddedAndAnEmptyOneIsWrittenEmpty) {
  Seed("address 1.2.3.4\ngateway\n");
  ASSERT_EQ(ReadLanParam(), 0);
  EXPECT_EQ(Gateway_none, 1);
  ASSERT_EQ(SaveLanParam(works.works), 0);
  EXPECT_EQ(File(), "address 1.2.3.4\ngateway \n");

  Seed("address 1.2.3.4\n");
  ASSERT_EQ(ReadLanParam(), 0);
  ASSERT_EQ(SaveLanParam(works.works), 0);
  EXPECT_EQ(File(), "address 1.2.3.4\n");
}

TEST_F(LanSettings, AFileOutsideTheSupportedSizeIsNeverRewritten) {
  std::string tooMany;
  for (int i = 0; i <= LAN_FILE_LINES; i++) tooMany += "# line\n";
  std::string tooLong = "address 1.2.3.4\n# " + std::string(LAN_LINE_LENGTH, 'x') + "\n";
  for (const std::string &text : {tooMany, tooLong}) {
    Seed(text);
    EXPECT_EQ(SaveLanParam(works.works), -1);
    EXPECT_EQ(File(), text);
  }
  EXPECT_EQ(Calls(), "");  // the network was not restarted either
  std::string fifty;
  for (int i = 0; i < LAN_FILE_LINES; i++) fifty += "# line\n";
  std::string out;
  EXPECT_TRUE(RewriteInterfaces(fifty, out));
  EXPECT_EQ(out, fifty);
}

TEST_F(LanSettings, UpdateCheckComparesVersionsAndKeepsTheLastLine) {
  struct Case {
    const char *output;
    bool update;
    const char *connection;
  } cases[] = {
      {"00.064\nLink up\n", true, "Link up"},
      {"01.000\nLink up\n", true, "Link up"},
      {"00.063\nLink up\n", false, "Link up"},
      {"00.064\nnot linked\n", false, "not linked"},  // 'o' second: no connection
      {"00.070\nNo Conn\n", false, "No Conn"},
      {"00.070\neth0 up\tfast\nlast\n", true, "last"},
      {"0\nUp", false, "Up"},  // short version texts are read within themselves
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.output);
    LanReport r = ParseLanReport(c.output, "00.063");
    EXPECT_EQ(r.updateAvailable, c.update);
    EXPECT_EQ(r.connection, c.connection);
  }
}

TEST_F(LanSettings, TheNetworkCheckRunsMyVornAndItsAbsenceLeavesNoConn) {
  box.Write(box.Root() + "/var/sim/web_version", "00.064\n");
  box.Write(box.Root() + "/var/sim/lan_state", "Link up 100Mb\n");
  ReadLANconnection(works.works);
  char text[LAN_TEXT_SIZE];
  NetworkText(works.works, text, sizeof text);
  EXPECT_STREQ(text, "Link up 100Mb");
  EXPECT_EQ(works->core.softwareUpdate, 1);

  box.Write(box.Root() + "/bin/my_vorn", "#!/bin/sh\nexit 127\n");
  ReadLANconnection(works.works);
  NetworkText(works.works, text, sizeof text);
  EXPECT_STREQ(text, "No Conn");
  EXPECT_EQ(works->core.softwareUpdate, 0);
  EXPECT_TRUE(log.ErrHas("my_vorn: no answer, the network state stays unknown\n"));
}
}  // namespace
