// cellarium-cli: drives the program's own document and view through the
// headless back end, as a scripted user would: open the pattern (confirming
// File Information) or fill a new document with a soup, choose the palette
// (a palette command, or Load Custom Colors), start statistics, press Step N
// times, Run until stagnation or step until the live cells repeat, stop statistics, save, Save As
// Image, and print the status strip's line. The runner and the desktop program thus never disagree
// on a status line or a statistics file.
#include <algorithm>
#include <cstdio>
#include <limits>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "cli_colour.h"
#include "cli_options.h"
#include "colour/palette_file.h"
#include "document/life_doc.h"
#include "document/life_view.h"
#include "engine/cell_board.h"
#include "engine/census_board.h"
#include "engine/identify.h"
#include "engine/soup.h"
#include "engine/step.h"
#include "formats/rle_writer.h"
#include "framework/frame_wnd.h"
#include "ids/command_ids.h"
#include "platform/headless/forwarding_files.h"
#include "platform/headless/headless_platform.h"
#include "shell/life_app.h"

using namespace cellarium;

namespace {

// Standard input as a file of the runner's back end: read through the C
// library's stdin stream, so that no path of the operating system's has to
// stand for it. It is never closed; writing to it is refused.
class StandardInputFile final : public PlatformFile {
public:
    bool Read(void* buffer, std::size_t count, std::size_t& got, FileError& cause) override {
        got = std::fread(buffer, 1, count, stdin);
        // Bytes read before an error are delivered first; the error comes
        // with the next read, which then gets none.
        if (got == 0 && std::ferror(stdin)) {
            cause = FileError::HardIO;
            return false;
        }
        return true;
    }
    bool Write(const void*, std::size_t, FileError& cause) override {
        cause = FileError::AccessDenied;
        return false;
    }
    bool Flush(FileError&) override { return true; }
    bool Close(FileError&) override { return true; }
};

// The headless back end's files, where PATTERN "-" opens standard input
// under the name the program's messages use for it.
class RunnerFiles final : public ForwardingFiles {
public:
    static constexpr const char* kStandardInputName = "standard input";

    explicit RunnerFiles(FileServices& files) : ForwardingFiles(files) {}

    std::unique_ptr<PlatformFile> OpenFile(const std::string& path, unsigned flags,
                                           FileError& cause) override {
        const bool forReading = (flags & (kModeWrite | kModeReadWrite | kModeCreate)) == 0;
        if (servesStandardInput && path == kStandardInputName && forReading) {
            cause = FileError::None;
            return std::make_unique<StandardInputFile>();
        }
        return Inner().OpenFile(path, flags, cause);
    }

    bool servesStandardInput = false;
};

// A byte sink over a C stream; errors show in the stream's error flag.
class FileByteSink final : public ByteSink {
public:
    explicit FileByteSink(std::FILE* stream) : stream_(stream) {}
    void Write(const void* bytes, std::size_t count) override {
        std::fwrite(bytes, 1, count, stream_);
    }

private:
    std::FILE* stream_;
};

class RunnerPlatform final : public HeadlessPlatform {
public:
    RunnerPlatform() : files_(HeadlessPlatform::Files()) {}
    FileServices& Files() override { return files_; }
    RunnerFiles& RunnerFileRole() { return files_; }

private:
    RunnerFiles files_;
};

class Progress {
public:
    Progress(bool on, long long total) : on_(on && total > 0), total_(total) {}
    void Update(long long done) {
        if (!on_) return;
        int pct = int(done * 100 / total_);
        if (pct == last_) return;
        last_ = pct;
        int filled = pct * 40 / 100;
        std::fprintf(stderr, "\r[%.*s%*s] %3d%%", filled,
                     "########################################", 40 - filled, "", pct);
        if (done == total_) std::fputc('\n', stderr);
        std::fflush(stderr);
    }
    // The number of generations done at which the bar next moves, at most
    // total (all of them when there is no bar).
    long long NextMove(long long done, long long total) const {
        if (!on_) return total;
        const long long pct = done * 100 / total;
        // The least d with d * 100 / total > pct.
        return std::min(total, ((pct + 1) * total + 99) / 100);
    }
    void Finish(long long done) {
        if (on_ && last_ != 100 && done > 0) std::fputc('\n', stderr);
    }

private:
    bool on_;
    long long total_;
    int last_ = -1;
};

bool HasColumn(const CliOptions& o, const char* name) {
    if (o.columns.empty()) return std::string(name) == "generation" || std::string(name) == "total";
    for (const std::string& c : o.columns)
        if (c == name) return true;
    return false;
}

// The runner's user: answers what the program shows and keeps the messages
// that explain a failure.
class Runner {
public:
    explicit Runner(const CliOptions& options) : options_(options), app_(platform_) {
        platform_.SetPainting(false);
        // A tick of Go to Generation makes as many generations as the
        // machine makes in a frame's time, as on the desktop.
        platform_.SetClockRealTime(true);
        platform_.onMessageBox = [this](const MessageBoxRequest& request, int) {
            // The run's own stops are no failures.
            if (request.text == kStagnationMessage || IsRepeatMessage(request.text)) return;
            messages_.push_back(request.text);
        };
    }

