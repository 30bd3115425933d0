#include "app/Program.h"

#include <cstdio>

int runProgram(int, char**) {
    std::printf("kvarnel-ld5 %s\n", KV_VERSION);
    return 0;
}
