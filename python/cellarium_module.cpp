// The compiled half of the Python module: boards as numpy arrays, the step,
// runs with statistics and cycle detection, Identify, soups, and the readers
// and writers of the formats layer. It stands on engine/, formats/ and colour/
// only; cellarium/__init__.py adds what is easier said in Python.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
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
#include "engine/rules.h"
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

struct Rule {
    uint8_t survive[kRuleEntries] = {};
    uint8_t born[kRuleEntries] = {};
    StepRule Step() const { return StepRule{survive, born}; }
};

// Rule text as the runner takes it: the s23/b3, B3/S23 and 23/3 forms, read
// by the rule notation's parser.
Rule ParseRule(const std::string& text) {
    const bool acceptable =
        !text.empty() && text.size() <= 64 && std::all_of(text.begin(), text.end(), [](char c) {
            return (c >= '0' && c <= '8') || c == 's' || c == 'S' || c == 'b' || c == 'B' ||
                   c == '/' || c == '\\';
        });
    if (!acceptable)
        throw py::value_error("'" + text + "' is not a rule: use s23/b3, B3/S23 or 23/3");
    Rule rule;
    RuleTextParser parser(rule.survive, rule.born);
    for (char c : text) parser.Feed(uint8_t(c));
    parser.Feed('\n');
    return rule;
}

// The program-wide tables the readers and writers use, set for one call and
// put back after it.
class ProgramRule {
public:
    ProgramRule() {
        std::memcpy(survive_, g_survive, kRuleEntries);
        std::memcpy(born_, g_born, kRuleEntries);
    }
    explicit ProgramRule(const Rule& rule) : ProgramRule() {
        std::memcpy(g_survive, rule.survive, kRuleEntries);
        std::memcpy(g_born, rule.born, kRuleEntries);
    }
    ~ProgramRule() {
        std::memcpy(g_survive, survive_, kRuleEntries);
        std::memcpy(g_born, born_, kRuleEntries);
    }

private:
    uint8_t survive_[kRuleEntries];
    uint8_t born_[kRuleEntries];
};

class Board {
public:
    Board(long long width, long long height) {
        CheckSide("width", width);
        CheckSide("height", height);
        current = CellBoard::Create(int(width), int(height));
        scratch = CellBoard::Create(int(width), int(height));
        if (!current || !scratch) throw std::bad_alloc();
    }

    // After the cells were changed from outside the step: the other board
    // takes the same cells (the border above all, which the step reads but
    // never writes), the bounds and the live count are found again.
    void CellsChanged() {
        std::memcpy(scratch->cells, current->cells, current->CellCount());
        current->ScanBounds();
        int32_t live = 0;
        for (int y = 1; y < current->height - 1; ++y)
            for (int x = 1; x < current->width - 1; ++x) live += current->At(x, y) != 0;
        current->liveCount = live;
        scratch->bounds = current->bounds;
        scratch->liveCount = live;
    }

    // One generation as the document computes it: the newborn value is the
    // low byte of the generation counter plus one.
    // With liveHash, the step also gives LiveCellHash of the board it makes,
    // at less cost than a separate pass (what watches for a repeat asks).
    StepCounts Step(const StepRule& rule, uint64_t* liveHash = nullptr) {
        static const StepKernel kernel = SelectedStepKernel();
        static const StepKernel hashed = SelectedStepHashKernel();
        const int newborn = int(uint32_t(generation) & 0xFFu) + 1;
        const StepCounts counts = liveHash != nullptr
                                      ? hashed(*current, *scratch, newborn, rule, liveHash)
                                      : kernel(*current, *scratch, newborn, rule, nullptr);
        std::swap(current, scratch);
        ++generation;
        return counts;
    }

    // A writable or read-only view of the current board's bytes.
    py::array_t<uint8_t> View(py::handle owner, bool writable) {
        py::array_t<uint8_t> view({py::ssize_t(current->height), py::ssize_t(current->width)},
                                  {py::ssize_t(current->width), py::ssize_t(1)}, current->cells,
                                  owner);
        if (!writable) view.attr("setflags")(py::arg("write") = false);
        return view;
    }

