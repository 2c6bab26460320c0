#include "tools/movie_player.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "image/gif_reader.h"
#include "platform/av/audio_decoder.h"
#include "platform/av/video_decoder.h"
#include "platform/gdi/dib.h"
#include "platform/host/file_handle.h"
#include "platform/vfw/pixel_convert.h"
#include "platform/vfw/vfw.h"

namespace quendrolix {

// ---- Timeline ------------------------------------------------------------------------

PlaybackTimeline::PlaybackTimeline(std::vector<double> starts, double duration)
    : starts_(std::move(starts)), duration_(duration) {
  if (!starts_.empty()) duration_ = std::max(duration_, starts_.back());
}

PlaybackTimeline PlaybackTimeline::Uniform(int count, double framesPerSecond) {
  std::vector<double> starts;
  if (count <= 0 || !(framesPerSecond > 0)) return {};
  starts.reserve(count);
  for (int i = 0; i < count; ++i) starts.push_back(i / framesPerSecond);
  return PlaybackTimeline(std::move(starts), count / framesPerSecond);
}

int PlaybackTimeline::FrameAt(double seconds) const {
  if (starts_.empty()) return -1;
  auto after = std::upper_bound(starts_.begin(), starts_.end(), seconds);
  if (after == starts_.begin()) return 0;
  return static_cast<int>(after - starts_.begin()) - 1;
}

// ---- Pictures ------------------------------------------------------------------------
namespace {

// Any uncompressed DIB (1 to 32 bits, bottom-up) as a screen picture.
bool PictureFromDib(const DibBlock& dib, PlayerPicture& out) {
  if (!DibIsConsistent(dib)) return false;
  const BITMAPINFOHEADER& h = dib.header();
  const int width = h.biWidth;
  const int height = std::abs(h.biHeight);
  const int bits = h.biBitCount;
  if (width <= 0 || height <= 0 || (h.biCompression != BI_RGB && bits != 16 && bits != 32))
    return false;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
  const size_t stride = DibRowStride(width, bits);
  const uint8_t* rows = dib.data() + DibBitsOffset(dib);
  std::vector<uint8_t> bgr(static_cast<size_t>(width) * 3);
  out.width = width;
  out.height = height;
  out.pixels.assign(static_cast<size_t>(width) * height, 0);
  for (int y = 0; y < height; ++y) {
    const int stored = h.biHeight > 0 ? height - 1 - y : y;
    RowToBgr(rows + stride * stored, bits, dib.colours(), DibColourCount(dib), width, bgr.data());
    uint32_t* line = out.pixels.data() + static_cast<size_t>(y) * width;
    for (int x = 0; x < width; ++x)
      line[x] =
          0xFF000000u | uint32_t{bgr[3 * x + 2]} << 16 | uint32_t{bgr[3 * x + 1]} << 8 | bgr[3 * x];
  }
  return true;
}

class AviSource : public MovieSource {
 public:
  static std::unique_ptr<MovieSource> Open(const std::string& path, std::string* error) {
    auto source = std::unique_ptr<AviSource>(new AviSource);
    if (AVIFileOpen(source->file_.out(), path, OF_READ) != AVIERR_OK) {
      *error = "not an AVI file that can be read";
      return nullptr;
    }
    if (AVIFileGetStream(source->file_.get(), source->stream_.out(), streamtypeVIDEO, 0) !=
        AVIERR_OK) {
      *error = "the file has no pictures";
      return nullptr;
    }
    AVISTREAMINFO info{};
    AVIStreamInfo(source->stream_.get(), &info, sizeof info);
    source->first_ = AVIStreamStart(source->stream_.get());
    const LONG length = AVIStreamLength(source->stream_.get());
    source->getter_ = AVIStreamGetFrameOpen(source->stream_.get(), nullptr);
    if (!source->getter_ || length <= 0 || info.dwScale == 0 || info.dwRate == 0) {
      *error = "no decoder for the pictures of this file";
      return nullptr;
    }
    source->timeline_ =
        PlaybackTimeline::Uniform(length, static_cast<double>(info.dwRate) / info.dwScale);
    // The size the decoder gives, which is what every picture will have.
    PlayerPicture first;
    if (!source->Picture(0, first)) {
      *error = "the first picture cannot be decoded";
      return nullptr;
    }
    source->width_ = first.width;
    source->height_ = first.height;
    return source;
  }
  ~AviSource() override {
    if (getter_) AVIStreamGetFrameClose(getter_);
  }
  int width() const override { return width_; }
  int height() const override { return height_; }
  const PlaybackTimeline& timeline() const override { return timeline_; }
  bool Picture(int index, PlayerPicture& out) override {
    if (index < 0 || index >= timeline_.count()) return false;
    const DibBlock* dib = AVIStreamGetFrame(getter_, first_ + index);
    return dib && PictureFromDib(*dib, out);
  }

