// GIF export of a board against giflib's own encoder on the same pixels, in
// the same run, both writing to memory. At the end the time ratio of each pair
// is printed (below 1: ours is faster).
#include <benchmark/benchmark.h>
#include <gif_lib.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "colour/gif_writer.h"
#include "colour/image_sink.h"
#include "colour/palette.h"
#include "engine/cell_board.h"
#include "engine/rule.h"

using namespace cellarium;

namespace {

// A soup run for some generations, so cell values spread over the palette the
// way a real board's do.
std::vector<uint8_t> SoupBoard(int side, double density, int generations) {
    auto cur = CellBoard::Create(side, side);
    auto scratch = CellBoard::Create(side, side);
    std::mt19937_64 rng(7);
    std::bernoulli_distribution live(density);
    int count = 0;
    for (int y = 1; y < side - 1; ++y)
        for (int x = 1; x < side - 1; ++x)
            if (live(rng)) {
                cur->Set(x, y, 1);
                ++count;
            }
    cur->liveCount = count;
    cur->SetWholeBounds();
    int32_t births = 0, deaths = 0;
    for (int g = 0; g < generations; ++g) {
        cur->ComputeNext(*scratch, Rule(), g % 256 + 1, births, deaths);
        std::swap(cur, scratch);
    }
    return std::vector<uint8_t>(cur->Cells(), cur->Cells() + cur->CellCount());
}

const std::vector<uint8_t>& Board(int side) {
    static std::map<int, std::vector<uint8_t>> boards;
    auto it = boards.find(side);
    if (it == boards.end())
        it = boards.emplace(side, SoupBoard(side, 0.3, side <= 800 ? 200 : 30)).first;
    return it->second;
}

void Finish(benchmark::State& state, int side, std::size_t bytes) {
    state.SetBytesProcessed(int64_t(state.iterations()) * side * side);
    state.counters["gif_bytes"] = double(bytes);
}

void BM_CellariumGif(benchmark::State& state, int side) {
    const std::vector<uint8_t>& cells = Board(side);
    const PaletteBlock& palette = FixedPalette(PaletteId::Autumn);
    MemoryImageSink sink;
    for (auto _ : state) {
        sink.bytes.clear();
        int rc = WriteBoardGif(sink, GifCells{cells.data(), side, side}, palette);
        if (rc != kGifOk) state.SkipWithError("export failed");
        benchmark::DoNotOptimize(sink.bytes.data());
    }
    Finish(state, side, sink.bytes.size());
}

int AppendToVector(GifFileType* gif, const GifByteType* data, int n) {
    auto* out = static_cast<std::vector<uint8_t>*>(gif->UserData);
    out->insert(out->end(), data, data + n);
    return n;
}

void BM_GiflibGif(benchmark::State& state, int side) {
    std::vector<uint8_t> cells = Board(side);  // giflib masks lines in place
    const PaletteBlock& palette = FixedPalette(PaletteId::Autumn);
    std::vector<GifColorType> colours(256);
    for (int i = 0; i < 256; ++i)
        colours[std::size_t(i)] = {palette.entries[std::size_t(i)].red,
                                   palette.entries[std::size_t(i)].green,
                                   palette.entries[std::size_t(i)].blue};
    ColorMapObject* map = GifMakeMapObject(256, colours.data());
    std::vector<uint8_t> out;
    for (auto _ : state) {
        out.clear();
        int err = 0;
        GifFileType* gif = EGifOpen(&out, AppendToVector, &err);
        bool ok = gif != nullptr;
        if (ok) {
            EGifSetGifVersion(gif, false);
            ok = EGifPutScreenDesc(gif, side, side, 8, 0, map) == GIF_OK &&
                 EGifPutImageDesc(gif, 0, 0, side, side, false, nullptr) == GIF_OK;
            for (int y = 0; ok && y < side; ++y)
                ok = EGifPutLine(gif, cells.data() + std::size_t(y) * std::size_t(side), side) ==
                     GIF_OK;
            ok = EGifCloseFile(gif, &err) == GIF_OK && ok;
        }
        if (!ok) state.SkipWithError("giflib failed");
        benchmark::DoNotOptimize(out.data());
    }
    GifFreeMapObject(map);
    Finish(state, side, out.size());
}

// Registered in main, each pair side by side, so both encoders of a pair run
// under the same machine load.

// Console output as usual, and the real time of each benchmark kept for the
// ratio: the median when repetitions are asked for, else the single run.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    RatioReporter() : ConsoleReporter(isatty(fileno(stdout)) ? OO_Defaults : OO_Tabular) {}
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs) {
            if (r.error_occurred) continue;
            const std::string name = r.run_name.str();
            if (r.run_type == Run::RT_Aggregate && r.aggregate_name == "median") {
                times[name] = {r.GetAdjustedRealTime(), r.GetAdjustedCPUTime()};
                medians[name] = true;
            } else if (r.run_type == Run::RT_Iteration && !medians[name]) {
                times[name] = {r.GetAdjustedRealTime(), r.GetAdjustedCPUTime()};
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, std::pair<double, double>> times;  // real, CPU
    std::map<std::string, bool> medians;
};

}  // namespace

int main(int argc, char** argv) {
    for (int side : {800, 4000}) {
        const std::string n = std::to_string(side);
        benchmark::RegisterBenchmark(("BM_CellariumGif/" + n).c_str(), BM_CellariumGif, side)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("BM_GiflibGif/" + n).c_str(), BM_GiflibGif, side)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    for (const char* side : {"800", "4000"}) {
        auto ours = reporter.times.find(std::string("BM_CellariumGif/") + side);
        auto theirs = reporter.times.find(std::string("BM_GiflibGif/") + side);
        if (ours == reporter.times.end() || theirs == reporter.times.end()) continue;
        std::printf(
            "GIF export %sx%s: cellarium %.2f ms (CPU %.2f), giflib %.2f ms (CPU %.2f); "
            "ratio cellarium/giflib %.2f (CPU %.2f)\n",
            side, side, ours->second.first, ours->second.second, theirs->second.first,
            theirs->second.second, ours->second.first / theirs->second.first,
            ours->second.second / theirs->second.second);
    }
    benchmark::Shutdown();
    return 0;
}
