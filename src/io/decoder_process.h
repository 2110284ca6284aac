#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "core/decoded_picture.h"
#include "core/image.h"

// The hand-over between LoadImageFile and the helper program gyrelle-decode,
// which decodes one file in a process of its own and sends the picture back
// through a pipe: a header, then the reason there is no picture, or the
// palette (depth 1) and the pixels.

// How long one decode may take before the helper is stopped.
constexpr std::chrono::seconds kDecodeTimeLimit{10};

// The helper, looked for in libexec/gyrelle/ beside the running executable's
// bin folder, then in the executable's own folder.
constexpr const char* kDecoderProgramName = "gyrelle-decode";

// The helper's file descriptor for its answer.
constexpr int kDecodeResultFd = 3;

// Decodes the picture open on `fd`, named `path`, at the given depth in a
// new helper process, which reads it from its standard input: a pipe such
// as /dev/stdin reads as well as a file. No image and a reason when the
// decoder gave one (passed on unchanged), crashed, ran past the time limit
// (it is then stopped), or could not be started. Returns within the time
// limit and a fraction of a second.
std::unique_ptr<Image> DecodeInHelper(int fd, const std::string& path, int bytesPerPixel,
                                      std::string* reason);

// The helper's option to decode files it opens itself, one after another:
//     gyrelle-decode --files BYTES_PER_PIXEL PATH... 3> ANSWERS
// answering for each in turn as for one picture.
constexpr const char* kDecodeFilesOption = "--files";

// Decodes the files at `paths`, in order, in one new helper process: the
// start-up paid once for all, each picture with the whole time limit. A
// picture for each that could be read, else none and its reason in
// `reasons`; once the helper crashes or runs past the limit, the pictures
// after that one are not read either.
std::vector<std::unique_ptr<Image>> DecodeFilesInHelper(const std::vector<std::string>& paths,
                                                        int bytesPerPixel,
                                                        std::vector<std::string>& reasons);

// The helper's side: sends `picture`, or when it is null the reason there is
// none, to `fd`. False when the reader has gone.
bool SendDecodeResult(int fd, const DecodedPicture* picture, const std::string& reason);

// For tests: run `program` as the helper (the one beside the executable when
// empty) and stop it after `limit`.
void SetDecoderForTesting(const std::string& program, std::chrono::milliseconds limit);
