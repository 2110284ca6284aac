#include "io/decoder_process.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

#include "test_support.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const std::string kFakeDecoder = GYRELLE_BIN_DIR "/fake-gyrelle-decode";
const std::string kShip = GYRELLE_SAMPLES_DIR "/escort1.png";

class DecoderProcess : public LibraryTest {
 protected:
  void TearDown() override { SetDecoderForTesting("", kDecodeTimeLimit); }

  // Loads a file whose first word tells the fake decoder how to misbehave.
  std::unique_ptr<Image> LoadWithFake(const std::string& word, std::chrono::milliseconds limit,
                                      std::string& reason) {
    std::ofstream(dir / word) << word;
    SetDecoderForTesting(kFakeDecoder, limit);
    return LoadImageFile(dir / word, 3, &reason);
  }

  TempDir dir;
};

std::size_t OpenDescriptors() {
  return std::size_t(std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}));
}

TEST_F(DecoderProcess, HelperGivesWhatTheLibraryReadsAtEveryDepth) {
  for (int depth : {1, 3, 4}) {
    SCOPED_TRACE(depth);
    std::string reason;
    const auto viaHelper = LoadImageFile(kShip, depth, &reason);
    ASSERT_TRUE(viaHelper) << reason;
    const auto here = DecodeImageFile(kShip, depth, &reason);
    ASSERT_TRUE(here) << reason;
    EXPECT_EQ(viaHelper->Width(), here->Width());
    EXPECT_EQ(viaHelper->Height(), here->Height());
    EXPECT_EQ(viaHelper->BytesPerPixel(), depth);
    EXPECT_EQ(viaHelper->GetName(), kShip);
    EXPECT_EQ(PixelBytes(*viaHelper), PixelBytes(*here));
    EXPECT_EQ(viaHelper->GetPalette() != nullptr, depth == 1);
    if (depth == 1) {
      EXPECT_TRUE(std::equal(here->GetPalette()->Entries(),
                             here->GetPalette()->Entries() + Palette::kBytes,
                             viaHelper->GetPalette()->Entries()));
    }
  }
}

// A decoder that fails in any way gives no image and says so, within its
// time limit and a second, and leaves no child, pipe or harm behind.
TEST_F(DecoderProcess, MisbehavingDecoderGivesAReasonInTime) {
  const std::size_t descriptors = OpenDescriptors();
  const struct {
    const char* word;
    const char* says;
  } cases[] = {{"crash", "could not be read: the decoder crashed (Segmentation fault)"},
               {"hang", "took too long to read (more than 0.4 seconds)"},
               {"garbage", "could not be read: the decoder's answer was garbled"},
               {"silent", "could not be read: the decoder stopped without an answer"},
               {"half", "could not be read: the decoder stopped without an answer"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.word);
    std::string reason;
    const auto start = Clock::now();
    EXPECT_EQ(LoadWithFake(c.word, 400ms, reason), nullptr);
    EXPECT_LT(Clock::now() - start, 1400ms);
    EXPECT_EQ(reason.rfind(Quoted(dir / c.word), 0), 0u) << reason;
    EXPECT_NE(reason.find(c.says), std::string::npos) << reason;
  }
  EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);  // every helper reaped
  EXPECT_EQ(OpenDescriptors(), descriptors);

  SetDecoderForTesting("", kDecodeTimeLimit);
  std::string reason;
  EXPECT_TRUE(LoadImageFile(kShip, 3, &reason)) << reason;
}

TEST_F(DecoderProcess, ACompleteAnswerStandsWhenTheHelperLingers) {
  std::string reason;
  const auto start = Clock::now();
  const auto image = LoadWithFake("linger", 400ms, reason);
  ASSERT_TRUE(image) << reason;
  EXPECT_LT(Clock::now() - start, 1400ms);
  EXPECT_EQ(image->ReadPixel(0, 0), (std::vector<std::uint8_t>{255, 0, 0}));
  EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
}

// A pipe, as from <(cat ship.png) or /dev/stdin, reads like the file.
TEST_F(DecoderProcess, PictureFromAPipeReadsLikeTheFile) {
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  const auto bytes = FileBytes(kShip);  // less than a pipe holds
  ASSERT_EQ(write(ends[1], bytes.data(), bytes.size()), ssize_t(bytes.size()));
  close(ends[1]);
  std::string reason;
  const auto piped = LoadImageFile("/dev/fd/" + std::to_string(ends[0]), 3, &reason);
  close(ends[0]);
  ASSERT_TRUE(piped) << reason;
  EXPECT_EQ(PixelBytes(*piped), PixelBytes(*LoadImageFile(kShip, 3)));
}

TEST_F(DecoderProcess, MissingHelperIsReported) {
  SetDecoderForTesting((dir / "no-such-decoder"), kDecodeTimeLimit);
  std::string reason;
  EXPECT_EQ(LoadImageFile(kShip, 3, &reason), nullptr);
  EXPECT_NE(reason.find("could not be read: the decoder " + Quoted(dir / "no-such-decoder") +
                        " could not be started"),
            std::string::npos)
      << reason;
}

// One decoder reads a run of files, each as on its own: one that cannot be
// read is told of by name and the next one still read.
TEST_F(DecoderProcess, OneHelperReadsARunOfFiles) {
  std::ofstream(dir / "notes.png") << "not a picture";
  const std::vector<std::string> paths = {kShip, dir / "notes.png", dir / "gone.png", kShip};
  std::vector<std::string> reasons;
  const auto pictures = DecodeFilesInHelper(paths, 3, reasons);
  ASSERT_EQ(pictures.size(), 4u);
  std::string alone;
  const auto ship = LoadImageFile(kShip, 3, &alone);
  ASSERT_TRUE(ship && pictures[0] && pictures[3]) << reasons[0] << reasons[3];
  EXPECT_EQ(PixelBytes(*pictures[0]), PixelBytes(*ship));
  EXPECT_EQ(PixelBytes(*pictures[3]), PixelBytes(*ship));
  for (int i : {1, 2}) {
    EXPECT_FALSE(pictures[std::size_t(i)]);
    std::string own;
    EXPECT_FALSE(LoadImageFile(paths[std::size_t(i)], 3, &own));
    EXPECT_EQ(reasons[std::size_t(i)], own);
  }
  EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
}

}  // namespace
