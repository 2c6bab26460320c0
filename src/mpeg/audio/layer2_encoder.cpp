#include "mpeg/audio/layer2_encoder.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <new>

#include "mpeg/audio/audio_tables.h"
#include "mpeg/audio/bit_writer.h"
#include "mpeg/audio/mp2_engine.h"
#include "platform/host/conversion_log.h"
#include "platform/host/file_exception.h"

namespace quendrolix {
namespace mp2 {

namespace {

constexpr int kSubbands = 32;
constexpr int kParts = 3;
constexpr int kSamplesPerPart = 12;
constexpr int kFrameSamples = 1152;
constexpr int kBufferBytes = 4096;
constexpr double kSampleRate = 44100.0;
constexpr int kTreeLeaves = 64;  // at least 32 subbands x 2 channels

[[noreturn]] void Abort(const char* why) {
  throw CFileException(why);
}

// Class of a scale factor index difference.
int DifferenceClass(int d) {
  if (d <= -3) return 0;
  if (d <= -1) return 1;
  if (d == 0) return 2;
  if (d <= 2) return 3;
  return 4;
}

// Transmission patterns by (class of sf0 - sf1, class of sf1 - sf2).
enum Pattern { k123, k122, k133, k113, k111, k222, k333, k444 };
constexpr Pattern kPatterns[5][5] = {
    {k123, k122, k122, k133, k123}, {k113, k111, k111, k444, k113}, {k111, k111, k111, k333, k113},
    {k222, k222, k222, k333, k123}, {k123, k122, k122, k133, k123},
};

}  // namespace

int ChooseAllocTable(int bitRatePerChannel, int kHz) {
  const int r = bitRatePerChannel;
  if (kHz == 48) {
    if (r >= 56) return kTableB2a;
    if (r <= 48) return kTableB2c;
    return -1;
  }
  if (r >= 56 && r <= 80) return kTableB2a;
  if (r >= 96) return kTableB2b;
  if (r <= 48) return kHz == 32 ? -1 : kTableB2c;
  return -1;
}

int Layer2BitRateIndex(int kbitPerSecond) {
  // Index 0 (free format) is never chosen.
  for (int i = 1; i < static_cast<int>(kLayer2BitRates.size()); ++i)
    if (kLayer2BitRates[i] == kbitPerSecond) return i;
  return -1;
}

SlotCounter::SlotCounter(int bitRate) {
  const double average = (kFrameSamples / (kSampleRate / 1000.0)) * (bitRate / 8.0);
  whole_ = static_cast<int>(average);
  frac_ = average - whole_;
  lag_ = -frac_;
}

bool SlotCounter::NextFramePadded() {
  if (frac_ == 0.0) return false;
  if (lag_ > frac_ - 1.0) {
    lag_ -= frac_;
    return false;
  }
  lag_ += 1.0 - frac_;
  return true;
}

int SelectScfsi(int sf[3]) {
  switch (kPatterns[DifferenceClass(sf[0] - sf[1])][DifferenceClass(sf[1] - sf[2])]) {
    case k123:
      return 0;
    case k122:
      sf[2] = sf[1];
      return 3;
    case k133:
      sf[1] = sf[2];
      return 3;
    case k113:
      sf[1] = sf[0];
      return 1;
    case k111:
      sf[1] = sf[2] = sf[0];
      return 2;
    case k222:
      sf[0] = sf[2] = sf[1];
      return 2;
    case k333:
      sf[0] = sf[1] = sf[2];
      return 2;
    case k444:
      sf[0] = std::min(sf[0], sf[2]);
      sf[1] = sf[2] = sf[0];
      return 2;
  }
  return 0;
}

namespace {

// Everything one conversion works on, allocated once and zero-filled.
struct EncoderWork {
  double sbSample[2][kParts][kSamplesPerPart][kSubbands];
  int scalar[2][kParts][kSubbands];
  int scfsi[2][kSubbands];
  int alloc[2][kSubbands];
  double smr[2][kSubbands];
  int16_t input[2][kFrameSamples];
  double history[2][mp2::PsychoModel2::kHistory];
};

class Layer2Encoder {
 public:
  Layer2Encoder(PcmSource& source, Mp2EngineState& engine, int bitRateIndex)
      : source_(source),
        engine_(engine),
        bitRateIndex_(bitRateIndex),
        stereo_(source.channels() == 1 ? 1 : 2),
        slots_(engine.parameters.bitRate) {
    const int table = ChooseAllocTable(engine.parameters.bitRate / stereo_, 44);
    if (table < 0) {
      ReportLine("Error: unsupported bit rate");
      Abort("unsupported bit rate");
    }
    table_ = &HeldAllocTable(static_cast<AllocTableNumber>(table));
    sblimit_ = table_->sblimit;
    work_.reset(new (std::nothrow) EncoderWork());
    if (!work_) {
      ReportLine("Error: %s allocation failed", "sb_sample");
      Abort("allocation failed");
    }
  }

