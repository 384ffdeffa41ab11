#include <gtest/gtest.h>

#include "cli_options.h"

using namespace cellarium;

namespace {

ParseStatus Parse(std::vector<std::string> args, CliOptions& o, std::string& err) {
    return ParseCliOptions(args, o, err);
}

}  // namespace

TEST(CliOptions, FullContractParses) {
    CliOptions o;
    std::string err;
    ASSERT_EQ(Parse({"--size", "1000x640", "-g", "25", "--rule", "B36/S23", "--soup", "0.35:42",
                     "--cells", "-q", "--progress", "--until-stagnation", "--columns",
                     "generation,births", "--save", "a.lif", "--gif", "a.gif", "--palette",
                     "autumn", "--stats", "s.csv"},
                    o, err),
              ParseStatus::Ok)
        << err;
    EXPECT_EQ(o.width, 1000);
    EXPECT_EQ(o.height, 640);
    EXPECT_EQ(o.generations, 25);
    EXPECT_EQ(*o.rule, "B36/S23");
    EXPECT_DOUBLE_EQ(o.soupDensity, 0.35);
    EXPECT_EQ(*o.soupSeed, 42u);
    EXPECT_TRUE(o.printCells && o.quiet && o.progress && o.untilStagnation);
    EXPECT_EQ(o.columns, (std::vector<std::string>{"generation", "births"}));
    EXPECT_EQ(*o.savePath, "a.lif");
    EXPECT_EQ(*o.gifPath, "a.gif");
    EXPECT_EQ(*o.palette, "autumn");
    EXPECT_EQ(*o.statsPath, "s.csv");

    CliOptions p;
    ASSERT_EQ(Parse({"--generations=7", "-"}, p, err), ParseStatus::Ok);
    EXPECT_EQ(p.generations, 7);
    EXPECT_EQ(*p.pattern, "-");
}

TEST(CliOptions, UsageErrorsAreReported) {
    const std::vector<std::vector<std::string>> bad = {
        {"--size", "149x800"},     {"--size", "800x10001"},  {"--size", "800"},
        {"-g"},                    {"-g", "-5"},             {"-g", "12a"},
        {"-g", "99999999999999999999999"},                   {"--soup", "1.5"},
        {"--soup", "0.5:x"},       {"--soup", ""},           {"--rule", "B3/S23 x"},
        {"--rule", "B9"},          {"--columns", "gen"},     {"--columns", "total,total"},
        {"--bogus"},               {"a.lif", "b.lif"},       {"--soup", "0.5", "a.lif"},
        {"--quiet=yes"},
    };
    for (const auto& args : bad) {
        CliOptions o;
        std::string err;
        EXPECT_EQ(Parse(args, o, err), ParseStatus::UsageError) << args[0];
        EXPECT_FALSE(err.empty());
    }
    CliOptions o;
    std::string err;
    EXPECT_EQ(Parse({"--help"}, o, err), ParseStatus::Help);
}
