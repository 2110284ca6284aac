#include "io/picture_checks.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "io/image_io.h"

namespace {

// Why a file may not go to the decoder: damage, or a size past the budget.
struct Findings {
  std::string problem;
  bool tooLarge = false;  // or another reason that is not damage, worded whole
};

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
void PutLittle32(std::uint8_t* p, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) p[i] = std::uint8_t(value >> (8 * i));
}

std::string Size(std::uint64_t width, std::uint64_t height) {
  return std::to_string(width) + " x " + std::to_string(height) + " pixels";
}

// Pictures past the budget are refused from their header, before the
// library spends seconds and gigabytes on them.
bool WithinBudget(std::uint64_t width, std::uint64_t height, Findings& found) {
  if (width * height <= kMaxPicturePixels) return true;
  found.problem = "is " + std::to_string(width) + " × " + std::to_string(height) +
                  " pixels; Gyrelle reads pictures up to " + std::to_string(kMaxPicturePixels) +
                  " pixels (8192 × 8192)";
  found.tooLarge = true;
  return false;
}

// `bytesNeeded` of pixel data at the least, where the file has `bytesHeld`.
bool HoldsItsPixels(std::uint64_t width, std::uint64_t height, std::uint64_t bytesNeeded,
                    std::uint64_t bytesHeld, Findings& found) {
  if (bytesNeeded <= bytesHeld) return true;
  found.problem = "it declares " + Size(width, height) + ", more than its " +
                  std::to_string(bytesHeld) + " bytes of pixel data can hold";
  return false;
}

