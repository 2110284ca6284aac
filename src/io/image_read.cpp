// Reading picture files: the checks before the library's decoder sees a file,
// the decoding itself (in gyrelle-decode), and the depth conversions.

#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <functional>
#include <new>
#include <utility>
#include <vector>

#include "io/decoder_process.h"
#include "io/image_io.h"
#include "devil/library.h"
#include "io/picture_checks.h"
#include "core/reasons.h"

namespace {

// A read needs a file name and one of the three depths.
bool CanRead(const std::string& path, int bytesPerPixel, std::string* reason) {
  if (path.empty()) {
    SetReason(reason, "no file name given");
    return false;
  }
  if (!ValidDepth(bytesPerPixel)) {
    SetReason(reason,
              "cannot read a picture at " + std::to_string(bytesPerPixel) + " bytes per pixel");
    return false;
  }
  return true;
}

// Largest picture file read: a picture within kMaxPicturePixels stored at
// 8 bytes a pixel (16-bit red, green, blue and alpha, uncompressed).
constexpr std::uint64_t kMaxPictureFileBytes = kMaxPicturePixels * 8;

// A picture file's bytes: mapped when it is a plain file, read when it is a
// pipe or a device. Writable, privately, so that a header can be rewritten.
class PictureBytes {
 public:
  PictureBytes() = default;
  PictureBytes(const PictureBytes&) = delete;
  PictureBytes& operator=(const PictureBytes&) = delete;
  ~PictureBytes() {
    if (mapped_ != nullptr) munmap(mapped_, size_);
  }

  // False with `problem`, words to follow the file's name, when the bytes
  // cannot be had.
  bool Take(int fd, std::string& problem) {
    struct stat file;
    if (fstat(fd, &file) != 0) return Failed(problem);
    if (S_ISREG(file.st_mode)) {
      if (std::uint64_t(file.st_size) > kMaxPictureFileBytes) {
        return TooLarge(problem);
      }
      size_ = std::size_t(file.st_size);
      if (size_ == 0) return true;
      void* bytes = mmap(nullptr, size_, PROT_READ | PROT_WRITE, MAP_PRIVATE, fd, 0);
      if (bytes != MAP_FAILED) {
        mapped_ = static_cast<std::uint8_t*>(bytes);
        return true;
      }
    }
    // A pipe has no size and no writer may have come yet: wait for data or
    // its end, then read to the end.
    constexpr std::size_t kChunk = 1 << 16;
    std::size_t got = 0;
    for (;;) {
      pollfd ready{fd, POLLIN, 0};
      if (poll(&ready, 1, -1) < 0 && errno != EINTR) return Failed(problem);
      // Grown by doubling, but never past what may be read.
      if (held_.capacity() < got + kChunk) {
        held_.reserve(std::min<std::size_t>(2 * (got + kChunk), kMaxPictureFileBytes + kChunk));
      }
      held_.resize(got + kChunk);
      const ssize_t read = ::read(fd, held_.data() + got, kChunk);
      if (read == 0) break;
      if (read < 0 && errno != EINTR && errno != EAGAIN) return Failed(problem);
      if (read > 0) got += std::size_t(read);
      if (got > kMaxPictureFileBytes) return TooLarge(problem);
    }
    held_.resize(size_ = got);
    return true;
  }

  std::uint8_t* Data() { return mapped_ != nullptr ? mapped_ : held_.data(); }
  std::size_t Size() const { return size_; }

 private:
  static bool Failed(std::string& problem) {
    problem = "cannot be read: " + SystemError();
    return false;
  }
  static bool TooLarge(std::string& problem) {
    problem = "is larger than " + std::to_string(kMaxPictureFileBytes >> 20) + " MiB, the most " +
              "Gyrelle reads from a picture file";
    return false;
  }

