// Writing pictures: the format's limits, the hand-over at the asked depth,
// and a write that replaces its target only once complete.

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>

#include "files/replace_file.h"
#include "image/image_io.h"
#include "image/library_image.h"
#include "image/reasons.h"

namespace {

// Largest width and height a file format can store: TGA and PCX keep them in
// 16 bits, and the library writes a larger size wrapped and reports success.
int MaxSide(ILenum type) {
  switch (type) {
    case IL_TGA:
    case IL_PCX:
      return 0xFFFF;
    case IL_JPG:
      return 65500;
    default:
      return INT_MAX;
  }
}

// Writes the bound library image in place of `path`, which it replaces only
// once the write is complete, so a failed write never destroys the file it
// was replacing.
bool WriteBoundImage(ILenum type, const std::string& path, std::string* reason) {
  int writeErrno = 0;
  const ReplaceResult result = ReplaceFile(path, [&](std::FILE* file) {
    return SaveBoundImage(type, file, writeErrno) && writeErrno == 0;
  });
  switch (result.failed) {
    case ReplaceStep::kNone:
      return true;
    case ReplaceStep::kCreate:
      SetReason(reason, Quoted(path) + " cannot be written: " + std::strerror(result.error));
      return false;
    case ReplaceStep::kWrite: {
      const int error = writeErrno != 0 ? writeErrno : result.error;
      SetReason(reason, Quoted(path) + " could not be written: " +
                            (error != 0 ? std::strerror(error)
                                        : LibraryError("DevIL could not encode the picture")));
      return false;
    }
    case ReplaceStep::kReplace:
      SetReason(reason, Quoted(path) + " cannot be replaced: " + std::strerror(result.error));
      return false;
  }
  return false;
}

}  // namespace

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
  const int maxSide = MaxSide(type);
  if (image.Width() > maxSide || image.Height() > maxSide) {
    SetReason(reason, Quoted(path) + ": this format holds at most " + std::to_string(maxSide) +
                          " pixels a side, and the picture is " + std::to_string(image.Width()) +
                          " x " + std::to_string(image.Height()));
    return false;
  }
  const std::uint64_t pixelCount = std::uint64_t(image.Width()) * std::uint64_t(image.Height());
  if (pixelCount * std::uint64_t(std::max(image.BytesPerPixel(), bytesPerPixel)) >
      kMaxLibraryImageBytes) {
    SetReason(reason,
              Quoted(path) + ": the picture is too large for DevIL to write (4 GiB or more)");
    return false;
  }

  ForgetLibraryErrors();
  LibraryImage library;
  // The writers take rows bottom first. At the picture's own depth the rows
  // go over in that order at once; a conversion is given them in the order
  // it always had (the quantiser's palette depends on it) and flipped after.
  const bool converting = bytesPerPixel != image.BytesPerPixel();
  // BMP and TGA keep blue first; given so, their writers need no copy of
  // their own to reorder it.
  const bool blueFirst = type == IL_BMP || type == IL_TGA;
  if (!(converting ? MakeLibraryImage(image) : MakeUpsideDownLibraryImage(image, blueFirst))) {
    SetReason(reason, Quoted(path) + " could not be written: " +
                          LibraryError("DevIL could not take the picture"));
    return false;
  }
  if (converting) {
    if (!ilConvertImage(LibraryFormat(bytesPerPixel), IL_UNSIGNED_BYTE)) {
      SetReason(reason, Quoted(path) + " could not be written: " +
                            LibraryError("DevIL could not convert the picture"));
      return false;
    }
    if (bytesPerPixel == 1) ZeroUnusedPaletteEntries();
    iluFlipImage();
  }
  SetSaveCompression(options.compressed ? kCompressionOn : kCompressionOff);
  return WriteBoundImage(type, path, reason);
}

bool SaveImageFile(const Image& image, const std::string& path, int bytesPerPixel,
                   std::string* reason) {
  return SaveImageFile(image, path, WriteOptions{bytesPerPixel, false}, reason);
}

bool SaveImageFile(const Image& image, const std::string& path, std::string* reason) {
  return SaveImageFile(image, path, WriteOptions{}, reason);
}
