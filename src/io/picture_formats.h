#pragma once

#include <array>
#include <span>
#include <string>

#include "devil/library.h"

// The picture formats Gyrelle reads and writes, in one table: the Open and
// Save As filters, the command line's checks and help, the writers' limits
// and the transparency rule all come from it.

enum class PictureFormat { kPng, kJpeg, kTarga, kBmp, kPcx, kOther };

// Which depths have a run-length form Gyrelle writes.
enum class RunLength { kNone, kAlways, kEightBitOnly };

struct PictureFormatRow {
  PictureFormat format;
  const char* name;         // in messages: "PNG"
  const char* description;  // in file filters: "Portable Network Graphic"
  std::array<const char*, 2> extensions;  // lower case, no dot; the first is written
  bool read;
  bool write;
  bool alpha;     // a strip that keeps transparency can be written
  bool eightBit;  // an 8-bit palettised form can be written
  RunLength runLength;
  int maxWidth;  // the writer's largest sides; 0: limited only by bytes
  int maxHeight;
  LibraryFileType writer;  // the library's writer for it
};

// Every row, the order the filters list them in.
std::span<const PictureFormatRow> PictureFormats();

// The row whose extension `path`'s file name ends in, any letter case;
// nullptr for none.
const PictureFormatRow* PictureFormatOfPath(const std::string& path);
const PictureFormatRow* PictureFormatRowOf(PictureFormat format);

// The written (or read) formats' extensions for messages: ".png, .tga,
// .bmp or .pcx", or with `dots` false and `join` "|": "png|tga|bmp|pcx".
std::string PictureExtensionList(bool written, bool dots = true, const std::string& join = "");
// Their names: "PNG, TGA, BMP or PCX"; with `alpha`, only those that hold
// transparency.
std::string PictureNameList(bool written, bool alpha = false);
