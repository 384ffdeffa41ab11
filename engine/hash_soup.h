// Soups as the Life community's online soup census makes them: soup i of a
// root R (symmetry C1) is 16 x 16 cells taken from the SHA-256 digest of the
// text R followed by i in decimal. Row y is bytes 2y and 2y + 1 of the
// digest, most significant bit first, left to right.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace cellarium {

std::array<uint8_t, 32> Sha256(std::string_view bytes);
// MD5, which the census uses to name what grows linearly, and its digest as
// lower-case hex.
std::array<uint8_t, 16> Md5(std::string_view bytes);
std::string Md5Hex(std::string_view bytes);

inline constexpr int kHashSoupSize = 16;

// Row y of the soup; bit 15 is the cell at x = 0, bit 0 the one at x = 15.
using HashSoupRows = std::array<uint16_t, kHashSoupSize>;

HashSoupRows HashSoup(std::string_view root, uint64_t index);

}  // namespace cellarium
