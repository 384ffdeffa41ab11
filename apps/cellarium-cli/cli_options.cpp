#include "cli_options.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <exception>
#include <memory>
#include <sstream>

#include "document/life_doc.h"
#include "engine/census_board.h"
#include "formats/rule_notation.h"

namespace cellarium {
namespace {

constexpr int kMinSide = 150;
constexpr int kMaxSide = 10000;
constexpr long long kMaxGenerations = kMaxGeneration;
constexpr long long kMaxSeed = 999999999999999999LL;
// More step threads than this would only cost memory (each has its row buffers).
constexpr long long kMaxThreads = 256;
constexpr std::size_t kMaxDigits = 19;
constexpr std::size_t kMaxDensityChars = 32;

// A count as the command line writes it: 1 to 19 decimal digits. The library
// would also read a sign, blanks, hex and a leading 0 as octal ("010" as 8);
// this check runs before its range check and conversion and leaves the
// digits without leading zeros, so that they see plain decimal.
CLI::Validator DecimalDigits() {
    return CLI::Validator(
        [](std::string& text) -> std::string {
            if (text.empty() || text.size() > kMaxDigits ||
                text.find_first_not_of("0123456789") != std::string::npos)
                return "'" + text + "' is not a whole number of at most 19 digits";
            text.erase(0, std::min(text.find_first_not_of('0'), text.size() - 1));
            return {};
        },
        "", "DIGITS");
}

// A density as the command line writes it: digits and points only (no sign,
// exponent or blanks), read as strtod reads it. The text is replaced by the
// shortest form of the value read, so that the range check sees the very
// value the runner uses.
CLI::Validator DecimalFraction() {
    return CLI::Validator(
        [](std::string& text) -> std::string {
            const std::string bad = "'" + text + "' is not a decimal number";
            if (text.empty() || text.size() > kMaxDensityChars ||
                text.find_first_not_of("0123456789.") != std::string::npos)
                return bad;
            char* end = nullptr;
            const double value = std::strtod(text.c_str(), &end);
            if (end != text.c_str() + text.size()) return bad;
            char buffer[64];
            const auto written = std::to_chars(buffer, buffer + sizeof buffer, value);
            text.assign(buffer, written.ptr);
            return {};
        },
        "", "DECIMAL");
}

// Applies validators to one part of a compound value, as the library applies
// an option's validators to its whole value; the first complaint wins.
std::string CheckPart(std::string& part, std::initializer_list<CLI::Validator> validators) {
    for (const CLI::Validator& v : validators) {
        std::string why = v(part);
        if (!why.empty()) return why;
    }
    return {};
}

// The compound values. Each returns why the text is not acceptable (empty
// when it is) and, when it is, the value; the option's validator and the
// conversion after parsing are the same function, so they cannot disagree.
std::string ReadSize(const std::string& text, int& width, int& height) {
    const std::string form = "'" + text + "' is not WxH with each side " +
                             std::to_string(kMinSide) + ".." + std::to_string(kMaxSide);
    const auto x = text.find_first_of("xX");
    if (x == std::string::npos) return form;
    std::string w = text.substr(0, x);
    std::string h = text.substr(x + 1);
    const CLI::Range side(kMinSide, kMaxSide);
    for (std::string* part : {&w, &h}) {
        const std::string why = CheckPart(*part, {DecimalDigits(), side});
        if (!why.empty()) return form + ": " + why;
    }
    std::from_chars(w.data(), w.data() + w.size(), width);
    std::from_chars(h.data(), h.data() + h.size(), height);
    return {};
}

std::string ReadSoup(const std::string& text, double& density, std::optional<uint64_t>& seed) {
    const std::string form = "'" + text + "' is not DENSITY[:SEED] with the density 0..1";
    const auto colon = text.find(':');
    std::string d = text.substr(0, colon);
    std::string why = CheckPart(d, {DecimalFraction(), CLI::Range(0.0, 1.0)});
    if (!why.empty()) return form + ": " + why;
    std::optional<uint64_t> s;
    if (colon != std::string::npos) {
        std::string digits = text.substr(colon + 1);
        why = CheckPart(digits, {DecimalDigits(), CLI::Range(0LL, kMaxSeed)});
        if (!why.empty()) return form + ": seed " + why;
        uint64_t value = 0;
        std::from_chars(digits.data(), digits.data() + digits.size(), value);
        s = value;
    }
    density = std::strtod(d.c_str(), nullptr);
    seed = s;
    return {};
}

// Items separated by commas as getline splits them (a comma at the very end
// adds no item), each a column name, none twice, at least one.
std::string ReadColumns(const std::string& text, std::vector<std::string>& columns) {
    const std::string form = "'" + text + "' is not a list of generation,total,births,deaths";
    const CLI::IsMember names({"generation", "total", "births", "deaths"});
    std::vector<std::string> items;
    std::stringstream in(text);
    std::string item;
    while (std::getline(in, item, ',')) {
        const std::string why = CheckPart(item, {names});
        if (!why.empty()) return form + ": " + why;
        for (const std::string& c : items)
            if (c == item) return form + ": " + item + " is given twice";
        items.push_back(item);
    }
    if (items.empty()) return form;
    columns = std::move(items);
    return {};
}

// Two readings of the library that this command line has never had: a flag
// with a value ("--quiet=true", "--quiet=" and "--quiet={}" all mean --quiet
// to it), and "=" with nothing after it ("--save= x" takes x as the value).
// Such an argument of a known option gets a NUL byte after its "=", which no
// argument of a real command line holds: a flag then refuses its value, and
// "--save=" gives the empty value. Every option's first transform removes the
// byte again, so an argument that is the value of the option before it
// ("--save --quiet=true") stays as it was.
constexpr char kMark = '\0';

std::string Unmarked(std::string text) {
    text.erase(std::remove(text.begin(), text.end(), kMark), text.end());
    return text;
}

CLI::Validator Unmark() {
    return CLI::Validator(
        [](std::string& text) {
            text = Unmarked(std::move(text));
            return std::string();
        },
        "", "UNMARK");
}

std::vector<std::string> MarkInlineValues(const std::vector<std::string>& args,
                                          const CLI::App& app) {
    std::vector<std::string> marked;
    marked.reserve(args.size());
    for (auto a = args.rbegin(); a != args.rend(); ++a) {  // the library takes them last first
        marked.push_back(*a);
        std::string& arg = marked.back();
        const auto eq = arg.find('=');
        if (arg.rfind("--", 0) != 0 || eq == std::string::npos || eq == 2) continue;
        const CLI::Option* opt = app.get_option_no_throw(arg.substr(0, eq));
        if (opt == nullptr) continue;
        if (opt->get_items_expected_max() == 0 || eq + 1 == arg.size())
            arg.insert(eq + 1, 1, kMark);
    }
    return marked;
}

// The help text as it has always looked: the usage line with the pattern's
// note, one line per option ("-g, --generations N", the description from
// column 25), then the footer.
class UsageFormatter : public CLI::Formatter {
public:
    UsageFormatter() { column_width(25); }

