#include "settings/table_line.h"

#include <cstring>

bool ReadTableLine(FILE *in, char *buf, int size) {
  if (!fgets(buf, size, in)) return false;
  size_t n = strlen(buf);
  if (n > 0 && buf[n - 1] == '\n') buf[--n] = '\0';
  if (n > 0 && buf[n - 1] == '\r') buf[--n] = '\0';
  return true;
}
