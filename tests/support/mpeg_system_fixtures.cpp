#include "support/mpeg_system_fixtures.h"

#include <cstdlib>
#include <sstream>

#include "support/test_support.h"

namespace quendrolix::testing {
namespace {

class BitWriter {
 public:
  void Put(uint32_t value, int bits) {
    for (int i = bits - 1; i >= 0; --i) {
      current_ = static_cast<uint8_t>(current_ << 1 | ((value >> i) & 1));
      if (++count_ == 8) {
        bytes_.push_back(current_);
        current_ = 0;
        count_ = 0;
      }
    }
  }
  std::vector<uint8_t> Take() {
    while (count_ != 0) Put(0, 1);
    return std::move(bytes_);
  }

 private:
  std::vector<uint8_t> bytes_;
  uint8_t current_ = 0;
  int count_ = 0;
};

void Append(std::vector<uint8_t>& out, const std::vector<uint8_t>& more) {
  out.insert(out.end(), more.begin(), more.end());
}

uint64_t Stamp(const uint8_t* p) {
  return uint64_t{(p[0] >> 1) & 7u} << 30 | uint64_t{p[1]} << 22 | uint64_t(p[2] >> 1) << 15 |
         uint64_t{p[3]} << 7 | (p[4] >> 1);
}

}  // namespace

std::vector<uint8_t> MakeVideoStream(const std::vector<TestPicture>& pictures,
                                     const TestVideoOptions& o) {
  BitWriter w;
  w.Put(0x000001B3, 32);
  w.Put(o.width, 12);
  w.Put(o.height, 12);
  w.Put(o.aspectRatioCode, 4);
  w.Put(o.pictureRateCode, 4);
  w.Put(o.bitRate, 18);
  w.Put(o.markerBit, 1);
  w.Put(o.vbvBufferSize, 10);
  w.Put(0, 1);  // constrained_parameters_flag
  w.Put(0, 2);  // no quantiser matrices
  std::vector<uint8_t> out = w.Take();
  for (const TestPicture& picture : pictures) {
    if (picture.groupBefore) {
      BitWriter g;
      g.Put(0x000001B8, 32);
      g.Put(0, 25);  // time code
      g.Put(1, 1);   // closed_gop
      g.Put(0, 6);
      Append(out, g.Take());
    }
    BitWriter p;
    p.Put(0x00000100, 32);
    p.Put(picture.temporalReference, 10);
    p.Put(picture.type, 3);
    p.Put(0xFFFF, 16);  // vbv_delay
    std::vector<uint8_t> header = p.Take();
    size_t start = out.size();
    Append(out, header);
    // A slice, as every coded picture has, when the size leaves room for one.
    if (picture.size >= header.size() + 5) Append(out, {0x00, 0x00, 0x01, 0x01});
    while (out.size() - start < picture.size) out.push_back(0x55);
  }
  if (o.sequenceEnd) Append(out, {0x00, 0x00, 0x01, 0xB7});
  return out;
}

std::vector<TestPicture> IbbpPictures(unsigned count, unsigned groupSize,
                                      const std::function<size_t(unsigned, unsigned)>& sizeOf) {
  // Display order within a group: B B I B B P B B P ...; coded: I B B P B B P ...
  std::vector<TestPicture> pictures;
  for (unsigned i = 0; i < count; ++i) {
    unsigned inGroup = i % groupSize;
    TestPicture p;
    p.groupBefore = inGroup == 0;
    if (inGroup == 0) {
      p.type = 1;
      p.temporalReference = 2;
    } else if (inGroup % 3 == 0) {
      p.type = 2;
      p.temporalReference = inGroup + 2;
    } else {
      p.type = 3;
      p.temporalReference = inGroup - 1;
    }
    p.size = sizeOf(i, p.type);
    pictures.push_back(p);
  }
  return pictures;
}

std::vector<uint8_t> MakeAudioStream(unsigned frames, const TestAudioOptions& o) {
  static const unsigned kLayer2[15] = {0,   32,  48,  56,  64,  80,  96, 112,
                                       128, 160, 192, 224, 256, 320, 384};
  static const unsigned kLayer1[15] = {0,   32,  64,  96,  128, 160, 192, 224,
                                       256, 288, 320, 352, 384, 416, 448};
  static const unsigned kHz[4] = {44100, 48000, 32000, 0};
  const unsigned kbps =
      o.layerCode == 3 ? kLayer1[o.bitrateIndex % 15] : kLayer2[o.bitrateIndex % 15];
  const unsigned hz = kHz[o.frequencyCode & 3];
  const unsigned slot = o.layerCode == 3 ? 4 : 1;
  const uint64_t perFrameNumerator = (o.layerCode == 3 ? 12 : 144) * uint64_t{kbps} * 1000;
  std::vector<uint8_t> out;
  uint64_t remainder = 0;
  for (unsigned k = 0; k < frames; ++k) {
    unsigned slots = hz ? static_cast<unsigned>(perFrameNumerator / hz) : 1;
    remainder += hz ? perFrameNumerator % hz : 0;
    unsigned padding = 0;
    if (hz && remainder >= hz) {
      remainder -= hz;
      padding = 1;
    }
    BitWriter w;
    w.Put(0xFFF, 12);
    w.Put(o.id, 1);
    w.Put(o.layerCode, 2);
    w.Put(1, 1);  // no CRC
    w.Put(o.bitrateIndex, 4);
    w.Put(o.frequencyCode, 2);
    w.Put(padding, 1);
    w.Put(0, 1);
    w.Put(o.mode, 2);
    w.Put(0, 2);
    w.Put(0, 1);
    w.Put(1, 1);
    w.Put(0, 2);
    std::vector<uint8_t> header = w.Take();
    size_t start = out.size();
    Append(out, header);
    while (out.size() - start < (slots + padding) * slot) out.push_back(0x55);
  }
  return out;
}

std::vector<uint8_t> ParsedSystemStream::Payload(uint8_t streamId) const {
  std::vector<uint8_t> bytes;
  for (const auto& pack : packs)
    if (pack.streamId == streamId) Append(bytes, pack.data);
  return bytes;
}

ParsedSystemStream ParseSystemStream(const std::vector<uint8_t>& b) {
  ParsedSystemStream result;
  size_t pos = 0;
  auto fail = [&](const std::string& why) {
    result.error = why + " at byte " + std::to_string(pos);
    return result;
  };
  auto startCode = [&](size_t at, uint8_t code) {
    return at + 4 <= b.size() && b[at] == 0 && b[at + 1] == 0 && b[at + 2] == 1 &&
           b[at + 3] == code;
  };
  while (pos < b.size()) {
    if (startCode(pos, 0xB9)) {
      result.endCode = pos + 4 == b.size();
      if (!result.endCode) return fail("bytes after the end code");
      return result;
    }
    if (!startCode(pos, 0xBA) || pos + 12 > b.size()) return fail("no pack header");
    ParsedPack pack;
    pack.offset = pos;
    const uint8_t* h = b.data() + pos;
    if ((h[4] >> 4) != 0x2 || !(h[4] & 1) || !(h[6] & 1) || !(h[8] & 1) || !(h[9] & 0x80) ||
        !(h[11] & 1))
      return fail("bad pack header markers");
    pack.scr = Stamp(h + 4);
    pack.muxRate = (h[9] & 0x7Fu) << 15 | unsigned{h[10]} << 7 | h[11] >> 1;
    size_t p = pos + 12;
    if (startCode(p, 0xBB)) {
      if (p + 6 > b.size()) return fail("short system header");
      size_t length = size_t{b[p + 4]} << 8 | b[p + 5];
      if (p + 6 + length > b.size()) return fail("short system header");
      pack.systemHeader.assign(b.begin() + p, b.begin() + p + 6 + length);
      p += 6 + length;
    }
    if (p + 6 > b.size() || b[p] != 0 || b[p + 1] != 0 || b[p + 2] != 1) return fail("no packet");
    pack.streamId = b[p + 3];
    pack.packetLength = unsigned{b[p + 4]} << 8 | b[p + 5];
    size_t end = p + 6 + pack.packetLength;
    if (end > b.size()) return fail("packet past the end");
    size_t q = p + 6;
    while (q < end && b[q] == 0xFF) {
      ++pack.stuffing;
      ++q;
    }
    if (q + 2 <= end && (b[q] >> 6) == 1) {
      pack.bufferFields = true;
      pack.bufferScale = (b[q] >> 5) & 1;
      pack.bufferSize = (b[q] & 0x1Fu) << 8 | b[q + 1];
      q += 2;
    }
    if (q < end && (b[q] >> 4) == 0x2) {
      if (q + 5 > end) return fail("short PTS");
      pack.stamps = 1;
      pack.pts = Stamp(b.data() + q);
      q += 5;
    } else if (q < end && (b[q] >> 4) == 0x3) {
      if (q + 10 > end || (b[q + 5] >> 4) != 0x1) return fail("bad PTS and DTS");
      pack.stamps = 2;
      pack.pts = Stamp(b.data() + q);
      pack.dts = Stamp(b.data() + q + 5);
      q += 10;
    } else if (q < end && b[q] == 0x0F) {
      ++q;
    } else {
      return fail("no time stamp field");
    }
    pack.data.assign(b.begin() + q, b.begin() + end);
    pack.size = end - pos;
    result.packs.push_back(std::move(pack));
    pos = end;
  }
  return fail("no end code");
}

std::vector<size_t> PictureOffsets(const std::vector<uint8_t>& v) {
  std::vector<size_t> offsets;
  for (size_t i = 0; i + 4 <= v.size(); ++i)
    if (v[i] == 0 && v[i + 1] == 0 && v[i + 2] == 1 && v[i + 3] == 0) offsets.push_back(i);
  return offsets;
}

ProbeValues Probe(const std::string& ffprobe, const std::string& args) {
  auto r = RunCommand(ShellQuote(ffprobe) + " -v error -of default=noprint_wrappers=1 " + args);
  ProbeValues values;
  std::stringstream lines(r.output);
  std::string line;
  while (std::getline(lines, line)) {
    auto eq = line.find('=');
    if (eq != std::string::npos) values.emplace_back(line.substr(0, eq), line.substr(eq + 1));
  }
  return values;
}

std::string Value(const ProbeValues& values, const std::string& key, int index) {
  for (const auto& [k, v] : values)
    if (k == key && index-- == 0) return v;
  return {};
}

long CountFrames(const std::string& ffprobe, const std::string& path, const std::string& stream) {
  auto v = Probe(ffprobe, "-count_frames -select_streams " + stream +
                              " -show_entries stream=nb_read_frames " + ShellQuote(path));
  return std::atol(Value(v, "nb_read_frames").c_str());
}

}  // namespace quendrolix::testing
