// The pattern collection of golly, whose bgolly is the peer: every file the
// runner opens must hold the cells bgolly reads from it and run as bgolly
// runs them on the same bounded plane; every file it does not open must be
// refused for a reason bgolly's reading bears out (a rule the notation does
// not run, cells of more states, more cells than the board holds).
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "formats/pattern_reader.h"
#include "formats/pattern_rule.h"

namespace {

namespace fs = std::filesystem;

constexpr int kGenerations = 6;
constexpr int kBoard = 800;  // the runner's default board; its interior is 798 a side

struct Proc {
    int status = -1;
    std::string out;
    std::string err;
};

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

Proc Shell(const std::string& command, const fs::path& errFile) {
    Proc r;
    FILE* pipe = ::popen((command + " 2>" + Quote(errFile.string())).c_str(), "r");
    if (pipe == nullptr) return r;
    std::array<char, 65536> buffer;
    for (std::size_t n; (n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0;)
        r.out.append(buffer.data(), n);
    const int raw = ::pclose(pipe);
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    std::ifstream in(errFile, std::ios::binary);
    r.err.assign(std::istreambuf_iterator<char>(in), {});
    return r;
}

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

using Cells = std::set<std::pair<long long, long long>>;  // (x, y)

// The cells moved so that the least column and row are 0.
Cells Shape(const Cells& cells) {
    long long minX = 0, minY = 0;
    bool first = true;
    for (auto [x, y] : cells) {
        minX = first ? x : std::min(minX, x);
        minY = first ? y : std::min(minY, y);
        first = false;
    }
    Cells shape;
    for (auto [x, y] : cells) shape.emplace(x - minX, y - minY);
    return shape;
}

// The runner's --cells lines, "x y value".
Cells RunnerCells(const std::string& out) {
    Cells cells;
    std::size_t at = 0;
    while (at < out.size()) {
        const std::size_t end = std::min(out.find('\n', at), out.size());
        long long x, y;
        int v;
        if (std::sscanf(out.c_str() + at, "%lld %lld %d", &x, &y, &v) == 3) cells.emplace(x, y);
        at = end + 1;
    }
    return cells;
}

// What bgolly wrote: its rule, the size in its header and the cells by state.
struct Golly {
    bool read = false;
    std::string rule;
    long long width = 0, height = 0;
    std::vector<std::pair<std::pair<long long, long long>, int>> cells;
};

Golly ParseGollyRle(const std::string& text) {
    Golly g;
    std::size_t at = 0;
    while (at < text.size() && text[at] == '#') at = text.find('\n', at) + 1;
    const std::size_t headerEnd = text.find('\n', at);
    if (headerEnd == std::string::npos) return g;
    const std::string header = text.substr(at, headerEnd - at);
    if (std::sscanf(header.c_str(), "x = %lld, y = %lld", &g.width, &g.height) != 2) return g;
    if (const std::size_t r = header.find("rule = "); r != std::string::npos)
        g.rule = header.substr(r + 7);
    long long x = 0, y = 0, count = 0;
    int prefix = 0;
    for (std::size_t i = headerEnd + 1; i < text.size() && text[i] != '!'; ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            count = count * 10 + (c - '0');
            continue;
        }
        const long long k = count == 0 ? 1 : count;
        int state = -1;
        if (c == 'b' || c == '.')
            state = 0;
        else if (c == 'o')
            state = 1;
        else if (c >= 'A' && c <= 'X')
            state = prefix * 24 + (c - 'A' + 1);
        else if (c >= 'p' && c <= 'y') {
            prefix = c - 'p' + 1;
            continue;
        } else if (c == '$') {
            y += k;
            x = 0;
        }
        if (state > 0)
            for (long long j = 0; j < k; ++j) g.cells.push_back({{x + j, y}, state});
        if (state >= 0) x += k;
        prefix = 0;
        count = 0;
    }
    g.read = true;
    return g;
}

bool IsHistory(const std::string& rule) {
    const std::string base = rule.substr(0, rule.find(':'));
    return base == "LifeHistory" || base == "HistoricalLife";
}

Cells LiveOf(const Golly& g) {
    Cells live;
    for (const auto& [at, state] : g.cells)
        if (state == 1 || (IsHistory(g.rule) && (state == 3 || state == 5))) live.insert(at);
    return live;
}

// Run-length text of cells under a rule, placed where the runner has them
// (relative to the board's centre, as bgolly reads "#CXRLE Pos").
std::string RleOf(const Cells& cells, const std::string& rule) {
    long long minX = 1 << 30, minY = 1 << 30, maxX = -1, maxY = -1;
    for (auto [x, y] : cells) {
        minX = std::min(minX, x);
        minY = std::min(minY, y);
        maxX = std::max(maxX, x);
        maxY = std::max(maxY, y);
    }
    std::string text = "#CXRLE Pos=" + std::to_string(minX - kBoard / 2) + "," +
                       std::to_string(minY - kBoard / 2) +
                       "\nx = " + std::to_string(maxX - minX + 1) +
                       ", y = " + std::to_string(maxY - minY + 1) + ", rule = " + rule + "\n";
    std::vector<std::vector<long long>> rows(std::size_t(maxY - minY + 1));
    for (auto [x, y] : cells) rows[std::size_t(y - minY)].push_back(x);
    for (auto& r : rows) {
        std::sort(r.begin(), r.end());
        long long at = minX;
        for (long long x : r) {
            if (x > at) text += std::to_string(x - at) + "b";
            text += "o";
            at = x + 1;
        }
        text += "$\n";
    }
    return text + "!\n";
}

// The rule without a grid, on the runner's bounded plane.
std::string OnOurPlane(const std::string& rule) {
    return rule.substr(0, rule.find(':')) + ":P" + std::to_string(kBoard - 2) + "," +
           std::to_string(kBoard - 2);
}

class GollyCollection : public ::testing::Test {
protected:
    void SetUp() override {
        bgolly_ = CELLARIUM_BGOLLY;
        if (bgolly_.empty() || !fs::exists(bgolly_) || !fs::is_directory(kPatterns))
            GTEST_SKIP() << "golly is not installed (Debian package golly): no collection";
        work_ = fs::temp_directory_path() / ("cellarium-golly-walk-" + std::to_string(::getpid()));
        fs::create_directories(work_);
    }
    void TearDown() override {
        if (!work_.empty()) fs::remove_all(work_);
    }

