#include "image/image_io.h"

#include <fcntl.h>
#include <malloc.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <new>

#include "image/decoder_process.h"
#include "image/library_image.h"
#include "image/picture_checks.h"

std::string Quoted(const std::string& path) {
  return "\"" + path + "\"";
}

namespace {

void Fail(std::string* reason, const std::string& text) {
  if (reason != nullptr) *reason = text;
}

std::string SystemError() {
  return std::strerror(errno);
}

bool ValidDepth(int bytesPerPixel) {
  return bytesPerPixel == 1 || bytesPerPixel == 3 || bytesPerPixel == 4;
}

// The library leaves palette entries that no pixel uses uninitialised after a
// conversion to indexed colour, and its writers copy them into the file.
void ZeroUnusedPaletteEntries() {
  ILubyte* entries = ilGetPalette();
  const ILint count = ilGetInteger(IL_PALETTE_NUM_COLS);
  const ILint entryBytes = ilGetInteger(IL_PALETTE_BPP);
  if (entries == nullptr || count <= 0 || entryBytes <= 0) return;
  std::vector<bool> used(std::size_t(count), false);
  const ILubyte* indices = ilGetData();
  const std::size_t pixelCount =
      std::size_t(ilGetInteger(IL_IMAGE_WIDTH)) * std::size_t(ilGetInteger(IL_IMAGE_HEIGHT));
  for (std::size_t i = 0; i < pixelCount; ++i) {
    if (indices[i] < count) used[indices[i]] = true;
  }
  for (ILint i = 0; i < count; ++i) {
    if (!used[std::size_t(i)]) std::fill_n(entries + std::size_t(i) * entryBytes, entryBytes, 0);
  }
}

// Copies the bound library image's palette, as 24-bit RGB, into `palette`;
// entries the library does not have, or that no pixel uses, are zero.
void ReadLibraryPalette(Palette& palette) {
  ZeroUnusedPaletteEntries();
  ilConvertPal(IL_PAL_RGB24);
  std::array<std::uint8_t, Palette::kBytes> entries{};
  const ILubyte* libraryEntries = ilGetPalette();
  const ILint count = ilGetInteger(IL_PALETTE_NUM_COLS);
  if (libraryEntries != nullptr && count > 0) {
    const std::size_t bytes = std::min<std::size_t>(std::size_t(count) * 3, Palette::kBytes);
    std::copy_n(libraryEntries, bytes, entries.begin());
  }
  palette.Set(entries.data());
}

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

// The library's writers ignore failed writes, so its file calls come here
// and the first failure of a write is kept until the write is done.
int writeErrno = 0;

void NoteWriteFailure() {
  if (writeErrno == 0) writeErrno = errno != 0 ? errno : EIO;
}

ILHANDLE ILAPIENTRY OpenForWriting(ILconst_string name) {
  FILE* file = std::fopen(name, "wb");
  if (file == nullptr) NoteWriteFailure();
  return file;
}

void ILAPIENTRY CloseWritten(ILHANDLE handle) {
  if (std::fclose(static_cast<FILE*>(handle)) != 0) NoteWriteFailure();
}

// The library's TGA writer fills the high bytes of the header's x and y
// origin (bytes 8 to 11) from uninitialised memory, so one picture gave
// different files. Both origins are 0 for every picture written here; while
// a TGA header is on its way out, those bytes are written as 0.
constexpr long kTargaOriginStart = 8;
constexpr long kTargaOriginEnd = 12;
bool scrubTargaOrigin = false;

// Zeroes what of [position, position + size) lies in the origin fields.
void ScrubTargaOrigin(long position, std::uint8_t* bytes, std::size_t size) {
  for (std::size_t i = 0; i < size; ++i) {
    const long at = position + long(i);
    if (at >= kTargaOriginStart && at < kTargaOriginEnd) bytes[i] = 0;
  }
  if (position + long(size) >= kTargaOriginEnd) scrubTargaOrigin = false;
}

ILint ILAPIENTRY PutByte(ILubyte byte, ILHANDLE handle) {
  if (scrubTargaOrigin) ScrubTargaOrigin(std::ftell(static_cast<FILE*>(handle)), &byte, 1);
  const int written = std::fputc(byte, static_cast<FILE*>(handle));
  if (written == EOF) NoteWriteFailure();
  return written;
}

ILint ILAPIENTRY SeekWritten(ILHANDLE handle, ILint offset, ILint origin) {
  const int result = std::fseek(static_cast<FILE*>(handle), offset, origin);
  if (result != 0) NoteWriteFailure();
  return result;
}

ILint ILAPIENTRY TellWritten(ILHANDLE handle) {
  return ILint(std::ftell(static_cast<FILE*>(handle)));
}

ILint ILAPIENTRY WriteBytes(const void* data, ILuint size, ILuint count, ILHANDLE handle) {
  if (std::size_t(size) * count == 0) return 0;
  FILE* file = static_cast<FILE*>(handle);
  std::vector<std::uint8_t> scrubbed;
  if (scrubTargaOrigin) {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    scrubbed.assign(bytes, bytes + std::size_t(size) * count);
    ScrubTargaOrigin(std::ftell(file), scrubbed.data(), scrubbed.size());
    data = scrubbed.data();
  }
  const std::size_t written = std::fwrite(data, size, count, file);
  if (written != count) NoteWriteFailure();
  return ILint(written);
}

// Writes the bound library image to a new temporary file beside `path` and
// renames it over `path` once the write is complete, so a failed write never
// destroys the file it was replacing.
bool WriteBoundImage(ILenum type, const std::string& path, std::string* reason) {
  const std::filesystem::path target(path);
  const std::filesystem::path directory =
      target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
  std::string temporary = (directory / ("." + target.filename().string() + ".XXXXXX")).string();
  const int fd = mkstemp(temporary.data());
  if (fd < 0) {
    Fail(reason, Quoted(path) + " cannot be written: " + SystemError());
    return false;
  }
  // mkstemp makes the file private; give it the mode of the file it
  // replaces, or the usual mode of a new file.
  struct stat existing;
  if (stat(path.c_str(), &existing) == 0) {
    fchmod(fd, existing.st_mode & 07777);
  } else {
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
  }
  close(fd);

  writeErrno = 0;
  scrubTargaOrigin = type == IL_TGA;
  const bool encoded = ilSave(type, temporary.c_str());
  scrubTargaOrigin = false;
  if (!encoded || writeErrno != 0) {
    Fail(reason, Quoted(path) + " could not be written: " +
                     (writeErrno != 0 ? std::strerror(writeErrno)
                                      : LibraryError("DevIL could not encode the picture")));
    unlink(temporary.c_str());
    return false;
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    Fail(reason, Quoted(path) + " cannot be replaced: " + SystemError());
    unlink(temporary.c_str());
    return false;
  }
  return true;
}

// A read needs a file name and one of the three depths.
bool CanRead(const std::string& path, int bytesPerPixel, std::string* reason) {
  if (path.empty()) {
    Fail(reason, "no file name given");
    return false;
  }
  if (!ValidDepth(bytesPerPixel)) {
    Fail(reason, "cannot read a picture at " + std::to_string(bytesPerPixel) + " bytes per pixel");
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

ILenum LibraryFormat(int bytesPerPixel) {
  switch (bytesPerPixel) {
    case 4:
      return IL_RGBA;
    case 1:
      return IL_COLOUR_INDEX;
    default:
      return IL_RGB;
  }
}

namespace {

// An indexed picture's palette goes to the bound library image with it.
void RegisterPalette(const Image& image) {
  if (image.BytesPerPixel() == 1 && image.GetPalette() != nullptr) {
    ilRegisterPal(const_cast<std::uint8_t*>(image.GetPalette()->Entries()), Palette::kBytes,
                  IL_PAL_RGB24);
  }
}

}  // namespace

bool MakeLibraryImage(const Image& image) {
  if (!ilTexImage(ILuint(image.Width()), ILuint(image.Height()), 1, ILubyte(image.BytesPerPixel()),
                  LibraryFormat(image.BytesPerPixel()), IL_UNSIGNED_BYTE,
                  const_cast<std::uint8_t*>(image.Pixels()))) {
    return false;
  }
  RegisterPalette(image);
  return true;
}

bool MakeUpsideDownLibraryImage(const Image& image, bool blueFirst) {
  const int height = image.Height();
  const bool swap = blueFirst && image.BytesPerPixel() == 3;
  if (!ilTexImage(ILuint(image.Width()), ILuint(height), 1, ILubyte(image.BytesPerPixel()),
                  swap ? IL_BGR : LibraryFormat(image.BytesPerPixel()), IL_UNSIGNED_BYTE,
                  nullptr)) {
    return false;
  }
  const std::size_t rowBytes = image.RowBytes();
  ILubyte* rows = ilGetData();
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* in = image.Pixels() + std::size_t(y) * rowBytes;
    ILubyte* out = rows + std::size_t(height - 1 - y) * rowBytes;
    if (!swap) {
      std::memcpy(out, in, rowBytes);
      continue;
    }
    for (std::size_t x = 0; x < rowBytes; x += 3) {
      out[x] = in[x + 2];
      out[x + 1] = in[x + 1];
      out[x + 2] = in[x];
    }
  }
  RegisterPalette(image);
  return true;
}

void ForgetLibraryErrors() {
  while (ilGetError() != IL_NO_ERROR) {
  }
}

std::string LibraryError(const std::string& fallback) {
  const ILenum error = ilGetError();
  ForgetLibraryErrors();
  if (error == IL_NO_ERROR) return fallback;
  if (error == IL_OUT_OF_MEMORY) return "not enough memory";
  const char* text = iluErrorString(error);
  return text != nullptr && *text != '\0' ? text : fallback;
}

void InitImageLibrary() {
  // Every turn makes and frees picture-sized blocks inside the library. By
  // default each comes fresh from the system and is given back at once,
  // and the page faults cost more than the turning; keep up to 32 MiB
  // blocks for reuse instead.
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 64 << 20);
  ilInit();
  iluInit();
  ilEnable(IL_FILE_OVERWRITE);
  ilEnable(IL_FORMAT_SET);
  ilEnable(IL_TYPE_SET);
  ilSetInteger(IL_TYPE_MODE, IL_UNSIGNED_BYTE);
  ilEnable(IL_ORIGIN_SET);
  ilSetInteger(IL_ORIGIN_MODE, IL_ORIGIN_LOWER_LEFT);
  iluImageParameter(ILU_FILTER, ILU_SCALE_MITCHELL);
  ilSetInteger(IL_TGA_RLE, 0);
  ilSetWrite(OpenForWriting, CloseWritten, PutByte, SeekWritten, TellWritten, WriteBytes);
}

// The library's run-length TGA writer corrupts the pixels of any picture
// with runs in it (neither it nor other readers can decode the result), so
// TGA files are always written plain; only the BMP writer follows the switch.
void SetSaveCompression(int flags) {
  if (flags & kCompressionOn) ilSetInteger(IL_BMP_RLE, 1);
  if (flags & kCompressionOff) ilSetInteger(IL_BMP_RLE, 0);
}

bool DecodeImageFile(const std::string& path, int bytesPerPixel,
                     const std::function<void(const DecodedPicture&)>& use, std::string* reason) {
  if (!CanRead(path, bytesPerPixel, reason)) return false;
  // The library only says it could not open a file; the system says why.
  std::error_code error;
  if (std::filesystem::is_directory(path, error)) {
    Fail(reason, Quoted(path) + " is a folder, not a picture");
    return false;
  }
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    Fail(reason, Quoted(path) + " cannot be opened: " + SystemError());
    return false;
  }
  std::string problem;
  const bool sound = CheckPictureFile(fd, FormatOf(path), problem);
  close(fd);
  if (!sound) {
    Fail(reason, Quoted(path) + " is damaged: " + problem);
    return false;
  }

