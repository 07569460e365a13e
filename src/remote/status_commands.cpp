#include "remote/status_commands.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/clock.h"
#include "core/log.h"
#include "core/works.h"
#include "input/panel_mailbox.h"
#include "platform/shell.h"
#include "settings/setup_record.h"
#include "tuner/banks.h"

namespace {
constexpr uint8_t PANEL_REBOOT = 0xC5;
constexpr int DIVIDE_MAX = 99;  // the setting holds two digits

bool Starts(const char *msg, const char *command) {
  return strncmp(msg, command, strlen(command)) == 0;
}

// The USB spectrum as the source; it is thinned out by at least 2.
void UseUsbSpectrum(Works *works, char enable1600) {
  SetupRecord &s = *works->cfg.setup;
  WriteSetupFlag(s.fftRun, '1');
  WriteSetupFlag(s.Enable1600, enable1600);
  if (works->cfg.Divide <= 1) works->cfg.Divide = 2;
}

// A divider below 1 would stop the spectrum for good.
void SetDivide(Works *works, const char *digits) {
  long value = strtol(digits, nullptr, 10);
  if (value < 1 || value > DIVIDE_MAX) {
    LogSys(LOG_PRIO_ERR, "spectrum divider %s refused", digits);
    value = value < 1 ? 1 : DIVIDE_MAX;
  }
  works->cfg.Divide = static_cast<int32_t>(value);
}

void Reboot(Works *works) {
  PostPanelCmd(works, PANEL_REBOOT);
  SleepSeconds(4);
  RunShell("reboot");
}
}  // namespace

void dispStat(Works *works) {
  char msg[STATUS_MSG_SIZE + 1] = {};
  memcpy(msg, works->remote.statusMsg, STATUS_MSG_SIZE);
  LogErr("BUFFER Wsocket : %s\n", msg);
  if (Starts(msg, "VORNBANK") || Starts(msg, "VORNPA1")) {
    fputs("ChangeBanco\n", stdout);
    fflush(stdout);
    ChangeBanco(works);
  } else if (Starts(msg, "VORNFT00")) {
    WriteSetupFlag(works->cfg.setup->fftRun, '0');
  } else if (Starts(msg, "VORNFT01")) {
    UseUsbSpectrum(works, '0');
  } else if (Starts(msg, "VORNFT02")) {
    UseUsbSpectrum(works, '1');
  } else if (Starts(msg, "VORNFD")) {
    SetDivide(works, msg + 6);
  } else if (Starts(msg, "VORNRB")) {
    Reboot(works);
  }
}
