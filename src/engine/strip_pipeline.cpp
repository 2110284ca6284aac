#include "engine/strip_pipeline.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <new>
#include <system_error>

#include "core/atomic_file.h"
#include "io/image_io.h"
#include "io/picture_formats.h"
#include "engine/normal_sheet.h"
#include "sheet/sheet_builder.h"
#include "sheet/sheet_data.h"
#include "sheet/sheet_finish.h"
#include "sheet/sheet_layout.h"
#include "turn/library_turn.h"
#include "turn/pixel_turns.h"
#include "turn/smooth_turn.h"
#include "turn/worker_pool.h"

namespace {

bool Opaque(const Image& picture) {
  const std::uint8_t* pixel = picture.Pixels();
  const std::uint8_t* const end = pixel + picture.ByteSize();
  for (; pixel != end; pixel += 4) {
    if (pixel[3] != 255) return false;
  }
  return true;
}

}  // namespace

// The picture at 3 or 4 bytes per pixel, as the strip will have it: without
// alpha each pixel laid over the fill, so wholly transparent ones become the
// fill exactly; with alpha, wholly transparent ones take the fill's colour,
// so a reader that ignores alpha sees one background. Null when `picture`
// is already so.
std::unique_ptr<Image> Prepared(const Image& picture, bool alpha, const Rgb& fill) {
  const int in = picture.BytesPerPixel(), out = alpha ? 4 : 3;
  if (in == 3 && out == 3) return nullptr;
  if (in != 3 && in != 4) return nullptr;  // left for the builder to refuse
  auto prepared = std::make_unique<Image>();
  prepared->Allocate(picture.GetName(), picture.Width(), picture.Height(), out);
  const std::uint8_t* from = picture.Pixels();
  std::uint8_t* to = prepared->Pixels();
  const std::uint8_t fillBytes[3] = {fill.red, fill.green, fill.blue};
  const std::size_t count = std::size_t(picture.Width()) * std::size_t(picture.Height());
  for (std::size_t i = 0; i < count; ++i, from += in, to += out) {
    const unsigned a = in == 4 ? from[3] : 255;
    for (int c = 0; c < 3; ++c) {
      to[c] = alpha ? (a == 0 ? fillBytes[c] : from[c])
                    : std::uint8_t((from[c] * a + fillBytes[c] * (255 - a) + 127) / 255);
    }
    if (alpha) to[3] = std::uint8_t(a);
  }
  return prepared;
}

std::string Extension(const std::string& path) {
  const auto dot = path.rfind('.');
  const auto slash = path.rfind('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  std::string extension = path.substr(dot + 1);
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return char(std::toupper(c)); });
  return extension;
}

std::unique_ptr<Image> ReadPicture(const std::string& path, std::string* reason) {
  return UprightPicture(LoadImageFile(path, 4, reason), path, reason);
}

std::unique_ptr<Image> UprightPicture(std::unique_ptr<Image> picture, const std::string& path,
                                      std::string* reason) {
  if (!picture) return nullptr;
  // Opaque pictures go on at 3 bytes, as every strip without alpha is made.
  if (Opaque(*picture) && !ConvertDepth(*picture, 3)) picture.reset();
  if (picture && !FlipRows(*picture)) picture.reset();
  if (!picture) {
    SetReason(reason, "there is not enough memory to turn " + Quoted(path) + " upright");
  }
  return picture;
}

Rgb TopLeftColor(const Image& picture) {
  const std::vector<std::uint8_t> pixel = picture.ReadPixel(0, 0);
  return {pixel[0], pixel[1], pixel[2]};
}

bool NeedsEnlargement(const StripOptions& options, const SheetPlan& plan) {
  return options.method == TurnMethod::kRotSprite &&
         std::any_of(plan.placements.begin(), plan.placements.end(),
                     [](const Placement& p) { return p.angle % 90 != 0; });
}

bool PlanStrip(const Image& picture, const StripOptions& options, SheetPlan& plan,
               std::string* reason, const SheetSizeCheck& fits) {
  // A trimmed or packed sheet's size is known only once it is finished.
  return PlanSheet(picture.Width(), picture.Height(), GridOptions(options), options.alpha ? 4 : 3,
                   plan, reason, NeedsFinishing(options) ? SheetSizeCheck() : fits) &&
         (!NeedsEnlargement(options, plan) ||
          CheckEnlargement(picture.Width(), picture.Height(), reason));
}