  std::uint8_t* mapped_ = nullptr;
  std::vector<std::uint8_t> held_;
  std::size_t size_ = 0;
};

// The formats read: those the Open dialog offers. The library knows many
// more, but its other decoders get none of the checks these have, and some
// allocate gigabytes for a file of a few hundred bytes.
PictureFormat FormatOf(LibraryFileType type) {
  switch (type) {
    case LibraryFileType::kPng:
      return PictureFormat::kPng;
    case LibraryFileType::kJpeg:
      return PictureFormat::kJpeg;
    case LibraryFileType::kTarga:
      return PictureFormat::kTarga;
    case LibraryFileType::kBmp:
      return PictureFormat::kBmp;
    case LibraryFileType::kPcx:
      return PictureFormat::kPcx;
    default:
      return PictureFormat::kOther;
  }
}

// The file's type: by the extension, else by the first bytes, as the
// library's own loader chooses; kOther for any format not read.
LibraryFileType TypeOf(const std::string& name, const std::uint8_t* data, std::size_t size) {
  const LibraryFileType type = LibraryTypeOfName(name);
  return type != LibraryFileType::kUnknown ? type : LibraryTypeOfBytes(data, size);
}

// Opens a picture for reading: a plain file, or a pipe or device such as
// /dev/stdin. -1 with a reason when it cannot be opened or is a folder.
int OpenPicture(const std::string& path, std::string* reason) {
  // Not blocking on a named pipe that has no writer yet; the reading waits
  // for one instead, within the decoder's time limit.
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) {
    SetReason(reason, Quoted(path) + " cannot be opened: " + SystemError());
    return -1;
  }
  struct stat file;
  if (fstat(fd, &file) == 0 && S_ISDIR(file.st_mode)) {
    close(fd);
    SetReason(reason, Quoted(path) + " is a folder, not a picture");
    return -1;
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

}  // namespace

bool DecodeImageStream(int fd, const std::string& name, int bytesPerPixel,
                       const std::function<void(const DecodedPicture&)>& use, std::string* reason) {
  if (!CanRead(name, bytesPerPixel, reason)) return false;
  const auto fail = [&](const std::string& words) {
    SetReason(reason, Quoted(name) + " " + words);
    return false;
  };
  PictureBytes bytes;
  std::string problem;
  try {
    if (!bytes.Take(fd, problem)) return fail(problem);
  } catch (const std::bad_alloc&) {
    return fail("is too large to read in the memory the decoder may use");
  }
  std::uint8_t* data = bytes.Data();
  std::size_t size = bytes.Size();
  if (size == 0) return fail("is empty, not a picture");
  const LibraryFileType type = TypeOf(name, data, size);
  if (FormatOf(type) == PictureFormat::kOther) {
    return fail("is not a PNG, JPEG, TGA, BMP or PCX file, the kinds of picture Gyrelle reads");
  }
  if (type == LibraryFileType::kBmp) {
    std::size_t start = 0;
    if (!RewriteBmpHeader(data, size, start, problem)) {
      return fail("is a BMP file DevIL cannot read: " + problem);
    }
    data += start;
    size -= start;
  }
  if (!CheckPictureBytes(FormatOf(type), data, size, problem)) return fail(problem);
  if (!LibraryDecode(type, data, size, bytesPerPixel, use, problem)) return fail(problem);
  return true;
}

bool DecodeImageFile(const std::string& path, int bytesPerPixel,
                     const std::function<void(const DecodedPicture&)>& use, std::string* reason) {
  if (!CanRead(path, bytesPerPixel, reason)) return false;
  const int fd = OpenPicture(path, reason);
  if (fd < 0) return false;
  const bool decoded = DecodeImageStream(fd, path, bytesPerPixel, use, reason);
  close(fd);
  return decoded;
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
    SetReason(reason, Quoted(path) + " is too large to hold in memory");
    return nullptr;
  }
  return image;
}

std::unique_ptr<Image> LoadImageFile(const std::string& path, int bytesPerPixel,
                                     std::string* reason) {
  if (!CanRead(path, bytesPerPixel, reason)) return nullptr;
  const int fd = OpenPicture(path, reason);
  if (fd < 0) return nullptr;
  auto image = DecodeInHelper(fd, path, bytesPerPixel, reason);
  close(fd);
  return image;
}
