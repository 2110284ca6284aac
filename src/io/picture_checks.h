#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "io/picture_formats.h"

// Checks made on a picture file's bytes before the library's decoder sees
// them. The decoders of DevIL 1.7.8 trust the file: they read past its end
// for ever (PNG chunks, JPEG segments), or allocate and fill whatever size a
// damaged header declares (TGA, PCX, BMP), hanging or crashing on files a
// few bytes long. Each check walks only the file's structure and headers;
// the decoding stays the library's.

// True when the file may go to the decoder; otherwise false and `problem`
// completes a sentence that begins with the file's name: "is damaged: ..."
// or, for a picture larger than kMaxPicturePixels, "is W × H pixels; ...".
bool CheckPictureBytes(PictureFormat format, const std::uint8_t* data, std::size_t size,
                       std::string& problem);

// DevIL reads BMP files only with the 40-byte header (or the old 12-byte
// one). A file with a longer header (versions 4 and 5) whose pixels the
// library can read is rewritten in place to the 40-byte form, which then
// starts at data + `start`; the pixels stay where they are. True with
// `start` 0 when there is nothing to rewrite; false with `problem` (words
// to follow "DevIL cannot read this BMP file: ") when the layout is one the
// library cannot read.
bool RewriteBmpHeader(std::uint8_t* data, std::size_t size, std::size_t& start,
                      std::string& problem);
