// gyrelle-decode: reads one picture for LoadImageFile in a process of its
// own, so that a damaged file that hangs or crashes the image library harms
// nothing but this process. Called as
//
//     gyrelle-decode BYTES_PER_PIXEL PATH
//
// with the answer pipe as file descriptor 3 (see image/decoder_process.h).

#include <signal.h>
#include <sys/prctl.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "image/decoder_process.h"
#include "image/image_io.h"

int main(int argc, char** argv) {
  // Once the caller is gone nobody waits for the answer.
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (argc != 3) {
    std::fputs("usage: gyrelle-decode BYTES_PER_PIXEL PATH (answer on descriptor 3)\n", stderr);
    return 2;
  }
  InitImageLibrary();
  // Sent straight from the library's copy: a large picture is not copied
  // once more on its way out.
  bool sent = false;
  const auto send = [&](const DecodedPicture& picture) {
    sent = SendDecodeResult(kDecodeResultFd, &picture, "");
  };
  std::string reason;
  if (!DecodeImageFile(argv[2], std::atoi(argv[1]), send, &reason)) {
    sent = SendDecodeResult(kDecodeResultFd, nullptr, reason);
  }
  return sent ? 0 : 1;
}