    std::string make_option_name(const CLI::Option* opt, bool) const override {
        std::string names;
        for (const std::string& s : opt->get_snames()) names += (names.empty() ? "-" : ", -") + s;
        for (const std::string& l : opt->get_lnames()) names += (names.empty() ? "--" : ", --") + l;
        return names;
    }
    std::string make_option_opts(const CLI::Option* opt) const override {
        return opt->get_items_expected_max() == 0 ? std::string() : " " + opt->get_type_name();
    }
    std::string make_help(const CLI::App* app, std::string name,
                          CLI::AppFormatMode) const override {
        std::string out = "Usage: " + name + " [OPTIONS]";
        for (const CLI::Option* p :
             app->get_options([](const CLI::Option* o) { return o->get_positional(); }))
            out += " [" + p->get_name() + "]      (" + p->get_description() + ")";
        out += "\n";
        for (const CLI::Option* opt : app->get_options([](const CLI::Option* o) {
                 return !o->get_positional() && !o->get_group().empty();
             }))
            out += make_option(opt, false);
        return out + app->get_footer() + "\n";
    }
};

// The runner's options as the library sees them, bound to plain values that
// are turned into CliOptions once the whole line was accepted.
struct CommandLine {
    // What the library writes to; a fresh set before every parse.
    struct Values {
        std::string size, rule, soup, hashSoup, save, gif, palette, stats, columns, pattern;
        long long generations = 0, threads = 0;
        bool untilStagnation = false, untilCycle = false, identify = false, census = false,
             cells = false, progress = false, quiet = false, help = false;
    };

    CLI::App app{"", "cellarium-cli"};
    Values v;
    CLI::Option *sizeOpt, *generationsOpt, *ruleOpt, *soupOpt, *hashSoupOpt, *saveOpt, *gifOpt,
        *paletteOpt, *statsOpt, *columnsOpt, *threadsOpt, *patternOpt;
    std::vector<CLI::Option*> digitOpts;

    CommandLine() {
        // -h, --help is a flag like the others: a mistake anywhere on the line
        // is reported even when help was asked for.
        app.set_help_flag();
        app.formatter(std::make_shared<UsageFormatter>());
        app.footer(
            "After the run the status line \"G:%05d C:%05d B:%05d D:%05d Z:x1\" is printed;\n"
            "--until-cycle prints \"cycle: period P from generation S\" before it when the run\n"
            "repeated, --identify prints its \"identify: ...\" line after it, --census one\n"
            "\"apgcode count\" line for each object the board leaves, most common first.\n"
            "Exit status: 0 success; 1 the pattern could not be read or does not fit; 2 usage "
            "error.");
        // An option given twice takes its last value; every value is checked.
        app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);

