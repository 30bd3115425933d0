#pragma once

#include <cstdint>
#include <vector>

namespace sim {

// A memory image as the instrument would hold it: a header, the record count at offset 314 and
// `records` records of 23 bytes cycling through the three modes, padded to `length` bytes.
std::vector<uint8_t> generateImage(int records, int length = 7566);

// The dump answering 0x46: 0x53, every byte as two characters (low half first, + 0x30), 0x50.
std::vector<uint8_t> encodeDump(const std::vector<uint8_t>& image);

} // namespace sim
