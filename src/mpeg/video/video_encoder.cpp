#include "mpeg/video/video_encoder.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "mpeg/video/bitstream.h"
#include "mpeg/video/engine_memory.h"
#include "mpeg/video/pixel_kernels.h"
#include "mpeg/video/thread_pool.h"
#include "mpeg/video/transform.h"
#include "mpeg/video/vlc_tables.h"
#include "platform/host/conversion_log.h"

namespace quendrolix {
namespace {

std::atomic<PictureObserver*>& ObserverSlot() {
  static std::atomic<PictureObserver*> observer{nullptr};
  return observer;
}

constexpr size_t kPadding = 64;

inline uint8_t Clip255(int v) {
  return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
}

// Copies a w x h block from a plane (positions already inside it).
inline void CopyBlock(const uint8_t* src, int srcStride, uint8_t* dst, int dstStride, int w,
                      int h) {
  for (int r = 0; r < h; ++r) std::memcpy(dst + r * dstStride, src + r * srcStride, w);
}

inline void AverageBlock(const uint8_t* a, int strideA, const uint8_t* b, int strideB, uint8_t* dst,
                         int dstStride, int w, int h) {
  for (int r = 0; r < h; ++r)
    for (int c = 0; c < w; ++c)
      dst[r * dstStride + c] =
          static_cast<uint8_t>((a[r * strideA + c] + b[r * strideB + c] + 1) >> 1);
}

}  // namespace

void SetMpegPictureObserver(PictureObserver* observer) {
  ObserverSlot().store(observer);
}
PictureObserver* MpegPictureObserver() {
  return ObserverSlot().load();
}

ReferencePlanes VideoEncoder::Reference::Planes() const {
  ReferencePlanes planes;
  for (int i = 0; i < 4; ++i) {
    planes.y[i] = y[i];
    planes.cb[i] = cb[i];
    planes.cr[i] = cr[i];
  }
  return planes;
}

void VideoEncoder::AllocateFrame(FrameStore& f) {
  f.y = EngineAllocArray<uint8_t>(lumaBytes_ + kPadding);
  f.cb = EngineAllocArray<uint8_t>(chromaBytes_ + kPadding);
  f.cr = EngineAllocArray<uint8_t>(chromaBytes_ + kPadding);
}

void VideoEncoder::AllocateReference(Reference& r) {
  AllocateFrame(r.frame);
  r.y[0] = r.frame.y;
  r.cb[0] = r.frame.cb;
  r.cr[0] = r.frame.cr;
  for (int i = 1; i < 4; ++i) {
    r.y[i] = EngineAllocArray<uint8_t>(lumaBytes_ + kPadding);
    r.cb[i] = EngineAllocArray<uint8_t>(chromaBytes_ + kPadding);
    r.cr[i] = EngineAllocArray<uint8_t>(chromaBytes_ + kPadding);
  }
}

VideoEncoder::VideoEncoder(const EncodingParameters& p, MpegFrameSource* source, ThreadPool& pool)
    : p_(p), pool_(pool), observer_(MpegPictureObserver()), source_(source) {
  macroblocks_ = p.mbWidth * p.mbHeight;
  lumaBytes_ = static_cast<size_t>(p.codedWidth) * p.codedHeight;
  chromaBytes_ = static_cast<size_t>(p.chromaWidth) * p.chromaHeight;
  AllocateFrame(oldSource_);
  AllocateFrame(newSource_);
  AllocateFrame(bSource_);
  oldSums_ = EngineAllocArray<uint16_t>(lumaBytes_ + kPadding);
  newSums_ = EngineAllocArray<uint16_t>(lumaBytes_ + kPadding);
  AllocateReference(oldRef_);
  AllocateReference(newRef_);
  AllocateReference(bRef_);
  AllocateFrame(prediction_);
  mbs_ = EngineAllocArray<MacroblockInfo>(macroblocks_);
  for (int k = 0; k < macroblocks_; ++k) new (&mbs_[k]) MacroblockInfo();
  coefficients_ = EngineAllocArray<int16_t>(static_cast<size_t>(macroblocks_) * 6 * 64);
  levels_ = EngineAllocArray<int16_t>(static_cast<size_t>(macroblocks_) * 6 * 64);
  reader_.Setup(p, source, &pool);
  coded_.reserve(static_cast<size_t>(std::min(p.frames, 1 << 20)));
}

void VideoEncoder::EncodeSequence(VideoBitWriter& out) {
  rc_.InitSequence(p_);
  coded_.clear();
  unitMarked_ = true;
  unitStart_ = 0;
  PutSequenceHeader(out, p_);
  if (p_.userData.size() > 1) PutUserData(out, p_.userData);
  if (p_.slideshow)
    EncodeSlideshow(out);
  else
    EncodeFixedPattern(out);
  PutSequenceEnd(out);
  out.Flush();
  SettleHeaders(out);
}

void VideoEncoder::EncodeFixedPattern(VideoBitWriter& out) {
  const int N = p_.N, M = p_.M, frames = p_.frames;
  for (int i = 0; i < frames; ++i) {
    ReportFrame(static_cast<unsigned>(i));
    int f0 = std::max(0, N * ((i + M - 1) / N) - (M - 1));
    int f, type, row;
    FrameStore* source;
    Reference* recon;
    if (i == 0 || (i - 1) % M == 0) {
      std::swap(oldSource_, newSource_);
      std::swap(oldSums_, newSums_);
      std::swap(oldRef_, newRef_);
      f = i == 0 ? 0 : std::min(i + M - 1, frames - 1);
      row = 0;
      if (i == f0) {
        type = kPictureI;
        int n = i == 0 ? N - (M - 1) : N;
        n = std::min(n, frames - f0);
        int np = i == 0 ? (n + 2 * (M - 1)) / M - 1 : (n + M - 1) / M - 1;
        int nb = n - np - 1;
        rc_.InitGop(np, nb);
        MarkUnitStart(out);
        PutGopHeader(out, p_, f0, i == 0);
      } else {
        type = kPictureP;
      }
      source = &newSource_;
      recon = &newRef_;
    } else {
      type = kPictureB;
      f = i - 1;
      row = (i - 2) % M + 1;
      source = &bSource_;
      recon = &bRef_;
    }
    ReportPercent(static_cast<int>(int64_t{i} * 100 / std::max(1, frames)));
    EncodePicture(out, f, f0, type, row, *source, *recon);
  }
}

int VideoEncoder::PictureIdentity(int f) const {
  if (!source_) return f;
  return source_->PictureIdentity(p_.SourceFrameOf(f));
}

void VideoEncoder::EncodeSlideshow(VideoBitWriter& out) {
  const int frames = p_.frames;
  SlideshowRate budget;
  // Room for the largest picture the buffer field can describe, less a little for the
  // repeats that follow it.
  budget.Init(p_.bitRate, p_.frameRate, 0.97 * kMaxVbvBufferSize * 16384.0);
  // Every repeat costs its picture header, a slice header, two macroblocks and the
  // address escapes between them.
  const double repeatBits = 160.0 + 11.0 * (macroblocks_ / 33 + 1);
  int guess = 8;
  for (int f = 0; f < frames;) {
    const int identity = PictureIdentity(f);
    int hold = 1;
    while (f + hold < frames && PictureIdentity(f + hold) == identity) ++hold;

    ReportFrame(static_cast<unsigned>(f));
    ReportPercent(static_cast<int>(int64_t{f} * 100 / std::max(1, frames)));
    const uint64_t gopStart = out.BitCount();
    MarkUnitStart(out);
    PutGopHeader(out, p_, f, true);
    PreparePicture(f, kPictureI, 0, newSource_);
    const double target = budget.Budget(hold) - repeatBits * (hold - 1) - 200.0;
    const int mquant = ChooseIntraQuantiser(target, guess);
    guess = mquant;
    BeginPicture(out, 0, kPictureI, 0, 0);
    CodeSlices(out, kPictureI, 0, mquant);
    if (observer_) {
      Reconstruct(newRef_);
      observer_->PictureCoded(f, kPictureI, newSource_, newRef_.frame, p_);
    }
    reader_.Release();
    for (int r = 1; r < hold; ++r) {
      ReportFrame(static_cast<unsigned>(f + r));
      PutRepeatPicture(out, r);
      if (observer_) observer_->PictureCoded(f + r, kPictureP, newSource_, newRef_.frame, p_);
    }
    budget.Spent(static_cast<double>(out.BitCount() - gopStart), hold);
    f += hold;
  }
}

int VideoEncoder::ChooseIntraQuantiser(double bits, int guess) {
  // Bits fall as the quantiser grows: find the finest scale whose picture fits.
  auto cost = [&](int scale) {
    trial_.Reset();
    CodeSlices(trial_, kPictureI, 0, 2 * scale);
    return static_cast<double>(trial_.BitCount());
  };
  int low = 1, high = 31;  // quantiser_scale; the answer lies in [low, high]
  int scale = std::clamp(guess / 2, low, high);
  if (cost(scale) <= bits)
    high = scale;
  else
    low = std::min(scale + 1, high);
  while (low < high) {
    int mid = (low + high) / 2;
    if (cost(mid) <= bits)
      high = mid;
    else
      low = mid + 1;
  }
  return 2 * low;
}

void VideoEncoder::PutRepeatPicture(VideoBitWriter& out, int temporalReference) {
  BeginPicture(out, temporalReference, kPictureP, 1, 0);
  PutSliceHeader(out, 0, 2);
  int pmv[2] = {0, 0};
  auto sendEmpty = [&](int increment) {
    PutAddressIncrement(out, increment);
    PutMacroblockType(out, kPictureP, kMbForward);
    PutMotionComponent(out, 0, pmv[0], 1);
    PutMotionComponent(out, 0, pmv[1], 1);
  };
  sendEmpty(1);
  if (macroblocks_ > 1) sendEmpty(macroblocks_ - 1);
}

void VideoEncoder::MarkUnitStart(VideoBitWriter& out) {
  out.AlignBits();
  if (unitMarked_) return;
  unitStart_ = out.BitCount();
  unitMarked_ = true;
}

void VideoEncoder::BeginPicture(VideoBitWriter& out, int temporalReference, int pictureType,
                                int forwardFCode, int backwardFCode) {
  MarkUnitStart(out);
  CodedPictureBits bits;
  bits.start = unitStart_;
  const uint64_t at = out.BitCount();
  bits.startCodeEnd = at + 32;
  bits.vbvDelayAt = at + 32 + 10 + 3;
  bits.type = pictureType;
  coded_.push_back(bits);
  unitMarked_ = false;
  // The delay is known once the whole stream is: SettleHeaders writes it.
  PutPictureHeader(out, temporalReference, pictureType, kVariableVbvDelay, forwardFCode,
                   backwardFCode);
}

void VideoEncoder::SettleHeaders(VideoBitWriter& out) {
  vbv_ = AnalyseVbv(coded_, out.BitCount(), p_.bitRate, p_.frameRate, p_.slideshow);
  for (size_t k = 0; k < coded_.size(); ++k)
    if (vbv_.vbvDelays[k] != kVariableVbvDelay)
      out.Patch(coded_[k].vbvDelayAt, static_cast<uint32_t>(vbv_.vbvDelays[k]), 16);
  // A slideshow's rate is variable by design: its bit_rate says so (0x3FFFF) rather than
  // name a rate it never keeps.
  const int bitRateField = p_.slideshow ? 0x3FFFF : p_.BitRateField();
  constrained_ = p_.constrainedParameters && bitRateField <= 4640 && vbv_.bufferSize <= 20;
  // bit_rate (18), marker, vbv_buffer_size (10), constrained_parameters_flag, and the two
  // matrix flags: the 32 bits after the sizes, rate code and aspect.
  const uint32_t word = (static_cast<uint32_t>(bitRateField) << 14) | (1u << 13) |
                        (static_cast<uint32_t>(vbv_.bufferSize) << 3) | (constrained_ ? 4u : 0u);
  out.Patch(64, word, 32);
}

void VideoEncoder::PreparePicture(int f, int type, int row, FrameStore& source) {
  reader_.Read(f, source);
  forwardRef_ = &oldRef_;
  forwardSource_ = &oldSource_;
  backwardRef_ = &newRef_;
  backwardSource_ = &newSource_;
  forwardSums_ = oldSums_;
  backwardSums_ = newSums_;
  // Motion estimation, prediction and transform of every macroblock: each depends only on
  // the pictures, never on another macroblock, so the rows go to the pool. An I or P
  // picture of the fixed pattern is the integer search's reference for the next three:
  // its block sums are made alongside.
  const FrameStore& src = source;
  const int W = p_.codedWidth, H = p_.codedHeight;
  constexpr int kSumRows = 16;
  const int sumItems = type != kPictureB && !p_.slideshow ? (H + kSumRows - 1) / kSumRows : 0;
  pool_.ParallelFor(p_.mbHeight + sumItems, [&](int item, int) {
    if (item >= p_.mbHeight) {
      int first = (item - p_.mbHeight) * kSumRows;
      BlockSums8(src.y, W, H, newSums_, first, std::min(H, first + kSumRows));
      return;
    }
    for (int c = 0; c < p_.mbWidth; ++c) {
      int k = item * p_.mbWidth + c;
      AnalyseMacroblock(k, type, row, src);
      PredictMacroblock(k, type, mbs_[k]);
      TransformMacroblock(k, src);
    }
  });
}

void VideoEncoder::EncodePicture(VideoBitWriter& out, int f, int f0, int type, int row,
                                 FrameStore& source, Reference& recon) {
  PreparePicture(f, type, row, source);
  CodePicture(out, type, f - f0, row);

  // A B picture is never referenced: its reconstruction only matters to an observer.
  if (type != kPictureB || observer_) {
    Reconstruct(recon);
    if (type != kPictureB) BuildHalfPlanes(recon);
  }
  if (observer_) observer_->PictureCoded(f, type, source, recon.frame, p_);
  reader_.Release();
}

void VideoEncoder::Reconstruct(Reference& recon) {
  pool_.ParallelFor(p_.mbHeight, [&](int mbRow, int) {
    for (int c = 0; c < p_.mbWidth; ++c) ReconstructMacroblock(mbRow * p_.mbWidth + c, recon);
  });
}

void VideoEncoder::AnalyseMacroblock(int k, int type, int row, const FrameStore& source) {
  const int W = p_.codedWidth, H = p_.codedHeight;
  const int x = 16 * (k % p_.mbWidth), y = 16 * (k / p_.mbWidth);
  const uint8_t* cur = source.y + static_cast<size_t>(y) * W + x;
  MacroblockInfo& mb = mbs_[k];
  mb = MacroblockInfo();

  double v0 = BlockVariance8(cur, W), v1 = BlockVariance8(cur + 8, W);
  double v2 = BlockVariance8(cur + 8 * W, W), v3 = BlockVariance8(cur + 8 * W + 8, W);
  mb.activity = 1.0 + std::min(std::min(v0, v1), std::min(v2, v3));

  int var = MacroblockVariance(cur, W);
  if (type == kPictureI) {
    mb.type = kMbIntra;
    mb.var = var;
    return;
  }
  const MotionTableRow& table = kMotionTable[row];
  ReferencePlanes forward = forwardRef_->Planes();
  if (type == kPictureP) {
    SearchResult res = FullSearch(forwardSource_->y, forward, cur, x, y, table.forwardSearchX,
                                  table.forwardSearchY, W, H, forwardSums_);
    int vmc = Sse16(cur, W, HalfPelBlock(forward, res.x2, res.y2, W), W);
    int vzero = Sse16(cur, W, forward.y[0] + static_cast<size_t>(y) * W + x, W);
    mb.type = DecidePredictedMode(var, vmc, vzero);
    if (mb.type == kMbForward) {
      mb.mv[0][0] = res.x2 - 2 * x;
      mb.mv[0][1] = res.y2 - 2 * y;
    }
    mb.var = var;
    return;
  }

  ReferencePlanes backward = backwardRef_->Planes();
  SearchResult rf = FullSearch(forwardSource_->y, forward, cur, x, y, table.forwardSearchX,
                               table.forwardSearchY, W, H, forwardSums_);
  SearchResult rb = FullSearch(backwardSource_->y, backward, cur, x, y, table.backwardSearchX,
                               table.backwardSearchY, W, H, backwardSums_);
  const uint8_t* pf = HalfPelBlock(forward, rf.x2, rf.y2, W);
  const uint8_t* pb = HalfPelBlock(backward, rb.x2, rb.y2, W);
  int vmcf = Sse16(cur, W, pf, W);
  int vmcr = Sse16(cur, W, pb, W);
  alignas(16) uint8_t both[256];
  Average16(pf, W, pb, W, both, 16);
  int vmci = Sse16(cur, W, both, 16);
  mb.type = DecideBidirectionalMode(var, vmcf, vmcr, vmci);
  if (mb.type != kMbIntra) {
    mb.mv[0][0] = rf.x2 - 2 * x;
    mb.mv[0][1] = rf.y2 - 2 * y;
    mb.mv[1][0] = rb.x2 - 2 * x;
    mb.mv[1][1] = rb.y2 - 2 * y;
  }
  mb.var = var;
}

void VideoEncoder::PredictMacroblock(int k, int type, const MacroblockInfo& mb) {
  const int W = p_.codedWidth, CW = p_.chromaWidth;
  const int x = 16 * (k % p_.mbWidth), y = 16 * (k / p_.mbWidth);
  uint8_t* py = prediction_.y + static_cast<size_t>(y) * W + x;
  uint8_t* pcb = prediction_.cb + static_cast<size_t>(y / 2) * CW + x / 2;
  uint8_t* pcr = prediction_.cr + static_cast<size_t>(y / 2) * CW + x / 2;
  if (mb.type & kMbIntra) {
    for (int r = 0; r < 16; ++r) std::memset(py + r * W, 128, 16);
    for (int r = 0; r < 8; ++r) {
      std::memset(pcb + r * CW, 128, 8);
      std::memset(pcr + r * CW, 128, 8);
    }
    return;
  }
  // One direction's prediction: luminance at the half-pel vector, chrominance at half of
  // it (truncated toward zero), each from the matching half-pel plane.
  struct Source {
    const uint8_t* y;
    const uint8_t* cb;
    const uint8_t* cr;
  };
  auto locate = [&](const Reference& ref, int dx, int dy) {
    Source s;
    s.y =
        ref.y[((dy & 1) << 1) | (dx & 1)] + static_cast<size_t>(y + (dy >> 1)) * W + x + (dx >> 1);
    int cdx = dx / 2, cdy = dy / 2;
    size_t offset = static_cast<size_t>(y / 2 + (cdy >> 1)) * CW + x / 2 + (cdx >> 1);
    int plane = ((cdy & 1) << 1) | (cdx & 1);
    s.cb = ref.cb[plane] + offset;
    s.cr = ref.cr[plane] + offset;
    return s;
  };
  bool forward = (mb.type & kMbForward) || type == kPictureP;  // P without MC: zero vector
  bool backward = (mb.type & kMbBackward) != 0;
  if (forward && backward) {
    Source a = locate(*forwardRef_, mb.mv[0][0], mb.mv[0][1]);
    Source b = locate(*backwardRef_, mb.mv[1][0], mb.mv[1][1]);
    Average16(a.y, W, b.y, W, py, W);
    AverageBlock(a.cb, CW, b.cb, CW, pcb, CW, 8, 8);
    AverageBlock(a.cr, CW, b.cr, CW, pcr, CW, 8, 8);
    return;
  }
  Source s = forward ? locate(*forwardRef_, mb.mv[0][0], mb.mv[0][1])
                     : locate(*backwardRef_, mb.mv[1][0], mb.mv[1][1]);
  CopyBlock(s.y, W, py, W, 16, 16);
  CopyBlock(s.cb, CW, pcb, CW, 8, 8);
  CopyBlock(s.cr, CW, pcr, CW, 8, 8);
}

void VideoEncoder::TransformMacroblock(int k, const FrameStore& source) {
  const int W = p_.codedWidth, CW = p_.chromaWidth;
  const int x = 16 * (k % p_.mbWidth), y = 16 * (k / p_.mbWidth);
  int16_t* blocks = coefficients_ + static_cast<size_t>(k) * 6 * 64;
  for (int b = 0; b < 4; ++b) {
    size_t offset = static_cast<size_t>(y + 8 * (b >> 1)) * W + x + 8 * (b & 1);
    const uint8_t* s = source.y + offset;
    const uint8_t* pr = prediction_.y + offset;
    int16_t* block = blocks + 64 * b;
    for (int r = 0; r < 8; ++r)
      for (int c = 0; c < 8; ++c)
        block[8 * r + c] = static_cast<int16_t>(s[r * W + c] - pr[r * W + c]);
    ForwardDct(block);
  }
  size_t offset = static_cast<size_t>(y / 2) * CW + x / 2;
  for (int b = 4; b < 6; ++b) {
    const uint8_t* s = (b == 4 ? source.cb : source.cr) + offset;
    const uint8_t* pr = (b == 4 ? prediction_.cb : prediction_.cr) + offset;
    int16_t* block = blocks + 64 * b;
    for (int r = 0; r < 8; ++r)
      for (int c = 0; c < 8; ++c)
        block[8 * r + c] = static_cast<int16_t>(s[r * CW + c] - pr[r * CW + c]);
    ForwardDct(block);
  }
}

void VideoEncoder::CodePicture(VideoBitWriter& out, int type, int temporalReference, int row) {
  const MotionTableRow& table = kMotionTable[row];
  rc_.InitPicture(type, out.BitCount());
  BeginPicture(out, temporalReference, type, type == kPictureI ? 0 : table.forwardHorizontalFCode,
               type == kPictureB ? table.backwardHorizontalFCode : 0);
  CodeSlices(out, type, row, 0);
  rc_.UpdatePicture(out.BitCount());
}

void VideoEncoder::CodeSlices(VideoBitWriter& out, int type, int row, int fixedQuantiser) {
  const MotionTableRow& table = kMotionTable[row];
  const int forwardFCode = table.forwardHorizontalFCode;
  const int backwardFCode = table.backwardHorizontalFCode;
  int lastSent = fixedQuantiser ? fixedQuantiser : rc_.StartQuantiser();

  int dcPredictor[3] = {0, 0, 0};
  int pmv[2][2] = {{0, 0}, {0, 0}};
  int increment = 1;
  int k = 0;
  for (int j = 0; j < p_.mbHeight; ++j) {
    for (int i = 0; i < p_.mbWidth; ++i, ++k) {
      MacroblockInfo& mb = mbs_[k];
      if (i == 0) {
        PutSliceHeader(out, j, lastSent);
        dcPredictor[0] = dcPredictor[1] = dcPredictor[2] = 0;
        pmv[0][0] = pmv[0][1] = pmv[1][0] = pmv[1][1] = 0;
        increment = i + 1;
      }
      const int mquant =
          fixedQuantiser ? fixedQuantiser : rc_.MacroblockQuantiser(k, mb.activity, out.BitCount());
      mb.mquant = mquant;
      int flags = mb.type;
      const int16_t* coefficients = coefficients_ + static_cast<size_t>(k) * 6 * 64;
      int16_t* levels = levels_ + static_cast<size_t>(k) * 6 * 64;
      int cbp = 0;
      if (flags & kMbIntra) {
        for (int b = 0; b < 6; ++b) QuantIntra(coefficients + 64 * b, levels + 64 * b, mquant);
        cbp = 63;
      } else {
        for (int b = 0; b < 6; ++b)
          if (QuantNonIntra(coefficients + 64 * b, levels + 64 * b, mquant)) cbp |= 32 >> b;
        if (cbp) flags |= kMbPattern;
      }
      if (cbp && mquant != lastSent) flags |= kMbQuant;
      mb.cbp = cbp;

      if (i != 0 && i != p_.mbWidth - 1 && cbp == 0) {
        bool skip = false;
        if (type == kPictureP && !(flags & kMbForward)) {
          skip = true;
          dcPredictor[0] = dcPredictor[1] = dcPredictor[2] = 0;
          pmv[0][0] = pmv[0][1] = pmv[1][0] = pmv[1][1] = 0;
        } else if (type == kPictureB) {
          const int directions = kMbForward | kMbBackward;
          skip =
              ((mbs_[k - 1].type ^ flags) & directions) == 0 &&
              (!(flags & kMbForward) || (pmv[0][0] == mb.mv[0][0] && pmv[0][1] == mb.mv[0][1])) &&
              (!(flags & kMbBackward) || (pmv[1][0] == mb.mv[1][0] && pmv[1][1] == mb.mv[1][1]));
        }
        if (skip) {
          mb.skipped = true;
          mb.codedFlags = flags;
          ++increment;
          continue;
        }
      }

      // MPEG-1 has no P macroblock type without both motion compensation and coded
      // blocks: send a zero vector instead.
      if (type == kPictureP && cbp == 0 && !(flags & kMbForward)) {
        flags |= kMbForward;
        mb.mv[0][0] = mb.mv[0][1] = 0;
      }
      mb.codedFlags = flags;
      PutAddressIncrement(out, increment);
      increment = 1;
      PutMacroblockType(out, type, flags);
      if (flags & kMbQuant) {
        out.PutBits(mquant / 2, 5);
        lastSent = mquant;
      }
      if (flags & kMbForward) {
        PutMotionComponent(out, mb.mv[0][0], pmv[0][0], forwardFCode);
        PutMotionComponent(out, mb.mv[0][1], pmv[0][1], forwardFCode);
      }
      if (flags & kMbBackward) {
        PutMotionComponent(out, mb.mv[1][0], pmv[1][0], backwardFCode);
        PutMotionComponent(out, mb.mv[1][1], pmv[1][1], backwardFCode);
      }
      if (flags & kMbPattern) PutCodedBlockPattern(out, cbp);
      for (int b = 0; b < 6; ++b) {
        if (!(cbp & (32 >> b))) continue;
        if (flags & kMbIntra) {
          int component = b < 4 ? 0 : b - 3;
          PutIntraBlock(out, levels + 64 * b, component, dcPredictor[component]);
        } else {
          PutNonIntraBlock(out, levels + 64 * b);
        }
      }
      if (!(flags & kMbIntra)) dcPredictor[0] = dcPredictor[1] = dcPredictor[2] = 0;
      if ((flags & kMbIntra) || (type == kPictureP && !(flags & kMbForward)))
        pmv[0][0] = pmv[0][1] = pmv[1][0] = pmv[1][1] = 0;
    }
  }
}

void VideoEncoder::ReconstructMacroblock(int k, Reference& recon) {
  const int W = p_.codedWidth, CW = p_.chromaWidth;
  const int x = 16 * (k % p_.mbWidth), y = 16 * (k / p_.mbWidth);
  const MacroblockInfo& mb = mbs_[k];
  const int16_t* levels = levels_ + static_cast<size_t>(k) * 6 * 64;
  for (int b = 0; b < 6; ++b) {
    const uint8_t* pred;
    uint8_t* dst;
    int stride;
    if (b < 4) {
      size_t offset = static_cast<size_t>(y + 8 * (b >> 1)) * W + x + 8 * (b & 1);
      pred = prediction_.y + offset;
      dst = recon.frame.y + offset;
      stride = W;
    } else {
      size_t offset = static_cast<size_t>(y / 2) * CW + x / 2;
      pred = (b == 4 ? prediction_.cb : prediction_.cr) + offset;
      dst = (b == 4 ? recon.frame.cb : recon.frame.cr) + offset;
      stride = CW;
    }
    if (!(mb.cbp & (32 >> b))) {
      CopyBlock(pred, stride, dst, stride, 8, 8);
      continue;
    }
    alignas(16) int16_t block[64];
    if (mb.type & kMbIntra)
      DequantIntra(levels + 64 * b, block, mb.mquant);
    else
      DequantNonIntra(levels + 64 * b, block, mb.mquant);
    InverseDct(block);
    for (int r = 0; r < 8; ++r)
      for (int c = 0; c < 8; ++c)
        dst[r * stride + c] = Clip255(pred[r * stride + c] + block[8 * r + c]);
  }
}

void VideoEncoder::BuildHalfPlanes(Reference& r) {
  const int W = p_.codedWidth, H = p_.codedHeight;
  const int CW = p_.chromaWidth, CH = p_.chromaHeight;
  constexpr int kRows = 16;
  int lumaItems = (H + kRows - 1) / kRows;
  int chromaItems = (CH + kRows - 1) / kRows;
  pool_.ParallelFor(lumaItems + 2 * chromaItems, [&](int item, int) {
    if (item < lumaItems) {
      BuildHalfPelPlanes(r.frame.y, W, H, r.y[1], r.y[2], r.y[3], item * kRows,
                         std::min(H, (item + 1) * kRows));
      return;
    }
    item -= lumaItems;
    bool cb = item < chromaItems;
    if (!cb) item -= chromaItems;
    uint8_t* const* planes = cb ? r.cb : r.cr;
    BuildHalfPelPlanes(planes[0], CW, CH, planes[1], planes[2], planes[3], item * kRows,
                       std::min(CH, (item + 1) * kRows));
  });
}

}  // namespace quendrolix
