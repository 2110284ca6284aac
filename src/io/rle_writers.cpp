// Run-length TGA (types 9 and 10) and BMP (BI_RLE8) files, written from the
// formats' public descriptions.

#include "io/rle_writers.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

namespace {

void PutLittle16(std::uint8_t* at, std::uint32_t value) {
  at[0] = std::uint8_t(value);
  at[1] = std::uint8_t(value >> 8);
}

void PutLittle32(std::uint8_t* at, std::uint32_t value) {
  PutLittle16(at, value);
  PutLittle16(at + 2, value >> 16);
}

bool Write(std::FILE* file, const void* bytes, std::size_t size) {
  return size == 0 || std::fwrite(bytes, 1, size, file) == size;
}

// The length of the run of equal pixels starting at pixel x, at most `most`:
// the bytes from pixel x + 1 on that equal those one pixel before them,
// compared eight at a time, as strips are mostly long runs.
template <int N>
int RunAt(const std::uint8_t* row, int x, int width, int most) {
  const std::uint8_t* const start = row + std::size_t(x + 1) * N;
  const std::uint8_t* const limit = row + std::size_t(std::min(width, x + most)) * N;
  const std::uint8_t* at = start;
  for (; limit - at >= 8; at += 8) {
    std::uint64_t here, before;
    std::memcpy(&here, at, 8);
    std::memcpy(&before, at - N, 8);
    if (here != before) break;
  }
  while (at < limit && *at == *(at - N)) ++at;
  return 1 + int((at - start) / N);
}

// Rows go out bottom first, against the order the processor's prefetcher
// expects: the row after this one is fetched ahead by hand.
void PrefetchRow(const std::uint8_t* row, std::size_t bytes) {
  for (std::size_t at = 0; at < bytes; at += 64) __builtin_prefetch(row + at);
}

template <int N>
bool Same(const std::uint8_t* a, const std::uint8_t* b) {
  return std::memcmp(a, b, N) == 0;
}

// How many pixels from x go into one literal stretch: up to `most`, ending
// where a run worth its own packet (`minRun` equal pixels, 2 or 3) begins.
template <int N>
int LiteralAt(const std::uint8_t* row, int x, int width, int most, int minRun) {
  const int end = std::min(width, x + most);
  int at = x + 1;
  for (; at < end; ++at) {
    if (at + minRun > width) return end - x;  // no such run fits any more
    const std::uint8_t* pixel = row + std::size_t(at) * N;
    if (Same<N>(pixel, pixel + N) && (minRun < 3 || Same<N>(pixel, pixel + 2 * N))) break;
  }
  return at - x;
}

// One TGA pixel as the file keeps it: blue, green, red (, alpha), or an index.
template <int N>
std::uint8_t* PutTargaPixel(std::uint8_t* out, const std::uint8_t* pixel) {
  if constexpr (N == 1) {
    *out++ = pixel[0];
  } else {
    *out++ = pixel[2];
    *out++ = pixel[1];
    *out++ = pixel[0];
    if constexpr (N == 4) *out++ = pixel[3];
  }
  return out;
}

// TGA packets: a header byte (top bit set for a run) holding the count less
// one, then one pixel for a run or `count` pixels for a raw packet. A run
// of two true-colour pixels already saves bytes; an index needs three.
template <int N>
std::uint8_t* PackTargaRow(const std::uint8_t* row, int width, std::uint8_t* out) {
  constexpr int kMost = 128;
  constexpr int kMinRun = N == 1 ? 3 : 2;
  for (int x = 0; x < width;) {
    const int run = RunAt<N>(row, x, width, kMost);
    if (run >= kMinRun) {
      *out++ = std::uint8_t(0x80 | (run - 1));
      out = PutTargaPixel<N>(out, row + x * N);
      x += run;
      continue;
    }
    const int count = LiteralAt<N>(row, x, width, kMost, kMinRun);
    *out++ = std::uint8_t(count - 1);
    for (int i = 0; i < count; ++i) out = PutTargaPixel<N>(out, row + (x + i) * N);
    x += count;
  }
  return out;
}

template <int N>
bool WriteTargaRows(const PixelRows& picture, std::FILE* file) {
  // Worst case: a header byte for every pixel.
  std::vector<std::uint8_t> packed(std::size_t(picture.width) * (N + 1));
  const std::size_t rowBytes = std::size_t(picture.width) * N;
  for (int y = picture.height - 1; y >= 0; --y) {
    if (y > 0) PrefetchRow(picture.pixels + std::size_t(y - 1) * rowBytes, rowBytes);
    const std::uint8_t* end =
        PackTargaRow<N>(picture.pixels + std::size_t(y) * rowBytes, picture.width, packed.data());
    if (!Write(file, packed.data(), std::size_t(end - packed.data()))) return false;
  }
  return true;
}

// RLE8 codes: a count of 1 to 255 and the index it repeats, or 0 and an
// escape: 0 end of line, 1 end of bitmap, 3 to 255 that many literal indices
// padded to an even length.
std::uint8_t* PackRle8Row(const std::uint8_t* row, int width, std::uint8_t* out) {
  constexpr int kMost = 255;
  constexpr int kMinRun = 3;
  for (int x = 0; x < width;) {
    const int run = RunAt<1>(row, x, width, kMost);
    if (run >= kMinRun) {
      *out++ = std::uint8_t(run);
      *out++ = row[x];
      x += run;
      continue;
    }
    const int count = LiteralAt<1>(row, x, width, kMost, kMinRun);
    if (count >= 3) {
      *out++ = 0;
      *out++ = std::uint8_t(count);
      out = std::copy(row + x, row + x + count, out);
      if (count % 2 != 0) *out++ = 0;
      x += count;
      continue;
    }
    // One or two indices have no literal form: short runs.
    for (const int end = x + count; x < end;) {
      const int shortRun = RunAt<1>(row, x, end, 2);
      *out++ = std::uint8_t(shortRun);
      *out++ = row[x];
      x += shortRun;
    }
  }
  return out;
}

constexpr std::size_t kBmpHeadersBytes = 14 + 40;
constexpr std::size_t kBmpPaletteBytes = 256 * 4;

// The file and information headers of an RLE8 file with `dataBytes` of codes.
void FillBmpHeaders(std::uint8_t* header, const PixelRows& picture, std::uint32_t dataBytes) {
  std::memset(header, 0, kBmpHeadersBytes);
  header[0] = 'B';
  header[1] = 'M';
  const std::uint32_t offset = std::uint32_t(kBmpHeadersBytes + kBmpPaletteBytes);
  PutLittle32(header + 2, offset + dataBytes);
  PutLittle32(header + 10, offset);
  PutLittle32(header + 14, 40);
  PutLittle32(header + 18, std::uint32_t(picture.width));
  PutLittle32(header + 22, std::uint32_t(picture.height));  // positive: bottom row first
  PutLittle16(header + 26, 1);                              // planes
  PutLittle16(header + 28, 8);                              // bits a pixel
  PutLittle32(header + 30, 1);                              // BI_RLE8
  PutLittle32(header + 34, dataBytes);
  PutLittle32(header + 46, 256);  // palette entries
}

}  // namespace

