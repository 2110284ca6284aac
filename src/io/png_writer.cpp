// PNG files from the format's public description, compressed the way
// parallel gzip tools do it: each band of rows its own deflate run, made on
// its own thread, the runs joined into one zlib stream. For fast and
// default, ISA-L's or zlib's deflater makes each run and ends every band but
// the last with a sync flush, which leaves it open and on a byte, so the
// runs join as they are.
// For small, libdeflate makes each run (much smaller at its high levels,
// which zlib has not); zlib's inflater then finds where each run's last
// block begins and ends, so that its last-block bit can be cleared and the
// run padded to a byte with an empty stored block. The Adler-32 sums of the
// bands are combined. Filters look back one row only, and the first row of a band is
// filtered against the last row of the band before, as in one stream.

#include "io/png_writer.h"

#include <isa-l/igzip_lib.h>
#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>


namespace {

// Each band about this many filtered bytes: long enough that starting each
// run with no history costs little, short enough to share out.
constexpr std::size_t kBandBytes = std::size_t(4) << 20;

// How the rows are filtered before deflating.
enum class Filtering {
  kNone,    // as they are: sheets are mostly runs of the fill, which filters only break up
  kChosen,  // per band, as they are or each row by the smallest signed sum, whichever
            // deflates smaller at the trial level
};

// Which deflater makes the runs.
enum class Deflater { kIsal, kZlib, kLibdeflate };

struct CompressionSetting {
  PngCompression compression;
  const char* name;
  Deflater deflater;
  int level;  // the deflater's own
  Filtering filtering;
  std::uint8_t zlibLevel;  // FLEVEL of the zlib header: 1 fast ... 3 smallest
};

// Chosen by measuring sheets of turned ships, blocky and rendered
// (bench/big_sheet_bench): see README. ISA-L's level 1 deflates such sheets
// about six times as fast as zlib's, a few percent larger. zlib's levels 1 to
// 3 take about the same time, 3 much the smallest of them, under the
// library's size; from 4 zlib searches lazily, at nearly twice the time.
// libdeflate's 10 is the first level much smaller than its 6, at twenty
// times the time.
constexpr CompressionSetting kSettings[] = {
    {PngCompression::kFast, "fast", Deflater::kIsal, 1, Filtering::kNone, 1},
    {PngCompression::kDefault, "default", Deflater::kZlib, 3, Filtering::kNone, 2},
    {PngCompression::kSmall, "small", Deflater::kLibdeflate, 10, Filtering::kChosen, 3},
};
constexpr int kTrialLevel = 6;

const CompressionSetting& SettingOf(PngCompression compression) {
  for (const CompressionSetting& setting : kSettings) {
    if (setting.compression == compression) return setting;
  }
  return kSettings[1];
}

void PutBig32(std::uint8_t* at, std::uint32_t value) {
  at[0] = std::uint8_t(value >> 24);
  at[1] = std::uint8_t(value >> 16);
  at[2] = std::uint8_t(value >> 8);
  at[3] = std::uint8_t(value);
}

bool Write(std::FILE* file, const void* bytes, std::size_t size) {
  return size == 0 || std::fwrite(bytes, 1, size, file) == size;
}

// One chunk: length, type, the parts of its data in order, CRC.
bool WriteChunk(std::FILE* file, const char* type,
                std::initializer_list<std::pair<const std::uint8_t*, std::size_t>> parts) {
  std::size_t length = 0;
  for (const auto& part : parts) length += part.second;
  std::uint8_t head[8];
  PutBig32(head, std::uint32_t(length));
  std::memcpy(head + 4, type, 4);
  std::uint32_t crc = libdeflate_crc32(0, head + 4, 4);
  if (!Write(file, head, 8)) return false;
  for (const auto& part : parts) {
    crc = libdeflate_crc32(crc, part.first, part.second);
    if (!Write(file, part.first, part.second)) return false;
  }
  std::uint8_t tail[4];
  PutBig32(tail, crc);
  return Write(file, tail, 4);
}

// The five row filters. Written without branches in the loops so the
// compiler can work many bytes at a time; `prev` is a row of zeros above the
// first row.
void FilterNone(std::uint8_t* out, const std::uint8_t* cur, std::size_t n) {
  std::memcpy(out, cur, n);
}

void FilterSub(std::uint8_t* __restrict out, const std::uint8_t* __restrict cur, std::size_t n,
               int bpp) {
  for (std::size_t i = 0; i < std::size_t(bpp) && i < n; ++i) out[i] = cur[i];
  for (std::size_t i = std::size_t(bpp); i < n; ++i) out[i] = std::uint8_t(cur[i] - cur[i - bpp]);
}

void FilterUp(std::uint8_t* __restrict out, const std::uint8_t* __restrict cur,
              const std::uint8_t* __restrict prev, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) out[i] = std::uint8_t(cur[i] - prev[i]);
}

