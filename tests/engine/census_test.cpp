#include "engine/census.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "engine/apgcode.h"
#include "engine/hash_soup.h"

namespace cellarium {
namespace {

CensusRule Life() {
    const uint8_t survive[9] = {0, 0, 1, 1, 0, 0, 0, 0, 0};
    const uint8_t born[9] = {0, 0, 0, 1, 0, 0, 0, 0, 0};
    return CensusRule::FromTables(survive, born);
}

// B2n3/S23-q: born on three, or on two lying opposite across a corner; a
// live cell survives on two, or on three unless they form the q shape.
CensusRule B2n3S23q() {
    CensusRule rule = Life();
    for (int i = 0; i < 512; ++i) {
        bool alive = i & 16;
        int n = __builtin_popcount(unsigned(i & ~16));
        auto at = [&](int dx, int dy) { return (i >> ((dy + 1) * 3 + dx + 1)) & 1; };
        if (!alive && n == 2) {
            rule.next[i] = (at(-1, -1) && at(1, 1)) || (at(1, -1) && at(-1, 1));
        }
        if (alive && n == 3) {
            // q: three cells, a corner, an edge beside it and the edge
            // opposite that one's far side; in any of the eight orientations.
            bool q = false;
            const int t[8][4] = {{1, 0, 0, 1}, {-1, 0, 0, 1}, {1, 0, 0, -1}, {-1, 0, 0, -1},
                                 {0, 1, 1, 0}, {0, -1, 1, 0}, {0, 1, -1, 0}, {0, -1, -1, 0}};
            for (const auto& m : t) {
                // the canonical q: N, NE, SW
                const int pts[3][2] = {{0, -1}, {1, -1}, {-1, 1}};
                bool all = true;
                for (const auto& pt : pts)
                    all = all && at(m[0] * pt[0] + m[1] * pt[1], m[2] * pt[0] + m[3] * pt[1]);
                q = q || all;
            }
            rule.next[i] = !q;
        }
    }
    return rule;
}

std::vector<std::pair<int32_t, int32_t>> CellsOf(const char* rows) {
    std::vector<std::pair<int32_t, int32_t>> cells;
    int x = 0, y = 0;
    for (const char* c = rows; *c; ++c) {
        if (*c == '\n') {
            x = 0;
            ++y;
            continue;
        }
        if (*c == 'o') cells.emplace_back(x, y);
        ++x;
    }
    return cells;
}

TEST(HashSoup, DigestAndRows) {
    auto digest = Sha256("abc");
    EXPECT_EQ(digest[0], 0xba);
    EXPECT_EQ(digest[31], 0xad);
    auto empty = Sha256("");
    EXPECT_EQ(empty[0], 0xe3);
    EXPECT_EQ(empty[31], 0x55);
    // Two blocks of padding: 56 bytes of message.
    auto two = Sha256("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq");
    EXPECT_EQ(two[0], 0x24);
    EXPECT_EQ(two[31], 0xc1);
    HashSoupRows rows = HashSoup("abc", 0);
    auto d = Sha256("abc0");
    EXPECT_EQ(rows[0], d[0] << 8 | d[1]);
    EXPECT_EQ(rows[15], d[30] << 8 | d[31]);
}

TEST(Census, TheTwentyCommonestObjectsAreNamedAndDrawnBack) {
    Census census(Life());
    struct Case {
        const char* rows;
        const char* code;
        const char* name;
    } cases[] = {
        {"oo\noo", "xs4_33", "block"},
        {"ooo", "xp2_7", "blinker"},
        {".oo.\no..o\n.oo.", "xs6_696", "beehive"},
        {".o.\n..o\nooo", "xq4_153", "glider"},
        {".oo.\no..o\n.o.o\n..o.", "xs7_2596", "loaf"},
        {"oo.\no.o\n.o.", "xs5_253", "boat"},
        {"oo.\no.o\n.oo", "xs6_356", "ship"},
        {".o.\no.o\n.o.", "xs4_252", "tub"},
        {".oo.\no..o\no..o\n.oo.", "xs8_6996", "pond"},
        {"oo..\no.o.\n.o.o\n..o.", "xs7_25ac", "long boat"},
        {".ooo\nooo.", "xp2_7e", "toad"},
        {"oo...\no.o..\n.oo..\n...oo\n...o.o\n....oo", "xs12_g8o653z11", "ship-tie"},
        {"oo..\no...\n...o\n..oo", "xp2_318c", "beacon"},
        {".o..\no.o.\n.o.o\n..o.", "xs6_25a4", "barge"},
        {"", "xs14_g88m952z121", "half-bakery"},
        {".oo.\no..o\n.o..o\n..oo.", "xs8_69ic", "mango"},
        {"oo..\no.o.\n..o.\n..oo", "xs7_178c", "eater 1"},
        {"o..o.\n....o\no...o\n.oooo", "xq4_6frc", "lightweight spaceship"},
        {".o...\no.o..\n.o.o.\n..o.o\n...o.", "xs8_25ak8", "long barge"},
        {"..ooo...ooo..\n.............\no....o.o....o\no....o.o....o\no....o.o....o\n"
         "..ooo...ooo..\n.............\n..ooo...ooo..\no....o.o....o\no....o.o....o\n"
         "o....o.o....o\n.............\n..ooo...ooo..",
         "xp3_co9nas0san9oczgoldlo0oldlogz1047210127401", "pulsar"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // Drawn by hand, or from the code where the picture is too large.
        const auto cells = *c.rows != 0 ? CellsOf(c.rows) : ApgcodeCells(c.code);
        const std::string code = census.Apgcode(cells);
        EXPECT_EQ(code, c.code);
        EXPECT_EQ(CommonName(code), c.name);
        // The code drawn back is the same object.
        EXPECT_EQ(census.Apgcode(ApgcodeCells(code)), code);
    }
    EXPECT_EQ(CommonName("xs8_35ac"), "");
    EXPECT_TRUE(ApgcodeCells("yl144_1_16_afb5f3db909e60548f086e22ee3353ac").empty());
    EXPECT_TRUE(ApgcodeCells("xs4_3!").empty());
}

TEST(HashSoup, Md5Digests) {
    EXPECT_EQ(Md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(Md5Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
    // Two blocks of padding.
    EXPECT_EQ(Md5Hex(std::string(56, 'a')), "3b0c8ac703f828b04c6c197006d17218");
}

TEST(Census, SeparatesWhatLiesApartAndCountsEscapingGliders) {
    Census census(Life());
    std::map<std::string, uint64_t> tally;
    // A block, a blinker far off and a glider flying away.
    census.AddCells(CellsOf("oo.........................\n"
                            "oo.........................\n"
                            "...........................\n"
                            "...........................\n"
                            "...........................\n"
                            "..........ooo..............\n"
                            "...........................\n"
                            "...........................\n"
                            "...........................\n"
                            "......................o....\n"
                            ".......................o...\n"
                            ".....................ooo..."),
                    tally);
    EXPECT_EQ(tally["xs4_33"], 1u);
    EXPECT_EQ(tally["xp2_7"], 1u);
    EXPECT_EQ(tally["xq4_153"], 1u);
    EXPECT_EQ(tally.size(), 3u);
}

// A census told to stop ends within a generation or an object of being
// told, where the same soup runs on for many more asks uncancelled; the
// census can then be used again.
TEST(Census, StopsSoonWhenCancelled) {
    std::vector<std::pair<int32_t, int32_t>> soup;
    uint64_t x = 12345;
    for (int r = 0; r < 64; ++r)
        for (int c = 0; c < 64; ++c) {
            x = x * 6364136223846793005ull + 1442695040888963407ull;
            if ((x >> 62) & 1) soup.emplace_back(c, r);
        }
    Census census(Life());
    int asks = 0;
    census.SetCancel([&asks] { return ++asks < 0; });
    const std::vector<CensusObject> whole = census.Objects(soup);
    const int uncancelled = asks;
    ASSERT_GT(uncancelled, 1000);
    asks = 0;
    census.SetCancel([&asks] { return ++asks > 100; });
    census.Objects(soup);
    EXPECT_LE(asks, 104);
    census.SetCancel({});
    const std::vector<CensusObject> again = census.Objects(soup);
    ASSERT_EQ(again.size(), whole.size());
    for (std::size_t i = 0; i < whole.size(); ++i) EXPECT_EQ(again[i].code, whole[i].code);
}

struct Haul {
    uint64_t soups = 0;
    std::map<std::string, uint64_t> counts;
    std::map<std::string, std::vector<uint64_t>> samples;
    std::string root;
};

Haul ReadHaul(const std::string& name) {
    std::ifstream in(std::string(CELLARIUM_TEST_DATA) + "/census/" + name);
    Haul h;
    std::string line, section;
    while (std::getline(in, line)) {
        if (line.rfind("@ROOT ", 0) == 0) h.root = line.substr(6);
        if (line.rfind("@NUM_SOUPS ", 0) == 0) h.soups = std::stoull(line.substr(11));
        if (line.empty() || line[0] == '@') {
            if (!line.empty()) section = line;
            continue;
        }
        std::istringstream fields(line);
        std::string code;
        fields >> code;
        uint64_t n;
        if (section == "@CENSUS TABLE") {
            fields >> n;
            h.counts[code] = n;
        } else if (section == "@SAMPLE_SOUPIDS") {
            while (fields >> n) h.samples[code].push_back(n);
        }
    }
    return h;
}

// Every object's sample soups below the limit hold that object.
void CheckSamples(const CensusRule& rule, const char* file, uint64_t limit) {
    Haul haul = ReadHaul(file);
    ASSERT_FALSE(haul.samples.empty()) << file;
    Census census(rule);
    std::map<uint64_t, std::map<std::string, uint64_t>> bySoup;
    for (const auto& [code, ids] : haul.samples)
        for (uint64_t id : ids)
            if (id < limit) bySoup[id];
    for (auto& [id, tally] : bySoup) census.AddSoup(HashSoup(haul.root, id), tally);
    int checked = 0;
    for (const auto& [code, ids] : haul.samples)
        for (uint64_t id : ids)
            if (id < limit) {
                EXPECT_GT(bySoup[id][code], 0u)
                    << file << ": soup " << id << " should hold " << code;
                ++checked;
            }
    EXPECT_GT(checked, 50);
    // The haul lists each object's first soups: a soup below an object's last
    // listed one that is not listed does not hold it.
    for (const auto& [code, ids] : haul.samples) {
        if (ids.size() < 10) continue;
        for (auto& [id, tally] : bySoup) {
            if (id < ids.back() && std::find(ids.begin(), ids.end(), id) == ids.end()) {
                EXPECT_EQ(tally.count(code), 0u)
                    << file << ": soup " << id << " should not hold " << code;
            }
        }
    }
}

TEST(Census, LifeHaulSamples) {
    CheckSamples(Life(), "b3s23-C1-l_GD3QBkvVkTvp.txt", 3000);
}

// Soup 70116 of the B3/S23 fixture leaves a block-laying switch engine: the
// public census names it by its yl code and counts the blocks it laid before
// the cells near the soup stopped changing.
TEST(Census, LinearGrowthIsNamedByItsYlCode) {
    Census census(Life());
    std::map<std::string, uint64_t> tally;
    census.AddSoup(HashSoup("l_GD3QBkvVkTvp", 70116), tally);
    EXPECT_EQ(tally["yl144_1_16_afb5f3db909e60548f086e22ee3353ac"], 1u);
    EXPECT_GT(tally["xs4_33"], 900u);
    for (const auto& [code, n] : tally) EXPECT_NE(code.substr(0, 2), "zz") << code;
}

TEST(Census, B2n3S23qHaulSamples) {
    CheckSamples(B2n3S23q(), "b2n3s23-q-C1-l_9L3refYjJj6m.txt", 3000);
}

}  // namespace
}  // namespace cellarium
