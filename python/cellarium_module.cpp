// The compiled half of the Python module: boards as numpy arrays, the step,
// runs with statistics and cycle detection, Identify, soups, and the readers
// and writers of the formats layer. It stands on engine/, formats/ and colour/
// only; cellarium/__init__.py adds what is easier said in Python.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "colour/gif_writer.h"
#include "colour/image_sink.h"
#include "colour/palette.h"
#include "engine/cell_board.h"
#include "engine/census_board.h"
#include "engine/cycle_detector.h"
#include "engine/identify.h"
#include "engine/run_session.h"
#include "engine/soup.h"
#include "engine/step.h"
#include "files/safe_replace.h"
#include "formats/byte_stream.h"
#include "formats/pattern_reader.h"
#include "formats/pattern_writer.h"
#include "formats/rle_writer.h"
#include "formats/rule_notation.h"
#include "platform/posix/posix_file_role.h"

namespace py = pybind11;
using namespace cellarium;

namespace {

constexpr int kMaxThreads = 256;

void CheckSide(const char* name, long long side) {
    if (side < kMinBoardSide || side > kMaxBoardSide)
        throw py::value_error(std::string(name) + " " + std::to_string(side) + " is not in " +
                              std::to_string(kMinBoardSide) + ".." + std::to_string(kMaxBoardSide));
}

// Rule text as the runner takes it: every form ParseRule reads
// (formats/rule_notation.h), without a grid suffix.
cellarium::Rule RuleOfText(const std::string& text) {
    if (const std::string problem = SetRuleProblem(text); !problem.empty())
        throw py::value_error(problem);
    return ParseRule(text).rule;
}

// The canonical text of a rule: B3/S23, B2-a/S12, MAP...
std::string RuleText(const cellarium::Rule& rule) {
    return RuleString(rule);
}

// A board of the module: a run session (the board pair, the rule, the
// counter, the step threads) and the claim that keeps one thread at a time
// on it.
class Board {
public:
    Board(long long width, long long height) {
        CheckSide("width", width);
        CheckSide("height", height);
        if (!session.MakeBoards(int(width), int(height))) throw std::bad_alloc();
    }

    CellBoard& Current() const { return *session.Current(); }

    // After the cells were changed from outside the step: the other board
    // takes the same cells (the border above all, which the step reads but
    // never writes), words and name; the bounds and the live count are found
    // again and the watch for repeats starts again.
    void CellsChanged() {
        CellBoard& current = Current();
        CellBoard& scratch = *session.Scratch();
        current.BytesWrittenOutside();
        std::memcpy(scratch.EditCells(), current.Cells(), current.CellCount());
        current.ScanBounds();
        int32_t live = 0;
        for (int y = 1; y < current.height - 1; ++y)
            for (int x = 1; x < current.width - 1; ++x) live += current.At(x, y) != 0;
        current.liveCount = live;
        scratch.bounds = current.bounds;
        scratch.liveCount = live;
        WordsChanged();
        session.BoardChanged();
    }

    // The description and name are the pattern's, not a generation's: both
    // boards hold them, so that every step keeps them.
    void WordsChanged() {
        session.Scratch()->description = Current().description;
        session.Scratch()->name = Current().name;
    }

    // A writable or read-only view of the current board's bytes.
    py::array_t<uint8_t> View(py::handle owner, bool writable) {
        const CellBoard& b = Current();
        py::array_t<uint8_t> view({py::ssize_t(b.height), py::ssize_t(b.width)},
                                  {py::ssize_t(b.width), py::ssize_t(1)}, b.Cells(), owner);
        if (!writable) view.attr("setflags")(py::arg("write") = false);
        return view;
    }

    // Taken for the whole of a step, run or identify, and for a moment by
    // whatever reads or changes the cells: another thread is refused while a
    // step is under way, never left to see half a generation.
    std::unique_lock<std::mutex> Claim(const char* what) {
        std::unique_lock<std::mutex> lock(busy, std::try_to_lock);
        if (!lock.owns_lock())
            throw py::value_error(std::string("cannot ") + what +
                                  ": the board is being stepped by another thread");
        if (editing > 0)
            throw py::value_error(std::string("cannot ") + what +
                                  ": the board is being edited (inside `with board.edit()`)");
        return lock;
    }

