#include "cli/commands.h"
int RunSimulate(const QStringList&) { return 1; } // (being written)
