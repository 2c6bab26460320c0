// Damaged foreign AVIs as our code drives the library decoders: the frame getter handing
// MPEG-4, H.264, HuffYUV, FFV1, Cinepak and MS-MPEG4 samples over in stored order and
// jumping between key frames, and the sound decoded through the chunk reader and the
// codec parsers, as avi2mpg and extract-sound --pcm read it. Every pixel and sample
// delivered is read.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "fuzz_memfile.h"
#include "mpeg/audio/sound_stream.h"
#include "platform/av/audio_decoder.h"
#include "platform/vfw/avi_sound.h"
#include "platform/vfw/vfw.h"

using namespace quendrolix;

namespace {

volatile uint32_t sink;

void Touch(const DibBlock* dib) {
  if (!dib) return;
  uint32_t sum = 0;
  for (size_t i = 0; i < dib->size(); ++i) sum += dib->data()[i];
  sink = sum;
}

void Video(PAVISTREAM stream, const AVISTREAMINFO& info) {
  // Small pictures only: the fuzzer is after our driving of the decoders, not the allocator.
  if (uint64_t(info.rcFrame.right) * uint64_t(info.rcFrame.bottom) > (1u << 16)) return;
  PGETFRAME getter = AVIStreamGetFrameOpen(stream, nullptr);
  if (!getter) return;
  const LONG start = AVIStreamStart(stream), length = std::min<LONG>(AVIStreamLength(stream), 64);
  // In order, as extraction reads; then jumps back and forth, as a player seeks.
  for (LONG i = 0; i < length; ++i) Touch(AVIStreamGetFrame(getter, start + i));
  for (LONG i : {LONG(length / 2), LONG(0), LONG(length - 1), LONG(length / 3),
                 LONG(length / 3 + 1), LONG(1)})
    if (i >= 0 && i < length) Touch(AVIStreamGetFrame(getter, start + i));
  AVIStreamGetFrameClose(getter);
}

void Sound(PAVISTREAM stream) {
  std::unique_ptr<av::AudioDecoder> decoder = OpenStreamSoundDecoder(stream, nullptr);
  if (decoder) {
    decoder->SetOutput(44100, 2);
    std::vector<int16_t> pcm(2 * 4096);
    size_t total = 0;
    for (size_t got; total < 8 * 44100 && (got = decoder->Read(pcm.data(), 4096)) > 0;) {
      uint32_t sum = 0;
      for (size_t i = 0; i < 2 * got; ++i) sum += static_cast<uint16_t>(pcm[i]);
      sink = sum;
      total += got;
    }
  }
  const WAVEFORMATEX delivered = DeliveredSoundFormat(stream);
  sink = delivered.nSamplesPerSec;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1 << 20)) return 0;
  SetDibPixelLimit(1 << 16);
  fuzz::MemoryFile memory(data, size);
  if (!memory.ok()) return 0;
  PAVIFILE file = nullptr;
  if (AVIFileOpen(&file, memory.path(), OF_READ) != AVIERR_OK) return 0;
  for (LONG n = 0; n < 4; ++n) {
    PAVISTREAM stream = nullptr;
    if (AVIFileGetStream(file, &stream, 0, n) != AVIERR_OK) break;
    AVISTREAMINFO info{};
    AVIStreamInfo(stream, &info, sizeof info);
    if (info.fccType == streamtypeVIDEO) Video(stream, info);
    if (info.fccType == streamtypeAUDIO) Sound(stream);
    AVIStreamRelease(stream);
  }
  AVIFileRelease(file);
  // The sound input the layer II encoder reads: decoded and counted when it is foreign.
  std::string reason;
  if (auto sound = OpenSoundStream(memory.path(), &reason)) {
    std::vector<uint8_t> buffer(4608);
    size_t bytes = 0;
    uint64_t frames = 0;
    for (uint64_t at = 0; at < sound->Length() && at < 8 * 44100; at += 1152)
      if (sound->Read(at, 1152, buffer.data(), buffer.size(), &bytes, &frames) != 0 || frames == 0)
        break;
  }
  return 0;
}
