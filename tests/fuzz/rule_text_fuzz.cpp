// libFuzzer target: any bytes as rule text. ParseRule never takes text it
// cannot explain: a rule it accepts is written canonically and that text
// reads back to the same rule and is its own canonical text; a refusal says
// why; the lenient reading of older files gives a totalistic rule.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "formats/rule_notation.h"

using namespace cellarium;

namespace {

[[noreturn]] void Fail(const char* what, const std::string& rule) {
    std::fprintf(stderr, "rule text: %s (%s)\n", what, rule.c_str());
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const RuleParse parse = ParseRule(text);
    if (parse.ok()) {
        const std::string canonical = RuleString(parse.rule);
        const RuleParse again = ParseRule(canonical);
        if (!again.ok() || !(again.rule == parse.rule))
            Fail("canonical text does not read back", canonical);
        if (RuleString(again.rule) != canonical) Fail("canonical text not canonical", canonical);
        if (parse.rule.IsTotalistic() &&
            canonical.find_first_of("-acehijknqrtwyzMAP") != std::string::npos)
            Fail("letters in a totalistic rule", canonical);
    } else if (parse.problem.empty()) {
        Fail("refusal without a reason", std::string(text));
    }
    if (!LenientRule(text).IsTotalistic())
        Fail("lenient reading not totalistic", std::string(text));
    return 0;
}
