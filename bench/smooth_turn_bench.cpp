// Smooth turning beside the other ways, in one run: rendered ships turned
// and turned back (peak signal to noise and how far the ship moved, beside
// ImageMagick's default distort), a 72-frame spin of an asymmetric shape
// (how far each frame's centre of mass lies from the exact turn's), a
// one-colour shape with soft edges (how far its edge colours stray), and the
// time of 64 frames of two 256 x 256 ships. Where pixman was found at build
// time, its Lanczos turn runs beside ours.

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "bench_support.h"
#include "engine/strip_pipeline.h"
#include "io/image_io.h"
#include "sheet/sheet_layout.h"
#include "turn/library_turn.h"
#include "turn/smooth_turn.h"
#include "turn/worker_pool.h"
#include "turn_measures.h"

#ifdef GYRELLE_WITH_PIXMAN
#include <pixman.h>
#endif

namespace {

// Turns a 4-byte picture by `degrees` onto a 4-byte canvas whose fill is
// transparent black.
using Turn = std::function<void(const Image& picture, int degrees, const FrameCanvas& canvas)>;

// The picture in the middle of a transparent square that holds it turned
// any way, so that no way of turning loses a corner.
Image Padded(const Image& picture) {
  const int side =
      int(std::ceil(std::hypot(picture.Width(), picture.Height()))) + 8 + picture.Width() % 2;
  Image padded;
  padded.Allocate("", side, side, 4);
  std::fill(padded.Pixels(), padded.Pixels() + padded.ByteSize(), 0);
  const int left = CentredStart(side, picture.Width()), top = CentredStart(side, picture.Height());
  for (int y = 0; y < picture.Height(); ++y) {
    std::copy_n(picture.Pixels() + std::size_t(y) * picture.RowBytes(), picture.RowBytes(),
                padded.Pixels() + (std::size_t(top + y) * side + left) * 4);
  }
  return padded;
}

Image TurnedBy(const Turn& turn, const Image& picture, int degrees) {
  Image frame;
  frame.Allocate("", picture.Width(), picture.Height(), 4);
  const std::vector<std::uint8_t> fillRow(frame.RowBytes(), 0);
  turn(picture, degrees,
       {frame.Pixels(), frame.Width(), frame.Height(), frame.RowBytes(), 4, fillRow.data()});
  return frame;
}

// Peak signal to noise over the premultiplied channels, in decibels.
double Psnr(const Image& a, const Image& b) {
  double sum = 0;
  const std::size_t count = std::size_t(a.Width()) * a.Height();
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t *p = a.Pixels() + i * 4, *q = b.Pixels() + i * 4;
    for (int c = 0; c < 3; ++c) {
      const double d = p[c] * p[3] / 255.0 - q[c] * q[3] / 255.0;
      sum += d * d;
    }
    sum += double(p[3] - q[3]) * (p[3] - q[3]);
  }
  return 10 * std::log10(255.0 * 255.0 / (sum / (count * 4.0)));
}

double Shift(const Image& a, const Image& b) {
  const FrameRect whole{0, 0, a.Width(), a.Height()};
  const Centre p = AlphaCentre(a, whole), q = AlphaCentre(b, whole);
  return std::hypot(p.x - q.x, p.y - q.y);
}

Turn Smooth(SmoothKernel kernel) {
  return [kernel](const Image& picture, int degrees, const FrameCanvas& canvas) {
    SmoothTurner(picture, kernel).Turn(degrees, canvas);
  };
}

void Library(const Image& picture, int degrees, const FrameCanvas& canvas) {
  std::string reason;
  if (!LibraryTurnFrame(picture, degrees, canvas, &reason)) {
    std::fprintf(stderr, "%s\n", reason.c_str());
    std::exit(1);
  }
}

