#include "tools/extract_sound.h"

#include "platform/vfw/vfw.h"

namespace quendrolix {

bool ExtractAviSound(const std::string& aviPath, const std::string& wavPath) {
  ScopedAviFile file;
  if (AVIFileOpen(file.out(), aviPath, OF_READ) != AVIERR_OK) return false;
  ScopedAviStream stream;
  if (AVIFileGetStream(file.get(), stream.out(), streamtypeAUDIO, 0) != AVIERR_OK) return false;
  LONG size = 0;
  if (AVIStreamReadFormat(stream.get(), AVIStreamStart(stream.get()), nullptr, &size) !=
          AVIERR_OK ||
      size <= 0)
    return false;
  AVICOMPRESSOPTIONS options;
  options.fccType = streamtypeAUDIO;
  options.dwFlags = AVICOMPRESSF_VALID;
  options.dwInterleaveEvery = 1;
  options.format.resize(static_cast<size_t>(size));
  if (AVIStreamReadFormat(stream.get(), AVIStreamStart(stream.get()), options.format.data(),
                          &size) != AVIERR_OK)
    return false;
  PAVISTREAM streams[] = {stream.get()};
  const AVICOMPRESSOPTIONS* records[] = {&options};
  return AVISaveV(wavPath, nullptr, {}, 1, streams, records) == AVIERR_OK;
}

}  // namespace quendrolix
