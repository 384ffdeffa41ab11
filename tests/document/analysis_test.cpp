// Identify, Stop when the pattern repeats and the population graph's counts,
// driven as the user drives them.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <climits>
#include <cstdio>
#include <functional>
#include <random>
#include <sstream>
#include <thread>

#include "document/identity_words.h"
#include "document/life_view_graph.h"
#include "document/population_history.h"
#include "framework/safe_replace.h"
#include "life_session.h"

namespace cellarium {
namespace {

// A Gosper glider gun: it grows for thousands of generations on a large
// board, so Identify goes on and on.
const char* const kGunFile =
    "#Life 1.05\r\n#N\r\n#P -18 -4\r\n"
    "........................*...........\r\n"
    "......................*.*...........\r\n"
    "............**......**............**\r\n"
    "...........*...*....**............**\r\n"
    "**........*.....*...**..............\r\n"
    "**........*...*.**....*.*...........\r\n"
    "..........*.....*.......*...........\r\n"
    "...........*...*....................\r\n"
    "............**......................\r\n";

class Analysis : public LifeSession {
protected:
    bool Checked(unsigned id) const { return Frame()->QueryCommandState(id).m_nCheck != 0; }
    bool Enabled(unsigned id) const { return Frame()->QueryCommandState(id).m_bEnabled; }