    int Run();

private:
    int Fail() {
        for (const std::string& m : messages_) std::fprintf(stderr, "%s\n", m.c_str());
        return 1;
    }
    CLifeView* View() const {
        CFrameWnd* frame = MainWindow();
        return frame ? dynamic_cast<CLifeView*>(frame->GetActiveView()) : nullptr;
    }
    // The message the view shows when a run stops at a repeat.
    bool IsRepeatMessage(const std::string& text) const {
        CLifeView* view = View();
        int64_t period = 0, start = 0;
        return view != nullptr && view->GetDocument() != nullptr &&
               view->GetDocument()->LastRepeat(period, start) &&
               text == RepeatsMessage(period, start);
    }
    // --until-cycle: the view's "Stop when the pattern repeats" on.
    void StopWhenRepeats(CLifeView& view);
    bool StartStatistics();
    bool ChoosePalette(const std::string& nameOrFile);
    void RunGenerations(CLifeView& view, const CLifeDoc& doc);

    const CliOptions& options_;
    std::optional<Cycle> cycle_;
    RunnerPlatform platform_;
    CLifeApp app_;
    std::vector<std::string> messages_;
};

void Runner::StopWhenRepeats(CLifeView& view) {
    if (!view.Analysis().StopWhenRepeats()) platform_.Command(ID_STOP_WHEN_REPEATS);
}

bool Runner::StartStatistics() {
    const CliOptions& o = options_;
    platform_.ExpectDialog(IDD_SAVE_STATS, [&o](DialogDriver& d) {
        d.Type(IDC_STATS_FILENAME, *o.statsPath);
        d.SetCheck(IDC_STATS_GENERATION, HasColumn(o, "generation"));
        d.SetCheck(IDC_STATS_TOTAL, HasColumn(o, "total"));
        d.SetCheck(IDC_STATS_BIRTHS, HasColumn(o, "births"));
        d.SetCheck(IDC_STATS_DEATHS, HasColumn(o, "deaths"));
        d.Click(IDOK);
    });
    // Shown again when the file cannot be opened: give up then.
    platform_.ExpectDialog(IDD_SAVE_STATS, [](DialogDriver& d) { d.Click(IDCANCEL); });
    platform_.Command(ID_STATS_START);
    platform_.ClearScript();
    CLifeView* view = View();
    return view != nullptr && view->Statistics().Recording();
}

bool Runner::ChoosePalette(const std::string& nameOrFile) {
    if (const unsigned command = PaletteCommandFor(nameOrFile)) {
        platform_.Command(command);
    } else {
        // "Load Custom Colors..." with the file dialog answered by the path.
        // A file that cannot be read or gives no colour is reported by the
        // program, and the palette stays as it was; the runner adds which
        // palettes it knows by name.
        const std::size_t before = messages_.size();
        platform_.ExpectFileDialog(nameOrFile);
        platform_.Command(ID_LOAD_CUSTOM_COLORS);
        platform_.ClearScript();
        if (messages_.size() != before || !IsCurrentPalette(PaletteId::Custom)) {
            messages_.push_back(PaletteFileFailedMessage(nameOrFile));
            return false;
        }
    }
    CLifeView* view = View();
    return view != nullptr && view->GetDocument()->HasBoards() && !platform_.QuitRequested();
}

void Runner::RunGenerations(CLifeView& view, const CLifeDoc& doc) {
    const bool unlimited = options_.generations == kUnlimitedGenerations;
    // Nobody undoes a scripted run: the steps keep no copies of the board.
    // Nor does anybody see a graph of its counts.
    if (CLifeDoc* d = view.GetDocument()) {
        d->KeepHistory(false);
        d->KeepCounts(false);
    }
    Progress progress(options_.progress && !unlimited, options_.generations);
    long long done = 0;
    auto more = [&] {
        return (unlimited || done < options_.generations) && !platform_.QuitRequested();
    };
    // With --until-cycle the view stops at the first generation whose live
    // cells equal an earlier one's of this run, the starting board being
    // generation 0.
    if (options_.untilCycle) StopWhenRepeats(view);
    auto repeated = [&] {
        int64_t period = 0, start = 0;
        if (!options_.untilCycle || !doc.LastRepeat(period, start)) return false;
        cycle_ = Cycle{start, period};
        return true;
    };
    if (options_.untilStagnation && options_.untilCycle) {
        // Run at the default speed, one generation a tick, until the run stops
        // by itself at stagnation or a repeat.
        if (more() && platform_.Command(ID_TOOLS_RUN)) {
            while (more() && view.IsRunning()) {
                const int64_t before = view.Simulation().Generation();
                platform_.AdvanceTime(uint64_t(CLifeView::kRunInterval));
                if (view.Simulation().Generation() == before) continue;
                progress.Update(++done);
            }
            if (view.IsRunning()) platform_.Command(ID_TOOLS_PAUSE);
            repeated();
        }
    } else if (options_.untilStagnation) {
        // Go to Generation N, and let the clock tick until the run stops by
        // itself there or at stagnation.
        const int64_t target = std::min<int64_t>(options_.generations, kMaxGeneration);
        if (target > 0) {
            platform_.ExpectDialog(IDD_GO_TO_GENERATION, [target](DialogDriver& d) {
                d.Type(IDC_GOTO_GENERATION, std::to_string(target));
                d.Click(IDOK);
            });
            const bool started = platform_.Command(ID_GO_TO_GENERATION);
            platform_.ClearScript();
            while (started && view.IsRunning() && !platform_.QuitRequested()) {
                platform_.AdvanceTime(1);
                done = view.Simulation().Generation();
                progress.Update(done);
            }
        }
    } else {
        // Step pressed N times (or, with --until-cycle, until the live cells
        // repeat: a stagnant step is a repeat of period 1), in batches that
        // end where the progress bar moves: the generations, counters and
        // statistics lines are those of single steps, without the window's
        // work between them. A step that stagnates ends its batch; the next
        // batch goes on from there.
        while (more()) {
            const long long batch = unlimited
                                        ? std::numeric_limits<long long>::max()
                                        : progress.NextMove(done, options_.generations) - done;
            const int64_t before = view.Simulation().Generation();
            if (view.StepGenerations(batch) == RunStop::NoBoards) break;
            done += view.Simulation().Generation() - before;
            progress.Update(done);
            if (repeated()) break;
        }
    }
    progress.Finish(done);
}

int Runner::Run() {
    // The rule starts as Conway's, as in the desktop program.
    app_.InitInstance();
    app_.WriteProfileInt("Size", "Width", options_.width);
    app_.WriteProfileInt("Size", "Height", options_.height);

    if (options_.pattern) {
        const bool standardInput = *options_.pattern == "-";
        platform_.RunnerFileRole().servesStandardInput = standardInput;
        const std::string path =
            standardInput ? RunnerFiles::kStandardInputName : *options_.pattern;
        // File Information's note (the pattern moved onto the board, the grid
        // its file was written for) goes to standard error, a line each.
        std::string note;
        platform_.ExpectDialog(IDD_FILE_INFO, [&note](DialogDriver& d) {
            note = d.Text(IDC_FI_NOTE);
            d.Click(IDOK);
        });
        if (app_.OpenDocumentFile(path) == nullptr) return Fail();
        if (!options_.quiet && !note.empty()) {
            for (std::size_t at = 0; at < note.size();) {
                std::size_t end = note.find_first_of("\r\n", at);
                if (end == std::string::npos) end = note.size();
                if (end > at) std::fprintf(stderr, "%.*s\n", int(end - at), note.data() + at);
                at = end + 1;
            }
        }
    } else {
        app_.OnFileNew();
    }
    CLifeView* view = View();
    CLifeDoc* doc = view ? view->GetDocument() : nullptr;
    if (doc == nullptr || !doc->HasBoards() || platform_.QuitRequested()) return Fail();

    if (options_.soup) {
        const uint64_t seed = options_.soupSeed ? *options_.soupSeed : std::random_device{}();
        FillSoup(*doc->CurrentBoard(), options_.soupDensity, seed);
        view->UpdateStatusLine();
    }
    if (options_.hashSoupRoot) {
        PlaceHashSoup(*doc->CurrentBoard(),
                      HashSoup(*options_.hashSoupRoot, options_.hashSoupIndex));
        view->UpdateStatusLine();
    }
    if (options_.rule) {
        doc->SetRule(RuleFromText(*options_.rule));
    }
    if (options_.palette && !ChoosePalette(*options_.palette)) return Fail();

    if (options_.statsPath && !StartStatistics()) return Fail();
    const std::size_t messagesBefore = messages_.size();
    RunGenerations(*view, *doc);
    if (options_.statsPath) platform_.Command(ID_STATS_STOP);
    // A statistics file that could not be written to the end.
    if (messages_.size() != messagesBefore || platform_.QuitRequested()) return Fail();

    const SaveFormat saveFormat =
        options_.savePath ? SaveFormatFor(*options_.savePath) : SaveFormat::Life105;
    if (options_.savePath) {
        switch (saveFormat) {
            case SaveFormat::Life105:
            case SaveFormat::Rle:
            case SaveFormat::Plaintext:
                // Save As... with the file dialog answered by the path: the
                // document writes the format the name asks for.
                platform_.ExpectFileDialog(*options_.savePath);
                platform_.Command(ID_FILE_SAVE_AS);
                platform_.ClearScript();
                break;
            case SaveFormat::RleToStandardOutput: {
                // The board as Export as RLE writes it; standard output then
                // holds nothing else, so the next program of a pipeline reads
                // a pattern only.
                FileByteSink out(stdout);
                WriteRlePattern(*doc->CurrentBoard(), doc->GetRule(), out, RleGrid::Bounded);
                if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
                    messages_.push_back("Unable to write the pattern to standard output.");
                    return Fail();
                }
                break;
            }
        }
        if (messages_.size() != messagesBefore) return Fail();
    }

