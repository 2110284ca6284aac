#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Checks made on a picture file's bytes before the library's decoder sees
// them. The decoders of DevIL 1.7.8 trust the file: they read past its end
// for ever (PNG chunks, JPEG segments), or allocate and fill whatever size a
// damaged header declares (TGA, PCX, BMP), hanging or crashing on files a
// few bytes long. Each check walks only the file's structure and headers;
// the decoding stays the library's.

enum class PictureFormat { kPng, kJpeg, kTarga, kBmp, kPcx, kOther };

// True when the file may go to the decoder; otherwise false and `problem`
// says what is wrong, as words to follow "is damaged: ".
bool CheckPictureBytes(PictureFormat format, const std::uint8_t* data, std::size_t size,
                       std::string& problem);
