#include "cli/commands.h"

#include <cstdio>

// (being written)
int RunRender(const QStringList&) {
    std::fputs("not available yet\n", stderr);
    return 1;
}