  ForgetLibraryErrors();
  LibraryImage library;
  // A failed load leaves a 1 x 1 placeholder bound; it is not the picture.
  if (!ilLoadImage(path.c_str())) {
    Fail(reason, Quoted(path) + " is not a picture DevIL can read");
    ForgetLibraryErrors();
    return false;
  }
  if (!ilConvertImage(LibraryFormat(bytesPerPixel), IL_UNSIGNED_BYTE)) {
    Fail(reason,
         Quoted(path) + " could not be converted: " + LibraryError("DevIL refused the conversion"));
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
    Fail(reason, Quoted(path) + " holds no pixels");
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
    Fail(reason, Quoted(path) + " is too large to hold in memory");
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

bool SaveImageFile(const Image& image, const std::string& path, int bytesPerPixel,
                   std::string* reason) {
  if (!image.HasPixels() || image.Width() <= 0 || image.Height() <= 0) {
    Fail(reason, "there is no picture to write to " + Quoted(path));
    return false;
  }
  if (!ValidDepth(bytesPerPixel)) {
    Fail(reason, "cannot write " + Quoted(path) + " at " + std::to_string(bytesPerPixel) +
                     " bytes per pixel");
    return false;
  }
  const ILenum type = ilTypeFromExt(path.c_str());
  if (type == IL_TYPE_UNKNOWN) {
    Fail(reason, Quoted(path) + " does not end in an extension DevIL can write");
    return false;
  }
  const int maxSide = MaxSide(type);
  if (image.Width() > maxSide || image.Height() > maxSide) {
    Fail(reason, Quoted(path) + ": this format holds at most " + std::to_string(maxSide) +
                     " pixels a side, and the picture is " + std::to_string(image.Width()) + " x " +
                     std::to_string(image.Height()));
    return false;
  }
  const std::uint64_t pixelCount = std::uint64_t(image.Width()) * std::uint64_t(image.Height());
  if (pixelCount * std::uint64_t(std::max(image.BytesPerPixel(), bytesPerPixel)) >
      kMaxLibraryImageBytes) {
    Fail(reason, Quoted(path) + ": the picture is too large for DevIL to write (4 GiB or more)");
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
    Fail(reason, Quoted(path) +
                     " could not be written: " + LibraryError("DevIL could not take the picture"));
    return false;
  }
  if (converting) {
    if (!ilConvertImage(LibraryFormat(bytesPerPixel), IL_UNSIGNED_BYTE)) {
      Fail(reason, Quoted(path) + " could not be written: " +
                       LibraryError("DevIL could not convert the picture"));
      return false;
    }
    if (bytesPerPixel == 1) ZeroUnusedPaletteEntries();
    iluFlipImage();
  }
  return WriteBoundImage(type, path, reason);
}

bool SaveImageFile(const Image& image, const std::string& path, std::string* reason) {
  return SaveImageFile(image, path, image.BytesPerPixel(), reason);
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

std::string MaskPath(const std::string& path) {
  return path.substr(0, path.rfind('.')) + "-mask.BMP";
}

std::unique_ptr<Image> MakeMask(const Image& image, std::uint8_t red, std::uint8_t green,
                                std::uint8_t blue) {
  auto mask = std::make_unique<Image>();
  try {
    mask->CopyFrom(image);
    ConvertDepth(*mask, 3);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  const std::array<std::uint8_t, 3> fill{red, green, blue};
  std::uint8_t* pixel = mask->Pixels();
  std::uint8_t* const end = pixel + mask->ByteSize();
  for (; pixel != end; pixel += 3) {
    const std::uint8_t value = std::equal(fill.begin(), fill.end(), pixel) ? 0 : 255;
    std::fill_n(pixel, 3, value);
  }
  return mask;
}