    mutable RunSession session;
    int editing = 0;
    std::mutex busy;
};

// The rule of a call: the board's own unless rule text is given.
cellarium::Rule CallRule(const Board& board, const std::optional<std::string>& text) {
    return text ? RuleOfText(*text) : board.session.Rule();
}

// The step threads for one call of one board: `threads`, or the program's
// setting when None.
class StepThreadsFor {
public:
    StepThreadsFor(Board& board, std::optional<int> threads) : pool_(board.session.Threads()) {
        if (threads && (*threads < 1 || *threads > kMaxThreads))
            throw py::value_error("threads must be 1.." + std::to_string(kMaxThreads));
        pool_.SetThreads(threads ? *threads : 0);
    }
    ~StepThreadsFor() { pool_.SetThreads(0); }

private:
    StepPool& pool_;
};

// Ctrl-C during a long call: the call runs without the GIL, so every 20 ms it
// takes the GIL for a moment and lets Python look at its signals; a pending
// KeyboardInterrupt (or any exception a signal handler raised) stops the run
// after the generation in hand and is raised once the call returns.
class SignalWatch {
public:
    bool operator()() {
        const auto now = std::chrono::steady_clock::now();
        if (now < next_) return false;
        next_ = now + std::chrono::milliseconds(20);
        py::gil_scoped_acquire gil;
        if (PyErr_CheckSignals() == 0) return false;
        raised_ = std::make_unique<py::error_already_set>();
        return true;
    }
    // Raises what a signal handler raised, if it did (with the GIL held).
    void RaiseIfInterrupted() {
        if (raised_) throw std::move(*raised_);
    }

private:
    std::chrono::steady_clock::time_point next_ = std::chrono::steady_clock::now();
    std::unique_ptr<py::error_already_set> raised_;
};

struct StatRow {
    int64_t generation;
    int32_t total;
    int32_t births;
    int32_t deaths;
};

struct RunResult {
    int64_t generations = 0;  // steps taken
    int32_t births = 0, deaths = 0, population = 0;
    std::optional<std::string> stopped;  // "stagnation", "cycle" or None
    std::optional<int64_t> start, period, firstRepeat;
    py::object stats = py::none();
};

class StatRows final : public GenerationObserver {
public:
    void GenerationDone(const GenerationRecord& r) override {
        rows.push_back(StatRow{generation + 1, r.live, r.births, r.deaths});
        ++generation;
    }
    int64_t generation = 0;  // the counter, 64 bits wide
    std::vector<StatRow> rows;
};

RunResult Run(Board& board, long long generations, const std::optional<std::string>& ruleText,
              std::optional<std::string> until, bool stats, std::optional<int> threads) {
    if (generations < 0) throw py::value_error("generations must not be negative");
    if (until && *until != "stagnation" && *until != "cycle")
        throw py::value_error("until must be None, \"stagnation\" or \"cycle\"");
    const cellarium::Rule rule = CallRule(board, ruleText);
    auto lock = board.Claim("step");
    StepThreadsFor stepThreads(board, threads);
    RunSession& session = board.session;
    // A rule given for this call only: the board's own comes back after it.
    const cellarium::Rule own = session.Rule();
    session.SetRule(rule);
    RunResult result;
    StatRows rows;
    rows.generation = session.Generation();
    SignalWatch interrupted;
    const int64_t before = session.Generation();
    RunStop stop = RunStop::Count;
    if (generations > 0) {
        py::gil_scoped_release release;
        session.WatchRepeats(until && *until == "cycle");
        session.RestartRepeatWatch();  // a repeat of this run's generations
        RunLimits limits;
        limits.generations = generations;
        limits.stopAtStagnation = until && *until == "stagnation";
        limits.cancelled = std::ref(interrupted);
        // Through whole periods of a cycle without stepping them.
        limits.jump = true;
        stop = session.Run(limits, stats ? &rows : nullptr);
        session.WatchRepeats(false);
    }
    session.SetRule(own);
    interrupted.RaiseIfInterrupted();
    result.generations = session.Generation() - before;
    result.births = session.Births();
    result.deaths = session.Deaths();
    if (stop == RunStop::Stagnation) result.stopped = "stagnation";
    if (stop == RunStop::Repeat) {
        const Cycle found = *session.LastRepeat();
        result.stopped = "cycle";
        result.start = found.start;
        result.period = found.period;
        result.firstRepeat = found.start + found.period;
    }
    result.population = board.Current().liveCount;
    if (stats) result.stats = py::array_t<StatRow>(py::ssize_t(rows.rows.size()), rows.rows.data());
    return result;
}

std::unique_ptr<Board> Soup(long long width, long long height, double density,
                            unsigned long long seed) {
    if (!(density >= 0.0 && density <= 1.0)) throw py::value_error("density must be 0..1");
    auto board = std::make_unique<Board>(width, height);
    FillSoup(board->Current(), density, seed);
    board->CellsChanged();
    return board;
}

std::unique_ptr<Board> HashSoupBoard(const std::string& root, unsigned long long index,
                                     long long width, long long height) {
    auto board = std::make_unique<Board>(width, height);
    PlaceHashSoup(board->Current(), HashSoup(root, index));
    board->CellsChanged();
    return board;
}

CensusRule CensusRuleOf(const std::string& ruleText) {
    CensusRule census = CensusRule::FromRule(RuleOfText(ruleText));
    if (census.BirthOnZero())
        throw py::value_error(
            "the census does not count rules where cells are born with no live "
            "neighbours");
    return census;
}

py::dict CensusDict(const CensusCounts& counts) {
    py::dict out;
    for (const auto& [code, count] : counts) out[py::str(code)] = count;
    return out;
}

py::dict BoardCensusOf(Board& board, const std::optional<std::string>& ruleText) {
    const CensusRule rule = CensusRuleOf(ruleText ? *ruleText : RuleText(board.session.Rule()));
    auto lock = board.Claim("take a census of the board");
    std::vector<std::pair<int32_t, int32_t>> cells = LiveInteriorCells(board.Current());
    std::map<std::string, uint64_t> tally;
    {
        py::gil_scoped_release release;
        Census census(rule);
        census.AddCells(cells, tally);
    }
    return CensusDict(SortedCensus(tally));
}

// The census of soups first..last - 1 of a root: (counts, samples), samples
// giving each object's first ten soups.
py::tuple CensusSoups(const std::string& root, unsigned long long first, unsigned long long last,
                      const std::string& ruleText) {
    if (last < first) throw py::value_error("the last soup comes before the first");
    const CensusRule rule = CensusRuleOf(ruleText);
    std::map<std::string, uint64_t> total;
    std::map<std::string, std::vector<uint64_t>> samples;
    {
        py::gil_scoped_release release;
        Census census(rule);
        std::map<std::string, uint64_t> one;
        for (unsigned long long i = first; i < last; ++i) {
            one.clear();
            census.AddSoup(HashSoup(root, i), one);
            for (const auto& [code, count] : one) {
                total[code] += count;
                std::vector<uint64_t>& ids = samples[code];
                if (ids.size() < 10) ids.push_back(i);
            }
        }
    }
    py::dict ids;
    for (const auto& [code, list] : samples) ids[py::str(code)] = py::cast(list);
    return py::make_tuple(CensusDict(SortedCensus(total)), ids);
}

class MessageReporter final : public PatternReporter {
public:
    void ShowMessage(const std::string& text) override { message = text; }
    std::string message;
};

// The bytes of an open file, read in large blocks without the GIL (the
// module's callers hold no Python object of it), so a big file is never held
// whole. Stops early when the watch says Ctrl-C was pressed.
class FileSource final : public ByteSource {
public:
    FileSource(int fd, SignalWatch& interrupted) : fd_(fd), interrupted_(interrupted) {}
    int Read(uint8_t& byte) override {
        if (pos_ == size_ && !Fill()) return 0;
        byte = buffer_[pos_++];
        return 1;
    }
    int error = 0;  // errno of a failed read

private:
    bool Fill() {
        if (interrupted_()) return false;
        for (;;) {
            const ssize_t got = ::read(fd_, buffer_.data(), buffer_.size());
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) error = errno;
            if (got <= 0) return false;
            pos_ = 0;
            size_ = std::size_t(got);
            return true;
        }
    }

