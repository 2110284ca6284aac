#include "image/strip_pipeline.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "image/frame_strip.h"
#include "image/image_io.h"

std::unique_ptr<Image> ReadPicture(const std::string& path, std::string* reason) {
  std::unique_ptr<Image> picture = LoadImageFile(path, 3, reason);
  if (picture && !FlipRows(*picture)) {
    SetReason(reason, "there is not enough memory to turn " + Quoted(path) + " upright");
    return nullptr;
  }
  return picture;
}

Rgb TopLeftColor(const Image& picture) {
  const std::vector<std::uint8_t> pixel = picture.ReadPixel(0, 0);
  return {pixel[0], pixel[1], pixel[2]};
}

std::unique_ptr<Image> MakeStrip(const Image& picture, const StripOptions& options,
                                 std::string* reason) {
  return BuildFrameStrip(picture, options.frames, options.fill, reason);
}

std::vector<SaveFailure> SaveStrip(const Image& strip, const std::string& path,
                                   const SaveOptions& options, const Rgb& fill) {
  std::vector<SaveFailure> failures;
  std::string reason;
  // A mask whose name its folder cannot hold would fail only once the strip
  // is written: neither is.
  if (options.mask) {
    const std::filesystem::path maskPath = MaskPath(path);
    const std::filesystem::path folder =
        maskPath.has_parent_path() ? maskPath.parent_path() : std::filesystem::path(".");
    const long nameMax = pathconf(folder.c_str(), _PC_NAME_MAX);
    if (nameMax > 0 && maskPath.filename().native().size() > std::size_t(nameMax)) {
      return {{SaveFailure::Kind::kNotWritten, true, maskPath,
               Quoted(maskPath) + " cannot be written: " + std::strerror(ENAMETOOLONG) +
                   "; the strip was not written either"}};
    }
  }
  if (!SaveImageFile(strip, path, WriteOptions{options.eightBit ? 1 : 0, options.compressed},
                     &reason)) {
    failures.push_back({SaveFailure::Kind::kNotWritten, false, path, reason});
  }
  if (!options.mask) return failures;
  const std::string maskPath = MaskPath(path);
  const std::unique_ptr<Image> mask = MakeMask(strip, fill.red, fill.green, fill.blue);
  if (!mask) {
    failures.push_back({SaveFailure::Kind::kMaskOutOfMemory, true, maskPath,
                        "not enough memory to make the mask"});
  } else if (!SaveImageFile(*mask, maskPath, WriteOptions{1, options.compressed}, &reason)) {
    failures.push_back({SaveFailure::Kind::kNotWritten, true, maskPath, reason});
  }
  return failures;
}
