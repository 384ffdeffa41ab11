// libFuzzer target: any bytes as the runner's command line (arguments split at
// NUL bytes). Parsing either fails with a message or yields options inside the
// documented ranges; accepted options are then run as the runner would (rule,
// soup, a few steps) on a small board, without touching any file. Parsing
// never throws and never ends the program.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "cli_options.h"
#include "engine/cell_board.h"
#include "engine/soup.h"

using namespace cellarium;

namespace {

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "command line: %s\n", what);
    std::abort();
}

// -g takes any count up to 10^18, the largest generation the program counts to.
constexpr long long kLargestGeneration = 1000000000000000000LL;

void CheckOptions(const CliOptions& o) {
    if (o.width < kMinBoardSide || o.width > kMaxBoardSide || o.height < kMinBoardSide ||
        o.height > kMaxBoardSide)
        Fail("board size outside the accepted range");
    const bool unlimited = o.untilCycle && o.generations == kUnlimitedGenerations;
    if ((o.generations < 0 && !unlimited) || o.generations > kLargestGeneration)
        Fail("generation count out of range");
    if (o.threads && (*o.threads < 1 || *o.threads > 256)) Fail("thread count out of range");
    if (!(o.soupDensity >= 0.0 && o.soupDensity <= 1.0)) Fail("soup density outside 0..1");
    if (o.soup && o.pattern) Fail("both a soup and a pattern");
    if (o.rule && !RuleTextProblem(*o.rule).empty()) Fail("rule text accepted unchecked");
    // The arguments hold no NUL byte, so none may reach a value.
    for (const auto* text :
         {&o.rule, &o.savePath, &o.gifPath, &o.palette, &o.statsPath, &o.pattern})
        if (*text && (*text)->find('\0') != std::string::npos) Fail("NUL byte in a value");
    std::set<std::string> seen;
    for (const std::string& c : o.columns) {
        if (c != "generation" && c != "total" && c != "births" && c != "deaths")
            Fail("unknown column accepted");
        if (!seen.insert(c).second) Fail("column accepted twice");
    }
}

void RunOnSmallBoard(const CliOptions& o) {
    static std::unique_ptr<CellBoard> current = CellBoard::Create(150, 150);
    static std::unique_ptr<CellBoard> scratch = CellBoard::Create(150, 150);
    current->MakeEmpty();
    scratch->MakeEmpty();
    if (o.soup) FillSoup(*current, o.soupDensity, o.soupSeed ? *o.soupSeed : 1);
    // What the runner hands the document.
    const Rule rule = o.rule ? RuleFromText(*o.rule) : Rule();
    const long long steps = (o.generations < 0 || o.generations > 4) ? 4 : o.generations;
    for (long long i = 0; i < steps; ++i) {
        int32_t births = 0, deaths = 0;
        current->ComputeNext(*scratch, rule, int(i + 1), births, deaths);
        std::swap(current, scratch);
    }
    int32_t live = 0;
    for (int y = 0; y < current->height; ++y)
        for (int x = 0; x < current->width; ++x) {
            const bool border =
                x == 0 || y == 0 || x == current->width - 1 || y == current->height - 1;
            if (current->At(x, y) == 0) continue;
            if (border) Fail("live cell on the border");
            ++live;
        }
    if (live != current->liveCount) Fail("live count disagrees with the cells");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    std::vector<std::string> args(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0)
            args.emplace_back();
        else
            args.back() += char(data[i]);
    }
    if (size == 0) args.clear();
    CliOptions options;
    std::string error;
    switch (ParseCliOptions(args, options, error)) {
        case ParseStatus::UsageError:
            if (error.empty()) Fail("usage error without a message");
            return 0;
        case ParseStatus::Help:
            return 0;
        case ParseStatus::Ok:
            break;
    }
    CheckOptions(options);
    RunOnSmallBoard(options);
    return 0;
}