    // Lets the view's timer tick, as time passing does, until done holds.
    // Identify works in real time on a thread of its own meanwhile, so the
    // bound is generous: a loaded machine under a sanitizer is slow.
    bool TickUntil(const std::function<bool()>& done) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::minutes(2);
        while (!done()) {
            if (std::chrono::steady_clock::now() > end) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            platform.AdvanceTime(AnalysisControl::kPollMs);
        }
        return true;
    }
    // Identify chosen, and what it says once it has found out.
    std::vector<std::string> IdentifyWords() {
        platform.ClearLog();
        EXPECT_TRUE(platform.Command(ID_IDENTIFY));
        EXPECT_TRUE(TickUntil([this] { return !platform.MessageTexts().empty(); }));
        EXPECT_FALSE(View()->Analysis().Busy());
        return platform.MessageTexts();
    }
    CDialogBar& Strip() const { return *platform.Bar(IDD_STATUS_STRIP); }
    // The generations the status strip says Identify has tried, -1 while it
    // shows none.
    int64_t ProgressShown() const {
        if (!Strip().IsControlVisible(IDC_ANALYSIS_PROGRESS)) return -1;
        long long done = -1;
        std::sscanf(Strip().GetDlgItemText(IDC_ANALYSIS_PROGRESS).c_str(),
                    "Identifying: generation %lld of", &done);
        return done;
    }
    // Identify started on the open pattern, seen to be under way.
    void StartIdentifyAndSeeProgress() {
        platform.ClearLog();
        ASSERT_TRUE(platform.Command(ID_IDENTIFY));
        EXPECT_TRUE(View()->Analysis().Busy());
        EXPECT_TRUE(Strip().IsControlVisible(int(ID_ANALYSIS_CANCEL)));
        EXPECT_FALSE(Strip().IsControlVisible(IDC_SPEED_TEXT));
        ASSERT_TRUE(TickUntil([this] { return ProgressShown() > 0; }));
        const int64_t seen = ProgressShown();
        ASSERT_TRUE(TickUntil([&] { return ProgressShown() > seen; }));
        EXPECT_NE(Strip().GetDlgItemText(IDC_ANALYSIS_PROGRESS).find(" of 1000000000"),
                  std::string::npos);
    }
    // Nothing of a stopped analysis is left: no progress, no finding, even
    // after a while; Identify can be chosen again.
    void ExpectAnalysisGone() {
        EXPECT_FALSE(View()->Analysis().Busy());
        EXPECT_EQ(ProgressShown(), -1);
        EXPECT_FALSE(Strip().IsControlVisible(int(ID_ANALYSIS_CANCEL)));
        EXPECT_TRUE(Strip().IsControlVisible(IDC_SPEED_TEXT));
        platform.AdvanceTime(1000);
        EXPECT_TRUE(platform.MessageTexts().empty());
        EXPECT_TRUE(Enabled(ID_IDENTIFY));
        EXPECT_FALSE(Enabled(ID_ANALYSIS_CANCEL));
    }
};

TEST_F(Analysis, IdentifyTellsWhatThePatternIsInWordsAndLeavesTheBoardAlone) {
    struct Case {
        const char* name;
        std::string bytes;
        const char* words;
    };
    const Case cases[] = {
        {"glider.lif", kGliderFile,
         "Spaceship, period 4, moving 1 cell diagonally every 4 generations (c/4), population 5, "
         "3 x 3 cells."},
        {"block.lif", kBlockFile, "Still life, population 4, 2 x 2 cells."},
        {"blinker.lif", kBlinkerFile, "Oscillator, period 2, population 3, 3 x 3 cells."},
        {"empty.lif", "#Life 1.05\r\n", "The board is empty."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_NE(OpenText(c.name, c.bytes), nullptr);
        const std::string status = Status();
        EXPECT_EQ(IdentifyWords(), std::vector<std::string>{c.words});
        EXPECT_EQ(Status(), status);
    }
    ASSERT_NE(Open(CELLARIUM_SAMPLES "/spaceship.lif"), nullptr);
    EXPECT_EQ(IdentifyWords(),
              std::vector<std::string>{"Spaceship, period 4, moving 2 cells left every 4 "
                                       "generations (c/2), population 9 to 12, 5 x 4 cells."});

    // No repeat within the limit the settings give.
    app.WriteProfileInt("Analysis", "IdentifyLimit", 3);
    ASSERT_NE(OpenText("glider2.lif", kGliderFile), nullptr);
    EXPECT_EQ(IdentifyWords(), std::vector<std::string>{"No repeat within 3 generations."});
}

// On a pattern that goes on and on Identify runs off the window's thread:
// the status strip shows how far it has come, the window answers (zoom),
// what would change the board waits, and Esc or the strip's Cancel stop it
// at once, leaving the board as it was and nothing to show.
TEST_F(Analysis, IdentifyCancelledMidRunByEscOrCancelLeavesNothingBehind) {
    SetBoardSize(2000, 2000);
    app.WriteProfileInt("Analysis", "IdentifyLimit", 1000000000);
    ASSERT_NE(OpenText("gun.lif", kGunFile), nullptr);
    const int32_t live = Board().liveCount;
    const std::function<void()> stops[] = {
        [this] { platform.KeyDown(*View(), VK_ESCAPE); },
        [this] { Strip().UserClicks(int(ID_ANALYSIS_CANCEL)); },
    };
    for (const auto& stop : stops) {
        StartIdentifyAndSeeProgress();
        if (HasFatalFailure()) return;
        EXPECT_TRUE(Enabled(ID_ANALYSIS_CANCEL));
        for (unsigned held : {ID_IDENTIFY, ID_CENSUS, ID_TOOLS_STEP, ID_TOOLS_RUN, ID_EDIT_UNDO,
                              ID_EDIT_FILL_RANDOM, ID_FILE_EDIT_RULES, ID_CELLS_CENTER}) {
            EXPECT_FALSE(Enabled(held)) << held;
        }
        EXPECT_FALSE(platform.Command(ID_TOOLS_STEP));
        const std::string zoomed = Status();
        EXPECT_TRUE(platform.Command(ID_ZOOM_IN));
        EXPECT_NE(Status(), zoomed);
        // The stylus in edit mode draws nothing meanwhile.
        platform.Command(ID_TOOLS_EDIT);
        platform.LButtonDown(*View(), CPoint{5, 5});
        platform.LButtonUp(*View(), CPoint{5, 5});
        platform.Command(ID_TOOLS_EDIT);
        EXPECT_TRUE(View()->Analysis().Busy());

        stop();
        ExpectAnalysisGone();
        EXPECT_EQ(Board().liveCount, live);
        EXPECT_EQ(View()->Simulation().Generation(), 0);
        EXPECT_TRUE(Enabled(ID_TOOLS_STEP));
    }
}

// Whatever takes the pattern away stops Identify first: Open, Reload, and
// closing the window; the worker is gone before the pattern is.
TEST_F(Analysis, OpenReloadOrCloseDuringIdentifyStopItSafely) {
    SetBoardSize(2000, 2000);
    app.WriteProfileInt("Analysis", "IdentifyLimit", 1000000000);
    const std::string gun = Write("gun.lif", kGunFile);
    ASSERT_NE(Open(gun), nullptr);
    StartIdentifyAndSeeProgress();
    ASSERT_NE(OpenText("block.lif", kBlockFile), nullptr);
    ExpectAnalysisGone();
    EXPECT_EQ(IdentifyWords(), std::vector<std::string>{"Still life, population 4, 2 x 2 cells."});

    ASSERT_NE(Open(gun), nullptr);
    StartIdentifyAndSeeProgress();
    EXPECT_TRUE(platform.Command(ID_FILE_RELOAD));
    ExpectAnalysisGone();

    StartIdentifyAndSeeProgress();
    platform.CloseMainWindow();
    EXPECT_TRUE(platform.LoopEnded());
    EXPECT_TRUE(platform.MessageTexts().empty());
}

TEST_F(Analysis, CensusListsTheObjectsWithPicturesAndPickingOneSelectsIt) {
    // A block, a blinker, a beehive and a glider flying off, well apart.
    ASSERT_NE(OpenText("ash.lif",
                       "#Life 1.05\r\n#N\r\n#P -20 -20\r\n**\r\n**\r\n#P 10 -20\r\n***\r\n"
                       "#P -20 10\r\n.*\r\n..*\r\n***\r\n#P 10 10\r\n.**\r\n*..*\r\n.**\r\n"),
              nullptr);
    const CellBoard& board = *Doc()->CurrentBoard();
    const int cx = board.width / 2, cy = board.height / 2;
    std::vector<std::string> items;
    std::vector<std::vector<std::string>> pictures;
    Rect picked{};
    platform.ExpectDialog(IDD_CENSUS, [&](DialogDriver& d) {
        items = d.Items(IDC_CENSUS_LIST);
        for (const ComboItem& item : d.Dialog().Find(IDC_CENSUS_LIST)->items)
            pictures.push_back(item.picture);
        EXPECT_EQ(d.Text(IDC_CENSUS_SUMMARY).rfind("4 objects of 4 kinds", 0), 0u);
        EXPECT_TRUE(d.Select(IDC_CENSUS_LIST, "block (xs4_33): 1"));
        picked = View()->Editing().Selection();
        EXPECT_TRUE(View()->Editing().HasSelection());
        d.Click(IDOK);
    });
    EXPECT_TRUE(Enabled(ID_CENSUS));
    platform.Command(ID_CENSUS);
    ASSERT_TRUE(TickUntil([this] { return platform.PendingExpectations() == 0; }));
    EXPECT_FALSE(View()->Analysis().Busy());
    // Equal counts list in reverse order of the codes, as the census does.
    EXPECT_EQ(items, (std::vector<std::string>{"beehive (xs6_696): 1", "block (xs4_33): 1",
                                               "glider (xq4_153): 1", "blinker (xp2_7): 1"}));
    ASSERT_EQ(pictures.size(), 4u);
    EXPECT_EQ(pictures[0], (std::vector<std::string>{".o.", "o.o", "o.o", ".o."}));
    EXPECT_EQ(pictures[1], (std::vector<std::string>{"oo", "oo"}));
    EXPECT_EQ(pictures[3], (std::vector<std::string>{"o", "o", "o"}));
    EXPECT_EQ(picked, (Rect{cx - 20, cy - 20, cx - 19, cy - 19}));
    // The census runs on a copy: the board is where it was.
    EXPECT_EQ(Doc()->CurrentBoard()->liveCount, 4 + 3 + 5 + 6);
    EXPECT_EQ(Doc()->CurrentBoard()->At(cx - 20, cy - 20), 1);

    // Conway's rule turned into one with births on nothing has no census.
    platform.ClearLog();
    ASSERT_NE(OpenText("b0.lif", "#Life 1.05\r\n#R 23/03\r\n#P 0 0\r\n**\r\n**\r\n"), nullptr);
    platform.ExpectMessageBox(IDOK);
    platform.Command(ID_CENSUS);
    ASSERT_EQ(platform.MessageTexts().size(), 1u);
    EXPECT_NE(platform.MessageTexts()[0].find("(B0)"), std::string::npos);
}

// The census of a large soup runs off the window's thread too, and Esc
// stops it: no dialog comes.
TEST_F(Analysis, CensusOfALargeSoupRunsOffTheWindowsThreadAndEscStopsIt) {
    std::string file = "#Life 1.05\r\n#N\r\n";
    std::mt19937 random(7);
    for (int block = 0; block < 16; ++block) {
        file += "#P " + std::to_string(50 * (block % 4) - 100) + " " +
                std::to_string(50 * (block / 4) - 100) + "\r\n";
        for (int r = 0; r < 50; ++r) {
            for (int c = 0; c < 50; ++c) file += random() & 1 ? '*' : '.';
            file += "\r\n";
        }
    }
    SetBoardSize(1000, 1000);
    ASSERT_NE(OpenText("soup.lif", file), nullptr);
    platform.ClearLog();
    ASSERT_TRUE(platform.Command(ID_CENSUS));
    EXPECT_TRUE(View()->Analysis().Busy());
    EXPECT_EQ(Strip().GetDlgItemText(IDC_ANALYSIS_PROGRESS),
              "Census: running the pattern until it settles");
    EXPECT_FALSE(Enabled(ID_IDENTIFY));
    EXPECT_FALSE(Enabled(ID_TOOLS_STEP));
    platform.KeyDown(*View(), VK_ESCAPE);
    ExpectAnalysisGone();
    EXPECT_TRUE(platform.DialogsShown().empty());
    EXPECT_TRUE(Enabled(ID_CENSUS));
}

TEST(IdentityWords, ObliqueAndFastSpeeds) {
    Identity id;
    id.kind = Identity::Kind::Spaceship;
    id.period = 6;
    id.dx = -2;
    id.dy = 1;
    id.minPopulation = id.maxPopulation = 10;
    id.width = id.height = 4;
    EXPECT_EQ(IdentityWords(id),
              "Spaceship, period 6, moving 1 cell down and 2 cells left every 6 generations "
              "((2,1)c/6), population 10, 4 x 4 cells.");
    id.period = 5;
    id.dx = 0;
    id.dy = -2;
    EXPECT_EQ(IdentityWords(id).substr(0, 65),
              "Spaceship, period 5, moving 2 cells up every 5 generations (2c/5)");
}

TEST(PopulationGraph, EachColumnSpansTheLeastAndGreatestValueItCovers) {
    // A saw tooth 0..9 repeated: ten values a column give 0..9 in each; five
    // values a column give the two halves of a tooth.
    std::vector<GenerationCounts> counts;
    for (int i = 0; i < 100; ++i) counts.push_back(GenerationCounts{i % 10, i, -i});
    const auto ten = DecimateColumns(counts, 10, &GenerationCounts::live);
    EXPECT_EQ(ten, std::vector<ColumnSpan>(10, ColumnSpan{0, 9}));
    const auto twenty = DecimateColumns(counts, 20, &GenerationCounts::live);
    ASSERT_EQ(twenty.size(), 20u);
    EXPECT_EQ(twenty[0], (ColumnSpan{0, 4}));
    EXPECT_EQ(twenty[1], (ColumnSpan{5, 9}));
    // Uneven shares: 100 values over 7 columns, every value in one column.
    const auto seven = DecimateColumns(counts, 7, &GenerationCounts::births);
    ASSERT_EQ(seven.size(), 7u);
    EXPECT_EQ(seven.front().low, 0);
    EXPECT_EQ(seven.back().high, 99);
    for (std::size_t c = 1; c < seven.size(); ++c) EXPECT_EQ(seven[c].low, seven[c - 1].high + 1);
    EXPECT_EQ(DecimateColumns(counts, 1, &GenerationCounts::deaths),
              (std::vector<ColumnSpan>{{-99, 0}}));
    // The history's kept blocks give the same spans as a plain pass, for
    // any run length and column count.
    std::mt19937 random(5);
    PopulationHistory history;
    history.Restart(10, 3);
    std::vector<GenerationCounts> plain{{3, 0, 0}};
    for (int g = 11; g < 70000; ++g) {
        const GenerationCounts c{int32_t(random() % 1000), int32_t(random() % 50), -int32_t(g)};
        history.Add(g, c.live, c.births, c.deaths);
        plain.push_back(c);
        if (g % 9973 != 0 && g != 69999) continue;
        for (int columns : {1, 7, 333, 800})
            for (auto field : {&GenerationCounts::live, &GenerationCounts::deaths})
                ASSERT_EQ(history.Columns(columns, field), DecimateColumns(plain, columns, field))
                    << g << " generations, " << columns << " columns";
    }
    // An edit between runs cuts the history back to its generation, at a
    // block's end, inside one, or at the start; the spans stay exact.
    for (const int64_t at : {65546, 4106, 4105, 300, 10}) {
        history.SetAt(at, 777);
        plain.resize(std::size_t(at - 10 + 1));
        plain.back().live = 777;
        EXPECT_EQ(history.LastGeneration(), at);
        for (int columns : {1, 7, 333})
            ASSERT_EQ(history.Columns(columns, &GenerationCounts::live),
                      DecimateColumns(plain, columns, &GenerationCounts::live))
                << "cut at " << at << ", " << columns << " columns";
    }
    history.SetAt(5, 9);  // before the first: the history starts there
    EXPECT_EQ(history.FirstGeneration(), 5);
    EXPECT_EQ(history.LastGeneration(), 5);
    // A history thinned to blocks is cut back only where it is still exact.
    PopulationHistory thin;
    thin.SetBudget(kLeastHistoryBudget);
    thin.Restart(0, 1);
    for (int g = 1; g < 100000; ++g) thin.Add(g, g % 100, 0, 0);
    ASSERT_TRUE(thin.Thinned());
    const int64_t exactFrom = thin.ExactFrom();
    thin.SetAt(99990, 4242);
    EXPECT_EQ(std::make_pair(thin.LastGeneration(), thin.Last().live),
              std::make_pair(int64_t(99990), 4242));
    EXPECT_EQ(thin.Columns(1, &GenerationCounts::live), (std::vector<ColumnSpan>{{0, 4242}}));
    thin.SetAt(exactFrom - 1, 7);
    EXPECT_EQ(thin.FirstGeneration(), exactFrom - 1);
    EXPECT_FALSE(thin.Thinned());
    // More columns than values: one value a column.
    counts.resize(3);
    EXPECT_EQ(DecimateColumns(counts, 400, &GenerationCounts::live),
              (std::vector<ColumnSpan>{{0, 0}, {1, 1}, {2, 2}}));
}

// A long run fed straight to the history: its memory stays within the
// budget, the latest generations stay exact, older ones are blocks whose
// least and greatest counts are those of the generations they cover, and
// the graph's columns never leave out a value.
TEST(PopulationHistory, KeepsItsBudgetOverALongRunLatestExactOlderAsBlocks) {
    auto live = [](int64_t g) { return int32_t((uint64_t(g) * 0x9E3779B97F4A7C15ull) >> 54); };
    auto births = [](int64_t g) { return int32_t(g % 977); };
    const int64_t first = (int64_t(1) << 32) - 5, last = first + 3000000;
    PopulationHistory history;
    history.SetBudget(kLeastHistoryBudget);
    history.Restart(first, live(first));
    std::size_t most = 0;
    for (int64_t g = first + 1; g <= last; ++g) {
        history.Add(g, live(g), births(g), -int32_t(g % 5));
        if (g % 4096 == 0) most = std::max(most, history.Bytes());
    }
    EXPECT_LE(most, history.Budget());
    EXPECT_GT(most, history.Budget() / 2);
    ASSERT_TRUE(history.Thinned());
    EXPECT_EQ(history.FirstGeneration(), first);
    EXPECT_EQ(history.LastGeneration(), last);
    EXPECT_EQ(history.Last().live, live(last));
    EXPECT_GT(last - history.ExactFrom(), 2000);

    // The text: ranges from the first generation to the last without a gap,
    // coarser the older, each with its true least and greatest counts.
    std::vector<std::string> lines;
    std::string text;
    ASSERT_TRUE(history.WriteText(StatsColumns{true, true, true, false},
                                  [&](const char* line, std::size_t n) {
                                      text.append(line, n);
                                      return true;
                                  }));
    std::istringstream in(text);
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line,
              "First Generation,Last Generation,Least Total Cells,Greatest Total Cells,"
              "Least Births,Greatest Births\r");
    int64_t next = first, widest = INT64_MAX;
    while (std::getline(in, line)) {
        int64_t from = 0, to = 0;
        int lo = 0, hi = 0, blo = 0, bhi = 0;
        ASSERT_EQ(std::sscanf(line.c_str(), "%" SCNd64 ",%" SCNd64 ",%d,%d,%d,%d", &from, &to, &lo,
                              &hi, &blo, &bhi),
                  6)
            << line;
        ASSERT_EQ(from, next);
        const int64_t width = to - from + 1;
        ASSERT_LE(width, widest) << line;
        ASSERT_EQ(width & (width - 1), 0) << line;  // 1, 16, 256, ...
        widest = width;
        int32_t low = live(from), high = low, blow = births(from), bhigh = blow;
        for (int64_t g = from; g <= to; ++g) {
            low = std::min(low, live(g));
            high = std::max(high, live(g));
            blow = std::min(blow, births(g));
            bhigh = std::max(bhigh, births(g));
        }
        ASSERT_EQ(std::vector<int>({lo, hi, blo, bhi}), std::vector<int>({low, high, blow, bhigh}))
            << line;
        ASSERT_EQ(width == 1, from >= history.ExactFrom()) << line;
        next = to + 1;
    }
    EXPECT_EQ(next, last + 1);
    EXPECT_EQ(widest, 1);

    // Columns: exact where the generations are, never narrower than the
    // truth where they are blocks.
    const int columns = 700;
    const auto spans = history.Columns(columns, &GenerationCounts::live);
    ASSERT_EQ(spans.size(), std::size_t(columns));
    const uint64_t n = uint64_t(last - first + 1);
    for (int c = 0; c < columns; ++c) {
        const int64_t from = first + int64_t(c * n / columns),
                      to = first + int64_t((c + 1) * n / columns);
        int32_t low = live(from), high = low;
        for (int64_t g = from; g < to; ++g) {
            low = std::min(low, live(g));
            high = std::max(high, live(g));
        }
        if (from >= history.ExactFrom()) {
            ASSERT_EQ(spans[std::size_t(c)], (ColumnSpan{low, high})) << c;
        }
        ASSERT_LE(spans[std::size_t(c)].low, low) << c;
        ASSERT_GE(spans[std::size_t(c)].high, high) << c;
    }

    // A new run gives the memory back.
    history.Restart(0, 7);
    EXPECT_FALSE(history.Thinned());
    EXPECT_LT(history.Bytes(), 1024u);
}

// A jump's generations added at once leave the history that adding them one
// at a time leaves: the same generations exact, the same blocks, columns and
// text, whether it was fresh, short or thinned already, for periods shorter
// and longer than the blocks and a jump that does not follow on.
TEST(PopulationHistory, RepeatedGenerationsAtOnceAsOneAtATime) {
    struct Case {
        std::size_t budget;
        int64_t before;  // generations kept before the jump
        int64_t gap;     // 1: the jump follows on; more: it starts the history again
        int64_t period, count;
    };
    const Case cases[] = {
        {kDefaultHistoryBudget, 581, 1, 2, 1000000},
        {kDefaultHistoryBudget, 4099, 1, 3, 70001},
        {kDefaultHistoryBudget, 300, 5, 7, 50000},
        {kLeastHistoryBudget, 581, 1, 2, 1000000},
        {kLeastHistoryBudget, 100003, 1, 48, 300007},
        {kLeastHistoryBudget, 70000, 1, 4103, 2000000},
        {kLeastHistoryBudget, 4095, 1, 65536, 700000},
        {kLeastHistoryBudget, 12, 1, 1, 5000},
    };
    std::mt19937 random(11);
    auto counts = [&] {
        return GenerationCounts{int32_t(random() % 5000), int32_t(random() % 300),
                                int32_t(random() % 300)};
    };
    auto text = [](const PopulationHistory& h) {
        std::string all;
        h.WriteText(StatsColumns{true, true, true, true}, [&](const char* line, std::size_t n) {
            all.append(line, n);
            return true;
        });
        return all;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.before << " before, period " << c.period << ", "
                                        << c.count << " generations, budget " << c.budget);
        PopulationHistory one, bulk;
        const int64_t start = (int64_t(1) << 32) - 3;
        for (PopulationHistory* h : {&one, &bulk}) {
            h->SetBudget(c.budget);
            h->Restart(start, 10);
        }
        for (int64_t g = start + 1; g <= start + c.before; ++g) {
            const GenerationCounts v = counts();
            one.Add(g, v.live, v.births, v.deaths);
            bulk.Add(g, v.live, v.births, v.deaths);
        }
        std::vector<GenerationCounts> byPhase(std::size_t(c.period));
        for (GenerationCounts& v : byPhase) v = counts();
        const int64_t first = start + c.before + c.gap;
        for (int64_t h = first; h < first + c.count; ++h) {
            const GenerationCounts& v = byPhase[std::size_t(h % c.period)];
            one.Add(h, v.live, v.births, v.deaths);
        }
        bulk.AddRepeated(first, byPhase, c.count);

        EXPECT_EQ(bulk.FirstGeneration(), one.FirstGeneration());
        EXPECT_EQ(bulk.LastGeneration(), one.LastGeneration());
        EXPECT_EQ(bulk.ExactFrom(), one.ExactFrom());
        EXPECT_LE(bulk.Bytes(), bulk.Budget());
        for (auto field :
             {&GenerationCounts::live, &GenerationCounts::births, &GenerationCounts::deaths})
            for (int columns : {1, 7, 400, 5000})
                ASSERT_EQ(bulk.Columns(columns, field), one.Columns(columns, field)) << columns;
        ASSERT_TRUE(text(bulk) == text(one));
        // It goes on as the other does.
        one.Add(first + c.count, 1, 2, 3);
        bulk.Add(first + c.count, 1, 2, 3);
        ASSERT_EQ(bulk.Columns(400, &GenerationCounts::live),
                  one.Columns(400, &GenerationCounts::live));
    }
}