    int fd_;
    SignalWatch& interrupted_;
    std::vector<uint8_t> buffer_ = std::vector<uint8_t>(std::size_t(1) << 20);
    std::size_t pos_ = 0, size_ = 0;
};

// The reader's failure in the module's words: the desktop's message sends
// the user to its own menus.
std::string ReadFailure(const std::string& message, const Board& board) {
    const CellBoard& b = board.Current();
    const std::string tooBig = PatternTooBigMessage(b.width, b.height);
    if (message.compare(0, tooBig.size(), tooBig) == 0) {
        // The reader's own words about the sizes, when it gave them.
        std::string sizes = message.substr(tooBig.size());
        if (sizes.size() > 3 && sizes.compare(0, 2, " (") == 0 && sizes.back() == ')') {
            sizes = sizes.substr(2, sizes.size() - 3);
            if (!sizes.empty() && sizes.back() == '.') sizes.pop_back();
            if (!sizes.empty()) sizes[0] = char(std::tolower(uint8_t(sizes[0])));
            sizes = " (" + sizes + ")";
        }
        return "the pattern does not fit a board of " + std::to_string(b.width) + "x" +
               std::to_string(b.height) + " cells" + sizes +
               ": give read() or parse() a larger width and height";
    }
    if (message == PatternTooLongMessage())
        return "not a pattern: more than " + std::to_string(kMaxPatternBytes / 1'000'000) +
               " MB, longer than any pattern for the largest board (" +
               std::to_string(kMaxBoardSide) + "x" + std::to_string(kMaxBoardSide) + ")";
    return message;
}

