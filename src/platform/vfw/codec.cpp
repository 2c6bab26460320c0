#include "platform/vfw/codec.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "platform/av/codec_tags.h"
#include "platform/av/video_encoder.h"
#include "platform/vfw/codec_internal.h"

namespace quendrolix {
namespace {

FOURCC LowerFourCC(FOURCC code) {
  FOURCC out = 0;
  for (int i = 0; i < 4; ++i) {
    const auto c = static_cast<unsigned char>(code >> (8 * i));
    out |= static_cast<FOURCC>(std::tolower(c)) << (8 * i);
  }
  return out;
}

bool SameCode(FOURCC a, FOURCC b) {
  return LowerFourCC(a) == LowerFourCC(b);
}

constexpr FOURCC FourCC(const char (&s)[5]) {
  return MakeFourCC(s[0], s[1], s[2], s[3]);
}

}  // namespace

const std::vector<CodecDescription>& CodecRegistry() {
  static const std::vector<CodecDescription> registry = [] {
    std::vector<CodecDescription> list = {
        {kHandlerFullFrames,
         "Full Frames (Uncompressed)",
         {8, 16, 24, 32},
         "stored as they are",
         false,
         false,
         false,
         false,
         {FourCC("RGB "), FourCC("raw ")},
         1,
         "",
         "Quality is not used."},
        {kHandlerVideo1,
         "MS Video 1",
         {8, 16, 24, 32},
         "8 stays 8-bit, 16, 24 and 32 become 16-bit",
         true,
         true,
         true,
         false,
         {FourCC("CRAM"), FourCC("WHAM")},
         4,
         "codes blocks of 4x4 pixels and players show only whole blocks",
         "Quality 0..10000 sets how far a 4x4 block may stray from the picture before it "
         "takes more colours (10000 = closest)."},
        {kHandlerRle,
         "Run Length Encoding (RLE8)",
         {8},
         "8-bit only",
         false,
         false,
         false,
         false,
         {FourCC("RLE8"), FourCC("RLE ")},
         1,
         "",
         "Lossless: Quality is not used."},
        {kHandlerMjpeg,
         "Motion JPEG",
         {8, 16, 24, 32},
         "all become 24-bit",
         true,
         false,
         true,
         false,
         {FourCC("AVRn"), FourCC("AVDJ"), FourCC("dmb1")},
         1,
         "",
         "Quality 0..10000 is the JPEG quality 1..100 (Quality / 100)."},
    };
    // The libraries' compressors follow ours; they take every depth, as 24-bit colour.
    for (const av::LibraryCompressor& c : av::LibraryCompressors()) {
      CodecDescription d;
      d.handler = c.fourcc;
      d.name = c.name;
      d.depths = {8, 16, 24, 32};
      d.depthNote = "all are coded from 24-bit colour";
      d.quality = c.quality;
      d.temporal = c.temporal;
      d.dataRate = false;
      d.hasSettings = false;
      d.sizeMultiple = c.sizeMultiple;
      d.sizeNote = c.sizeMultiple == 4   ? "codes blocks of 4x4 pixels"
                   : c.sizeMultiple == 2 ? "codes colour at half the resolution, so it needs an "
                                           "even width and height"
                                         : "";
      d.qualityNote = c.qualityNote;
      d.library = true;
      if (d.handler == FourCC("XVID")) d.aliases = {FourCC("DIVX"), FourCC("DX50"), FourCC("FMP4")};
      if (d.handler == FourCC("H264")) d.aliases = {FourCC("X264"), FourCC("AVC1")};
      list.push_back(std::move(d));
    }
    return list;
  }();
  return registry;
}

std::string DepthList(const CodecDescription& codec) {
  std::string text;
  for (size_t i = 0; i < codec.depths.size(); ++i) {
    if (i > 0) text += i + 1 == codec.depths.size() ? " or " : ", ";
    text += std::to_string(codec.depths[i]);
  }
  return text;
}

std::string CompressorRefusal(FOURCC handler, int depth, int width, int height) {
  const CodecDescription* codec = FindCodec(handler);
  if (!codec) return "There is no compressor '" + FourCCText(handler) + "'.";
  if (depth > 0 &&
      std::find(codec->depths.begin(), codec->depths.end(), depth) == codec->depths.end()) {
    return codec->name + " takes only " + DepthList(*codec) + "-bit frames, not the project's " +
           std::to_string(depth) +
           "-bit ones. Choose another compressor, or set the colour depth to " + DepthList(*codec) +
           " bits.";
  }
  const int m = codec->sizeMultiple;
  if (m > 1 && width > 0 && height > 0 && (width % m != 0 || height % m != 0)) {
    const int w = std::max(m, width / m * m), h = std::max(m, height / m * m);
    const std::string which =
        m == 2 ? " has an odd one"
               : " is not a multiple of " + std::to_string(m) + " in both directions";
    return codec->name + " " + codec->sizeNote + ": the picture size " + std::to_string(width) +
           "x" + std::to_string(height) + which +
           ". Choose another compressor, or pictures of a size such as " + std::to_string(w) + "x" +
           std::to_string(h) + ".";
  }
  return std::string();
}

bool IsFullFramesHandler(FOURCC handler) {
  return handler == 0 || SameCode(handler, kHandlerFullFrames);
}

const CodecDescription* FindCodec(FOURCC handler) {
  const auto& registry = CodecRegistry();
  if (handler == 0) return &registry.front();
  for (const auto& codec : registry) {
    if (SameCode(codec.handler, handler)) return &codec;
    for (FOURCC alias : codec.aliases)
      if (SameCode(alias, handler)) return &codec;
  }
  return nullptr;
}

std::string FourCCText(FOURCC code) {
  std::string text(4, ' ');
  for (int i = 0; i < 4; ++i) {
    const auto c = static_cast<char>(code >> (8 * i));
    text[i] = std::isprint(static_cast<unsigned char>(c)) ? c : '?';
  }
  return text;
}

bool ParseFourCC(const std::string& text, FOURCC& code) {
  if (text.empty() || text.size() > 4) return false;
  std::string padded = text;
  padded.resize(4, ' ');
  code = MakeFourCC(padded[0], padded[1], padded[2], padded[3]);
  return true;
}

std::vector<uint8_t> MakeVideoFormat(int width, int height, int bitCount, uint32_t compression,
                                     uint32_t sizeImage, const std::vector<RGBQUAD>& colours) {
  std::vector<uint8_t> format(sizeof(BITMAPINFOHEADER) + 4 * colours.size());
  const BITMAPINFOHEADER h = DibHeader(width, height, bitCount, compression, sizeImage,
                                       static_cast<uint32_t>(colours.size()));
  std::memcpy(format.data(), &h, sizeof h);
  if (!colours.empty()) std::memcpy(format.data() + sizeof h, colours.data(), 4 * colours.size());
  return format;
}

BITMAPINFOHEADER FormatHeader(const std::vector<uint8_t>& format) {
  BITMAPINFOHEADER h{};
  if (format.size() >= sizeof h) std::memcpy(&h, format.data(), sizeof h);
  return h;
}

std::vector<RGBQUAD> FormatColours(const std::vector<uint8_t>& format) {
  std::vector<RGBQUAD> colours;
  const BITMAPINFOHEADER h = FormatHeader(format);
  if (h.biSize < sizeof h || h.biSize >= format.size() || h.biBitCount > 8) return colours;
  const size_t held = (format.size() - h.biSize) / 4;
  const size_t wanted = std::min<size_t>({DibColourCount(h), held, 256});
  colours.resize(wanted);
  if (wanted) std::memcpy(colours.data(), format.data() + h.biSize, 4 * wanted);
  return colours;
}

namespace codecs {

bool ReadGeometry(const std::vector<uint8_t>& format, FrameGeometry& g) {
  if (format.size() < sizeof(BITMAPINFOHEADER)) return false;
  const BITMAPINFOHEADER h = FormatHeader(format);
  if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biSize > format.size()) return false;
  if (h.biWidth <= 0 || h.biHeight == 0 || h.biHeight == INT32_MIN) return false;
  const int64_t height = h.biHeight < 0 ? -int64_t{h.biHeight} : h.biHeight;
  if (h.biWidth > kMaxImageDimension || height > kMaxImageDimension ||
      int64_t{h.biWidth} * height > kMaxImagePixels)
    return false;
  if (!IsDibBitCount(h.biBitCount)) return false;
  g.width = h.biWidth;
  g.height = static_cast<int>(height);
  g.topDown = h.biHeight < 0;
  g.bitCount = h.biBitCount;
  g.compression = h.biCompression;
  g.stride = DibRowStride(g.width, g.bitCount);
  g.colours = FormatColours(format);
  if (g.bitCount <= 8) {
    // A table shorter than the depth needs (or none at all) is completed with a grey
    // ramp, which is how palette-less 8-bit video is meant to be seen.
    const size_t need = size_t{1} << g.bitCount;
    const size_t had = g.colours.size();
    if (had < need && (h.biClrUsed == 0 || had == 0)) {
      g.colours.resize(need);
      for (size_t i = had; i < need; ++i) {
        const auto v = static_cast<uint8_t>(i * 255 / (need - 1));
        g.colours[i] = RGBQUAD{v, v, v, 0};
      }
    }
  }
  return true;
}

}  // namespace codecs