    Proc Runner(const fs::path& file, int generations) {
        return Shell(std::string(CELLARIUM_CLI) + " --cells -g " + std::to_string(generations) +
                         " " + Quote(file.string()),
                     work_ / "runner.err");
    }

    // bgolly's reading of `file` after `generations` steps, trying its
    // algorithms in turn (QuickLife reads no macrocell files, rule tables
    // want RuleLoader).
    Golly Bgolly(const fs::path& file, int generations) {
        const fs::path out = work_ / "bgolly.rle";
        for (const char* algorithm : {"QuickLife", "HashLife", "RuleLoader"}) {
            fs::remove(out);
            const Proc r = Shell(bgolly_ + " -q -q -a " + algorithm + " -s " + Quote(kRules) +
                                     " -m " + std::to_string(generations) + " -o " +
                                     Quote(out.string()) + " " + Quote(file.string()),
                                 work_ / "bgolly.err");
            if (r.status == 0 && fs::exists(out)) {
                Golly g = ParseGollyRle(Slurp(out));
                if (g.read) return g;
            }
        }
        return Golly{};
    }

    // Only the size bgolly gives a pattern the runner found too big: its
    // header, with the output cut at 32 KB (a file-size limit stops bgolly
    // there), so that a huge pattern is never written out whole. The rule is
    // one bgolly's QuickLife runs (the runner refused the file for its size,
    // not its rule); macrocell files want HashLife.
    Golly BgollyHeader(const fs::path& file) {
        const fs::path out = work_ / "header.rle";
        fs::remove(out);
        const std::string name = file.string();
        const bool macrocell = name.find(".mc") != std::string::npos;
        Shell("(ulimit -f 64; " + bgolly_ + " -q -q -a " + (macrocell ? "HashLife" : "QuickLife") +
                  " -m 0 -o " + Quote(out.string()) + " " + Quote(name) + " >/dev/null 2>&1)",
              work_ / "header.err");
        const std::string text = Slurp(out);
        return ParseGollyRle(text.substr(0, text.find('\n') + 1) + "!");
    }

