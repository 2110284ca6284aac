#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/color.h"
#include "core/image.h"
#include "core/progress.h"
#include "sheet/sheet_plan.h"
#include "sheet/strip_options.h"
#include "turn/turn_frame.h"

// Many pictures, one sheet: a fleet, each picture turned through its own
// frames, or the frames of one animation, each turned by every angle.

// Reads every picture as ReadPicture does, with up to `processes` decoders
// at work at once (0: one per core). False with the reason of the first
// picture, in the order given, that could not be read; every picture
// otherwise.
bool ReadPictures(const std::vector<std::string>& paths,
                  std::vector<std::unique_ptr<Image>>& pictures, std::string* reason = nullptr,
                  int processes = 0);

// The name a picture's frames and animation take: its file name without
// the last extension.
std::string PictureStem(const std::string& path);

// Two paths whose stems are the same, as a message; empty when there are none.
std::string SameStemProblem(const std::vector<std::string>& paths);

// Pictures that are not all the size of the first, as a message naming the
// first that differs; empty when they are.
std::string SizeMismatchProblem(const std::vector<std::string>& paths,
                                const std::vector<const Image*>& pictures);

// The pictures' sizes, for PlanFleet.
std::vector<BlockSize> SizesOf(const std::vector<const Image*>& pictures);

// The sheet of `pictures` (as ReadPicture gives them) that `plan`, a
// PlanFleet of them, lays out: `fills[i]` picture i's fill. Every frame is
// the frame the picture's own sheet has at that angle; our own methods make
// the frames of all pictures on `options.threads` threads, the sheet the
// same for any number. No image with a reason naming the picture.
std::unique_ptr<Image> MakeFleetSheet(const std::vector<const Image*>& pictures,
                                      const std::vector<Rgb>& fills, const StripOptions& options,
                                      const SheetPlan& plan, std::string* reason = nullptr,
                                      const ProgressHook& progress = {});