#ifdef GYRELLE_WITH_PIXMAN
// pixman's own Lanczos-3 separable convolution on premultiplied 8-bit
// pixels, about the same centre as ours, unpremultiplied at the end.
void Pixman(const Image& picture, int degrees, const FrameCanvas& canvas) {
  const int width = picture.Width(), height = picture.Height();
  std::vector<std::uint32_t> source(std::size_t(width) * height);
  for (std::size_t i = 0; i < source.size(); ++i) {
    const std::uint8_t* p = picture.Pixels() + i * 4;
    const auto pre = [&](int c) { return std::uint32_t((p[c] * p[3] + 127) / 255); };
    source[i] = std::uint32_t(p[3]) << 24 | pre(0) << 16 | pre(1) << 8 | pre(2);
  }
  std::vector<std::uint32_t> frame(std::size_t(canvas.width) * canvas.height);
  pixman_image_t* from =
      pixman_image_create_bits(PIXMAN_a8r8g8b8, width, height, source.data(), width * 4);
  pixman_image_t* to = pixman_image_create_bits(PIXMAN_a8r8g8b8, canvas.width, canvas.height,
                                                frame.data(), canvas.width * 4);
  const double turn = WholeTurn(-degrees) * M_PI / 180;
  const double c = std::cos(turn), s = std::sin(turn);
  const double px = CentredStart(canvas.width, width) + width / 2.0;
  const double py = CentredStart(canvas.height, height) + height / 2.0;
  pixman_f_transform back = {
      {{c, s, width / 2.0 - c * px - s * py}, {-s, c, height / 2.0 + s * px - c * py}, {0, 0, 1}}};
  pixman_transform fixed;
  pixman_transform_from_pixman_f_transform(&fixed, &back);
  pixman_image_set_transform(from, &fixed);
  int count = 0;
  pixman_fixed_t* filter = pixman_filter_create_separable_convolution(
      &count, pixman_fixed_1, pixman_fixed_1, PIXMAN_KERNEL_LANCZOS3, PIXMAN_KERNEL_LANCZOS3,
      PIXMAN_KERNEL_IMPULSE, PIXMAN_KERNEL_IMPULSE, 8, 8);
  pixman_image_set_filter(from, PIXMAN_FILTER_SEPARABLE_CONVOLUTION, filter, count);
  std::free(filter);
  pixman_image_composite32(PIXMAN_OP_SRC, from, nullptr, to, 0, 0, 0, 0, 0, 0, canvas.width,
                           canvas.height);
  pixman_image_unref(from);
  pixman_image_unref(to);
  for (int y = 0; y < canvas.height; ++y) {
    std::uint8_t* out = canvas.pixels + std::size_t(y) * canvas.stride;
    for (int x = 0; x < canvas.width; ++x, out += 4) {
      const std::uint32_t p = frame[std::size_t(y) * canvas.width + x];
      const unsigned a = p >> 24;
      if (a == 0) {
        std::copy_n(canvas.fillRow + x * 4, 4, out);
        continue;
      }
      for (int i = 0; i < 3; ++i) {
        const unsigned v = (p >> (16 - 8 * i)) & 255;
        out[i] = std::uint8_t(std::min(255u, (v * 255 + a / 2) / a));
      }
      out[3] = std::uint8_t(a);
    }
  }
}
#endif

struct Way {
  const char* name;
  Turn turn;
};

std::vector<Way> Ways() {
  std::vector<Way> ways = {{"smooth (Lanczos-3)", Smooth(SmoothKernel::kLanczos3)},
                           {"  with Lanczos-2", Smooth(SmoothKernel::kLanczos2)},
                           {"  with Catmull-Rom", Smooth(SmoothKernel::kCatmullRom)},
                           {"library", Library}};
#ifdef GYRELLE_WITH_PIXMAN
  ways.push_back({"pixman Lanczos-3", Pixman});
#endif
  return ways;
}