bool VideoCompressor::Compress(const uint8_t* pixels, size_t bytes, std::vector<uint8_t>& out,
                               bool& key) {
  if (!pixels || bytes < inputBytes_) return false;
  key = frameIndex_ == 0 || !Temporal() ||
        (settings_.keyFrameEvery > 0 &&
         frameIndex_ % static_cast<uint64_t>(settings_.keyFrameEvery) == 0);
  out.clear();
  if (!CompressFrame(pixels, key, quality_, out)) return false;
  key = LastWasKey(key);
  ++frameIndex_;
  if (settings_.bytesPerSecond > 0 && settings_.framesPerSecond > 0) {
    // Plain feedback: a frame over its share of the data rate lowers the quality of
    // the next, a frame well under it raises the quality back towards the setting.
    const double budget = settings_.bytesPerSecond / settings_.framesPerSecond;
    if (static_cast<double>(out.size()) > budget)
      quality_ = std::max(0, quality_ - 500);
    else if (static_cast<double>(out.size()) < 0.6 * budget)
      quality_ = std::min(baseQuality_, quality_ + 250);
  }
  return true;
}

HRESULT OpenCompressor(FOURCC handler, const std::vector<uint8_t>& inputFormat,
                       const CompressorSettings& settings,
                       std::unique_ptr<VideoCompressor>& compressor) {
  compressor.reset();
  const CodecDescription* codec = FindCodec(handler);
  if (!codec) return AVIERR_NOCOMPRESSOR;
  codecs::FrameGeometry g;
  if (!codecs::ReadGeometry(inputFormat, g) || g.compression != BI_RGB) return AVIERR_BADFORMAT;
  if (!CompressorRefusal(codec->handler, g.bitCount, g.width, g.height).empty())
    return AVIERR_BADFORMAT;
  std::unique_ptr<VideoCompressor> c;
  if (codec->handler == kHandlerFullFrames)
    c = codecs::NewFullFramesCompressor();
  else if (codec->handler == kHandlerVideo1)
    c = codecs::NewVideo1Compressor();
  else if (codec->handler == kHandlerRle)
    c = codecs::NewRleCompressor();
  else if (codec->handler == kHandlerMjpeg)
    c = codecs::NewMjpegCompressor();
  else if (codec->library)
    c = codecs::NewLibraryCompressor();
  if (!c) return AVIERR_NOCOMPRESSOR;
  c->handler_ = codec->handler;
  c->inputFormat_ = inputFormat;
  c->settings_ = settings;
  c->baseQuality_ = settings.quality < 0 ? 7500 : std::min(settings.quality, 10000);
  c->quality_ = c->baseQuality_;
  c->inputBytes_ = g.stride * static_cast<size_t>(g.height);
  if (!c->Prepare()) return AVIERR_BADFORMAT;
  compressor = std::move(c);
  return AVIERR_OK;
}

