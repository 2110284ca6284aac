#include "image/picture_checks.h"

#include <algorithm>
#include <cstring>

#include "image/image_io.h"

namespace {

std::uint32_t Big16(const std::uint8_t* p) {
  return std::uint32_t(p[0]) << 8 | p[1];
}
std::uint32_t Big32(const std::uint8_t* p) {
  return Big16(p) << 16 | Big16(p + 2);
}
std::uint32_t Little16(const std::uint8_t* p) {
  return std::uint32_t(p[1]) << 8 | p[0];
}
std::uint32_t Little32(const std::uint8_t* p) {
  return Little16(p + 2) << 16 | Little16(p);
}

std::string Size(std::uint64_t width, std::uint64_t height) {
  return std::to_string(width) + " x " + std::to_string(height) + " pixels";
}

// The library keeps sizes in 32 bits and reads every picture back at up to
// 4 bytes a pixel.
bool FitsTheLibrary(std::uint64_t width, std::uint64_t height, std::string& problem) {
  if (width * height * 4 <= kMaxLibraryImageBytes) return true;
  problem = "it declares " + Size(width, height) + ", more than DevIL can hold";
  return false;
}

// `bytesNeeded` of pixel data at the least, where the file has `bytesHeld`.
bool HoldsItsPixels(std::uint64_t width, std::uint64_t height, std::uint64_t bytesNeeded,
                    std::uint64_t bytesHeld, std::string& problem) {
  if (bytesNeeded <= bytesHeld) return true;
  problem = "it declares " + Size(width, height) + ", more than its " + std::to_string(bytesHeld) +
            " bytes of pixel data can hold";
  return false;
}

// The library's reader hands libpng stale bytes past the end of the file,
// so a cut-off PNG makes libpng read chunks for ever: every chunk up to
// IEND must lie inside the file. zlib packs at most 1032 bytes into one.
bool CheckPng(const std::uint8_t* data, std::size_t size, std::string& problem) {
  static const std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (size < 8 || std::memcmp(data, kSignature, 8) != 0) return true;  // the library refuses it
  std::uint64_t width = 0, height = 0, bitsPerPixel = 0, compressed = 0;
  for (std::size_t at = 8;;) {
    if (size - at < 12 || Big32(data + at) > size - at - 12) {
      problem = "it ends in the middle of a chunk";
      return false;
    }
    const std::uint32_t length = Big32(data + at);
    const std::uint8_t* type = data + at + 4;
    const std::uint8_t* body = data + at + 8;
    if (std::memcmp(type, "IHDR", 4) == 0 && length >= 13) {
      static const int kChannels[7] = {1, 0, 3, 1, 2, 0, 4};
      width = Big32(body);
      height = Big32(body + 4);
      bitsPerPixel = std::uint64_t(body[8]) * (body[9] < 7 ? kChannels[body[9]] : 4);
    }
    if (std::memcmp(type, "IDAT", 4) == 0) compressed += length;
    if (std::memcmp(type, "IEND", 4) == 0) break;
    at += 12 + std::size_t(length);
  }
  const std::uint64_t raw =
      height * (1 + (width * std::max<std::uint64_t>(bitsPerPixel, 8) + 7) / 8);
  return FitsTheLibrary(width, height, problem) &&
         HoldsItsPixels(width, height, raw, compressed * 1100 + 65536, problem);
}

// The library reads a header cut short as if the rest were there.
bool EndsInHeader(std::string& problem) {
  problem = "it ends inside its header";
  return false;
}

// The library's JPEG source reads on at the end of the file for ever, and
// libjpeg reads until the end marker: the segments and scans up to the end
// marker must lie inside the file. A scan packs a few pixels a bit at most.
bool CheckJpeg(const std::uint8_t* data, std::size_t size, std::string& problem) {
  if (size < 2 || data[0] != 0xFF || data[1] != 0xD8) return true;  // the library refuses it
  std::uint64_t width = 0, height = 0;
  bool inScan = false;
  for (std::size_t at = 2;;) {
    // The next marker: an 0xFF, any fill 0xFF bytes, then the code. Inside
    // a scan 0xFF 0x00 is data and 0xFF 0xD0-0xD7 restarts it.
    for (;; ++at) {
      while (at < size && data[at] != 0xFF) ++at;
      while (at + 1 < size && data[at + 1] == 0xFF) ++at;
      if (at + 1 >= size) {
        problem = "it ends before its end marker";
        return false;
      }
      const std::uint8_t code = data[at + 1];
      if (!inScan || (code != 0x00 && (code < 0xD0 || code > 0xD7))) break;
    }
    const std::uint8_t code = data[at + 1];
    if (code == 0xD9) break;
    if (code == 0xD8 || code == 0x01 || (code >= 0xD0 && code <= 0xD7)) {
      at += 2;
      continue;
    }
    if (size - at < 4 || Big16(data + at + 2) < 2 || Big16(data + at + 2) > size - at - 2) {
      problem = "it ends in the middle of a segment";
      return false;
    }
    const bool frame = code >= 0xC0 && code <= 0xCF && code != 0xC4 && code != 0xC8 && code != 0xCC;
    if (frame && Big16(data + at + 2) >= 7) {
      height = Big16(data + at + 5);
      width = Big16(data + at + 7);
    }
    inScan = code == 0xDA;
    at += 2 + Big16(data + at + 2);
  }
  return FitsTheLibrary(width, height, problem) &&
         HoldsItsPixels(width, height, width * height, std::uint64_t(size) * 4096 + (1 << 20),
                        problem);
}

// The library's TGA reader allocates the declared size and decodes it from
// whatever is there: plain pixels must all be in the file, and a run-length
// packet of 1 + depth bytes gives at most 128 pixels.
bool CheckTarga(const std::uint8_t* data, std::size_t size, std::string& problem) {
  if (size < 18) return EndsInHeader(problem);
  const std::uint64_t mapBytes = data[1] != 0 ? Little16(data + 5) * ((data[7] + 7ull) / 8) : 0;
  const std::uint64_t header = 18 + data[0] + mapBytes;
  if (header > size) {
    problem = "its header runs past the end of the file";
    return false;
  }
  // A colour-mapped picture without its map sends the library's palette
  // conversion through gigabytes.
  if ((data[2] == 1 || data[2] == 9) && (data[1] == 0 || Little16(data + 5) == 0)) {
    problem = "it has no colour map for its colour indices";
    return false;
  }
  const std::uint64_t width = Little16(data + 12), height = Little16(data + 14);
  const std::uint64_t depth = std::max<std::uint64_t>(1, (data[16] + 7ull) / 8);
  const std::uint64_t held = size - header;
  switch (data[2]) {
    case 1:
    case 2:
    case 3:
      return HoldsItsPixels(width, height, width * height * depth, held, problem);
    case 9:
    case 10:
    case 11:
      return HoldsItsPixels(width, height, (width * height + 127) / 128 * (1 + depth), held,
                            problem);
    default:
      return true;
  }
}

// Run-length lines may end early, so a run-length BMP is held only to 64 Ki
// pixels a byte; plain rows, padded to 4 bytes, must all be in the file.
bool CheckBmp(const std::uint8_t* data, std::size_t size, std::string& problem) {
  if (size < 2 || data[0] != 'B' || data[1] != 'M') return true;  // the library refuses it
  if (size < 26) return EndsInHeader(problem);
  std::int64_t width, height;
  std::uint64_t bits = 24, compression = 0;
  if (Little32(data + 14) == 12) {
    width = Little16(data + 18);
    height = Little16(data + 20);
    bits = Little16(data + 24);
  } else {
    if (size < 34) return EndsInHeader(problem);
    width = std::int32_t(Little32(data + 18));
    height = std::int32_t(Little32(data + 22));
    bits = Little16(data + 28);
    compression = Little32(data + 30);
  }
  const std::uint64_t w = std::uint64_t(std::abs(width)), h = std::uint64_t(std::abs(height));
  if (!FitsTheLibrary(w, h, problem)) return false;
  if (compression == 1 || compression == 2) {
    return HoldsItsPixels(w, h, w * h, std::uint64_t(size) * 65536, problem);
  }
  return HoldsItsPixels(w, h, (w * bits + 31) / 32 * 4 * h, size, problem);
}

// The library's PCX reader allocates the declared size, a reversed corner
// pair wrapping round to 4 billion; a run of one byte gives at most 63.
bool CheckPcx(const std::uint8_t* data, std::size_t size, std::string& problem) {
  if (data[0] != 10) return true;  // the library refuses it
  if (size < 128) return EndsInHeader(problem);
  const std::uint32_t left = Little16(data + 4), top = Little16(data + 6);
  const std::uint32_t right = Little16(data + 8), bottom = Little16(data + 10);
  if (right < left || bottom < top) {
    problem = "its corners are the wrong way round";
    return false;
  }
  const std::uint64_t width = right - left + 1, height = bottom - top + 1;
  const std::uint64_t planes = std::max<std::uint64_t>(1, data[65]);
  const std::uint64_t line =
      std::max<std::uint64_t>(planes * Little16(data + 66),
                              planes * ((width * std::max<std::uint8_t>(data[3], 1) + 7) / 8));
  if (!FitsTheLibrary(width, height, problem) ||
      !HoldsItsPixels(width, height, height * line, (size - 128) * 32, problem)) {
    return false;
  }
  if (data[3] < 8) return true;
  // Rows of 8-bit planes cut off by the file's end are made up from memory
  // the library never filled: every row must be in the file. A run that
  // overfills its row the library refuses itself.
  std::size_t at = 128;
  for (std::uint64_t row = 0; row < height; ++row) {
    for (std::uint64_t filled = 0; filled < line;) {
      const bool run = at < size && (data[at] & 0xC0) == 0xC0;
      if (at + (run ? 1 : 0) >= size) {
        problem = "it ends before its last row";
        return false;
      }
      filled += run ? (data[at] & 0x3F) : 1;
      at += run ? 2 : 1;
      if (filled > line) return true;
    }
  }
  return true;
}

}  // namespace

bool CheckPictureBytes(PictureFormat format, const std::uint8_t* data, std::size_t size,
                       std::string& problem) {
  switch (format) {
    case PictureFormat::kPng:
      return CheckPng(data, size, problem);
    case PictureFormat::kJpeg:
      return CheckJpeg(data, size, problem);
    case PictureFormat::kTarga:
      return CheckTarga(data, size, problem);
    case PictureFormat::kBmp:
      return CheckBmp(data, size, problem);
    case PictureFormat::kPcx:
      return CheckPcx(data, size, problem);
    case PictureFormat::kOther:
      return true;
  }
  return true;
}
