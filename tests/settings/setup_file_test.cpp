#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>
#include <thread>
#include <vector>

#include "core/log.h"
#include "core/works.h"
#include "settings/safe_write.h"
#include "settings/setup_record.h"
#include "tests/support/sandbox.h"

namespace {
std::vector<std::string> Lines(const std::string &text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string ValueOf(const std::string &file, const std::string &key) {
  for (const auto &line : Lines(file))
    if (line.rfind(key + ": ", 0) == 0) return line.substr(key.size() + 2);
  return "<missing>";
}

const char *WRITE_ORDER[] = {"EnableKeyb",     "EnableSpi",       "EnableTouch",
                             "DelayedTouch",   "EnableGPIO",      "EnableRead",
                             "EnableWrite",    "EnableCAT",       "EnableLinear",
                             "EnableTime",     "WebSocket",       "Pitch",
                             "Quality",        "AudioIn",         "InChannels",
                             "AudioCompress",  "Multiplier",      "AudioOut",
                             "Server",         "TcpPort",         "CatPort",
                             "SerPort",        "LinPort",         "NumAntenna",
                             "EnablePwrPeak",  "TempMode",        "FreqSensIn",
                             "FreqPeriodTime", "Attenuator",      "AttenuatorTune",
                             "SWRescAutoTune", "ViewTimeStr",     "ViewTemp",
                             "MaxTemperature", "MaxTemperature2", "AutoTuneMaxCicli",
                             "PowerUnits",     "SaveScreenIdx",   "AutoTuneMode",
                             "EnableFFT",      "Divide",          "MaxTempAllowed",
                             "PSpar1",         "PSpar2",          "Isteresi1",
                             "Isteresi2",      "PSpar3",          "PSpar4",
                             "OffsetPlot",     "RefLevelPlot",    "RefPosPlot",
                             "PointDivPlot",   "CatSerialPort",   "TUNEenabled",
                             "NumBanco",       "GMpar1",          "GMpar2",
                             "Peak_media",     "Peak_ValDec",     "Peak_TimeDec",
                             "Peak_Time",      "MAXbank",         "BTN_longpress_Time",
                             "EnableDebug",    "Enable1600",      "EnableLOGTemp",
                             "AudioBuffers",   "AutoTuneTipo",    "CPUTempVentola",
                             "CPUPercVentola"};
}  // namespace

TEST(SetupFile, MissingFileIsCreatedWithTheSeventyDefaultLinesInOrder) {
  TestSandbox box;
  TestWorks works;
  LogCapture log;
  readSetup(works.works);
  std::string file = box.Read(box.P().setupFile);
  auto lines = Lines(file);
  ASSERT_EQ(lines.size(), 70u);
  for (size_t i = 0; i < lines.size(); i++)
    EXPECT_EQ(lines[i].substr(0, lines[i].find(':')), WRITE_ORDER[i]) << "line " << i + 1;
  EXPECT_EQ(lines[0], "EnableKeyb: 1");
  EXPECT_EQ(ValueOf(file, "LinPort"), "/dev/ttyAMA0");
  EXPECT_EQ(ValueOf(file, "MaxTemperature"), "600");
  EXPECT_EQ(ValueOf(file, "TcpPort"), "6666");
  EXPECT_EQ(ValueOf(file, "Peak_ValDec"), "10");
  EXPECT_EQ(ValueOf(file, "BTN_longpress_Time"), "5");
  EXPECT_TRUE(log.ErrHas("Init Setup! "));
  EXPECT_TRUE(log.SysHas("can't open " + box.P().setupFile, LOG_PRIO_ERR));
}

TEST(SetupFile, CrlfFileReadsAndWritesBackTheDocumentedConversions) {
  TestSandbox box;
  box.Write(box.P().setupFile,
            "NumAntenna: 3\r\nMaxTemperature: 655\r\nOffsetPlot: 25\r\nAutoTuneMode: 3\r\n"
            "TUNEenabled: 300\r\nServer: 10.0.0.7\r\nMultiplier: 4\r\nSWRescAutoTune: 115\r\n");
  TestWorks works;
  LogCapture log;
  readSetup(works.works);
  EXPECT_EQ(works->tuner.antennaIdx, 2);
  EXPECT_FLOAT_EQ(works->cfg.MaxTemperature, 65.5f);
  EXPECT_DOUBLE_EQ(works->cfg.OffsetPlot, 2.5);
  EXPECT_EQ(works->cfg.AutoTuneMode, 3);
  EXPECT_EQ(works->cfg.TUNEenabled, 44);
  EXPECT_STREQ(works->remote.serverAddr, "10.0.0.7");
  EXPECT_EQ(works->remote.audioFrameSize, 960);
  EXPECT_STREQ(works->cfg.setup->Server, "10.0.0.7");  // no '\r' kept

  ASSERT_TRUE(writeSetup(works.works));
  std::string file = box.Read(box.P().setupFile);
  EXPECT_EQ(ValueOf(file, "NumAntenna"), "3");
  EXPECT_EQ(ValueOf(file, "MaxTemperature"), "655");
  EXPECT_EQ(ValueOf(file, "OffsetPlot"), "25");
  EXPECT_EQ(ValueOf(file, "AutoTuneMode"), "1");
  EXPECT_EQ(ValueOf(file, "TUNEenabled"), "44");
  EXPECT_EQ(ValueOf(file, "Multiplier"), "4");
  // A scaled value does not drift through float rounding on every save.
  EXPECT_EQ(ValueOf(file, "SWRescAutoTune"), "115");
  EXPECT_EQ(Lines(file).size(), 70u);
}

TEST(SetupFile, LineRulesLastValueWinsAndUnknownOrMalformedLinesAreHarmless) {
  TestSandbox box;
  box.Write(box.P().setupFile,
            "PSpar1: 5\nPSpar1: 7\nNoSuchKey: 1\nPSpar2: none\nEnableLinear:0\nEnableTime: 0\n"
            "Pitch: 12345678901234567890\nEnableFFT: 1\n" +
                std::string(150, 'x') + "\n");
  TestWorks works;
  LogCapture log;
  readSetup(works.works);
  EXPECT_EQ(works->cfg.PSpar1, 7);
  EXPECT_EQ(works->cfg.PSpar2, 1000);              // no digits: mirror unchanged
  EXPECT_EQ(works->cfg.setup->EnableLinear, '1');  // "Key:" without the blank is no match
  EXPECT_EQ(works->cfg.setup->EnableTime, '0');
  EXPECT_STREQ(works->cfg.setup->Pitch, "123456789");  // cut to the field
  EXPECT_EQ(works->cfg.setup->fftRun, '1');
  EXPECT_TRUE(log.SysHas("PSpar1: -7-", LOG_PRIO_INFO));
  EXPECT_TRUE(log.SysHas("EnableKeyb: -1-"));
  EXPECT_TRUE(log.SysHas("Divide: -0- -0-"));
  EXPECT_TRUE(log.SysHas("Pitch: -123456789-"));
}

// Numbers out of their documented range give way to the default, one log
// line naming the key and the value each; the ends of a range are in it.
TEST(SetupFile, OutOfRangeNumbersTakeTheirDefaultsWithOneLogLineEach) {
  struct Case {
    const char *key, *value, *kept;
  };
  const Case cases[] = {
      {"NumAntenna", "z", "1"},
      {"NumBanco", "99999999999", "1"},
      {"MAXbank", "-4", "3"},
      {"AutoTuneMaxCicli", "x", "0"},
      {"Attenuator", "7", "0"},
      {"SWRescAutoTune", "5000", "0"},
      {"MaxTemperature", "2000", "600"},
      {"PSpar1", "123456", "1"},
      {"TcpPort", "70000", "6666"},
      {"FreqPeriodTime", "abc", "10"},
      {"SaveScreenIdx", "4", "4"},
      {"RefLevelPlot", "-300", "-300"},
  };
  TestSandbox box;
  std::string text;
  for (const Case &c : cases) text += std::string(c.key) + ": " + c.value + "\n";
  box.Write(box.P().setupFile, text);
  TestWorks works;
  LogCapture log;
  readSetup(works.works);
  ASSERT_TRUE(writeSetup(works.works));
  std::string file = box.Read(box.P().setupFile);
  int changed = 0;
  for (const Case &c : cases) {
    EXPECT_EQ(ValueOf(file, c.key), c.kept) << c.key << ": " << c.value;
    if (std::string(c.value) == c.kept) continue;
    changed++;
    EXPECT_TRUE(log.SysHas(std::string(c.key) + ": '" + c.value + "' is not in ", LOG_PRIO_ERR))
        << c.key;
  }
  int lines = 0;
  for (const auto &l : log.Sys()) lines += l.text.find(" is not in ") != std::string::npos;
  EXPECT_EQ(lines, changed);
  EXPECT_EQ(works->tuner.antennaIdx, 0);
  EXPECT_STREQ(works->cfg.setup->NumBanco, "1");  // the text too

  // A bank beyond the banks there are, whichever line comes first.
  box.Write(box.P().setupFile, "NumBanco: 5\nMAXbank: 4\n");
  log.Clear();
  readSetup(works.works);
  EXPECT_EQ(works->cfg.NumBanco, 1);
  EXPECT_TRUE(log.SysHas("NumBanco: '5' is no bank below MAXbank 4, 1 used", LOG_PRIO_ERR));
}

TEST(SetupFile, MirrorsWinWhenWriting) {
  TestSandbox box;
  TestWorks works;
  works->cfg.MaxTemperature2 = 72.5f;
  works->cfg.PSpar3 = 42;
  works->remote.TcpPort = 7000;
  works->tuner.antennaIdx = 1;
  works->cfg.AutoTuneMode = 0x13;  // only the automatic-tune bit is stored
  ASSERT_TRUE(writeSetup(works.works));
  std::string file = box.Read(box.P().setupFile);
  EXPECT_EQ(ValueOf(file, "MaxTemperature2"), "725");
  EXPECT_EQ(ValueOf(file, "PSpar3"), "42");
  EXPECT_EQ(ValueOf(file, "TcpPort"), "7000");
  EXPECT_EQ(ValueOf(file, "NumAntenna"), "2");
  EXPECT_EQ(ValueOf(file, "AutoTuneMode"), "1");
}

TEST(SafeWrite, FailedRemountWritesNothing) {
  TestSandbox box;
  box.Write(box.Root() + "/bin/mount", "#!/bin/sh\nexit 1\n");
  box.Write(box.P().setupFile, "old\n");
  LogCapture log;
  EXPECT_FALSE(WriteSettingsFile(box.P().setupFile, "new\n"));
  EXPECT_EQ(box.Read(box.P().setupFile), "old\n");
  EXPECT_TRUE(log.SysHas("can't mount rw " + box.P().setDir + "/ error", LOG_PRIO_ERR));
}

TEST(SafeWrite, SaveInterruptedAfterTheTemporaryFileLeavesThePreviousFileIntact) {
  TestSandbox box;
  box.Write(box.P().setupFile, "EnableKeyb: 0\n");
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // The power fails right after the temporary file is complete.
    settingsWriteAfterTempHook = [](const std::string &) { _exit(0); };
    TestWorks works;
    writeSetup(works.works);
    _exit(1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the save did not reach the interruption point";
  EXPECT_EQ(box.Read(box.P().setupFile), "EnableKeyb: 0\n");
  EXPECT_EQ(Lines(box.Read(box.P().setupFile + ".tmp")).size(), 70u);
}

TEST(SafeWrite, AppendAddsToTheEnd) {
  TestSandbox box;
  std::string path = box.P().setDir + "/log.txt";
  ASSERT_TRUE(AppendSettingsFile(path, "a\n"));
  ASSERT_TRUE(AppendSettingsFile(path, "b\n"));
  EXPECT_EQ(box.Read(path), "a\nb\n");
}

namespace {
// A mount stand-in that notes each remount ("rw" or "ro") in `mounts`.
std::string RecordMounts(const TestSandbox &box) {
  std::string mounts = box.Root() + "/var/sim/mounts";
  box.Write(box.Root() + "/bin/mount",
            // By the options alone: the sandbox's random path may hold "rw" too.
            "#!/bin/sh\ncase \"$*\" in *defaults,rw\\ *) echo rw;; *) echo ro;; esac >> '" +
                mounts + "'\n");
  return mounts;
}
}  // namespace

// Every attempt ends with the partition read-only again, a failed one too;
// only setup.txt, whose new file cannot be opened, is left writable, as its
// own rule has it.
TEST(SafeWrite, TheReadOnlyRemountFollowsAFailedSave) {
  TestSandbox box;
  LogCapture log;
  std::string mounts = RecordMounts(box);
  std::string table = box.P().setDir + "/antenna_b1.txt";
  std::filesystem::create_directory(table + ".tmp");  // the new file cannot be opened
  EXPECT_FALSE(WriteSettingsFile(table, "!Tavo\n"));
  EXPECT_EQ(box.Read(mounts), "rw\nro\n");
  EXPECT_FALSE(AppendSettingsFile(box.P().setDir + "/no/such/dir/log.txt", "x\n"));
  EXPECT_EQ(box.Read(mounts), "rw\nro\nrw\nro\n");

  std::filesystem::create_directory(box.P().setupFile + ".tmp");
  TestWorks works;
  EXPECT_FALSE(writeSetup(works.works));
  EXPECT_EQ(box.Read(mounts), "rw\nro\nrw\nro\nrw\n");
  EXPECT_TRUE(log.SysHas("can't open " + box.P().setupFile + ".tmp for writing", LOG_PRIO_ERR));
}

// Saves from several threads at once: one remount pair at a time, each file
// whole.
TEST(SafeWrite, ConcurrentSavesAreSerialised) {
  TestSandbox box;
  std::string mounts = RecordMounts(box);
  TestWorks works;
  std::vector<std::thread> savers;
  for (int t = 0; t < 3; t++)
    savers.emplace_back([&, t] {
      std::string path = box.P().setDir + "/table" + std::to_string(t) + ".txt";
      for (int i = 0; i < 4; i++) EXPECT_TRUE(WriteSettingsFile(path, std::string(5000, 'a' + t)));
    });
  savers.emplace_back([&] {
    for (int i = 0; i < 4; i++) EXPECT_TRUE(writeSetup(works.works));
  });
  for (std::thread &s : savers) s.join();
  std::string pairs;
  for (int i = 0; i < 16; i++) pairs += "rw\nro\n";
  EXPECT_EQ(box.Read(mounts), pairs);
  for (int t = 0; t < 3; t++)
    EXPECT_EQ(box.Read(box.P().setDir + "/table" + std::to_string(t) + ".txt"),
              std::string(5000, 'a' + t));
  EXPECT_EQ(Lines(box.Read(box.P().setupFile)).size(), 70u);
}

TEST(SafeWrite, ATemporaryFileLeftByAPowerCutIsRemovedAtStartUp) {
  TestSandbox box;
  LogCapture log;
  std::string mounts = RecordMounts(box);
  RemoveInterruptedSaves();
  EXPECT_EQ(box.Read(mounts), "");  // nothing left: no remount
  box.Write(box.P().setupFile, "EnableKeyb: 0\n");
  box.Write(box.P().setupFile + ".tmp", "EnableKeyb: 1\n");
  box.Write(box.P().setDir + "/atu_ant1_b1.txt.tmp", "1 2");
  RemoveInterruptedSaves();
  EXPECT_FALSE(std::filesystem::exists(box.P().setupFile + ".tmp"));
  EXPECT_FALSE(std::filesystem::exists(box.P().setDir + "/atu_ant1_b1.txt.tmp"));
  EXPECT_EQ(box.Read(box.P().setupFile), "EnableKeyb: 0\n");
  EXPECT_EQ(box.Read(mounts), "rw\nro\n");
  EXPECT_TRUE(log.SysHas("removed " + box.P().setupFile + ".tmp, left by an interrupted save",
                         LOG_PRIO_INFO));
}
