#pragma once

// The fit stage of every road that makes a movie from pictures: each picture is loaded
// (turned upright by its EXIF orientation on the way), fitted into the output frame by the
// project's fit, and stamped with the logo - once per picture, however many frames show it.

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "avi/frame_composition.h"
#include "project/output_format.h"

namespace quendrolix {

// A picture a build was asked to place and could not, and why.
struct LeftOutPicture {
  std::string path;
  std::string why;
  bool operator==(const LeftOutPicture&) const = default;
};

// The message that ends a build which left pictures out: one line per picture.
std::string LeftOutMessage(const std::vector<LeftOutPicture>& leftOut);

// Rounds a frame size to one the road can code (changing width and height in place).
using SizeRounding = std::function<void(int& width, int& height)>;

class PictureFitter {
 public:
  PictureFitter(const OutputFormat& format, FrameComposer composer);

  // The road's rounding and the words that say why it rounds ("MPEG-1 codes widths in
  // multiples of 16"), written to the log when the size changes.
  void SetRounding(SizeRounding rounding, std::string rule);
  // False for the fit "none": pictures keep their size and the road applies its own rule.
  bool scales() const { return format_.fit != PictureFit::kNone; }
  const OutputFormat& format() const { return format_; }

  // The frame size: the format's, or (when it names none) the first picture's after its
  // orientation; rounded for the road. 0 x 0 until a picture was loaded or SetFrameSize.
  int width() const { return width_; }
  int height() const { return height_; }
  // Fixes the frame size (rounded as set); for a road whose size is given by something
  // else, such as the first file of a join.
  void SetFrameSize(int width, int height);

  // The picture at `path` in the output frame with the logo on it (with the fit "none",
  // the picture as it is). Null when it cannot be loaded or fitted; `why` then says why.
  HBITMAP Load(const std::string& path, std::string* why = nullptr);
  // The same as an uncompressed block at `depth` (8, 16 or 24).
  HDIB LoadFrame(const std::string& path, int depth, std::string* why = nullptr);

  // The list a road places, in order; First, Picture and Frame count in it.
  void SetPictures(std::vector<std::string> paths);
  // The first picture of the list that loads: the road starts there, and the pictures
  // before it are left out (nothing before them could stand in for them). -1 when none
  // loads.
  int First();
  // Picture `index` of the list in the frame. One that cannot be loaded is left out
  // (named once) and the nearest loadable picture before it stands in for its frames, so
  // the movie keeps its length and stays in step with its sound. Null only when nothing
  // from First() on up to it loads.
  HBITMAP Picture(int index);
  HDIB Frame(int index, int depth);
  // The list index of the first entry with this path; -1 when there is none.
  int IndexOf(const std::string& path) const;

  // The pictures the road could not place, in the order it met them.
  void LeaveOut(const std::string& path, const std::string& why);
  const std::vector<LeftOutPicture>& leftOut() const { return leftOut_; }

 private:
  OutputFormat format_;
  FrameComposer composer_;
  SizeRounding rounding_;
  std::string rule_;
  int width_ = 0;
  int height_ = 0;
  std::vector<LeftOutPicture> leftOut_;
  std::vector<std::string> paths_;
  std::vector<bool> failed_;
  // The last few pictures handed out, so a picture asked for again is not loaded again.
  std::vector<std::pair<int, HBITMAP>> kept_;
};

}  // namespace quendrolix
