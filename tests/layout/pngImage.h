#pragma once
// Reads the PNG pictures rsvg-convert makes (8-bit RGB or RGBA, not interlaced), so that the
// tests can look at the pixels a real renderer drew.

#include <array>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#if KORVANE_HAVE_ZLIB
#include <zlib.h>
#endif

namespace korvane::testing {

struct pngImage {
    int width = 0;
    int height = 0;
    bool decoded = false;  // pixels filled (needs zlib)
    std::vector<std::array<std::uint8_t, 3>> pixels;  // row by row, composed on white

    std::array<std::uint8_t, 3> at(int x, int y) const { return pixels[static_cast<size_t>(y * width + x)]; }
};

inline std::uint32_t bigEndian(const std::string& bytes, size_t at) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at])) << 24 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 1])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 2])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 3]));
}

// The picture in bytes; width 0 when they are no PNG.
inline pngImage readPng(const std::string& bytes) {
    pngImage image;
    static const std::string SIGNATURE = "\x89PNG\r\n\x1a\n";
    constexpr size_t HEADER_END = 8 + 8 + 13;
    if (bytes.size() < HEADER_END || bytes.compare(0, 8, SIGNATURE) != 0 || bytes.compare(12, 4, "IHDR") != 0)
        return image;
    image.width = static_cast<int>(bigEndian(bytes, 16));
    image.height = static_cast<int>(bigEndian(bytes, 20));
#if KORVANE_HAVE_ZLIB
    const int depth = static_cast<unsigned char>(bytes[24]);
    const int colour = static_cast<unsigned char>(bytes[25]);
    const int interlace = static_cast<unsigned char>(bytes[28]);
    if (depth != 8 || (colour != 2 && colour != 6) || interlace != 0) return image;
    const size_t channels = colour == 6 ? 4 : 3;
    std::string compressed;
    for (size_t at = 8; at + 12 <= bytes.size();) {
        const size_t length = bigEndian(bytes, at);
        if (bytes.compare(at + 4, 4, "IDAT") == 0) compressed.append(bytes, at + 8, length);
        at += 12 + length;
    }
    const size_t stride = channels * static_cast<size_t>(image.width);
    std::vector<std::uint8_t> raw((stride + 1) * static_cast<size_t>(image.height));
    uLongf rawSize = static_cast<uLongf>(raw.size());
    if (uncompress(raw.data(), &rawSize, reinterpret_cast<const Bytef*>(compressed.data()),
                   static_cast<uLong>(compressed.size())) != Z_OK || rawSize != raw.size())
        return image;
    std::vector<std::uint8_t> previous(stride, 0), row(stride);
    image.pixels.reserve(static_cast<size_t>(image.width) * static_cast<size_t>(image.height));
    for (int y = 0; y < image.height; ++y) {
        const std::uint8_t* line = raw.data() + static_cast<size_t>(y) * (stride + 1);
        const int filter = line[0];
        for (size_t k = 0; k < stride; ++k) {
            const int a = k >= channels ? row[k - channels] : 0;
            const int b = previous[k];
            const int c = k >= channels ? previous[k - channels] : 0;
            int predicted = 0;
            switch (filter) {
                case 1: predicted = a; break;
                case 2: predicted = b; break;
                case 3: predicted = (a + b) / 2; break;
                case 4: {
                    const int p = a + b - c;
                    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
                    predicted = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
                    break;
                }
                default: break;
            }
            row[k] = static_cast<std::uint8_t>(line[1 + k] + predicted);
        }
        for (int x = 0; x < image.width; ++x) {
            const std::uint8_t* p = row.data() + channels * static_cast<size_t>(x);
            const int alpha = channels == 4 ? p[3] : 255;
            std::array<std::uint8_t, 3> rgb{};
            for (size_t k = 0; k < 3; ++k) rgb[k] = static_cast<std::uint8_t>((p[k] * alpha + 255 * (255 - alpha)) / 255);
            image.pixels.push_back(rgb);
        }
        previous = row;
    }
    image.decoded = true;
#endif
    return image;
}

}  // namespace korvane::testing