void FilterAverage(std::uint8_t* __restrict out, const std::uint8_t* __restrict cur,
                   const std::uint8_t* __restrict prev, std::size_t n, int bpp) {
  for (std::size_t i = 0; i < std::size_t(bpp) && i < n; ++i) out[i] = std::uint8_t(cur[i] - (prev[i] >> 1));
  for (std::size_t i = std::size_t(bpp); i < n; ++i) {
    out[i] = std::uint8_t(cur[i] - ((unsigned(cur[i - bpp]) + prev[i]) >> 1));
  }
}

void FilterPaeth(std::uint8_t* __restrict out, const std::uint8_t* __restrict cur,
                 const std::uint8_t* __restrict prev, std::size_t n, int bpp) {
  for (std::size_t i = 0; i < std::size_t(bpp) && i < n; ++i) out[i] = std::uint8_t(cur[i] - prev[i]);
  for (std::size_t i = std::size_t(bpp); i < n; ++i) {
    const int a = cur[i - bpp], b = prev[i], c = prev[i - bpp];
    const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
    const int predicted = (pa <= pb && pa <= pc) ? a : (pb <= pc ? b : c);
    out[i] = std::uint8_t(cur[i] - predicted);
  }
}

// The usual measure of how well a filtered row will compress: the sum of
// its bytes read as signed.
std::uint64_t SignedSum(const std::uint8_t* row, std::size_t n) {
  std::uint64_t sum = 0;
  for (std::size_t i = 0; i < n; ++i) sum += unsigned(std::abs(int(std::int8_t(row[i]))));
  return sum;
}

// Runs job(0) .. job(count - 1) on up to `threads` threads, this one among
// them; the first exception a job throws is thrown here once all have ended.
void RunOnThreads(int threads, int count, const std::function<void(int)>& job) {
  std::atomic<int> next = 0;
  std::mutex failureMutex;
  std::exception_ptr failure;
  const auto work = [&] {
    for (int i; (i = next++) < count;) {
      try {
        job(i);
      } catch (...) {
        const std::lock_guard<std::mutex> lock(failureMutex);
        if (!failure) failure = std::current_exception();
      }
    }
  };
  std::vector<std::thread> helpers;
  try {
    for (int t = 1; t < std::min(threads, count); ++t) helpers.emplace_back(work);
  } catch (...) {
    next = count;
    for (std::thread& helper : helpers) helper.join();
    throw;
  }
  work();
  for (std::thread& helper : helpers) helper.join();
  if (failure) std::rethrow_exception(failure);
}

// What one thread needs for a band, kept between bands.
struct Scratch {
  std::vector<std::uint8_t> filtered;
  std::vector<std::uint8_t> other;     // the rows filtered the other way, when choosing
  std::vector<std::uint8_t> tried;     // the five filters of one row
  std::vector<std::uint8_t> deflated;  // room for the longest run
  libdeflate_compressor* compressor = nullptr;
  libdeflate_compressor* trial = nullptr;
  std::optional<z_stream> deflater;
  std::vector<std::uint8_t> isalLevelRoom;  // ISA-L's working memory for its level
  ~Scratch() {
    libdeflate_free_compressor(compressor);
    libdeflate_free_compressor(trial);
    if (deflater) deflateEnd(&*deflater);
  }
};

class ScratchShelf {
 public:
  std::unique_ptr<Scratch> Take() {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (shelf_.empty()) return std::make_unique<Scratch>();
    std::unique_ptr<Scratch> scratch = std::move(shelf_.back());
    shelf_.pop_back();
    return scratch;
  }
  void Give(std::unique_ptr<Scratch> scratch) {
    const std::lock_guard<std::mutex> lock(mutex_);
    shelf_.push_back(std::move(scratch));
  }

 private:
  std::mutex mutex_;
  std::vector<std::unique_ptr<Scratch>> shelf_;
};

struct Band {
  std::vector<std::uint8_t> deflated;
  std::uint32_t adler = 1;
  std::size_t rawBytes = 0;
  bool failed = false;
};