bool WriteRunLengthTarga(const PixelRows& picture, std::FILE* file) {
  const int n = picture.bytesPerPixel;
  const bool indexed = n == 1;
  std::uint8_t header[18] = {};
  header[1] = indexed ? 1 : 0;    // colour map present
  header[2] = indexed ? 9 : 10;   // run-length colour-mapped or true colour
  PutLittle16(header + 5, indexed ? 256 : 0);
  header[7] = indexed ? 24 : 0;   // bits a colour map entry
  PutLittle16(header + 12, std::uint32_t(picture.width));
  PutLittle16(header + 14, std::uint32_t(picture.height));
  header[16] = std::uint8_t(n * 8);
  header[17] = n == 4 ? 8 : 0;    // alpha bits; origin bottom left
  if (!Write(file, header, sizeof header)) return false;
  if (indexed) {
    std::uint8_t entries[256 * 3];
    for (int i = 0; i < 256; ++i) PutTargaPixel<3>(entries + i * 3, picture.palette + i * 3);
    if (!Write(file, entries, sizeof entries)) return false;
  }
  const bool rows = n == 1   ? WriteTargaRows<1>(picture, file)
                    : n == 4 ? WriteTargaRows<4>(picture, file)
                             : WriteTargaRows<3>(picture, file);
  // The version 2 footer, without extension or developer area.
  static constexpr char kFooter[26] = "\0\0\0\0\0\0\0\0TRUEVISION-XFILE.";
  return rows && Write(file, kFooter, sizeof kFooter);
}

bool WriteRunLengthBmp(const PixelRows& picture, std::FILE* file) {
  const long start = std::ftell(file);
  if (start < 0) return false;
  std::uint8_t header[kBmpHeadersBytes];
  FillBmpHeaders(header, picture, 0);
  std::uint8_t entries[kBmpPaletteBytes] = {};
  for (int i = 0; i < 256; ++i) {
    // blue, green, red, reserved
    entries[i * 4] = picture.palette[i * 3 + 2];
    entries[i * 4 + 1] = picture.palette[i * 3 + 1];
    entries[i * 4 + 2] = picture.palette[i * 3];
  }
  if (!Write(file, header, sizeof header) || !Write(file, entries, sizeof entries)) return false;

  // Worst case: two bytes a pixel, the end code and the padding.
  std::vector<std::uint8_t> packed(std::size_t(picture.width) * 2 + 4);
  const std::size_t rowBytes = std::size_t(picture.width);
  const std::uint64_t most = 0xFFFFFFFFull - kBmpHeadersBytes - kBmpPaletteBytes;
  std::uint64_t dataBytes = 0;
  for (int y = picture.height - 1; y >= 0; --y) {
    if (y > 0) PrefetchRow(picture.pixels + std::size_t(y - 1) * rowBytes, rowBytes);
    std::uint8_t* end =
        PackRle8Row(picture.pixels + std::size_t(y) * rowBytes, picture.width, packed.data());
    *end++ = 0;
    *end++ = y == 0 ? 1 : 0;  // end of bitmap after the last row, else end of line
    const std::size_t size = std::size_t(end - packed.data());
    dataBytes += size;
    if (dataBytes > most) {
      errno = EFBIG;
      return false;
    }
    if (!Write(file, packed.data(), size)) return false;
  }
  FillBmpHeaders(header, picture, std::uint32_t(dataBytes));
  return std::fseek(file, start, SEEK_SET) == 0 && Write(file, header, sizeof header) &&
         std::fseek(file, 0, SEEK_END) == 0;
}