 private:
  ScopedAviFile file_;
  ScopedAviStream stream_;
  PGETFRAME getter_ = nullptr;
  LONG first_ = 0;
  PlaybackTimeline timeline_;
  int width_ = 0, height_ = 0;
};

// Library decoding is sequential. The file is decoded once when it opens, for the number
// of pictures and the time of each (containers do not always say, and MPEG system
// streams say it wrongly); a picture before the last one decoded starts the file over.
class LibrarySource : public MovieSource {
 public:
  static std::unique_ptr<MovieSource> Open(const std::string& path, std::string* error) {
    auto source = std::unique_ptr<LibrarySource>(new LibrarySource(path));
    if (!source->Restart(error)) return nullptr;
    const auto& d = *source->decoder_;
    const double rate = d.rateDenominator() > 0 && d.rateNumerator() > 0
                            ? static_cast<double>(d.rateNumerator()) / d.rateDenominator()
                            : 25.0;
    source->width_ = d.width();
    source->height_ = d.height();
    // The container's time stamps when it has them all; otherwise decoding tells.
    std::vector<double> starts;
    source->seekable_ = av::FileVideoDecoder::PictureTimes(path, &starts, &source->origin_);
    if (!source->seekable_) {
      starts.clear();
      double first = 0;
      while (HDIB picture = source->decoder_->Next()) {
        const double time = source->decoder_->lastTime();
        if (starts.empty()) first = time;  // MPEG's first time stamp is not 0
        // Time stamps that go back or are missing: the nominal rate places the picture.
        double start = time - first;
        if (!starts.empty() && !(start > starts.back())) start = starts.back() + 1 / rate;
        starts.push_back(starts.empty() ? 0 : start);
      }
    }
    if (starts.empty()) {
      *error = source->decoder_->error().empty() ? "the file has no pictures"
                                                 : source->decoder_->error();
      return nullptr;
    }
    // The last picture lasts as long as the one before it (or a nominal frame).
    const size_t n = starts.size();
    const double last = n > 1 ? starts[n - 1] - starts[n - 2] : 1 / rate;
    // The container's duration when it says more (a still held in a stream of varying
    // frame durations); MPEG system streams say less, and are not believed.
    const double duration = std::max(starts.back() + last, d.durationSeconds());
    source->timeline_ = PlaybackTimeline(std::move(starts), duration);
    if (!source->Restart(error)) return nullptr;
    return source;
  }
  int width() const override { return width_; }
  int height() const override { return height_; }
  const PlaybackTimeline& timeline() const override { return timeline_; }
  bool Picture(int index, PlayerPicture& out) override {
    if (index < 0 || index >= timeline_.count()) return false;
    if (index == decoded_ && !shown_.pixels.empty()) {
      out = shown_;
      return true;
    }
    std::string error;
    // A jump back, or far ahead, in a file whose pictures all have their times: from the
    // key frame before the picture. Otherwise a jump back starts the file over.
    if ((index < decoded_ || index > decoded_ + 30) && seekable_ &&
        decoder_->SeekBefore(origin_ + timeline_.StartOf(index)))
      return FindAfterSeek(index, out);
    if (index < decoded_ && !Restart(&error)) return false;
    while (decoded_ < index) {
      HDIB picture = decoder_->Next();
      if (!picture) return false;
      ++decoded_;
      // Only the picture asked for is converted; those skipped over are not.
      if (decoded_ == index && !PictureFromDib(*picture, shown_)) return false;
    }
    out = shown_;
    return true;
  }

 private:
  explicit LibrarySource(std::string path) : path_(std::move(path)) {}
  // Decodes on from a seek until the picture whose time is that of `index`.
  bool FindAfterSeek(int index, PlayerPicture& out) {
    const double target = origin_ + timeline_.StartOf(index);
    shown_ = {};
    decoded_ = -1;
    while (HDIB picture = decoder_->Next()) {
      if (decoder_->lastTime() < target - 1e-4) continue;
      if (!PictureFromDib(*picture, shown_)) return false;
      decoded_ = index;
      out = shown_;
      return true;
    }
    std::string error;
    Restart(&error);  // lost: from the start next time
    return false;
  }
  bool Restart(std::string* error) {
    decoder_ = av::FileVideoDecoder::Open(path_, error);
    shown_ = {};
    decoded_ = -1;
    return decoder_ != nullptr;
  }

