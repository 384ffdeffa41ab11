#include "cli_options.h"

#include <cerrno>
#include <cstdlib>
#include <sstream>

namespace cellarium {
namespace {

bool ParseInt(const std::string& text, long long lo, long long hi, long long& out) {
    if (text.empty() || text.size() > 19) return false;
    long long v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
        if (v > hi) return false;
    }
    if (v < lo) return false;
    out = v;
    return true;
}

bool ParseSize(const std::string& text, int& w, int& h) {
    auto x = text.find_first_of("xX");
    if (x == std::string::npos) return false;
    long long a = 0, b = 0;
    if (!ParseInt(text.substr(0, x), 150, 10000, a) || !ParseInt(text.substr(x + 1), 150, 10000, b))
        return false;
    w = int(a);
    h = int(b);
    return true;
}

bool ParseSoup(const std::string& text, double& density, std::optional<uint64_t>& seed) {
    auto colon = text.find(':');
    std::string d = text.substr(0, colon);
    if (d.empty() || d.size() > 32) return false;
    for (char c : d)
        if (!((c >= '0' && c <= '9') || c == '.')) return false;
    errno = 0;
    char* end = nullptr;
    double v = std::strtod(d.c_str(), &end);
    if (errno != 0 || end == nullptr || *end != '\0' || !(v >= 0.0 && v <= 1.0)) return false;
    density = v;
    if (colon != std::string::npos) {
        long long s = 0;
        if (!ParseInt(text.substr(colon + 1), 0, 999999999999999999LL, s)) return false;
        seed = uint64_t(s);
    }
    return true;
}

bool ParseColumns(const std::string& text, std::vector<std::string>& columns) {
    columns.clear();
    std::stringstream in(text);
    std::string item;
    while (std::getline(in, item, ',')) {
        if (item != "generation" && item != "total" && item != "births" && item != "deaths")
            return false;
        for (const auto& c : columns)
            if (c == item) return false;
        columns.push_back(item);
    }
    return !columns.empty();
}

}  // namespace

bool IsAcceptableRuleText(const std::string& text) {
    if (text.empty() || text.size() > 64) return false;
    for (char c : text) {
        bool ok = (c >= '0' && c <= '8') || c == 's' || c == 'S' || c == 'b' || c == 'B' ||
                  c == '/' || c == '\\';
        if (!ok) return false;
    }
    return true;
}

const char* CliUsage() {
    return "Usage: cellarium-cli [OPTIONS] [PATTERN]      (PATTERN \"-\" reads standard input)\n"
           "  --size WxH             board size, each 150..10000 (default 800x800)\n"
           "  -g, --generations N    steps to run (default 0)\n"
           "  --until-stagnation     stop after the first step with no births and no deaths\n"
           "  --rule RULE            set the rule after loading: s23/b3, B3/S23 or 23/3 forms\n"
           "  --soup DENSITY[:SEED]  fill the interior with a random soup instead of a pattern\n"
           "  --save FILE            save the final board as Life 1.05\n"
           "  --gif FILE             export the final board as a GIF image\n"
           "  --palette NAME|FILE    autumn, blue, rainbow, sunshine, bw, or a .map file\n"
           "  --stats FILE           record statistics for every step run\n"
           "  --columns LIST         any of generation,total,births,deaths (default "
           "generation,total)\n"
           "  --cells                print each live cell as \"x y value\", top row first\n"
           "  --progress             a progress bar on standard error for long runs\n"
           "  -q, --quiet            print nothing but errors\n"
           "  -h, --help             show this help\n"
           "After the run the status line \"G:%05d C:%05d B:%05d D:%05d Z:x1\" is printed.\n"
           "Exit status: 0 success; 1 the pattern could not be read or does not fit; 2 usage "
           "error.\n";
}

