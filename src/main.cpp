// The product: the target's fixed paths and real devices, no options.
#include "core/startup.h"

int main() { return KestraMain(); }
