#pragma once

// Video decoding through the library decoders, into the packed bottom-up 24-bit BI_RGB
// DIB frames the engines take. Two sources: the stored samples of an AVI stream with its
// format (what the AVI frame getter has), and any file the library can open.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/gdi/dib.h"

namespace quendrolix::av {

// Decodes the samples of one AVI video stream. Samples go in decode order; pictures come
// out in display order, possibly some samples later (codecs that reorder pictures hold
// them back). Every picture is converted to width() x height() of the stream format,
// whatever size the stream itself says.
class SampleVideoDecoder {
 public:
  enum class Result { kPicture, kNeedSample, kEnd };

  // `format`: the stream format, a BITMAPINFOHEADER followed by what the codec keeps
  // there (its extra data). `handler`: the stream header's FourCC, used when the format's
  // biCompression names no decoder. Null with a reason when there is no decoder or the
  // format is unusable.
  static std::unique_ptr<SampleVideoDecoder> Open(const std::vector<uint8_t>& format,
                                                  uint32_t handler, std::string* error);
  ~SampleVideoDecoder();
  SampleVideoDecoder(const SampleVideoDecoder&) = delete;
  SampleVideoDecoder& operator=(const SampleVideoDecoder&) = delete;

  int width() const;
  int height() const;
  // True once the decoder has said it holds pictures back to reorder them.
  bool Reorders() const;
  // The library's name of the decoder ("h264").
  std::string name() const;

  // Hands over sample `index`. False when the decoder refused it (damaged data); the
  // decoder goes on with the next sample.
  bool Send(const uint8_t* data, size_t size, int64_t index);
  // No more samples follow: what is held back comes out through Receive.
  void Drain();
  // The next picture into `frame`, a 24-bit block of width() x height() (header and rows
  // are written). `index` receives the index of the sample the picture came with.
  Result Receive(DibBlock& frame, int64_t* index);
  // Drops everything pending, before decoding resumes at another key frame.
  void Flush();

 private:
  struct State;
  explicit SampleVideoDecoder(std::unique_ptr<State> state);
  std::unique_ptr<State> state_;
};

// The first video stream of a file (any container the library reads), frame by frame.
class FileVideoDecoder {
 public:
  static std::unique_ptr<FileVideoDecoder> Open(const std::string& path, std::string* error);
  // The presentation time of every picture of the first video stream, in seconds from the
  // first, ascending, read from the container without decoding anything. False when a
  // picture's time is not stored (MPEG system streams leave some out): only decoding
  // tells then.
  // `first` receives the first picture's time as lastTime() gives it.
  static bool PictureTimes(const std::string& path, std::vector<double>* times, double* first);
  ~FileVideoDecoder();
  FileVideoDecoder(const FileVideoDecoder&) = delete;
  FileVideoDecoder& operator=(const FileVideoDecoder&) = delete;

  int width() const;
  int height() const;
  // The stream's nominal frame rate as a fraction (0/1 when the file does not say).
  int rateNumerator() const;
  int rateDenominator() const;
  // The stream's duration in seconds (0 when unknown).
  double durationSeconds() const;

  // The next picture in display order as a 24-bit DIB; null at the end or when the file
  // cannot be read further (error() then says why).
  HDIB Next();
  // Goes back (or on) to the key frame at or before `seconds` (a time as lastTime()
  // gives it): the next pictures are decoded from there. False when the file cannot seek;
  // the decoder is then where it was.
  bool SeekBefore(double seconds);
  // The presentation time of the picture Next() returned last, in seconds.
  double lastTime() const;
  const std::string& error() const;

 private:
  struct State;
  explicit FileVideoDecoder(std::unique_ptr<State> state);
  std::unique_ptr<State> state_;
};

}  // namespace quendrolix::av