  void Run(BitWriter& out) {
    EncoderWork& w = *work_;
    const uint64_t total = source_.totalSamples();
    int lastPercent = -1;
    while (source_.ReadBlock(w.input[0], w.input[1]) > 0) {
      if (total > 0) {
        const int percent = static_cast<int>(
            static_cast<double>(total - source_.samplesStillToDeliver()) / total * 100.0);
        if (percent != lastPercent) ReportPercent(lastPercent = percent);
      }
      const bool padded = slots_.NextFramePadded();
      int availableBits = (slots_.whole() + (padded ? 1 : 0)) * 8;

      Filter();
      ScaleFactors();
      for (int ch = 0; ch < stereo_; ++ch)
        engine_.model.AnalyseMasking(w.input[ch], w.history[ch], ch, engine_.parameters.layer,
                                     kSampleRate, w.smr[ch]);
      for (int ch = 0; ch < stereo_; ++ch)
        for (int sb = 0; sb < sblimit_; ++sb) {
          int sf[3] = {w.scalar[ch][0][sb], w.scalar[ch][1][sb], w.scalar[ch][2][sb]};
          w.scfsi[ch][sb] = SelectScfsi(sf);
          for (int part = 0; part < kParts; ++part) w.scalar[ch][part][sb] = sf[part];
        }
      const int leftOver = AllocateBits(availableBits);
      WriteFrame(out, padded, leftOver);
    }
  }

 private:
  void Filter() {
    EncoderWork& w = *work_;
    for (int part = 0; part < kParts; ++part)
      for (int s = 0; s < kSamplesPerPart; ++s)
        for (int ch = 0; ch < stereo_; ++ch)
          engine_.filterBank.WindowAndFilter(ch, &w.input[ch][(part * kSamplesPerPart + s) * 32],
                                             w.sbSample[ch][part][s]);
  }

  void ScaleFactors() {
    EncoderWork& w = *work_;
    const std::array<double, 64>& table = ScaleFactorValues();
    for (int ch = 0; ch < stereo_; ++ch)
      for (int part = 0; part < kParts; ++part) {
        for (int sb = 0; sb < sblimit_; ++sb) {
          double largest = 0.0;
          for (int s = 0; s < kSamplesPerPart; ++s)
            largest = std::max(largest, std::fabs(w.sbSample[ch][part][s][sb]));
          // The largest j whose value is at least `largest`; the values fall with j.
          int low = 0, high = 62;
          while (low < high) {
            const int mid = (low + high + 1) / 2;
            if (table[mid] >= largest)
              low = mid;
            else
              high = mid - 1;
          }
          w.scalar[ch][part][sb] = low;
        }
        for (int sb = sblimit_; sb < kSubbands; ++sb) w.scalar[ch][part][sb] = 63;
      }
  }

