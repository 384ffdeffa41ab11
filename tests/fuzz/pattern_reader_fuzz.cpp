// libFuzzer target: any bytes as pattern text, read onto a small guarded board.
// Every promise of GuardedBoard::ReadAndCheck must hold after every input.
#include <cstdio>
#include <cstdlib>

#include "guarded_board.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    static cellarium::testing::GuardedBoard guarded(150, 150);
    const std::string problem = guarded.ReadAndCheck(data, size);
    if (!problem.empty()) {
        std::fprintf(stderr, "pattern reader: %s\n", problem.c_str());
        std::abort();
    }
    return 0;
}
