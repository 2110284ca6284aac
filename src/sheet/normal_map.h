#pragma once

#include <memory>
#include <string>

#include "core/color.h"
#include "core/image.h"

// Normal maps turned with the ship: the pixels move as the ship's do, and
// the vectors they hold turn with them, so a fixed light still falls from
// the same side on every frame.

// Which way a normal map's green channel points: up, as most tools and
// OpenGL-based engines write them, or down.
enum class NormalY { kUp, kDown };

// The normal sheet made beside the colour sheet: off while `suffix` is
// empty. Each picture's map is its file name with `suffix` before the
// extension, and so is the normal sheet's.
struct NormalMapOptions {
  std::string suffix;
  NormalY y = NormalY::kUp;
  bool On() const { return !suffix.empty(); }
  bool operator==(const NormalMapOptions&) const = default;
};

// The flat normal, (0, 0, 1): what uncovered and transparent pixels hold.
inline constexpr Rgb kFlatNormal{128, 128, 255};

// `normalMap` (3 or 4 bytes a pixel, alpha ignored) at 4 bytes a pixel with
// alpha 255 everywhere, ready for the sheet builder: whatever the turn leaves
// uncovered then has alpha 0. Throws std::bad_alloc.
std::unique_ptr<Image> CoveredNormalMap(const Image& normalMap);

// Turns every vector of the frame at (x, y, width, height) of `normals` (4
// bytes a pixel, built from CoveredNormalMap) by `degrees`, the way the
// frame's pixels were turned, and renormalises it. Pixels left uncovered (alpha
// below half) and those `colour` (the colour sheet, same size) leaves wholly
// transparent become the flat normal with alpha 0; with a 3-byte colour sheet
// every other pixel is opaque, with a 4-byte one it takes the colour's alpha.
void TurnNormalVectors(Image& normals, const Image& colour, int x, int y, int width, int height,
                       int degrees, NormalY yAxis);

// The finished normal sheet at the colour sheet's depth: 3 bytes a pixel
// when the colour sheet has no alpha. Throws std::bad_alloc.
std::unique_ptr<Image> NormalSheetAtDepth(const Image& normals, int bytesPerPixel);