std::unique_ptr<Image> MakeStrip(const Image& picture, const StripOptions& options,
                                 std::string* reason, SheetPlan* plan,
                                 const ProgressHook& progress) {
  SheetPlan own;
  SheetPlan& sheet = plan != nullptr ? *plan : own;
  if (!PlanStrip(picture, options, sheet, reason)) return nullptr;
  std::unique_ptr<Image> prepared;
  try {
    prepared = Prepared(picture, options.alpha, options.fill);
  } catch (const std::bad_alloc&) {
    SetReason(reason, "not enough memory to lay the picture over the fill");
    return nullptr;
  }
  const Image& source = prepared ? *prepared : picture;
  std::unique_ptr<Image> built = TurnIntoSheet(source, sheet, options, reason, progress, &picture);
  if (!NeedsFinishing(options)) return built;
  return FinishSheet(std::move(built), sheet, options, reason);
}

std::unique_ptr<Image> TurnIntoSheet(const Image& source, const SheetPlan& sheet,
                                     const StripOptions& options, std::string* reason,
                                     const ProgressHook& progress, const Image* unprepared) {
  if (options.method == TurnMethod::kLibrary) {
    // The library keeps global state: its turn runs in processes, not threads.
    LibraryTurner turner(source);
    return BuildSheet(
        source, sheet, options.fill,
        [&turner](const Image&, int degrees, const FrameCanvas& canvas, std::string* why) {
          return turner.Turn(degrees, canvas, why);
        },
        reason, nullptr, progress, WorkerPool::Wanted(options.threads));
  }
  try {
    WorkerPool pool(options.threads);
    const auto build = [&](const auto& turner) {
      return BuildSheet(
          source, sheet, options.fill,
          [&turner](const Image&, int degrees, const FrameCanvas& canvas, std::string*) {
            turner.Turn(degrees, canvas);
            return true;
          },
          reason, &pool, progress);
    };
    // Smooth turning blends, so it turns the picture with its own alpha and
    // lays each frame over the fill only once turned.
    if (options.method == TurnMethod::kSmooth) {
      return build(SmoothTurner(unprepared != nullptr ? *unprepared : source));
    }
    return build(PixelTurner(source, options.method, pool, NeedsEnlargement(options, sheet)));
  } catch (const std::system_error&) {
    SetReason(reason, "the threads to turn the frames on could not be started");
  } catch (const std::bad_alloc&) {
    SetReason(reason, "not enough memory to prepare " +
                          std::string(TurnMethodName(options.method)) + " turning");
  }
  return nullptr;
}

std::string TransparencyRefusal(const std::string& path, const SaveOptions& options) {
  const PictureFormatRow* format = PictureFormatOfPath(path);
  if (format != nullptr && format->write && !format->alpha) {
    return Quoted(path) + ": " + Extension(path) + " cannot hold transparency; save as " +
           PictureNameList(true, true);
  }
  // DevIL writes an 8-bit PNG of such a strip with no transparency chunk at
  // all, so every transparent pixel would show.
  if (options.eightBit) {
    return Quoted(path) + ": an 8-bit picture cannot hold transparency here; save it at full depth";
  }
  return {};
}

