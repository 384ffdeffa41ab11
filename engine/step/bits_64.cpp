// The bit-sliced step on plain 64-bit words, for any CPU.
#include <array>
#include <cstring>

#include "engine/step/kernels.h"

#define CELLARIUM_BITS_FN inline
#define CELLARIUM_BITS_TOP
#include "engine/step/bitsliced.h"

namespace cellarium {
namespace {

// Byte i all ones where bit i of the index is set.
constexpr std::array<uint64_t, 256> MakeByteMasks() {
    std::array<uint64_t, 256> masks{};
    for (int b = 0; b < 256; ++b)
        for (int i = 0; i < 8; ++i)
            if ((b >> i) & 1) masks[std::size_t(b)] |= uint64_t(0xFF) << (8 * i);
    return masks;
}
constexpr std::array<uint64_t, 256> kByteMasks = MakeByteMasks();

struct Ops64 {
    static constexpr int kWords = 1;
    using V = uint64_t;
    static V Load(const uint64_t* p) { return *p; }
    static void Store(uint64_t* p, V v) { *p = v; }
    static V Splat(uint64_t v) { return v; }
    static V And(V a, V b) { return a & b; }
    static V Xor(V a, V b) { return a ^ b; }
    static V Or(V a, V b) { return a | b; }
    static V AndNot(V a, V b) { return ~a & b; }
    static V AndAndNot(V a, V b, V c) { return a & b & ~c; }
    static V AndNotNotAnd(V a, V b, V c) { return ~(a | b) & c; }
    static V Add(V a, V b) { return a + b; }
    static V Count(V v) { return uint64_t(Popcount(v)); }
    static uint32_t NonZeroWords(V v) { return v != 0 ? 1u : 0u; }
    static int64_t Sum(V v) { return int64_t(v); }
    // The words before and after a vector's own, from the vectors beside it.
    static V WordsLeft(V, V prev) { return prev; }
    static V WordsRight(V, V next) { return next; }
    static V Xor3(V a, V b, V c) { return a ^ b ^ c; }
    static V Maj(V a, V b, V c) { return (a & b) | (c & (a | b)); }
    static V Mux(V c, V x, V y) { return y ^ ((x ^ y) & c); }  // c ? x : y
    static V ShiftInLeft(V cur, V prev) { return (cur << 1) | (prev >> 63); }
    static V ShiftInRight(V cur, V next) { return (cur >> 1) | (next << 63); }
    static int Popcount(uint64_t v) {
        v -= (v >> 1) & 0x5555555555555555ull;
        v = (v & 0x3333333333333333ull) + ((v >> 2) & 0x3333333333333333ull);
        v = (v + (v >> 4)) & 0x0F0F0F0F0F0F0F0Full;
        return int((v * 0x0101010101010101ull) >> 56);
    }
    static void ToBits(const uint8_t* row, int count, uint64_t* words) {
        int k = 0;
        for (; 64 * k + 64 <= count; ++k) {
            uint64_t bits = 0;
            for (int i = 0; i < 8; ++i) bits |= LiveBitsOf8(row + 64 * k + 8 * i) << (8 * i);
            words[k] = bits;
        }
        if (64 * k < count) words[k] = LiveBits(row + 64 * k, count - 64 * k);
    }
    template <bool kStream>
    static void WriteChunk(uint8_t* out, const uint8_t* old, uint64_t next, uint64_t alive,
                           uint8_t newborn) {
        const uint64_t value = 0x0101010101010101ull * newborn;
        for (int i = 0; i < 64; i += 8) {
            uint64_t o;
            std::memcpy(&o, old + i, sizeof o);
            const uint64_t keep = kByteMasks[(next >> i) & 0xFF];
            const uint64_t born = kByteMasks[(next & ~alive) >> i & 0xFF];
            const uint64_t v = (o & keep) | (value & born);
            std::memcpy(out + i, &v, sizeof v);
        }
    }
    // The bytes marked in `write`: `kept` where live in both generations,
    // the newborn value where born, 0 where dead; the others stay.
    static void WriteSelected(uint8_t* out, uint64_t write, uint64_t next, uint64_t alive,
                              uint8_t newborn, uint8_t kept) {
        const uint64_t born = 0x0101010101010101ull * newborn;
        const uint64_t keep = 0x0101010101010101ull * kept;
        for (int i = 0; i < 64; i += 8) {
            const uint64_t w = kByteMasks[(write >> i) & 0xFF];
            if (w == 0) continue;
            const uint64_t a = kByteMasks[(alive >> i) & 0xFF];
            const uint64_t v = ((keep & a) | (born & ~a)) & kByteMasks[(next >> i) & 0xFF];
            uint64_t o;
            std::memcpy(&o, out + i, sizeof o);
            o = (o & ~w) | (v & w);
            std::memcpy(out + i, &o, sizeof o);
        }
    }
    static void WriteNarrow(uint8_t* out, const uint8_t* old, uint64_t next, uint64_t, int count,
                            uint8_t newborn) {
        for (int i = 0; i < count; ++i)
            out[i] = (next >> i) & 1 ? (old[i] != 0 ? old[i] : newborn) : 0;
    }
    static void Fence() {}
    using HashSum = uint64_t;
    static HashSum HashStart() { return 0; }
    static uint64_t HashTotal(HashSum sum) { return sum; }
    static void HashWords(const uint64_t* words, int count, int y, int k0, HashSum& sum) {
        for (int j = 0; j < count; ++j) sum += LiveHashTerm(words[j], y, k0 + j);
    }
};

}  // namespace

StepCounts StepBits64(CellBoard& s, CellBoard& t, int newborn, const Rule& rule,
                      uint64_t* liveHash) {
    return StepInBands(s, t, newborn, rule, &bitsliced::Band<Ops64>, liveHash, true);
}

StepCounts StepPlanes64(CellBoard& s, CellBoard& t, int newborn, const Rule& rule,
                        uint64_t* liveHash) {
    return StepInBands(s, t, newborn, rule, &bitsliced::PlaneBand<Ops64>, liveHash, true, true);
}

StepBand PlanesBand64() {
    return &bitsliced::PlaneBand<Ops64>;
}

}  // namespace cellarium
