#include "bench_support.h"

#include <algorithm>
#include <ctime>
#include <cstdio>
#include <cstdlib>

#include "engine/strip_pipeline.h"
#include "io/image_io.h"

std::unique_ptr<Image> ReadOrExit(const std::string& path, int bytesPerPixel) {
  std::string reason;
  auto picture = LoadImageFile(path, bytesPerPixel, &reason);
  if (!picture) {
    std::fprintf(stderr, "%s\n", reason.c_str());
    std::exit(1);
  }
  FlipRows(*picture);
  return picture;
}

std::vector<std::uint8_t> PixelsIn(const Image& image, int x, int y, int width, int height) {
  const std::size_t bpp = std::size_t(image.BytesPerPixel());
  std::vector<std::uint8_t> pixels;
  for (int row = y; row < y + height; ++row) {
    const std::uint8_t* at = image.Pixels() + std::size_t(row) * image.RowBytes() + x * bpp;
    pixels.insert(pixels.end(), at, at + std::size_t(width) * bpp);
  }
  return pixels;
}

Image ScaledShip(const std::string& samplePath, int side) {
  const auto ship = ReadOrExit(samplePath, 3);
  Image scaled;
  scaled.Allocate("", side, side, 3);
  for (int y = 0; y < side; ++y) {
    for (int x = 0; x < side; ++x) {
      const auto pixel = ship->ReadPixel(x * ship->Width() / side, y * ship->Height() / side);
      std::copy(pixel.begin(), pixel.end(), scaled.Pixels() + (std::size_t(y) * side + x) * 3);
    }
  }
  return scaled;
}

double BestSeconds(int rounds, const std::function<void()>& work) {
  double best = 1e30;
  for (int i = 0; i < rounds; ++i) {
    const auto start = std::chrono::steady_clock::now();
    work();
    best = std::min(
        best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  return best;
}

std::unique_ptr<Image> ReadRgbaShipOrExit(const std::string& path) {
  std::string reason;
  auto ship = ReadPicture(path, &reason);
  if (!ship || ship->BytesPerPixel() != 4) {
    std::fprintf(stderr, "%s: %s\n", path.c_str(),
                 reason.empty() ? "no transparency" : reason.c_str());
    std::exit(1);
  }
  return ship;
}

Image ScaledRgbaShip(const Image& ship, int side) {
  Image scaled;
  scaled.Allocate("", side, side, ship.BytesPerPixel());
  for (int y = 0; y < side; ++y) {
    for (int x = 0; x < side; ++x) {
      const auto pixel = ship.ReadPixel(x * ship.Width() / side, y * ship.Height() / side);
      std::copy(pixel.begin(), pixel.end(),
                scaled.Pixels() + (std::size_t(y) * side + x) * ship.BytesPerPixel());
    }
  }
  return scaled;
}

double Shortest(const std::vector<double>& seconds) {
  return *std::min_element(seconds.begin(), seconds.end());
}

double Median(std::vector<double> seconds) {
  std::sort(seconds.begin(), seconds.end());
  return seconds[seconds.size() / 2];
}

double ProcessorSeconds(const std::function<void()>& work) {
  timespec start{}, end{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &start);
  work();
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &end);
  return double(end.tv_sec - start.tv_sec) + double(end.tv_nsec - start.tv_nsec) * 1e-9;
}
