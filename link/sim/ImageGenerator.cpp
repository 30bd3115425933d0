#include "link/sim/ImageGenerator.h"

#include <algorithm>
#include <cstring>

namespace sim {
namespace {

void putWord(std::vector<uint8_t>& image, size_t at, uint16_t value) {
    image[at] = static_cast<uint8_t>(value & 0xFF);
    image[at + 1] = static_cast<uint8_t>(value >> 8);
}

void putFloat(std::vector<uint8_t>& image, size_t at, float value) {
    uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    for (int i = 0; i < 4; ++i)
        image[at + static_cast<size_t>(i)] = static_cast<uint8_t>(bits >> (8 * i));
}

} // namespace

std::vector<uint8_t> generateImage(int records, int length) {
    records = std::clamp(records, 0, 342);
    const size_t size =
        std::max<size_t>(static_cast<size_t>(length), 316 + 23 * static_cast<size_t>(records));
    std::vector<uint8_t> image(std::min<size_t>(size, 8192), 0);
    // Header bytes carry a pattern so that a byte lost or swapped in transit shows.
    for (size_t i = 0; i < 314 && i < image.size(); ++i)
        image[i] = static_cast<uint8_t>((i * 37 + 11) & 0xFF);
    putWord(image, 314, static_cast<uint16_t>(records));
    for (int r = 0; r < records; ++r) {
        const size_t at = 316 + 23 * static_cast<size_t>(r);
        const int mode = r % 3;
        putFloat(image, at, 0.5f + 0.25f * static_cast<float>(r % 40));
        putFloat(image, at + 4, 10.0f + 2.5f * static_cast<float>(r % 60));
        image[at + 8] = static_cast<uint8_t>(mode);
        const int minutes = 10 * 60 + r * 7; // one record every 7 minutes from 10:00 on 01.12.2009
        image[at + 9] = static_cast<uint8_t>(r % 60);
        image[at + 10] = static_cast<uint8_t>(minutes % 60);
        image[at + 11] = static_cast<uint8_t>((minutes / 60) % 24);
        image[at + 12] = static_cast<uint8_t>(1 + (minutes / (24 * 60)) % 28);
        image[at + 13] = 12;
        image[at + 14] = 9;
        if (mode == 1) {
            putWord(image, at + 15, static_cast<uint16_t>(1000 + r)); // tenths of a hertz
            putWord(image, at + 19, static_cast<uint16_t>(200 + r));  // hundredths of m/s²
        } else if (mode == 2) {
            putWord(image, at + 15, static_cast<uint16_t>(60 + r % 5)); // minutes
            putWord(image, at + 19, static_cast<uint16_t>(10 + r % 7)); // seconds
        }
    }
    // The bytes after the records are what an erased memory holds.
    for (size_t i = 316 + 23 * static_cast<size_t>(records); i < image.size(); ++i)
        image[i] = 0xFF;
    return image;
}

std::vector<uint8_t> encodeDump(const std::vector<uint8_t>& image) {
    std::vector<uint8_t> dump;
    dump.reserve(image.size() * 2 + 2);
    dump.push_back(0x53);
    for (uint8_t b : image) {
        dump.push_back(static_cast<uint8_t>(0x30 + (b & 0x0F)));
        dump.push_back(static_cast<uint8_t>(0x30 + (b >> 4)));
    }
    dump.push_back(0x50);
    return dump;
}

} // namespace sim
