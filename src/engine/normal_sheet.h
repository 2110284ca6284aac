#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/image.h"
#include "core/progress.h"
#include "engine/strip_pipeline.h"
#include "sheet/normal_map.h"
#include "sheet/sheet_plan.h"

// The normal sheet beside the colour sheet: each picture's normal map
// turned frame by frame exactly as the picture was, its vectors turned too.

// `path` with `suffix` before its extension: "ship.png" and "_n" make
// "ship_n.png"; a name without an extension just gains it.
std::string WithSuffix(const std::string& path, const std::string& suffix);

// The normal map of the picture at `input`, read upright: no image, with a
// reason naming its file, when it is missing, unreadable or not `width` x
// `height` pixels as the picture is.
std::unique_ptr<Image> ReadNormalMap(const std::string& input, int width, int height,
                                     const std::string& suffix, std::string* reason = nullptr);

// The normal sheet for `colourSheet`, laid out by its finished `plan`:
// each placement's full frame of normalMaps[placement.picture] turned by
// the colour sheet's method, the same part of it kept at the same place,
// every vector turned by the frame's angle, and extruded as the colour
// sheet is; at the colour sheet's depth. No image with a reason.
std::unique_ptr<Image> MakeNormalSheet(const std::vector<const Image*>& normalMaps,
                                       const Image& colourSheet, const SheetPlan& plan,
                                       const StripOptions& options, NormalY yAxis,
                                       std::string* reason = nullptr,
                                       const ProgressHook& progress = {});

// The normal sheet of the one picture at `input` (`width` x `height`), its
// map read as ReadNormalMap does and made as MakeNormalSheet does: for a
// colour sheet made before the map is looked for.
std::unique_ptr<Image> NormalSheetOf(const std::string& input, int width, int height,
                                     const Image& colourSheet, const SheetPlan& plan,
                                     const StripOptions& options, const NormalMapOptions& normals,
                                     std::string* reason = nullptr,
                                     const ProgressHook& progress = {});

// A reason when the normal map options contradict the rest of the save
// (the files it writes to `output`); empty when they do not.
std::string NormalMapProblem(const std::string& output, const SaveOptions& save);
