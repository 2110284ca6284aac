// The image library's start-up, the hand-over of Images to it, its errors,
// and the file callbacks its writers go through.

#include "devil/library_image.h"

#include <malloc.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "core/exact_color.h"
#include "devil/library.h"
#include "devil/library_blocks.h"

void ZeroUnusedPaletteEntries() {
  ILubyte* entries = ilGetPalette();
  const ILint count = ilGetInteger(IL_PALETTE_NUM_COLS);
  const ILint entryBytes = ilGetInteger(IL_PALETTE_BPP);
  if (entries == nullptr || count <= 0 || entryBytes <= 0) return;
  std::array<bool, 256> used{};
  const ILubyte* indices = ilGetData();
  const std::size_t pixelCount =
      std::size_t(ilGetInteger(IL_IMAGE_WIDTH)) * std::size_t(ilGetInteger(IL_IMAGE_HEIGHT));
  for (std::size_t i = 0; i < pixelCount; ++i) used[indices[i]] = true;
  for (ILint i = 0; i < count; ++i) {
    if (i >= 256 || !used[std::size_t(i)]) {
      std::fill_n(entries + std::size_t(i) * entryBytes, entryBytes, 0);
    }
  }
}

void KeepBoundColorExact(const Image& source, const Rgb& color) {
  const ILint type = ilGetInteger(IL_PALETTE_TYPE);
  if (type != IL_PAL_RGB24 && type != IL_PAL_BGR24) ilConvertPal(IL_PAL_RGB24);
  const bool blueFirst = ilGetInteger(IL_PALETTE_TYPE) == IL_PAL_BGR24;
  const ILint count = std::min<ILint>(ilGetInteger(IL_PALETTE_NUM_COLS), Palette::kEntries);
  ILubyte* entries = ilGetPalette();
  if (entries == nullptr || count <= 0) return;
  std::array<std::uint8_t, Palette::kBytes> rgb{};
  for (ILint i = 0; i < count * 3; i += 3) {
    rgb[i] = entries[blueFirst ? i + 2 : i];
    rgb[i + 1] = entries[i + 1];
    rgb[i + 2] = entries[blueFirst ? i : i + 2];
  }
  const std::size_t pixelCount = std::size_t(source.Width()) * std::size_t(source.Height());
  if (!KeepColorExact(source.Pixels(), source.BytesPerPixel(), ilGetData(), pixelCount,
                      rgb.data(), color)) {
    return;
  }
  ilRegisterPal(rgb.data(), Palette::kBytes, IL_PAL_RGB24);
}

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

namespace {

// The library's writers ignore failed writes, so its file calls come here
// and the first failure of a write is kept until the write is done.
int writeErrno = 0;

void NoteWriteFailure() {
  if (writeErrno == 0) writeErrno = errno != 0 ? errno : EIO;
}

// The file a write goes to, opened by the caller. The library's writers
// open a file by name; here that gives them this one, so that no file is
// ever reopened by name (the library's ilSaveF, which takes an open file,
// knows too few formats). The caller closes it.
FILE* openFile = nullptr;

ILHANDLE ILAPIENTRY OpenForWriting(ILconst_string) {
  if (openFile == nullptr) {
    errno = EBADF;
    NoteWriteFailure();
  }
  return openFile;
}

void ILAPIENTRY CloseWritten(ILHANDLE handle) {
  if (handle != openFile && std::fclose(static_cast<FILE*>(handle)) != 0) NoteWriteFailure();
}

// The library's TGA writer fills the high bytes of the header's x and y
// origin (bytes 8 to 11) from uninitialised memory, so one picture gave
// different files. Both origins are 0 for every picture written here; while
// a TGA header is on its way out, those bytes are written as 0. It also
// writes 32-bit pictures with no alpha bits in the image descriptor (byte
// 17), so readers drop their alpha; there it says 8.
constexpr long kTargaOriginStart = 8;
constexpr long kTargaOriginEnd = 12;
constexpr long kTargaDescriptor = 17;
constexpr std::uint8_t kTargaAlphaBits = 8;
bool scrubTargaOrigin = false;
bool targaHasAlpha = false;

// Mends what of [position, position + size) lies in the header's fields.
void ScrubTargaOrigin(long position, std::uint8_t* bytes, std::size_t size) {
  for (std::size_t i = 0; i < size; ++i) {
    const long at = position + long(i);
    if (at >= kTargaOriginStart && at < kTargaOriginEnd) bytes[i] = 0;
    if (at == kTargaDescriptor && targaHasAlpha) bytes[i] |= kTargaAlphaBits;
  }
  if (position + long(size) > kTargaDescriptor) scrubTargaOrigin = false;
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

}  // namespace

bool SaveBoundImage(ILenum type, std::FILE* file, int& writeError) {
  writeErrno = 0;
  scrubTargaOrigin = type == IL_TGA;
  targaHasAlpha = ilGetInteger(IL_IMAGE_BYTES_PER_PIXEL) == 4;
  openFile = file;
  // The name only has to be new to the library; the file is `file`.
  const bool encoded = ilSave(type, "open file");
  openFile = nullptr;
  scrubTargaOrigin = false;
  writeError = writeErrno;
  return encoded;
}

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
  // Set before the library holds any block.
  ilSetMemory([](ILsizei size) { return TakeLibraryBlock(size); },
              [](const void* block) { GiveLibraryBlock(const_cast<void*>(block)); });
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
