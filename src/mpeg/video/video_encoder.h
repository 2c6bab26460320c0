#pragma once

#include <cstdint>
#include <vector>

#include "mpeg/video/bit_writer.h"
#include "mpeg/video/encoding_parameters.h"
#include "mpeg/video/frame_source.h"
#include "mpeg/video/frame_store.h"
#include "mpeg/video/motion_estimation.h"
#include "mpeg/video/rate_control.h"
#include "mpeg/video/source_reader.h"
#include "mpeg/video/vbv_analysis.h"

namespace quendrolix {

class ThreadPool;

// What one macroblock of the current picture is and how it was coded.
struct MacroblockInfo {
  int type = 0;        // motion estimation's decision: intra, forward, backward flags
  int codedFlags = 0;  // the flags written (adds pattern, quantiser, forced forward)
  int mv[2][2] = {};   // [forward, backward][horizontal, vertical], half pels, relative
  int mquant = 0;
  int cbp = 0;
  bool skipped = false;
  double activity = 0;
  int var = 0;
};

// Told about every picture after it has been coded: its display number, type, the source
// it was made from and the encoder's own reconstruction (what a decoder should show).
class PictureObserver {
 public:
  virtual ~PictureObserver() = default;
  virtual void PictureCoded(int displayNumber, int pictureType, const FrameStore& source,
                            const FrameStore& reconstruction, const EncodingParameters& p) = 0;
};

// An observer for every conversion of the process (tests and benchmarks); null for none.
void SetMpegPictureObserver(PictureObserver* observer);
PictureObserver* MpegPictureObserver();

// The picture coding loop: coding order with a fixed I/P/B pattern, motion estimation,
// prediction, transform, TM5 rate control and the VLC stream. All buffers come from the
// engine's memory list, allocated once in the constructor.
class VideoEncoder {
 public:
  VideoEncoder(const EncodingParameters& p, MpegFrameSource* source, ThreadPool& pool);
  // Writes the whole sequence, then settles the headers that depend on all of it: the
  // vbv_delay of every picture, vbv_buffer_size, the bit_rate of a variable-rate stream
  // and constrained_parameters_flag.
  void EncodeSequence(VideoBitWriter& out);

  const RateControl& rateControl() const { return rc_; }
  const VbvOutcome& vbv() const { return vbv_; }
  bool constrained() const { return constrained_; }

 private:
  struct Reference {
    FrameStore frame;
    uint8_t* y[4];
    uint8_t* cb[4];
    uint8_t* cr[4];
    ReferencePlanes Planes() const;
  };

  void AllocateFrame(FrameStore& f);
  void AllocateReference(Reference& r);
  // The fixed I/P/B pattern with TM5 rate control.
  void EncodeFixedPattern(VideoBitWriter& out);
  // One closed GOP per picture of the list: an I picture at a quantiser that spends what
  // the picture's time on screen has earned, then its repeats as pictures that send
  // nothing.
  void EncodeSlideshow(VideoBitWriter& out);
  void EncodePicture(VideoBitWriter& out, int f, int f0, int pictureType, int row,
                     FrameStore& source, Reference& recon);
  // Reads display frame f and runs motion estimation, prediction and transform.
  void PreparePicture(int f, int pictureType, int row, FrameStore& source);
  void AnalyseMacroblock(int k, int pictureType, int row, const FrameStore& source);
  void PredictMacroblock(int k, int pictureType, const MacroblockInfo& mb);
  void TransformMacroblock(int k, const FrameStore& source);
  void CodePicture(VideoBitWriter& out, int pictureType, int temporalReference, int row);
  // The slices of the current picture; with fixedQuantiser (mquant) every macroblock uses
  // it and rate control is left alone.
  void CodeSlices(VideoBitWriter& out, int pictureType, int row, int fixedQuantiser);
  void Reconstruct(Reference& recon);
  void ReconstructMacroblock(int k, Reference& recon);
  void BuildHalfPlanes(Reference& r);
  // The intra quantiser (mquant) whose picture comes closest to `bits` without passing it.
  int ChooseIntraQuantiser(double bits, int guess);
  // A repeat in a slideshow: one slice whose first and last macroblocks are sent with no
  // coefficients and a zero vector, everything between skipped.
  void PutRepeatPicture(VideoBitWriter& out, int temporalReference);
  // Where the next picture's data begins (before its GOP header) and its picture header.
  void MarkUnitStart(VideoBitWriter& out);
  void BeginPicture(VideoBitWriter& out, int temporalReference, int pictureType, int forwardFCode,
                    int backwardFCode);
  void SettleHeaders(VideoBitWriter& out);
  // The picture shown at display frame f: equal numbers are the same picture.
  int PictureIdentity(int f) const;

  const EncodingParameters& p_;
  ThreadPool& pool_;
  SourceFrameReader reader_;
  PictureObserver* observer_;
  MpegFrameSource* source_;
  RateControl rc_;
  std::vector<CodedPictureBits> coded_;
  uint64_t unitStart_ = 0;
  bool unitMarked_ = true;  // the first picture's data begins with the sequence header
  VbvOutcome vbv_;
  bool constrained_ = false;
  VideoBitWriter trial_;  // counts the bits of trial codings

  FrameStore oldSource_, newSource_, bSource_;
  uint16_t* oldSums_ = nullptr;  // BlockSums8 of the reference source pictures
  uint16_t* newSums_ = nullptr;
  Reference oldRef_, newRef_, bRef_;
  FrameStore prediction_;
  MacroblockInfo* mbs_ = nullptr;
  int16_t* coefficients_ = nullptr;  // 6 x 64 per macroblock, source - prediction transformed
  int16_t* levels_ = nullptr;        // the quantised blocks as coded
  const Reference* forwardRef_ = nullptr;
  const Reference* backwardRef_ = nullptr;
  const FrameStore* forwardSource_ = nullptr;
  const FrameStore* backwardSource_ = nullptr;
  const uint16_t* forwardSums_ = nullptr;
  const uint16_t* backwardSums_ = nullptr;
  int macroblocks_ = 0;
  size_t lumaBytes_ = 0, chromaBytes_ = 0;
};

}  // namespace quendrolix
