#include "mpeg/system/multiplexer.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <memory>
#include <vector>

#include "mpeg/system/access_unit_list.h"
#include "mpeg/system/stream_source.h"
#include "platform/host/atomic_file.h"
#include "platform/host/conversion_log.h"
#include "platform/host/file_exception.h"
#include "platform/host/file_handle.h"

namespace quendrolix {
namespace fs = std::filesystem;

SystemStreamEngine& TheSystemStreamEngine() {
  static SystemStreamEngine engine;
  return engine;
}

void ReportMultiplexCounters(const MultiplexCounters& counters, bool endings) {
  if (counters.videoTimedOut != 0) ReportLine("Error: video timed-out");
  if (counters.audioTimedOut != 0) ReportLine("Error: audio timed-out");
  if (!endings) return;
  if (counters.videoEndedTooSoon != 0) ReportLine("Error: video ended too soon");
  if (counters.audioEndedTooSoon != 0) ReportLine("Error: audio ended too soon");
}

MultiplexRates ComputeMultiplexRates(const VideoStreamInfo& video, const AudioStreamInfo& audio,
                                     unsigned streams, uint32_t firstVideoLength,
                                     uint32_t firstAudioLength) {
  const bool hasVideo = (streams & kVideoStream) != 0;
  const bool hasAudio = (streams & kAudioStream) != 0;
  MultiplexRates rates;
  rates.systemHeaderSize = hasVideo && hasAudio ? 18 : 15;
  rates.packetDataSize = kSectorSize - kPackHeaderSize - rates.systemHeaderSize - kPacketOverhead;
  if (hasVideo) {
    const unsigned field = video.bitRate == 0x3FFFF ? 0 : video.bitRate;
    rates.videoRate = 50 * uint64_t{std::max(field, video.computedBitRate)};
  }
  if (hasAudio)
    rates.audioRate = 128 * uint64_t{AudioBitRateKbps(audio.layerCode, audio.bitrateIndex)};
  const uint64_t p = rates.packetDataSize;
  rates.pseudoMuxRate = ((rates.videoRate + rates.audioRate) * kSectorSize + p - 1) / p;
  // ceil(pseudo x 0.02), within the 22 bits of the field and never 0 (it divides below).
  const uint64_t muxRate = (rates.pseudoMuxRate + 49) / 50;
  rates.muxRate = static_cast<unsigned>(std::clamp<uint64_t>(muxRate, 1, (1u << 22) - 1));
  rates.timingRate = rates.muxRate * 50.0;
  auto packets = [p](uint32_t length) { return (length + p - 1) / p; };
  const double sectors = static_cast<double>((hasAudio ? packets(firstAudioLength) : 0) +
                                             (hasVideo ? packets(firstVideoLength) : 0) + 8);
  rates.startupDelay = TimeStampFromTicks(sectors * kSectorSize / rates.timingRate * kSystemClock);
  return rates;
}

namespace {

// The decoder's input buffer of one stream: bytes delivered and the time they leave.
class BufferModel {
 public:
  explicit BufferModel(uint64_t size) : size_(size) {}
  uint64_t Free() const { return size_ > used_ ? size_ - used_ : 0; }
  void Push(uint64_t bytes, uint64_t time) {
    if (bytes == 0) return;
    queue_.push_back({bytes, time});
    used_ += bytes;
  }
  // Drops what the decoder has taken by `scr`; stops at the first later entry.
  // When the first byte still held leaves; false when the buffer is empty.
  bool NextLeave(uint64_t& time) const {
    if (queue_.empty()) return false;
    time = queue_.front().time;
    return true;
  }
  void Clean(uint64_t scr) {
    while (!queue_.empty() && queue_.front().time <= scr) {
      used_ -= queue_.front().bytes;
      queue_.pop_front();
    }
  }

