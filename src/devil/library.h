#pragma once

// The image library's services, handed plain values: only this folder sees
// the library itself. The library keeps global state (the bound image, its
// clear colour and settings), so these are for one thread at a time.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>

#include "core/color.h"
#include "core/decoded_picture.h"
#include "core/image.h"
#include "core/pixel_rows.h"

void InitImageLibrary();

// The picture files Gyrelle reads and writes, as the library knows them;
// kOther for those it knows and Gyrelle neither reads nor writes.
enum class LibraryFileType { kUnknown, kPng, kJpeg, kTarga, kBmp, kPcx, kOther };

// By the name's extension, as the library's loader and writer choose.
LibraryFileType LibraryTypeOfName(const std::string& name);
// By the first bytes, as its loader does for a name without an extension.
LibraryFileType LibraryTypeOfBytes(const std::uint8_t* data, std::size_t size);

// Decodes `size` bytes of a `type` file at `bytesPerPixel` and hands the
// picture, rows bottom first, to `use` while the library holds it. False with
// `problem`, words to follow the file's name.
bool LibraryDecode(LibraryFileType type, const std::uint8_t* data, std::size_t size,
                   int bytesPerPixel, const std::function<void(const DecodedPicture&)>& use,
                   std::string& problem);

// `image` at `bytesPerPixel` (its own, or converted, 8 bits quantised with
// `exactColor` kept exact), rows top first, handed to `use`: what our own
// writers take. False with `why` when the library could not take or convert
// it; else what `use` returns.
bool WithLibraryRows(const Image& image, int bytesPerPixel, const std::optional<Rgb>& exactColor,
                     const std::function<bool(const PixelRows&)>& use, std::string& why);

// Writes `image` at `bytesPerPixel` to the open `file` through the library's
// writer for `type`, plain (not run-length). False with `why` when the library
// could not take, convert or encode it; `writeError` is the errno of the
// first failed file call, 0 when there was none.
bool LibraryEncode(const Image& image, LibraryFileType type, int bytesPerPixel,
                   const std::optional<Rgb>& exactColor, std::FILE* file, int& writeError,
                   std::string& why);

bool FlipRows(Image& image);
bool ConvertDepth(Image& image, int bytesPerPixel);

// The colour the library's turn leaves where it uncovers the canvas.
bool SetClearColor(std::uint8_t red, std::uint8_t green, std::uint8_t blue, std::uint8_t alpha);

// A turned picture while the library holds it.
struct LibraryPixels {
  const std::uint8_t* pixels;
  int width;
  int height;
};

// The library's own turn by `degrees` (counter-clockwise when positive) of
// `picture`, or of `width` x `height` pixels of `bytesPerPixel` bytes,
// handed to `use`. False when the library fails; LibraryError says why.
bool LibraryRotate(const Image& picture, float degrees,
                   const std::function<void(const LibraryPixels&)>& use);
bool LibraryRotate(const std::uint8_t* pixels, int width, int height, int bytesPerPixel,
                   float degrees, const std::function<void(const LibraryPixels&)>& use);

// The library's words for its last error, or `fallback` when it gave none.
std::string LibraryError(const std::string& fallback);