TEST_F(Analysis, PopulationGraphFollowsTheRunAndSavesItsCountsAsAStatisticsFile) {
    ASSERT_NE(OpenText("glider.lif", kGliderFile), nullptr);
    platform.Command(ID_POPULATION_GRAPH);
    ASSERT_TRUE(platform.GraphShown());
    EXPECT_EQ(app.GetProfileInt("Population Graph", "Shown", 0), 1);
    for (int i = 0; i < 4; ++i) platform.Command(ID_TOOLS_STEP);
    EXPECT_EQ(platform.Graph().caption, "Generation 4: live 5");
    EXPECT_EQ(platform.Graph().firstX, 0);
    EXPECT_EQ(platform.Graph().lastX, 4);
    ASSERT_EQ(platform.Graph().series.size(), 1u);
    EXPECT_EQ(platform.Graph().series[0].columns.size(), 5u);
    EXPECT_EQ(platform.Graph().maxY, 5);

    platform.Command(ID_GRAPH_BIRTHS_DEATHS);
    EXPECT_EQ(platform.Graph().series.size(), 3u);
    EXPECT_EQ(platform.Graph().caption, "Generation 4: live 5, births 2, deaths 2");

    // The statistics file's columns as chosen there (generation and total).
    platform.ExpectFileDialog(Path("counts.csv"));
    platform.Command(ID_GRAPH_SAVE_CSV);
    EXPECT_EQ(Slurp(Path("counts.csv")),
              "Generation,Total Cells\r\n0,5\r\n1,5\r\n2,5\r\n3,5\r\n4,5\r\n");

    // Reload starts the counts again.
    platform.Command(ID_FILE_RELOAD);
    EXPECT_EQ(platform.Graph().caption, "Generation 0: live 5, births 0, deaths 0");
    platform.Command(ID_POPULATION_GRAPH);
    EXPECT_FALSE(platform.GraphShown());
    EXPECT_EQ(app.GetProfileInt("Population Graph", "Shown", 1), 0);
}

