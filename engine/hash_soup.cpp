#include "engine/hash_soup.h"

#include <cmath>
#include <string>

namespace cellarium {

namespace {

constexpr uint32_t kRound[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

inline uint32_t Rotr(uint32_t v, int n) {
    return (v >> n) | (v << (32 - n));
}

void Compress(uint32_t state[8], const uint8_t block[64]) {
    uint32_t w[64];
    for (int i = 0; i < 16; ++i)
        w[i] = uint32_t(block[4 * i]) << 24 | uint32_t(block[4 * i + 1]) << 16 |
               uint32_t(block[4 * i + 2]) << 8 | uint32_t(block[4 * i + 3]);
    for (int i = 16; i < 64; ++i) {
        uint32_t s0 = Rotr(w[i - 15], 7) ^ Rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
        uint32_t s1 = Rotr(w[i - 2], 17) ^ Rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
        w[i] = w[i - 16] + s0 + w[i - 7] + s1;
    }
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
    for (int i = 0; i < 64; ++i) {
        uint32_t t1 =
            h + (Rotr(e, 6) ^ Rotr(e, 11) ^ Rotr(e, 25)) + ((e & f) ^ (~e & g)) + kRound[i] + w[i];
        uint32_t t2 = (Rotr(a, 2) ^ Rotr(a, 13) ^ Rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
        h = g;
        g = f;
        f = e;
        e = d + t1;
        d = c;
        c = b;
        b = a;
        a = t1 + t2;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
    state[4] += e;
    state[5] += f;
    state[6] += g;
    state[7] += h;
}

}  // namespace

std::array<uint8_t, 32> Sha256(std::string_view bytes) {
    uint32_t state[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                         0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    size_t whole = bytes.size() / 64;
    for (size_t i = 0; i < whole; ++i)
        Compress(state, reinterpret_cast<const uint8_t*>(bytes.data()) + 64 * i);
    // The tail, the 0x80 marker and the message length in bits, in one or two blocks.
    uint8_t tail[128] = {};
    size_t rest = bytes.size() - 64 * whole;
    for (size_t i = 0; i < rest; ++i) tail[i] = static_cast<uint8_t>(bytes[64 * whole + i]);
    tail[rest] = 0x80;
    size_t tailBlocks = rest + 9 <= 64 ? 1 : 2;
    uint64_t bits = uint64_t(bytes.size()) * 8;
    for (int i = 0; i < 8; ++i)
        tail[64 * tailBlocks - 1 - i] = static_cast<uint8_t>(bits >> (8 * i));
    for (size_t i = 0; i < tailBlocks; ++i) Compress(state, tail + 64 * i);
    std::array<uint8_t, 32> digest{};
    for (int i = 0; i < 8; ++i)
        for (int j = 0; j < 4; ++j)
            digest[4 * i + j] = static_cast<uint8_t>(state[i] >> (24 - 8 * j));
    return digest;
}

HashSoupRows HashSoup(std::string_view root, uint64_t index) {
    std::string text(root);
    text += std::to_string(index);
    std::array<uint8_t, 32> digest = Sha256(text);
    HashSoupRows rows{};
    for (int y = 0; y < kHashSoupSize; ++y)
        rows[y] = static_cast<uint16_t>(digest[2 * y] << 8 | digest[2 * y + 1]);
    return rows;
}

}  // namespace cellarium

namespace cellarium {

namespace {

// MD5's shifts and constants (the integer parts of |sin(i + 1)| * 2^32).
constexpr int kMd5Shift[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                               5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                               4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                               6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};

uint32_t Md5Constant(int i) {
    static const auto table = [] {
        std::array<uint32_t, 64> t{};
        for (int k = 0; k < 64; ++k)
            t[size_t(k)] = uint32_t(std::floor(std::fabs(std::sin(double(k + 1))) * 4294967296.0));
        return t;
    }();
    return table[size_t(i)];
}

inline uint32_t Rotl(uint32_t v, int n) {
    return (v << n) | (v >> (32 - n));
}

void Md5Block(uint32_t state[4], const uint8_t block[64]) {
    uint32_t m[16];
    for (int i = 0; i < 16; ++i)
        m[i] = uint32_t(block[4 * i]) | uint32_t(block[4 * i + 1]) << 8 |
               uint32_t(block[4 * i + 2]) << 16 | uint32_t(block[4 * i + 3]) << 24;
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    for (int i = 0; i < 64; ++i) {
        uint32_t f;
        int g;
        if (i < 16) {
            f = (b & c) | (~b & d);
            g = i;
        } else if (i < 32) {
            f = (d & b) | (~d & c);
            g = (5 * i + 1) % 16;
        } else if (i < 48) {
            f = b ^ c ^ d;
            g = (3 * i + 5) % 16;
        } else {
            f = c ^ (b | ~d);
            g = (7 * i) % 16;
        }
        const uint32_t next = b + Rotl(a + f + Md5Constant(i) + m[g], kMd5Shift[i]);
        a = d;
        d = c;
        c = b;
        b = next;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
}

}  // namespace

std::array<uint8_t, 16> Md5(std::string_view bytes) {
    uint32_t state[4] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
    std::string padded(bytes);
    const uint64_t bits = uint64_t(bytes.size()) * 8;
    padded += char(0x80);
    while (padded.size() % 64 != 56) padded += char(0);
    for (int i = 0; i < 8; ++i) padded += char(bits >> (8 * i) & 0xff);
    for (size_t at = 0; at < padded.size(); at += 64)
        Md5Block(state, reinterpret_cast<const uint8_t*>(padded.data() + at));
    std::array<uint8_t, 16> digest{};
    for (int i = 0; i < 16; ++i) digest[size_t(i)] = uint8_t(state[i / 4] >> (8 * (i % 4)));
    return digest;
}

std::string Md5Hex(std::string_view bytes) {
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    for (uint8_t byte : Md5(bytes)) {
        out += kHex[byte >> 4];
        out += kHex[byte & 15];
    }
    return out;
}

}  // namespace cellarium