    // Taken for the whole of a step or run, so that two Python threads never
    // step one board at once.
    std::unique_lock<std::mutex> Claim() {
        std::unique_lock<std::mutex> lock(busy, std::try_to_lock);
        if (!lock.owns_lock())
            throw py::value_error("the board is being stepped by another thread");
        if (editing > 0) throw py::value_error("the board is being edited");
        return lock;
    }

    std::unique_ptr<CellBoard> current, scratch;
    int64_t generation = 0;
    int editing = 0;
    std::mutex busy;
};

// The step threads for one call; None leaves the program's setting alone.
class StepThreadsFor {
public:
    explicit StepThreadsFor(std::optional<int> threads) : before_(StepThreads()) {
        if (threads && (*threads < 1 || *threads > kMaxThreads))
            throw py::value_error("threads must be 1.." + std::to_string(kMaxThreads));
        if (threads) SetStepThreads(*threads);
        set_ = threads.has_value();
    }
    ~StepThreadsFor() {
        if (set_) SetStepThreads(before_);
    }

private:
    int before_;
    bool set_ = false;
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

RunResult Run(Board& board, long long generations, const std::string& ruleText,
              std::optional<std::string> until, bool stats, std::optional<int> threads) {
    if (generations < 0) throw py::value_error("generations must not be negative");
    if (until && *until != "stagnation" && *until != "cycle")
        throw py::value_error("until must be None, \"stagnation\" or \"cycle\"");
    const Rule rule = ParseRule(ruleText);
    const bool untilCycle = until && *until == "cycle";
    const bool untilStagnation = until && *until == "stagnation";
    auto lock = board.Claim();
    StepThreadsFor stepThreads(threads);
    RunResult result;
    std::vector<StatRow> rows;
    {
        py::gil_scoped_release release;
        std::optional<CycleDetector> cycles;
        if (untilCycle) {
            cycles.emplace(rule.Step());
            cycles->Add(*board.current);
        }
        uint64_t hash = 0;
        while (result.generations < generations) {
            const StepCounts c = board.Step(rule.Step(), cycles ? &hash : nullptr);
            ++result.generations;
            result.births = c.births;
            result.deaths = c.deaths;
            if (stats)
                rows.push_back(
                    StatRow{board.generation, board.current->liveCount, c.births, c.deaths});
            if (untilStagnation && c.births == 0 && c.deaths == 0) {
                result.stopped = "stagnation";
                break;
            }
            if (cycles) {
                if (const std::optional<Cycle> found = cycles->Add(*board.current, hash)) {
                    result.stopped = "cycle";
                    result.start = found->start;
                    result.period = found->period;
                    result.firstRepeat = found->start + found->period;
                    break;
                }
            }
        }
    }
    result.population = board.current->liveCount;
    if (stats) result.stats = py::array_t<StatRow>(py::ssize_t(rows.size()), rows.data());
    return result;
}

std::unique_ptr<Board> Soup(long long width, long long height, double density,
                            unsigned long long seed) {
    if (!(density >= 0.0 && density <= 1.0)) throw py::value_error("density must be 0..1");
    auto board = std::make_unique<Board>(width, height);
    FillSoup(*board->current, density, seed);
    board->CellsChanged();
    return board;
}

std::unique_ptr<Board> HashSoupBoard(const std::string& root, unsigned long long index,
                                     long long width, long long height) {
    auto board = std::make_unique<Board>(width, height);
    PlaceHashSoup(*board->current, HashSoup(root, index));
    board->CellsChanged();
    return board;
}

CensusRule CensusRuleOf(const std::string& ruleText) {
    const Rule rule = ParseRule(ruleText);
    CensusRule census = CensusRule::FromTables(rule.survive, rule.born);
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

py::dict BoardCensusOf(Board& board, const std::string& ruleText) {
    const CensusRule rule = CensusRuleOf(ruleText);
    auto lock = board.Claim();
    std::vector<std::pair<int32_t, int32_t>> cells = LiveInteriorCells(*board.current);
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

std::string RuleTextOfProgram() {
    return FileRuleText(RuleForm::Lettered);
}

py::tuple Read(const py::bytes& data, long long width, long long height) {
    auto board = std::make_unique<Board>(width, height);
    const std::string bytes = data;
    MessageReporter reporter;
    std::string rule;
    bool read = false;
    {
        ProgramRule keep;
        ResetRules();
        MemoryByteSource source(bytes);
        read = ReadPattern(*board->current, source, reporter);
        rule = RuleTextOfProgram();
    }
    if (!read) throw py::value_error(reporter.message);
    board->CellsChanged();
    const std::string description = board->current->description;
    return py::make_tuple(std::move(board), rule, py::bytes(description));
}

enum class Format { Life105, Rle, Plaintext };

py::bytes Write(const Board& board, Format format, const std::string& ruleText,
                const std::string& title) {
    const Rule rule = ParseRule(ruleText);
    ProgramRule use(rule);
    MemoryByteSink sink;
    switch (format) {
        case Format::Life105:
            WritePattern(*board.current, sink);
            break;
        case Format::Rle:
            WriteRlePattern(*board.current, sink, RleGrid::Bounded);
            break;
        case Format::Plaintext:
            WritePlaintextPattern(*board.current, title, sink);
            break;
    }
    return py::bytes(sink.bytes());
}

py::bytes Gif(const Board& board, const std::string& palette) {
    static const std::pair<const char*, PaletteId> kNames[] = {
        {"autumn", PaletteId::Autumn},    {"blue", PaletteId::ShadesOfBlue},
        {"rainbow", PaletteId::Rainbow},  {"sunshine", PaletteId::Sunshine},
        {"bw", PaletteId::BlackAndWhite},
    };
    for (const auto& [name, id] : kNames)
        if (palette == name) {
            MemoryImageSink sink;
            const CellBoard& b = *board.current;
            const int result =
                WriteBoardGif(sink, GifCells{b.cells, b.width, b.height}, FixedPalette(id));
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

py::dict IdentifyBoard(Board& board, const std::string& ruleText, long long limit) {
    if (limit < 0) throw py::value_error("limit must not be negative");
    const Rule rule = ParseRule(ruleText);
    auto lock = board.Claim();
    Identity id;
    {
        py::gil_scoped_release release;
        id = Identify(*board.current, rule.Step(), limit);
    }
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

}  // namespace

PYBIND11_MODULE(_cellarium, m) {
    m.doc() = "The compiled engine of the cellarium package; use cellarium itself.";
    PYBIND11_NUMPY_DTYPE(StatRow, generation, total, births, deaths);

    py::class_<RunResult>(m, "RunResult", R"(What Board.run did.

generations  the steps taken
births, deaths, population  of the last generation (population: live cells)
stopped      "stagnation", "cycle" or None (the limit was reached)
start, period, first_repeat  with until="cycle": the earlier generation S
             whose live cells came back, the period P and G = S + P, counted
             from the board the run started with (generation 0); else None
stats        with stats=True a numpy structured array with the fields
             generation, total, births, deaths, one row per step; else None)")
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
a ValueError.)")
        .def(py::init<long long, long long>(), py::arg("width") = kDefaultBoardSide,
             py::arg("height") = kDefaultBoardSide)
        .def_property_readonly("width", [](const Board& b) { return b.current->width; })
        .def_property_readonly("height", [](const Board& b) { return b.current->height; })
        .def_property_readonly(
            "cells", [](py::object self) { return self.cast<Board&>().View(self, false); },
            R"(The current generation's cells: a read-only numpy uint8 array of shape
(height, width) over the board's own bytes (no copy). Writing to it raises
ValueError; change cells inside `with board.edit() as cells:`. A step moves
the board to its other buffer, so take the view again after stepping.)")
        .def_property_readonly(
            "population", [](const Board& b) { return b.current->liveCount; },
            "The live count: the live interior cells after a step or an edit.")
        .def_property_readonly(
            "bounds",
            [](const Board& b) -> py::object {
                const Rect r = b.current->bounds;
                if (r.left > r.right || r.top > r.bottom) return py::none();
                return py::make_tuple(r.left, r.top, r.right, r.bottom);
            },
            R"((left, top, right, bottom), inclusive: every cell live now or, after a
step, in the generation before lies inside it. None when the box is empty.)")
        .def_readonly("generation", &Board::generation,
                      "Generations stepped since the board was made.")
        .def_property_readonly(
            "description", [](const Board& b) { return py::bytes(b.current->description); },
            "The pattern's description bytes, as the reader left them.")
        .def(
            "step",
            [](Board& b, long long generations, const std::string& rule,
               std::optional<int> threads) {
                RunResult r = Run(b, generations, rule, std::nullopt, false, threads);
                return py::make_tuple(r.births, r.deaths, r.population);
            },
            py::arg("generations") = 1, py::arg("rule") = "B3/S23", py::arg("threads") = py::none(),
            R"(Steps the board `generations` times under `rule` (s23/b3, B3/S23 or
23/3 forms) with the runner's kernels and step threads (`threads`: 1..256,
None for the program's setting, by default the machine's cores). The GIL is
released meanwhile. Returns (births, deaths, population) of the last
generation.)")
        .def("run", &Run, py::arg("generations"), py::arg("rule") = "B3/S23",
             py::arg("until") = py::none(), py::arg("stats") = false,
             py::arg("threads") = py::none(),
             R"(Steps at most `generations` times under `rule`, stopping early with
until="stagnation" after the first step with no births and no deaths (as
cellarium-cli --until-stagnation), or with until="cycle" at the first
generation whose live cells equal those of an earlier one of this run (as
cellarium-cli --until-cycle). Returns a RunResult; stats=True adds the
per-generation counts.)")
        .def("identify", &IdentifyBoard, py::arg("rule") = "B3/S23",
             py::arg("limit") = kIdentifyLimit,
             R"(What the board is, found by running a copy at most `limit` generations
until its live cells repeat in place or moved; the board is not changed.
Returns a dict: kind ("still life", "oscillator", "spaceship", "empty",
"none"), period, start, moving (dx, dy per period, + right and down),
population (min, max), box (width, height) and line, the text of
cellarium-cli --identify.)")
        .def("census", &BoardCensusOf, py::arg("rule") = "B3/S23",
             R"(The objects the board's live cells leave once they settle under the rule,
separated and named by apgcode as the Life community's online soup census
names them ("xs4_33" a block, "xp2_7" a blinker, "xq4_153" a glider):
a dict from apgcode to count, most common first. The census runs in a
universe of its own: the board and its border are not changed or seen.)")
        .def("_writable_cells",
             [](py::object self) {
                 Board& b = self.cast<Board&>();
                 auto lock = b.Claim();
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
            [](const Board& b, const std::string& format, const std::string& rule,
               const std::string& title) {
                const Format f = format == "rle"     ? Format::Rle
                                 : format == "cells" ? Format::Plaintext
                                                     : Format::Life105;
                return Write(b, f, rule, title);
            },
            py::arg("format"), py::arg("rule"), py::arg("title") = "")
        .def("_gif", &Gif);

    m.def("_soup", &Soup, py::arg("width"), py::arg("height"), py::arg("density"), py::arg("seed"));
    m.def("_replace_file", &ReplaceFile, py::arg("path"), py::arg("data"));
    m.def("_hashsoup", &HashSoupBoard, py::arg("root"), py::arg("index"), py::arg("width"),
          py::arg("height"));
    m.def("_census_soups", &CensusSoups, py::arg("root"), py::arg("first"), py::arg("last"),
          py::arg("rule"));
    m.def("_read", &Read, py::arg("data"), py::arg("width"), py::arg("height"));
    m.def(
        "_parse_rule",
        [](const std::string& text) {
            const Rule rule = ParseRule(text);
            ProgramRule use(rule);
            return RuleTextOfProgram();
        },
        "Rule text in the B3/S23 form, or ValueError.");
    m.def("step_kernel", &SelectedStepKernelName, "The name of the step kernel this CPU runs.");
}
