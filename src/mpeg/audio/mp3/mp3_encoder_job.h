#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/mp3lib/mp3_library.h"

namespace quendrolix {

// Converts WAV files to MP3 through the encoder library: for each source, one
// beInitStream, a beEncodeChunk per chunk of PCM samples, beDeinitStream and
// beCloseStream. The library is loaded once per job; the buffers are allocated on the
// first file (with the sizes beInitStream gives) and kept for the job.
class Mp3EncoderJob {
 public:
  // Results other than these are an error number (errno) of a file operation or the
  // nonzero code the library returned.
  static constexpr int kResultOk = 0;
  static constexpr int kResultNoLibrary = 1;
  static constexpr int kResultMissingEntryPoint = 2;
  static constexpr int kResultNoBuffers = 3;
  static constexpr int kResultStopped = 4;

  // Told when a file starts and after each chunk, so a front can show the file's name
  // and the progress.
  class Owner {
   public:
    virtual ~Owner() = default;
    virtual void FileStarted(const Mp3EncoderJob&) {}
    virtual void ChunkEncoded(const Mp3EncoderJob&) {}
  };

  explicit Mp3EncoderJob(Owner* owner = nullptr);
  ~Mp3EncoderJob();
  Mp3EncoderJob(const Mp3EncoderJob&) = delete;
  Mp3EncoderJob& operator=(const Mp3EncoderJob&) = delete;

  // The library to load (default Mp3Library::DefaultPath()); takes effect if none is loaded.
  void SetLibraryPath(const std::filesystem::path& path) { libraryPath_ = path; }
  // The MP3 goes beside the source with its extension replaced by "mp3".
  void AddSource(const std::string& sourcePath);
  // The MP3 goes to `outputPath`.
  void AddSource(const std::string& sourcePath, const std::string& outputPath);

  // Converts every source in order; true when all were converted. The first failure ends
  // the job: earlier outputs stay, the failed file's output is not put in place, and the
  // rest of the list is not processed.
  bool Run();

  int lastResult() const { return lastResult_; }
  const std::string& currentSourcePath() const { return currentSource_; }
  const std::string& currentOutputPath() const { return currentOutput_; }
  int progressPercent() const { return progress_; }
  // Ends the job with kResultStopped once the file being converted is finished.
  void RequestStop() { stopRequested_ = true; }
  // How often the input and output buffers were (re)allocated in this job.
  int bufferAllocations() const { return bufferAllocations_; }

  // "dir/name.wav" -> "dir/name.mp3"; a name without an extension gets ".mp3".
  static std::string Mp3PathFor(const std::string& sourcePath);

 private:
  struct Source {
    std::string path;
    std::string output;
  };
  bool Fail(int result);
  bool ConvertOne(const Source& source);

  Owner* owner_;
  std::filesystem::path libraryPath_;
  Mp3Library library_;
  std::vector<Source> sources_;
  int lastResult_ = kResultOk;
  std::string currentSource_;
  std::string currentOutput_;
  int progress_ = 0;
  bool stopRequested_ = false;
  int bufferAllocations_ = 0;
  std::unique_ptr<int16_t[]> input_;  // samples-per-chunk 16-bit samples
  size_t inputSamples_ = 0;
  std::unique_ptr<uint8_t[]> output_;
  size_t outputBytes_ = 0;
  std::vector<uint8_t> wide_;  // raw blocks of sources wider than 16 bits
};

}  // namespace quendrolix