// Reads a pattern onto a new board: the board with the pattern's rule, its
// description and name.
std::unique_ptr<Board> ReadBoard(ByteSource& source, long long width, long long height,
                                 SignalWatch* interrupted) {
    auto board = std::make_unique<Board>(width, height);
    MessageReporter reporter;
    cellarium::Rule rule;  // Conway's unless it names one
    bool read = false;
    {
        py::gil_scoped_release release;
        read = ReadPattern(board->Current(), source, reporter, rule);
    }
    if (interrupted != nullptr) interrupted->RaiseIfInterrupted();
    if (!read) throw py::value_error(ReadFailure(reporter.message, *board));
    board->session.SetRule(rule);
    board->CellsChanged();
    return board;
}

py::tuple Described(std::unique_ptr<Board> board) {
    const std::string rule = RuleText(board->session.Rule());
    const std::string description = board->Current().description;
    return py::make_tuple(std::move(board), rule, py::bytes(description));
}

// From an open file descriptor (the caller opened the path and closes it).
py::tuple ReadFile(int fd, long long width, long long height) {
    SignalWatch interrupted;
    FileSource source(fd, interrupted);
    auto board = ReadBoard(source, width, height, &interrupted);
    if (source.error != 0) {
        errno = source.error;
        throw py::error_already_set((PyErr_SetFromErrno(PyExc_OSError), py::error_already_set()));
    }
    return Described(std::move(board));
}

// From pattern text in memory (bytes, or any object with the buffer
// protocol), read where it lies.
py::tuple ParseText(const py::buffer& text, long long width, long long height) {
    const py::buffer_info info = text.request();
    MemoryByteSource source(info.ptr, std::size_t(info.size) * std::size_t(info.itemsize));
    return Described(ReadBoard(source, width, height, nullptr));
}

enum class Format { Life105, Rle, Plaintext };

py::bytes Write(Board& board, Format format, const std::optional<std::string>& ruleText,
                const std::string& title) {
    const cellarium::Rule rule = CallRule(board, ruleText);
    auto lock = board.Claim("write the board");
    MemoryByteSink sink;
    switch (format) {
        case Format::Life105:
            WritePattern(board.Current(), rule, sink);
            break;
        case Format::Rle:
            WriteRlePattern(board.Current(), rule, sink, RleGrid::Bounded);
            break;
        case Format::Plaintext:
            WritePlaintextPattern(board.Current(), title, sink);
            break;
    }
    return py::bytes(sink.bytes());
}