  // Greedy allocation: the subband and channel with the smallest mask-to-noise ratio gets
  // the next step while the bits last. Returns the bits left over.
  int AllocateBits(int availableBits) {
    EncoderWork& w = *work_;
    enum State { kUntouched, kActive, kFull };
    State state[2][kSubbands];
    double mnr[2][kSubbands];
    availableBits -= 32;
    for (int sb = 0; sb < sblimit_; ++sb) availableBits -= Nbal(sb) * stereo_;
    for (int sb = 0; sb < sblimit_; ++sb)
      for (int ch = 0; ch < stereo_; ++ch) {
        w.alloc[ch][sb] = 0;
        state[ch][sb] = kUntouched;
        mnr[ch][sb] = 0.0 - w.smr[ch][sb];
      }
    for (int ch = 0; ch < 2; ++ch)
      for (int sb = sblimit_; sb < kSubbands; ++sb) w.alloc[ch][sb] = 0;

    // The candidate search runs over a tournament tree of the (subband, channel) slots in
    // scan order (subbands ascending, channels within), where a strictly smaller MNR beats
    // an earlier slot: the same choice as scanning the slots one by one, in log time.
    const int slots = sblimit_ * stereo_;
    auto better = [&](int a, int b) {
      if (a < 0) return b;
      if (b < 0) return a;
      return mnr[b % stereo_][b / stereo_] < mnr[a % stereo_][a / stereo_] ? b : a;
    };
    int tree[2 * kTreeLeaves];
    for (int i = 0; i < kTreeLeaves; ++i) tree[kTreeLeaves + i] = i < slots ? i : -1;
    for (int node = kTreeLeaves - 1; node >= 1; --node)
      tree[node] = better(tree[2 * node], tree[2 * node + 1]);

    int used = 0;
    while (tree[1] >= 0) {
      const int slot = tree[1];
      const int sb = slot / stereo_, ch = slot % stereo_;
      const int index = w.alloc[ch][sb];
      const AllocEntry& next = table_->rows[sb][index + 1];
      int cost = 12 * static_cast<int>(next.group * next.bits);
      if (state[ch][sb] == kActive) {
        const AllocEntry& current = table_->rows[sb][index];
        cost -= 12 * static_cast<int>(current.group * current.bits);
      } else {
        cost += 2 + 6 * kScaleFactorsSent[w.scfsi[ch][sb]];
      }
      if (used + cost <= availableBits) {
        w.alloc[ch][sb] = index + 1;
        used += cost;
        state[ch][sb] = kActive;
        mnr[ch][sb] = kSnrTable[next.quant + 1] - w.smr[ch][sb];
        if (index + 1 >= (1 << Nbal(sb)) - 1) state[ch][sb] = kFull;
      } else {
        state[ch][sb] = kFull;
      }
      int node = kTreeLeaves + slot;
      tree[node] = state[ch][sb] == kFull ? -1 : slot;
      for (node /= 2; node >= 1; node /= 2) tree[node] = better(tree[2 * node], tree[2 * node + 1]);
    }
    return availableBits - used;
  }

  int Nbal(int sb) const { return static_cast<int>(table_->rows[sb][0].bits); }

  unsigned Quantise(int ch, int part, int s, int sb, const QuantClass& q) {
    EncoderWork& w = *work_;
    double d = w.sbSample[ch][part][s][sb] / ScaleFactorValues()[w.scalar[ch][part][sb]];
    if (std::fabs(d) > 1.0) ReportLine("Error: in scaling %d %d %d %d", ch, part, s, sb);
    d = d * q.a + q.b;
    unsigned sign = 0;
    if (d >= 0.0) {
      sign = 1;
    } else {
      d += 1.0;
    }
    // Only a sample beyond its scale factor (the error above) can leave [0, 1) here.
    const double scaled = d * static_cast<double>(1u << q.n);
    const unsigned top = (1u << q.n) - 1;
    unsigned code = scaled <= 0.0 ? 0u : scaled >= top ? top : static_cast<unsigned>(scaled);
    if (sign) code |= 1u << q.n;
    return code;
  }

