// cellarium-cli: runs a pattern file or a random soup for a number of
// generations, optionally saves the result, and prints the status line.
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "cli_options.h"
#include "engine/cell_board.h"
#include "engine/rules.h"
#include "engine/step.h"
#include "formats/rule_notation.h"
#include "pattern_files.h"
#include "soup.h"

using namespace cellarium;

namespace {

void ApplyRuleText(const std::string& text) {
    ClearRules();
    RuleTextParser parser(g_survive, g_born);
    for (char c : text) parser.Feed(uint8_t(c));
    parser.Feed('\n');
}

class Progress {
public:
    Progress(bool on, long long total) : on_(on && total > 0), total_(total) {}
    void Update(long long done) {
        if (!on_) return;
        int pct = int(done * 100 / total_);
        if (pct == last_) return;
        last_ = pct;
        int filled = pct * 40 / 100;
        std::fprintf(stderr, "\r[%.*s%*s] %3d%%", filled, "########################################",
                     40 - filled, "", pct);
        if (done == total_) std::fputc('\n', stderr);
        std::fflush(stderr);
    }

private:
    bool on_;
    long long total_;
    int last_ = -1;
};

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    CliOptions options;
    std::string error;
    switch (ParseCliOptions(args, options, error)) {
        case ParseStatus::Help:
            std::fputs(CliUsage(), stdout);
            return 0;
        case ParseStatus::UsageError:
            std::fprintf(stderr, "cellarium-cli: %s\n%s", error.c_str(), CliUsage());
            return 2;
        case ParseStatus::Ok:
            break;
    }
    std::unique_ptr<CellBoard> current = CellBoard::Create(options.width, options.height);
    std::unique_ptr<CellBoard> scratch = CellBoard::Create(options.width, options.height);
    if (!current || !scratch) {
        std::fprintf(stderr,
                     "Unable to allocate memory for the cells.  You could close some programs, "
                     "or use the Tools menu at the file selection screen to choose a smaller "
                     "board size.\n");
        return 1;
    }
    ResetRules();
    if (options.pattern) {
        std::string loadError;
        if (!LoadPatternFile(*options.pattern, *current, loadError)) {
            std::fprintf(stderr, "%s\n", loadError.c_str());
            return 1;
        }
    } else if (options.soup) {
        uint64_t seed = options.soupSeed ? *options.soupSeed : std::random_device{}();
        FillSoup(*current, options.soupDensity, seed);
    }
    if (options.rule) ApplyRuleText(*options.rule);

    long long generation = 0;
    int32_t births = 0, deaths = 0;
    Progress progress(options.progress, options.generations);
    for (long long i = 0; i < options.generations; ++i) {
        current->ComputeNext(*scratch, int(generation % 256) + 1, births, deaths);
        std::swap(current, scratch);
        ++generation;
        progress.Update(i + 1);
        if (options.untilStagnation && births == 0 && deaths == 0) break;
    }

    if (options.savePath) {
        std::string saveError;
        if (!SavePatternFile(*current, *options.savePath, saveError)) {
            std::fprintf(stderr, "cellarium-cli: %s\n", saveError.c_str());
            return 1;
        }
    }

    if (options.printCells && !options.quiet) {
        for (int y = 0; y < current->height; ++y)
            for (int x = 0; x < current->width; ++x)
                if (uint8_t v = current->At(x, y)) std::printf("%d %d %d\n", x, y, int(v));
    }
    if (!options.quiet)
        std::printf("G:%05lld C:%05d B:%05d D:%05d Z:x1\n", generation, current->liveCount, births,
                    deaths);
    return 0;
}