py::bytes Gif(Board& board, const std::string& palette) {
    static const std::pair<const char*, PaletteId> kNames[] = {
        {"autumn", PaletteId::Autumn},    {"blue", PaletteId::ShadesOfBlue},
        {"rainbow", PaletteId::Rainbow},  {"sunshine", PaletteId::Sunshine},
        {"bw", PaletteId::BlackAndWhite},
    };
    for (const auto& [name, id] : kNames)
        if (palette == name) {
            auto lock = board.Claim("make a GIF of the board");
            MemoryImageSink sink;
            const CellBoard& b = board.Current();
            const int result =
                WriteBoardGif(sink, GifCells{b.Cells(), b.width, b.height}, FixedPalette(id));
            if (result != kGifOk) throw py::value_error(GifResultMessage(result));
            return py::bytes(reinterpret_cast<const char*>(sink.bytes.data()), sink.bytes.size());
        }
    throw py::value_error("'" + palette +
                          "' is not a palette: use autumn, blue, rainbow, "
                          "sunshine or bw");
}

// The module's own file role: the real files, found and replaced as the
// runner finds and replaces them, with no framework under it.
FileRole& ModuleFiles() {
    static PosixFileRole files;
    return files;
}

// Why a save failed, in the words the runner uses, as the matching OSError.
[[noreturn]] void RaiseSaveError(const std::string& path, FileError cause, bool damaged) {
    PyObject* type = PyExc_OSError;
    std::string text;
    switch (cause) {
        case FileError::FileNotFound:
        case FileError::BadPath:
            type = PyExc_FileNotFoundError;
            text = path + " contains an invalid path.";
            break;
        case FileError::AccessDenied:
            type = PyExc_PermissionError;
            text = path + " is read-only or cannot be written.";
            break;
        case FileError::ForeignLink:
            type = PyExc_PermissionError;
            text = path + " is a link owned by another user; not followed.";
            break;
        case FileError::BrokenLink:
            text = path + " is a link that leads nowhere usable; not followed.";
            break;
        case FileError::ChangedMeanwhile:
            text =
                "Another program changed " + path + " while it was being saved; it was not saved.";
            break;
        case FileError::SharingViolation:
            text = path + " is in use by another program.";
            break;
        case FileError::DiskFull:
            text = "There is not enough space on the disk to save " + path + ".";
            break;
        case FileError::HardIO:
            text = "A disk error occurred while accessing " + path + ".";
            break;
        case FileError::OutOfMemory:
            type = PyExc_MemoryError;
            text = "There is not enough memory to save " + path + ".";
            break;
        default:
            text = "Failed to save " + path + ".";
            break;
    }
    if (damaged)
        text += " " + path +
                " was being rewritten in place and may be damaged; save it again, or save it "
                "under another name.";
    PyErr_SetString(type, text.c_str());
    throw py::error_already_set();
}

// Replaces the file at path with data through the one safe replace, as the
// runner's --save and --gif do.
void ReplaceFile(const std::string& path, const py::bytes& data) {
    char* bytes = nullptr;
    Py_ssize_t size = 0;
    if (PyBytes_AsStringAndSize(data.ptr(), &bytes, &size) != 0) throw py::error_already_set();
    bool ok = false;
    FileError cause = FileError::None;
    bool damaged = false;
    {
        py::gil_scoped_release release;
        SafeReplace out(ModuleFiles());
        ok = out.Open(path);
        if (ok) {
            ok = out.Write(bytes, std::size_t(size));
            if (ok)
                ok = out.Commit();
            else
                out.Abandon();
        }
        cause = out.Cause();
        damaged = out.MayBeDamaged();
    }
    if (!ok) RaiseSaveError(path, cause, damaged);
}

py::dict IdentifyBoard(Board& board, const std::optional<std::string>& ruleText, long long limit) {
    if (limit < 0) throw py::value_error("limit must not be negative");
    const cellarium::Rule rule = CallRule(board, ruleText);
    auto lock = board.Claim("identify");
    Identity id;
    SignalWatch interrupted;
    {
        py::gil_scoped_release release;
        StepPoolScope threads(board.session.Threads());
        id = Identify(board.Current(), rule, limit, std::ref(interrupted));
    }
    interrupted.RaiseIfInterrupted();
    static const char* const kKinds[] = {"empty", "still life", "oscillator", "spaceship", "none"};
    py::dict facts;
    facts["kind"] = kKinds[int(id.kind)];
    const bool found = id.kind != Identity::Kind::None;
    const bool shaped = found && id.kind != Identity::Kind::Empty;
    facts["period"] = found ? py::object(py::int_(id.period)) : py::none();
    facts["start"] = found ? py::object(py::int_(id.start)) : py::none();
    facts["moving"] = shaped ? py::object(py::make_tuple(id.dx, id.dy)) : py::none();
    facts["population"] =
        shaped ? py::object(py::make_tuple(id.minPopulation, id.maxPopulation)) : py::none();
    facts["box"] = shaped ? py::object(py::make_tuple(id.width, id.height)) : py::none();
    facts["limit"] = limit;
    facts["line"] = IdentityLine(id);
    return facts;
}