  std::string path_;
  std::unique_ptr<av::FileVideoDecoder> decoder_;
  PlaybackTimeline timeline_;
  int width_ = 0, height_ = 0;
  PlayerPicture shown_;
  int decoded_ = -1;  // the index of the last picture the decoder gave
  bool seekable_ = false;
  double origin_ = 0;  // the first picture's time as the decoder gives it
};

// An animated GIF, read image by image with our reader and laid onto the first image's
// canvas as each image's disposal asks. Pictures are composed once, at open: animations
// are small, and showing them backwards needs no re-reading.
class GifSource : public MovieSource {
 public:
  static constexpr size_t kMaxBytes = size_t{512} << 20;

  static std::unique_ptr<MovieSource> Open(const std::string& path, std::string* error) {
    FileHandle file = OpenFile(path, "rb");
    if (!file) {
      *error = "cannot open the file";
      return nullptr;
    }
    auto source = std::unique_ptr<GifSource>(new GifSource);
    // The logical screen every image is laid on.
    uint8_t header[10] = {};
    if (std::fread(header, 1, sizeof header, file.get()) != sizeof header) {
      *error = "not a GIF picture that can be read";
      return nullptr;
    }
    const int screenWidth = header[6] | header[7] << 8;
    const int screenHeight = header[8] | header[9] << 8;
    std::vector<double> starts;
    double time = 0;
    long offset = 0;
    PlayerPicture canvas;
    size_t bytes = 0;
    for (;;) {
      std::rewind(file.get());
      GifImageInfo info;
      int status = kGifStatusOk;
      HDIB image = ReadGifStream(file.get(), offset, &info, &status);
      if (!image) break;
      const long next = std::ftell(file.get());
      PlayerPicture picture;
      if (next <= offset || !PictureFromDib(*image, picture)) break;
      offset = next;
      if (canvas.pixels.empty()) {
        // The screen's size, unless the first image does not fit it (or it says none).
        canvas.width = std::max(screenWidth, picture.width + info.left);
        canvas.height = std::max(screenHeight, picture.height + info.top);
        if (int64_t{canvas.width} * canvas.height > DibPixelLimit()) {
          *error = "the GIF's screen is too large";
          return nullptr;
        }
        const uint32_t bg = 0xFF000000u | uint32_t{info.backgroundRed} << 16 |
                            uint32_t{info.backgroundGreen} << 8 | info.backgroundBlue;
        canvas.pixels.assign(static_cast<size_t>(canvas.width) * canvas.height, bg);
      }
      bytes += canvas.pixels.size() * 4;
      if (bytes > kMaxBytes) break;  // what fits is shown
      PlayerPicture before = canvas;
      Lay(canvas, picture, *image, info);
      source->frames_.push_back(canvas);
      starts.push_back(time);
      // Browsers show a delay under 2 hundredths as a tenth of a second.
      time += (info.delay < 2 ? 10 : info.delay) / 100.0;
      if (info.disposal == 2)
        Clear(canvas, picture, info);
      else if (info.disposal == 3)
        canvas = std::move(before);
    }
    if (source->frames_.empty()) {
      *error = "not a GIF picture that can be read";
      return nullptr;
    }
    source->timeline_ = PlaybackTimeline(std::move(starts), time);
    return source;
  }
  int width() const override { return frames_.front().width; }
  int height() const override { return frames_.front().height; }
  const PlaybackTimeline& timeline() const override { return timeline_; }
  bool Picture(int index, PlayerPicture& out) override {
    if (index < 0 || index >= static_cast<int>(frames_.size())) return false;
    out = frames_[index];
    return true;
  }

