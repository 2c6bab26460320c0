#include "platform/gdi/gdi.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

#include "platform/gdi/dib.h"

namespace quendrolix {

// ---------------------------------------------------------------------------------------
// Palette

// The colour cube is cut into 32 x 32 x 32 cells of 8 x 8 x 8 colours. Each cell lists the
// entries that can be nearest to some colour inside it (an entry whose closest distance to
// the cell is beyond the smallest farthest distance of any entry can never win), so a query
// only compares a handful of entries and still finds the exact nearest one.
struct Palette::Lookup {
  std::vector<uint32_t> start;  // 32768 + 1 offsets into candidates
  std::vector<uint8_t> candidates;
};

namespace {
constexpr int kCellBits = 3;
constexpr int kCells = 256 >> kCellBits;

int AxisMin(int v, int lo, int hi) {
  if (v < lo) return lo - v;
  if (v > hi) return v - hi;
  return 0;
}
int AxisMax(int v, int lo, int hi) {
  return std::max(v - lo, hi - v);
}
}  // namespace

Palette::Palette(std::vector<PALETTEENTRY> entries) : entries_(std::move(entries)) {}
Palette::~Palette() = default;

std::shared_ptr<Palette> Palette::Create(const std::vector<PALETTEENTRY>& entries) {
  if (entries.empty() || entries.size() > 256) return nullptr;
  try {
    return std::shared_ptr<Palette>(new Palette(entries));
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

std::shared_ptr<Palette> Palette::Copy() const {
  return Create(entries_);
}

COLORREF Palette::Colour(size_t index) const {
  if (index >= entries_.size()) return 0;
  const PALETTEENTRY& e = entries_[index];
  return RGB(e.peRed, e.peGreen, e.peBlue);
}

const Palette::Lookup& Palette::LookupFor(size_t limit) const {
  if (lookups_.empty()) lookups_.resize(257);
  std::unique_ptr<Lookup>& slot = lookups_[limit];
  if (slot) return *slot;
  slot = std::make_unique<Lookup>();
  Lookup& lookup = *slot;
  lookup.start.resize(kCells * kCells * kCells + 1);
  lookup.candidates.reserve(kCells * kCells * kCells * 4);
  std::vector<int> minDist(limit);
  for (int rc = 0; rc < kCells; ++rc) {
    for (int gc = 0; gc < kCells; ++gc) {
      for (int bc = 0; bc < kCells; ++bc) {
        int cell = (rc * kCells + gc) * kCells + bc;
        lookup.start[cell] = static_cast<uint32_t>(lookup.candidates.size());
        int r0 = rc << kCellBits, g0 = gc << kCellBits, b0 = bc << kCellBits;
        int r1 = r0 + (1 << kCellBits) - 1, g1 = g0 + (1 << kCellBits) - 1,
            b1 = b0 + (1 << kCellBits) - 1;
        int bound = 1 << 30;
        for (size_t i = 0; i < limit; ++i) {
          const PALETTEENTRY& e = entries_[i];
          int dr = AxisMin(e.peRed, r0, r1), dg = AxisMin(e.peGreen, g0, g1),
              db = AxisMin(e.peBlue, b0, b1);
          minDist[i] = dr * dr + dg * dg + db * db;
          int fr = AxisMax(e.peRed, r0, r1), fg = AxisMax(e.peGreen, g0, g1),
              fb = AxisMax(e.peBlue, b0, b1);
          bound = std::min(bound, fr * fr + fg * fg + fb * fb);
        }
        for (size_t i = 0; i < limit; ++i)
          if (minDist[i] <= bound) lookup.candidates.push_back(static_cast<uint8_t>(i));
      }
    }
  }
  lookup.start[kCells * kCells * kCells] = static_cast<uint32_t>(lookup.candidates.size());
  return lookup;
}

uint8_t Palette::NearestIndex(uint8_t r, uint8_t g, uint8_t b, size_t limit) const {
  if (limit == 0 || limit > entries_.size()) limit = entries_.size();
  const Lookup& lookup = LookupFor(limit);
  int cell = ((r >> kCellBits) * kCells + (g >> kCellBits)) * kCells + (b >> kCellBits);
  uint32_t begin = lookup.start[cell], end = lookup.start[cell + 1];
  int best = 1 << 30;
  uint8_t bestIndex = 0;
  for (uint32_t k = begin; k < end; ++k) {
    uint8_t i = lookup.candidates[k];
    const PALETTEENTRY& e = entries_[i];
    int dr = int{e.peRed} - r, dg = int{e.peGreen} - g, db = int{e.peBlue} - b;
    int d = dr * dr + dg * dg + db * db;
    if (d < best) {  // candidates ascend, so the first of equals stays
      best = d;
      bestIndex = i;
    }
  }
  return bestIndex;
}

HPALETTE DefaultPalette(int bitCount) {
  std::vector<PALETTEENTRY> entries;
  if (bitCount <= 1) {
    entries = {{0, 0, 0, 0}, {255, 255, 255, 0}};
  } else if (bitCount <= 4) {
    static const uint8_t k16[16][3] = {
        {0, 0, 0},     {0, 0, 128},     {0, 128, 0},     {0, 128, 128},  {128, 0, 0}, {128, 0, 128},
        {128, 128, 0}, {128, 128, 128}, {192, 192, 192}, {0, 0, 255},    {0, 255, 0}, {0, 255, 255},
        {255, 0, 0},   {255, 0, 255},   {255, 255, 0},   {255, 255, 255}};
    for (const auto& c : k16) entries.push_back({c[0], c[1], c[2], 0});
  } else {
    for (int r = 0; r < 6; ++r)
      for (int g = 0; g < 6; ++g)
        for (int b = 0; b < 6; ++b)
          entries.push_back({static_cast<uint8_t>(r * 51), static_cast<uint8_t>(g * 51),
                             static_cast<uint8_t>(b * 51), 0});
    // 40 greys between the cube's own, so grey pictures keep their shades.
    for (int i = 1; entries.size() < 256; ++i) {
      uint8_t v = static_cast<uint8_t>(i * 255 / 41);
      entries.push_back({v, v, v, 0});
    }
  }
  return Palette::Create(entries);
}

// ---------------------------------------------------------------------------------------
// Bitmap

Bitmap::Bitmap(int width, int height, bool monochrome)
    : width_(width), height_(height), monochrome_(monochrome) {}

std::shared_ptr<Bitmap> Bitmap::Make(int width, int height, bool monochrome, bool zeroed) {
  if (width <= 0 || height <= 0 || width > kMaxImageDimension || height > kMaxImageDimension ||
      int64_t{width} * height > DibPixelLimit())
    return nullptr;
  try {
    std::shared_ptr<Bitmap> bitmap(new Bitmap(width, height, monochrome));
    // Fresh pages cost a fault each: zero them only when the caller needs it.
    bitmap->pixels_.reset(zeroed ? new Bgrx[bitmap->count()]() : new Bgrx[bitmap->count()]);
    return bitmap;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

std::shared_ptr<Bitmap> Bitmap::Create(int width, int height, bool monochrome) {
  return Make(width, height, monochrome, true);
}

std::shared_ptr<Bitmap> Bitmap::CreateForOverwrite(int width, int height) {
  return Make(width, height, false, false);
}

std::shared_ptr<Bitmap> Bitmap::Copy() const {
  auto copy = Make(width_, height_, monochrome_, false);
  if (copy) std::copy(pixels_.get(), pixels_.get() + count(), copy->pixels_.get());
  return copy;
}

void Bitmap::SetPixel(int x, int y, Bgrx value) {
  Row(y)[x] =
      monochrome_ ? ((value & kBgrxWhite) == kBgrxWhite ? kBgrxWhite : 0) : (value & kBgrxWhite);
}

void Bitmap::Fill(Bgrx value) {
  if (monochrome_) value = (value & kBgrxWhite) == kBgrxWhite ? kBgrxWhite : 0;
  std::fill(pixels_.get(), pixels_.get() + count(), value & kBgrxWhite);
}

// ---------------------------------------------------------------------------------------
// DeviceContext

HBITMAP DeviceContext::SelectBitmap(HBITMAP bitmap) {
  return std::exchange(bitmap_, bitmap);
}

HPALETTE DeviceContext::SelectPalette(HPALETTE palette) {
  return std::exchange(palette_, palette);
}

COLORREF DeviceContext::SetBkColor(COLORREF colour) {
  return std::exchange(bkColor_, colour);
}

COLORREF DeviceContext::SetTextColor(COLORREF colour) {
  return std::exchange(textColor_, colour);
}

COLORREF DeviceContext::GetPixel(int x, int y) const {
  if (!bitmap_ || x < 0 || y < 0 || x >= bitmap_->width() || y >= bitmap_->height())
    return CLR_INVALID;
  return ColourFromBgrx(bitmap_->Pixel(x, y));
}

COLORREF DeviceContext::SetPixel(int x, int y, COLORREF colour) {
  if (!bitmap_ || x < 0 || y < 0 || x >= bitmap_->width() || y >= bitmap_->height())
    return CLR_INVALID;
  bitmap_->SetPixel(x, y, BgrxFromColour(colour));
  return ColourFromBgrx(bitmap_->Pixel(x, y));
}

void DeviceContext::FillRect(int x, int y, int width, int height, COLORREF colour) {
  if (!bitmap_) return;
  int x0 = std::max(x, 0), y0 = std::max(y, 0);
  int x1 = static_cast<int>(std::min<int64_t>(int64_t{x} + width, bitmap_->width()));
  int y1 = static_cast<int>(std::min<int64_t>(int64_t{y} + height, bitmap_->height()));
  for (int yy = y0; yy < y1; ++yy)
    for (int xx = x0; xx < x1; ++xx) bitmap_->SetPixel(xx, yy, BgrxFromColour(colour));
}

// ---------------------------------------------------------------------------------------
// Block transfers

namespace {

bool KnownRop(uint32_t rop) {
  return rop == SRCCOPY || rop == SRCAND || rop == SRCINVERT || rop == SRCPAINT;
}

// Combines one source pixel (already in the target's form) with the target pixel.
inline Bgrx Combine(uint32_t rop, Bgrx src, Bgrx dst) {
  switch (rop) {
    case SRCAND:
      return src & dst;
    case SRCINVERT:
      return (src ^ dst) & kBgrxWhite;
    case SRCPAINT:
      return src | dst;
    default:
      return src;
  }
}

// The general transfer: the target rectangle, and for every target pixel the source pixel
// at srcX + (dx * srcWidth) / width (the same for y). Source pixels are read from a copy of
// the rows involved when source and target share a bitmap, so overlapping blocks work.
bool Transfer(DeviceContext& target, int x, int y, int width, int height,
              const DeviceContext& source, int srcX, int srcY, int srcWidth, int srcHeight,
              uint32_t rop) {
  if (!target.bitmap() || !source.bitmap() || !KnownRop(rop)) return false;
  if (width <= 0 || height <= 0 || srcWidth <= 0 || srcHeight <= 0) return true;
  Bitmap& dst = *target.bitmap();
  const Bitmap& srcBitmap = *source.bitmap();
  HBITMAP snapshot;
  const Bitmap* src = &srcBitmap;
  if (&srcBitmap == &dst) {
    snapshot = srcBitmap.Copy();
    if (!snapshot) return false;
    src = snapshot.get();
  }
  // How source pixels look in the target.
  const bool toMono = dst.monochrome() && !src->monochrome();
  const bool fromMono = src->monochrome() && !dst.monochrome();
  const Bgrx srcBk = BgrxFromColour(source.bkColor());
  const Bgrx dstBk = BgrxFromColour(target.bkColor());
  const Bgrx dstText = BgrxFromColour(target.textColor());

  int64_t ty0 = std::max<int64_t>(y, 0), ty1 = std::min<int64_t>(int64_t{y} + height, dst.height());
  int64_t tx0 = std::max<int64_t>(x, 0), tx1 = std::min<int64_t>(int64_t{x} + width, dst.width());
  for (int64_t ty = ty0; ty < ty1; ++ty) {
    int64_t sy = srcY + ((ty - y) * srcHeight) / height;
    if (sy < 0 || sy >= src->height()) continue;
    const Bgrx* srcRow = src->Row(static_cast<int>(sy));
    Bgrx* dstRow = dst.Row(static_cast<int>(ty));
    for (int64_t tx = tx0; tx < tx1; ++tx) {
      int64_t sx = srcX + ((tx - x) * srcWidth) / width;
      if (sx < 0 || sx >= src->width()) continue;
      Bgrx s = srcRow[sx] & kBgrxWhite;
      if (toMono)
        s = s == srcBk ? kBgrxWhite : 0;
      else if (fromMono)
        s = s == kBgrxWhite ? dstBk : dstText;
      Bgrx v = Combine(rop, s, dstRow[tx]);
      if (dst.monochrome()) v = v == kBgrxWhite ? kBgrxWhite : 0;
      dstRow[tx] = v;
    }
  }
  return true;
}

}  // namespace

bool BitBlt(DeviceContext& target, int x, int y, int width, int height, const DeviceContext& source,
            int srcX, int srcY, uint32_t rop) {
  return Transfer(target, x, y, width, height, source, srcX, srcY, width, height, rop);
}

bool StretchBlt(DeviceContext& target, int x, int y, int width, int height,
                const DeviceContext& source, int srcX, int srcY, int srcWidth, int srcHeight,
                uint32_t rop) {
  return Transfer(target, x, y, width, height, source, srcX, srcY, srcWidth, srcHeight, rop);
}

}  // namespace quendrolix
