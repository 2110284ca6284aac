#include "engine/job.h"

#include <filesystem>
#include <system_error>

#include "engine/normal_sheet.h"
#include "io/image_io.h"
#include "io/picture_formats.h"
#include "sheet/data_formats.h"
#include "sheet/sheet_data.h"
#include "sheet/sheet_layout.h"

namespace {

JobProblem Problem(std::string text, JobProblem::Kind kind = JobProblem::Kind::kOptions) {
  return {kind, std::move(text)};
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
        return Problem(Quoted(target) + " is INPUT itself and would be overwritten");
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
  if (std::string refusal = SheetDataRefusal(save.data, job.output, save.dataPath);
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

JobResult RunJob(const Job& job, const ProgressHook& progress) {
  JobResult result;
  if (job.inputs.empty()) return {{"there is no picture to turn"}};
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
  for (const SaveFailure& failure : SaveStrip(*sheet, job.output, job.save, strip.fill, &plan,
                                              progress, normalSheet.get())) {
    result.failures.push_back(failure.kind == SaveFailure::Kind::kMaskOutOfMemory
                                  ? Quoted(failure.path) + ": " + failure.reason
                                  : failure.reason);
  }
  return result;
}