// The graph's counts saved over a file that must be written in place (it has
// two names): when the disk stops them part-way, the file ends with the last
// whole line, and the user is told it may be damaged.
TEST_F(Analysis, GraphCountsTheDiskStopsEndWithAWholeLine) {
    ASSERT_NE(OpenText("glider.lif", kGliderFile), nullptr);
    for (int i = 0; i < 9000; ++i) platform.Command(ID_TOOLS_STEP);
    platform.ExpectFileDialog(Path("whole.csv"));
    platform.Command(ID_GRAPH_SAVE_CSV);
    const std::string whole = Slurp(Path("whole.csv"));
    ASSERT_GT(whole.size(), 70000u);
    const std::string linked = Write("linked.csv", "old");
    std::filesystem::create_hard_link(linked, Path("alias.csv"));
    platform.FailWritesAfter(linked, 70000);
    platform.ClearLog();
    platform.ExpectFileDialog(linked);
    platform.Command(ID_GRAPH_SAVE_CSV);
    EXPECT_EQ(platform.MessageTexts(), std::vector<std::string>{"Unable to save " + linked + ". " +
                                                                MayBeDamagedText(linked)});
    const std::string cut = Slurp(Path("alias.csv"));
    EXPECT_GT(cut.size(), 60000u);
    EXPECT_LT(cut.size(), 70000u);
    EXPECT_EQ(cut.substr(cut.size() - 2), "\r\n");
    EXPECT_EQ(whole.compare(0, cut.size(), cut), 0);
}

