#include "settings/table_reading.h"

#include "settings/table_line.h"

int CountTableDataLines(FILE *in, int lineSize) {
  char line[TABLE_LINE_MAX];
  if (lineSize > TABLE_LINE_MAX) lineSize = TABLE_LINE_MAX;
  int n = 0;
  while (ReadTableLine(in, line, lineSize))
    if (!IsTableComment(line)) n++;
  return n;
}
