#include "engine/job.h"

#include <filesystem>
#include <system_error>

#include "engine/fleet_pipeline.h"
#include "engine/normal_sheet.h"
#include "io/image_io.h"
#include "io/picture_formats.h"
#include "sheet/data_formats.h"
#include "sheet/fleet_layout.h"
#include "sheet/sheet_finish.h"
#include "sheet/sheet_data.h"
#include "sheet/sheet_layout.h"

namespace {

JobProblem Problem(std::string text, JobProblem::Kind kind = JobProblem::Kind::kOptions) {
  return {kind, std::move(text)};
}

// What several pictures rule out, before any is read; empty when nothing.
std::string ManyPicturesProblem(const Job& job) {
  if (job.inputs.size() < 2 && !job.animation) return {};
  if (!job.animation) {
    if (std::string problem = SameStemProblem(job.inputs); !problem.empty()) return problem;
  } else if (job.strip.maxSize == 0 && job.strip.columns > int(job.inputs.size())) {
    return std::to_string(job.strip.columns) + " columns are more than the " +
           std::to_string(job.inputs.size()) + " frames of the animation";
  }
  // Each picture has its own fill; a mask keyed to a colour needs one.
  if (job.save.mask && !job.strip.alpha && job.fillFromPicture && job.inputs.size() > 1) {
    return "a mask of several pictures without transparency needs one fill color for it to "
           "follow (--fill)";
  }
  return {};
}

JobResult SaveFailures(const std::vector<SaveFailure>& failures) {
  JobResult result;
  for (const SaveFailure& failure : failures) {
    result.failures.push_back(failure.kind == SaveFailure::Kind::kMaskOutOfMemory
                                  ? Quoted(failure.path) + ": " + failure.reason
                                  : failure.reason);
  }
  return result;
}

// Several pictures, or the frames of an animation, in one sheet.
JobResult RunFleetJob(const Job& job, const ProgressHook& progress) {
  std::string reason;
  std::vector<std::unique_ptr<Image>> read;
  if (!ReadPictures(job.inputs, read, &reason, job.strip.threads)) return {{reason}};
  std::vector<const Image*> pictures;
  for (const auto& picture : read) pictures.push_back(picture.get());
  // Every picture's normal map is read before anything is made.
  std::vector<std::unique_ptr<Image>> normalMaps;
  std::vector<const Image*> maps;
  for (std::size_t i = 0; job.save.normals.On() && i < read.size(); ++i) {
    normalMaps.push_back(ReadNormalMap(job.inputs[i], read[i]->Width(), read[i]->Height(),
                                       job.save.normals.suffix, &reason));
    if (!normalMaps.back()) return {{reason}};
    maps.push_back(normalMaps.back().get());
  }
  JobSheet made;
  if (JobResult failed = MakeManySheet(job, pictures, made, progress); !failed.failures.empty()) {
    return failed;
  }
  read.clear();  // the sheet is what is written; give the pictures' memory back
  std::unique_ptr<Image> normalSheet;
  if (!maps.empty()) {
    StripOptions strip = job.strip;
    strip.fill = made.fill;
    normalSheet =
        MakeNormalSheet(maps, *made.sheet, made.plan, strip, job.save.normals.y, &reason, progress);
    if (!normalSheet) return {{"the normal sheet: " + reason}};
  }
  return SaveFailures(SaveStrip(*made.sheet, job.output, job.save, made.fill, &made.plan, progress,
                                normalSheet.get()));
}

}  // namespace

JobProblem ValidateJob(const Job& job, const SheetPlan* plan) {
  if (const std::string grid = GridProblem(job.strip); !grid.empty()) return Problem(grid);
  const SaveOptions& save = job.save;
  if (save.data != DataFormat::kNone) {
    const DataFormatRow* data = DataFormatRowOf(save.data);
    if (Extension(save.dataPath) != Extension(std::string(".") + data->extension)) {
      return Problem(std::string("the data file must end in .") + data->extension + ", not " +
                     Quoted(save.dataPath));
    }
  }
  if (const std::string many = ManyPicturesProblem(job); !many.empty()) return Problem(many);
  if (job.output.empty()) return {};
  const PictureFormatRow* format = PictureFormatOfPath(job.output);
  if (format == nullptr || !format->write) {
    return Problem(Quoted(job.output) + " must end in " + PictureExtensionList(true));
  }
  // Writing over an input would destroy a picture the sheet is made from.
  std::vector<std::string> targets{job.output};
  if (save.mask) targets.push_back(MaskPath(job.output));
  if (std::string normals = NormalMapProblem(job.output, save); !normals.empty()) {
    return Problem(std::move(normals));
  }
  if (save.normals.On()) targets.push_back(WithSuffix(job.output, save.normals.suffix));
  if (save.data != DataFormat::kNone) targets.push_back(save.dataPath);
  for (const std::string& input : job.inputs) {
    for (const std::string& target : targets) {
      std::error_code error;
      if (std::filesystem::equivalent(input, target, error)) {
        return Problem(Quoted(target) + (job.inputs.size() == 1 ? " is INPUT" : " is an INPUT") +
                       " itself and would be overwritten");
      }
      if (save.normals.On() &&
          std::filesystem::equivalent(WithSuffix(input, save.normals.suffix), target, error)) {
        return Problem(Quoted(target) + " is INPUT's normal map and would be overwritten");
      }
    }
  }
  if (job.strip.alpha) {
    if (std::string refusal = TransparencyRefusal(job.output, save); !refusal.empty()) {
      return Problem(std::move(refusal));
    }
  }
  // A fleet's frames are named after its pictures; an animation's after OUTPUT.
  std::vector<std::string> stems;
  if (job.inputs.size() > 1 && !job.animation) {
    for (const std::string& input : job.inputs) {
      stems.push_back(PictureStem(input));
    }
  }
  if (std::string refusal = SheetDataRefusal(save.data, job.output, save.dataPath, stems);
      !refusal.empty()) {
    return Problem(std::move(refusal));
  }
  if (plan != nullptr) {
    std::string tooLarge =
        SaveSizeProblem(job.output, plan->width, plan->height, job.strip.alpha ? 4 : 3);
    if (!tooLarge.empty()) return Problem(std::move(tooLarge), JobProblem::Kind::kTooLarge);
  }
  return {};
}

