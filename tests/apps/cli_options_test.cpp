#include "cli_options.h"

#include <gtest/gtest.h>

#include "formats/rule_notation.h"

using namespace cellarium;

namespace {

ParseStatus Parse(std::vector<std::string> args, CliOptions& o, std::string& err) {
    return ParseCliOptions(args, o, err);
}

}  // namespace

TEST(CliOptions, FullContractParses) {
    CliOptions o;
    std::string err;
    ASSERT_EQ(Parse({"--size",     "1000x640",
                     "-g",         "25",
                     "--rule",     "B36/S23",
                     "--soup",     "0.35:42",
                     "--cells",    "-q",
                     "--progress", "--until-stagnation",
                     "--columns",  "generation,births",
                     "--save",     "a.lif",
                     "--gif",      "a.gif",
                     "--palette",  "autumn",
                     "--stats",    "s.csv",
                     "--threads",  "3"},
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
    EXPECT_EQ(*o.threads, 3);

    CliOptions p;
    ASSERT_EQ(Parse({"--generations=7", "-"}, p, err), ParseStatus::Ok);
    EXPECT_EQ(p.generations, 7);
    EXPECT_EQ(*p.pattern, "-");
    EXPECT_FALSE(p.threads);
    EXPECT_FALSE(p.untilCycle || p.identify);

    // --until-cycle runs without a limit unless -g gives one.
    for (auto [args, generations] : {std::pair<std::vector<std::string>, long long>{
                                         {"--until-cycle", "--identify"}, kUnlimitedGenerations},
                                     {{"-g0", "--until-cycle"}, 0},
                                     {{"--until-cycle", "-g", "9"}, 9}}) {
        CliOptions c;
        ASSERT_EQ(Parse(args, c, err), ParseStatus::Ok);
        EXPECT_TRUE(c.untilCycle);
        EXPECT_EQ(c.identify, args.size() == 2 && args[1] == "--identify");
        EXPECT_EQ(c.generations, generations);
    }
}

TEST(CliOptions, UsageErrorsAreReported) {
    const std::vector<std::vector<std::string>> bad = {
        {"--size", "149x800"},
        {"--size", "800x10001"},
        {"--size", "800"},
        {"-g"},
        {"-g", "-5"},
        {"-g", "12a"},
        {"-g", "99999999999999999999999"},
        {"--soup", "1.5"},
        {"--soup", "0.5:x"},
        {"--soup", ""},
        {"--rule", "B3/S23 x"},
        {"--rule", "B9"},
        {"--columns", "gen"},
        {"--columns", "total,total"},
        {"--bogus"},
        {"a.lif", "b.lif"},
        {"--soup", "0.5", "a.lif"},
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

TEST(CliOptions, UsualCommandLineFormsParse) {
    CliOptions o;
    std::string err;
    ASSERT_EQ(Parse({"-g5", "--size=1000x600", "-q", "--rule=B36/S23", "--soup=0.25:9",
                     "--columns=births", "--stats=s.csv", "--threads=3"},
                    o, err),
              ParseStatus::Ok)
        << err;
    EXPECT_EQ(o.generations, 5);
    EXPECT_EQ(o.width, 1000);
    EXPECT_EQ(o.height, 600);
    EXPECT_TRUE(o.quiet);
    EXPECT_EQ(*o.rule, "B36/S23");
    EXPECT_DOUBLE_EQ(o.soupDensity, 0.25);
    EXPECT_EQ(*o.soupSeed, 9u);
    EXPECT_EQ(o.columns, std::vector<std::string>{"births"});
    EXPECT_EQ(*o.statsPath, "s.csv");
    EXPECT_EQ(*o.threads, 3);

    CliOptions p;
    ASSERT_EQ(Parse({"--generations=5", "--size", "150X10000", "a.lif"}, p, err), ParseStatus::Ok);
    EXPECT_EQ(p.generations, 5);
    EXPECT_EQ(p.width, 150);
    EXPECT_EQ(p.height, 10000);
    EXPECT_EQ(*p.pattern, "a.lif");

    // Short flags run together, the last one taking its value.
    CliOptions q;
    ASSERT_EQ(Parse({"-qg7", "b.lif"}, q, err), ParseStatus::Ok) << err;
    EXPECT_TRUE(q.quiet);
    EXPECT_EQ(q.generations, 7);

    // An option given twice takes the last value.
    CliOptions r;
    ASSERT_EQ(Parse({"-g", "5", "--generations", "9", "--save", "a", "--save", "b"}, r, err),
              ParseStatus::Ok);
    EXPECT_EQ(r.generations, 9);
    EXPECT_EQ(*r.savePath, "b");
}

TEST(CliOptions, ValuesAreReadExactlyAsBefore) {
    struct Accepted {
        std::vector<std::string> args;
        long long generations;
        int width;
    };
    // Counts are decimal whatever their leading zeros (never octal), up to 19 digits.
    for (const Accepted& a : std::vector<Accepted>{
             {{"-g", "010"}, 10, 800},
             {{"-g0"}, 0, 800},
             {{"-g", "1000000000000"}, 1000000000000LL, 800},
             {{"-g", "1000000000000000000"}, 1000000000000000000LL, 800},
             {{"-g", "0000000000000000012"}, 12, 800},
             {{"--size", "0150x800"}, 0, 150},
             {{"--size", "10000x800"}, 0, 10000},
         }) {
        CliOptions o;
        std::string err;
        ASSERT_EQ(Parse(a.args, o, err), ParseStatus::Ok) << a.args[0] << " " << err;
        EXPECT_EQ(o.generations, a.generations) << a.args[0];
        EXPECT_EQ(o.width, a.width) << a.args[0];
    }
    // Densities as strtod reads them: 1.0000000000000000001 is 1 in a double.
    for (const auto& [text, density] : std::vector<std::pair<std::string, double>>{
             {"0", 0.0}, {"1", 1.0}, {"1.", 1.0}, {".5", 0.5}, {"1.0000000000000000001", 1.0}}) {
        CliOptions o;
        std::string err;
        ASSERT_EQ(Parse({"--soup", text}, o, err), ParseStatus::Ok) << text << " " << err;
        EXPECT_EQ(o.soupDensity, density) << text;
        EXPECT_FALSE(o.soupSeed.has_value());
    }
    CliOptions seed;
    std::string err;
    ASSERT_EQ(Parse({"--soup", "0.5:999999999999999999"}, seed, err), ParseStatus::Ok);
    EXPECT_EQ(*seed.soupSeed, 999999999999999999u);

    // A comma at the very end adds no column; an empty value after "=" is a value.
    CliOptions cols;
    ASSERT_EQ(Parse({"--columns", "deaths,generation,"}, cols, err), ParseStatus::Ok);
    EXPECT_EQ(cols.columns, (std::vector<std::string>{"deaths", "generation"}));
    CliOptions empty;
    ASSERT_EQ(Parse({"--save=", "a.lif"}, empty, err), ParseStatus::Ok);
    EXPECT_EQ(*empty.savePath, "");
    EXPECT_EQ(*empty.pattern, "a.lif");

    // What follows an option that takes a value is that value, whatever it looks like.
    CliOptions value;
    ASSERT_EQ(Parse({"--save", "--quiet=true", "--palette", "-5", "--", "-7"}, value, err),
              ParseStatus::Ok)
        << err;
    EXPECT_EQ(*value.savePath, "--quiet=true");
    EXPECT_EQ(*value.palette, "-5");
    EXPECT_FALSE(value.quiet);
    EXPECT_EQ(*value.pattern, "-7");
}

TEST(CliOptions, OutOfRangeMalformedAndUnknownAreUsageErrors) {
    const std::vector<std::vector<std::string>> bad = {
        // out of range
        {"--size=149x150"},
        {"--size", "150x10001"},
        {"-g", "1000000000000000001"},
        {"--soup", "1.0000001"},
        {"--soup=0.5:1000000000000000000"},
        {"--threads", "0"},
        {"--threads=257"},
        // malformed numbers: signs, blanks, hex, exponents, too many digits
        {"--size", "0x96x800"},
        {"--size", "+800x800"},
        {"--size", " 800x800"},
        {"--size", "800x"},
        {"--size="},
        {"-g", "+5"},
        {"-g", "0x10"},
        {"-g", "1e3"},
        {"-g", "5 "},
        {"-g=5"},
        {"--generations="},
        {"--threads", "-1"},
        {"--threads", "1.5"},
        {"--threads", "+2"},
        {"--threads="},
        {"-g", "00000000000000000012"},
        {"--soup", "1e-1"},
        {"--soup", "-0"},
        {"--soup", "nan"},
        {"--soup", "."},
        {"--soup", "0.5:"},
        {"--soup", "0.5:+1"},
        {"--columns", ",total"},
        {"--columns", "generation,,total"},
        {"--columns="},
        {"--rule="},
        // flags take no value
        {"--quiet=true"},
        {"--cells="},
        {"--progress=no"},
        {"--help=1"},
        // unknown options, also next to good ones, and with --help
        {"-x"},
        {"-5"},
        {"-qz"},
        {"--gen", "5"},
        {"--Size", "800x800"},
        {"--help", "--bogus"},
        {"-h", "-g", "-1"},
    };
    for (const auto& args : bad) {
        CliOptions o;
        std::string err;
        std::string line;
        for (const std::string& a : args) line += a + " ";
        EXPECT_EQ(Parse(args, o, err), ParseStatus::UsageError) << line;
        EXPECT_FALSE(err.empty()) << line;
        EXPECT_EQ(err.find('\0'), std::string::npos) << line;
    }
    // Help wins over the one check made after the whole line was read.
    CliOptions o;
    std::string err;
    EXPECT_EQ(Parse({"--soup", "0.5", "a.lif", "-h"}, o, err), ParseStatus::Help);
}

TEST(CliOptions, HelpTextIsTheDocumentedOne) {
    EXPECT_EQ(CliUsage(),
              "Usage: cellarium-cli [OPTIONS] [PATTERN]      (PATTERN \"-\" reads standard input)\n"
              "  --size WxH             board size, each 150..10000 (default 800x800)\n"
              "  -g, --generations N    steps to run (default 0; with --until-cycle no limit)\n"
              "  --until-stagnation     stop after the first step with no births and no deaths\n"
              "  --until-cycle          stop when the live cells repeat those of an earlier "
              "generation\n"
              "  --identify             name the final board: still life, oscillator, spaceship\n"
              "  --census               count the objects the final board leaves, by apgcode\n"
              "  --rule RULE            set the rule after loading: B3/S23, s23/b3, 23/3, B2-a/S12 "
              "(letters) or MAP forms\n"
              "  --soup DENSITY[:SEED]  fill the interior with a random soup instead of a pattern\n"
              "  --hash-soup ROOT:INDEX start from census soup INDEX of ROOT instead of a pattern\n"
              "  --save FILE            save the final board: .rle RLE, .cells plaintext, others "
              "Life 1.05; - RLE to stdout\n"
              "  --gif FILE             export the final board as a GIF image\n"
              "  --palette NAME|FILE    autumn, blue, rainbow, sunshine, bw, or a .map file\n"
              "  --stats FILE           record statistics for every step run\n"
              "  --columns LIST         any of generation,total,births,deaths (default "
              "generation,total)\n"
              "  --cells                print each live cell as \"x y value\", top row first\n"
              "  --progress             a progress bar on standard error for long runs\n"
              "  --threads N            worker threads for the step on large boards (default: "
              "cores)\n"
              "  -q, --quiet            print nothing but errors\n"
              "  -h, --help             show this help\n"
              "After the run the status line \"G:%05d C:%05d B:%05d D:%05d Z:x1\" is printed;\n"
              "--until-cycle prints \"cycle: period P from generation S\" before it when the run\n"
              "repeated, --identify prints its \"identify: ...\" line after it, --census one\n"
              "\"apgcode count\" line for each object the board leaves, most common first.\n"
              "Exit status: 0 success; 1 the pattern could not be read or does not fit; 2 usage "
              "error.\n");
}

TEST(CliOptions, RuleTextTakesEveryNotationAndRefusesOthersClearly) {
    for (const char* text : {"B36/S23", "b36s23", "s23/b36", "23/36"}) {
        EXPECT_EQ(RuleTextProblem(text), "") << text;
        EXPECT_EQ(FormatRuleText(RuleFromText(text)), "s23/b36") << text;
    }
    EXPECT_EQ(RuleString(RuleFromText("b37_s2-i34q")), "B37/S2-i34q");
    EXPECT_EQ(RuleString(RuleFromText("/")), "B/S");
    EXPECT_EQ(RuleTextProblem("Codd"),
              "'Codd' is a rule Cellarium cannot run: it runs two-state rules of the Life family.");
    EXPECT_EQ(RuleTextProblem("B9"), "'B9' is not a rule: a cell has 8 neighbours, not 9.");
    EXPECT_NE(RuleTextProblem("B3/S23:T10,10"), "");
}

TEST(CliOptions, SaveFormatFollowsTheExtension) {
    EXPECT_EQ(SaveFormatFor("gun.rle"), SaveFormat::Rle);
    EXPECT_EQ(SaveFormatFor("dir.x/GUN.RLE"), SaveFormat::Rle);
    EXPECT_EQ(SaveFormatFor("a.Cells"), SaveFormat::Plaintext);
    EXPECT_EQ(SaveFormatFor("-"), SaveFormat::RleToStandardOutput);
    for (const char* lif : {"gun.lif", "gun", "dir.rle/gun", "gun.rle.lif", "./-", "gun.rl"})
        EXPECT_EQ(SaveFormatFor(lif), SaveFormat::Life105) << lif;

    // Both would write to standard output.
    CliOptions o;
    std::string error;
    EXPECT_EQ(ParseCliOptions({"--save", "-", "--cells"}, o, error), ParseStatus::UsageError);
    EXPECT_NE(error.find("standard output"), std::string::npos) << error;
    CliOptions ok;
    EXPECT_EQ(ParseCliOptions({"--save", "-", "x.lif"}, ok, error), ParseStatus::Ok);
    EXPECT_EQ(ok.savePath, "-");
    EXPECT_EQ(ok.pattern, "x.lif");
}
