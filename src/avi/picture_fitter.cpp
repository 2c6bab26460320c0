#include "avi/picture_fitter.h"

#include <utility>

#include "image/cbmp.h"
#include "image/picture_fit.h"
#include "platform/host/conversion_log.h"

namespace quendrolix {

std::string LeftOutMessage(const std::vector<LeftOutPicture>& leftOut) {
  if (leftOut.empty()) return {};
  std::string text = leftOut.size() == 1
                         ? std::string("The movie was made without 1 picture:")
                         : StringPrintf("The movie was made without %zu pictures:", leftOut.size());
  for (const LeftOutPicture& picture : leftOut) text += "\n" + picture.path + ": " + picture.why;
  return text;
}

PictureFitter::PictureFitter(const OutputFormat& format, FrameComposer composer)
    : format_(format), composer_(std::move(composer)) {}

void PictureFitter::SetRounding(SizeRounding rounding, std::string rule) {
  rounding_ = std::move(rounding);
  rule_ = std::move(rule);
}

void PictureFitter::SetFrameSize(int width, int height) {
  int w = width, h = height;
  if (rounding_ && scales()) rounding_(w, h);
  if (w != width || h != height)
    ReportLine("Output frame %dx%d rounded to %dx%d: %s", width, height, w, h, rule_.c_str());
  width_ = w;
  height_ = h;
}

HBITMAP PictureFitter::Load(const std::string& path, std::string* why) {
  CBmp picture;
  // Once the frame size is known, a large photograph need only be decoded at the size it
  // is scaled to.
  auto needed = [this](int& width, int& height) {
    const FitPlacement place = PlaceForFit(width, height, width_, height_, format_.fit);
    width = place.width;
    height = place.height;
  };
  const bool reduce = scales() && width_ > 0;
  if (!(reduce ? picture.Load(path, needed) : picture.Load(path))) {
    if (why) *why = picture.loadFailure().empty() ? "it could not be read" : picture.loadFailure();
    return nullptr;
  }
  HBITMAP frame;
  if (!scales()) {
    frame = picture.bitmap();
    if (width_ == 0) picture.GetSize(width_, height_);
  } else {
    if (width_ == 0) {
      int w = format_.width, h = format_.height;
      if (!format_.HasSize()) picture.GetSize(w, h);
      SetFrameSize(w, h);
    }
    frame = FitPicture(*picture.bitmap(), width_, height_, format_.fit);
    if (!frame) {
      if (why) *why = "out of memory while fitting it to the frame";
      return nullptr;
    }
  }
  if (composer_.pictures) StampLogo(composer_.settings, *composer_.pictures, *frame);
  return frame;
}

HDIB PictureFitter::LoadFrame(const std::string& path, int depth, std::string* why) {
  HBITMAP picture = Load(path, why);
  if (!picture) return nullptr;
  HDIB dib = MakeFrameDib(*picture, depth);
  if (!dib && why) *why = "out of memory";
  return dib;
}

void PictureFitter::SetPictures(std::vector<std::string> paths) {
  paths_ = std::move(paths);
  failed_.assign(paths_.size(), false);
  kept_.clear();
}

int PictureFitter::First() {
  for (size_t i = 0; i < paths_.size(); ++i)
    if (Picture(static_cast<int>(i))) return static_cast<int>(i);
  return -1;
}

HBITMAP PictureFitter::Picture(int index) {
  if (index < 0 || static_cast<size_t>(index) >= paths_.size()) return nullptr;
  for (const auto& [kept, picture] : kept_)
    if (kept == index) return picture;
  if (!failed_[index]) {
    std::string why;
    HBITMAP picture = Load(paths_[index], &why);
    if (picture) {
      constexpr size_t kKept = 3;
      if (kept_.size() == kKept) kept_.erase(kept_.begin());
      kept_.emplace_back(index, picture);
      return picture;
    }
    failed_[index] = true;
    LeaveOut(paths_[index], why);
  }
  for (int k = index - 1; k >= 0; --k)
    if (!failed_[k]) return Picture(k);
  return nullptr;
}

HDIB PictureFitter::Frame(int index, int depth) {
  HBITMAP picture = Picture(index);
  return picture ? MakeFrameDib(*picture, depth) : nullptr;
}

int PictureFitter::IndexOf(const std::string& path) const {
  for (size_t i = 0; i < paths_.size(); ++i)
    if (paths_[i] == path) return static_cast<int>(i);
  return -1;
}

void PictureFitter::LeaveOut(const std::string& path, const std::string& why) {
  leftOut_.push_back({path, why});
}

}  // namespace quendrolix