    if (options_.printCells && !options_.quiet) {
        const CellBoard& board = *doc->CurrentBoard();
        for (int y = 0; y < board.height; ++y)
            for (int x = 0; x < board.width; ++x)
                if (uint8_t v = board.At(x, y)) std::printf("%d %d %d\n", x, y, int(v));
    }
    if (options_.gifPath) {
        // "Save As Image..." with the file dialog answered by the path; a
        // failed export shows the program's message, which goes to stderr.
        platform_.ExpectFileDialog(*options_.gifPath);
        platform_.Command(ID_SAVE_AS_IMAGE);
        platform_.ClearScript();
        if (messages_.size() != messagesBefore) return Fail();
    }
    if (!options_.quiet) {
        // With the pattern on standard output the status line and the lines
        // around it go to standard error.
        std::FILE* out = saveFormat == SaveFormat::RleToStandardOutput ? stderr : stdout;
        if (cycle_)
            std::fprintf(out, "cycle: period %lld from generation %lld\n",
                         static_cast<long long>(cycle_->period),
                         static_cast<long long>(cycle_->start));
        CDialogBar* strip = MainWindow()->GetControlBar(kDialogBarId);
        std::fprintf(out, "%s\n", strip ? strip->GetDlgItemText(IDC_STATUS_TEXT).c_str() : "");
        if (options_.identify)
            std::fprintf(out, "%s\n",
                         IdentityLine(Identify(*doc->CurrentBoard(), doc->GetRule())).c_str());
    }
    if (options_.census) {
        const CensusRule rule = CensusRule::FromRule(doc->GetRule());
        if (rule.BirthOnZero()) {
            std::fputs(
                "cellarium-cli: the census does not count rules where cells are born with "
                "no live neighbours\n",
                stderr);
            return 1;
        }
        if (!options_.quiet) {
            std::FILE* out = saveFormat == SaveFormat::RleToStandardOutput ? stderr : stdout;
            for (const auto& [code, count] : BoardCensus(*doc->CurrentBoard(), rule))
                std::fprintf(out, "%s %llu\n", code.c_str(),
                             static_cast<unsigned long long>(count));
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        std::vector<std::string> args(argv + 1, argv + argc);
        CliOptions options;
        std::string error;
        switch (ParseCliOptions(args, options, error)) {
            case ParseStatus::Help:
                std::fputs(CliUsage().c_str(), stdout);
                return 0;
            case ParseStatus::UsageError:
                std::fprintf(stderr, "cellarium-cli: %s\n%s", error.c_str(), CliUsage().c_str());
                return 2;
            case ParseStatus::Ok:
                break;
        }
        if (options.threads) SetStepThreads(*options.threads);
        Runner runner(options);
        return runner.Run();
    } catch (const std::exception& e) {
        // Nothing of ours throws on purpose; what the standard library may
        // throw (memory, mostly) ends the run with a message, not an abort.
        std::fprintf(stderr, "cellarium-cli: %s\n", e.what());
        return 1;
    }
}
