#include "cli/commands.h"

#include <cstdio>

// (being written)
int RunSend(const QStringList&) {
    std::fputs("not available yet\n", stderr);
    return 1;
}