// Makes the deflate run `run`, which inflates to `rawBytes` bytes, one that
// a further run may follow: its last block's last-block bit cleared, then
// an empty stored block, which ends on a byte. `scratch` takes the inflated
// bytes. False when the run is not what was made.
bool OpenEnd(std::vector<std::uint8_t>& run, std::uint8_t* scratch, std::size_t rawBytes) {
  if (run.empty()) return false;
  z_stream stream{};
  if (inflateInit2(&stream, -15) != Z_OK) throw std::bad_alloc();
  stream.next_in = run.data();
  stream.avail_in = uInt(run.size());
  stream.next_out = scratch;
  stream.avail_out = uInt(rawBytes);
  // Each block begins with its last-block bit: the first at bit 0.
  bool last = (run[0] & 1) != 0;
  run[0] &= 0xFE;
  bool ended = false;
  for (;;) {
    if (inflate(&stream, Z_BLOCK) != Z_OK) break;
    if ((stream.data_type & 128) == 0) continue;
    if (last) {
      ended = true;
      break;
    }
    // Stopped at the end of a block: the next block's first bit follows.
    const int unused = stream.data_type & 7;
    std::uint8_t* byte = unused != 0 ? stream.next_in - 1 : stream.next_in;
    if (unused == 0 && stream.avail_in == 0) break;
    const std::uint8_t bit = std::uint8_t(unused != 0 ? 0x100 >> unused : 1);
    last = (*byte & bit) != 0;
    *byte &= std::uint8_t(~bit);
  }
  const int unused = stream.data_type & 7;
  ended = ended && stream.avail_in == 0 && stream.total_out == rawBytes;
  inflateEnd(&stream);
  if (!ended) return false;
  // The stored block's three header bits: in the spare bits of the last
  // byte when there are three, else into one more byte. Then its length 0.
  if (unused < 3) run.push_back(0);
  for (std::uint8_t byte : {0x00, 0x00, 0xFF, 0xFF}) run.push_back(byte);
  return true;
}

struct Job {
  const PixelRows& picture;
  const CompressionSetting& setting;
  std::size_t rowBytes;
  int rowsPerBand;
  int bands;
  const std::uint8_t* zeros;  // a row of zeros, above the first
};

// Rows first to end as they are, behind a filter byte of 0.
void UnfilteredRows(const Job& job, int first, int end, std::uint8_t* out) {
  const std::size_t n = job.rowBytes;
  for (int y = first; y < end; ++y, out += n + 1) {
    out[0] = 0;
    FilterNone(out + 1, job.picture.pixels + std::size_t(y) * n, n);
  }
}

// Each row by the filter whose output has the smallest signed sum.
void AdaptiveRows(const Job& job, int first, int end, std::uint8_t* out, Scratch& scratch) {
  const std::size_t n = job.rowBytes;
  const int bpp = job.picture.bytesPerPixel;
  scratch.tried.resize(5 * n);
  std::uint8_t* tried = scratch.tried.data();
  for (int y = first; y < end; ++y, out += n + 1) {
    const std::uint8_t* cur = job.picture.pixels + std::size_t(y) * n;
    const std::uint8_t* prev = y > 0 ? cur - n : job.zeros;
    FilterNone(tried, cur, n);
    FilterSub(tried + n, cur, n, bpp);
    FilterUp(tried + 2 * n, cur, prev, n);
    FilterAverage(tried + 3 * n, cur, prev, n, bpp);
    FilterPaeth(tried + 4 * n, cur, prev, n, bpp);
    int best = 0;
    std::uint64_t bestSum = SignedSum(tried, n);
    for (int f = 1; f < 5; ++f) {
      const std::uint64_t sum = SignedSum(tried + std::size_t(f) * n, n);
      if (sum < bestSum) best = f, bestSum = sum;
    }
    out[0] = std::uint8_t(best);
    std::memcpy(out + 1, tried + std::size_t(best) * n, n);
  }
}

libdeflate_compressor* Compressor(libdeflate_compressor*& compressor, int level) {
  if (compressor == nullptr) compressor = libdeflate_alloc_compressor(level);
  if (compressor == nullptr) throw std::bad_alloc();
  return compressor;
}

// Deflates `raw` bytes with zlib into `band`, left open on a byte unless
// the band is the last.
void ZlibBand(const Job& job, const std::uint8_t* raw, std::size_t bytes, bool last, Band& band,
              Scratch& scratch) {
  if (!scratch.deflater) {
    // Made in place: zlib's state points back at its stream.
    scratch.deflater.emplace();
    if (deflateInit2(&*scratch.deflater, job.setting.level, Z_DEFLATED, -15, 8,
                     Z_DEFAULT_STRATEGY) != Z_OK) {
      scratch.deflater.reset();
      throw std::bad_alloc();
    }
  } else if (deflateReset(&*scratch.deflater) != Z_OK) {
    band.failed = true;
    return;
  }
  z_stream& stream = *scratch.deflater;
  // The bound is for a finished run; a sync flush adds an empty stored block.
  band.deflated.resize(deflateBound(&stream, uLong(bytes)) + 16);
  stream.next_in = const_cast<std::uint8_t*>(raw);
  stream.avail_in = uInt(bytes);
  stream.next_out = band.deflated.data();
  stream.avail_out = uInt(band.deflated.size());
  const int result = deflate(&stream, last ? Z_FINISH : Z_SYNC_FLUSH);
  band.failed = stream.avail_in != 0 || result != (last ? Z_STREAM_END : Z_OK) ||
                stream.avail_out == 0;
  band.deflated.resize(band.deflated.size() - stream.avail_out);
}