ParseStatus ParseCliOptions(const std::vector<std::string>& args, CliOptions& o,
                            std::string& error) {
    auto need = [&](std::size_t& i, const std::string& name, std::string& value) {
        if (i + 1 >= args.size()) {
            error = "option " + name + " needs a value";
            return false;
        }
        value = args[++i];
        return true;
    };
    bool endOfOptions = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        std::string name = a, value;
        bool inlineValue = false;
        if (!endOfOptions && a.size() > 2 && a[0] == '-' && a[1] == '-') {
            auto eq = a.find('=');
            if (eq != std::string::npos) {
                name = a.substr(0, eq);
                value = a.substr(eq + 1);
                inlineValue = true;
            }
        }
        auto take = [&](std::string& out) {
            if (inlineValue) {
                out = value;
                return true;
            }
            return need(i, name, out);
        };
        auto noValue = [&]() {
            if (inlineValue) {
                error = "option " + name + " takes no value";
                return false;
            }
            return true;
        };
        if (endOfOptions || a == "-" || a.empty() || a[0] != '-') {
            if (o.pattern) {
                error = "more than one pattern given";
                return ParseStatus::UsageError;
            }
            o.pattern = a;
            continue;
        }
        std::string v;
        if (a == "--") {
            endOfOptions = true;
        } else if (name == "-h" || name == "--help") {
            if (!noValue()) return ParseStatus::UsageError;
            o.help = true;
        } else if (name == "--size") {
            if (!take(v)) return ParseStatus::UsageError;
            if (!ParseSize(v, o.width, o.height)) {
                error = "bad --size '" + v + "': give WxH, each 150..10000";
                return ParseStatus::UsageError;
            }
            o.sizeGiven = true;
        } else if (name == "-g" || name == "--generations") {
            if (!take(v)) return ParseStatus::UsageError;
            long long n = 0;
            if (!ParseInt(v, 0, 1000000000000LL, n)) {
                error = "bad generation count '" + v + "'";
                return ParseStatus::UsageError;
            }
            o.generations = n;
        } else if (name == "--until-stagnation") {
            if (!noValue()) return ParseStatus::UsageError;
            o.untilStagnation = true;
        } else if (name == "--rule") {
            if (!take(v)) return ParseStatus::UsageError;
            if (!IsAcceptableRuleText(v)) {
                error = "bad --rule '" + v + "': use s23/b3, B3/S23 or 23/3 forms";
                return ParseStatus::UsageError;
            }
            o.rule = v;
        } else if (name == "--soup") {
            if (!take(v)) return ParseStatus::UsageError;
            if (!ParseSoup(v, o.soupDensity, o.soupSeed)) {
                error = "bad --soup '" + v + "': give DENSITY[:SEED], density 0..1";
                return ParseStatus::UsageError;
            }
            o.soup = true;
        } else if (name == "--save") {
            if (!take(v)) return ParseStatus::UsageError;
            o.savePath = v;
        } else if (name == "--gif") {
            if (!take(v)) return ParseStatus::UsageError;
            o.gifPath = v;
        } else if (name == "--palette") {
            if (!take(v)) return ParseStatus::UsageError;
            o.palette = v;
        } else if (name == "--stats") {
            if (!take(v)) return ParseStatus::UsageError;
            o.statsPath = v;
        } else if (name == "--columns") {
            if (!take(v)) return ParseStatus::UsageError;
            if (!ParseColumns(v, o.columns)) {
                error = "bad --columns '" + v + "': any of generation,total,births,deaths";
                return ParseStatus::UsageError;
            }
        } else if (name == "--cells") {
            if (!noValue()) return ParseStatus::UsageError;
            o.printCells = true;
        } else if (name == "--progress") {
            if (!noValue()) return ParseStatus::UsageError;
            o.progress = true;
        } else if (name == "-q" || name == "--quiet") {
            if (!noValue()) return ParseStatus::UsageError;
            o.quiet = true;
        } else {
            error = "unknown option '" + a + "'";
            return ParseStatus::UsageError;
        }
    }
    if (o.help) return ParseStatus::Help;
    if (o.soup && o.pattern) {
        error = "give either a pattern or --soup, not both";
        return ParseStatus::UsageError;
    }
    return ParseStatus::Ok;
}

}  // namespace cellarium