// Within a small budget (the settings') a long run's older counts are
// thinned: Save as CSV then writes ranges of generations with their least
// and greatest counts and says so; the latest generations stay exact.
TEST_F(Analysis, GraphCsvOfAThinnedRunGivesRangesAndSaysSo) {
    app.WriteProfileInt("Population Graph", "History Kilobytes", 64);
    ASSERT_NE(OpenText("blinker.lif", kBlinkerFile), nullptr);
    platform.ExpectDialog(IDD_GO_TO_GENERATION, [](DialogDriver& d) {
        d.Type(IDC_GOTO_GENERATION, "20000");
        d.Click(IDOK);
    });
    platform.Command(ID_GO_TO_GENERATION);
    platform.ClearScript();
    for (int i = 0; i < 1000 && View()->IsRunning(); ++i) platform.AdvanceTime(50);
    ASSERT_EQ(View()->Simulation().Generation(), 20000);
    const PopulationHistory& history = Doc()->Counts();
    EXPECT_EQ(history.FirstGeneration(), 0);
    EXPECT_EQ(history.LastGeneration(), 20000);
    ASSERT_TRUE(history.Thinned());
    EXPECT_LE(history.Bytes(), history.Budget());
    platform.ClearLog();
    platform.ExpectFileDialog(Path("thinned.csv"));
    platform.Command(ID_GRAPH_SAVE_CSV);
    EXPECT_EQ(platform.MessageTexts(),
              std::vector<std::string>{ThinnedCountsMessage(0, history.ExactFrom())});
    const std::string text = Slurp(Path("thinned.csv"));
    EXPECT_EQ(text.substr(0, text.find('\n') + 1),
              "First Generation,Last Generation,Least Total Cells,Greatest Total Cells\r\n");
    // The first block starts the run (a blinker is 3 cells throughout); the
    // exact part ends the file, one generation a line.
    EXPECT_EQ(text.find("\r\n0,"), text.find('\n') - 1);
    const std::string exactLine = "\r\n" + std::to_string(history.ExactFrom()) + "," +
                                  std::to_string(history.ExactFrom()) + ",3,3\r\n";
    EXPECT_NE(text.find(exactLine), std::string::npos);
    EXPECT_EQ(text.substr(text.size() - 18), "\n20000,20000,3,3\r\n");

    // Back to the default budget: nothing thinned, the statistics format.
    app.WriteProfileInt("Population Graph", "History Kilobytes", 65536);
    platform.Command(ID_FILE_RELOAD);
    platform.Command(ID_TOOLS_STEP);
    platform.ClearLog();
    platform.ExpectFileDialog(Path("thinned.csv"));
    platform.Command(ID_GRAPH_SAVE_CSV);
    EXPECT_TRUE(platform.MessageTexts().empty());
    EXPECT_EQ(Slurp(Path("thinned.csv")), "Generation,Total Cells\r\n0,3\r\n1,3\r\n");
}

