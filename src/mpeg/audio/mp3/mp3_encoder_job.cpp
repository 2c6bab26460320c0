#include "mpeg/audio/mp3/mp3_encoder_job.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

#include "platform/host/atomic_file.h"
#include "platform/host/conversion_log.h"
#include "platform/vfw/wav_file.h"
#include "platform/vfw/wave_format.h"

namespace quendrolix {
namespace fs = std::filesystem;

static_assert(std::endian::native == std::endian::little,
              "16-bit WAV samples are handed to the library as stored");

namespace {

constexpr uint16_t kMp3BitRate = 128;
// Sizes beyond this from the library are taken as nonsense, not as something to allocate.
constexpr uint32_t kMaxLibraryBuffer = 64u << 20;

int ErrnoOr(int fallback) {
  return errno != 0 ? errno : fallback;
}

// Why the encoder cannot take this WAV, or empty when it can.
std::string RefusalOf(const WavFile& wav) {
  const WAVEFORMATEX& f = wav.format();
  if (!wav.IsPcm()) return "compressed audio is unsupported (only PCM sound can be converted)";
  if (f.nChannels != 1 && f.nChannels != 2)
    return StringPrintf("%u audio channels are not supported (must be 1 or 2)", f.nChannels);
  if (f.wBitsPerSample != 8 && f.wBitsPerSample != 16 && f.wBitsPerSample != 24 &&
      f.wBitsPerSample != 32)
    return StringPrintf("%u bit audio is not supported (must be 8, 16, 24 or 32)",
                        f.wBitsPerSample);
  if (f.nBlockAlign != f.nChannels * (f.wBitsPerSample / 8))
    return "the sound format is damaged (block size does not match the samples)";
  return {};
}

// The MP3 is written under a name of its own beside the target and put in place once
// complete, so a failed conversion never replaces a good file. Results are 0 or the error
// number.
class PendingOutput {
 public:
  int Create(const std::string& target) {
    if (!file_.Open(target) || !file_.Stream()) return file_.error() ? file_.error() : EIO;
    return 0;
  }
  int Write(const uint8_t* bytes, size_t count) {
    return file_.Write(bytes, count) ? 0 : (file_.error() ? file_.error() : EIO);
  }
  int Commit() { return file_.Commit() ? 0 : (file_.error() ? file_.error() : EIO); }

