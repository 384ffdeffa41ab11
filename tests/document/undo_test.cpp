// Undo, redo and the selection as the user works them: strokes, runs, the
// Edit commands, paste and the Rules and Edit Description dialogs, checked
// against a model that keeps a full copy of everything after every step.
#include <algorithm>
#include <cstdio>
#include <random>

#include "engine/cell_pack.h"
#include "engine/region_edit.h"
#include "engine/step.h"
#include "life_session.h"

namespace cellarium {
namespace {

// Everything an undo step must put back.
struct Snapshot {
    std::vector<uint8_t> cells;
    int32_t live = 0;
    Rect bounds{};
    Rule rules;
    std::string description;
    RunCounters counters;
    bool operator==(const Snapshot&) const = default;
};

class Undo : public LifeSession {
protected:
    void SetUp() override { OpenSoup(); }
    // A 20 x 20 soup in the middle, so that runs change something.
    void OpenSoup() {
        std::mt19937 rng(7);
        std::string file = "#Life 1.05\r\n#P -10 -10\r\n";
        for (int y = 0; y < 20; ++y) {
            for (int x = 0; x < 20; ++x) file += rng() % 3 == 0 ? '*' : '.';
            file += "\r\n";
        }
        ASSERT_NE(OpenText("soup.lif", file), nullptr);
        platform.Command(ID_TOOLS_EDIT);
    }