        sizeOpt = app.add_option("--size", v.size, "board size, each 150..10000 (default 800x800)")
                      ->type_name("WxH")
                      ->check(CLI::Validator(
                          [](std::string& text) {
                              int w = 0, h = 0;
                              return ReadSize(text, w, h);
                          },
                          "", "SIZE"));
        generationsOpt = app.add_option("-g,--generations", v.generations,
                                        "steps to run (default 0; with --until-cycle no limit)")
                             ->type_name("N")
                             ->transform(DecimalDigits())
                             ->check(CLI::Range(0LL, kMaxGenerations).description(""));
        Flag("--until-stagnation", v.untilStagnation,
             "stop after the first step with no births and no deaths");
        Flag("--until-cycle", v.untilCycle,
             "stop when the live cells repeat those of an earlier generation");
        Flag("--identify", v.identify, "name the final board: still life, oscillator, spaceship");
        Flag("--census", v.census, "count the objects the final board leaves, by apgcode");
        ruleOpt = app.add_option("--rule", v.rule,
                                 "set the rule after loading: B3/S23, s23/b3, 23/3, B2-a/S12 "
                                 "(letters) or MAP forms")
                      ->type_name("RULE")
                      ->check(CLI::Validator(
                          [](std::string& text) -> std::string { return RuleTextProblem(text); },
                          "", "RULE"));
        soupOpt = app.add_option("--soup", v.soup,
                                 "fill the interior with a random soup instead of a pattern")
                      ->type_name("DENSITY[:SEED]")
                      ->check(CLI::Validator(
                          [](std::string& text) {
                              double density = 0;
                              std::optional<uint64_t> seed;
                              return ReadSoup(text, density, seed);
                          },
                          "", "SOUP"));
        hashSoupOpt = app.add_option("--hash-soup", v.hashSoup,
                                     "start from census soup INDEX of ROOT instead of a pattern")
                          ->type_name("ROOT:INDEX")
                          ->check(CLI::Validator(
                              [](std::string& text) -> std::string {
                                  std::string root;
                                  uint64_t index = 0;
                                  if (ReadHashSoupSpec(text, root, index)) return {};
                                  return "'" + text + "' is not ROOT:INDEX with a decimal index";
                              },
                              "", "HASHSOUP"));
        saveOpt = app.add_option("--save", v.save,
                                 "save the final board: .rle RLE, .cells plaintext, others "
                                 "Life 1.05; - RLE to stdout")
                      ->type_name("FILE");
        gifOpt = app.add_option("--gif", v.gif, "export the final board as a GIF image")
                     ->type_name("FILE");
        paletteOpt = app.add_option("--palette", v.palette,
                                    "autumn, blue, rainbow, sunshine, bw, or a .map file")
                         ->type_name("NAME|FILE");
        statsOpt = app.add_option("--stats", v.stats, "record statistics for every step run")
                       ->type_name("FILE");
        columnsOpt =
            app.add_option("--columns", v.columns,
                           "any of generation,total,births,deaths (default generation,total)")
                ->type_name("LIST")
                ->check(CLI::Validator(
                    [](std::string& text) {
                        std::vector<std::string> list;
                        return ReadColumns(text, list);
                    },
                    "", "COLUMNS"));
        Flag("--cells", v.cells, "print each live cell as \"x y value\", top row first");
        Flag("--progress", v.progress, "a progress bar on standard error for long runs");
        threadsOpt = app.add_option("--threads", v.threads,
                                    "worker threads for the step on large boards (default: cores)")
                         ->type_name("N")
                         ->transform(DecimalDigits())
                         ->check(CLI::Range(1LL, kMaxThreads).description(""));
        Flag("-q,--quiet", v.quiet, "print nothing but errors");
        Flag("-h,--help", v.help, "show this help");
        patternOpt = app.add_option("PATTERN", v.pattern, "PATTERN \"-\" reads standard input");
        // The library reads "-5" as a positional (a negative number) unless an
        // option starts with that digit. On this command line an argument
        // starting with "-" before "--" is an option, so these hidden names
        // exist only to be refused.
        for (char d = '0'; d <= '9'; ++d) digitOpts.push_back(app.add_flag(std::string("-") + d));
        for (CLI::Option* opt : digitOpts) opt->group("");
        for (CLI::Option* opt : app.get_options())
            if (opt->get_items_expected_max() != 0) opt->transform(Unmark());
    }

