// libFuzzer target: any bytes as rule text, fed line by line to the parser.
// The parser ends a rule exactly at CR or LF, only ever sets entries to 1,
// falls back to Conway's rule when no digit came, and the display form of the
// tables it built reads back to the same tables.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "engine/rules.h"
#include "formats/rule_notation.h"

using namespace cellarium;

namespace {

[[noreturn]] void Fail(const char* what, const std::string& rule) {
    std::fprintf(stderr, "rule text: %s (%s)\n", what, rule.c_str());
    std::abort();
}

bool Empty(const uint8_t* table) {
    for (int n = 0; n < kRuleEntries; ++n)
        if (table[n]) return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    uint8_t survive[kRuleEntries] = {};
    uint8_t born[kRuleEntries] = {};
    RuleTextParser parser(survive, born);
    for (std::size_t i = 0; i < size; ++i) {
        const bool lineEnd = data[i] == '\r' || data[i] == '\n';
        const bool digitBefore = parser.digitSeen();
        if (parser.Feed(data[i]) != lineEnd) Fail("line end not reported as such", "");
        for (int n = 0; n < kRuleEntries; ++n)
            if (survive[n] > 1 || born[n] > 1) Fail("entry other than 0 or 1", "");
        if (!lineEnd) continue;
        if (!digitBefore && !(survive[2] && survive[3] && born[3])) Fail("no Conway fallback", "");

        // The display form reads back to the same tables (unless both are
        // empty: "s/b" holds no digit and means Conway's rule).
        if (!Empty(survive) || !Empty(born)) {
            const std::string shown = FormatRuleText(survive, born);
            uint8_t s2[kRuleEntries] = {};
            uint8_t b2[kRuleEntries] = {};
            RuleTextParser again(s2, b2);
            for (char c : shown) again.Feed(uint8_t(c));
            again.Feed('\n');
            if (std::memcmp(s2, survive, sizeof s2) != 0 || std::memcmp(b2, born, sizeof b2) != 0)
                Fail("display form does not read back", shown);
        }
        std::memset(survive, 0, sizeof survive);
        std::memset(born, 0, sizeof born);
        parser.Reset();
    }
    return 0;
}
