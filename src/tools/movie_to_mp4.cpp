#include "tools/movie_to_mp4.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/av/mp4_writer.h"
#include "tools/movie_player.h"

namespace quendrolix {

bool ConvertMovieToMp4(const std::string& source, const std::string& target, int framesPerSecond,
                       std::string* error) {
  std::string why;
  auto fail = [&](const std::string& text) {
    if (error) *error = text;
    return false;
  };
  if (framesPerSecond < 1 || framesPerSecond > 240) return fail("frame rate out of range");
  std::unique_ptr<MovieSource> movie = MovieSource::Open(source, &why);
  if (!movie) return fail(why);
  SoundTrack sound = LoadSoundTrack(source, &why);

  av::Mp4Settings settings;
  settings.width = movie->width();
  settings.height = movie->height();
  settings.rateNumerator = framesPerSecond;
  settings.rateDenominator = 1;
  settings.sound = sound.frames() > 0;
  if (settings.sound) {
    settings.sampleRate = sound.rate;
    settings.channels = sound.channels;
  }
  std::unique_ptr<av::Mp4Writer> writer = av::Mp4Writer::Create(target, settings, &why);
  if (!writer) return fail(why);

  const PlaybackTimeline& timeline = movie->timeline();
  HDIB dib = NewDib(movie->width(), movie->height(), 32, 0);
  if (!dib) return fail("out of memory");
  int64_t framesGiven = 0;
  PlayerPicture picture;
  for (int i = 0; i < timeline.count(); ++i) {
    // Frames up to where the next picture starts, counted from the start so that the
    // rounding never adds up.
    const double end = i + 1 < timeline.count() ? timeline.StartOf(i + 1) : timeline.duration();
    const int64_t until = std::llround(end * framesPerSecond);
    // A picture shorter than one output frame (a source of a higher rate) is passed over,
    // so that the movie keeps its length; the last one always gets its frame.
    if (until <= framesGiven && i + 1 < timeline.count()) continue;
    if (!movie->Picture(i, picture))
      return fail("picture " + std::to_string(i + 1) + " cannot be decoded");
    if (picture.width != movie->width() || picture.height != movie->height())
      return fail("the pictures change size");
    // Bottom-up rows of 0x00RRGGBB words: the screen words with their top byte cleared.
    uint32_t* rows = reinterpret_cast<uint32_t*>(DibPixels(*dib));
    for (int y = 0; y < picture.height; ++y)
      for (int x = 0; x < picture.width; ++x)
        rows[static_cast<size_t>(picture.height - 1 - y) * picture.width + x] =
            picture.At(x, y) & 0xFFFFFFu;
    const int64_t frames = std::max<int64_t>(1, until - framesGiven);
    if (!writer->AddPicture(*dib, frames)) return fail(writer->error());
    framesGiven += frames;
  }
  if (settings.sound &&
      !writer->AddSound(sound.samples.data(), static_cast<size_t>(sound.frames())))
    return fail(writer->error());
  if (!writer->Finish()) return fail(writer->error());
  return true;
}

}  // namespace quendrolix