 private:
  static void Lay(PlayerPicture& canvas, const PlayerPicture& picture, const DibBlock& image,
                  const GifImageInfo& info) {
    const int bits = image.header().biBitCount;  // 1, 4 or 8
    const uint8_t* rows = DibPixels(image);
    const size_t stride = DibRowStride(picture.width, bits);
    auto index = [&](int x, int y) {
      const uint8_t* row = rows + stride * (picture.height - 1 - y);
      if (bits == 8) return uint32_t{row[x]};
      if (bits == 4) return uint32_t{(x & 1) ? row[x >> 1] & 0x0Fu : row[x >> 1] >> 4u};
      return uint32_t{(row[x >> 3] >> (7 - (x & 7))) & 1u};
    };
    for (int y = 0; y < picture.height && y + info.top < canvas.height; ++y)
      for (int x = 0; x < picture.width && x + info.left < canvas.width; ++x) {
        if (info.transparent && index(x, y) == info.transparentIndex) continue;
        canvas.pixels[static_cast<size_t>(y + info.top) * canvas.width + x + info.left] =
            picture.At(x, y);
      }
  }
  static void Clear(PlayerPicture& canvas, const PlayerPicture& picture, const GifImageInfo& info) {
    const uint32_t bg = 0xFF000000u | uint32_t{info.backgroundRed} << 16 |
                        uint32_t{info.backgroundGreen} << 8 | info.backgroundBlue;
    for (int y = info.top; y < info.top + picture.height && y < canvas.height; ++y)
      for (int x = info.left; x < info.left + picture.width && x < canvas.width; ++x)
        canvas.pixels[static_cast<size_t>(y) * canvas.width + x] = bg;
  }

