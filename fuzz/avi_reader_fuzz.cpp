// The AVI reader on arbitrary bytes: structure, stream information, formats, sample reads
// and frames through the frame getter, every delivered pixel read.
#include <cstdint>
#include <vector>

#include "fuzz_memfile.h"
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::MemoryFile memory(data, size);
  if (!memory.ok()) return 0;
  PAVIFILE file = nullptr;
  if (AVIFileOpen(&file, memory.path(), OF_READ) != AVIERR_OK) return 0;
  AVIFILEINFO fi{};
  AVIFileInfo(file, &fi, sizeof fi);
  for (LONG n = 0; n < 4; ++n) {
    PAVISTREAM stream = nullptr;
    if (AVIFileGetStream(file, &stream, 0, n) != AVIERR_OK) break;
    AVISTREAMINFO info{};
    AVIStreamInfo(stream, &info, sizeof info);
    LONG formatSize = 0;
    if (AVIStreamReadFormat(stream, 0, nullptr, &formatSize) == AVIERR_OK && formatSize > 0 &&
        formatSize < (1 << 20)) {
      std::vector<uint8_t> format(formatSize);
      AVIStreamReadFormat(stream, 0, format.data(), &formatSize);
    }
    const LONG start = AVIStreamStart(stream), length = AVIStreamLength(stream);
    std::vector<uint8_t> buffer(4608);
    for (LONG pos : {start, start + length / 2, start + length - 1, start + length}) {
      LONG bytes = 0, samples = 0;
      AVIStreamRead(stream, pos, 100, nullptr, 0, &bytes, &samples);
      AVIStreamRead(stream, pos, 1152, buffer.data(), static_cast<LONG>(buffer.size()), &bytes,
                    &samples);
      AVIStreamRead(stream, pos, AVISTREAMREAD_CONVENIENT, buffer.data(),
                    static_cast<LONG>(buffer.size()), &bytes, &samples);
    }
    if (info.fccType == streamtypeVIDEO &&
        uint64_t(info.rcFrame.right) * uint64_t(info.rcFrame.bottom) <= (1u << 20)) {
      // Small pictures only: the fuzzer is after the decoders, not the allocator.
      if (PGETFRAME getter = AVIStreamGetFrameOpen(stream, nullptr)) {
        const BITMAPINFOHEADER* h = nullptr;
        const DibBlock* first = AVIStreamGetFrame(getter, start);
        if (first) h = &first->header();
        if (!h || int64_t(h->biWidth) * h->biHeight <= (1 << 20)) {
          Touch(first);
          for (LONG i = 1; i < 8 && i < length; ++i) Touch(AVIStreamGetFrame(getter, start + i));
          Touch(AVIStreamGetFrame(getter, start + length - 1));
          Touch(AVIStreamGetFrame(getter, start + length / 2));
        }
        AVIStreamGetFrameClose(getter);
      }
    }
    AVIStreamRelease(stream);
  }
  AVIFileRelease(file);
  return 0;
}
