#pragma once

// The objects behind the handles of vfw.h. Internal to the AVI services.

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/vfw/vfw.h"

namespace quendrolix {

class AviFile {
 public:
  virtual ~AviFile() = default;
  ULONG AddRef() { return ++refs_; }
  ULONG Release() {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }
  virtual HRESULT Info(AVIFILEINFO& info) = 0;
  virtual HRESULT GetStream(PAVISTREAM* ppavi, FOURCC type, LONG index) = 0;
  virtual HRESULT CreateStream(PAVISTREAM*, const AVISTREAMINFO&) { return AVIERR_READONLY; }
  // A file being written that must not replace its target (a failed save).
  virtual void MarkFailed() {}

 private:
  ULONG refs_ = 1;
};

class AviStream {
 public:
  virtual ~AviStream() = default;
  ULONG AddRef() { return ++refs_; }
  ULONG Release() {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }
  virtual HRESULT Info(AVISTREAMINFO& info) = 0;
  virtual LONG Start() = 0;
  virtual LONG Length() = 0;
  // The length the stream's header claims, when it claims more than the file holds.
  virtual LONG DeclaredLength() { return Length(); }
  virtual HRESULT ReadFormat(std::vector<uint8_t>& format) = 0;
  // The stored bytes of one sample of a stream of varying sample size (video).
  virtual HRESULT ReadSample(LONG pos, std::vector<uint8_t>& bytes) {
    (void)pos;
    (void)bytes;
    return AVIERR_UNSUPPORTED;
  }
  virtual HRESULT Read(LONG start, LONG samples, void* buffer, LONG bufferBytes, LONG* bytes,
                       LONG* samplesRead) = 0;
  virtual bool IsKeyFrame(LONG) { return true; }
  virtual HRESULT SetFormat(LONG, const void*, LONG) { return AVIERR_READONLY; }
  virtual HRESULT Write(LONG, LONG, const void*, LONG, DWORD, LONG*, LONG*) {
    return AVIERR_READONLY;
  }
  virtual bool Writable() const { return false; }
  // The file a writable stream belongs to (null for readable streams).
  virtual AviFile* WritableFile() { return nullptr; }
  // A compressed stream names its compressor in the stream it writes to.
  virtual void SetHandler(FOURCC) {}

 private:
  ULONG refs_ = 1;
};

// Copies `size` bytes of `format` into a caller's buffer by the AVIStreamReadFormat rule.
HRESULT CopyFormat(const std::vector<uint8_t>& format, void* out, LONG* size);

// Whether the path ends in ".wav" (any letter case): such files are written as WAV.
bool EndsWithWav(const std::string& path);

// A file-type or stream name, cut to fit and zero-filled.
void SetName(char (&dest)[64], const std::string& name);

inline void SetOut(LONG* p, LONG v) {
  if (p) *p = v;
}

inline LONG ClampLong(uint64_t v) {
  return static_cast<LONG>(std::min<uint64_t>(v, INT32_MAX));
}

// A stream that is written and never read back.
class WriteOnlyStream : public AviStream {
 public:
  HRESULT Read(LONG, LONG, void*, LONG, LONG* bytes, LONG* samples) override {
    SetOut(bytes, 0);
    SetOut(samples, 0);
    return AVIERR_UNSUPPORTED;
  }
  bool Writable() const override { return true; }
};

class WavFile;
// A WAV file opened for reading as a file of one audio stream.
AviFile* NewWavReadFile(std::unique_ptr<WavFile> wav);
// A WAV file to be written at `path` once its stream's format is set. Null without memory.
AviFile* NewWavWriteFile(const std::string& path);

}  // namespace quendrolix
