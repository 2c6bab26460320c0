#pragma once

// The codec registry: compressors that the compressed streams and the save service use,
// and decompressors that the frame getter uses for what we and other programs store in
// AVI files. Formats travel as byte blocks: a BITMAPINFOHEADER followed by its colour
// table (or, for BI_BITFIELDS, its three masks).

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/gdi/dib.h"
#include "platform/vfw/vfw.h"

namespace quendrolix {

constexpr FOURCC kHandlerFullFrames = MakeFourCC('D', 'I', 'B', ' ');
constexpr FOURCC kHandlerVideo1 = MakeFourCC('m', 's', 'v', 'c');
constexpr FOURCC kHandlerRle = MakeFourCC('m', 'r', 'l', 'e');
constexpr FOURCC kHandlerMjpeg = MakeFourCC('M', 'J', 'P', 'G');
// biCompression of MS Video 1 frames as other programs expect it.
constexpr FOURCC kCompressionVideo1 = MakeFourCC('C', 'R', 'A', 'M');

// One compressor of the registry.
struct CodecDescription {
  FOURCC handler;               // the code stored in options, "AVI.codec" and stream headers
  std::string name;             // what lists show
  std::vector<int> depths;      // frame depths (bits per pixel) it takes
  std::string depthNote;        // how it treats them, for lists
  bool quality;                 // uses the quality setting
  bool temporal;                // makes delta frames, so the key-frame interval matters
  bool dataRate;                // can hold a data rate
  bool hasSettings;             // has settings of its own beyond the common ones
  std::vector<FOURCC> aliases;  // other codes that name it
  int sizeMultiple = 1;         // width and height must be multiples of this
  std::string sizeNote;         // why, for the message that refuses another size
  std::string qualityNote;      // how Quality 0..10000 acts on it
  bool library = false;         // a compressor of the FFmpeg libraries (platform/av)
};

// Every compressor, in the order lists show them.
const std::vector<CodecDescription>& CodecRegistry();
// The compressor named by `handler` (its code or an alias, letter case ignored); null
// when unknown. Handler 0 names full frames.
const CodecDescription* FindCodec(FOURCC handler);
// Why `handler` cannot make an AVI of width x height at `depth` bits per pixel, as a
// sentence for the user; empty when it can. A depth or size of 0 is not checked.
std::string CompressorRefusal(FOURCC handler, int depth, int width = 0, int height = 0);
// "8, 16, 24 or 32": the depths of a compressor, for messages and lists.
std::string DepthList(const CodecDescription& codec);

// 0 and 'DIB ' (any case) store full frames.
bool IsFullFramesHandler(FOURCC handler);
// "msvc", "DIB " as text.
std::string FourCCText(FOURCC code);
// Four characters, a shorter text padded with spaces; false for an empty or longer text.
bool ParseFourCC(const std::string& text, FOURCC& code);

struct CompressorSettings {
  int quality = -1;             // 0..10000; -1 = the compressor's default
  int keyFrameEvery = 0;        // 0 = only the first frame is a key frame
  uint32_t bytesPerSecond = 0;  // 0 = no data-rate limit
  double framesPerSecond = 15;  // to turn a data rate into a budget per frame
};

// Compresses frames of one fixed input format. Key frames, quality and the data-rate
// budget are decided here; each codec supplies the coding of one frame.
class VideoCompressor {
 public:
  virtual ~VideoCompressor() = default;
  FOURCC handler() const { return handler_; }
  // The stream format of the compressed samples (header plus colour table).
  const std::vector<uint8_t>& OutputFormat() const { return outputFormat_; }
  // Compresses the next frame, given as pixel rows in the input format (`bytes` must hold
  // them all). `key` says whether a key frame came out. False when it cannot.
  bool Compress(const uint8_t* pixels, size_t bytes, std::vector<uint8_t>& out, bool& key);
  // The quality in force for the next frame (moves under a data-rate limit).
  int currentQuality() const { return quality_; }

 protected:
  // Reads inputFormat_ and sets outputFormat_; false when the input is not taken.
  virtual bool Prepare() = 0;
  virtual bool CompressFrame(const uint8_t* pixels, bool key, int quality,
                             std::vector<uint8_t>& out) = 0;
  virtual bool Temporal() const { return false; }
  // Whether the frame just coded came out as a key frame, when `asked` was the request
  // (compressors that decide for themselves say what they did).
  virtual bool LastWasKey(bool asked) const { return asked; }

  FOURCC handler_ = 0;
  std::vector<uint8_t> inputFormat_;
  std::vector<uint8_t> outputFormat_;
  CompressorSettings settings_;
  int quality_ = 7500;
  int baseQuality_ = 7500;
  size_t inputBytes_ = 0;  // bytes of one input frame
  uint64_t frameIndex_ = 0;

  friend HRESULT OpenCompressor(FOURCC, const std::vector<uint8_t>&, const CompressorSettings&,
                                std::unique_ptr<VideoCompressor>&);
};

// A compressor for frames of `inputFormat`. AVIERR_NOCOMPRESSOR for an unknown handler,
// AVIERR_BADFORMAT for an input it does not take (or a damaged format).
HRESULT OpenCompressor(FOURCC handler, const std::vector<uint8_t>& inputFormat,
                       const CompressorSettings& settings,
                       std::unique_ptr<VideoCompressor>& compressor);

// Decodes the stored samples of one video stream into packed BI_RGB frames.
class VideoDecompressor {
 public:
  virtual ~VideoDecompressor() = default;
  // Header and colour table of the frames it delivers.
  const std::vector<uint8_t>& OutputFormat() const { return outputFormat_; }
  // True when every sample decodes on its own.
  virtual bool IntraOnly() const = 0;
  // Decodes one sample into `frame`, a block of OutputFormat() whose pixels hold the
  // previous picture (delta frames change only parts of it). False on damaged data; the
  // frame may then be partly changed.
  virtual bool Decode(const uint8_t* data, size_t size, DibBlock& frame) = 0;

 protected:
  std::vector<uint8_t> outputFormat_;
};

// The decompressor for a stream format (header plus colour table or masks) and the
// stream header's handler; null when the format is not understood or damaged.
std::unique_ptr<VideoDecompressor> OpenDecompressor(const std::vector<uint8_t>& streamFormat,
                                                    FOURCC streamHandler);
// True when frames of the format always decode on their own (no delta frames), so that
// an index without key-frame flags can be trusted frame by frame.
bool FormatIsIntraOnly(const std::vector<uint8_t>& streamFormat, FOURCC streamHandler);

// A format block: header for width x height at `bitCount` with `compression`,
// `sizeImage`, and the colour table.
std::vector<uint8_t> MakeVideoFormat(int width, int height, int bitCount, uint32_t compression,
                                     uint32_t sizeImage, const std::vector<RGBQUAD>& colours);
// The header of a format block (zeros when the block is shorter than 40 bytes).
BITMAPINFOHEADER FormatHeader(const std::vector<uint8_t>& format);
// The colour table of a format block, as many entries as the block holds (up to 256).
std::vector<RGBQUAD> FormatColours(const std::vector<uint8_t>& format);

}  // namespace quendrolix
