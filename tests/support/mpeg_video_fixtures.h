#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "mpeg/video/encoding_parameters.h"
#include "mpeg/video/engine_services.h"
#include "mpeg/video/video_encoder.h"
#include "platform/gdi/dib.h"

namespace quendrolix::testing {

struct Rgb {
  uint8_t r, g, b;
};

// A packed DIB of w x h at 8 (with `palette`), 16 (5-5-5), 24 or 32 bits whose pixel at
// (x, y), y counted from the top, is pixel(x, y); at 8 bits pixel gives the index in .r.
HDIB MakeDib(int width, int height, int bits, const std::function<Rgb(int x, int y)>& pixel,
             const std::vector<Rgb>& palette = {});
HDIB CopyDib(const DibBlock& dib);

// Moving test content: a textured background scrolling diagonally and a bright disc
// moving on a curve, `frame` steps along. Deterministic, integer arithmetic.
HDIB MovingPicture(int width, int height, int frame);

// Images in memory behind the image loader, by path.
class InMemoryImages {
 public:
  void Add(const std::string& path, HDIB dib) { images_[path] = std::move(dib); }
  std::function<HDIB(const std::string&)> Loader();
  int loads = 0;

 private:
  std::map<std::string, HDIB> images_;
};

// An AVI in memory: frames as DIB blocks, a rate, optional sound, frames that fail.
class FakeAvi : public AviConversionInput {
 public:
  AviFileSummary info;
  std::vector<HDIB> frames;
  std::set<int> failing;  // indices whose fetch returns nothing
  bool hasSound = false;
  AviSoundFormat sound;
  bool videoOpen = false;
  std::vector<int> fetched;
  // Where the video's state is left when the converter lets go of the AVI.
  bool* videoOpenAtEnd = nullptr;
  ~FakeAvi() override {
    if (videoOpenAtEnd) *videoOpenAtEnd = videoOpen;
  }

  bool FileInfo(AviFileSummary& out) override {
    out = info;
    return true;
  }
  bool OpenVideo() override { return videoOpen = true; }
  void CloseVideo() override { videoOpen = false; }
  bool SoundFormat(AviSoundFormat& out) override {
    out = sound;
    return hasSound;
  }
  const DibBlock* FetchFrame(int index) override;
};

// Collects what the encoder tells about each picture, in display order, cut to the
// visible size (planar 4:2:0, as ffmpeg writes yuv420p).
class PictureRecorder : public PictureObserver {
 public:
  PictureRecorder();
  ~PictureRecorder() override;
  void PictureCoded(int displayNumber, int pictureType, const FrameStore& source,
                    const FrameStore& reconstruction, const EncodingParameters& p) override;
  std::map<int, std::vector<uint8_t>> source, reconstruction;
  std::map<int, int> types;
  int width = 0, height = 0;
};

// PSNR of the Y plane of two 4:2:0 frames of width x height.
double LumaPsnr(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, int width,
                int height);

// ---- The stream read back ----

// Reads bits most significant first; reading past the end yields zeros and sets overrun.
class BitReader {
 public:
  explicit BitReader(const std::vector<uint8_t>& bytes) : bytes_(bytes) {}
  uint32_t Get(int n);
  uint32_t Peek(int n) const;
  void Align() { position_ = (position_ + 7) / 8 * 8; }
  size_t position() const { return position_; }
  bool AtEnd() const { return position_ >= 8 * bytes_.size(); }
  bool overrun = false;
  // Finds the next start code from the current (aligned) position; returns its value
  // (the byte after 00 00 01) or -1 at the end.
  int NextStartCode();

 private:
  const std::vector<uint8_t>& bytes_;
  size_t position_ = 0;
};

struct ParsedBlock {
  int dcSizeOrFirst = 0;                   // intra: the DC difference; non-intra: unused
  std::vector<std::pair<int, int>> pairs;  // (run, level)
  bool escapes = false;
};

struct ParsedMacroblock {
  int address = 0;  // absolute macroblock address
  int flags = 0;    // kMb* flags from macroblock_type
  int quantiser = 0;
  int motion[2][2] = {};  // motion_code values as read (forward, backward)
  int cbp = 0;
  std::vector<ParsedBlock> blocks;
};

struct ParsedPicture {
  int temporalReference = 0;
  int type = 0;
  int vbvDelay = 0;
  int forwardFCode = 0, backwardFCode = 0;
  std::vector<int> sliceQuantisers;
  std::vector<ParsedMacroblock> macroblocks;
  size_t bytes = 0;
};

struct ParsedGop {
  uint32_t timeCode = 0;
  bool closed = false;
  bool brokenLink = false;
  int firstPicture = 0;  // index into pictures
};

struct ParsedStream {
  int horizontalSize = 0, verticalSize = 0, aspect = 0, frameRateCode = 0, bitRateField = 0;
  int marker = 0, vbvBufferSize = 0, constrained = 0, loadIntra = 0, loadNonIntra = 0;
  std::string userData;
  std::vector<ParsedGop> gops;
  std::vector<ParsedPicture> pictures;
  bool sequenceEnd = false;
  std::string error;  // empty when the whole stream parsed
};

// Parses a video elementary stream; with `macroblocks` the slices are parsed too.
ParsedStream ParseVideoStream(const std::vector<uint8_t>& bytes, bool macroblocks = true);

}  // namespace quendrolix::testing