// The library's reader hands libpng stale bytes past the end of the file,
// so a cut-off PNG makes libpng read chunks for ever: every chunk up to
// IEND must lie inside the file. zlib packs at most 1032 bytes into one.
bool CheckPng(const std::uint8_t* data, std::size_t size, Findings& found) {
  static const std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (size < 8 || std::memcmp(data, kSignature, 8) != 0) return true;  // the library refuses it
  std::uint64_t width = 0, height = 0, bitsPerPixel = 0, compressed = 0;
  for (std::size_t at = 8;;) {
    if (size - at < 12 || Big32(data + at) > size - at - 12) {
      found.problem = "it ends in the middle of a chunk";
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
  const std::uint64_t raw = height * (1 + (width * bitsPerPixel + 7) / 8);
  return WithinBudget(width, height, found) &&
         HoldsItsPixels(width, height, raw, compressed * 1100 + 65536, found);
}

// The library reads a header cut short as if the rest were there.
bool EndsInHeader(Findings& found) {
  found.problem = "it ends inside its header";
  return false;
}

// The library's JPEG source reads on at the end of the file for ever, and
// libjpeg reads until the end marker: the segments and scans up to the end
// marker must lie inside the file. A scan packs a few pixels a bit at most.
bool CheckJpeg(const std::uint8_t* data, std::size_t size, Findings& found) {
  if (size < 2 || data[0] != 0xFF || data[1] != 0xD8) return true;  // the library refuses it
  std::uint64_t width = 0, height = 0;
  int components = 0, adobeTransform = -1;
  bool inScan = false;
  for (std::size_t at = 2;;) {
    // The next marker: an 0xFF, any fill 0xFF bytes, then the code. Inside
    // a scan 0xFF 0x00 is data and 0xFF 0xD0-0xD7 restarts it.
    for (;; ++at) {
      while (at < size && data[at] != 0xFF) ++at;
      while (at + 1 < size && data[at + 1] == 0xFF) ++at;
      if (at + 1 >= size) {
        found.problem = "it ends before its end marker";
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
      found.problem = "it ends in the middle of a segment";
      return false;
    }
    const bool frame = code >= 0xC0 && code <= 0xCF && code != 0xC4 && code != 0xC8 && code != 0xCC;
    if (frame && Big16(data + at + 2) >= 7) {
      height = Big16(data + at + 5);
      width = Big16(data + at + 7);
      if (Big16(data + at + 2) >= 8) components = data[at + 9];
    }
    // The Adobe marker: "Adobe", version, two flag words, the transform.
    if (code == 0xEE && Big16(data + at + 2) >= 14 && std::memcmp(data + at + 4, "Adobe", 5) == 0) {
      adobeTransform = data[at + 15];
    }
    inScan = code == 0xDA;
    at += 2 + Big16(data + at + 2);
  }
  // CMYK stored as YCCK comes out of the library in wrong colours, with no
  // error: refused rather than shown wrong.
  if (components == 4 && adobeTransform == 2) {
    found.problem = "holds CMYK colours stored as YCCK, which DevIL decodes to wrong colours; "
                    "save it as an RGB JPEG or a PNG";
    found.tooLarge = true;
    return false;
  }
  return WithinBudget(width, height, found) &&
         HoldsItsPixels(width, height, width * height, std::uint64_t(size) * 4096 + (1 << 20),
                        found);
}

// The library's TGA reader allocates the declared size and decodes it from
// whatever is there: plain pixels must all be in the file, and a run-length
// packet of 1 + depth bytes gives at most 128 pixels.
bool CheckTarga(const std::uint8_t* data, std::size_t size, Findings& found) {
  if (size < 18) return EndsInHeader(found);
  const std::uint64_t mapBytes = data[1] != 0 ? Little16(data + 5) * ((data[7] + 7ull) / 8) : 0;
  const std::uint64_t header = 18 + data[0] + mapBytes;
  if (header > size) {
    found.problem = "its header runs past the end of the file";
    return false;
  }
  // A colour-mapped picture without its map sends the library's palette
  // conversion through gigabytes.
  if ((data[2] == 1 || data[2] == 9) && (data[1] == 0 || Little16(data + 5) == 0)) {
    found.problem = "it has no colour map for its colour indices";
    return false;
  }
  const std::uint64_t width = Little16(data + 12), height = Little16(data + 14);
  const std::uint64_t depth = std::max<std::uint64_t>(1, (data[16] + 7ull) / 8);
  const std::uint64_t held = size - header;
  if (!WithinBudget(width, height, found)) return false;
  switch (data[2]) {
    case 1:
    case 2:
    case 3:
      return HoldsItsPixels(width, height, width * height * depth, held, found);
    case 9:
    case 10:
    case 11:
      return HoldsItsPixels(width, height, (width * height + 127) / 128 * (1 + depth), held,
                            found);
    default:
      return true;
  }
}

// Run-length lines may end early, so a run-length BMP is held only to 64 Ki
// pixels a byte; plain rows, padded to 4 bytes, must all be in the file.
bool CheckBmp(const std::uint8_t* data, std::size_t size, Findings& found) {
  if (size < 2 || data[0] != 'B' || data[1] != 'M') return true;  // the library refuses it
  if (size < 26) return EndsInHeader(found);
  std::int64_t width, height;
  std::uint64_t bits = 24, compression = 0;
  if (Little32(data + 14) == 12) {
    width = Little16(data + 18);
    height = Little16(data + 20);
    bits = Little16(data + 24);
  } else {
    if (size < 54) return EndsInHeader(found);
    width = std::int32_t(Little32(data + 18));
    height = std::int32_t(Little32(data + 22));
    bits = Little16(data + 28);
    compression = Little32(data + 30);
    // The library allocates the palette it is told of, up to 16 GiB.
    const std::uint32_t colors = Little32(data + 46);
    if ((bits <= 8 || compression == 1 || compression == 2) && colors > 256) {
      found.problem = "its palette has " + std::to_string(colors) + " colours, more than 256";
      return false;
    }
  }
  // The library reads the pixels from wherever the header says they begin,
  // even gigabytes outside the file.
  const std::uint64_t pixelsAt = Little32(data + 10);
  if (pixelsAt > size) {
    found.problem = "its pixels begin past its end";
    return false;
  }
  const std::uint64_t w = std::uint64_t(std::abs(width)), h = std::uint64_t(std::abs(height));
  if (!WithinBudget(w, h, found)) return false;
  if (compression == 1 || compression == 2) {
    return HoldsItsPixels(w, h, w * h, std::uint64_t(size) * 65536, found);
  }
  return HoldsItsPixels(w, h, (w * bits + 31) / 32 * 4 * h, size - pixelsAt, found);
}

// The library's PCX reader allocates the declared size, a reversed corner
// pair wrapping round to 4 billion; a run of one byte gives at most 63.
bool CheckPcx(const std::uint8_t* data, std::size_t size, Findings& found) {
  if (data[0] != 10) return true;  // the library refuses it
  if (size < 128) return EndsInHeader(found);
  const std::uint32_t left = Little16(data + 4), top = Little16(data + 6);
  const std::uint32_t right = Little16(data + 8), bottom = Little16(data + 10);
  if (right < left || bottom < top) {
    found.problem = "its corners are the wrong way round";
    return false;
  }
  const std::uint64_t width = right - left + 1, height = bottom - top + 1;
  const std::uint64_t planes = std::max<std::uint64_t>(1, data[65]);
  const std::uint64_t line =
      std::max<std::uint64_t>(planes * Little16(data + 66),
                              planes * ((width * std::max<std::uint8_t>(data[3], 1) + 7) / 8));
  if (!WithinBudget(width, height, found) ||
      !HoldsItsPixels(width, height, height * line, (size - 128) * 32, found)) {
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
        found.problem = "it ends before its last row";
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
  Findings found;
  bool sound = true;
  switch (format) {
    case PictureFormat::kPng:
      sound = CheckPng(data, size, found);
      break;
    case PictureFormat::kJpeg:
      sound = CheckJpeg(data, size, found);
      break;
    case PictureFormat::kTarga:
      sound = CheckTarga(data, size, found);
      break;
    case PictureFormat::kBmp:
      sound = CheckBmp(data, size, found);
      break;
    case PictureFormat::kPcx:
      sound = CheckPcx(data, size, found);
      break;
    case PictureFormat::kOther:
      break;
  }
  if (!sound) problem = found.tooLarge ? found.problem : "is damaged: " + found.problem;
  return sound;
}

bool RewriteBmpHeader(std::uint8_t* data, std::size_t size, std::size_t& start,
                      std::string& problem) {
  start = 0;
  if (size < 18 || data[0] != 'B' || data[1] != 'M') return true;
  const std::uint32_t headerBytes = Little32(data + 14);
  if (headerBytes == 12 || headerBytes == 40) return true;
  // 52 and 56 add the colour masks to the 40 bytes, 108 (version 4) colour
  // space and gamma, 124 (version 5) rendering intent and a colour profile;
  // the 40 bytes they begin with are the same.
  if (headerBytes != 52 && headerBytes != 56 && headerBytes != 108 && headerBytes != 124) {
    problem = "its header is " + std::to_string(headerBytes) +
              " bytes long, a kind DevIL does not know";
    return false;
  }
  if (size < 14 + std::size_t(headerBytes)) {
    problem = "it ends inside its header";
    return false;
  }
  const std::uint8_t* info = data + 14;
  const std::uint32_t bits = Little16(info + 14), compression = Little32(info + 16);
  const std::uint32_t colorsUsed = Little32(info + 32);
  const bool bitFields = compression == 3;
  if (compression == 4 || compression == 5) {
    problem = std::string("its pixels are stored as a ") + (compression == 4 ? "JPEG" : "PNG") +
              " picture inside it";
    return false;
  }
  if (compression > 3) {
    problem = "its pixels are stored with compression " + std::to_string(compression);
    return false;
  }
  // The library reads the masks from the 12 bytes before the pixels and
  // shifts them with no regard to width: only the usual ones come out right.
  if (bitFields) {
    const std::uint32_t red = Little32(info + 40), green = Little32(info + 44),
                        blue = Little32(info + 48);
    const bool usual = (bits == 32 && red == 0xFF0000 && green == 0xFF00 && blue == 0xFF) ||
                       (bits == 16 && blue == 0x1F &&
                        ((red == 0x7C00 && green == 0x3E0) || (red == 0xF800 && green == 0x7E0)));
    if (!usual) {
      char masks[64];
      std::snprintf(masks, sizeof masks, "%X, %X and %X", red, green, blue);
      problem = "its colour masks " + std::string(masks) + " for " + std::to_string(bits) +
                " bits a pixel are not the usual ones";
      return false;
    }
  }
  // The library reads the palette from just after the 40-byte header.
  const std::uint64_t paletteBytes =
      bits <= 8 ? std::uint64_t(colorsUsed != 0 ? std::min(colorsUsed, 1u << bits) : 1u << bits) * 4
                : 0;
  const std::uint64_t pixelsAt = Little32(data + 10);
  const std::uint64_t newHeader = 14 + 40 + (bitFields ? 12 : 0) + paletteBytes;
  if (pixelsAt > size || 14 + headerBytes + paletteBytes > pixelsAt) {
    problem = "its pixels begin inside its header or past its end";
    return false;
  }
  // The new header ends where the pixels begin: made aside, since it
  // overlaps the old one.
  std::vector<std::uint8_t> header(newHeader);
  std::memcpy(header.data(), data, 14 + 40);
  header[14] = 40, header[15] = header[16] = header[17] = 0;
  if (bitFields) std::memcpy(header.data() + 54, info + 40, 12);
  std::memcpy(header.data() + newHeader - paletteBytes, info + headerBytes, paletteBytes);
  start = std::size_t(pixelsAt - newHeader);
  PutLittle32(header.data() + 2, std::uint32_t(size - start));
  PutLittle32(header.data() + 10, std::uint32_t(newHeader));
  std::memcpy(data + start, header.data(), header.size());
  return true;
}
