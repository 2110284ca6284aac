// Decoding, converting and encoding pictures through the library.

#include <new>
#include <utility>

#include "devil/library.h"
#include "devil/library_image.h"

namespace {

constexpr std::pair<ILenum, LibraryFileType> kFileTypes[] = {{IL_PNG, LibraryFileType::kPng},
                                                             {IL_JPG, LibraryFileType::kJpeg},
                                                             {IL_TGA, LibraryFileType::kTarga},
                                                             {IL_BMP, LibraryFileType::kBmp},
                                                             {IL_PCX, LibraryFileType::kPcx}};

LibraryFileType TypeOf(ILenum type) {
  for (const auto& [libraryType, fileType] : kFileTypes) {
    if (type == libraryType) return fileType;
  }
  return type == IL_TYPE_UNKNOWN ? LibraryFileType::kUnknown : LibraryFileType::kOther;
}

ILenum LibraryTypeOf(LibraryFileType type) {
  for (const auto& [libraryType, fileType] : kFileTypes) {
    if (type == fileType) return libraryType;
  }
  return IL_TYPE_UNKNOWN;
}

// True when the library's last failure was running out of memory: the
// decoder's address space is limited (see decode/main.cpp).
bool RanOutOfMemory() {
  bool outOfMemory = false;
  for (ILenum error; (error = ilGetError()) != IL_NO_ERROR;) outOfMemory |= error == IL_OUT_OF_MEMORY;
  return outOfMemory;
}

// Hands `image` to the bound library image at `bytesPerPixel`, converted when
// that is not its own depth, rows still top first. The library's writers take
// rows bottom first; at the picture's own depth they go over in that order at
// once when `upsideDown`, with blueFirst 3-byte pixels as blue, green, red. A
// conversion is given them in the order it always had (the quantiser's
// palette depends on it).
bool HandOver(const Image& image, int bytesPerPixel, const std::optional<Rgb>& exactColor,
              bool upsideDown, bool blueFirst, std::string& why) {
  if (bytesPerPixel == image.BytesPerPixel()) {
    if (upsideDown ? MakeUpsideDownLibraryImage(image, blueFirst) : MakeLibraryImage(image)) {
      return true;
    }
    why = LibraryError("DevIL could not take the picture");
    return false;
  }
  if (!MakeLibraryImage(image)) {
    why = LibraryError("DevIL could not take the picture");
    return false;
  }
  if (!ilConvertImage(LibraryFormat(bytesPerPixel), IL_UNSIGNED_BYTE)) {
    why = LibraryError("DevIL could not convert the picture");
    return false;
  }
  if (bytesPerPixel == 1) {
    ZeroUnusedPaletteEntries();
    if (exactColor && image.BytesPerPixel() >= 3) KeepBoundColorExact(image, *exactColor);
  }
  if (upsideDown) iluFlipImage();
  return true;
}

}  // namespace

LibraryFileType LibraryTypeOfName(const std::string& name) {
  return TypeOf(ilTypeFromExt(name.c_str()));
}

LibraryFileType LibraryTypeOfBytes(const std::uint8_t* data, std::size_t size) {
  return TypeOf(ilDetermineTypeL(data, ILuint(size)));
}

bool LibraryDecode(LibraryFileType type, const std::uint8_t* data, std::size_t size,
                   int bytesPerPixel, const std::function<void(const DecodedPicture&)>& use,
                   std::string& problem) {
  ForgetLibraryErrors();
  LibraryImage library;
  // A failed load leaves a 1 x 1 placeholder bound; it is not the picture.
  if (!ilLoadL(LibraryTypeOf(type), data, ILuint(size))) {
    problem = RanOutOfMemory() ? "is too large to read in the memory the decoder may use"
                               : "is not a picture DevIL can read";
    return false;
  }
  if (!ilConvertImage(LibraryFormat(bytesPerPixel), IL_UNSIGNED_BYTE)) {
    problem = "could not be converted: " + LibraryError("DevIL refused the conversion");
    return false;
  }
  Palette palette;
  if (bytesPerPixel == 1) ReadLibraryPalette(palette);
  const ILint width = ilGetInteger(IL_IMAGE_WIDTH);
  const ILint height = ilGetInteger(IL_IMAGE_HEIGHT);
  const ILubyte* pixels = ilGetData();
  if (width <= 0 || height <= 0 || pixels == nullptr ||
      std::uint64_t(ilGetInteger(IL_IMAGE_SIZE_OF_DATA)) <
          std::uint64_t(width) * std::uint64_t(height) * std::uint64_t(bytesPerPixel)) {
    problem = "holds no pixels";
    return false;
  }
  use({pixels, width, height, bytesPerPixel, bytesPerPixel == 1 ? &palette : nullptr});
  return true;
}

bool WithLibraryRows(const Image& image, int bytesPerPixel, const std::optional<Rgb>& exactColor,
                     const std::function<bool(const PixelRows&)>& use, std::string& why) {
  ForgetLibraryErrors();
  LibraryImage library;
  PixelRows rows{image.Width(), image.Height(), bytesPerPixel, image.Pixels(), nullptr};
  Palette palette;
  if (bytesPerPixel != image.BytesPerPixel()) {
    if (!HandOver(image, bytesPerPixel, exactColor, false, false, why)) return false;
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
  return use(rows);
}

bool LibraryEncode(const Image& image, LibraryFileType type, int bytesPerPixel,
                   const std::optional<Rgb>& exactColor, std::FILE* file, int& writeError,
                   std::string& why) {
  writeError = 0;
  ForgetLibraryErrors();
  LibraryImage library;
  // BMP and TGA keep blue first; given so, their writers need no copy of
  // their own to reorder it.
  const bool blueFirst = type == LibraryFileType::kBmp || type == LibraryFileType::kTarga;
  if (!HandOver(image, bytesPerPixel, exactColor, true, blueFirst, why)) return false;
  SetSaveCompression(kCompressionOff);
  const bool encoded = SaveBoundImage(LibraryTypeOf(type), file, writeError);
  if (!encoded && writeError == 0) why = LibraryError("DevIL could not encode the picture");
  return encoded;
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