// Turned and back by ImageMagick's default distort, through files.
std::unique_ptr<Image> MagickRoundTrip(const Image& picture, int degrees) {
  const std::string folder = std::filesystem::temp_directory_path() / "gyrelle-smooth-bench";
  std::filesystem::create_directories(folder);
  const std::string in = folder + "/in.png", out = folder + "/out.png";
  if (!SaveImageFile(picture, in)) return nullptr;
  const std::string command = "convert " + in + " -distort SRT " + std::to_string(degrees) +
                              " -distort SRT " + std::to_string(-degrees) + " " + out;
  if (std::system(command.c_str()) != 0) return nullptr;
  auto back = LoadImageFile(out, 4);
  if (back) FlipRows(*back);
  std::filesystem::remove_all(folder);
  return back;
}

void RoundTrips() {
  std::printf(
      "Turned by A and back, peak signal to noise in dB (premultiplied RGBA) "
      "and centre shift in px:\n");
  const char* ships[] = {"peacemaker.png", "kestrel.png", "peacemaker-top.png"};
  const std::vector<Way> ways = Ways();
  std::printf("  %-18s %4s", "ship", "A");
  for (const Way& way : ways) std::printf(" %20s", way.name);
  std::printf(" %20s\n", "ImageMagick distort");
  for (const char* name : ships) {
    const Image ship = Padded(*ReadOrExit(std::string(GYRELLE_SHIPS_DIR "/") + name, 4));
    for (int degrees : {13, 30, 45}) {
      std::printf("  %-18s %4d", name, degrees);
      for (const Way& way : ways) {
        const Image back = TurnedBy(way.turn, TurnedBy(way.turn, ship, degrees), -degrees);
        std::printf("      %6.2f dB %4.2f", Psnr(ship, back), Shift(ship, back));
      }
      const auto magick = MagickRoundTrip(ship, degrees);
      if (magick) {
        std::printf("      %6.2f dB %4.2f\n", Psnr(ship, *magick), Shift(ship, *magick));
      } else {
        std::printf("     (convert not found)\n");
      }
    }
  }
}

std::unique_ptr<Image> Sheet(const Image& picture, TurnMethod method, int frames, int threads,
                             SheetPlan& plan, bool alpha = true) {
  StripOptions options;
  options.frames = frames;
  options.alpha = alpha;
  options.frameSize.kind = FrameSize::Kind::kFit;
  options.method = method;
  options.threads = threads;
  options.fill = {0, 0, 0};
  std::string reason;
  auto sheet = MakeStrip(picture, options, &reason, &plan);
  if (!sheet) {
    std::fprintf(stderr, "%s\n", reason.c_str());
    std::exit(1);
  }
  return sheet;
}

void Spin() {
  const Rgb colour{200, 60, 30};
  const Image shape = SoftShape(64, 47, colour);
  const Centre upright = AlphaCentre(shape, {0, 0, shape.Width(), shape.Height()});
  std::printf("\n72 frames of a 64 x 47 asymmetric soft shape, --alpha --frame-size fit:\n");
  std::printf("  %-10s %14s %14s %16s\n", "method", "mean miss px", "worst miss px",
              "worst fringe lv");
  for (TurnMethod method :
       {TurnMethod::kSmooth, TurnMethod::kLibrary, TurnMethod::kRotSprite, TurnMethod::kShear}) {
    SheetPlan plan;
    const auto sheet = Sheet(shape, method, 72, 0, plan);
    double total = 0, worst = 0;
    for (int k = 0; k < plan.Frames(); ++k) {
      const Centre got = AlphaCentre(*sheet, plan.Frame(k));
      const Centre want =
          TurnedCentre(upright, shape.Width(), shape.Height(), plan.angles[std::size_t(k)],
                       plan.frameWidth, plan.frameHeight);
      const double miss = std::hypot(got.x - want.x, got.y - want.y);
      total += miss;
      worst = std::max(worst, miss);
    }
    std::printf("  %-10s %14.4f %14.4f %16d\n", TurnMethodName(method).data(),
                total / plan.Frames(), worst, FringeLevels(*sheet, colour));
  }
#ifdef GYRELLE_WITH_PIXMAN
  int fringe = 0;
  for (int degrees = 0; degrees < 360; degrees += 5) {
    fringe = std::max(fringe, FringeLevels(TurnedBy(Pixman, Padded(shape), degrees), colour));
  }
  std::printf("  %-10s %14s %14s %16d\n", "pixman", "", "", fringe);
#endif
}

