#pragma once
// Reading the stored table files: one record per line through a fixed
// buffer (a longer line reads as several), one trailing "\n" and then one
// trailing "\r" removed; a line starting with ';' is a comment.
#include <cstdio>

// Reads the next line into `buf` (capacity `size`, at least 2); false at the
// end of the file.
bool ReadTableLine(FILE *in, char *buf, int size);

inline bool IsTableComment(const char *line) { return line[0] == ';'; }