std::vector<SaveFailure> SaveStrip(const Image& strip, const std::string& path,
                                   const SaveOptions& options, const Rgb& fill,
                                   const SheetPlan* plan, const ProgressHook& progress,
                                   const Image* normalSheet) {
  std::vector<SaveFailure> failures;
  std::string reason;
  // The bytes count on from file to file; once told to stop, no further
  // file is begun.
  long long before = 0;
  long long seen = 0;
  ProgressHook counted;
  if (progress) {
    counted = [&](long long done, long long) {
      seen = before + done;
      return progress(seen, 0);
    };
  }
  const auto stopBefore = [&](bool mask, const std::string& next) {
    before = seen;
    if (!progress || progress(seen, 0)) return false;
    failures.push_back({SaveFailure::Kind::kNotWritten, mask, next, "the save was cancelled"});
    return true;
  };
  const bool alpha = strip.BytesPerPixel() == 4;
  if (alpha && !(reason = TransparencyRefusal(path, options)).empty()) {
    failures.push_back({SaveFailure::Kind::kNotWritten, false, path, reason});
    return failures;
  }
  // A mask or data file that cannot be written would fail only once the
  // strip is written, leaving a data file that describes another sheet:
  // none is written. (A strip that cannot be written fails at once.)
  std::vector<std::pair<bool, std::string>> later;
  if (normalSheet != nullptr) {
    const std::string normalPath = WithSuffix(path, options.normals.suffix);
    std::string problem = FolderOrNameProblem(normalPath);
    if (!problem.empty()) problem = Quoted(normalPath) + " cannot be written: " + problem;
    // The data file names it too.
    if (problem.empty() && options.data != DataFormat::kNone) {
      problem = SheetDataRefusal(options.data, normalPath, options.dataPath);
    }
    if (!problem.empty()) {
      failures.push_back({SaveFailure::Kind::kNotWritten, false, normalPath,
                          problem + "; the strip was not written either"});
      return failures;
    }
  }
  if (options.mask) later.push_back({true, MaskPath(path)});
  if (options.data != DataFormat::kNone) later.push_back({false, options.dataPath});
  for (const auto& [mask, output] : later) {
    std::string problem = FolderOrNameProblem(output);
    if (!problem.empty()) problem = Quoted(output) + " cannot be written: " + problem;
    if (problem.empty() && !mask) problem = SheetDataRefusal(options.data, path, output);
    if (!problem.empty()) {
      failures.push_back({SaveFailure::Kind::kNotWritten, mask, output,
                          problem + "; the strip was not written either"});
      return failures;
    }
  }
  // What was written, for the reason of a later failure.
  std::string kept;
  const auto failed = [&](SaveFailure::Kind kind, bool mask, const std::string& output,
                          const std::string& why) {
    failures.push_back({kind, mask, output, why + (kept.empty() ? "" : "; written: " + kept)});
  };
  const bool written = SaveImageFile(
      strip, path, WriteOptions{options.eightBit ? 1 : 0, options.compressed, fill, counted,
                                options.pngCompression},
      &reason);
  if (!written) failures.push_back({SaveFailure::Kind::kNotWritten, false, path, reason});
  if (written) kept = Quoted(path);
  // The normal sheet only beside a written strip, at full depth.
  std::string normalPath;
  if (written && normalSheet != nullptr &&
      !stopBefore(false, WithSuffix(path, options.normals.suffix))) {
    normalPath = WithSuffix(path, options.normals.suffix);
    if (!SaveImageFile(*normalSheet, normalPath,
                       WriteOptions{0, options.compressed, kFlatNormal, counted}, &reason)) {
      failed(SaveFailure::Kind::kNotWritten, false, normalPath, reason);
      normalPath.clear();
    } else {
      kept += ", " + Quoted(normalPath);
    }
  }
  if (options.mask && !stopBefore(true, MaskPath(path))) {
    const std::string maskPath = MaskPath(path);
    const std::unique_ptr<Image> mask = MakeMask(strip, fill.red, fill.green, fill.blue);
    if (!mask) {
      failed(SaveFailure::Kind::kMaskOutOfMemory, true, maskPath,
             "not enough memory to make the mask");
    } else if (!SaveImageFile(*mask, maskPath, WriteOptions{1, options.compressed, {}, counted},
                              &reason)) {
      failed(SaveFailure::Kind::kNotWritten, true, maskPath, reason);
    } else {
      kept += (kept.empty() ? "" : ", ") + Quoted(maskPath);
    }
  }
  // The data file names the strip, so it is written only once the strip is.
  const bool normalsWritten = normalSheet == nullptr || !normalPath.empty();
  if (written && normalsWritten && options.data != DataFormat::kNone &&
      !stopBefore(false, options.dataPath)) {
    if (plan == nullptr) {
      failures.push_back({SaveFailure::Kind::kNotWritten, false, options.dataPath,
                          Quoted(options.dataPath) + " was not written: the frames' layout is "
                                                     "not known"});
    } else if (!WriteSheetData(*plan, options.data,
                               {path, options.dataPath, alpha, options.fps,
                                plan->premultiplied, normalPath},
                               &reason)) {
      failed(SaveFailure::Kind::kNotWritten, false, options.dataPath, reason);
    }
  }
  return failures;
}
