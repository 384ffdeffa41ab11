// The desktop program's memory over a long run: its own application,
// document and view on the Qt back end (offscreen), a 150 x 150 soup at the
// Maximum speed with the population graph shown. Every ten seconds it prints
//
//   T s  generation G  resident R MB  graph counts H MB
//
// and at the end how much the resident memory grew after the first minute.
// A soup that settles into still lifes stops the run; it is sown again with
// the next seed and the run goes on.
//
// Usage: memory_benchmark [SECONDS]   (300)
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "document/life_doc.h"
#include "document/life_view.h"
#include "engine/cell_board.h"
#include "engine/soup.h"
#include "framework/frame_wnd.h"
#include "ids/command_ids.h"
#include "platform/qt/qt_offscreen.h"
#include "platform/qt/qt_platform.h"
#include "platform/qt/qt_windows.h"
#include "shell/life_app.h"

using namespace cellarium;
using Clock = std::chrono::steady_clock;

namespace {

double ResidentMegabytes() {
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1 << 20);
}

CLifeView* View() {
    CFrameWnd* frame = MainWindow();
    return frame ? dynamic_cast<CLifeView*>(frame->GetActiveView()) : nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    QtOffscreenDesktop session(argc, argv);
    const double seconds = argc > 1 ? std::max(20.0, std::atof(argv[1])) : 300.0;
    QtPlatform platform;
    CLifeApp app(platform);
    app.InitInstance();
    app.WriteProfileInt("Size", "Width", 150);
    app.WriteProfileInt("Size", "Height", 150);
    app.OnFileNew();
    if (CSingleDocTemplate* t = app.GetDocTemplate()) t->CloseFileList();
    CLifeView* view = View();
    if (view == nullptr || !view->GetDocument()->HasBoards()) {
        std::fprintf(stderr, "memory_benchmark: no board\n");
        return 1;
    }
    auto choose = [&](unsigned id) { platform.WindowRole().ChooseCommand(id); };
    if (!view->Graph().Shown()) choose(ID_POPULATION_GRAPH);
    choose(ID_SPEED_LAST);
    uint64_t seed = 1;
    FillSoup(*view->GetDocument()->CurrentBoard(), 0.5, seed);
    choose(ID_TOOLS_RUN);

    const Clock::time_point start = Clock::now();
    double atMinute = 0, most = 0, next = 10;
    for (;;) {
        session.RunFor(200);
        if (!view->IsRunning()) {
            // Settled (the message box was answered): another soup.
            FillSoup(*view->GetDocument()->CurrentBoard(), 0.5, ++seed);
            choose(ID_TOOLS_RUN);
        }
        const double t = std::chrono::duration<double>(Clock::now() - start).count();
        if (t < next) continue;
        next += 10;
        const double rss = ResidentMegabytes();
        if (t >= 60 && atMinute == 0) atMinute = rss;
        if (t >= 60) most = std::max(most, rss);
        std::printf("%4.0f s  generation %lld  resident %.1f MB  graph counts %.1f MB\n", t,
                    static_cast<long long>(view->Simulation().Generation()), rss,
                    double(view->GetDocument()->Counts().Bytes()) / (1 << 20));
        std::fflush(stdout);
        if (t >= seconds) break;
    }
    choose(ID_TOOLS_PAUSE);
    std::printf("grew %.1f MB after the first minute (soups sown: %llu)\n", most - atMinute,
                static_cast<unsigned long long>(seed));
    return 0;
}
