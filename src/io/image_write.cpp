// Writing pictures: the format's limits, the hand-over at the asked depth,
// and a write that replaces its target only once complete.

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "core/atomic_file.h"
#include "core/reasons.h"
#include "io/image_io.h"
#include "io/picture_formats.h"
#include "io/rle_writers.h"

namespace {

// Why the library cannot write a width x height picture of `type` at
// `bytesPerPixel` (the larger of the picture's depth and the written one),
// or empty when it can.
std::string SizeProblem(LibraryFileType type, int width, int height, int bytesPerPixel) {
  const std::string size = std::to_string(width) + " x " + std::to_string(height);
  for (const PictureFormatRow& limit : PictureFormats()) {
    if (limit.writer == type && limit.maxWidth > 0 &&
        (width > limit.maxWidth || height > limit.maxHeight)) {
      return std::string(limit.name) + " files hold at most " + std::to_string(limit.maxWidth) +
             " x " + std::to_string(limit.maxHeight) + " pixels, and the picture is " + size;
    }
  }
  const std::uint64_t pixels = std::uint64_t(width) * std::uint64_t(height);
  if (pixels * std::uint64_t(bytesPerPixel) > kMaxLibraryImageBytes) {
    return "the picture is too large for DevIL to write (4 GiB or more)";
  }
  // Headers, the largest palette, and rows padded to 4 bytes.
  const std::uint64_t bmpBytes =
      54 + 1024 + (std::uint64_t(width) * std::uint64_t(bytesPerPixel) + 3) / 4 * 4 * height;
  if (type == LibraryFileType::kBmp && bmpBytes > 0xFFFFFFFFull) {
    return "BMP files hold at most 4 GiB, and the picture is " + size;
  }
  return {};
}

// The library's writers cannot make the run-length forms, so Gyrelle's own do.
bool HasRunLengthForm(LibraryFileType type, int bytesPerPixel) {
  for (const PictureFormatRow& row : PictureFormats()) {
    if (row.writer != type) continue;
    return row.runLength == RunLength::kAlways ||
           (row.runLength == RunLength::kEightBitOnly && bytesPerPixel == 1);
  }
  return false;
}

}  // namespace

std::string SaveSizeProblem(const std::string& path, int width, int height, int bytesPerPixel) {
  const std::string problem = SizeProblem(LibraryTypeOfName(path), width, height, bytesPerPixel);
  return problem.empty() ? problem : Quoted(path) + ": " + problem;
}

bool SaveImageFile(const Image& image, const std::string& path, const WriteOptions& options,
                   std::string* reason) {
  const int bytesPerPixel =
      options.bytesPerPixel != 0 ? options.bytesPerPixel : image.BytesPerPixel();
  if (!image.HasPixels() || image.Width() <= 0 || image.Height() <= 0) {
    SetReason(reason, "there is no picture to write to " + Quoted(path));
    return false;
  }
  if (!ValidDepth(bytesPerPixel)) {
    SetReason(reason, "cannot write " + Quoted(path) + " at " + std::to_string(bytesPerPixel) +
                          " bytes per pixel");
    return false;
  }
  const LibraryFileType type = LibraryTypeOfName(path);
  if (type == LibraryFileType::kUnknown || type == LibraryFileType::kOther) {
    SetReason(reason, Quoted(path) + " does not end in an extension DevIL can write");
    return false;
  }
  const std::string problem = SaveSizeProblem(path, image.Width(), image.Height(),
                                              std::max(image.BytesPerPixel(), bytesPerPixel));
  if (!problem.empty()) {
    SetReason(reason, problem);
    return false;
  }
  if (options.compressed && HasRunLengthForm(type, bytesPerPixel)) {
    const auto write = [&](std::FILE* file, std::string& why) {
      return WithLibraryRows(image, bytesPerPixel, options.exactColor,
                             [&](const PixelRows& rows) {
                               return type == LibraryFileType::kTarga
                                          ? WriteRunLengthTarga(rows, file)
                                          : WriteRunLengthBmp(rows, file);
                             },
                             why);
    };
    return WriteReplacing(path, write, reason, options.progress);
  }
  const auto write = [&](std::FILE* file, std::string& why) {
    int writeErrno = 0;
    const bool encoded =
        LibraryEncode(image, type, bytesPerPixel, options.exactColor, file, writeErrno, why);
    // Without a failed file call, the library's own words say why.
    errno = writeErrno;
    return encoded && writeErrno == 0;
  };
  return WriteReplacing(path, write, reason, options.progress);
}

bool SaveImageFile(const Image& image, const std::string& path, int bytesPerPixel,
                   std::string* reason) {
  return SaveImageFile(image, path, WriteOptions{bytesPerPixel, false}, reason);
}

bool SaveImageFile(const Image& image, const std::string& path, std::string* reason) {
  return SaveImageFile(image, path, WriteOptions{}, reason);
}
