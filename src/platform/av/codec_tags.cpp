#include "platform/av/codec_tags.h"

#include <cctype>
#include <cstring>

#include "platform/av/av_internal.h"

namespace quendrolix::av {
namespace {

constexpr uint16_t kTagPcm = 0x0001;
constexpr uint16_t kTagFloat = 0x0003;
constexpr uint16_t kTagExtensible = 0xFFFE;

uint16_t Le16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | p[1] << 8);
}

AVCodecID VideoTag(uint32_t tag) {
  if (tag == 0) return AV_CODEC_ID_NONE;
  const AVCodecTag* const tables[] = {avformat_get_riff_video_tags(), nullptr};
  AVCodecID id = av_codec_get_id(tables, tag);
  if (id != AV_CODEC_ID_NONE) return id;
  // The tables hold most codes in one letter case; files carry either.
  uint32_t upper = 0;
  for (int i = 0; i < 4; ++i)
    upper |= static_cast<uint32_t>(std::toupper(static_cast<int>((tag >> (8 * i)) & 0xFF)))
             << (8 * i);
  return av_codec_get_id(tables, upper);
}

}  // namespace

AVCodecID VideoCodecFor(uint32_t compression, uint32_t handler) {
  AVCodecID id = VideoTag(compression);
  if (id == AV_CODEC_ID_NONE && compression > 3) id = VideoTag(handler);
  if (id == AV_CODEC_ID_NONE || !avcodec_find_decoder(id)) return AV_CODEC_ID_NONE;
  return id;
}

AVCodecID AudioCodecFor(const uint8_t* format, size_t size) {
  if (!format || size < 16) return AV_CODEC_ID_NONE;
  uint16_t tag = Le16(format);
  const int bits = Le16(format + 14);
  if (tag == kTagExtensible) {
    // cbSize (2), valid bits (2), channel mask (4), then the GUID whose first two bytes
    // are the plain tag for every sub-format of the usual family.
    if (size < 18 + 22 || Le16(format + 16) < 22) return AV_CODEC_ID_NONE;
    tag = Le16(format + 18 + 6);
  }
  AVCodecID id = AV_CODEC_ID_NONE;
  if (tag == kTagPcm) {
    id = bits == 8    ? AV_CODEC_ID_PCM_U8
         : bits == 16 ? AV_CODEC_ID_PCM_S16LE
         : bits == 24 ? AV_CODEC_ID_PCM_S24LE
         : bits == 32 ? AV_CODEC_ID_PCM_S32LE
                      : AV_CODEC_ID_NONE;
  } else if (tag == kTagFloat) {
    id = bits == 32 ? AV_CODEC_ID_PCM_F32LE : bits == 64 ? AV_CODEC_ID_PCM_F64LE : AV_CODEC_ID_NONE;
  } else {
    const AVCodecTag* const tables[] = {avformat_get_riff_audio_tags(), nullptr};
    id = av_codec_get_id(tables, tag);
  }
  if (id == AV_CODEC_ID_NONE || !avcodec_find_decoder(id)) return AV_CODEC_ID_NONE;
  return id;
}

bool CanDecodeVideo(uint32_t compression, uint32_t handler) {
  return VideoCodecFor(compression, handler) != AV_CODEC_ID_NONE;
}

std::string VideoDecoderName(uint32_t compression, uint32_t handler) {
  const AVCodecID id = VideoCodecFor(compression, handler);
  return id == AV_CODEC_ID_NONE ? std::string() : avcodec_get_name(id);
}

bool VideoIsIntraOnly(uint32_t compression, uint32_t handler) {
  const AVCodecID id = VideoCodecFor(compression, handler);
  const AVCodecDescriptor* d = id == AV_CODEC_ID_NONE ? nullptr : avcodec_descriptor_get(id);
  // FFV1 carries its coder state from frame to frame between key frames, whatever its
  // descriptor says; only codecs that really start afresh count.
  if (!d || id == AV_CODEC_ID_FFV1) return false;
  return (d->props & AV_CODEC_PROP_INTRA_ONLY) != 0;
}

bool CanDecodeAudio(const std::vector<uint8_t>& format) {
  return AudioCodecFor(format.data(), format.size()) != AV_CODEC_ID_NONE;
}

std::string AudioDecoderName(const std::vector<uint8_t>& format) {
  const AVCodecID id = AudioCodecFor(format.data(), format.size());
  return id == AV_CODEC_ID_NONE ? std::string() : avcodec_get_name(id);
}

}  // namespace quendrolix::av
