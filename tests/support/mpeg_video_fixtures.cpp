#include "support/mpeg_video_fixtures.h"

#include <cmath>
#include <cstring>

#include "mpeg/video/bitstream.h"
#include "mpeg/video/vlc_tables.h"

namespace quendrolix::testing {

HDIB MakeDib(int width, int height, int bits, const std::function<Rgb(int, int)>& pixel,
             const std::vector<Rgb>& palette) {
  HDIB dib = NewDib(width, height, bits, bits == 8 ? static_cast<uint32_t>(palette.size()) : 0);
  if (!dib) return dib;
  if (bits == 8) {
    RGBQUAD* table = dib->colours();
    for (size_t i = 0; i < palette.size(); ++i)
      table[i] = RGBQUAD{palette[i].b, palette[i].g, palette[i].r, 0};
  }
  uint8_t* pixels = DibPixels(*dib);
  size_t stride = DibRowStride(width, bits);
  for (int y = 0; y < height; ++y) {
    uint8_t* row = pixels + stride * static_cast<size_t>(height - 1 - y);  // bottom-up
    for (int x = 0; x < width; ++x) {
      Rgb c = pixel(x, y);
      switch (bits) {
        case 8:
          row[x] = c.r;
          break;
        case 16: {
          unsigned w = ((c.r >> 3) << 10) | ((c.g >> 3) << 5) | (c.b >> 3);
          row[2 * x] = static_cast<uint8_t>(w);
          row[2 * x + 1] = static_cast<uint8_t>(w >> 8);
          break;
        }
        case 24:
          row[3 * x] = c.b, row[3 * x + 1] = c.g, row[3 * x + 2] = c.r;
          break;
        default:
          row[4 * x] = c.b, row[4 * x + 1] = c.g, row[4 * x + 2] = c.r, row[4 * x + 3] = 0x5A;
          break;
      }
    }
  }
  return dib;
}

HDIB CopyDib(const DibBlock& dib) {
  return DibBlock::FromBytes(dib.data(), dib.size());
}

HDIB MovingPicture(int width, int height, int frame) {
  // A small sine table keeps the content smooth without floating point per pixel.
  static int wave[256];
  static bool ready = false;
  if (!ready) {
    for (int i = 0; i < 256; ++i)
      wave[i] = static_cast<int>(std::lround(90 * std::sin(i * M_PI / 128)));
    ready = true;
  }
  int cx = width / 2 + wave[(frame * 3) & 255] * width / 400;
  int cy = height / 2 + wave[(frame * 5 + 64) & 255] * height / 400;
  int radius = std::max(8, std::min(width, height) / 8);
  return MakeDib(width, height, 24, [&](int x, int y) {
    int xs = x + 2 * frame, ys = y + frame;
    int dx = x - cx, dy = y - cy;
    if (dx * dx + dy * dy < radius * radius)
      return Rgb{250, static_cast<uint8_t>(200 + (x & 31)), 40};
    uint8_t checker = ((xs / 24 + ys / 24) & 1) ? 170 : 70;
    return Rgb{static_cast<uint8_t>(128 + wave[(xs * 2) & 255] / 2 + wave[(ys * 3) & 255] / 3),
               checker, static_cast<uint8_t>(128 + wave[(xs + ys) & 255])};
  });
}

std::function<HDIB(const std::string&)> InMemoryImages::Loader() {
  return [this](const std::string& path) -> HDIB {
    ++loads;
    auto it = images_.find(path);
    return it == images_.end() ? nullptr : CopyDib(*it->second);
  };
}

const DibBlock* FakeAvi::FetchFrame(int index) {
  fetched.push_back(index);
  if (index < 0 || static_cast<size_t>(index) >= frames.size() || failing.count(index))
    return nullptr;
  return frames[index].get();
}

PictureRecorder::PictureRecorder() {
  SetMpegPictureObserver(this);
}
PictureRecorder::~PictureRecorder() {
  SetMpegPictureObserver(nullptr);
}

void PictureRecorder::PictureCoded(int displayNumber, int pictureType, const FrameStore& src,
                                   const FrameStore& recon, const EncodingParameters& p) {
  width = p.horizontalSize;
  height = p.verticalSize;
  auto grab = [&](const FrameStore& f) {
    std::vector<uint8_t> v;
    for (int y = 0; y < height; ++y)
      v.insert(v.end(), f.y + y * p.codedWidth, f.y + y * p.codedWidth + width);
    for (const uint8_t* plane : {f.cb, f.cr})
      for (int y = 0; y < height / 2; ++y)
        v.insert(v.end(), plane + y * p.chromaWidth, plane + y * p.chromaWidth + width / 2);
    return v;
  };
  source[displayNumber] = grab(src);
  reconstruction[displayNumber] = grab(recon);
  types[displayNumber] = pictureType;
}

double LumaPsnr(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, int width,
                int height) {
  double sum = 0;
  size_t n = static_cast<size_t>(width) * height;
  for (size_t i = 0; i < n && i < a.size() && i < b.size(); ++i) {
    double d = static_cast<double>(a[i]) - b[i];
    sum += d * d;
  }
  if (sum == 0) return 99.0;
  return 10 * std::log10(255.0 * 255.0 / (sum / n));
}

uint32_t BitReader::Peek(int n) const {
  uint32_t v = 0;
  for (int i = 0; i < n; ++i) {
    size_t bit = position_ + i;
    uint32_t b = bit / 8 < bytes_.size() ? (bytes_[bit / 8] >> (7 - bit % 8)) & 1 : 0;
    v = (v << 1) | b;
  }
  return v;
}

uint32_t BitReader::Get(int n) {
  uint32_t v = Peek(n);
  position_ += n;
  if (position_ > 8 * bytes_.size()) overrun = true;
  return v;
}

int BitReader::NextStartCode() {
  Align();
  while (position_ + 32 <= 8 * bytes_.size()) {
    if (Peek(24) == 1) {
      Get(24);
      return static_cast<int>(Get(8));
    }
    position_ += 8;
  }
  position_ = 8 * bytes_.size();
  return -1;
}

namespace {

// Decodes one code of a table by trying every entry (the tables are prefix-free).
int DecodeFrom(BitReader& in, const Vlc* table, int count) {
  for (int i = 0; i < count; ++i)
    if (table[i].length && in.Peek(table[i].length) == table[i].code) {
      in.Get(table[i].length);
      return i;
    }
  return -1;
}

struct DctEntry {
  Vlc code;
  int run, level;
};
const std::vector<DctEntry>& DctEntries() {
  static std::vector<DctEntry> entries = [] {
    std::vector<DctEntry> e;
    for (int run = 0; run < 32; ++run)
      for (int level = 1; level <= 40; ++level) {
        Vlc v = vlc::DctCode(run, level);
        if (v.length) e.push_back({v, run, level});
      }
    return e;
  }();
  return entries;
}

// One AC pair; false at end of block. Throws std::string on a bad code.
bool ReadPair(BitReader& in, ParsedBlock& block, bool first) {
  if (first && in.Peek(1) == 1) {
    in.Get(1);
    block.pairs.push_back({0, in.Get(1) ? -1 : 1});
    return true;
  }
  if (!first && in.Peek(2) == 2) {
    in.Get(2);
    return false;
  }
  if (in.Peek(6) == 1) {
    in.Get(6);
    block.escapes = true;
    int run = static_cast<int>(in.Get(6));
    int b = static_cast<int>(in.Get(8));
    int level;
    if (b == 0)
      level = static_cast<int>(in.Get(8));
    else if (b == 0x80)
      level = static_cast<int>(in.Get(8)) - 256;
    else
      level = b < 128 ? b : b - 256;
    block.pairs.push_back({run, level});
    return true;
  }
  for (const DctEntry& e : DctEntries()) {
    if (in.Peek(e.code.length) == e.code.code) {
      in.Get(e.code.length);
      block.pairs.push_back({e.run, in.Get(1) ? -e.level : e.level});
      return true;
    }
  }
  throw std::string("bad DCT coefficient code");
}

int ReadMotionCode(BitReader& in, int fCode) {
  int magnitude = DecodeFrom(in, vlc::kMotionCode, 17);
  if (magnitude < 0) throw std::string("bad motion code");
  int code = magnitude;
  if (magnitude != 0 && in.Get(1)) code = -magnitude;
  if (fCode > 1 && code != 0) in.Get(fCode - 1);
  return code;
}

void ParseSlice(BitReader& in, const ParsedStream& s, ParsedPicture& pic, int row) {
  int mbWidth = (s.horizontalSize + 15) / 16;
  int total = mbWidth * ((s.verticalSize + 15) / 16);
  pic.sliceQuantisers.push_back(static_cast<int>(in.Get(5)));
  while (in.Get(1)) in.Get(8);
  int address = row * mbWidth - 1;
  const Vlc* types = pic.type == kPictureI   ? vlc::kMacroblockTypeI
                     : pic.type == kPictureP ? vlc::kMacroblockTypeP
                                             : vlc::kMacroblockTypeB;
  for (;;) {
    if (in.Peek(23) == 0) return;  // next start code
    int increment = 0;
    for (;;) {
      if (in.Peek(11) == vlc::kMacroblockEscape.code) {
        in.Get(11);
        increment += 33;
        continue;
      }
      if (in.Peek(11) == 0x0F) {  // stuffing
        in.Get(11);
        continue;
      }
      break;
    }
    int code = DecodeFrom(in, vlc::kAddressIncrement, 34);
    if (code < 1) throw std::string("bad address increment");
    address += increment + code;
    if (address >= total) throw std::string("macroblock address past the picture");
    ParsedMacroblock mb;
    mb.address = address;
    mb.flags = DecodeFrom(in, types, 32);
    if (mb.flags < 0) throw std::string("bad macroblock type");
    if (mb.flags & kMbQuant) mb.quantiser = static_cast<int>(in.Get(5));
    if (mb.flags & kMbForward) {
      mb.motion[0][0] = ReadMotionCode(in, pic.forwardFCode);
      mb.motion[0][1] = ReadMotionCode(in, pic.forwardFCode);
    }
    if (mb.flags & kMbBackward) {
      mb.motion[1][0] = ReadMotionCode(in, pic.backwardFCode);
      mb.motion[1][1] = ReadMotionCode(in, pic.backwardFCode);
    }
    if (mb.flags & kMbPattern) {
      mb.cbp = DecodeFrom(in, vlc::kCodedBlockPattern, 64);
      if (mb.cbp < 1) throw std::string("bad coded block pattern");
    } else if (mb.flags & kMbIntra) {
      mb.cbp = 63;
    }
    for (int b = 0; b < 6; ++b) {
      if (!(mb.cbp & (32 >> b))) continue;
      ParsedBlock block;
      bool first = true;
      if (mb.flags & kMbIntra) {
        int size = b < 4 ? DecodeFrom(in, vlc::kDcSizeLuminance, 9)
                         : DecodeFrom(in, vlc::kDcSizeChrominance, 9);
        if (size < 0) throw std::string("bad DC size");
        if (size) {
          int bits = static_cast<int>(in.Get(size));
          block.dcSizeOrFirst = bits & (1 << (size - 1)) ? bits : bits - (1 << size) + 1;
        }
        first = false;
      }
      while (ReadPair(in, block, first)) first = false;
      mb.blocks.push_back(block);
    }
    pic.macroblocks.push_back(std::move(mb));
    if (in.overrun) throw std::string("stream ends inside a macroblock");
  }
}

}  // namespace

ParsedStream ParseVideoStream(const std::vector<uint8_t>& bytes, bool macroblocks) {
  ParsedStream s;
  BitReader in(bytes);
  size_t pictureStart = 0;
  try {
    for (int code = in.NextStartCode(); code >= 0; code = in.NextStartCode()) {
      if (code == 0xB3) {
        s.horizontalSize = static_cast<int>(in.Get(12));
        s.verticalSize = static_cast<int>(in.Get(12));
        s.aspect = static_cast<int>(in.Get(4));
        s.frameRateCode = static_cast<int>(in.Get(4));
        s.bitRateField = static_cast<int>(in.Get(18));
        s.marker = static_cast<int>(in.Get(1));
        s.vbvBufferSize = static_cast<int>(in.Get(10));
        s.constrained = static_cast<int>(in.Get(1));
        s.loadIntra = static_cast<int>(in.Get(1));
        s.loadNonIntra = static_cast<int>(in.Get(1));
      } else if (code == 0xB2) {
        in.Align();
        while (!in.AtEnd() && in.Peek(24) != 1) s.userData += static_cast<char>(in.Get(8));
      } else if (code == 0xB8) {
        ParsedGop g;
        g.timeCode = in.Get(25);
        g.closed = in.Get(1);
        g.brokenLink = in.Get(1);
        g.firstPicture = static_cast<int>(s.pictures.size());
        s.gops.push_back(g);
      } else if (code == 0x00) {
        if (!s.pictures.empty()) s.pictures.back().bytes = in.position() / 8 - 4 - pictureStart;
        pictureStart = in.position() / 8 - 4;
        ParsedPicture p;
        p.temporalReference = static_cast<int>(in.Get(10));
        p.type = static_cast<int>(in.Get(3));
        p.vbvDelay = static_cast<int>(in.Get(16));
        if (p.type == kPictureP || p.type == kPictureB) {
          in.Get(1);
          p.forwardFCode = static_cast<int>(in.Get(3));
        }
        if (p.type == kPictureB) {
          in.Get(1);
          p.backwardFCode = static_cast<int>(in.Get(3));
        }
        while (in.Get(1)) in.Get(8);
        s.pictures.push_back(p);
      } else if (code >= 0x01 && code <= 0xAF) {
        if (s.pictures.empty()) throw std::string("slice before any picture");
        if (macroblocks) ParseSlice(in, s, s.pictures.back(), code - 1);
      } else if (code == 0xB7) {
        if (!s.pictures.empty()) s.pictures.back().bytes = in.position() / 8 - 4 - pictureStart;
        s.sequenceEnd = true;
      } else {
        throw std::string("unexpected start code");
      }
    }
  } catch (const std::string& error) {
    s.error = error + " at bit " + std::to_string(in.position());
  }
  return s;
}

}  // namespace quendrolix::testing
