// Reading picture files: the checks before the library's decoder sees a file,
// the decoding itself (in gyrelle-decode), and the depth conversions.

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <new>

#include "image/decoder_process.h"
#include "image/image_io.h"
#include "image/library_image.h"
#include "image/picture_checks.h"
#include "image/reasons.h"

namespace {

// A read needs a file name and one of the three depths.
bool CanRead(const std::string& path, int bytesPerPixel, std::string* reason) {
  if (path.empty()) {
    SetReason(reason, "no file name given");
    return false;
  }
  if (!ValidDepth(bytesPerPixel)) {
    SetReason(reason,
              "cannot read a picture at " + std::to_string(bytesPerPixel) + " bytes per pixel");
    return false;
  }
  return true;
}

// The decoder the library will choose: by the extension, else by the
// first bytes.
PictureFormat FormatOf(const std::string& path) {
  ILenum type = ilTypeFromExt(path.c_str());
  if (type == IL_TYPE_UNKNOWN) type = ilDetermineType(path.c_str());
  switch (type) {
    case IL_PNG:
      return PictureFormat::kPng;
    case IL_JPG:
      return PictureFormat::kJpeg;
    case IL_TGA:
      return PictureFormat::kTarga;
    case IL_BMP:
      return PictureFormat::kBmp;
    case IL_PCX:
      return PictureFormat::kPcx;
    default:
      return PictureFormat::kOther;
  }
}

bool CheckPictureFile(int fd, PictureFormat format, std::string& problem) {
  struct stat file;
  if (format == PictureFormat::kOther || fstat(fd, &file) != 0 || file.st_size == 0) return true;
  const std::size_t size = std::size_t(file.st_size);
  void* bytes = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
  if (bytes == MAP_FAILED) return true;  // not a plain file; the library says what it is
  const bool sound =
      CheckPictureBytes(format, static_cast<const std::uint8_t*>(bytes), size, problem);
  munmap(bytes, size);
  return sound;
}

}  // namespace
bool DecodeImageFile(const std::string& path, int bytesPerPixel,
                     const std::function<void(const DecodedPicture&)>& use, std::string* reason) {
  if (!CanRead(path, bytesPerPixel, reason)) return false;
  // The library only says it could not open a file; the system says why.
  std::error_code error;
  if (std::filesystem::is_directory(path, error)) {
    SetReason(reason, Quoted(path) + " is a folder, not a picture");
    return false;
  }
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    SetReason(reason, Quoted(path) + " cannot be opened: " + SystemError());
    return false;
  }
  std::string problem;
  const bool sound = CheckPictureFile(fd, FormatOf(path), problem);
  close(fd);
  if (!sound) {
    SetReason(reason, Quoted(path) + " is damaged: " + problem);
    return false;
  }

  ForgetLibraryErrors();
  LibraryImage library;
  // A failed load leaves a 1 x 1 placeholder bound; it is not the picture.
  if (!ilLoadImage(path.c_str())) {
    SetReason(reason, Quoted(path) + " is not a picture DevIL can read");
    ForgetLibraryErrors();
    return false;
  }
  if (!ilConvertImage(LibraryFormat(bytesPerPixel), IL_UNSIGNED_BYTE)) {
    SetReason(reason, Quoted(path) + " could not be converted: " +
                          LibraryError("DevIL refused the conversion"));
    return false;
  }
  Palette palette;
  if (bytesPerPixel == 1) ReadLibraryPalette(palette);
  const ILint width = ilGetInteger(IL_IMAGE_WIDTH);
  const ILint height = ilGetInteger(IL_IMAGE_HEIGHT);
  const ILubyte* data = ilGetData();
  if (width <= 0 || height <= 0 || data == nullptr ||
      std::uint64_t(ilGetInteger(IL_IMAGE_SIZE_OF_DATA)) <
          std::uint64_t(width) * std::uint64_t(height) * std::uint64_t(bytesPerPixel)) {
    SetReason(reason, Quoted(path) + " holds no pixels");
    return false;
  }
  use({data, width, height, bytesPerPixel, bytesPerPixel == 1 ? &palette : nullptr});
  return true;
}

std::unique_ptr<Image> DecodeImageFile(const std::string& path, int bytesPerPixel,
                                       std::string* reason) {
  std::unique_ptr<Image> image;
  try {
    const auto keep = [&](const DecodedPicture& picture) {
      image = std::make_unique<Image>();
      image->Set(path, picture.pixels, picture.width, picture.height, picture.bytesPerPixel);
      if (picture.palette != nullptr) image->SetPalette(*picture.palette);
    };
    if (!DecodeImageFile(path, bytesPerPixel, keep, reason)) return nullptr;
  } catch (const std::bad_alloc&) {
    SetReason(reason, Quoted(path) + " is too large to hold in memory");
    return nullptr;
  }
  return image;
}

std::unique_ptr<Image> LoadImageFile(const std::string& path, int bytesPerPixel,
                                     std::string* reason) {
  if (!CanRead(path, bytesPerPixel, reason)) return nullptr;
  return DecodeInHelper(path, bytesPerPixel, reason);
}

bool FlipRows(Image& image) try {
  LibraryImage library;
  if (!MakeLibraryImage(image)) return false;
  iluFlipImage();
  image.ReplacePixels(ilGetData());
  return true;
} catch (const std::bad_alloc&) {
  return false;
}

bool ConvertDepth(Image& image, int bytesPerPixel) try {
  if (image.BytesPerPixel() == bytesPerPixel || !ValidDepth(bytesPerPixel)) return false;
  LibraryImage library;
  if (!MakeLibraryImage(image)) return false;
  if (!ilConvertImage(LibraryFormat(bytesPerPixel), IL_UNSIGNED_BYTE)) return false;
  Palette palette;
  if (bytesPerPixel == 1) ReadLibraryPalette(palette);
  const ILubyte* data = ilGetData();
  const bool wasIndexed = image.BytesPerPixel() == 1;
  if (bytesPerPixel == 1) {
    image.Set(image.GetName(), data, image.Width(), image.Height(), 1, palette);
  } else {
    image.Set(image.GetName(), data, image.Width(), image.Height(), bytesPerPixel);
    if (wasIndexed) image.DropPalette();
  }
  return true;
} catch (const std::bad_alloc&) {
  return false;
}
