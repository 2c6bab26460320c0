#include "support/avi_fixtures.h"

#include <cstdlib>

#include "image/cbmp.h"
#include "support/image_fixtures.h"
#include "support/test_support.h"

namespace quendrolix::testing {

std::string WriteBmp(const std::string& path, const HBITMAP& bitmap) {
  CBmp picture;
  picture.Attach(bitmap->Copy());
  if (!picture.Save(path)) std::abort();  // a test that cannot write its input is broken
  return path;
}

std::string WritePatternBmp(const std::string& path, int width, int height, int seed) {
  return WriteBmp(path, PatternBitmap(width, height, seed));
}

std::string WriteSquareBmp(const std::string& path, int width, int height, COLORREF background,
                           COLORREF square, int x, int y, int side) {
  HBITMAP bitmap = Bitmap::Create(width, height);
  bitmap->Fill(BgrxFromColour(background));
  for (int j = y; j < y + side && j < height; ++j)
    for (int i = x; i < x + side && i < width; ++i) bitmap->SetPixel(i, j, BgrxFromColour(square));
  return WriteBmp(path, bitmap);
}

std::vector<uint8_t> ExpectedFrameRgb(const std::string& imagePath, const FrameComposer& composer,
                                      int depth) {
  CBmp picture;
  if (!picture.Load(imagePath)) return {};
  composer.Stamp(picture);
  std::vector<uint8_t> rgb = RgbOf(picture);
  if (depth == 16) {
    for (uint8_t& c : rgb) c &= 0xF8;
  } else if (depth == 8) {
    const Palette& palette = *FramePalette();
    for (size_t i = 0; i + 2 < rgb.size(); i += 3) {
      COLORREF c = palette.Colour(palette.NearestIndex(rgb[i], rgb[i + 1], rgb[i + 2]));
      rgb[i] = GetRValue(c);
      rgb[i + 1] = GetGValue(c);
      rgb[i + 2] = GetBValue(c);
    }
  }
  return rgb;
}

std::vector<uint8_t> Rgb555Of(const std::vector<uint8_t>& rgb) {
  std::vector<uint8_t> out;
  for (size_t i = 0; i + 2 < rgb.size(); i += 3) {
    uint16_t v =
        static_cast<uint16_t>(((rgb[i] >> 3) << 10) | ((rgb[i + 1] >> 3) << 5) | (rgb[i + 2] >> 3));
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
  }
  return out;
}

std::vector<uint8_t> FfmpegFrames(const std::string& path, const std::string& pixFmt) {
  TempDir dir;
  std::string raw = dir.File("frames.raw");
  CommandResult r = RunCommand("ffmpeg -nostdin -v error -i " + ShellQuote(path) +
                               " -map 0:v:0 -vsync passthrough -f rawvideo -pix_fmt " + pixFmt +
                               " " + ShellQuote(raw));
  if (r.status != 0) return {};
  return ReadBytes(raw);
}

std::vector<uint8_t> FfmpegAudioS16(const std::string& path) {
  TempDir dir;
  std::string raw = dir.File("audio.raw");
  CommandResult r = RunCommand("ffmpeg -nostdin -v error -i " + ShellQuote(path) +
                               " -map 0:a:0 -f s16le -acodec pcm_s16le " + ShellQuote(raw));
  if (r.status != 0) return {};
  return ReadBytes(raw);
}

std::string FfprobeStreams(const std::string& path, const std::string& entry,
                           const std::string& select, bool countFrames) {
  std::string line = "ffprobe -v error ";
  if (countFrames) line += "-count_frames ";
  if (!select.empty()) line += "-select_streams " + select + " ";
  line += "-show_entries stream=" + entry + " -of csv=p=0 " + ShellQuote(path);
  return RunCommand(line).output;
}

double FfprobeDuration(const std::string& path) {
  CommandResult r =
      RunCommand("ffprobe -v error -show_entries format=duration -of csv=p=0 " + ShellQuote(path));
  if (r.status != 0 || r.output.empty()) return -1;
  return std::atof(r.output.c_str());
}

std::string FfmpegDecodeErrors(const std::string& path) {
  CommandResult r = RunCommand("ffmpeg -nostdin -v error -i " + ShellQuote(path) + " -f null - ");
  return r.status == 0 ? r.errors : "exit " + std::to_string(r.status) + ": " + r.errors;
}

}  // namespace quendrolix::testing
