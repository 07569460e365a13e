#include "amplifier/protection.h"

#include "amplifier/cmd_queue.h"
#include "amplifier/commands.h"
#include "core/log.h"

void AttivaDisattivaProtezione(Works *works, int on) {
  if (on == 1) {
    IncPNTIn_CMDLinear(CMD_MP1, works);
    IncPNTIn_CMDLinear(CMD_AT_FULL, works);
    LogErr("PROTEZIONE ON -------------\n");
  } else {
    IncPNTIn_CMDLinear(CMD_MP0, works);
    LogErr("PROTEZIONE OFF -------------\n");
  }
}
