#pragma once

// Private to this folder, the only one that sees the image library.

#include <IL/il.h>
#include <IL/ilu.h>

#include <cstdio>
#include <string>

#include "core/color.h"
#include "core/image.h"

// One library image, generated and bound on construction and deleted when the
// guard goes, so no path leaks one. The library works on the bound image;
// Bind() again after binding another.
class LibraryImage {
 public:
  LibraryImage() {
    ilGenImages(1, &id_);
    ilBindImage(id_);
  }
  ~LibraryImage() { ilDeleteImages(1, &id_); }
  LibraryImage(const LibraryImage&) = delete;
  LibraryImage& operator=(const LibraryImage&) = delete;

  void Bind() const { ilBindImage(id_); }

 private:
  ILuint id_ = 0;
};

// Library format of an Image depth: IL_RGBA, IL_RGB or IL_COLOUR_INDEX.
ILenum LibraryFormat(int bytesPerPixel);

// Hands `image` to the bound library image (with its palette for depth 1).
// False when the library refuses, as when it runs out of memory.
bool MakeLibraryImage(const Image& image);

// The same with the rows in the other order, bottom row first, as the
// library's writers take them, and with blueFirst 3-byte pixels as blue,
// green, red: one pass over the pixels, where a copy, a flip and the
// writer's own reordering copy in the library take three.
bool MakeUpsideDownLibraryImage(const Image& image, bool blueFirst);

// The library leaves palette entries that no pixel uses uninitialised after a
// conversion to indexed colour; zeroes those of the bound image.
void ZeroUnusedPaletteEntries();

// Copies the bound library image's palette, as 24-bit RGB, into `palette`;
// entries the library does not have, or that no pixel uses, are zero.
void ReadLibraryPalette(Palette& palette);

// Mends the bound image, `source` quantised to indexed colour, so that
// `color` has an exact palette entry of its own (see KeepColorExact).
void KeepBoundColorExact(const Image& source, const Rgb& color);

// Writes the bound image to the open `file` through the library's writer for
// `type`. False when the library could not encode it; `writeError` is the
// errno of the first failed file call, 0 when there was none.
bool SaveBoundImage(ILenum type, std::FILE* file, int& writeError);

// Bit values for SetSaveCompression.
constexpr int kCompressionOn = 1;
constexpr int kCompressionOff = 2;

// The library writers' run-length switch, set for each write.
void SetSaveCompression(int flags);

// Drops errors left over from earlier calls, so the next ilGetError speaks of
// the call that follows.
void ForgetLibraryErrors();