 private:
  struct Entry {
    uint64_t bytes;
    uint64_t time;
  };
  uint64_t size_;
  uint64_t used_ = 0;
  std::deque<Entry> queue_;
};

enum class Stamps { kNone, kPts, kPtsDts };

struct Stream {
  Stream(bool video, uint64_t bufferSize) : isVideo(video), buffer(bufferSize) {}
  bool isVideo;
  bool present = false;
  std::string path;
  FileHandle list;
  std::unique_ptr<char[]> fileBuffer;
  FileHandle file;  // after its buffer, so it is closed first
  std::unique_ptr<StreamSource> source;
  uint64_t inputLeft = 0;  // analysed bytes not read yet; trailing bytes are never sent
  // The current access unit; length 0 once the list is exhausted. Audio keeps its PTS in
  // dts too, the time its bytes leave the buffer.
  uint64_t length = 0;
  uint32_t type = 0;
  uint64_t dts = 0;
  uint64_t pts = 0;
  bool startsUnit = false;  // the next packet begins exactly at the current unit
  BufferModel buffer;
};

class Multiplexer {
 public:
  Multiplexer(const VideoStreamInfo& videoInfo, const AudioStreamInfo& audioInfo, unsigned streams)
      : videoInfo_(videoInfo),
        audioInfo_(audioInfo),
        streams_(streams),
        video_(true, kVideoBufferSize),
        audio_(false, kAudioBufferSize) {}

  void Run(const std::string& videoPath, const std::string& videoListPath,
           const std::string& audioPath, const std::string& audioListPath,
           const std::string& outputPath);

 private:
  void OpenStream(Stream& s, const std::string& path, const std::string& listPath, uint64_t length);
  bool ReadRecord(Stream& s);
  bool NextRecord(Stream& s);
  void Account(Stream& s, uint64_t n);
  size_t ReadInput(Stream& s, uint8_t* data);
  uint64_t NextScr(const Stream& s) const;
  void WriteStreamPack(Stream& s);
  void WritePaddingPack();
  void WaitOrPad(bool videoLeft, bool audioLeft);
  void WritePack(uint8_t streamId, Stamps stamps, uint64_t pts, uint64_t dts, size_t dataBytes,
                 bool bufferFields);
  void PutSystemHeader();

