#pragma once

// AviBuilder: a list of images with frame counts written as one video stream through the
// AVI file services, compressed with CodecOptions().

#include <cstdint>
#include <string>
#include <vector>

#include "avi/frame_composition.h"
#include "avi/picture_fitter.h"
#include "platform/vfw/vfw.h"

namespace quendrolix {

// The error codes of AviBuilder besides the AVI services' own results.
constexpr int32_t kAviBuildNoImages = 1;
constexpr int32_t kAviBuildOldLibrary = 2;

class AviBuilder {
 public:
  // Frames are composed with `composer` (no logo by default) and compressed with `options`
  // (CodecOptions() when null; the record must outlive the builder).
  explicit AviBuilder(FrameComposer composer = {}, const AVICOMPRESSOPTIONS* options = nullptr);

  // Frames per second (15 until set). Below 1 is taken as 1: a stream without a rate
  // cannot be played.
  void SetRate(int framesPerSecond);
  // Requested bits per pixel: up to 8 gives 8, 9 to 23 gives 16, 24 and more gives 24.
  void SetDepth(int requestedBits);
  // Appends an image and its frame count (0 is written once).
  void Add(const std::string& path, unsigned frameCount);
  // The output frame and the fit (by default the first image's size with the fit "none",
  // the old rule below). With a scaling fit every image is fitted into the frame, whose
  // size is rounded to one the compressor codes; an image that cannot be loaded is left
  // out and the next one placed.
  void SetFit(const OutputFormat& format) { format_ = format; }

  // Writes the AVI: one video stream, type 'vids', handler 0 (compressed through
  // CodecOptions()), scale 1 and rate = frames per second, suggested buffer = one frame's
  // image size, frame rectangle of the first image; an image of count n is n identical
  // samples, each flagged as a key frame. Messages and status texts go to Prompts():
  // "Could not load " + path; "The size of %s (%dx%d) does not match the size of animation
  // (%dx%d)"; status "%d of %d: %s". A later image that cannot be loaded or has another
  // size ends the stream early and still succeeds; those not written are listed in leftOut(). False
  // on failure, errorCode() says why: 1 no images, 2 library too old, 0 first image not loaded,
  // else the AVI result.
  bool Write(const std::string& outputPath);

  int32_t errorCode() const { return errorCode_; }
  // Set when the compressor cannot take the frames (their depth, or a size it does not
  // code): the sentence that says so, which the build shows in place of the codec error.
  const std::string& refusal() const { return refusal_; }
  int framesPerSecond() const { return framesPerSecond_; }
  int depth() const { return depth_; }
  // Samples written by the last Write.
  long samplesWritten() const { return samples_; }
  // The images the last Write could not place, and why.
  const std::vector<LeftOutPicture>& leftOut() const { return leftOut_; }
  // The frame size of the last Write.
  int frameWidth() const { return frameWidth_; }
  int frameHeight() const { return frameHeight_; }
  const std::vector<std::string>& imagePaths() const { return paths_; }
  const std::vector<unsigned>& frameCounts() const { return counts_; }

 private:
  FrameComposer composer_;
  const AVICOMPRESSOPTIONS* options_;
  int32_t errorCode_ = 0;
  std::string refusal_;
  std::vector<std::string> paths_;
  std::vector<unsigned> counts_;
  int framesPerSecond_ = 15;
  int depth_ = 24;
  long samples_ = 0;
  OutputFormat format_{0, 0, PictureFit::kNone};
  std::vector<LeftOutPicture> leftOut_;
  int frameWidth_ = 0;
  int frameHeight_ = 0;
};

// The size nearest below width x height that `handler` codes at `depth` (sides rounded
// down to multiples of 2, 4, 8 or 16 in turn; unchanged when none is taken).
void RoundForCompressor(FOURCC handler, int depth, int& width, int& height);
// Why RoundForCompressor rounds, for the log.
std::string CompressorSizeRule(FOURCC handler);

}  // namespace quendrolix
