// Identify, Stop when the pattern repeats and the population graph's counts,
// driven as the user drives them.
#include <gtest/gtest.h>

#include "document/identity_words.h"
#include "life_session.h"

namespace cellarium {
namespace {

class Analysis : public LifeSession {};

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
        platform.ClearLog();
        platform.Command(ID_IDENTIFY);
        EXPECT_EQ(platform.MessageTexts(), std::vector<std::string>{c.words});
        EXPECT_EQ(Status(), status);
    }
    ASSERT_NE(Open(CELLARIUM_SAMPLES "/spaceship.lif"), nullptr);
    platform.ClearLog();
    platform.Command(ID_IDENTIFY);
    EXPECT_EQ(platform.MessageTexts(),
              std::vector<std::string>{"Spaceship, period 4, moving 2 cells left every 4 "
                                       "generations (c/2), population 9 to 12, 5 x 4 cells."});

    // No repeat within the limit the settings give.
    app.WriteProfileInt("Analysis", "IdentifyLimit", 3);
    ASSERT_NE(OpenText("glider2.lif", kGliderFile), nullptr);
    platform.ClearLog();
    platform.Command(ID_IDENTIFY);
    EXPECT_EQ(platform.MessageTexts(), std::vector<std::string>{"No repeat within 3 generations."});
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

}  // namespace
}  // namespace cellarium