// What pickling keeps of a board: everything that makes it what it is.
py::tuple BoardState(Board& board) {
    auto lock = board.Claim("pickle the board");
    const CellBoard& b = board.Current();
    return py::make_tuple(1, b.width, b.height,
                          py::bytes(reinterpret_cast<const char*>(b.Cells()), b.CellCount()),
                          board.session.Generation(), py::bytes(b.description), py::bytes(b.name),
                          RuleText(board.session.Rule()));
}

std::unique_ptr<Board> BoardFromState(const py::tuple& state) {
    if (state.size() != 8 || state[0].cast<int>() != 1)
        throw py::value_error("not the state of a cellarium board");
    auto board = std::make_unique<Board>(state[1].cast<long long>(), state[2].cast<long long>());
    CellBoard& b = board->Current();
    const std::string cells = state[3].cast<std::string>();
    if (cells.size() != b.CellCount())
        throw py::value_error("not the state of a cellarium board: its cells do not fit");
    std::memcpy(b.EditCells(), cells.data(), cells.size());
    b.description = state[5].cast<std::string>();
    b.name = state[6].cast<std::string>();
    board->session.SetRule(RuleOfText(state[7].cast<std::string>()));
    board->CellsChanged();
    board->session.SetGeneration(state[4].cast<int64_t>());
    return board;
}

std::string BoardRepr(const Board& board) {
    const CellBoard& b = board.Current();
    std::string text = "<cellarium.Board " + std::to_string(b.width) + "x" +
                       std::to_string(b.height) + ", generation " +
                       std::to_string(board.session.Generation()) + ", population " +
                       std::to_string(b.liveCount) + ", rule " + RuleText(board.session.Rule());
    if (!b.name.empty()) text += ", name " + py::repr(py::bytes(b.name)).cast<std::string>();
    return text + ">";
}

}  // namespace