JobResult MakeManySheet(const Job& job, const std::vector<const Image*>& pictures, JobSheet& made,
                        const ProgressHook& progress) {
  std::string reason;
  std::vector<std::string> stems;
  std::vector<Rgb> fills;
  for (std::size_t i = 0; i < pictures.size(); ++i) {
    stems.push_back(PictureStem(job.inputs[i]));
    fills.push_back(job.fillFromPicture ? TopLeftColor(*pictures[i]) : job.strip.fill);
  }
  if (job.animation) {
    if (std::string problem = SizeMismatchProblem(job.inputs, pictures); !problem.empty()) {
      return {{std::move(problem)}, true};
    }
  }
  StripOptions strip = job.strip;
  strip.fill = fills.front();
  SheetPlan plan;
  if (!PlanFleet(SizesOf(pictures), stems, GridOptions(strip), job.animation, plan, &reason)) {
    return {{reason}};
  }
  // A packed sheet's size is known only once its frames are.
  if (const JobProblem problem = ValidateJob(job, strip.pack ? nullptr : &plan)) {
    return {{problem.text}};
  }
  auto sheet = MakeFleetSheet(pictures, fills, strip, plan, &reason, progress);
  if (sheet && NeedsFinishing(strip)) {
    sheet = FinishSheet(std::move(sheet), plan, strip, &reason, fills);
  }
  if (!sheet) return {{reason}};
  if (strip.pack) {
    if (const JobProblem problem = ValidateJob(job, &plan)) return {{problem.text}};
  }
  made = {std::move(sheet), std::move(plan), strip.fill};
  return {};
}

JobResult RunJob(const Job& job, const ProgressHook& progress) {
  if (job.inputs.empty()) return {{"there is no picture to turn"}};
  if (job.inputs.size() > 1 || job.animation) return RunFleetJob(job, progress);
  const std::string& input = job.inputs.front();
  std::string reason;
  auto picture = ReadPicture(input, &reason);
  if (!picture) return {{reason}};
  StripOptions strip = job.strip;
  if (job.fillFromPicture) strip.fill = TopLeftColor(*picture);
  // A sheet its format cannot hold is refused before it is made.
  SheetPlan plan;
  // Its sides are checked against the output's format before any frame's
  // angle is stored.
  std::string tooLarge;
  const auto fits = [&](int width, int height) {
    return tooLarge = SaveSizeProblem(job.output, width, height, strip.alpha ? 4 : 3);
  };
  if (!PlanStrip(*picture, strip, plan, &reason, fits)) {
    return {{tooLarge.empty() ? Quoted(input) + ": " + reason : tooLarge}};
  }
  // A packed sheet's size is known only once its frames are.
  if (const JobProblem problem = ValidateJob(job, strip.pack ? nullptr : &plan)) {
    return {{problem.text}};
  }
  // Every normal map is checked before anything is made or written; one a
  // picture, so a sheet of several pictures needs only this list filled.
  std::vector<std::unique_ptr<Image>> normalMaps;
  if (job.save.normals.On()) {
    normalMaps.push_back(ReadNormalMap(input, picture->Width(), picture->Height(),
                                          job.save.normals.suffix, &reason));
    if (!normalMaps.back()) return {{reason}};
  }
  auto sheet = MakeStrip(*picture, strip, &reason, &plan, progress);
  if (!sheet) return {{Quoted(input) + ": " + reason}};
  if (strip.pack) {
    if (const JobProblem problem = ValidateJob(job, &plan)) return {{problem.text}};
  }
  picture.reset();  // the sheet is what is written; give its memory back
  std::unique_ptr<Image> normalSheet;
  if (!normalMaps.empty()) {
    std::vector<const Image*> maps;
    for (const auto& map : normalMaps) maps.push_back(map.get());
    normalSheet = MakeNormalSheet(maps, *sheet, plan, strip, job.save.normals.y, &reason, progress);
    normalMaps.clear();
    if (!normalSheet) return {{Quoted(WithSuffix(input, job.save.normals.suffix)) + ": " + reason}};
  }
  return SaveFailures(SaveStrip(*sheet, job.output, job.save, strip.fill, &plan, progress,
                                normalSheet.get()));
}
