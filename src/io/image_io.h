#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "core/color.h"
#include "core/decoded_picture.h"
#include "core/image.h"
#include "core/progress.h"
#include "core/reasons.h"
#include "devil/library.h"

// Traffic between Image and the image library: start-up, reading, writing,
// depth conversion, flipping and the mask. No engine function throws: a
// failure, running out of memory included, comes back as false or as no
// image, and functions that take an optional `reason` fill it with one line
// saying why.

// Reads a picture at the given depth (1, 3 or 4 bytes per pixel). Rows come
// back bottom row first; call FlipRows next. Gives no image for an empty
// path, and no image with a reason for a file that cannot be read.
//
// The library can hang or crash on a damaged file, so the decoding runs in
// the helper program gyrelle-decode (see decoder_process.h): a decoder that
// crashes or runs past its time limit costs this process nothing but the
// wait, and gives no image with a reason.
std::unique_ptr<Image> LoadImageFile(const std::string& path, int bytesPerPixel,
                                     std::string* reason = nullptr);

// The decoding itself, in this process (the library started): what
// gyrelle-decode runs. `use` sees the picture before the library lets it
// go; false with a reason when the file cannot be read.
//
// Only PNG, JPEG, TGA, BMP and PCX files are read, each checked first, and
// none over kMaxPicturePixels. A BMP file with a version 4 or 5 header is
// read where its pixels allow.
//
// The stream form reads the picture from `fd` (a file, a pipe or a device)
// to its end, naming it `name` in reasons and taking its format from the
// extension of `name`, else from its first bytes.
bool DecodeImageStream(int fd, const std::string& name, int bytesPerPixel,
                       const std::function<void(const DecodedPicture&)>& use, std::string* reason);
bool DecodeImageFile(const std::string& path, int bytesPerPixel,
                     const std::function<void(const DecodedPicture&)>& use, std::string* reason);
// The same, kept as an Image named after the path.
std::unique_ptr<Image> DecodeImageFile(const std::string& path, int bytesPerPixel,
                                       std::string* reason = nullptr);

// How a picture is written: at which depth (0: the image's own), whether
// TGA files and 8-bit BMP files are run-length compressed (24-bit BMP has no
// run-length form and stays plain), and a colour that an 8-bit save keeps
// exact: the pixels of that colour, and no others, take one palette entry
// holding it, as the mask of a fill colour expects.
struct WriteOptions {
  int bytesPerPixel = 0;
  bool compressed = false;
  std::optional<Rgb> exactColor{};
  // Hears of the bytes written now and then; stopped, the write fails like
  // any other.
  ProgressHook progress{};
};

// Why a width x height picture cannot be written to `path` (the format taken
// from its extension) with `bytesPerPixel` bytes a pixel in memory: the
// format's limits on sides and size. Empty when it can.
std::string SaveSizeProblem(const std::string& path, int width, int height, int bytesPerPixel);

// Writes the image as `options` say, the format taken from the extension of
// `path`. The file appears only once it is complete: a failed write leaves
// any earlier file of that name as it was.
bool SaveImageFile(const Image& image, const std::string& path, const WriteOptions& options,
                   std::string* reason = nullptr);
// The same, uncompressed, at the given depth or the image's own.
bool SaveImageFile(const Image& image, const std::string& path, int bytesPerPixel,
                   std::string* reason = nullptr);
bool SaveImageFile(const Image& image, const std::string& path, std::string* reason = nullptr);

// Where the mask of a picture saved at `path` goes: the path up to its last
// ".", or all of it when there is none, followed by "-mask.BMP".
std::string MaskPath(const std::string& path);

// Black where a pixel equals (red, green, blue), white elsewhere; 3 bytes per
// pixel, the source's size. No image when memory runs out.
std::unique_ptr<Image> MakeMask(const Image& image, std::uint8_t red, std::uint8_t green,
                                std::uint8_t blue);
