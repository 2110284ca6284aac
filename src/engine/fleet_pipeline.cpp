#include "engine/fleet_pipeline.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <new>
#include <system_error>

#include "core/reasons.h"
#include "engine/strip_pipeline.h"
#include "io/decoder_process.h"
#include "io/image_io.h"
#include "sheet/fleet_builder.h"
#include "sheet/fleet_layout.h"
#include "turn/library_turn.h"
#include "turn/pixel_turns.h"
#include "turn/smooth_turn.h"
#include "turn/worker_pool.h"

namespace {

// At most this many pictures to one decoder, so that no command line grows
// long and the decoders share the work evenly.
constexpr std::size_t kPicturesPerDecoder = 64;

}  // namespace

bool ReadPictures(const std::vector<std::string>& paths,
                  std::vector<std::unique_ptr<Image>>& pictures, std::string* reason,
                  int processes) {
  pictures.clear();
  std::vector<std::unique_ptr<Image>> decoded(paths.size());
  std::vector<std::string> reasons(paths.size());
  try {
    // A decoder's start costs more than a small picture's decoding: each
    // decoder reads a run of pictures, several decoders at once, each a
    // process with its own limits; the threads here only wait on them.
    WorkerPool pool(processes);
    const std::size_t helpers = std::size_t(pool.Threads());
    const std::size_t run =
        std::clamp<std::size_t>((paths.size() + helpers - 1) / helpers, 1, kPicturesPerDecoder);
    pool.Run(int((paths.size() + run - 1) / run), [&](int r) {
      const auto first = paths.begin() + std::ptrdiff_t(std::size_t(r) * run);
      const auto last = paths.begin() + std::ptrdiff_t(std::min(paths.size(), (r + 1) * run));
      std::vector<std::string> why;
      auto some = DecodeFilesInHelper({first, last}, 4, why);
      for (std::size_t i = 0; i < some.size(); ++i) {
        decoded[std::size_t(r) * run + i] = std::move(some[i]);
        reasons[std::size_t(r) * run + i] = std::move(why[i]);
      }
    });
  } catch (const std::system_error&) {
    SetReason(reason, "the threads to read the pictures on could not be started");
    return false;
  } catch (const std::bad_alloc&) {
    SetReason(reason, "not enough memory to read the pictures");
    return false;
  }
  for (std::size_t i = 0; i < paths.size(); ++i) {
    // The library finishes them one at a time.
    if (decoded[i]) decoded[i] = UprightPicture(std::move(decoded[i]), paths[i], &reasons[i]);
    if (!decoded[i]) {
      SetReason(reason, reasons[i].empty() ? Quoted(paths[i]) + " could not be read" : reasons[i]);
      return false;
    }
  }
  pictures = std::move(decoded);
  return true;
}

std::string PictureStem(const std::string& path) {
  return std::filesystem::path(path).stem().string();
}

std::string SameStemProblem(const std::vector<std::string>& paths) {
  std::map<std::string, const std::string*> seen;
  for (const std::string& path : paths) {
    const auto [at, added] = seen.try_emplace(PictureStem(path), &path);
    if (!added) {
      return Quoted(*at->second) + " and " + Quoted(path) + " would both name their frames " +
             Quoted(at->first) + "; rename one";
    }
  }
  return {};
}

std::string SizeMismatchProblem(const std::vector<std::string>& paths,
                                const std::vector<const Image*>& pictures) {
  for (std::size_t i = 1; i < pictures.size(); ++i) {
    if (pictures[i]->Width() != pictures[0]->Width() ||
        pictures[i]->Height() != pictures[0]->Height()) {
      const auto size = [](const Image* p) {
        return std::to_string(p->Width()) + " x " + std::to_string(p->Height());
      };
      return "the frames of an animation must be one size: " + Quoted(paths[i]) + " is " +
             size(pictures[i]) + " pixels, " + Quoted(paths[0]) + " " + size(pictures[0]);
    }
  }
  return {};
}

std::vector<BlockSize> SizesOf(const std::vector<const Image*>& pictures) {
  std::vector<BlockSize> sizes;
  for (const Image* picture : pictures) sizes.push_back({picture->Width(), picture->Height()});
  return sizes;
}

std::unique_ptr<Image> MakeFleetSheet(const std::vector<const Image*>& pictures,
                                      const std::vector<Rgb>& fills, const StripOptions& options,
                                      const SheetPlan& sheet, std::string* reason,
                                      const ProgressHook& progress) {
  for (const Image* picture : pictures) {
    std::string why;
    if ((picture->BytesPerPixel() != 3 && picture->BytesPerPixel() != 4) ||
        TooSmallToTurn(*picture, &why) ||
        (NeedsEnlargement(options, sheet) &&
         !CheckEnlargement(picture->Width(), picture->Height(), &why))) {
      SetReason(reason, Quoted(picture->GetName()) + ": " +
                            (why.empty() ? "a palettised picture cannot be turned" : why));
      return nullptr;
    }
  }
  const std::string stage =
      options.method == TurnMethod::kLibrary
          ? std::string("lay the pictures over their fills")
          : "prepare " + std::string(TurnMethodName(options.method)) + " turning";
  try {
    std::vector<std::unique_ptr<Image>> prepared;
    std::vector<const Image*> sources;
    for (std::size_t i = 0; i < pictures.size(); ++i) {
      prepared.push_back(Prepared(*pictures[i], options.alpha, fills[i]));
      sources.push_back(prepared.back() ? prepared.back().get() : pictures[i]);
    }
    const int bpp = options.alpha ? 4 : 3;
    if (options.method == TurnMethod::kLibrary) {
      // The library keeps global state: its turn runs in processes, not threads.
      std::vector<LibraryTurner> turners;
      for (const Image* source : sources) turners.emplace_back(*source);
      return BuildPlacedSheet(
          sheet, bpp, fills,
          [&](int i, int degrees, const FrameCanvas& canvas, std::string* why) {
            return turners[std::size_t(i)].Turn(degrees, canvas, why);
          },
          reason, nullptr, progress, WorkerPool::Wanted(options.threads));
    }
    WorkerPool pool(options.threads);
    // Smooth turning blends, so it turns each picture with its own alpha and
    // lays each frame over the fill only once turned.
    const bool smooth = options.method == TurnMethod::kSmooth;
    std::vector<std::unique_ptr<PixelTurner>> pixel;
    std::vector<std::unique_ptr<SmoothTurner>> blended;
    for (std::size_t i = 0; i < sources.size(); ++i) {
      if (smooth) {
        blended.push_back(std::make_unique<SmoothTurner>(*pictures[i]));
      } else {
        pixel.push_back(std::make_unique<PixelTurner>(*sources[i], options.method, pool,
                                                      NeedsEnlargement(options, sheet)));
      }
    }
    return BuildPlacedSheet(
        sheet, bpp, fills,
        [&](int i, int degrees, const FrameCanvas& canvas, std::string*) {
          if (smooth) {
            blended[std::size_t(i)]->Turn(degrees, canvas);
          } else {
            pixel[std::size_t(i)]->Turn(degrees, canvas);
          }
          return true;
        },
        reason, &pool, progress);
  } catch (const std::system_error&) {
    SetReason(reason, "the threads to turn the frames on could not be started");
  } catch (const std::bad_alloc&) {
    SetReason(reason, "not enough memory to " + stage);
  }
  return nullptr;
}
