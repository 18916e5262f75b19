// Windows bitmap (BMP) file writer for an off-screen image handed over as a
// plain pixel buffer (the window side passes an image's bits here).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qv {

// Result codes of one bitmap export.
inline constexpr int kBmpFailed = 1;       // nothing or only part written
inline constexpr int kBmpWritten = 0;      // the file is complete
inline constexpr int kBmpUnsupported = 3;  // 24 bits per pixel: no file

struct BmpSource {
  int width = 0;
  int height = 0;
  int bitsPerPixel = 32;  // 1, 2, 4, 8, 16 or 32 (24 is refused)
  int stride = 0;         // bytes from one row to the next
  bool topDown = true;    // rows in `pixels` start with the top row
  const uint8_t* pixels = nullptr;
  // Colour table for 8 bits and less, 0xRRGGBB (missing entries are black).
  std::vector<uint32_t> colorTable;
  // Red, green and blue masks for 16 and 32 bits.
  uint32_t masks[3] = {0x00FF0000u, 0x0000FF00u, 0x000000FFu};
};

// Bytes of one pixel row in the file (padded to a multiple of 4).
int BmpRowBytes(int width, int bitsPerPixel);
// Size of the header block after the 14-byte file header: 52 for 16 and 32
// bits (the 40-byte information header and three masks), 40 + 4 * 2^bits for
// the depths with a colour table; 0 for a depth the writer cannot write.
int BmpHeaderBlockSize(int bitsPerPixel);

// The file as bytes: file header, header block, pixel rows bottom-up. Empty
// for a depth the writer cannot write.
std::string BmpFileBytes(const BmpSource& image);

// Writes the file (replacing any existing one). Returns kBmpWritten,
// kBmpUnsupported for 24 bits (no file created), or kBmpFailed when the file
// cannot be created or a write fails (a partly written file stays).
int WriteBmp(const BmpSource& image, const std::string& path);

}  // namespace qv
