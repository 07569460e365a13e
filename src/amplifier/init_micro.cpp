#include "amplifier/cmd_queue.h"
#include "amplifier/commands.h"
#include "core/log.h"
#include "core/works.h"
#include "settings/calibration.h"

void InitMicroCmd(Works *works) {
  LogErr("Init CRT ... \n");
  for (int32_t cmd : {CMD_VS, CMD_ER0, CMD_ER1, CMD_ER2, CMD_MP0}) IncPNTIn_CMDLinear(cmd, works);
  works->cfg.idxSogliaTS = -1;
  SearchCambioSoglie_TS(works);
  works->thermal.fanLevel = 100;
  works->thermal.fanCurveLast = 100;
  for (int32_t cmd :
       {CMD_FN, CMD_AN, CMD_SA, CMD_FS, CMD_MT_SET, CMD_PS, CMD_GM, CMD_GS_QUERY, CMD_CP, CMD_MR0})
    IncPNTIn_CMDLinear(cmd, works);
}