  const VideoStreamInfo& videoInfo_;
  const AudioStreamInfo& audioInfo_;
  unsigned streams_;
  MultiplexRates rates_;
  Stream video_;
  Stream audio_;
  std::vector<char> outputBuffer_;
  std::FILE* output_ = nullptr;  // the output file's stream while it is written
  std::string outputName_;
  uint64_t written_ = 0;
  uint64_t scr_ = 0;
  // Clock time skipped after one stream has ended: the other one waits for its decoder
  // by a later SCR instead of by padding packs.
  uint64_t skipped_ = 0;
  unsigned dataOffset_ = 0;
  uint8_t sector_[kSectorSize + 64];
};

void PutStamp(uint8_t* p, unsigned prefix, uint64_t stamp) {
  stamp &= kTimeStampMask;
  p[0] = static_cast<uint8_t>(prefix << 4 | ((stamp >> 30) & 7) << 1 | 1);
  p[1] = static_cast<uint8_t>(stamp >> 22);
  p[2] = static_cast<uint8_t>(((stamp >> 15) & 0x7F) << 1 | 1);
  p[3] = static_cast<uint8_t>(stamp >> 7);
  p[4] = static_cast<uint8_t>((stamp & 0x7F) << 1 | 1);
}

void PutRateBound(uint8_t* p, unsigned rate) {
  p[0] = static_cast<uint8_t>(0x80 | ((rate >> 15) & 0x7F));
  p[1] = static_cast<uint8_t>(rate >> 7);
  p[2] = static_cast<uint8_t>((rate & 0x7F) << 1 | 1);
}

void Multiplexer::OpenStream(Stream& s, const std::string& path, const std::string& listPath,
                             uint64_t length) {
  s.present = true;
  s.path = path;
  s.file.reset(std::fopen(path.c_str(), "rb"));
  if (!s.file) AbortConversion(StringPrintf("Error: couldn't open %s", path.c_str()));
  constexpr size_t kBufferSize = 1 << 16;
  s.fileBuffer.reset(new char[kBufferSize]);
  std::setvbuf(s.file.get(), s.fileBuffer.get(), _IOFBF, kBufferSize);
  s.source = std::make_unique<StreamSource>(s.file.get());
  s.list.reset(std::fopen(listPath.c_str(), "rb"));
  if (!s.list) AbortConversion(StringPrintf("Error: couldn't open %s", listPath.c_str()));
  s.inputLeft = length;
}

bool Multiplexer::ReadRecord(Stream& s) {
  if (!s.present) return false;
  // Zero-length records carry nothing and would read as the end of the stream.
  for (;;) {
    if (s.isVideo) {
      VideoAccessUnit unit;
      if (!ReadVideoAccessUnit(s.list.get(), unit)) return false;
      if (unit.length == 0) continue;
      s.length = unit.length;
      s.type = unit.type;
      s.dts = unit.dts;
      s.pts = unit.pts;
    } else {
      AudioAccessUnit unit;
      if (!ReadAudioAccessUnit(s.list.get(), unit)) return false;
      if (unit.length == 0) continue;
      s.length = unit.length;
      s.type = 0;
      s.dts = s.pts = unit.pts;
    }
    return true;
  }
}

bool Multiplexer::NextRecord(Stream& s) {
  if (!ReadRecord(s)) {
    s.length = 0;
    return false;
  }
  s.dts += rates_.startupDelay;
  s.pts += rates_.startupDelay;
  s.startsUnit = true;
  return true;
}

void Multiplexer::Account(Stream& s, uint64_t n) {
  if (n == 0) return;
  while (s.length < n) {
    s.buffer.Push(s.length, s.dts);
    n -= s.length;
    if (!NextRecord(s)) return;
  }
  s.buffer.Push(n, s.dts);
  if (n < s.length) {
    s.length -= n;
    s.startsUnit = false;
  } else {
    NextRecord(s);
  }
}

size_t Multiplexer::ReadInput(Stream& s, uint8_t* data) {
  const size_t want = static_cast<size_t>(std::min<uint64_t>(rates_.packetDataSize, s.inputLeft));
  const size_t got = want ? s.source->Read(data, want) : 0;
  // The file changed since it was analysed: going on would send units that are not there.
  if (got < want || got == 0)
    AbortConversion(StringPrintf("Error: %s ended too soon", s.path.c_str()));
  s.inputLeft -= got;
  return got;
}

uint64_t Multiplexer::NextScr(const Stream& s) const {
  const uint64_t p = rates_.packetDataSize;
  const uint64_t left = s.length;
  const double position =
      static_cast<double>(written_ + (left / p + 2) * kSectorSize + left % p - p);
  return TimeStampFromTicks(position / rates_.timingRate * kSystemClock) + skipped_;
}

void Multiplexer::PutSystemHeader() {
  uint8_t* p = sector_ + kPackHeaderSize;
  p[0] = 0x00;
  p[1] = 0x00;
  p[2] = 0x01;
  p[3] = 0xBB;
  const unsigned headerLength = rates_.systemHeaderSize - 6;
  p[4] = static_cast<uint8_t>(headerLength >> 8);
  p[5] = static_cast<uint8_t>(headerLength);
  PutRateBound(p + 6, rates_.muxRate);
  const unsigned audioBound = (streams_ & kAudioStream) ? 1 : 0;
  const unsigned videoBound = (streams_ & kVideoStream) ? 1 : 0;
  p[9] = static_cast<uint8_t>(audioBound << 2 | 1 << 1 | 1);  // fixed_flag, CSPS_flag
  p[10] = static_cast<uint8_t>(0xE0 | videoBound);            // both lock flags and a marker
  p[11] = 0xFF;
  uint8_t* entry = p + 12;
  if (streams_ & kAudioStream) {
    const uint8_t audioEntry[3] = {0xC0, 0xC0, 0x20};  // scale 0, 32 x 128 bytes
    std::memcpy(entry, audioEntry, 3);
    entry += 3;
  }
  if (streams_ & kVideoStream) {
    const uint8_t videoEntry[3] = {0xE0, 0xE0, 0x2E};  // scale 1, 46 x 1024 bytes
    std::memcpy(entry, videoEntry, 3);
  }
}

void Multiplexer::WritePack(uint8_t streamId, Stamps stamps, uint64_t pts, uint64_t dts,
                            size_t dataBytes, bool bufferFields) {
  uint8_t* p = sector_;
  p[0] = 0x00;
  p[1] = 0x00;
  p[2] = 0x01;
  p[3] = 0xBA;
  PutStamp(p + 4, 0x2, scr_);
  PutRateBound(p + 9, rates_.muxRate);

  uint8_t* packet = sector_ + kPackHeaderSize + rates_.systemHeaderSize;
  packet[0] = 0x00;
  packet[1] = 0x00;
  packet[2] = 0x01;
  packet[3] = streamId;
  const size_t packetLength = 15 + dataBytes;
  packet[4] = static_cast<uint8_t>(packetLength >> 8);
  packet[5] = static_cast<uint8_t>(packetLength);
  // The header after the length is always 15 bytes: stuffing makes up for what a packet
  // leaves out.
  unsigned stuffing = 3 + (bufferFields ? 0 : 2);
  stuffing += stamps == Stamps::kNone ? 9 : stamps == Stamps::kPts ? 5 : 0;
  uint8_t* q = packet + 6;
  std::memset(q, 0xFF, stuffing);
  q += stuffing;
  if (bufferFields) {
    if (streamId == 0xE0) {
      *q++ = 0x60;  // '01', scale 1, 46 x 1024
      *q++ = 0x2E;
    } else {
      *q++ = 0x40;  // '01', scale 0, 32 x 128
      *q++ = 0x20;
    }
  }
  if (stamps == Stamps::kPtsDts) {
    PutStamp(q, 0x3, pts);
    PutStamp(q + 5, 0x1, dts);
    q += 10;
  } else if (stamps == Stamps::kPts) {
    PutStamp(q, 0x2, pts);
    q += 5;
  } else {
    *q++ = 0x0F;
  }
  const size_t total = dataOffset_ + dataBytes;
  if (std::fwrite(sector_, 1, total, output_) != total)
    AbortConversion(StringPrintf("Error: couldn't write %s", outputName_.c_str()));
  written_ += total;
}

void Multiplexer::WriteStreamPack(Stream& s) {
  uint8_t* data = sector_ + dataOffset_;
  const uint8_t id = s.isVideo ? 0xE0 : 0xC0;
  // Time stamps belong to the unit that starts in this packet, if one does.
  Stamps stamps = Stamps::kNone;
  uint64_t pts = 0, dts = 0;
  auto takeStamps = [&]() {
    pts = s.pts;
    dts = s.dts;
    stamps = !s.isVideo || s.type == kPictureB ? Stamps::kPts : Stamps::kPtsDts;
  };
  size_t n;
  if (s.startsUnit) {
    takeStamps();
    n = ReadInput(s, data);
    Account(s, n);
  } else if (const uint64_t left = s.length; left < rates_.packetDataSize) {
    s.buffer.Push(left, s.dts);
    if (!NextRecord(s)) {
      n = ReadInput(s, data);
    } else {
      takeStamps();
      n = ReadInput(s, data);
      if (n < left) AbortConversion(StringPrintf("Error: %s ended too soon", s.path.c_str()));
      Account(s, n - left);
    }
  } else {
    n = ReadInput(s, data);
    Account(s, n);
  }
  WritePack(id, stamps, pts, dts, n, true);
}

void Multiplexer::WaitOrPad(bool videoLeft, bool audioLeft) {
  // Once one stream has ended, the other is not padded out over time: the clock moves on
  // to when its decoder has taken the next bytes, so the file holds no run of padding
  // packs lasting as long as the rest of that stream.
  if (videoLeft != audioLeft) {
    Stream& waiting = videoLeft ? video_ : audio_;
    uint64_t leave = 0;
    if (waiting.buffer.NextLeave(leave) && leave > scr_) {
      skipped_ += leave - scr_;
      return;
    }
  }
  WritePaddingPack();
}

void Multiplexer::WritePaddingPack() {
  std::memset(sector_ + dataOffset_, 0xFF, rates_.packetDataSize);
  WritePack(0xBE, Stamps::kNone, 0, 0, rates_.packetDataSize, false);
}

void Multiplexer::Run(const std::string& videoPath, const std::string& videoListPath,
                      const std::string& audioPath, const std::string& audioListPath,
                      const std::string& outputPath) {
  MultiplexCounters& counters = TheSystemStreamEngine().counters;
  if (streams_ & kVideoStream)
    OpenStream(video_, videoPath, videoListPath, videoInfo_.streamLength);
  if (streams_ & kAudioStream)
    OpenStream(audio_, audioPath, audioListPath, audioInfo_.streamLength);

  // Rates and delay need the first units; their stamps get the delay once it is known.
  ReadRecord(video_);
  ReadRecord(audio_);
  rates_ =
      ComputeMultiplexRates(videoInfo_, audioInfo_, streams_, static_cast<uint32_t>(video_.length),
                            static_cast<uint32_t>(audio_.length));
  for (Stream* s : {&video_, &audio_}) {
    if (s->length == 0) continue;
    s->dts += rates_.startupDelay;
    s->pts += rates_.startupDelay;
    s->startsUnit = true;
  }
  dataOffset_ = kPackHeaderSize + rates_.systemHeaderSize + kPacketOverhead;
  PutSystemHeader();

  outputName_ = outputPath;
  AtomicFile output;  // a failed run leaves the earlier file in place
  output_ = output.Open(outputPath) ? output.Stream() : nullptr;
  if (!output_) AbortConversion(StringPrintf("Error: couldn't open %s", outputPath.c_str()));
  outputBuffer_.resize(1 << 18);
  std::setvbuf(output_, outputBuffer_.data(), _IOFBF, outputBuffer_.size());

  const uint64_t p = rates_.packetDataSize;
  while (video_.length + audio_.length > 0) {
    const uint64_t videoNextScr = NextScr(video_);
    const uint64_t audioNextScr = NextScr(audio_);
    scr_ = TimeStampFromTicks((written_ + 9) * kSystemClock / rates_.timingRate) + skipped_;
    video_.buffer.Clean(scr_);
    audio_.buffer.Clean(scr_);
    const bool videoLeft = video_.length > 0;
    const bool audioLeft = audio_.length > 0;
    const bool videoRoom = video_.buffer.Free() >= p;
    const bool audioRoom = audio_.buffer.Free() >= p;
    if (videoRoom && videoLeft && (!audioLeft || audioNextScr <= audio_.pts)) {
      WriteStreamPack(video_);
    } else if (audioRoom && audioLeft && (!videoLeft || videoNextScr <= video_.dts)) {
      WriteStreamPack(audio_);
    } else if (audioRoom && audioLeft && audioNextScr > audio_.pts) {
      ++counters.audioTimedOut;
      WriteStreamPack(audio_);
    } else if (!videoRoom) {
      WaitOrPad(videoLeft, audioLeft);
    } else if (videoLeft && videoNextScr > video_.dts) {
      ++counters.videoTimedOut;
      WriteStreamPack(video_);
    } else {
      WaitOrPad(videoLeft, audioLeft);
    }
  }

  const uint8_t endCode[4] = {0x00, 0x00, 0x01, 0xB9};
  bool ok = std::fwrite(endCode, 1, 4, output_) == 4;
  output_ = nullptr;
  if (!ok || !output.Commit())
    AbortConversion(StringPrintf("Error: couldn't write %s", outputPath.c_str()));
}

}  // namespace

void MultiplexStreams(const std::string& videoPath, const std::string& videoListPath,
                      const VideoStreamInfo& videoInfo, const std::string& audioPath,
                      const std::string& audioListPath, const AudioStreamInfo& audioInfo,
                      const std::string& outputPath, unsigned streams) {
  TheSystemStreamEngine().ResetCounters();
  struct ListRemover {
    std::string video, audio;
    ~ListRemover() {
      std::error_code ec;
      if (!video.empty()) fs::remove(video, ec);
      if (!audio.empty()) fs::remove(audio, ec);
    }
  } lists{videoListPath, audioListPath};
  streams &= kVideoAndAudio;
  if (streams == 0) AbortConversion("Error: no stream to multiplex");
  Multiplexer multiplexer(videoInfo, audioInfo, streams);
  multiplexer.Run(videoPath, videoListPath, audioPath, audioListPath, outputPath);
}

}  // namespace quendrolix