PYBIND11_MODULE(_cellarium, m) {
    m.doc() = "The compiled engine of the cellarium package; use cellarium itself.";
    PYBIND11_NUMPY_DTYPE(StatRow, generation, total, births, deaths);

    py::class_<RunResult>(m, "RunResult", R"(What Board.run did.

generations  the steps taken
births, deaths, population  of the last generation (population: live cells)
stopped      "stagnation", "cycle" or None (the limit was reached)
start, period, first_repeat  with until="cycle": the earlier generation S
             whose live cells came back, the period P and G = S + P, on the
             board's generation counter (board.generation; 0 for a fresh
             board, so then counted from the board the run started with);
             else None
stats        with stats=True a numpy structured array with the fields
             generation (on the board's counter), total, births, deaths, one
             row per step; else None)")
        .def_readonly("generations", &RunResult::generations)
        .def_readonly("births", &RunResult::births)
        .def_readonly("deaths", &RunResult::deaths)
        .def_readonly("population", &RunResult::population)
        .def_readonly("stopped", &RunResult::stopped)
        .def_readonly("start", &RunResult::start)
        .def_readonly("period", &RunResult::period)
        .def_readonly("first_repeat", &RunResult::firstRepeat)
        .def_readonly("stats", &RunResult::stats)
        .def("__repr__", [](const RunResult& r) {
            std::string s = "RunResult(generations=" + std::to_string(r.generations) +
                            ", population=" + std::to_string(r.population);
            if (r.period)
                s +=
                    ", start=" + std::to_string(*r.start) + ", period=" + std::to_string(*r.period);
            return s + ")";
        });

    py::class_<Board>(m, "Board", R"(A board of width x height one-byte cells.

0 is a dead cell, 1..255 a live cell whose value is its palette entry. Row 0,
row height-1, column 0 and column width-1 are the border: the step reads it
(its live cells count as neighbours) but never changes it, and its cells are
not in the live count after a step. Each side is 150..10000; anything else is
a ValueError.

A board keeps what it is through every operation: its rule (the default of
step, run, identify, save and to_rle), its description and name, and its
generation counter. It pickles and deep-copies by value (so it goes through
multiprocessing and Dask), and np.asarray(board) is its cells.

One thread at a time: while one thread steps, runs or identifies a board,
another that steps, edits, saves or exports it gets a ValueError saying so
(it is refused, it does not wait). Different boards step at the same time on
threads of their own.)")
        .def(py::init<long long, long long>(), py::arg("width") = kDefaultBoardSide,
             py::arg("height") = kDefaultBoardSide)
        .def_property_readonly("width", [](const Board& b) { return b.Current().width; })
        .def_property_readonly("height", [](const Board& b) { return b.Current().height; })
        .def_property_readonly(
            "cells", [](py::object self) { return self.cast<Board&>().View(self, false); },
            R"(The current generation's cells: a read-only numpy uint8 array of shape
(height, width) over the board's own bytes (no copy). Writing to it raises
ValueError; change cells inside `with board.edit() as cells:`. A step moves
the board to its other buffer, so take the view again after stepping.)")
        .def(
            "__array__",
            [](py::object self, py::object dtype, py::object copy) {
                py::object view = self.cast<Board&>().View(self, false);
                if (!dtype.is_none() || (!copy.is_none() && copy.cast<bool>()))
                    return py::module_::import("numpy").attr("array")(
                        view, py::arg("dtype") = dtype, py::arg("copy") = true);
                return view;
            },
            py::arg("dtype") = py::none(), py::arg("copy") = py::none(),
            "The cells, as board.cells (np.asarray(board), np.array(board) copies).")
        .def_property_readonly(
            "population", [](const Board& b) { return b.Current().liveCount; },
            "The live count: the live interior cells after a step or an edit.")
        .def_property_readonly(
            "bounds",
            [](const Board& b) -> py::object {
                const Rect r = b.Current().bounds;
                if (r.left > r.right || r.top > r.bottom) return py::none();
                return py::make_tuple(r.left, r.top, r.right, r.bottom);
            },
            R"((left, top, right, bottom), inclusive: every cell live now or, after a
step, in the generation before lies inside it. None when the box is empty.)")
        .def_property_readonly(
            "generation", [](const Board& b) { return b.session.Generation(); },
            R"(The generation counter: 0 for a new, read or parsed board, one more
for every step. Every generation number the module gives (stats rows, a
run's start and first_repeat) is on this counter.)")
        .def_property(
            "rule", [](const Board& b) { return RuleText(b.session.Rule()); },
            [](Board& b, const std::string& text) {
                const cellarium::Rule rule = RuleOfText(text);
                auto lock = b.Claim("change the rule");
                b.session.SetRule(rule);
            },
            R"(The board's rule in its canonical text (B3/S23, B2-a/S12, MAP...): the
one its pattern named when read (Conway's when it named none, or for a new
board). Setting it takes every notation: B3/S23, s23/b3 or 23/3, isotropic
letters (B3/S2-i34q) and MAP.)")
        .def_property(
            "description", [](const Board& b) { return py::bytes(b.Current().description); },
            [](Board& b, const py::bytes& text) {
                auto lock = b.Claim("change the description");
                b.Current().description = text;
                b.WordsChanged();
            },
            "The pattern's description bytes, as the reader left them (settable).")
        .def_property(
            "name",
            [](const Board& b) {
                const std::string& n = b.Current().name;
                return py::reinterpret_steal<py::str>(
                    PyUnicode_DecodeLatin1(n.data(), py::ssize_t(n.size()), nullptr));
            },
            [](Board& b, const std::string& text) {
                auto lock = b.Claim("change the name");
                b.Current().name = text;
                b.WordsChanged();
            },
            R"(The pattern's name as its file gave it ("#N" of RLE, "!Name:" of
plaintext), "" when it gave none; written by save and to_rle.)")
        .def(
            "step",
            [](Board& b, long long generations, const std::optional<std::string>& rule,
               std::optional<int> threads) {
                RunResult r = Run(b, generations, rule, std::nullopt, false, threads);
                return py::make_tuple(r.births, r.deaths, r.population);
            },
            py::arg("generations") = 1, py::arg("rule") = py::none(),
            py::arg("threads") = py::none(),
            R"(Steps the board `generations` times under its rule (or `rule`, in any
notation board.rule takes, for this call only) with the runner's kernels
on the board's own step threads (`threads`: 1..256 for this call, None for
the program's setting, by default the machine's cores). The GIL is released
meanwhile; Ctrl-C stops it after a whole generation (KeyboardInterrupt).
Returns (births, deaths, population) of the last generation.)")
        .def("run", &Run, py::arg("generations"), py::arg("rule") = py::none(),
             py::arg("until") = py::none(), py::arg("stats") = false,
             py::arg("threads") = py::none(),
             R"(Steps at most `generations` times under the board's rule (or `rule`),
stopping early with until="stagnation" after the first step with no births
and no deaths (as cellarium-cli --until-stagnation), or with until="cycle"
at the first generation whose live cells equal those of an earlier one of
this run (as cellarium-cli --until-cycle). Returns a RunResult; stats=True
adds the per-generation counts. Ctrl-C stops it after a whole generation.)")
        .def("identify", &IdentifyBoard, py::arg("rule") = py::none(),
             py::arg("limit") = kIdentifyLimit,
             R"(What the board is, found by running a copy at most `limit` generations
until its live cells repeat in place or moved; the board is not changed.
Returns a dict: kind ("still life", "oscillator", "spaceship", "empty",
"none"), period, start, moving (dx, dy per period, + right and down),
population (min, max), box (width, height) and line, the text of
cellarium-cli --identify. Ctrl-C stops it.)")
        .def("census", &BoardCensusOf, py::arg("rule") = py::none(),
             R"(The objects the board's live cells leave once they settle under the rule,
separated and named by apgcode as the Life community's online soup census
names them ("xs4_33" a block, "xp2_7" a blinker, "xq4_153" a glider):
a dict from apgcode to count, most common first. The census runs in a
universe of its own: the board and its border are not changed or seen.)")
        .def("_writable_cells",
             [](py::object self) {
                 Board& b = self.cast<Board&>();
                 auto lock = b.Claim("edit the board");
                 ++b.editing;
                 return b.View(self, true);
             })
        .def("_cells_changed",
             [](Board& b) {
                 b.editing = std::max(0, b.editing - 1);
                 b.CellsChanged();
             })
        .def(
            "_write",
            [](Board& b, const std::string& format, const std::optional<std::string>& rule,
               const std::string& title) {
                const Format f = format == "rle"     ? Format::Rle
                                 : format == "cells" ? Format::Plaintext
                                                     : Format::Life105;
                return Write(b, f, rule, title);
            },
            py::arg("format"), py::arg("rule") = py::none(), py::arg("title") = "")
        .def("_gif", &Gif)
        .def("__repr__", &BoardRepr)
        .def(py::pickle(&BoardState, &BoardFromState));

    m.def("_soup", &Soup, py::arg("width"), py::arg("height"), py::arg("density"), py::arg("seed"));
    m.def("_replace_file", &ReplaceFile, py::arg("path"), py::arg("data"));
    m.def("_hashsoup", &HashSoupBoard, py::arg("root"), py::arg("index"), py::arg("width"),
          py::arg("height"));
    m.def("_census_soups", &CensusSoups, py::arg("root"), py::arg("first"), py::arg("last"),
          py::arg("rule"));
    m.def("_read_file", &ReadFile, py::arg("fd"), py::arg("width"), py::arg("height"));
    m.def("_parse", &ParseText, py::arg("text"), py::arg("width"), py::arg("height"));
    m.def(
        "_parse_rule", [](const std::string& text) { return RuleText(RuleOfText(text)); },
        "The canonical text of rule text in any notation, or ValueError.");
    m.def("step_kernel", &SelectedStepKernelName, "The name of the step kernel this CPU runs.");
    m.attr("__version__") = CELLARIUM_VERSION;
}
