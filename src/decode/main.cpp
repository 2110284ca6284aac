// gyrelle-decode: reads one picture for LoadImageFile in a process of its
// own, so that a damaged file that hangs or crashes the image library harms
// nothing but this process. Called as
//
//     gyrelle-decode BYTES_PER_PIXEL NAME < PICTURE 3> ANSWER
//     gyrelle-decode --files BYTES_PER_PIXEL PATH... 3> ANSWERS
//
// with the picture on standard input, NAME naming it in reasons and giving
// its extension, and the answer pipe as file descriptor 3 (see
// image/decoder_process.h).

#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "io/decoder_process.h"
#include "io/image_io.h"

#if defined(__SANITIZE_ADDRESS__)
#define GYRELLE_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define GYRELLE_ADDRESS_SANITIZER 1
#endif
#endif

namespace {

// A picture within the size the engine reads decodes in 1.5 GiB of address
// space at most (a 16-bit PNG with alpha; a progressive JPEG takes less). A
// file that talks the library into more meets this limit, and the library's
// allocation fails, before it takes the machine's memory: half the
// machine's memory, between 2 and 3 GiB.
void LimitAddressSpace() {
#ifndef GYRELLE_ADDRESS_SANITIZER  // which reserves terabytes of address space
  constexpr std::uint64_t kGiB = std::uint64_t(1) << 30;
  const long pages = sysconf(_SC_PHYS_PAGES), pageSize = sysconf(_SC_PAGESIZE);
  const std::uint64_t memory = pages > 0 && pageSize > 0 ? std::uint64_t(pages) * pageSize : 0;
  const std::uint64_t limit = std::clamp(memory / 2, 2 * kGiB, 3 * kGiB);
  rlimit current;
  if (getrlimit(RLIMIT_AS, &current) != 0 || current.rlim_max <= limit) return;
  current.rlim_cur = current.rlim_max = limit;
  setrlimit(RLIMIT_AS, &current);
#endif
}

}  // namespace

int main(int argc, char** argv) {
  // Once the caller is gone nobody waits for the answer.
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  const bool files = argc >= 3 && std::string(argv[1]) == kDecodeFilesOption;
  if (argc != 3 && !files) {
    std::fputs(
        "usage: gyrelle-decode BYTES_PER_PIXEL NAME < PICTURE (answer on descriptor 3)\n",
        stderr);
    return 2;
  }
  LimitAddressSpace();
  InitImageLibrary();
  // Sent straight from the library's copy: a large picture is not copied
  // once more on its way out.
  bool sent = false;
  const auto send = [&](const DecodedPicture& picture) {
    sent = SendDecodeResult(kDecodeResultFd, &picture, "");
  };
  std::string reason;
  if (files) {
    // One answer per file, in order; a file that cannot be read is told of
    // and the next one read.
    const int depth = std::atoi(argv[2]);
    for (int i = 3; i < argc; ++i) {
      sent = false;
      reason.clear();
      if (!DecodeImageFile(argv[i], depth, send, &reason)) {
        sent = SendDecodeResult(kDecodeResultFd, nullptr, reason);
      }
      if (!sent) return 1;
    }
    return 0;
  }
  if (!DecodeImageStream(STDIN_FILENO, argv[2], std::atoi(argv[1]), send, &reason)) {
    sent = SendDecodeResult(kDecodeResultFd, nullptr, reason);
  }
  return sent ? 0 : 1;
}