namespace {

bool IsOneOf(FOURCC code, std::initializer_list<const char*> names) {
  for (const char* n : names)
    if (SameCode(code, MakeFourCC(n[0], n[1], n[2], n[3]))) return true;
  return false;
}

enum class DecoderKind { kNone, kRaw, kBitfields, kVideo1, kRle8, kRle4, kMjpeg };

DecoderKind KindOf(const std::vector<uint8_t>& format, FOURCC handler) {
  const BITMAPINFOHEADER h = FormatHeader(format);
  const FOURCC c = h.biCompression;
  if (c == BI_RGB) return DecoderKind::kRaw;
  if (c == BI_BITFIELDS) return DecoderKind::kBitfields;
  if (c == BI_RLE8) return DecoderKind::kRle8;
  if (c == BI_RLE4) return DecoderKind::kRle4;
  auto byCode = [&](FOURCC code) {
    if (IsOneOf(code, {"CRAM", "MSVC", "WHAM"})) return DecoderKind::kVideo1;
    if (IsOneOf(code, {"MJPG", "AVRN", "AVDJ", "DMB1", "JPEG"})) return DecoderKind::kMjpeg;
    if (IsOneOf(code, {"MRLE", "RLE8", "RLE "}))
      return h.biBitCount == 4 ? DecoderKind::kRle4 : DecoderKind::kRle8;
    if (IsOneOf(code, {"DIB ", "RGB ", "RAW "})) return DecoderKind::kRaw;
    return DecoderKind::kNone;
  };
  DecoderKind kind = byCode(c);
  if (kind == DecoderKind::kNone) kind = byCode(handler);
  return kind;
}

}  // namespace

std::unique_ptr<VideoDecompressor> OpenDecompressor(const std::vector<uint8_t>& streamFormat,
                                                    FOURCC streamHandler) {
  switch (KindOf(streamFormat, streamHandler)) {
    case DecoderKind::kRaw:
      return codecs::NewRawDecompressor(streamFormat);
    case DecoderKind::kBitfields:
      return codecs::NewBitfieldsDecompressor(streamFormat);
    case DecoderKind::kVideo1:
      return codecs::NewVideo1Decompressor(streamFormat);
    case DecoderKind::kRle8:
      return codecs::NewRleDecompressor(streamFormat, 8);
    case DecoderKind::kRle4:
      return codecs::NewRleDecompressor(streamFormat, 4);
    case DecoderKind::kMjpeg:
      return codecs::NewMjpegDecompressor(streamFormat);
    case DecoderKind::kNone:
      break;
  }
  return nullptr;
}

bool FormatIsIntraOnly(const std::vector<uint8_t>& streamFormat, FOURCC streamHandler) {
  switch (KindOf(streamFormat, streamHandler)) {
    case DecoderKind::kRaw:
    case DecoderKind::kBitfields:
    case DecoderKind::kMjpeg:
      return true;
    case DecoderKind::kNone:
      return av::VideoIsIntraOnly(FormatHeader(streamFormat).biCompression, streamHandler);
    default:
      return false;
  }
}

}  // namespace quendrolix
