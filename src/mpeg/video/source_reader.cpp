#include "mpeg/video/source_reader.h"

#include <algorithm>
#include <cstring>

#include "mpeg/video/engine_memory.h"
#include "mpeg/video/engine_settings.h"
#include "mpeg/video/thread_pool.h"
#include "platform/host/conversion_log.h"

namespace quendrolix {
namespace {

// BT.601 in video range, as MPEG-1 decoders display it: Y 16..235, Cb and Cr 16..240.
// Fixed point on a 1/65536 scale, rounded; the chroma weights of each row add up to 0 so
// that every grey has Cb = Cr = 128 exactly, and the luma weights to 219/255 so that
// white is 235.
constexpr int kScale = 16;
constexpr int Weight(double w) {
  return static_cast<int>(w * 65536.0 / 255.0 + (w < 0 ? -0.5 : 0.5));
}
constexpr int kYr = Weight(65.481), kYg = Weight(128.553), kYb = Weight(24.966);
constexpr int kCbB = Weight(112.0), kCbR = Weight(-37.797), kCbG = -kCbB - kCbR;
constexpr int kCrR = Weight(112.0), kCrG = Weight(-93.786), kCrB = -kCrR - kCrG;

struct ColourTables {
  int y[3][256];  // blue, green, red parts of 65536 x Y, offset and rounding included
  int cb[3][256];
  int cr[3][256];
  ColourTables() {
    const int yBase = (16 << kScale) + (1 << (kScale - 1));
    const int cBase = (128 << kScale) + (1 << (kScale - 1));
    for (int v = 0; v < 256; ++v) {
      y[0][v] = kYb * v + yBase, y[1][v] = kYg * v, y[2][v] = kYr * v;
      cb[0][v] = kCbB * v + cBase, cb[1][v] = kCbG * v, cb[2][v] = kCbR * v;
      cr[0][v] = kCrB * v + cBase, cr[1][v] = kCrG * v, cr[2][v] = kCrR * v;
    }
  }
};
const ColourTables& Tables() {
  static const ColourTables tables;
  return tables;
}

// Every sum lies inside the 8-bit range by construction (the weights are convex), so a
// shift is all that is left to do.
inline uint8_t Sample(int scaled) {
  return static_cast<uint8_t>(scaled >> kScale);
}

struct Rgb {
  uint8_t b, g, r;
};

// Everything one frame's conversion needs, shared by the workers.
struct FrameJob {
  const EncodingParameters* p;
  Placement place;
  const uint8_t* pixels;
  size_t stride;
  int bits;
  int height;
  bool bottomUp;
  Rgb palette[256];
  FrameStore* store;
  uint8_t* scratch;
  size_t scratchBytes;
};

// One output row: Y into its plane, the pixels as blue, green, red into the work row
// (borders black) for the chroma.
void ConvertRow(const FrameJob& job, int row, uint8_t* yRow, uint8_t* rgbRow) {
  const Placement& pl = job.place;
  const int width = job.p->codedWidth;
  if (row < pl.topBorder || row >= pl.topBorder + pl.rows) {
    std::memset(yRow, kBlackY, width);
    std::memset(rgbRow, 0, 3 * static_cast<size_t>(width));
    return;
  }
  int y = row - pl.topBorder;
  int memoryRow = job.bottomUp ? job.height - pl.topCrop - y - 1 : pl.topCrop + y;
  const uint8_t* src = job.pixels + job.stride * static_cast<size_t>(memoryRow);
  std::memset(yRow, kBlackY, pl.leftBorder);
  std::memset(rgbRow, 0, 3 * static_cast<size_t>(pl.leftBorder));
  const ColourTables& t = Tables();
  uint8_t* yo = yRow + pl.leftBorder;
  uint8_t* po = rgbRow + 3 * static_cast<size_t>(pl.leftBorder);
  auto put = [&](int i, int b, int g, int r) {
    yo[i] = Sample(t.y[0][b] + t.y[1][g] + t.y[2][r]);
    po[3 * i] = static_cast<uint8_t>(b);
    po[3 * i + 1] = static_cast<uint8_t>(g);
    po[3 * i + 2] = static_cast<uint8_t>(r);
  };
  const int n = pl.columns;
  switch (job.bits) {
    case 8: {
      const uint8_t* s = src + pl.leftCrop;
      for (int i = 0; i < n; ++i) {
        const Rgb& c = job.palette[s[i]];
        put(i, c.b, c.g, c.r);
      }
      break;
    }
    case 16: {
      const uint8_t* s = src + 2 * static_cast<size_t>(pl.leftCrop);
      for (int i = 0; i < n; ++i) {
        unsigned w = s[2 * i] | (s[2 * i + 1] << 8);
        // 5-5-5: each 5-bit value v becomes v x 8 + 7.
        put(i, ((w & 31) << 3) | 7, (((w >> 5) & 31) << 3) | 7, (((w >> 10) & 31) << 3) | 7);
      }
      break;
    }
    case 24: {
      const uint8_t* s = src + 3 * static_cast<size_t>(pl.leftCrop);
      for (int i = 0; i < n; ++i) put(i, s[3 * i], s[3 * i + 1], s[3 * i + 2]);
      break;
    }
    default: {
      const uint8_t* s = src + 4 * static_cast<size_t>(pl.leftCrop);
      for (int i = 0; i < n; ++i) put(i, s[4 * i], s[4 * i + 1], s[4 * i + 2]);
      break;
    }
  }
  std::memset(yo + n, kBlackY, pl.rightBorder);
  std::memset(po + 3 * static_cast<size_t>(n), 0, 3 * static_cast<size_t>(pl.rightBorder));
}

// Chroma rows [first, last): two luma rows each, then Cb and Cr of each 2x2 block's mean
// colour. The matrix is linear, so this is the mean of the four exact chroma values,
// rounded once.
void ConvertRows(const FrameJob& job, int first, int last, uint8_t* scratch) {
  const int width = job.p->codedWidth;
  const int cw = job.p->chromaWidth;
  uint8_t* upper = scratch;
  uint8_t* lower = scratch + 3 * static_cast<size_t>(width);
  constexpr int kBase = ((128 << kScale) + (1 << (kScale - 1))) << 2;
  for (int j = first; j < last; ++j) {
    ConvertRow(job, 2 * j, job.store->y + static_cast<size_t>(2 * j) * width, upper);
    ConvertRow(job, 2 * j + 1, job.store->y + static_cast<size_t>(2 * j + 1) * width, lower);
    uint8_t* cb = job.store->cb + static_cast<size_t>(j) * cw;
    uint8_t* cr = job.store->cr + static_cast<size_t>(j) * cw;
    for (int i = 0; i < cw; ++i) {
      const uint8_t* a = upper + 6 * i;
      const uint8_t* c = lower + 6 * i;
      const int b = a[0] + a[3] + c[0] + c[3];
      const int g = a[1] + a[4] + c[1] + c[4];
      const int r = a[2] + a[5] + c[2] + c[5];
      cb[i] = static_cast<uint8_t>((kCbB * b + kCbG * g + kCbR * r + kBase) >> (kScale + 2));
      cr[i] = static_cast<uint8_t>((kCrB * b + kCrG * g + kCrR * r + kBase) >> (kScale + 2));
    }
  }
}

constexpr int kChromaRowsPerItem = 8;

}  // namespace

YCbCr ConvertPixel(int blue, int green, int red) {
  const ColourTables& t = Tables();
  return {Sample(t.y[0][blue] + t.y[1][green] + t.y[2][red]),
          Sample(t.cb[0][blue] + t.cb[1][green] + t.cb[2][red]),
          Sample(t.cr[0][blue] + t.cr[1][green] + t.cr[2][red])};
}

Bgr ConvertToRgb(int y, int cb, int cr) {
  // The inverse of the matrix above, as a player applies it.
  double l = 255.0 / 219.0 * (y - 16);
  double u = 255.0 / 224.0 * (cb - 128), v = 255.0 / 224.0 * (cr - 128);
  double r = l + 1.402 * v;
  double g = l - 0.344136286 * u - 0.714136286 * v;
  double b = l + 1.772 * u;
  auto clip = [](double x) {
    return static_cast<uint8_t>(x < 0 ? 0 : x > 255 ? 255 : static_cast<int>(x + 0.5));
  };
  return {clip(b), clip(g), clip(r)};
}

Placement PlaceSource(int width, int height, const EncodingParameters& p) {
  Placement pl;
  int horizontalBorder = width < p.codedWidth ? p.codedWidth - width : 0;
  int horizontalCrop = width > p.codedWidth ? width - p.codedWidth : 0;
  int verticalBorder = height < p.codedHeight ? p.codedHeight - height : 0;
  int verticalCrop = height > p.codedHeight ? height - p.codedHeight : 0;
  // Centred within vertical_size, not the coded height: the extra coded rows go below.
  pl.topBorder = height < p.verticalSize ? (p.verticalSize - height) / 2 : 0;
  pl.bottomBorder = verticalBorder - pl.topBorder;
  pl.leftBorder = horizontalBorder / 2;
  pl.rightBorder = horizontalBorder - pl.leftBorder;
  pl.leftCrop = horizontalCrop / 2;
  pl.topCrop = verticalCrop / 2;
  pl.columns = width - horizontalCrop;
  pl.rows = height - verticalCrop;
  return pl;
}

size_t ConversionScratchBytes(const EncodingParameters& p) {
  return 6 * static_cast<size_t>(p.codedWidth);  // two rows of blue, green, red
}

DibConversion ConvertDibToFrame(const DibBlock& dib, const EncodingParameters& p, FrameStore& store,
                                uint8_t* scratch, ThreadPool* pool) {
  if (dib.size() < sizeof(BITMAPINFOHEADER)) return DibConversion::kUnreadable;
  const BITMAPINFOHEADER& h = dib.header();
  int bits = h.biBitCount;
  if (bits != 8 && bits != 16 && bits != 24 && bits != 32) {
    ReportLine("Error: %d BPP is unsupported (must be 8, 16, 24, or 32)", bits);
    return DibConversion::kRefused;
  }
  if (h.biCompression != BI_RGB) {
    ReportLine("Error: compression must be BI_RGB");
    return DibConversion::kRefused;
  }
  if (!DibIsConsistent(dib)) return DibConversion::kUnreadable;
  int height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
  int width = h.biWidth;

  FrameJob job;
  job.p = &p;
  job.place = PlaceSource(width, height, p);
  job.pixels = DibPixels(dib);
  job.stride = DibRowStride(width, bits);
  job.bits = bits;
  job.height = height;
  job.bottomUp = h.biHeight > 0;
  job.store = &store;
  job.scratch = scratch;
  job.scratchBytes = ConversionScratchBytes(p);
  if (bits == 8) {
    // Indices past the colour table read black rather than whatever follows the table.
    uint32_t colours = std::min<uint32_t>(DibColourCount(dib), 256);
    const RGBQUAD* table = dib.colours();
    for (uint32_t i = 0; i < 256; ++i)
      job.palette[i] =
          i < colours ? Rgb{table[i].rgbBlue, table[i].rgbGreen, table[i].rgbRed} : Rgb{0, 0, 0};
  }

  const int chromaRows = p.chromaHeight;
  const int items = (chromaRows + kChromaRowsPerItem - 1) / kChromaRowsPerItem;
  auto work = [&](int item, int worker) {
    int first = item * kChromaRowsPerItem;
    ConvertRows(job, first, std::min(first + kChromaRowsPerItem, chromaRows),
                job.scratch + job.scratchBytes * worker);
  };
  if (pool) {
    pool->ParallelFor(items, work);
  } else {
    for (int i = 0; i < items; ++i) work(i, 0);
  }
  return DibConversion::kConverted;
}

void SourceFrameReader::Setup(const EncodingParameters& p, MpegFrameSource* source,
                              ThreadPool* pool) {
  params_ = &p;
  source_ = source;
  pool_ = pool;
  int workers = pool ? pool->size() : 1;
  scratch_ = EngineAllocArray<uint8_t>(ConversionScratchBytes(p) * workers);
}

void SourceFrameReader::Read(int n, FrameStore& store) {
  EngineSettings& settings = MpegEngineSettings();
  int index = params_->SourceFrameOf(n);
  const DibBlock* dib = source_ ? source_->FetchFrame(index) : nullptr;
  DibConversion result =
      dib ? ConvertDibToFrame(*dib, *params_, store, scratch_, pool_) : DibConversion::kUnreadable;
  if (result == DibConversion::kUnreadable) {
    if (!settings.sourceIsAvi) {
      // A picture that cannot be loaded leaves nothing to encode in its place.
      ReportLine("Error: loading of %s failed", source_ ? source_->FrameName(index).c_str() : "");
      throw EngineAbort("image could not be loaded");
    }
    if (settings.substituteMissingFrames) {
      dib = source_ ? source_->FetchFrame(settings.lastGoodSourceFrame) : nullptr;
      ++settings.substitutedFrames;
      if (dib) ConvertDibToFrame(*dib, *params_, store, scratch_, pool_);
    }
    return;
  }
  settings.lastGoodSourceFrame = index;
}

void SourceFrameReader::Release() {
  if (source_) source_->ReleaseFrame();
}

}  // namespace quendrolix
