#pragma once

// Run-length writers for TGA and 8-bit BMP files: the library's own either
// scrambles the pixels (TGA) or ignores the request (BMP). They know no
// image library: they take pixel rows and write bytes to an open file.

#include <cstdint>
#include <cstdio>

#include "core/pixel_rows.h"

// TGA image type 10 (true colour, 3 or 4 bytes a pixel) or 9 (colour-mapped,
// 1 byte), rows bottom first, packets of at most 128 pixels that never cross
// a row. Sides up to 65535. False when a write failed, with errno set.
bool WriteRunLengthTarga(const PixelRows& picture, std::FILE* file);

// BMP with BI_RLE8 (1 byte a pixel only): rows bottom first, each ended by
// an end-of-line code, the last by the end-of-bitmap code. The file must be
// seekable: its sizes go into the header once known. False when a write
// failed or the file would pass 4 GiB, with errno set.
bool WriteRunLengthBmp(const PixelRows& picture, std::FILE* file);