    Snapshot Take() const {
        const CellBoard& b = Board();
        return Snapshot{std::vector<uint8_t>(b.Cells(), b.Cells() + b.CellCount()),
                        b.liveCount,
                        b.bounds,
                        Doc()->GetRule(),
                        b.description,
                        View()->Counters()};
    }
    // The client point at the top-left pixel of a cell.
    CPoint On(CPoint cell) const {
        const CPoint b = View()->BoardScroll();
        const int z = int(View()->Viewport().Zoom());
        return CPoint{cell.x * z - b.x, cell.y * z - b.y};
    }
    void Stroke(const std::vector<CPoint>& cells, bool erase) {
        CDialogBar& strip = *platform.Bar(IDD_STATUS_STRIP);
        if ((strip.IsDlgButtonChecked(IDC_ERASE) != 0) != erase) strip.UserClicks(IDC_ERASE);
        platform.LButtonDown(*View(), On(cells.front()));
        for (const CPoint& c : cells) platform.MouseMove(*View(), MK_LBUTTON, On(c));
        platform.LButtonUp(*View(), On(cells.back()));
    }
    void Select(CPoint from, CPoint to) {
        platform.RButtonDown(*View(), On(from));
        platform.MouseMove(*View(), MK_RBUTTON, On(to));
        platform.RButtonUp(*View(), On(to));
    }
    void PasteAt(const std::string& text, CPoint at) {
        platform.SetClipboardText(text);
        platform.Command(ID_EDIT_PASTE);
        platform.MouseMove(*View(), 0, On(at));
        platform.LButtonDown(*View(), On(at));
        platform.LButtonUp(*View(), On(at));
    }
    std::string MenuText(unsigned id) const { return Frame()->QueryCommandState(id).m_strText; }
    // The live cells of a block of the board, as rows of '.' and 'o'.
    std::string Picture(Rect r) const {
        std::string out;
        for (int y = r.top; y <= r.bottom; ++y) {
            for (int x = r.left; x <= r.right; ++x) out += Board().At(x, y) ? 'o' : '.';
            out += '\n';
        }
        return out;
    }
    void ExpectBordersAgree() const {
        const CellBoard& a = Board();
        const CellBoard& b = *Doc()->ScratchBoard();
        for (int x = 0; x < a.width; ++x)
            ASSERT_TRUE(a.At(x, 0) == b.At(x, 0) && a.At(x, a.height - 1) == b.At(x, a.height - 1));
        for (int y = 0; y < a.height; ++y)
            ASSERT_TRUE(a.At(0, y) == b.At(0, y) && a.At(a.width - 1, y) == b.At(a.width - 1, y));
    }
};

// The generations from `from` to the counters of `to`, made on boards of
// the model's own, must give `to`'s cells: no cell left in the document's
// scratch board comes back after an undo.
void ExpectRunMatches(const Snapshot& from, const Snapshot& to, int width, int height) {
    std::unique_ptr<CellBoard> cur = CellBoard::Create(width, height);
    std::unique_ptr<CellBoard> scratch = CellBoard::Create(width, height);
    std::copy(from.cells.begin(), from.cells.end(), cur->EditCells());
    CopyBorder(*cur, *scratch);
    cur->bounds = from.bounds;
    cur->liveCount = from.live;
    int32_t births = 0, deaths = 0;
    for (int32_t g = from.counters.generation; g < to.counters.generation; ++g) {
        cur->ComputeNext(*scratch, from.rules, int(uint32_t(g) & 0xFF) + 1, births, deaths);
        std::swap(cur, scratch);
    }
    EXPECT_TRUE(std::equal(to.cells.begin(), to.cells.end(), cur->Cells()));
    EXPECT_EQ(to.live, cur->liveCount);
    EXPECT_EQ(to.counters, (RunCounters{to.counters.generation, births, deaths}));
}

TEST_F(Undo, RandomEditsRunsUndosAndRedosMatchAModelOfFullCopies) {
    std::mt19937 rng(20);
    auto pick = [&rng](int n) { return int(rng() % unsigned(n)); };
    const int w = Board().width, h = Board().height;
    // A cell anywhere, the border included now and then.
    auto cell = [&] { return CPoint{pick(w), pick(h)}; };
    std::vector<Snapshot> done{Take()}, undone;
    const unsigned selectionCommands[] = {
        ID_EDIT_CLEAR,         ID_EDIT_CLEAR_OUTSIDE,    ID_EDIT_FLIP_HORIZONTAL,
        ID_EDIT_FLIP_VERTICAL, ID_EDIT_ROTATE_CLOCKWISE, ID_EDIT_ROTATE_ANTICLOCKWISE,
        ID_EDIT_CUT,           ID_EDIT_FILL_RANDOM};
    for (int op = 0; op < 200; ++op) {
        const int kind = pick(12);
        bool step = true;
        bool run = false;
        if (kind <= 1) {
            std::vector<CPoint> cells;
            for (int i = 0, n = 1 + pick(6); i < n; ++i) cells.push_back(cell());
            Stroke(cells, pick(3) == 0);
            step = Take().cells != done.back().cells;
        } else if (kind == 2) {
            platform.Command(ID_TOOLS_STEP);
            run = true;
        } else if (kind == 3) {
            platform.Command(ID_TOOLS_RUN);
            Tick(1 + pick(4));
            platform.Command(ID_TOOLS_PAUSE);
            run = true;
        } else if (kind == 4) {
            Select(cell(), cell());
            platform.Command(selectionCommands[pick(8)]);
            platform.Command(ID_EDIT_CANCEL);
        } else if (kind == 5) {
            PasteAt("x = 3, y = 2, rule = B36/S23\nobo$b2o!\n", cell());
            platform.Command(ID_EDIT_CANCEL);
        } else if (kind == 6) {
            const int box = pick(2) ? IDC_BORN_0 + pick(9) : IDC_SURVIVE_0 + pick(9);
            platform.ExpectDialog(IDD_RULES, [box](DialogDriver& d) {
                d.Click(box);
                d.Click(IDOK);
            });
            platform.Command(ID_FILE_EDIT_RULES);
        } else if (kind == 7) {
            const std::string text = "Text " + std::to_string(op);
            platform.ExpectDialog(IDD_FILE_INFO, [text](DialogDriver& d) {
                d.Type(IDC_FI_DESCRIPTION, text);
                d.Click(IDOK);
            });
            platform.Command(ID_FILE_EDIT_DESCRIPTION);
        } else if (kind == 8) {
            platform.Command(pick(2) ? ID_CELLS_CENTER : ID_CELLS_ROTATE_LEFT);
        } else if (kind <= 10) {
            EXPECT_EQ(platform.Command(ID_EDIT_UNDO), done.size() > 1) << "op " << op;
            if (done.size() > 1) {
                undone.push_back(done.back());
                done.pop_back();
            }
            step = false;
        } else {
            EXPECT_EQ(platform.Command(ID_EDIT_REDO), !undone.empty()) << "op " << op;
            if (!undone.empty()) {
                done.push_back(undone.back());
                undone.pop_back();
            }
            step = false;
        }
        platform.ClearScript();
        const Snapshot now = Take();
        if (run) ExpectRunMatches(done.back(), now, w, h);
        if (step) {
            done.push_back(now);
            undone.clear();
        }
        ASSERT_TRUE(now == done.back()) << "op " << op << " kind " << kind;
        ExpectBordersAgree();
    }
    EXPECT_TRUE(platform.ScriptErrors().empty());
}

// A run's step keeps the board the run began from whole and trades whole
// boards on undo and redo; idle time packs it, and the board freed is the
// spare the next run's scratch slot takes, its old cells cleared where the
// step does not write. Undo in the middle of a run (a board held whole),
// after a long run (packed), and back and forth across several runs, one of
// them from a glider far from the cells the spare held.
TEST_F(Undo, RunsPassOneSpareBoardRoundAndTheirUndoIsExact) {
    UndoHistory& history = Doc()->History();
    const int w = Board().width, h = Board().height;
    std::vector<Snapshot> states{Take()};
    auto run = [&](int ticks, bool pause) {
        platform.Command(ID_TOOLS_RUN);
        Tick(ticks);
        const Snapshot end = Take();
        ExpectRunMatches(states.back(), end, w, h);
        if (pause) platform.Command(ID_TOOLS_PAUSE);
        states.push_back(end);
    };
    run(3, false);
    EXPECT_TRUE(history.HoldsBoards());
    // Undo pauses the run: the start board comes back whole, then the end.
    ASSERT_TRUE(platform.Command(ID_EDIT_UNDO));
    EXPECT_TRUE(Take() == states[0]);
    ASSERT_TRUE(platform.Command(ID_EDIT_REDO));
    EXPECT_TRUE(Take() == states[1]);
    run(60, true);
    EXPECT_FALSE(history.HoldsBoards());
    EXPECT_TRUE(history.HasSpare());
    const std::size_t made = history.BoardsMade();
    EXPECT_EQ(made, 1u);  // the first run's scratch board, never another
    ASSERT_TRUE(platform.Command(ID_EDIT_UNDO));
    EXPECT_TRUE(Take() == states[1]);
    ASSERT_TRUE(platform.Command(ID_EDIT_REDO));
    EXPECT_TRUE(Take() == states[2]);
    // A glider in the far corner of an emptied board: the spare's cells lie
    // outside every window its run steps.
    platform.Command(ID_EDIT_SELECT_ALL);
    platform.Command(ID_EDIT_CLEAR);
    platform.Command(ID_EDIT_CANCEL);
    PasteAt("x = 3, y = 3\nbo$2bo$3o!\n", CPoint{w - 30, h - 30});
    platform.Command(ID_EDIT_CANCEL);
    states.push_back(Take());
    for (int i = 0; i < 4; ++i) run(2 + 7 * i, true);
    EXPECT_EQ(history.BoardsMade(), made);
    EXPECT_TRUE(history.HasSpare());
    // Back through the four runs and the edits to the runs before, and on.
    std::vector<Snapshot> later;
    for (int i = 0; i < 4; ++i) {
        later.push_back(states.back());
        states.pop_back();
        ASSERT_TRUE(platform.Command(ID_EDIT_UNDO));
        EXPECT_TRUE(Take() == states.back()) << "undo " << i;
    }
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(platform.Command(ID_EDIT_REDO));
        EXPECT_TRUE(Take() == later.back()) << "redo " << i;
        later.pop_back();
    }
    EXPECT_EQ(history.BoardsMade(), made);
    ExpectBordersAgree();
}

// On a board large enough for making one to show, the spare is made ahead:
// runs started one after another before idle time has packed a board, and
// undo and redo across them at once, each find one and none waits for a
// board to be made. Each run's undo stays exact.
TEST_F(Undo, OnALargeBoardRunsAndUndoNeverWaitForABoardToBeMade) {
    SetBoardSize(2048, 2048);
    ASSERT_GE(std::size_t(2048) * 2048, UndoHistory::kSpareAheadFromCells);
    OpenSoup();
    UndoHistory& history = Doc()->History();
    EXPECT_TRUE(history.HasSpare() || history.SpareComing());
    const int w = Board().width, h = Board().height;
    std::vector<Snapshot> states{Take()};
    for (int i = 0; i < 4; ++i) {
        platform.Command(ID_TOOLS_RUN);
        Tick(2 + i);
        platform.Command(ID_TOOLS_PAUSE);
        states.push_back(Take());
        ExpectRunMatches(states[states.size() - 2], states.back(), w, h);
    }
    for (int i = 3; i >= 0; --i) {
        ASSERT_TRUE(platform.Command(ID_EDIT_UNDO));
        EXPECT_TRUE(Take() == states[std::size_t(i)]) << "undo " << i;
    }
    for (int i = 1; i <= 4; ++i) {
        ASSERT_TRUE(platform.Command(ID_EDIT_REDO));
        EXPECT_TRUE(Take() == states[std::size_t(i)]) << "redo " << i;
    }
    EXPECT_EQ(history.BoardsMadeWhileWaiting(), 0u);
    // Memory short: the spare goes, the one coming too.
    history.ReleaseSpare();
    EXPECT_FALSE(history.HasSpare() || history.SpareComing());
    ExpectBordersAgree();
}

TEST_F(Undo, RunsAndTheirUndoAreNoChangeToSaveButRulesAndTheirUndoAre) {
    platform.Command(ID_TOOLS_RUN);
    Tick(5);
    platform.Command(ID_TOOLS_PAUSE);
    ASSERT_TRUE(platform.Command(ID_EDIT_UNDO));
    ASSERT_TRUE(platform.Command(ID_EDIT_REDO));
    EXPECT_FALSE(Doc()->IsModified());
    const Rule conway = Doc()->GetRule();
    Doc()->SetRule(ParseRule("B36/S23").rule);
    Doc()->SetModifiedFlag(false);
    ASSERT_TRUE(platform.Command(ID_EDIT_UNDO));
    EXPECT_TRUE(Doc()->GetRule() == conway);
    ASSERT_TRUE(platform.Command(ID_EDIT_REDO));
    EXPECT_EQ(FormatRuleText(Doc()->GetRule()), "s23/b36");
    EXPECT_TRUE(Doc()->IsModified());
}

TEST_F(Undo, MenuNamesTheStepAndNewFileOrReloadClearTheHistory) {
    EXPECT_FALSE(platform.Command(ID_EDIT_UNDO));
    EXPECT_EQ(MenuText(ID_EDIT_UNDO), "Undo");
    Stroke({CPoint{5, 5}, CPoint{6, 5}, CPoint{7, 5}}, false);
    EXPECT_EQ(MenuText(ID_EDIT_UNDO), "Undo Draw");
    EXPECT_TRUE(Doc()->IsModified());
    platform.Command(ID_TOOLS_RUN);
    Tick(5);
    platform.Command(ID_TOOLS_PAUSE);
    EXPECT_EQ(MenuText(ID_EDIT_UNDO), "Undo Run");
    EXPECT_TRUE(platform.Command(ID_EDIT_UNDO));
    EXPECT_EQ(View()->Simulation().Generation(), 0);
    EXPECT_EQ(MenuText(ID_EDIT_REDO), "Redo Run");
    PasteAt("x = 1, y = 1\no!\n", CPoint{50, 50});
    EXPECT_EQ(MenuText(ID_EDIT_REDO), "Redo");  // a new step drops what was undone
    platform.Command(ID_EDIT_UNDO);
    EXPECT_EQ(MenuText(ID_EDIT_REDO), "Redo Paste");
    platform.Command(ID_FILE_RELOAD);
    EXPECT_FALSE(platform.Command(ID_EDIT_UNDO));
    EXPECT_FALSE(platform.Command(ID_EDIT_REDO));
}

// Each command on a selection that runs off the board's top-left corner,
// over live border cells: nothing lands on the border, the border agrees on
// both boards and the live count is the board's.
TEST_F(Undo, SelectionCommandsAtTheEdgeKeepTheBorderDead) {
    struct Case {
        unsigned command;
        const char* picture;  // cells (0, 0) .. (4, 3) afterwards
    } const cases[] = {
        {ID_EDIT_CLEAR, ".....\n.....\n.....\n.....\n"},
        {ID_EDIT_CLEAR_OUTSIDE, "oo...\n.oo..\n.o...\n.....\n"},
        {ID_EDIT_FLIP_HORIZONTAL, ".....\n.o...\n.o...\n.....\n"},
        {ID_EDIT_FLIP_VERTICAL, ".....\n.oo..\n.o...\n.....\n"},
        {ID_EDIT_ROTATE_CLOCKWISE, ".....\n.oo..\n.o...\n.....\n"},
        {ID_EDIT_ROTATE_ANTICLOCKWISE, ".....\n.oo..\n.....\n.....\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        // The soup again, unsaved: the last case's border cells must not
        // come back through a save and a reload.
        Doc()->SetModifiedFlag(false);
        platform.Command(ID_FILE_RELOAD);
        platform.Command(ID_EDIT_CANCEL);
        // Border cells (0, 0) and (1, 0) and an L of three at (1, 1).
        Stroke({CPoint{0, 0}, CPoint{1, 0}, CPoint{1, 1}, CPoint{2, 1}, CPoint{1, 2}}, false);
        Select(CPoint{0, 0}, CPoint{2, 2});
        platform.Command(c.command);
        EXPECT_EQ(Picture(Rect{0, 0, 4, 3}), c.picture);
        ExpectBordersAgree();
        int32_t live = 0;
        for (std::size_t i = 0; i < Board().CellCount(); ++i) live += Board().Cells()[i] != 0;
        EXPECT_EQ(Board().liveCount, live);
        // The next step recomputes the whole interior.
        EXPECT_EQ(Board().bounds, Board().WholeBox());
    }
}

TEST_F(Undo, RotationReportsTheCellsItDrops) {
    platform.Command(ID_FILE_RELOAD);
    Stroke({CPoint{1, 1}, CPoint{2, 1}, CPoint{3, 1}, CPoint{4, 1}}, false);
    Select(CPoint{1, 1}, CPoint{4, 1});
    platform.ExpectMessageBox(IDOK, DroppedCellsMessage(2));
    platform.Command(ID_EDIT_ROTATE_CLOCKWISE);
    EXPECT_TRUE(platform.ScriptErrors().empty());
    EXPECT_EQ(Picture(Rect{2, 0, 2, 3}), ".\no\no\n.\n");
}

TEST_F(Undo, FillRandomFillsTheSelectionAtTheDensityGivenAndRemembersIt) {
    Select(CPoint{10, 10}, CPoint{109, 109});
    platform.Command(ID_EDIT_CLEAR);
    platform.ExpectDialog(IDD_FILL_RANDOM, [](DialogDriver& d) {
        EXPECT_EQ(d.Text(IDC_FILL_PERCENT), "50");
        d.Type(IDC_FILL_PERCENT, "20");
        d.Click(IDOK);
    });
    platform.Command(ID_EDIT_FILL_RANDOM);
    int live = 0;
    for (int y = 0; y < Board().height; ++y)
        for (int x = 0; x < Board().width; ++x)
            if (Board().At(x, y) != 0) {
                EXPECT_TRUE(x >= 10 && x <= 109 && y >= 10 && y <= 109);
                ++live;
            }
    EXPECT_NEAR(live, 2000, 200);
    platform.ExpectDialog(IDD_FILL_RANDOM, [](DialogDriver& d) {
        EXPECT_EQ(d.Text(IDC_FILL_PERCENT), "20");
        d.Click(IDCANCEL);
    });
    platform.Command(ID_EDIT_FILL_RANDOM);
    EXPECT_EQ(TheApp()->GetProfileInt("Edit", "FillPercent", 0), 20);
    EXPECT_TRUE(platform.ScriptErrors().empty());
}

// A glider in every format the reader knows pastes as a glider under the
// pointer, and the rule in force stays.
TEST_F(Undo, PasteTakesEveryFormatAndDropsItAtTheClick) {
    const char* const texts[] = {
        "x = 3, y = 3, rule = B36/S23\nbo$2bo$3o!\n",
        "#Life 1.05\r\n#R 23/36\r\n#P 0 0\r\n.*.\r\n..*\r\n***\r\n",
        "#Life 1.06\r\n1 0\r\n2 1\r\n0 2\r\n1 2\r\n2 2\r\n",
        "!Name: glider\r\n.O.\r\n..O\r\nOOO\r\n",
        ".*.\r\n..*\r\n***\r\n",
    };
    for (const char* text : texts) {
        SCOPED_TRACE(text);
        platform.Command(ID_FILE_RELOAD);
        Select(CPoint{0, 0}, CPoint{199, 199});
        platform.Command(ID_EDIT_CLEAR);
        platform.Command(ID_EDIT_CANCEL);
        PasteAt(text, CPoint{41, 61});
        EXPECT_EQ(Picture(Rect{40, 60, 42, 62}), ".o.\n..o\nooo\n");
        EXPECT_EQ(Board().liveCount, 5);
        EXPECT_EQ(Board().At(42, 62), 1);
        EXPECT_TRUE(Doc()->GetRule() == Rule());  // a paste keeps the rule in force
    }
    // Larger than the board: said so, nothing pasted.
    platform.ExpectMessageBox(IDOK, PasteTooLargeMessage(200, 200));
    platform.SetClipboardText("x = 250, y = 1\n250o!\n");
    platform.Command(ID_EDIT_PASTE);
    EXPECT_FALSE(View()->Editing().Floating());
    EXPECT_TRUE(platform.ScriptErrors().empty());
}

TEST_F(Undo, CopyPutsTheSelectionAsRleWithLineFeedsAndCutClearsIt) {
    platform.Command(ID_FILE_RELOAD);
    Select(CPoint{0, 0}, CPoint{199, 199});
    platform.Command(ID_EDIT_CLEAR);
    Stroke({CPoint{30, 30}, CPoint{31, 30}, CPoint{32, 31}}, false);
    Select(CPoint{29, 29}, CPoint{33, 32});
    // The outline: a dark line outside the selected cells, a light one on
    // their edge.
    const CPoint left = On(CPoint{29, 30}), right = On(CPoint{34, 32});
    EXPECT_EQ(platform.Surface().Pixel(left.x - 1, left.y), 0x000000u);
    EXPECT_EQ(platform.Surface().Pixel(left.x, left.y), 0xFFFFFFu);
    EXPECT_EQ(platform.Surface().Pixel(right.x - 1, right.y), 0xFFFFFFu);
    EXPECT_EQ(platform.Surface().Pixel(right.x, right.y), 0x000000u);
    platform.CtrlKey('X');
    EXPECT_EQ(platform.ClipboardText(), "x = 3, y = 2, rule = B3/S23\n2o$2bo!\n");
    EXPECT_EQ(Board().liveCount, 0);
    EXPECT_EQ(MenuText(ID_EDIT_UNDO), "Undo Cut");
    platform.CtrlKey('Z');
    EXPECT_EQ(Board().liveCount, 3);
}

// The client-area box a block of cells covers, worked out from the zoom
// and the scroll alone: z pixels a cell zoomed in, the pixel of each block
// of k x k cells zoomed out. Right and bottom are exclusive.
CRect DrawnBox(const CLifeView& view, Rect cells) {
    const ViewportControl& v = view.Viewport();
    const CPoint b = view.BoardScroll();
    const int z = int(v.Zoom()), k = int(v.Shrink());
    auto at = [&](int cell) { return k > 1 ? cell / k : cell * z; };
    const int size = k > 1 ? 1 : z;
    return CRect{at(cells.left) - b.x, at(cells.top) - b.y, at(cells.right) + size - b.x,
                 at(cells.bottom) + size - b.y};
}

// At every zoom, in and out, the outline's light line covers the outermost
// pixels of the selected cells and its dark line the pixels just outside,
// on all four sides.
TEST_F(Undo, TheSelectionOutlineLiesOnTheSelectedCellsEdgesAtEveryZoom) {
    platform.Command(ID_COLORS_BLUE);
    const Rect cells{98, 99, 101, 101};
    Select(CPoint{cells.left, cells.top}, CPoint{cells.right, cells.bottom});
    ASSERT_TRUE(View()->Editing().HasSelection());
    while (platform.Command(ID_ZOOM_OUT)) {
    }
    ASSERT_EQ(View()->Viewport().ZoomText(), "x1/64");
    const RgbSurface& screen = platform.Surface();
    for (;;) {
        SCOPED_TRACE(View()->Viewport().ZoomText());
        View()->Viewport().CenterOnCell(CPoint{100, 100});
        View()->Viewport().MarkLayoutPending();
        View()->Invalidate(false);
        platform.Pump();
        const CRect box = DrawnBox(*View(), cells);
        ASSERT_GE(box.left, 2);
        ASSERT_GE(box.top, 1);
        ASSERT_LE(box.right, screen.Width() - 1);
        ASSERT_LE(box.bottom, screen.Height() - 1);
        const int midX = (box.left + box.right - 1) / 2, midY = (box.top + box.bottom - 1) / 2;
        for (const auto& [inside, outside] :
             {std::pair{CPoint{box.left, midY}, CPoint{box.left - 1, midY}},
              {CPoint{box.right - 1, midY}, CPoint{box.right, midY}},
              {CPoint{midX, box.top}, CPoint{midX, box.top - 1}},
              {CPoint{midX, box.bottom - 1}, CPoint{midX, box.bottom}}}) {
            EXPECT_EQ(screen.Pixel(inside.x, inside.y), 0xFFFFFFu) << inside.x << "," << inside.y;
            EXPECT_EQ(screen.Pixel(outside.x, outside.y), 0x000000u)
                << outside.x << "," << outside.y;
        }
        if (!platform.Command(ID_ZOOM_IN)) break;
    }
    EXPECT_EQ(View()->Viewport().ZoomText(), "x32");
}

// Paste shows the pattern's cells under the pointer at once and drops them
// on the cells they were drawn over, zoomed in or out; away from the view
// the pattern waits at its middle.
TEST_F(Undo, APasteIsDrawnUnderThePointerAtOnceAndDropsWhereItIsDrawn) {
    platform.Command(ID_COLORS_BLUE);
    Select(CPoint{0, 0}, CPoint{199, 199});
    platform.Command(ID_EDIT_CLEAR);
    platform.Command(ID_EDIT_CANCEL);
    const char* const glider = "x = 3, y = 3\nbo$2bo$3o!\n";
    const RgbSurface& screen = platform.Surface();
    for (const std::string zoom : {"x4", "x1", "x1/4"}) {
        SCOPED_TRACE(zoom);
        platform.Command(ID_FILE_RELOAD);
        Select(CPoint{0, 0}, CPoint{199, 199});
        platform.Command(ID_EDIT_CLEAR);
        platform.Command(ID_EDIT_CANCEL);
        while (platform.Command(ID_ZOOM_IN)) {
        }
        while (View()->Viewport().ZoomText() != zoom) ASSERT_TRUE(platform.Command(ID_ZOOM_OUT));
        platform.Pump();
        const CRect target = View()->Viewport().CellToClient(CPoint{88, 110});
        const CPoint point{target.left, target.top};
        platform.MouseMove(*View(), 0, point);
        platform.SetClipboardText(glider);
        ASSERT_TRUE(platform.CtrlKey('V'));
        ASSERT_TRUE(View()->Editing().Floating());
        // The glider's middle cell is under the pointer: its corner one up
        // and one left of that cell.
        const CPoint under = View()->ClientToCell(point);
        const Rect placed{under.x - 1, under.y - 1, under.x + 1, under.y + 1};
        if (View()->Viewport().Zoom() >= 4) {
            // Each live cell of the glider drawn, and a dead one not (the
            // outline covers only the edge pixels of the box).
            const CRect live = DrawnBox(
                *View(), Rect{placed.left + 2, placed.top + 1, placed.left + 2, placed.top + 1});
            const CRect dead =
                DrawnBox(*View(), Rect{placed.left, placed.top, placed.left, placed.top});
            EXPECT_EQ(screen.Pixel(live.left + live.Width() / 2, live.top + live.Height() / 2),
                      0xFFFFFFu);
            EXPECT_NE(screen.Pixel(dead.left + dead.Width() / 2, dead.top + dead.Height() / 2),
                      0xFFFFFFu);
        }
        platform.LButtonDown(*View(), point);
        platform.LButtonUp(*View(), point);
        EXPECT_EQ(Picture(placed), ".o.\n..o\nooo\n");
        EXPECT_EQ(Board().liveCount, 5);
    }
    // The pointer away from the view: under the middle of it until it comes.
    while (platform.Command(ID_ZOOM_IN)) {
    }
    platform.PointerLeaves();
    platform.SetClipboardText(glider);
    platform.Command(ID_EDIT_PASTE);
    const CPoint middle = View()->ClientToCell(CPoint{120, 134});
    const CRect live = DrawnBox(*View(), Rect{middle.x + 1, middle.y, middle.x + 1, middle.y});
    EXPECT_EQ(screen.Pixel(live.left + live.Width() / 2, live.top + live.Height() / 2), 0xFFFFFFu);
    platform.KeyDown(*View(), VK_ESCAPE);
    // Over a light board the cells are drawn dark.
    platform.Command(ID_COLORS_BW);
    platform.Command(ID_EDIT_PASTE);
    EXPECT_EQ(screen.Pixel(live.left + live.Width() / 2, live.top + live.Height() / 2), 0x000000u);
    platform.KeyDown(*View(), VK_ESCAPE);
    EXPECT_FALSE(View()->Editing().Floating());
}

// A selecting drag held past the view's edge scrolls the view towards the
// pointer, on every tick while it stays there, and the selection follows to
// the cell under the pointer; back inside or let go, the scrolling stops.
TEST_F(Undo, DraggingASelectionPastTheEdgeScrollsTheView) {
    platform.Command(ID_ZOOM_IN);
    platform.Command(ID_ZOOM_IN);  // zoom 4: the 200 x 200 board is larger than the view
    platform.Pump();
    View()->ScrollToPosition(CPoint{0, 0});
    platform.Pump();
    platform.RButtonDown(*View(), CPoint{100, 100});
    const CPoint anchor = View()->ClientToCell(CPoint{100, 100});
    platform.MouseMove(*View(), MK_RBUTTON, CPoint{240 + 19, 100});
    EXPECT_EQ(View()->GetScrollPosition(), (CPoint{20, 0}));
    auto selectedRight = [&] { return View()->Editing().Selection().right; };
    EXPECT_EQ(selectedRight(), View()->ClientToCell(CPoint{240 + 19, 100}).x);
    platform.AdvanceTime(EditingControl::kAutoScrollMs * 3);
    EXPECT_EQ(View()->GetScrollPosition(), (CPoint{80, 0}));
    EXPECT_EQ(selectedRight(), View()->ClientToCell(CPoint{240 + 19, 100}).x);
    // Up past the top at the origin: nothing to scroll that way.
    platform.MouseMove(*View(), MK_RBUTTON, CPoint{120, -30});
    EXPECT_EQ(View()->GetScrollPosition(), (CPoint{80, 0}));
    EXPECT_EQ(View()->Editing().Selection().top, 0);
    // Back inside: it stays.
    platform.MouseMove(*View(), MK_RBUTTON, CPoint{200, 100});
    platform.AdvanceTime(EditingControl::kAutoScrollMs * 3);
    EXPECT_EQ(View()->GetScrollPosition(), (CPoint{80, 0}));
    // Let go outside: it stops.
    platform.MouseMove(*View(), MK_RBUTTON, CPoint{250, 100});
    platform.RButtonUp(*View(), CPoint{250, 100});
    const CPoint stopped = View()->GetScrollPosition();
    platform.AdvanceTime(EditingControl::kAutoScrollMs * 3);
    EXPECT_EQ(View()->GetScrollPosition(), stopped);
    EXPECT_EQ(View()->Editing().Selection().left, anchor.x);
    EXPECT_FALSE(platform.TimerArmed(*View(), EditingControl::AUTOSCROLL_TIMER_ID));
}

// The history's cost: a stroke keeps the cells it changed, and a run on the
// largest board keeps its start board packed.
TEST_F(Undo, StepsOnTheLargestBoardStaySmall) {
    // The cap: 1000 steps, the oldest dropped.
    for (int i = 0; i < 1001; ++i) platform.Command(ID_TOOLS_STEP);
    EXPECT_EQ(Doc()->History().StepCount(), UndoHistory::kMaxSteps);
    SetBoardSize(kMaxBoardSide, kMaxBoardSide);
    platform.Command(ID_FILE_RELOAD);
    std::vector<CPoint> cells;
    for (int i = 0; i < 100; ++i) cells.push_back(CPoint{10 + i, 20 + i % 7});
    Stroke(cells, false);
    const std::size_t stroke = Doc()->History().NewestStepBytes();
    EXPECT_LT(stroke, 4096u);
    const std::vector<uint8_t> drawn(Board().Cells(), Board().Cells() + Board().CellCount());
    platform.Command(ID_TOOLS_STEP);
    const std::size_t run = Doc()->History().NewestStepBytes();
    EXPECT_LT(run, 1u << 20);
    // The start board, packed away from the window, comes back whole.
    platform.CtrlKey('Z');
    EXPECT_TRUE(std::equal(drawn.begin(), drawn.end(), Board().Cells()));
    std::printf("[ undo   ] 100-cell stroke: %zu bytes; a step's start board: %zu bytes\n", stroke,
                run);
}

TEST_F(Undo, TheGraphEndsAtTheBoardAsItIsAfterARunAndAfterEveryChange) {
    platform.Command(ID_POPULATION_GRAPH);
    auto graphShows = [&](const char* what) {
        SCOPED_TRACE(what);
        const int64_t g = View()->Simulation().Generation();
        EXPECT_EQ(platform.Graph().lastX, g);
        EXPECT_EQ(platform.Graph().caption, "Generation " + std::to_string(g) + ": live " +
                                                std::to_string(Board().liveCount));
    };
    // A run draws the graph at most 30 times a second, every third or
    // fourth generation at this speed; paused, it shows where the run stopped.
    platform.Command(ID_TOOLS_RUN);
    for (int i = 0; i < 7; ++i) platform.AdvanceTime(10);
    platform.Command(ID_TOOLS_PAUSE);
    ASSERT_GE(View()->Simulation().Generation(), 5);
    graphShows("a run paused");
    Stroke({CPoint{3, 3}, CPoint{4, 3}, CPoint{5, 3}}, false);
    graphShows("a stroke");
    platform.ExpectDialog(IDD_FILL_RANDOM, [](DialogDriver& d) { d.Click(IDOK); });
    platform.Command(ID_EDIT_FILL_RANDOM);
    graphShows("Fill Random");
    platform.Command(ID_EDIT_UNDO);
    graphShows("Fill Random undone");
    platform.Command(ID_EDIT_UNDO);
    platform.Command(ID_EDIT_UNDO);
    EXPECT_EQ(View()->Simulation().Generation(), 0);
    graphShows("the run undone");
    EXPECT_EQ(platform.Graph().firstX, 0);
    ASSERT_NE(OpenText("block.lif", kBlockFile), nullptr);
    graphShows("another pattern");
    EXPECT_EQ(platform.Graph().caption, "Generation 0: live 4");
}

}  // namespace
}  // namespace cellarium
