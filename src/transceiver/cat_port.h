#pragma once
// The companion transceiver's CAT port: found among the CAT port devices by
// its answer to the identity query "DT;".
struct Works;

// 0 when the port was found and catFD holds it open (115200 8N1, reads
// returning after 1 s without a byte), -1 otherwise.
int VerifyCAT(Works *works);
