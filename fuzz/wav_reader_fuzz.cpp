// WAV files through the AVI services, as the sound input reads them: one audio stream,
// its information and format, and block reads from anywhere.
#include <cstdint>
#include <vector>

#include "fuzz_memfile.h"
#include "platform/vfw/vfw.h"
#include "platform/vfw/wav_file.h"

using namespace quendrolix;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::MemoryFile memory(data, size);
  if (!memory.ok()) return 0;
  if (auto wav = WavFile::Open(memory.path())) {
    std::vector<uint8_t> buffer(4096);
    wav->IsPcm();
    wav->Read(0, 1000, buffer.data(), buffer.size());
    wav->Read(wav->lengthInBlocks() / 2, 1000, buffer.data(), buffer.size());
  }
  PAVIFILE file = nullptr;
  if (AVIFileOpen(&file, memory.path(), OF_READ | OF_SHARE_EXCLUSIVE) != AVIERR_OK) return 0;
  PAVISTREAM stream = nullptr;
  if (AVIFileGetStream(file, &stream, streamtypeAUDIO, 0) == AVIERR_OK) {
    AVISTREAMINFO info{};
    AVIStreamInfo(stream, &info, sizeof info);
    LONG formatSize = 0;
    AVIStreamReadFormat(stream, 0, nullptr, &formatSize);
    if (formatSize > 0 && formatSize < (1 << 20)) {
      std::vector<uint8_t> format(formatSize);
      AVIStreamReadFormat(stream, 0, format.data(), &formatSize);
    }
    std::vector<uint8_t> buffer(4608);
    const LONG length = AVIStreamLength(stream);
    for (LONG pos = 0; pos < length && pos < 20000; pos += 1152) {
      LONG bytes = 0, samples = 0;
      if (AVIStreamRead(stream, pos, 1152, buffer.data(), 4608, &bytes, &samples) != AVIERR_OK)
        break;
    }
    AVIStreamRelease(stream);
  }
  AVIFileRelease(file);
  return 0;
}
