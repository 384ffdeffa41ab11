#include "stats_file.h"

#include <algorithm>

namespace cellarium {

StatsFile::~StatsFile() {
    Close();
}

bool StatsFile::Open(const std::string& path, const std::vector<std::string>& columns) {
    Close();
    if (!columns.empty()) {
        auto has = [&](const char* name) {
            return std::find(columns.begin(), columns.end(), name) != columns.end();
        };
        generation_ = has("generation");
        total_ = has("total");
        births_ = has("births");
        deaths_ = has("deaths");
    }
    file_ = std::fopen(path.c_str(), "wb");
    if (file_ == nullptr) return false;
    // Unbuffered: each line reaches the file in one write of its own.
    std::setvbuf(file_, nullptr, _IONBF, 0);
    std::string header;
    for (auto [chosen, name] : {std::pair{generation_, "Generation"},
                                {total_, "Total Cells"},
                                {births_, "Births"},
                                {deaths_, "Deaths"}}) {
        if (!chosen) continue;
        if (!header.empty()) header += ',';
        header += name;
    }
    header += "\r\n";
    return std::fwrite(header.data(), 1, header.size(), file_) == header.size();
}

bool StatsFile::Append(long long generation, int32_t total, int32_t births, int32_t deaths) {
    if (file_ == nullptr) return false;
    // Four numbers of at most 20 characters, three commas and CR LF.
    char line[128];
    int used = 0;
    auto put = [&](bool chosen, long long value) {
        if (!chosen) return;
        used += std::snprintf(line + used, sizeof line - std::size_t(used), "%s%lld",
                              used > 0 ? "," : "", value);
    };
    put(generation_, generation);
    put(total_, total);
    put(births_, births);
    put(deaths_, deaths);
    line[used++] = '\r';
    line[used++] = '\n';
    return std::fwrite(line, 1, std::size_t(used), file_) == std::size_t(used);
}

bool StatsFile::Close() {
    if (file_ == nullptr) return true;
    const bool ok = std::ferror(file_) == 0;
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    return ok && closed;
}

}  // namespace cellarium
