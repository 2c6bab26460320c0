#include "tools/fitted_roads.h"

#include <algorithm>

namespace quendrolix {

void RoundForMpeg1(int& width, int& height) {
  width = std::clamp((width + 8) / 16 * 16, 16, 4080);
  height = std::clamp((height + 1) / 2 * 2, 2, 2800);
}

void RoundToEven(int& width, int& height) {
  width = std::max(width / 2 * 2, 2);
  height = std::max(height / 2 * 2, 2);
}

FittedRows FitRows(const CFramewrightDoc& doc, const BuildEnvironment& env,
                   const FrameEntries& entries, SizeRounding rounding, const char* rule) {
  FittedRows rows;
  rows.fitter = std::make_shared<PictureFitter>(FitterFor(doc, env));
  rows.fitter->SetRounding(std::move(rounding), rule);
  if (!rows.fitter->scales()) {
    rows.entries = entries;
    rows.first = 0;
    return rows;
  }
  rows.fitter->SetPictures(entries.paths);
  rows.first = rows.fitter->First();
  if (rows.first < 0) return rows;
  const size_t first = static_cast<size_t>(rows.first);
  auto from = [first](const auto& all) {
    using Vector = std::decay_t<decltype(all)>;
    return first < all.size() ? Vector(all.begin() + first, all.end()) : Vector();
  };
  rows.entries.names = from(entries.names);
  rows.entries.paths = from(entries.paths);
  rows.entries.counts = from(entries.counts);
  return rows;
}

bool SampleColours(const FittedRows& rows, const FrameComposer& composer,
                   std::vector<uint8_t>& rgb) {
  rgb.clear();
  const size_t n = rows.entries.paths.size();
  if (n == 0 || !rows.ok()) return false;
  const size_t share = std::max<size_t>(1024, (size_t{1} << 18) / n);
  for (size_t i = 0; i < n; ++i) {
    HDIB dib = rows.fitter->scales() ? rows.fitter->Frame(rows.first + static_cast<int>(i), 24)
                                     : composer.LoadFrame(rows.entries.paths[i], 24);
    if (dib) SampleGifColours(*dib, share, rgb);
  }
  return !rgb.empty();
}

}  // namespace quendrolix
