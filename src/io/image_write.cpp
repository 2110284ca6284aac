// Writing pictures: the format's limits, the hand-over at the asked depth,
// and a write that replaces its target only once complete.

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "core/atomic_file.h"
#include "io/image_io.h"
#include "devil/library_image.h"
#include "core/reasons.h"
#include "io/rle_writers.h"

namespace {

// The largest picture each format's writer takes, by its sides.
struct SizeLimit {
  ILenum type;
  const char* name;
  int width;
  int height;
};

// TGA keeps the sides in 16 bits and PCX the bytes of a row, an even
// number, so that the library would write larger sizes wrapped and report
// success. libpng refuses sides past a million, and the library's PNG
// writer then crashes. BMP's limit is its 32-bit file size, checked apart.
constexpr SizeLimit kSizeLimits[] = {
    {IL_PNG, "PNG", 1000000, 1000000},
    {IL_TGA, "TGA", 0xFFFF, 0xFFFF},
    {IL_PCX, "PCX", 0xFFFE, 0xFFFF},
    {IL_JPG, "JPEG", 65500, 65500},
};

// Why the library cannot write a width x height picture of `type` at
// `bytesPerPixel` (the larger of the picture's depth and the written one),
// or empty when it can.
std::string SizeProblem(ILenum type, int width, int height, int bytesPerPixel) {
  const std::string size = std::to_string(width) + " x " + std::to_string(height);
  for (const SizeLimit& limit : kSizeLimits) {
    if (limit.type == type && (width > limit.width || height > limit.height)) {
      return std::string(limit.name) + " files hold at most " + std::to_string(limit.width) +
             " x " + std::to_string(limit.height) + " pixels, and the picture is " + size;
    }
  }
  const std::uint64_t pixels = std::uint64_t(width) * std::uint64_t(height);
  if (pixels * std::uint64_t(bytesPerPixel) > kMaxLibraryImageBytes) {
    return "the picture is too large for DevIL to write (4 GiB or more)";
  }
  // Headers, the largest palette, and rows padded to 4 bytes.
  const std::uint64_t bmpBytes =
      54 + 1024 + (std::uint64_t(width) * std::uint64_t(bytesPerPixel) + 3) / 4 * 4 * height;
  if (type == IL_BMP && bmpBytes > 0xFFFFFFFFull) {
    return "BMP files hold at most 4 GiB, and the picture is " + size;
  }
  return {};
}

// Writes the bound library image through the library's writer for `type`.
bool WriteBoundImage(ILenum type, const std::string& path, const ProgressHook& progress,
                     std::string* reason) {
  return WriteReplacing(
      path,
      [&](std::FILE* file, std::string& why) {
        int writeErrno = 0;
        const bool encoded = SaveBoundImage(type, file, writeErrno);
        if (writeErrno != 0) {
          errno = writeErrno;
        } else if (!encoded) {
          why = LibraryError("DevIL could not encode the picture");
        }
        return encoded && writeErrno == 0;
      },
      reason, progress);
}

// TGA files, and BMP files at 8 bits, have a run-length form; the library's
// writers cannot make it, so Gyrelle's own do.
bool HasRunLengthForm(ILenum type, int bytesPerPixel) {
  return type == IL_TGA || (type == IL_BMP && bytesPerPixel == 1);
}

bool WriteRunLength(ILenum type, const PixelRows& rows, const std::string& path,
                    const ProgressHook& progress, std::string* reason) {
  return WriteReplacing(
      path,
      [&](std::FILE* file, std::string&) {
        return type == IL_TGA ? WriteRunLengthTarga(rows, file) : WriteRunLengthBmp(rows, file);
      },
      reason, progress);
}

}  // namespace

std::string SaveSizeProblem(const std::string& path, int width, int height, int bytesPerPixel) {
  const ILenum type = ilTypeFromExt(path.c_str());
  const std::string problem = SizeProblem(type, width, height, bytesPerPixel);
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
  const ILenum type = ilTypeFromExt(path.c_str());
  if (type == IL_TYPE_UNKNOWN) {
    SetReason(reason, Quoted(path) + " does not end in an extension DevIL can write");
    return false;
  }
  const std::string problem = SaveSizeProblem(path, image.Width(), image.Height(),
                                              std::max(image.BytesPerPixel(), bytesPerPixel));
  if (!problem.empty()) {
    SetReason(reason, problem);
    return false;
  }

  ForgetLibraryErrors();
  LibraryImage library;
  // The library's writers take rows bottom first. At the picture's own
  // depth the rows go over in that order at once; a conversion is given
  // them in the order it always had (the quantiser's palette depends on
  // it) and flipped after. The run-length writers take them top first.
  const bool converting = bytesPerPixel != image.BytesPerPixel();
  const bool runLength = options.compressed && HasRunLengthForm(type, bytesPerPixel);
  // BMP and TGA keep blue first; given so, their writers need no copy of
  // their own to reorder it.
  const bool blueFirst = type == IL_BMP || type == IL_TGA;
  if (!converting && !runLength && !MakeUpsideDownLibraryImage(image, blueFirst)) {
    SetReason(reason, Quoted(path) + " could not be written: " +
                          LibraryError("DevIL could not take the picture"));
    return false;
  }
  if (converting) {
    if (!MakeLibraryImage(image)) {
      SetReason(reason, Quoted(path) + " could not be written: " +
                            LibraryError("DevIL could not take the picture"));
      return false;
    }
    if (!ilConvertImage(LibraryFormat(bytesPerPixel), IL_UNSIGNED_BYTE)) {
      SetReason(reason, Quoted(path) + " could not be written: " +
                            LibraryError("DevIL could not convert the picture"));
      return false;
    }
    if (bytesPerPixel == 1) {
      ZeroUnusedPaletteEntries();
      if (options.exactColor && image.BytesPerPixel() >= 3) {
        KeepBoundColorExact(image, *options.exactColor);
      }
    }
    if (!runLength) iluFlipImage();
  }
  if (runLength) {
    PixelRows rows{image.Width(), image.Height(), bytesPerPixel, image.Pixels(), nullptr};
    Palette palette;
    if (converting) {
      rows.pixels = ilGetData();
      if (bytesPerPixel == 1) ReadLibraryPalette(palette);
    } else if (image.GetPalette() != nullptr && image.GetPalette()->HasEntries()) {
      palette.CopyFrom(*image.GetPalette());
    }
    if (bytesPerPixel == 1 && !palette.HasEntries()) {
      const std::uint8_t black[Palette::kBytes] = {};
      palette.Set(black);
    }
    rows.palette = palette.Entries();
    return WriteRunLength(type, rows, path, options.progress, reason);
  }
  SetSaveCompression(kCompressionOff);
  return WriteBoundImage(type, path, options.progress, reason);
}

bool SaveImageFile(const Image& image, const std::string& path, int bytesPerPixel,
                   std::string* reason) {
  return SaveImageFile(image, path, WriteOptions{bytesPerPixel, false}, reason);
}

bool SaveImageFile(const Image& image, const std::string& path, std::string* reason) {
  return SaveImageFile(image, path, WriteOptions{}, reason);
}
