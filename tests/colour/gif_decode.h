// Test helper: decodes a GIF with giflib, an independent decoder, and checks
// the block structure of the image data that giflib does not insist on.
#pragma once

#include <gif_lib.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace cellarium::test {

struct DecodedGif {
    bool ok = false;
    std::string error;
    int screenWidth = 0, screenHeight = 0;
    int colourCount = 0;
    std::vector<uint8_t> colours;  // r, g, b per entry
    int left = 0, top = 0, width = 0, height = 0;
    bool interlaced = false;
    std::vector<uint8_t> pixels;  // width * height, top row first
};

inline DecodedGif DecodeWithGiflib(const std::vector<uint8_t>& bytes) {
    struct Reader {
        const std::vector<uint8_t>* bytes;
        std::size_t pos;
    } reader{&bytes, 0};
    auto read = [](GifFileType* gif, GifByteType* out, int n) -> int {
        auto* r = static_cast<Reader*>(gif->UserData);
        std::size_t left = r->bytes->size() - r->pos;
        std::size_t take = std::min<std::size_t>(left, std::size_t(n));
        std::memcpy(out, r->bytes->data() + r->pos, take);
        r->pos += take;
        return int(take);
    };
    DecodedGif d;
    int err = 0;
    GifFileType* gif = DGifOpen(&reader, read, &err);
    if (gif == nullptr) {
        d.error = std::string("DGifOpen: ") + GifErrorString(err);
        return d;
    }
    if (DGifSlurp(gif) != GIF_OK) {
        d.error = std::string("DGifSlurp: ") + GifErrorString(gif->Error);
        DGifCloseFile(gif, &err);
        return d;
    }
    d.screenWidth = gif->SWidth;
    d.screenHeight = gif->SHeight;
    if (gif->SColorMap != nullptr) {
        d.colourCount = gif->SColorMap->ColorCount;
        for (int i = 0; i < d.colourCount; ++i) {
            d.colours.push_back(gif->SColorMap->Colors[i].Red);
            d.colours.push_back(gif->SColorMap->Colors[i].Green);
            d.colours.push_back(gif->SColorMap->Colors[i].Blue);
        }
    }
    if (gif->ImageCount != 1) {
        d.error = "expected one image, found " + std::to_string(gif->ImageCount);
    } else {
        const SavedImage& im = gif->SavedImages[0];
        d.left = im.ImageDesc.Left;
        d.top = im.ImageDesc.Top;
        d.width = im.ImageDesc.Width;
        d.height = im.ImageDesc.Height;
        d.interlaced = im.ImageDesc.Interlace;
        d.pixels.assign(im.RasterBits,
                        im.RasterBits + std::size_t(d.width) * std::size_t(d.height));
        d.ok = true;
    }
    DGifCloseFile(gif, &err);
    return d;
}

// The image data sub-blocks of a single-image GIF87a written by our writer
// (global colour table, no extensions): lengths in order, and whether the
// file ends right after the block terminator with the trailer. Every block but
// the last must be full and no block may be empty.
struct BlockLayout {
    std::vector<int> lengths;
    std::vector<uint8_t> data;  // the concatenated image data
    bool wellFormed = false;
    std::string problem;
};

inline BlockLayout ImageBlocks(const std::vector<uint8_t>& f) {
    BlockLayout b;
    if (f.size() < 13) {
        b.problem = "short file";
        return b;
    }
    std::size_t pos = 13;
    if (f[10] & 0x80) pos += 3u * (2u << (f[10] & 7));
    pos += 10 + 1;  // image descriptor, minimum code size
    while (pos < f.size() && f[pos] != 0) {
        int n = f[pos];
        if (pos + 1 + std::size_t(n) > f.size()) {
            b.problem = "sub-block runs past the end";
            return b;
        }
        b.lengths.push_back(n);
        b.data.insert(b.data.end(), f.begin() + long(pos) + 1, f.begin() + long(pos) + 1 + n);
        pos += 1 + std::size_t(n);
    }
    if (pos + 2 != f.size() || f[pos] != 0 || f[pos + 1] != ';') {
        b.problem = "terminator and trailer are not the last two bytes";
        return b;
    }
    for (std::size_t i = 0; i + 1 < b.lengths.size(); ++i)
        if (b.lengths[i] != 255) {
            b.problem = "a sub-block before the last is not full";
            return b;
        }
    b.wellFormed = true;
    return b;
}

}  // namespace cellarium::test