// The same with ISA-L.
void IsalBand(const Job& job, const std::uint8_t* raw, std::size_t bytes, bool last, Band& band,
              Scratch& scratch) {
  const int level = job.setting.level;
  scratch.isalLevelRoom.resize(level <= 1   ? ISAL_DEF_LVL1_DEFAULT
                               : level == 2 ? ISAL_DEF_LVL2_DEFAULT
                                            : ISAL_DEF_LVL3_DEFAULT);
  isal_zstream stream;
  isal_deflate_init(&stream);
  stream.level = std::uint32_t(level);
  stream.level_buf = scratch.isalLevelRoom.data();
  stream.level_buf_size = std::uint32_t(scratch.isalLevelRoom.size());
  stream.end_of_stream = last ? 1 : 0;
  stream.flush = last ? NO_FLUSH : SYNC_FLUSH;
  // Rows that do not deflate are stored, a few bytes a block more.
  band.deflated.resize(bytes + bytes / 8 + 1024);
  stream.next_in = const_cast<std::uint8_t*>(raw);
  stream.avail_in = std::uint32_t(bytes);
  stream.next_out = band.deflated.data();
  stream.avail_out = std::uint32_t(band.deflated.size());
  const int result = isal_deflate(&stream);
  band.failed = result != COMP_OK || stream.avail_in != 0 || stream.avail_out == 0 ||
                stream.internal_state.state != (last ? ZSTATE_END : ZSTATE_NEW_HDR);
  band.deflated.resize(band.deflated.size() - stream.avail_out);
}

void MakeBand(const Job& job, int index, Band& band, Scratch& scratch) {
  const int first = index * job.rowsPerBand;
  const int end = std::min(job.picture.height, first + job.rowsPerBand);
  const std::size_t raw = std::size_t(end - first) * (job.rowBytes + 1);
  if (job.setting.deflater != Deflater::kLibdeflate) {
    scratch.filtered.resize(raw);
    UnfilteredRows(job, first, end, scratch.filtered.data());
    band.rawBytes = raw;
    band.adler = libdeflate_adler32(1, scratch.filtered.data(), raw);
    const bool last = index + 1 == job.bands;
    if (job.setting.deflater == Deflater::kIsal) {
      IsalBand(job, scratch.filtered.data(), raw, last, band, scratch);
    } else {
      ZlibBand(job, scratch.filtered.data(), raw, last, band, scratch);
    }
    return;
  }
  libdeflate_compressor* compressor = Compressor(scratch.compressor, job.setting.level);
  scratch.filtered.resize(raw);
  scratch.deflated.resize(libdeflate_deflate_compress_bound(compressor, raw));
  UnfilteredRows(job, first, end, scratch.filtered.data());
  // Indexed pixels are no ramp of values; filters only scramble them.
  if (job.setting.filtering == Filtering::kChosen && job.picture.bytesPerPixel != 1) {
    scratch.other.resize(raw);
    AdaptiveRows(job, first, end, scratch.other.data(), scratch);
    libdeflate_compressor* trial = Compressor(scratch.trial, kTrialLevel);
    std::uint8_t* out = scratch.deflated.data();
    const std::size_t room = scratch.deflated.size();
    const std::size_t plain = libdeflate_deflate_compress(trial, scratch.filtered.data(), raw, out, room);
    const std::size_t filtered = libdeflate_deflate_compress(trial, scratch.other.data(), raw, out, room);
    if (filtered < plain) scratch.filtered.swap(scratch.other);
  }
  band.rawBytes = raw;
  band.adler = libdeflate_adler32(1, scratch.filtered.data(), raw);
  const std::size_t made = libdeflate_deflate_compress(
      compressor, scratch.filtered.data(), raw, scratch.deflated.data(), scratch.deflated.size());
  band.deflated.assign(scratch.deflated.data(), scratch.deflated.data() + made);
  // The last band ends the stream as it is; the others open their end. The
  // filtered rows are spent by now and take the inflated bytes.
  band.failed = made == 0 || (index + 1 < job.bands &&
                              !OpenEnd(band.deflated, scratch.filtered.data(), raw));
}

}  // namespace

