// The statistics file's text: a header naming the chosen columns and one data
// line per generation, comma-separated, each line ended by CR LF; and the
// free-space line of the Save Statistics dialog.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace cellarium {

struct StatsColumns {
    bool generation = true;
    bool total = true;
    bool births = false;
    bool deaths = false;
};

// "Generation,Total Cells,Births,Deaths" as far as chosen, then CR LF.
std::string StatsHeader(const StatsColumns& columns);

// The buffer a data line is built in; the longest line (a 20-character
// generation, three 11-character numbers, three commas, CR LF) takes 58 bytes.
inline constexpr std::size_t kStatsLineBuffer = 256;

// Formats the chosen values as plain decimal numbers joined by "," and ended
// by CR LF into buffer (kStatsLineBuffer bytes); returns the line's length.
std::size_t FormatStatsLine(char* buffer, const StatsColumns& columns, int64_t generation,
                            int32_t total, int32_t births, int32_t deaths);

// The folder whose volume the free space is asked for: the name up to its
// last "\" or "/" when that is not the first character, else the empty name.
std::string StatsFolderOf(const std::string& fileName);

// "Space available: N MBytes" (or KBytes, or Bytes), or "Space available:
// Unknown" when the query failed. Divisions truncate.
std::string SpaceAvailableText(std::optional<uint64_t> bytes);

}  // namespace cellarium