    // A flag takes no value: "--quiet=yes" is a mistake, not a way to say yes.
    void Flag(const char* names, bool& value, const char* description) {
        app.add_flag(names, value, description)->disable_flag_override();
    }
};

}  // namespace

std::string RuleTextProblem(const std::string& text) {
    // The runner's board has no other topology: a grid suffix is no rule.
    return SetRuleProblem(text);
}

Rule RuleFromText(const std::string& text) {
    return ParseRule(text).rule;
}

std::string CliUsage() {
    try {
        CommandLine line;
        return line.app.help();
    } catch (const std::exception&) {
        return "Usage: cellarium-cli [OPTIONS] [PATTERN]\n";
    }
}

ParseStatus ParseCliOptions(const std::vector<std::string>& args, CliOptions& o,
                            std::string& error) {
    // Describing the options to the library costs far more than reading a
    // command line with it (the fuzz target reads a great many), so each
    // thread keeps its description; every parse starts from fresh values.
    static thread_local std::unique_ptr<CommandLine> line;
    try {
        if (!line) line = std::make_unique<CommandLine>();
        line->v = CommandLine::Values();
        line->app.parse(MarkInlineValues(args, line->app));
        for (const CLI::Option* digit : line->digitOpts)
            if (digit->count() > 0) {
                error = "unknown option '-" + digit->get_snames().front() + "'";
                return ParseStatus::UsageError;
            }

        o.help = line->v.help;
        if (o.help) return ParseStatus::Help;
        if (line->sizeOpt->count() > 0) ReadSize(line->v.size, o.width, o.height);
        o.generations = line->v.generations;
        o.untilStagnation = line->v.untilStagnation;
        o.untilCycle = line->v.untilCycle;
        o.identify = line->v.identify;
        o.census = line->v.census;
        if (line->hashSoupOpt->count() > 0) {
            std::string root;
            ReadHashSoupSpec(line->v.hashSoup, root, o.hashSoupIndex);
            o.hashSoupRoot = root;
        }
        if (o.untilCycle && line->generationsOpt->count() == 0)
            o.generations = kUnlimitedGenerations;
        if (line->ruleOpt->count() > 0) o.rule = line->v.rule;
        if (line->soupOpt->count() > 0) {
            ReadSoup(line->v.soup, o.soupDensity, o.soupSeed);
            o.soup = true;
        }
        if (line->saveOpt->count() > 0) o.savePath = line->v.save;
        if (line->gifOpt->count() > 0) o.gifPath = line->v.gif;
        if (line->paletteOpt->count() > 0) o.palette = line->v.palette;
        if (line->statsOpt->count() > 0) o.statsPath = line->v.stats;
        if (line->columnsOpt->count() > 0) ReadColumns(line->v.columns, o.columns);
        o.printCells = line->v.cells;
        o.progress = line->v.progress;
        if (line->threadsOpt->count() > 0) o.threads = int(line->v.threads);
        o.quiet = line->v.quiet;
        if (line->patternOpt->count() > 0) o.pattern = line->v.pattern;
    } catch (const CLI::ExtrasError&) {
        // Told again from the arguments themselves: the library's message
        // would end at a marked argument's NUL byte.
        const std::vector<std::string> extra = line->app.remaining();
        error = extra.size() > 1 ? "The following arguments were not expected:"
                                 : "The following argument was not expected:";
        for (const std::string& a : extra) error += " " + Unmarked(a);
        return ParseStatus::UsageError;
    } catch (const CLI::Error& e) {
        error = e.what();
        if (error.empty()) error = e.get_name();
        return ParseStatus::UsageError;
    } catch (const std::exception& e) {
        error = std::string("cannot read the command line: ") + e.what();
        return ParseStatus::UsageError;
    }
    if (o.soup && o.pattern) {
        error = "give either a pattern or --soup, not both";
        return ParseStatus::UsageError;
    }
    if (o.hashSoupRoot && (o.soup || o.pattern)) {
        error = "give either a pattern, --soup or --hash-soup, not two of them";
        return ParseStatus::UsageError;
    }
    if (o.printCells && o.savePath &&
        SaveFormatFor(*o.savePath) == SaveFormat::RleToStandardOutput) {
        error = "--save - and --cells both write to standard output; give one of them";
        return ParseStatus::UsageError;
    }
    return ParseStatus::Ok;
}

SaveFormat SaveFormatFor(const std::string& path) {
    if (path == "-") return SaveFormat::RleToStandardOutput;
    switch (PatternFormatForPath(path)) {
        case PatternFileFormat::Rle:
            return SaveFormat::Rle;
        case PatternFileFormat::Plaintext:
            return SaveFormat::Plaintext;
        case PatternFileFormat::Life105:
            break;
    }
    return SaveFormat::Life105;
}

}  // namespace cellarium