  std::vector<PlayerPicture> frames_;
  PlaybackTimeline timeline_;
};

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

std::unique_ptr<MovieSource> MovieSource::Open(const std::string& path, std::string* error) {
  std::string why;
  char head[12] = {};
  {
    FileHandle file = OpenFile(path, "rb");
    if (!file) {
      if (error) *error = "cannot open the file";
      return nullptr;
    }
    if (std::fread(head, 1, sizeof head, file.get()) < 4) {
      if (error) *error = "the file is empty or too short";
      return nullptr;
    }
  }
  std::unique_ptr<MovieSource> source;
  const std::string name = Lower(path);
  if (std::memcmp(head, "RIFF", 4) == 0 && std::memcmp(head + 8, "AVI ", 4) == 0)
    source = AviSource::Open(path, &why);
  else if (std::memcmp(head, "GIF8", 4) == 0)
    source = GifSource::Open(path, &why);
  else
    source = LibrarySource::Open(path, &why);
  if (source &&
      (source->width() <= 0 || source->height() <= 0 || source->timeline().count() == 0)) {
    why = "the file has no pictures";
    source.reset();
  }
  if (!source && error) *error = why;
  return source;
}

// ---- Sound ---------------------------------------------------------------------------

SoundTrack LoadSoundTrack(const std::string& path, std::string* note) {
  SoundTrack track;
  {
    // A GIF has no sound, and the library would only say so at length.
    FileHandle file = OpenFile(path, "rb");
    char head[4] = {};
    if (!file || std::fread(head, 1, 4, file.get()) != 4 || std::memcmp(head, "GIF8", 4) == 0)
      return track;
  }
  std::string error;
  auto decoder = av::AudioDecoder::OpenFile(path, &error);
  if (!decoder) return track;  // no sound in the file
  const int channels = decoder->sourceChannels() == 1 ? 1 : 2;
  int rate = std::clamp(decoder->sourceRate(), 8000, 96000);
  if (!decoder->SetOutput(rate, channels)) {
    if (note) *note = "the sound's format cannot be played";
    return track;
  }
  // 256 MB of sound at most (25 minutes of stereo at 44.1 kHz): the sound is held whole.
  const size_t limit = size_t{1} << 27;
  if (decoder->durationSeconds() > 0)
    track.samples.reserve(
        std::min(limit, static_cast<size_t>(decoder->durationSeconds() * rate * channels) + rate));
  std::vector<int16_t> buffer(static_cast<size_t>(rate / 10) * channels);
  for (;;) {
    size_t frames = decoder->Read(buffer.data(), buffer.size() / channels);
    if (frames == 0) break;
    if (track.samples.size() + frames * channels > limit) {
      if (note) *note = "the sound is too long to be played";
      return {};
    }
    track.samples.insert(track.samples.end(), buffer.begin(), buffer.begin() + frames * channels);
  }
  if (track.samples.empty()) return {};
  track.rate = rate;
  track.channels = channels;
  return track;
}

// ---- Player --------------------------------------------------------------------------

MoviePlayer::MoviePlayer(std::unique_ptr<MovieSource> source, SoundTrack sound,
                         SoundBackend* backend, Clock wallClock)
    : source_(std::move(source)),
      sound_(std::move(sound)),
      backend_(backend),
      clock_(std::move(wallClock)) {
  if (!clock_)
    clock_ = [] {
      return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
          .count();
    };
  duration_ = std::max(source_->timeline().duration(), sound_.seconds());
}

MoviePlayer::~MoviePlayer() {
  StopSound();
}

void MoviePlayer::Play() {
  if (state_ == State::kPlaying) return;
  if (state_ == State::kEnded) base_ = 0;
  state_ = State::kPlaying;
  wallStart_ = clock_();
  StartSound();
}

void MoviePlayer::Pause() {
  if (state_ != State::kPlaying) return;
  base_ = Position();
  StopSound();
  if (state_ == State::kPlaying) state_ = State::kPaused;
}

void MoviePlayer::TogglePlay() {
  if (state() == State::kPlaying)
    Pause();
  else
    Play();
}

void MoviePlayer::Seek(double seconds) {
  const bool playing = state() == State::kPlaying;
  StopSound();
  base_ = std::clamp(seconds, 0.0, duration_);
  if (playing) {
    wallStart_ = clock_();
    StartSound();
  } else if (state_ == State::kEnded) {
    state_ = State::kPaused;
  }
}

MoviePlayer::State MoviePlayer::state() {
  if (state_ == State::kPlaying) Position();
  return state_;
}

double MoviePlayer::Position() {
  if (state_ != State::kPlaying) return base_;
  const double now = clock_();
  double position = base_ + (now - wallStart_);
  if (stream_ && !soundLost_) {
    if (soundDone_) {
      // The sound has been played out: the pictures go on by the wall clock.
      if (soundDoneWall_ == 0) soundDoneWall_ = now;
      position = sound_.seconds() + (now - soundDoneWall_);
    } else {
      // Never ahead of the wall clock: a device that takes sound faster than it plays it
      // (one that writes a file) does not hurry the pictures.
      position = std::min(position, SoundPosition());
    }
  }
  if (position >= duration_) {
    StopSound();
    base_ = duration_;
    state_ = State::kEnded;
    return duration_;
  }
  return std::max(position, 0.0);
}

double MoviePlayer::SoundPosition() const {
  const double latency = latencySeconds_.load();
  return static_cast<double>(startFrame_ + written_.load()) / sound_.rate - latency;
}

void MoviePlayer::StartSound() {
  if (!backend_ || !hasSound() || soundFailed_) return;
  startFrame_ = static_cast<int64_t>(base_ * sound_.rate);
  if (startFrame_ >= sound_.frames()) return;
  WAVEFORMATEX format{};
  format.wFormatTag = WAVE_FORMAT_PCM;
  format.nChannels = static_cast<uint16_t>(sound_.channels);
  format.nSamplesPerSec = static_cast<uint32_t>(sound_.rate);
  format.wBitsPerSample = 16;
  format.nBlockAlign = static_cast<uint16_t>(2 * sound_.channels);
  format.nAvgBytesPerSec = format.nSamplesPerSec * format.nBlockAlign;
  std::string error;
  stream_ = backend_->OpenPlayback(format, &error);
  if (!stream_) {
    // Silently from now on; the reason is shown once.
    soundFailed_ = true;
    soundNote_ = error.empty() ? "no sound device" : error;
    return;
  }
  // Times are taken from here, where the sound starts.
  base_ = static_cast<double>(startFrame_) / sound_.rate;
  written_ = 0;
  latencySeconds_ = 0;
  soundDone_ = false;
  soundLost_ = false;
  soundDoneWall_ = 0;
  stop_ = false;
  worker_ = std::thread([this] { SoundLoop(); });
}

void MoviePlayer::StopSound() {
  if (!stream_) return;
  stop_ = true;
  if (worker_.joinable()) worker_.join();
  stream_->Discard();
  stream_.reset();
}

void MoviePlayer::SoundLoop() {
  // Pieces of 20 ms keep a pause waiting no longer than that.
  const int64_t piece = std::max(1, sound_.rate / 50);
  int64_t frame = startFrame_;
  while (!stop_ && frame < sound_.frames()) {
    const int64_t count = std::min(piece, sound_.frames() - frame);
    if (!stream_->Write(sound_.samples.data() + frame * sound_.channels,
                        static_cast<size_t>(count) * sound_.channels * 2)) {
      soundLost_ = true;
      return;
    }
    frame += count;
    latencySeconds_ = std::max(0.0, stream_->LatencySeconds());
    written_ = frame - startFrame_;
  }
  // What the device still holds plays out: the clock follows it down to the end.
  for (int i = 0; i < 500 && !stop_ && latencySeconds_ > 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    latencySeconds_ = std::max(0.0, stream_->LatencySeconds());
  }
  if (!stop_) {
    stream_->Drain();
    written_ = sound_.frames() - startFrame_;
    latencySeconds_ = 0;
    soundDone_ = true;
  }
}

}  // namespace quendrolix
