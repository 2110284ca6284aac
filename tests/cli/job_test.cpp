#include <gtest/gtest.h>

#include <fstream>

#include "../image/test_support.h"
#include "engine/job.h"

namespace {

using Kind = JobProblem::Kind;

TEST(ValidateJob, HoldsTheRulesAcrossOptionsAndFiles) {
  TempDir dir;
  const std::string input = dir / "ship.png";
  std::ofstream(input) << "x";
  const Job fine{{input}, dir / "s.tga", {.frames = 4, .columns = 4}, {}, false};
  EXPECT_FALSE(ValidateJob(fine));
  const auto kind = [&fine](auto change, const SheetPlan* plan = nullptr) {
    Job job = fine;
    change(job);
    return ValidateJob(job, plan).kind;
  };
  EXPECT_EQ(kind([](Job& j) { j.strip.columns = 5; }), Kind::kOptions);
  EXPECT_EQ(kind([](Job& j) { j.strip.columns = 5, j.strip.maxSize = 99; }), Kind::kNone);
  EXPECT_EQ(kind([](Job& j) { j.output = "s.jpg"; }), Kind::kOptions);
  EXPECT_EQ(kind([](Job& j) { j.strip.alpha = true, j.output = "s.pcx"; }), Kind::kOptions);
  EXPECT_EQ(kind([](Job& j) { j.strip.alpha = true, j.save.eightBit = true; }), Kind::kOptions);
  std::ofstream(dir / "s-mask.BMP") << "x";
  EXPECT_EQ(kind([&](Job& j) { j.save.mask = true, j.inputs = {dir / "s-mask.BMP"}; }),
            Kind::kOptions);
  EXPECT_EQ(kind([&](Job& j) { j.save = {.data = DataFormat::kJsonHash, .dataPath = input}; }),
            Kind::kOptions);
  EXPECT_EQ(kind([&](Job& j) { j.save = {.data = DataFormat::kJsonArray, .dataPath = "a.JSON"}; }),
            Kind::kNone);
  // The sheet's size against its format, once it is planned.
  SheetPlan plan;
  plan.width = 40, plan.height = 65536;
  EXPECT_EQ(kind([](Job&) {}, &plan), Kind::kTooLarge);
  EXPECT_EQ(kind([](Job& j) { j.output = "s.png"; }, &plan), Kind::kNone);
}

}  // namespace
