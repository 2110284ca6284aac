#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/strip_pipeline.h"
#include "sheet/sheet_plan.h"

// A job: pictures in, one sheet and its files out. gyrelle-cli runs one
// whole; the window checks the same rules where it makes a strip and where
// it saves one, so a rule lives here once.

struct Job {
  std::vector<std::string> inputs;  // the pictures' files; one today, none when held already
  std::string output;               // the sheet's file; empty while not yet chosen
  StripOptions strip;
  SaveOptions save;
  bool fillFromPicture = false;  // the fill is the first picture's top-left pixel
  bool animation = false;        // the inputs are the frames of one animation, not a fleet
};

struct JobProblem {
  enum class Kind {
    kNone,
    kOptions,  // the options contradict each other or the files named
    kTooLarge  // the planned sheet is more than the output's format holds
  };
  Kind kind = Kind::kNone;
  std::string text;  // one line saying why
  explicit operator bool() const { return kind != Kind::kNone; }
};

// The first rule `job` breaks: before any picture is read, the rules
// across its options and files; with the sheet's `plan` as well, whether
// the output's format holds it.
JobProblem ValidateJob(const Job& job, const SheetPlan* plan = nullptr);

// What a run left undone: each line says why; empty when every file was
// written.
struct JobResult {
  std::vector<std::string> failures;
  bool usageError = false;  // the pictures broke a rule: animation frames of several sizes
};

// A sheet made and not yet written: where its frames are, and the fill
// its mask follows.
struct JobSheet {
  std::unique_ptr<Image> sheet;
  SheetPlan plan;
  Rgb fill;
};

// The sheet of several pictures, or of the frames of an animation, read
// already: `pictures` in the order of `job.inputs`, whose names they take.
// Plans, checks the size, turns every frame; `progress` hears of frames
// made. Failures as RunJob's; `made` is set only when there are none.
JobResult MakeManySheet(const Job& job, const std::vector<const Image*>& pictures, JobSheet& made,
                        const ProgressHook& progress = {});

// Reads the picture, plans, checks the size, makes the sheet and writes its
// files; `progress` hears of frames made, then of bytes written, and may stop
// the work. The job must have passed ValidateJob.
JobResult RunJob(const Job& job, const ProgressHook& progress = {});