    static constexpr const char* kPatterns = "/usr/share/golly/Patterns";
    static constexpr const char* kRules = "/usr/share/golly/Rules/";
    std::string bgolly_;
    fs::path work_;
};

// A rule this program runs in the totalistic notation, checked apart from
// the reader's own parser.
bool LooksTotalistic(const std::string& rule) {
    static const std::regex form(
        "([Bb][0-8]*[/_]?[Ss][0-8]*|[Ss][0-8]*[/_]?[Bb][0-8]*|[0-8]*/[0-8]*)");
    return std::regex_match(rule, form);
}

bool BirthOnNothing(const std::string& rule) {
    static const std::regex b0("([Bb]0.*|[0-8]*/0[0-8]*)");
    return std::regex_match(rule.substr(0, rule.find(':')), b0);
}

TEST_F(GollyCollection, EveryFileOpensAsBgollyRunsItOrIsRefusedForWhatItIs) {
    std::vector<fs::path> files;
    int archives = 0;
    for (const auto& entry : fs::recursive_directory_iterator(kPatterns)) {
        const std::string name = entry.path().filename().string();
        if (entry.is_regular_file() && entry.path().extension() == ".zip") {
            // Archives say so, and what to do.
            const Proc zip = Runner(entry.path(), 0);
            EXPECT_EQ(zip.status, 1) << name;
            EXPECT_EQ(zip.err, cellarium::ZipArchiveMessage() + "\n") << name;
            ++archives;
        }
        for (const char* ext : {".rle", ".lif", ".cells", ".mc", ".gz"})
            if (entry.is_regular_file() && name.size() > std::strlen(ext) &&
                name.compare(name.size() - std::strlen(ext), std::string::npos, ext) == 0)
                files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    ASSERT_GT(files.size(), 100u);
    int opened = 0, refused = 0;
    const std::string cannotRun = "which Cellarium cannot run";
    for (const fs::path& file : files) {
        SCOPED_TRACE(file.string());
        const Proc ours = Runner(file, 0);
        if (ours.status != 0) {
            ++refused;
            ASSERT_EQ(ours.status, 1) << ours.err;
            const std::string& message = ours.err;
            if (const std::size_t at = message.find("for the rule '");
                at != std::string::npos && message.find(cannotRun) != std::string::npos) {
                const std::size_t from = at + 14;
                const std::string rule = message.substr(from, message.find("', which") - from);
                // Never a rule this program runs, by its notation's parser or
                // by the plain totalistic forms.
                EXPECT_FALSE(LooksTotalistic(rule)) << rule;
                EXPECT_EQ(cellarium::ClassifyPatternRule(rule).kind,
                          cellarium::PatternRuleKind::Refused)
                    << rule;
            } else if (message.find("more than two states") != std::string::npos) {
                const Golly g = Bgolly(file, 0);
                ASSERT_TRUE(g.read);
                EXPECT_TRUE(std::any_of(g.cells.begin(), g.cells.end(), [&](auto& c) {
                    return c.second > (IsHistory(g.rule) ? 6 : 1);
                }));
            } else if (message.rfind(cellarium::PatternTooBigMessage(kBoard, kBoard), 0) == 0) {
                const Golly g = BgollyHeader(file);
                ASSERT_TRUE(g.read) << "bgolly cannot read it either";
                EXPECT_TRUE(g.width > kBoard - 2 || g.height > kBoard - 2)
                    << g.width << "x" << g.height;
            } else {
                ADD_FAILURE() << "refused with " << message;
            }
            continue;
        }
        ++opened;
        const Golly start = Bgolly(file, 0);
        if (!start.read) {
            ADD_FAILURE() << "bgolly cannot read what the runner opened";
            continue;
        }
        const Cells ourStart = RunnerCells(ours.out);
        if (Shape(ourStart) != Shape(LiveOf(start))) {
            ADD_FAILURE() << "opened as other cells: " << ourStart.size() << " cells, bgolly "
                          << LiveOf(start).size();
            continue;
        }
        // A rule with births on no neighbours keeps this board's meaning
        // (births only inside the window the step visits), which bgolly's
        // emulation of such rules does not share: read, not run, here.
        if (ourStart.empty() || BirthOnNothing(start.rule)) continue;
        // A few generations on the runner's bounded plane, from its cells.
        const fs::path placed = work_ / "placed.rle";
        std::ofstream(placed) << RleOf(ourStart, OnOurPlane(start.rule));
        const Golly later = Bgolly(placed, kGenerations);
        ASSERT_TRUE(later.read) << "bgolly cannot run " << OnOurPlane(start.rule);
        const Proc oursLater = Runner(file, kGenerations);
        ASSERT_EQ(oursLater.status, 0) << oursLater.err;
        EXPECT_EQ(Shape(RunnerCells(oursLater.out)), Shape(LiveOf(later)))
            << "runs as something else under " << start.rule;
    }
    std::printf("%zu files: %d opened as bgolly reads and runs them, %d refused; %d archives\n",
                files.size(), opened, refused, archives);
}

}  // namespace