TEST_F(Analysis, StopWhenThePatternRepeatsIsASettingOffByDefault) {
    // Off: a blinker runs on, as it always did.
    ASSERT_NE(OpenText("blinker.lif", kBlinkerFile), nullptr);
    EXPECT_FALSE(Checked(ID_STOP_WHEN_REPEATS));
    platform.ClearLog();
    platform.Command(ID_TOOLS_RUN);
    Tick(10);
    EXPECT_TRUE(View()->IsRunning());
    EXPECT_TRUE(platform.MessageTexts().empty());
    platform.Command(ID_TOOLS_PAUSE);

    // On (and kept): the run stops where the live cells first repeat.
    platform.Command(ID_STOP_WHEN_REPEATS);
    EXPECT_TRUE(Checked(ID_STOP_WHEN_REPEATS));
    EXPECT_EQ(app.GetProfileInt("Analysis", "StopWhenRepeats", 0), 1);
    platform.Command(ID_FILE_RELOAD);
    platform.Command(ID_TOOLS_RUN);
    Tick(10);
    EXPECT_FALSE(View()->IsRunning());
    EXPECT_EQ(platform.MessageTexts(),
              std::vector<std::string>{"Repeats with period 2 from generation 0."});
    EXPECT_EQ(View()->Simulation().Generation(), 2);
    // Run again: watched afresh from where it stands.
    platform.ClearLog();
    platform.Command(ID_TOOLS_RUN);
    Tick(10);
    EXPECT_EQ(platform.MessageTexts(),
              std::vector<std::string>{"Repeats with period 2 from generation 2."});
    EXPECT_EQ(View()->Simulation().Generation(), 4);

    // A change of rule within the run starts the watch again from there
    // (the blinker blinks the same under Highlife).
    platform.Command(ID_FILE_RELOAD);
    platform.Command(ID_TOOLS_RUN);
    Tick();
    platform.ExpectDialog(IDD_RULES, [](DialogDriver& d) {
        ASSERT_TRUE(d.Select(IDC_RULES_LIST, "Highlife"));
        d.Click(IDOK);
    });
    platform.Command(ID_FILE_EDIT_RULES);
    platform.ClearScript();
    platform.ClearLog();
    Tick(10);
    EXPECT_EQ(platform.MessageTexts(),
              std::vector<std::string>{"Repeats with period 2 from generation 1."});
    EXPECT_EQ(View()->Simulation().Generation(), 3);

    // Period 1 is stagnation, message and all.
    ASSERT_NE(OpenText("block.lif", kBlockFile), nullptr);
    platform.ClearLog();
    platform.Command(ID_TOOLS_RUN);
    Tick(10);
    EXPECT_EQ(platform.MessageTexts(), std::vector<std::string>{kStagnationMessage});
    EXPECT_EQ(View()->Simulation().Generation(), 1);
}

}  // namespace
}  // namespace cellarium
