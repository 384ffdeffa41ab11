#include "engine/apgcode.h"

#include <utility>

namespace cellarium {

namespace {

// A digit of the extended Wechsler format: 0-9 then a-z.
int DigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'z') return c - 'a' + 10;
    return -1;
}

}  // namespace

std::vector<std::pair<int32_t, int32_t>> ApgcodeCells(const std::string& code) {
    std::vector<std::pair<int32_t, int32_t>> cells;
    if (code.size() < 4 || code[0] != 'x' || (code[1] != 's' && code[1] != 'p' && code[1] != 'q'))
        return cells;
    const size_t underscore = code.find('_');
    if (underscore == std::string::npos) return cells;
    // Strips of five rows, separated by z; each character a column of the
    // strip (bit k the row k), except w, x and yN, which are runs of two,
    // three and 4 + N empty columns.
    int32_t strip = 0, column = 0;
    for (size_t i = underscore + 1; i < code.size(); ++i) {
        const char c = code[i];
        if (c == 'z') {
            ++strip;
            column = 0;
        } else if (c == 'w') {
            column += 2;
        } else if (c == 'x') {
            column += 3;
        } else if (c == 'y') {
            if (i + 1 == code.size()) return {};
            const int run = DigitValue(code[++i]);
            if (run < 0) return {};
            column += 4 + run;
        } else {
            const int bits = DigitValue(c);
            if (bits < 0 || bits > 31) return {};
            for (int k = 0; k < 5; ++k)
                if (bits >> k & 1) cells.emplace_back(column, 5 * strip + k);
            ++column;
        }
        if (column > 100000) return {};
    }
    return cells;
}

std::string CommonName(const std::string& code) {
    // The twenty commonest objects of Conway's rule, and a few more that
    // everybody knows.
    static const std::pair<const char*, const char*> kNames[] = {
        {"xs4_33", "block"},
        {"xp2_7", "blinker"},
        {"xs6_696", "beehive"},
        {"xq4_153", "glider"},
        {"xs7_2596", "loaf"},
        {"xs5_253", "boat"},
        {"xs6_356", "ship"},
        {"xs4_252", "tub"},
        {"xs8_6996", "pond"},
        {"xs7_25ac", "long boat"},
        {"xp2_7e", "toad"},
        {"xs12_g8o653z11", "ship-tie"},
        {"xp2_318c", "beacon"},
        {"xs6_25a4", "barge"},
        {"xs14_g88m952z121", "half-bakery"},
        {"xs8_69ic", "mango"},
        {"xs7_178c", "eater 1"},
        {"xq4_6frc", "lightweight spaceship"},
        {"xs8_25ak8", "long barge"},
        {"xp3_co9nas0san9oczgoldlo0oldlogz1047210127401", "pulsar"},
        {"xs14_69bqic", "paperclip"},
        {"xq4_27dee6", "middleweight spaceship"},
        {"xq4_27deee6", "heavyweight spaceship"},
        {"xp15_4r4z4r4", "pentadecathlon"},
    };
    for (const auto& [known, name] : kNames)
        if (code == known) return name;
    return std::string();
}

}  // namespace cellarium