std::string_view PngCompressionName(PngCompression compression) {
  return SettingOf(compression).name;
}

std::optional<PngCompression> PngCompressionNamed(std::string_view name) {
  for (const CompressionSetting& setting : kSettings) {
    if (name == setting.name) return setting.compression;
  }
  return std::nullopt;
}

bool WritePng(const PixelRows& picture, std::FILE* file, const PngWriteSettings& settings,
              std::string& why, const ProgressHook& progress) try {
  const int bpp = picture.bytesPerPixel;
  if (picture.width <= 0 || picture.height <= 0 || (bpp != 1 && bpp != 3 && bpp != 4) ||
      (bpp == 1 && picture.palette == nullptr)) {
    errno = 0;
    why = "the picture cannot be written as PNG";
    return false;
  }
  const CompressionSetting& setting = SettingOf(settings.compression);
  static constexpr std::uint8_t kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::uint8_t header[13] = {};
  PutBig32(header, std::uint32_t(picture.width));
  PutBig32(header + 4, std::uint32_t(picture.height));
  header[8] = 8;                                  // bits per sample
  header[9] = bpp == 1 ? 3 : bpp == 3 ? 2 : 6;  // indexed, RGB, RGBA
  if (!Write(file, kSignature, sizeof kSignature) || !WriteChunk(file, "IHDR", {{header, 13}})) {
    return false;
  }
  if (bpp == 1 && !WriteChunk(file, "PLTE", {{picture.palette, 256 * 3}})) return false;

  const std::size_t rowBytes = std::size_t(picture.width) * std::size_t(bpp);
  const int rowsPerBand =
      settings.rowsPerBand > 0 ? settings.rowsPerBand
                               : int(std::max<std::size_t>(1, kBandBytes / (rowBytes + 1)));
  const int bands = int((std::int64_t(picture.height) + rowsPerBand - 1) / rowsPerBand);
  const std::vector<std::uint8_t> zeros(rowBytes, 0);
  const Job job{picture, setting, rowBytes, rowsPerBand, bands, zeros.data()};
  const unsigned cores = std::thread::hardware_concurrency();
  const int threads = settings.threads > 0 ? settings.threads : std::max(1, int(cores));
  const int round = 2 * threads;
  ScratchShelf shelf;
  std::vector<Band> made(std::size_t(std::min(round, bands)));

  // CMF: deflate with a 32 KiB window; FLG: the level, and a check that
  // makes the pair a multiple of 31.
  std::uint8_t zlibHeader[2] = {0x78, std::uint8_t(setting.zlibLevel << 6)};
  zlibHeader[1] = std::uint8_t(zlibHeader[1] + (31 - (0x78 * 256 + zlibHeader[1]) % 31) % 31);
  std::uint32_t adler = 1;
  long long written = 0;
  for (int first = 0; first < bands; first += round) {
    const int count = std::min(round, bands - first);
    const auto makeOne = [&](int i) {
      std::unique_ptr<Scratch> scratch = shelf.Take();
      MakeBand(job, first + i, made[std::size_t(i)], *scratch);
      shelf.Give(std::move(scratch));
    };
    RunOnThreads(threads, count, makeOne);
    for (int i = 0; i < count; ++i) {
      Band& band = made[std::size_t(i)];
      if (band.failed) {
        errno = 0;
        why = "the compressed rows came out wrong";
        return false;
      }
      adler = std::uint32_t(adler32_combine(adler, band.adler, z_off_t(band.rawBytes)));
      const bool firstBand = first + i == 0, lastBand = first + i + 1 == bands;
      std::uint8_t check[4];
      PutBig32(check, adler);
      if (!WriteChunk(file, "IDAT",
                      {{zlibHeader, std::size_t(firstBand ? 2 : 0)},
                       {band.deflated.data(), band.deflated.size()},
                       {check, std::size_t(lastBand ? 4 : 0)}})) {
        return false;
      }
      written += (long long)band.deflated.size() + 12;
      band = Band{};
    }
    const long at = std::ftell(file);
    if (progress && !progress(at >= 0 ? at : written, 0)) {
      errno = ECANCELED;
      return false;
    }
  }
  return WriteChunk(file, "IEND", {});
} catch (const std::bad_alloc&) {
  errno = 0;
  why = "not enough memory to compress the picture";
  return false;
} catch (const std::system_error&) {
  errno = 0;
  why = "the threads to compress the picture on could not be started";
  return false;
}
