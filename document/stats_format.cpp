#include "document/stats_format.h"

#include <cinttypes>
#include <cstdio>

namespace cellarium {

std::string StatsHeader(const StatsColumns& columns) {
    std::string line;
    auto add = [&](bool chosen, const char* name) {
        if (!chosen) return;
        if (!line.empty()) line += ',';
        line += name;
    };
    add(columns.generation, "Generation");
    add(columns.total, "Total Cells");
    add(columns.births, "Births");
    add(columns.deaths, "Deaths");
    line += "\r\n";
    return line;
}

std::size_t FormatStatsLine(char* buffer, const StatsColumns& columns, int64_t generation,
                            int32_t total, int32_t births, int32_t deaths) {
    std::size_t n = 0;
    bool first = true;
    auto add = [&](bool chosen, int64_t value) {
        if (!chosen) return;
        int written = std::snprintf(buffer + n, kStatsLineBuffer - n,
                                    first ? "%" PRId64 : ",%" PRId64, value);
        n += std::size_t(written);
        first = false;
    };
    add(columns.generation, generation);
    add(columns.total, total);
    add(columns.births, births);
    add(columns.deaths, deaths);
    buffer[n++] = '\r';
    buffer[n++] = '\n';
    return n;
}

std::string StatsFolderOf(const std::string& fileName) {
    const std::size_t last = fileName.find_last_of("\\/");
    if (last == std::string::npos || last == 0) return std::string();
    return fileName.substr(0, last);
}

std::string SpaceAvailableText(std::optional<uint64_t> bytes) {
    if (!bytes) return "Space available: Unknown";
    char buffer[64];
    const uint64_t b = *bytes;
    if ((b >> 20) > 0)
        std::snprintf(buffer, sizeof buffer, "Space available: %" PRIu64 " MBytes", b >> 20);
    else if ((b >> 10) > 0)
        std::snprintf(buffer, sizeof buffer, "Space available: %" PRIu64 " KBytes", b >> 10);
    else
        std::snprintf(buffer, sizeof buffer, "Space available: %" PRIu64 " Bytes", b);
    return buffer;
}

}  // namespace cellarium
