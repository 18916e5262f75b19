#include "output/bmp_writer.h"

#include <algorithm>
#include <cstring>

#include "output/file_output.h"

namespace qv {
namespace {

void Put16(std::string& out, uint32_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>((v >> 8) & 0xFF);
}

void Put32(std::string& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

bool DepthWritable(int bits) {
  return bits == 1 || bits == 2 || bits == 4 || bits == 8 || bits == 16 || bits == 32;
}

// File header and header block.
std::string Headers(const BmpSource& img) {
  const int block = BmpHeaderBlockSize(img.bitsPerPixel);
  const uint32_t imageSize = static_cast<uint32_t>(BmpRowBytes(img.width, img.bitsPerPixel)) *
                             static_cast<uint32_t>(img.height);
  std::string h;
  h.reserve(14 + static_cast<size_t>(block));
  h += "BM";
  Put32(h, 14u + static_cast<uint32_t>(block) + imageSize);
  Put16(h, 0);
  Put16(h, 0);
  Put32(h, 14u + static_cast<uint32_t>(block));
  // Information header.
  Put32(h, 40);
  Put32(h, static_cast<uint32_t>(img.width));
  Put32(h, static_cast<uint32_t>(img.height));  // positive: rows bottom-up
  Put16(h, 1);
  Put16(h, static_cast<uint32_t>(img.bitsPerPixel));
  const bool masked = img.bitsPerPixel == 16 || img.bitsPerPixel == 32;
  Put32(h, masked ? 3u : 0u);  // BI_BITFIELDS with masks, else BI_RGB
  Put32(h, imageSize);
  Put32(h, 0);  // horizontal resolution
  Put32(h, 0);  // vertical resolution
  Put32(h, 0);  // colours used
  Put32(h, 0);  // colours important
  if (masked) {
    for (uint32_t m : img.masks)
      Put32(h, m);
  } else {
    const size_t entries = size_t{1} << img.bitsPerPixel;
    for (size_t i = 0; i < entries; ++i) {
      uint32_t rgb = i < img.colorTable.size() ? img.colorTable[i] & 0xFFFFFFu : 0u;
      Put32(h, rgb);  // blue, green, red, reserved
    }
  }
  return h;
}

// Pixel rows bottom-up, each padded to the file's row size.
std::string PixelBytes(const BmpSource& img) {
  const size_t rowBytes = static_cast<size_t>(BmpRowBytes(img.width, img.bitsPerPixel));
  const size_t srcBytes = std::min(
      rowBytes, static_cast<size_t>((static_cast<int64_t>(img.width) * img.bitsPerPixel + 7) / 8));
  std::string out(rowBytes * static_cast<size_t>(img.height), '\0');
  if (!img.pixels) return out;
  const size_t copy = std::min(srcBytes, static_cast<size_t>(img.stride > 0 ? img.stride : 0));
  for (int fileRow = 0; fileRow < img.height; ++fileRow) {
    // The file's first row is the image's bottom row.
    const int srcRow = img.topDown ? img.height - 1 - fileRow : fileRow;
    const uint8_t* src = img.pixels + static_cast<size_t>(srcRow) * static_cast<size_t>(img.stride);
    std::memcpy(out.data() + static_cast<size_t>(fileRow) * rowBytes, src, copy);
  }
  return out;
}

}  // namespace

int BmpRowBytes(int width, int bitsPerPixel) {
  if (width <= 0 || bitsPerPixel <= 0) return 0;
  return static_cast<int>(((static_cast<int64_t>(width) * bitsPerPixel + 31) / 32) * 4);
}

int BmpHeaderBlockSize(int bitsPerPixel) {
  if (!DepthWritable(bitsPerPixel)) return 0;
  if (bitsPerPixel == 16 || bitsPerPixel == 32) return 52;
  return 40 + 4 * (1 << bitsPerPixel);
}

std::string BmpFileBytes(const BmpSource& image) {
  if (!DepthWritable(image.bitsPerPixel) || image.width < 0 || image.height < 0) return {};
  return Headers(image) + PixelBytes(image);
}

int WriteBmp(const BmpSource& image, const std::string& path) {
  if (image.bitsPerPixel == 24) return kBmpUnsupported;
  if (!DepthWritable(image.bitsPerPixel) || image.width < 0 || image.height < 0) return kBmpFailed;
  const std::string head = Headers(image);
  const std::string pixels = PixelBytes(image);
  return WriteOutputFile(path, {head, pixels}) == OutputFileResult::kWritten ? kBmpWritten
                                                                             : kBmpFailed;
}

}  // namespace qv
