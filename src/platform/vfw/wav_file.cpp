#include "platform/vfw/wav_file.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

namespace quendrolix {
namespace {

uint32_t Le32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

void PutLe32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

bool SetError(std::string* error, const char* text) {
  if (error) *error = text;
  return false;
}

}  // namespace

std::unique_ptr<WavFile> WavFile::Open(const std::string& path, std::string* error) {
  std::unique_ptr<WavFile> wav(new WavFile());
  wav->file_ = std::fopen(path.c_str(), "rb");
  if (!wav->file_) {
    SetError(error, "cannot open the file");
    return nullptr;
  }
  std::FILE* f = wav->file_;
  if (std::fseek(f, 0, SEEK_END) != 0) return nullptr;
  const long long fileSize = ftello(f);
  std::fseek(f, 0, SEEK_SET);

  uint8_t riff[12];
  if (std::fread(riff, 1, 12, f) != 12 || std::memcmp(riff, "RIFF", 4) != 0 ||
      std::memcmp(riff + 8, "WAVE", 4) != 0) {
    SetError(error, "not a RIFF WAVE file");
    return nullptr;
  }
  // Walk the chunks; the RIFF size is not trusted (streams often write 0 or -1 there).
  long long pos = 12;
  bool haveFormat = false, haveData = false;
  while (pos + 8 <= fileSize && !(haveFormat && haveData)) {
    uint8_t head[8];
    if (std::fseek(f, pos, SEEK_SET) != 0 || std::fread(head, 1, 8, f) != 8) break;
    uint64_t size = Le32(head + 4);
    long long body = pos + 8;
    uint64_t available = static_cast<uint64_t>(fileSize - body);
    if (std::memcmp(head, "fmt ", 4) == 0 && !haveFormat) {
      if (size < 16 || size > 4096 || size > available) {
        SetError(error, "damaged format chunk");
        return nullptr;
      }
      wav->formatBytes_.resize(size);
      if (std::fread(wav->formatBytes_.data(), 1, size, f) != size) {
        SetError(error, "damaged format chunk");
        return nullptr;
      }
      std::memcpy(&wav->format_, wav->formatBytes_.data(),
                  std::min<size_t>(size, sizeof(WAVEFORMATEX)));
      if (size < sizeof(WAVEFORMATEX)) wav->format_.cbSize = 0;
      haveFormat = true;
    } else if (std::memcmp(head, "data", 4) == 0 && !haveData) {
      wav->dataOffset_ = static_cast<uint64_t>(body);
      wav->dataBytes_ = std::min(size, available);
      wav->declaredDataBytes_ = size;
      haveData = true;
      if (size > available) break;
    }
    pos = body + static_cast<long long>(size) + (size & 1);
  }
  if (!haveFormat) {
    SetError(error, "no format chunk");
    return nullptr;
  }
  if (!haveData) {
    SetError(error, "no data chunk");
    return nullptr;
  }
  if (wav->format_.nBlockAlign == 0 || wav->format_.nChannels == 0 ||
      wav->format_.nSamplesPerSec == 0) {
    SetError(error, "impossible sound format");
    return nullptr;
  }
  return wav;
}

WavFile::~WavFile() {
  if (file_) std::fclose(file_);
}

bool WavFile::IsPcm() const {
  return IsPcmFormat(formatBytes_);
}

uint64_t WavFile::lengthInBlocks() const {
  return dataBytes_ / format_.nBlockAlign;
}

uint64_t WavFile::declaredLengthInBlocks() const {
  if (declaredDataBytes_ == 0 || declaredDataBytes_ >= 0x7FFFF000u) return lengthInBlocks();
  return CutShortLength(declaredDataBytes_, dataBytes_) / format_.nBlockAlign;
}

int64_t WavFile::Read(uint64_t start, uint64_t count, void* buffer, size_t bufferBytes) {
  const uint64_t blocks = lengthInBlocks();
  if (start >= blocks) return 0;
  count = std::min({count, blocks - start, uint64_t{bufferBytes} / format_.nBlockAlign});
  if (count == 0) return 0;
  const uint64_t offset = dataOffset_ + start * format_.nBlockAlign;
  if (fseeko(file_, static_cast<off_t>(offset), SEEK_SET) != 0) return -1;
  const size_t bytes = static_cast<size_t>(count * format_.nBlockAlign);
  size_t got = std::fread(buffer, 1, bytes, file_);
  if (got != bytes) return -1;
  return static_cast<int64_t>(count);
}

WavWriter::~WavWriter() = default;  // an unfinished file is discarded with out_

bool WavWriter::Open(const std::string& path, const WAVEFORMATEX& format) {
  // Plain PCM is written with the classic 16-byte format chunk every reader knows.
  const auto* p = reinterpret_cast<const uint8_t*>(&format);
  size_t size = format.wFormatTag == WAVE_FORMAT_PCM ? 16 : sizeof(WAVEFORMATEX) + format.cbSize;
  if (size > sizeof(WAVEFORMATEX)) size = sizeof(WAVEFORMATEX);  // no extra bytes at hand
  return Open(path, std::vector<uint8_t>(p, p + size));
}

bool WavWriter::Open(const std::string& path, const std::vector<uint8_t>& formatBytes) {
  if (file_ || formatBytes.size() < 16) return false;
  if (!out_.Open(path, AtomicFile::TempName::kPartSuffix)) return false;
  file_ = out_.Stream("wb");
  if (!file_) {
    out_.Discard();
    return false;
  }
  dataBytes_ = 0;
  failed_ = false;
  uint8_t head[20];
  std::memcpy(head, "RIFF\0\0\0\0WAVEfmt ", 16);
  PutLe32(head + 16, static_cast<uint32_t>(formatBytes.size()));
  bool ok = std::fwrite(head, 1, 20, file_) == 20 &&
            std::fwrite(formatBytes.data(), 1, formatBytes.size(), file_) == formatBytes.size();
  if (formatBytes.size() & 1) ok = ok && std::fputc(0, file_) != EOF;
  factOffset_ = -1;
  uint16_t tag = 0;
  std::memcpy(&tag, formatBytes.data(), 2);
  if (tag != WAVE_FORMAT_PCM && tag != WAVE_FORMAT_IEEE_FLOAT && tag != WAVE_FORMAT_EXTENSIBLE) {
    factOffset_ = 20 + static_cast<long long>(formatBytes.size() + (formatBytes.size() & 1)) + 8;
    ok = ok && std::fwrite("fact\4\0\0\0\0\0\0\0", 1, 12, file_) == 12;
  }
  ok = ok && std::fwrite("data\0\0\0\0", 1, 8, file_) == 8;
  failed_ = !ok;
  return ok;
}

bool WavWriter::Write(const void* data, size_t bytes) {
  if (!file_ || failed_) return false;
  if (dataBytes_ + bytes > 0xFFFFFFF0ull) {  // a RIFF file cannot say more
    failed_ = true;
    return false;
  }
  if (bytes && std::fwrite(data, 1, bytes, file_) != bytes) {
    failed_ = true;
    return false;
  }
  dataBytes_ += bytes;
  return true;
}

bool WavWriter::Close() {
  if (!file_) return false;
  bool ok = !failed_;
  if (ok && (dataBytes_ & 1)) ok = std::fputc(0, file_) != EOF;
  long long end = ftello(file_);
  uint8_t size[4];
  if (ok) {
    PutLe32(size, static_cast<uint32_t>(end - 8));
    ok = std::fseek(file_, 4, SEEK_SET) == 0 && std::fwrite(size, 1, 4, file_) == 4;
  }
  if (ok) {
    PutLe32(size, static_cast<uint32_t>(dataBytes_));
    ok = std::fseek(file_,
                    static_cast<long>(end - static_cast<long long>(dataBytes_) -
                                      static_cast<long long>(dataBytes_ & 1) - 4),
                    SEEK_SET) == 0 &&
         std::fwrite(size, 1, 4, file_) == 4;
  }
  if (ok && factOffset_ >= 0) {
    PutLe32(size, factSamples_);
    ok = std::fseek(file_, static_cast<long>(factOffset_), SEEK_SET) == 0 &&
         std::fwrite(size, 1, 4, file_) == 4;
  }
  file_ = nullptr;  // out_'s own stream: it closes it
  if (ok) return out_.Commit();
  out_.Discard();
  return false;
}

}  // namespace quendrolix