 private:
  AtomicFile file_;
};

}  // namespace

Mp3EncoderJob::Mp3EncoderJob(Owner* owner)
    : owner_(owner), libraryPath_(Mp3Library::DefaultPath()) {}

Mp3EncoderJob::~Mp3EncoderJob() = default;

std::string Mp3EncoderJob::Mp3PathFor(const std::string& sourcePath) {
  fs::path path(sourcePath);
  path.replace_extension("mp3");
  return path.string();
}

void Mp3EncoderJob::AddSource(const std::string& sourcePath) {
  sources_.push_back({sourcePath, Mp3PathFor(sourcePath)});
}

void Mp3EncoderJob::AddSource(const std::string& sourcePath, const std::string& outputPath) {
  sources_.push_back({sourcePath, outputPath});
}

bool Mp3EncoderJob::Fail(int result) {
  lastResult_ = result;
  return false;
}

bool Mp3EncoderJob::Run() {
  if (!library_.loaded()) {
    switch (library_.Load(libraryPath_)) {
      case Mp3Library::LoadStatus::kNoLibrary:
        return Fail(kResultNoLibrary);
      case Mp3Library::LoadStatus::kMissingEntryPoint:
        return Fail(kResultMissingEntryPoint);
      case Mp3Library::LoadStatus::kLoaded:
        break;
    }
  }
  for (const Source& source : sources_) {
    if (!ConvertOne(source)) return false;
    if (stopRequested_) return Fail(kResultStopped);
  }
  lastResult_ = kResultOk;
  return true;
}

bool Mp3EncoderJob::ConvertOne(const Source& source) {
  currentSource_ = source.path;
  currentOutput_ = source.output;
  progress_ = 0;

  // Opened plainly first so that a missing or unreadable file gives its error number.
  errno = 0;
  if (std::FILE* probe = std::fopen(source.path.c_str(), "rb")) {
    std::fclose(probe);
  } else {
    return Fail(ErrnoOr(EIO));
  }
  if (owner_) owner_->FileStarted(*this);
  std::string why;
  std::unique_ptr<WavFile> wav = WavFile::Open(source.path, &why);
  if (!wav) {
    ReportLine("Error: %s is not a usable WAV file (%s)", source.path.c_str(), why.c_str());
    return Fail(EINVAL);
  }
  why = RefusalOf(*wav);
  if (!why.empty()) {
    ReportLine("Error: %s: %s", source.path.c_str(), why.c_str());
    return Fail(EINVAL);
  }
  std::error_code ec;
  if (fs::equivalent(source.path, source.output, ec)) {
    ReportLine("Error: %s would overwrite its own source", source.output.c_str());
    return Fail(EINVAL);
  }
  const WAVEFORMATEX format = wav->format();
  const unsigned channels = format.nChannels;
  const unsigned bytesPerSample = format.wBitsPerSample / 8;

  PendingOutput output;
  if (int error = output.Create(source.output)) return Fail(error);

  BeConfig config{};
  config.configKind = kBeConfigMp3;
  config.sampleRate = format.nSamplesPerSec;
  config.mode = channels == 1 ? kBeModeMono : kBeModeStereo;
  config.bitRate = kMp3BitRate;
  uint32_t samplesPerChunk = 0, outputBytes = 0;
  BeStreamHandle stream = 0;
  if (BeResult code = library_.beInitStream(&config, &samplesPerChunk, &outputBytes, &stream))
    return Fail(static_cast<int>(code));

  // From here on every way out closes the stream.
  struct StreamCloser {
    Mp3Library& library;
    BeStreamHandle stream;
    ~StreamCloser() { library.beCloseStream(stream); }
  } closer{library_, stream};

  // A chunk must hold at least one whole sample frame for the reading below to advance.
  if (samplesPerChunk < channels || samplesPerChunk > kMaxLibraryBuffer / 2 || outputBytes == 0 ||
      outputBytes > kMaxLibraryBuffer)
    return Fail(kResultNoBuffers);
  if (!input_ || inputSamples_ < samplesPerChunk || outputBytes_ < outputBytes) {
    // Kept for the job; grown only when a later stream asks for more than the first.
    input_.reset(new (std::nothrow) int16_t[std::max<size_t>(samplesPerChunk, inputSamples_)]);
    output_.reset(new (std::nothrow) uint8_t[std::max<size_t>(outputBytes, outputBytes_)]);
    if (!input_ || !output_) {
      input_.reset();
      output_.reset();
      inputSamples_ = outputBytes_ = 0;
      return Fail(kResultNoBuffers);
    }
    inputSamples_ = std::max<size_t>(samplesPerChunk, inputSamples_);
    outputBytes_ = std::max<size_t>(outputBytes, outputBytes_);
    ++bufferAllocations_;
  }

  const uint64_t blocksPerChunk = samplesPerChunk / channels;
  const uint64_t totalBlocks = wav->lengthInBlocks();
  uint8_t* const inputBytes = reinterpret_cast<uint8_t*>(input_.get());
  if (bytesPerSample > 2) wide_.resize(blocksPerChunk * format.nBlockAlign);

  for (uint64_t position = 0; position < totalBlocks;) {
    const uint64_t want = std::min(blocksPerChunk, totalBlocks - position);
    const size_t samples = static_cast<size_t>(want * channels);
    int64_t got;
    if (bytesPerSample == 2) {
      got = wav->Read(position, want, inputBytes, samples * 2);
    } else if (bytesPerSample == 1) {
      got = wav->Read(position, want, inputBytes, samples);
      // Unsigned 8-bit to signed 16-bit, from the end so the bytes are not overrun.
      for (size_t i = samples; i-- > 0;) input_[i] = WidenPcm8(inputBytes[i]);
    } else {
      got = wav->Read(position, want, wide_.data(), wide_.size());
      // Wider samples keep their two most significant bytes.
      for (size_t i = 0; i < samples; ++i) {
        const uint8_t* p = wide_.data() + i * bytesPerSample + bytesPerSample - 2;
        input_[i] = static_cast<int16_t>(p[0] | p[1] << 8);
      }
    }
    if (got != static_cast<int64_t>(want)) return Fail(EIO);

    uint32_t produced = 0;
    if (BeResult code = library_.beEncodeChunk(stream, static_cast<uint32_t>(samples), input_.get(),
                                               output_.get(), &produced))
      return Fail(static_cast<int>(code));
    if (produced > outputBytes_) return Fail(kResultNoBuffers);  // the library overran us
    if (int error = output.Write(output_.get(), produced)) return Fail(error);
    progress_ = static_cast<int>(position * 100 / totalBlocks);
    position += want;
    if (owner_) owner_->ChunkEncoded(*this);
  }

  uint32_t produced = 0;
  if (BeResult code = library_.beDeinitStream(stream, output_.get(), &produced))
    return Fail(static_cast<int>(code));
  if (produced > outputBytes_) return Fail(kResultNoBuffers);
  if (int error = output.Write(output_.get(), produced)) return Fail(error);
  if (int error = output.Commit()) return Fail(error);
  return true;
}

}  // namespace quendrolix
