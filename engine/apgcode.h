// Reading apgcodes back into cells, and the everyday names of the objects
// soups leave most often.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace cellarium {

// The cells of a still life, oscillator or spaceship named by its apgcode
// (xs4_33, xp2_7, xq4_153, ...), in the phase and orientation the code
// describes, the top left of its box at (0, 0). Empty for codes that carry no
// picture (yl..., zz_..., ov_...) and for malformed text.
std::vector<std::pair<int32_t, int32_t>> ApgcodeCells(const std::string& code);

// "block" for xs4_33, "glider" for xq4_153, ...: the common names of the
// objects found most often; empty for the rest.
std::string CommonName(const std::string& code);

}  // namespace cellarium
