// The window against the engine: the desktop program's own application,
// document and view on the Qt back end (offscreen), running a soup at the
// Maximum speed with every frame drawn, against the bare step loop on the
// same board, with the same step threads, in the same process. For each
// board it prints
//
//   BOARD window G gen/s engine E gen/s ratio R
//
// where R = G / E, for an 800 x 800 soup of density 0.5 and 4000 x 4000 and
// 10000 x 10000 soups of density 0.3. Standard error gets what a user
// notices besides: the frames drawn a second, the longest the window was
// busy in one go (an input waits at most that long), and the processor time
// the program takes in a second while paused, and each round's figures (a
// first round may wait for memory the system has not cleared yet). Both
// loops start from the same soup and make the same number of generations.
// They take turns in several short rounds and the median of each counts, so
// that other work on the machine weighs on both alike.
//
// Usage: run_benchmark [SECONDS]   (the engine's time per round, 0.5)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "document/life_doc.h"
#include "document/life_view.h"
#include "engine/cell_board.h"
#include "engine/rule.h"
#include "engine/soup.h"
#include "engine/step.h"
#include "framework/frame_wnd.h"
#include "ids/command_ids.h"
#include "platform/qt/qt_offscreen.h"
#include "platform/qt/qt_platform.h"
#include "platform/qt/qt_windows.h"
#include "shell/life_app.h"

using namespace cellarium;
using Clock = std::chrono::steady_clock;

namespace {

constexpr uint64_t kSeed = 19;
constexpr int kRounds = 7;

double Seconds(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Board {
    int side;
    double density;
};

// The bare step loop on the document's own two boards: n generations of
// the soup, as the document makes them, without counting, checking or
// drawing anything. Leaves the boards holding whatever generation came last.
double EngineRate(CLifeDoc& doc, const Board& b, int64_t n) {
    CellBoard* current = doc.CurrentBoard();
    CellBoard* scratch = doc.ScratchBoard();
    FillSoup(*current, b.density, kSeed);
    int32_t births = 0, deaths = 0;
    const Clock::time_point start = Clock::now();
    for (int64_t g = 0; g < n; ++g) {
        current->ComputeNext(*scratch, Rule(), int(g & 0xFF) + 1, births, deaths);
        std::swap(current, scratch);
    }
    return double(n) / Seconds(start, Clock::now());
}

// How many generations the engine makes in about `seconds`.
int64_t GenerationsFor(CLifeDoc& doc, const Board& b, double seconds) {
    CellBoard* current = doc.CurrentBoard();
    CellBoard* scratch = doc.ScratchBoard();
    FillSoup(*current, b.density, kSeed);
    int32_t births = 0, deaths = 0;
    int64_t n = 0;
    const Clock::time_point start = Clock::now();
    while (Seconds(start, Clock::now()) < seconds) {
        current->ComputeNext(*scratch, Rule(), int(n & 0xFF) + 1, births, deaths);
        std::swap(current, scratch);
        ++n;
    }
    return std::max<int64_t>(n, 10);
}

class Window {
public:
    Window(QtOffscreenDesktop& session, QtPlatform& platform, CLifeApp& app)
        : session_(session), platform_(platform), app_(app) {}

    // A new pattern of the board's size, filled with the soup.
    bool Open(const Board& b) {
        app_.WriteProfileInt("Size", "Width", b.side);
        app_.WriteProfileInt("Size", "Height", b.side);
        app_.OnFileNew();
        if (CSingleDocTemplate* t = app_.GetDocTemplate()) t->CloseFileList();
        board_ = b;
        return View() != nullptr && View()->GetDocument()->HasBoards();
    }

    CLifeDoc& Document() const { return *View()->GetDocument(); }

    struct Run {
        double rate;       // generations a second
        int frames;        // frames drawn
        double longestMs;  // the longest pass of the event loop
    };

    // Runs the soup at Maximum from its start until n generations are made.
    Run Rate(int64_t n) {
        CLifeView& view = *View();
        FillSoup(*view.GetDocument()->CurrentBoard(), board_.density, kSeed);
        view.UpdateStatusLine();
        view.Invalidate(false);
        session_.RunUntil([&] { return platform_.WindowRole().PaintCount(view) > 0; });
        Choose(ID_SPEED_LAST);
        const int32_t first = view.Simulation().Generation();
        const int paints = platform_.WindowRole().PaintCount(view);
        const Clock::time_point start = Clock::now();
        Choose(ID_TOOLS_RUN);
        Clock::time_point last = Clock::now();
        double longest = 0;
        session_.RunUntil([&] {
            const Clock::time_point now = Clock::now();
            longest = std::max(longest, Seconds(last, now));
            last = now;
            return int64_t(view.Simulation().Generation()) - first >= n;
        });
        const Clock::time_point end = Clock::now();
        const int64_t made = int64_t(view.Simulation().Generation()) - first;
        Choose(ID_TOOLS_PAUSE);
        return Run{double(made) / Seconds(start, end),
                   platform_.WindowRole().PaintCount(view) - paints, longest * 1000};
    }

private:
    CLifeView* View() const {
        CFrameWnd* frame = MainWindow();
        return frame ? dynamic_cast<CLifeView*>(frame->GetActiveView()) : nullptr;
    }
    void Choose(unsigned id) {
        if (!platform_.WindowRole().ChooseCommand(id)) {
            std::fprintf(stderr, "run_benchmark: command %u refused\n", id);
            std::exit(1);
        }
    }

    QtOffscreenDesktop& session_;
    QtPlatform& platform_;
    CLifeApp& app_;
    Board board_{};
};

}  // namespace

int main(int argc, char** argv) {
    QtOffscreenDesktop session(argc, argv);
    const double seconds = argc > 1 ? std::max(0.1, std::atof(argv[1])) : 0.5;
    QtPlatform platform;
    CLifeApp app(platform);
    app.InitInstance();
    Window window(session, platform, app);

    for (const Board& b : {Board{800, 0.5}, Board{4000, 0.3}, Board{10000, 0.3}}) {
        if (!window.Open(b)) {
            std::fprintf(stderr, "run_benchmark: no %dx%d board\n", b.side, b.side);
            return 1;
        }
        const int64_t n = GenerationsFor(window.Document(), b, seconds);
        std::vector<double> engine, windowRate, frameRate;
        double longest = 0;
        for (int round = 0; round < kRounds; ++round) {
            engine.push_back(EngineRate(window.Document(), b, n));
            const Window::Run run = window.Rate(n);
            windowRate.push_back(run.rate);
            frameRate.push_back(run.frames * run.rate / double(n));
            longest = std::max(longest, run.longestMs);
            std::fprintf(stderr, "  round %d: engine %.1f gen/s, window %.1f gen/s, busy %.1f ms\n",
                         round, engine.back(), run.rate, run.longestMs);
        }
        const double g = Median(windowRate), e = Median(engine);
        std::printf("%dx%d window %.0f gen/s engine %.0f gen/s ratio %.3f\n", b.side, b.side, g, e,
                    g / e);
        std::fprintf(stderr,
                     "%dx%d: %lld generations a round, %.0f frames a second, busy %.1f ms at "
                     "most in one go\n",
                     b.side, b.side, static_cast<long long>(n), Median(frameRate), longest);
        std::fflush(stdout);
    }
    // Once the pause has been drawn and the idle work after it is done.
    session.RunFor(300);
    const std::clock_t before = std::clock();
    session.RunFor(1000);
    std::fprintf(stderr, "paused: %.1f ms of processor time in 1 s\n",
                 double(std::clock() - before) * 1000.0 / CLOCKS_PER_SEC);
    return 0;
}
