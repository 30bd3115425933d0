#pragma once

namespace image {

// The instrument's measurement memory: what one transfer decodes to, at most. The memory image
// and the download both hold to it.
inline constexpr int kImageSize = 8192;

} // namespace image