struct Timing {
  const char* name;
  std::function<void()> work;
  std::vector<double> seconds;
  double Best() const { return Shortest(seconds); }
  double Median() const { return ::Median(seconds); }
};

// Windows that meet none of the ship are skipped, so a ship on an opaque
// background, where every one is filtered, is timed too.
void Speed(int rounds, const char* name, const Image* ship) {
  const auto strip = [&](TurnMethod method, int threads) {
    return [ship, method, threads] {
      StripOptions options;
      options.frames = 64;
      options.fill = TopLeftColor(*ship);
      options.method = method;
      options.threads = threads;
      if (!MakeStrip(*ship, options)) std::exit(1);
    };
  };
  // Our filter against pixman's, the turning alone, one thread.
  const auto frames = [&](const Turn& turn) {
    return [ship, turn] {
      Image frame;
      frame.Allocate("", ship->Width(), ship->Height(), 4);
      const std::vector<std::uint8_t> fillRow(frame.RowBytes(), 0);
      for (int k = 0; k < 64; ++k) {
        turn(*ship, k * 360 / 64,
             {frame.Pixels(), frame.Width(), frame.Height(), frame.RowBytes(), 4, fillRow.data()});
      }
    };
  };
  std::vector<Timing> timings = {{"library", strip(TurnMethod::kLibrary, 1), {}},
                                 {"smooth, 1 thread", strip(TurnMethod::kSmooth, 1), {}},
                                 {"smooth, 2 threads", strip(TurnMethod::kSmooth, 2), {}},
                                 {"own filter alone", frames(Smooth(kSmoothKernel)), {}}};
#ifdef GYRELLE_WITH_PIXMAN
  timings.push_back({"pixman filter alone", frames(Pixman), {}});
#endif
  for (int round = 0; round < rounds; ++round) {
    for (Timing& timing : timings) {
      const auto start = std::chrono::steady_clock::now();
      timing.work();
      timing.seconds.push_back(
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
  }
  std::printf("\n64 frames of %s, %d rounds, %d cores:\n", name, rounds, WorkerPool::Cores());
  for (const Timing& timing : timings) {
    std::printf("  %-22s best %8.1f ms  median %8.1f ms\n", timing.name, timing.Best() * 1e3,
                timing.Median() * 1e3);
  }
  const Timing &library = timings[0], &one = timings[1], &two = timings[2];
  std::printf("smooth, 2 threads / library:   best %5.2f  median %5.2f  (must be <= 3)\n",
              two.Best() / library.Best(), two.Median() / library.Median());
  std::printf("smooth, 1 thread / library:    best %5.2f  median %5.2f\n",
              one.Best() / library.Best(), one.Median() / library.Median());
  std::printf("smooth, 1 thread / 2 threads:  best %5.2f  median %5.2f  (must be >= 1.6)\n",
              one.Best() / two.Best(), one.Median() / two.Median());
#ifdef GYRELLE_WITH_PIXMAN
  std::printf("pixman / own filter alone:     best %5.2f  median %5.2f\n",
              timings[4].Best() / timings[3].Best(), timings[4].Median() / timings[3].Median());
#endif
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
  InitImageLibrary();
  RoundTrips();
  Spin();
  const auto ship = ReadOrExit(GYRELLE_SHIPS_DIR "/peacemaker.png", 4);
  Speed(rounds, "the 256 x 256 peacemaker.png", ship.get());
  // Laid over black: opaque.
  for (std::size_t i = 3; i < ship->ByteSize(); i += 4) {
    for (int c = 1; c <= 3; ++c)
      ship->Pixels()[i - c] = std::uint8_t(ship->Pixels()[i - c] * ship->Pixels()[i] / 255);
    ship->Pixels()[i] = 255;
  }
  Speed(rounds, "peacemaker.png laid over black, opaque", ship.get());
}