  void WriteFrame(BitWriter& out, bool padded, int leftOver) {
    EncoderWork& w = *work_;
    // Header.
    out.PutBits(0xFFF, 12);                                // syncword
    out.PutBits(1, 1);                                     // ID: MPEG-1
    out.PutBits(4 - engine_.parameters.layer, 2);          // layer
    out.PutBits(1, 1);                                     // protection_bit: no CRC
    out.PutBits(static_cast<uint32_t>(bitRateIndex_), 4);  // bitrate_index
    out.PutBits(0, 2);                                     // sampling_frequency 44.1
    out.PutBits(padded ? 1 : 0, 1);                        // padding_bit
    out.PutBits(0, 1);                                     // private_bit
    out.PutBits(stereo_ == 1 ? 3 : 0, 2);                  // mode
    out.PutBits(0, 2);                                     // mode_extension
    out.PutBits(0, 1);                                     // copyright
    out.PutBits(0, 1);                                     // original/copy
    out.PutBits(0, 2);                                     // emphasis

    for (int sb = 0; sb < sblimit_; ++sb)
      for (int ch = 0; ch < stereo_; ++ch)
        out.PutBits(static_cast<uint32_t>(w.alloc[ch][sb]), Nbal(sb));  // allocation
    for (int sb = 0; sb < sblimit_; ++sb)
      for (int ch = 0; ch < stereo_; ++ch)
        if (w.alloc[ch][sb]) out.PutBits(static_cast<uint32_t>(w.scfsi[ch][sb]), 2);  // scfsi
    for (int sb = 0; sb < sblimit_; ++sb)
      for (int ch = 0; ch < stereo_; ++ch) {
        if (!w.alloc[ch][sb]) continue;
        const int sf[3] = {w.scalar[ch][0][sb], w.scalar[ch][1][sb], w.scalar[ch][2][sb]};
        switch (w.scfsi[ch][sb]) {  // scale factors
          case 0:
            for (int part = 0; part < 3; ++part) out.PutBits(static_cast<uint32_t>(sf[part]), 6);
            break;
          case 1:
          case 3:
            out.PutBits(static_cast<uint32_t>(sf[0]), 6);
            out.PutBits(static_cast<uint32_t>(sf[2]), 6);
            break;
          case 2:
            out.PutBits(static_cast<uint32_t>(sf[0]), 6);
            break;
        }
      }

    const std::array<QuantClass, kQuantClasses>& classes = QuantClasses();
    for (int part = 0; part < kParts; ++part)
      for (int group = 0; group < 4; ++group)
        for (int sb = 0; sb < sblimit_; ++sb)
          for (int ch = 0; ch < stereo_; ++ch) {
            const int index = w.alloc[ch][sb];
            if (!index) continue;
            const AllocEntry& row = table_->rows[sb][index];
            const QuantClass& q = classes[row.quant];
            unsigned code[3];
            for (int i = 0; i < 3; ++i) code[i] = Quantise(ch, part, group * 3 + i, sb, q);
            if (row.group == 3) {
              for (int i = 0; i < 3; ++i) out.PutBits(code[i], static_cast<int>(row.bits));
            } else {
              const unsigned grouped = code[0] + row.steps * (code[1] + row.steps * code[2]);
              out.PutBits(grouped, static_cast<int>(row.bits));
            }
          }

    // Ancillary: zero bits up to the frame length.
    for (; leftOver >= 32; leftOver -= 32) out.PutBits(0, 32);
    out.PutBits(0, leftOver);
  }

  PcmSource& source_;
  Mp2EngineState& engine_;
  int bitRateIndex_;
  int stereo_;
  SlotCounter slots_;
  const AllocTable* table_ = nullptr;
  int sblimit_ = 0;
  std::unique_ptr<EncoderWork> work_;
};

}  // namespace
}  // namespace mp2

void EncodeMp2File(const std::string& outputPath, PcmSource& source) {
  Mp2EngineState& engine = Mp2Engine();
  const Mp2EncoderParameters& p = engine.parameters;

  const auto& rates = p.layer == 1 ? mp2::kLayer1BitRates : mp2::kLayer2BitRates;
  if (p.bitRate <= 0 || std::find(rates.begin() + 1, rates.end(), p.bitRate) == rates.end()) {
    ReportLine("Error: %d bit-rate is unsupported (must be between 32 and 448)", p.bitRate);
    ReportLine("Error: %u bit-rate is unsupported", static_cast<unsigned>(p.bitRate));
    throw CFileException("unsupported bit rate");
  }
  if (p.layer != 2) {
    ReportLine("Error: layer %d is unsupported", p.layer);
    throw CFileException("unsupported layer");
  }
  if (source.samplesPerSec() != 11025 && source.samplesPerSec() != 22050 &&
      source.samplesPerSec() != 44100) {
    ReportLine("Error: %i SPS audio is unsupported (must be 11.025, 22.05, or 44.1kHz)",
               static_cast<int>(source.samplesPerSec()));
    throw CFileException("unsupported sampling rate");
  }
  if (source.bitsPerSample() != 8 && source.bitsPerSample() != 16) {
    ReportLine("Error: %i BPS audio is unsupported (must be 8 or 16)", source.bitsPerSample());
    throw CFileException("unsupported sample size");
  }

  mp2::Layer2Encoder encoder(source, engine, mp2::Layer2BitRateIndex(p.bitRate));
  BitWriter out;
  if (!out.Open(outputPath, mp2::kBufferBytes)) {
    ReportLine("Error: \"%s\" save failed", outputPath.c_str());
    throw CFileException("cannot create the output");
  }
  encoder.Run(out);
  if (!out.Close()) {
    ReportLine("Error: \"%s\" save failed", outputPath.c_str());
    throw CFileException("cannot write the output");
  }
}

}  // namespace quendrolix
