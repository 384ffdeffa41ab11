// What the reader refuses to run, LifeHistory's states, grids of other
// shapes, and the files it unpacks or reads whole: gzip-compressed data,
// .zip archives and macrocell trees.
#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "formats/pattern_reader.h"
#include "pattern_test_support.h"

using namespace cellarium;
using namespace cellarium::testing;

namespace {

struct Outcome {
    bool ok = false;
    std::vector<std::string> messages;
    std::vector<std::string> notes;
    Cells cells;
};

Outcome ReadOutcome(const std::string& bytes, int width = 200, int height = 200) {
    struct Keeper final : PatternReporter {
        void ShowMessage(const std::string& t) override { messages.push_back(t); }
        void ShowNote(const std::string& t) override { notes.push_back(t); }
        std::vector<std::string> messages, notes;
    } keeper;
    auto board = CellBoard::Create(width, height);
    MemoryByteSource source(bytes);
    Outcome o;
    Rule rule;
    o.ok = ReadPattern(*board, source, keeper, rule);
    o.messages = keeper.messages;
    o.notes = keeper.notes;
    o.cells = LiveCells(*board);
    return o;
}

std::string Gzip(const std::string& text) {
    z_stream z{};
    EXPECT_EQ(deflateInit2(&z, 9, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY), Z_OK);
    std::string out(deflateBound(&z, uLong(text.size())) + 32, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    z.avail_in = uInt(text.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = uInt(out.size());
    EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

const std::string kGliderRle = "x = 3, y = 3, rule = B3/S23\r\nbo$2bo$3o!\r\n";

}  // namespace

// Rules of other families, other neighbourhoods and named multi-state rules:
// refused, by their own name, from a run-length header, a "#R" line and a
// macrocell file alike; nothing is opened as something else.
TEST(Refusal, RulesOfOtherKindsAreRefusedByName) {
    for (const char* rule : {"345/3/6",
                             "3458/37/4",
                             "R5,C0,M1,S34..58,B34..45,NM",
                             "B3/S23H",
                             "B3/S23V",
                             "B2/S34H",
                             "W22",
                             "w22",
                             "Codd",
                             "JvN29",
                             "Langtons-Loops",
                             "WireWorld",
                             "Turmite_121181121020",
                             "BBM-Margolus-emulated",
                             "Nobili32",
                             "23/3/",
                             "B9/S23",
                             "MAP",
                             "Life Like",
                             "LifeHistoryX"}) {
        SCOPED_TRACE(rule);
        const std::string message = CannotRunRuleMessage(rule);
        const std::string rle = "x = 3, y = 1, rule = " + std::string(rule) + "\r\n3o!\r\n";
        const std::string life = "#Life 1.05\r\n#R " + std::string(rule) + "\r\n#P 0 0\r\n*\r\n";
        const std::string mc = "[M2] (x)\r\n#R " + std::string(rule) + "\r\n*$\r\n4 1 0 0 0\r\n";
        for (const std::string& text : {rle, life, mc, Gzip(rle), rle + ":T10,10"}) {
            const Outcome o = ReadOutcome(text);
            EXPECT_FALSE(o.ok);
            EXPECT_EQ(o.messages, std::vector<std::string>{message});
        }
        ReadResult guarded = Read(rle);  // the board's promises after a refusal
        EXPECT_FALSE(guarded.ok);
    }
    // The grid is not part of the name.
    EXPECT_EQ(ReadOutcome("x = 1, y = 1, rule = Codd:T100,100\r\no!\r\n").messages,
              std::vector<std::string>{CannotRunRuleMessage("Codd")});
    EXPECT_EQ(CannotRunRuleMessage("Codd"),
              "This pattern is for the rule 'Codd', which Cellarium cannot run: it runs "
              "two-state rules of the Life family.");
    // Letters of multi-state data under a two-state rule.
    for (const char* data : {"oCo!", "A2BpA!", "3D!", "wA!"}) {
        const Outcome o = ReadOutcome("x = 3, y = 1, rule = B3/S23\r\n" + std::string(data));
        EXPECT_FALSE(o.ok) << data;
        EXPECT_EQ(o.messages, std::vector<std::string>{TooManyStatesMessage()}) << data;
    }
    // The forms it does run, in either order and case, with "_" or nothing
    // between them, and the rule table other programs call Life.
    for (const char* rule : {"B3/S23", "b3s23", "S23/B3", "B3_S23", "s23b3", "23/3", "Life", ""}) {
        const Outcome o = ReadOutcome("x = 3, y = 1, rule = " + std::string(rule) + "\r\n3o!\r\n");
        EXPECT_TRUE(o.ok) << rule;
        EXPECT_EQ(Read("x = 3, y = 1, rule = " + std::string(rule) + "\r\n3o!\r\n").rules, "s23/b3")
            << rule;
    }
}

// LifeHistory (and HistoricalLife) is Conway's rule with marking states:
// A, C and E are live cells, B, D and F dead ones; a state past those is
// refused.
TEST(Refusal, LifeHistoryStatesAreConwayCells) {
    for (const char* rule : {"LifeHistory", "HistoricalLife", "LifeHistory:T30,20"}) {
        SCOPED_TRACE(rule);
        ReadResult r =
            Read("x = 8, y = 2, rule = " + std::string(rule) + "\r\n.ABCDEF2A$oboA!\r\n", 200, 200);
        ASSERT_TRUE(r.ok);
        EXPECT_EQ(r.rules, "s23/b3");
        EXPECT_EQ(Shape(r.cells()),
                  (Cells{{1, 0}, {3, 0}, {5, 0}, {7, 0}, {8, 0}, {0, 1}, {2, 1}, {3, 1}}));
    }
    EXPECT_EQ(ReadOutcome("x = 2, y = 1, rule = LifeHistory\r\nAG!\r\n").messages,
              std::vector<std::string>{TooManyStatesMessage()});
    // Its macrocell form builds level 1 from cell states.
    ReadResult mc = Read("[M2] (x)\r\n#R LifeHistory\r\n1 1 2 3 4\r\n1 5 6 0 1\r\n2 1 2 0 0\r\n");
    ASSERT_TRUE(mc.ok);
    EXPECT_EQ(Shape(mc.cells()), (Cells{{0, 0}, {2, 0}, {0, 1}, {3, 1}}));
}

// A grid other than a bounded plane opens on this board as it is, with one
// line for File Information; a plane needs none.
TEST(Refusal, GridsOfOtherShapesAreNotedAndPlanesAreNot) {
    const Outcome torus = ReadOutcome("x = 3, y = 3, rule = B3/S23:T100,100\r\nbo$2bo$3o!\r\n");
    ASSERT_TRUE(torus.ok);
    EXPECT_EQ(torus.cells.size(), 5u);
    EXPECT_EQ(torus.notes, std::vector<std::string>{
                               "Written for a torus (T100,100): this board has a dead border "
                               "instead."});
    EXPECT_EQ(ReadOutcome("#R 23/3:K40*,20\r\n#P 0 0\r\n*\r\n").notes,
              std::vector<std::string>{
                  "Written for a Klein bottle (K40*,20): this board has a dead border instead."});
    EXPECT_TRUE(ReadOutcome("x = 1, y = 1, rule = B3/S23:P798,798\r\no!\r\n").notes.empty());
    EXPECT_TRUE(ReadOutcome(kGliderRle).notes.empty());
}

// gzip-compressed data is read as what it holds, known by its first bytes
// whatever the file is called; a .zip archive and broken data are refused.
TEST(Refusal, GzipIsUnpackedAndZipArchivesAreNot) {
    const Outcome plain = ReadOutcome(kGliderRle);
    const std::string packed = Gzip(kGliderRle);
    const Outcome unpacked = ReadOutcome(packed);
    ASSERT_TRUE(unpacked.ok);
    EXPECT_EQ(unpacked.cells, plain.cells);
    // Two members one after the other, as gzip writes appended data.
    const Outcome twice = ReadOutcome(Gzip("#Life 1.06\r\n0 0\r\n") + Gzip("1 1\r\n"));
    ASSERT_TRUE(twice.ok);
    EXPECT_EQ(twice.cells, (Cells{{100, 100}, {101, 101}}));
    // Cut short, or damaged inside.
    std::string damaged = packed;
    damaged[damaged.size() / 2] ^= 0x5a;
    for (const std::string& broken : {packed.substr(0, packed.size() - 9), damaged}) {
        const Outcome o = ReadOutcome(broken);
        EXPECT_FALSE(o.ok);
        EXPECT_EQ(o.messages, std::vector<std::string>{DamagedCompressionMessage()});
    }
    const Outcome zip = ReadOutcome(std::string("PK\x03\x04", 4) + "whatever follows");
    EXPECT_FALSE(zip.ok);
    EXPECT_EQ(zip.messages, std::vector<std::string>{ZipArchiveMessage()});
    EXPECT_NE(ZipArchiveMessage().find("unpack it first"), std::string::npos);
}

// Macrocell trees: placed around the board's centre as Life 1.06 places
// cells, with rows counted as other Life programs count them; a tree whose
// cells cannot fit is too big, measured without drawing it; a tree that
// fits but lies off the board is moved on.
TEST(Refusal, MacrocellTreesArePlacedAroundTheCentre) {
    // The leaf of a glider as the north-west quarter of a level-4 root: the
    // root's top-left cell is at column -8, row -7 from the centre.
    const std::string glider =
        "[M2] (golly 3.3)\r\n#R B3/S23\r\n#C a glider\r\n.*$..*$***$\r\n"
        "4 1 0 0 0\r\n";
    for (const std::string& text : {glider, Gzip(glider)}) {
        ReadResult r = Read(text, 200, 200);
        ASSERT_TRUE(r.ok);
        EXPECT_EQ(r.cells(), (Cells{{93, 93}, {94, 94}, {92, 95}, {93, 95}, {94, 95}}));
        EXPECT_EQ(r.board().description, "a glider");
    }
    // The same leaf shared by two quarters of a level-5 root, far apart.
    ReadResult shared = Read("[M2]\r\n*$\r\n4 1 0 0 0\r\n5 0 2 2 0\r\n", 200, 200);
    ASSERT_TRUE(shared.ok);
    EXPECT_EQ(shared.cells(), (Cells{{100, 85}, {84, 101}}));
    // Level 40: two cells 2^39 apart are too big, one far quarter alone is
    // moved onto the board.
    std::string deep = "[M2]\r\n*$\r\n";
    for (int level = 4; level <= 40; ++level)
        deep += std::to_string(level) + " " + std::to_string(level - 3) + " 0 0 0\r\n";
    const std::string farApart =
        deep + "41 " + std::to_string(38) + " 0 0 " + std::to_string(38) + "\r\n";
    const Outcome big = ReadOutcome(farApart);
    EXPECT_FALSE(big.ok);
    ASSERT_EQ(big.messages.size(), 1u);
    EXPECT_EQ(big.messages[0],
              PatternTooBigMessage(200, 200, (int64_t(1) << 40) + 1, (int64_t(1) << 40) + 1));
    const Outcome moved = ReadOutcome(deep);
    ASSERT_TRUE(moved.ok);
    EXPECT_EQ(moved.cells, (Cells{{1, 1}}));
    ASSERT_EQ(moved.notes.size(), 1u);
    // Damaged trees: a node that names a later one, a leaf row too long, a
    // level that does not match its quarters.
    for (const char* text : {"[M2]\r\n4 2 0 0 0\r\n*$\r\n", "[M2]\r\n*********$\r\n",
                             "[M2]\r\n*$\r\n5 1 0 0 0\r\n", "[M2]\r\n*$\r\n4 1 0 0\r\n"}) {
        const Outcome o = ReadOutcome(text);
        EXPECT_FALSE(o.ok) << text;
        ASSERT_EQ(o.messages.size(), 1u) << text;
        EXPECT_EQ(o.messages[0].rfind("This macrocell file is damaged", 0), 0u) << text;
    }
    // Cell states past two under a two-state rule.
    EXPECT_EQ(ReadOutcome("[M2]\r\n1 1 2 0 0\r\n2 1 0 0 0\r\n").messages,
              std::vector<std::string>{TooManyStatesMessage()});
}
