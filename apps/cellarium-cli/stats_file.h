// The runner's statistics file: one header line, then one line per generation
// computed, every line ended by CR LF. The chosen columns always appear in the
// order Generation, Total Cells, Births, Deaths, whatever order they were
// listed in.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace cellarium {

class StatsFile {
public:
    StatsFile() = default;
    ~StatsFile();
    StatsFile(const StatsFile&) = delete;
    StatsFile& operator=(const StatsFile&) = delete;

    // Creates the file (truncating an existing one) and writes the header for
    // the columns named in `columns` (generation, total, births, deaths; none
    // named means generation and total). False when it cannot be created or
    // written.
    bool Open(const std::string& path, const std::vector<std::string>& columns);

    // Writes one data line in a single write, so the file is complete up to
    // the last generation at any moment. False when the write fails.
    bool Append(long long generation, int32_t total, int32_t births, int32_t deaths);

    // Closes the file; false when anything written could not be flushed.
    bool Close();

private:
    std::FILE* file_ = nullptr;
    bool generation_ = true, total_ = true, births_ = false, deaths_ = false;
};

}  // namespace cellarium
