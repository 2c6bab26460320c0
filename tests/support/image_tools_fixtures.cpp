#include "support/image_tools_fixtures.h"

#include <tiffio.h>

#include <filesystem>

#include "avi/avi_builder.h"
#include "support/image_fixtures.h"
#include "support/sound_fixtures.h"
#include "support/vfw_fixtures.h"
#include "avi/merge_streams.h"

namespace quendrolix::testing {

std::vector<std::vector<uint8_t>> WriteFramesAvi(const std::string& path, int frames, int width,
                                                 int height, int seed, int bits) {
  std::vector<HDIB> dibs;
  std::vector<std::vector<uint8_t>> pixels;
  for (int t = 0; t < frames; ++t) {
    dibs.push_back(MakeTestFrame(width, height, bits, t + seed));
    pixels.push_back(DibToBgrTopDown(*dibs.back()));
  }
  if (WriteTestAvi(path, dibs, OptionsFor(0)) != AVIERR_OK) return {};
  return pixels;
}

std::vector<uint8_t> WriteFramesAviWithSound(const std::string& path, int frames, int width,
                                             int height) {
  const std::string video = path + ".video.avi", wav = path + ".sound.wav";
  WriteFramesAvi(video, frames, width, height);
  // A tenth of a second of sound per frame at the test AVI's 10 frames per second.
  std::vector<uint8_t> samples = WritePcmWav(wav, 8000, 1, 16, 800u * frames);
  const bool ok = MergeStreams(video, wav, path);
  std::filesystem::remove(video);
  std::filesystem::remove(wav);
  return ok ? samples : std::vector<uint8_t>();
}

std::vector<std::vector<uint8_t>> WriteMultiPageTiff(const std::string& path, int pages, int width,
                                                     int height) {
  std::vector<std::vector<uint8_t>> out;
  TIFF* tiff = TIFFOpen(path.c_str(), "w");
  if (!tiff) return out;
  for (int p = 0; p < pages; ++p) {
    std::vector<uint8_t> rgb = RgbOf(*PatternBitmap(width, height, p));
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, height);
    TIFFSetField(tiff, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
    TIFFSetField(tiff, TIFFTAG_PAGENUMBER, p, pages);
    for (int y = 0; y < height; ++y)
      TIFFWriteScanline(tiff, rgb.data() + static_cast<size_t>(y) * width * 3, y, 0);
    TIFFWriteDirectory(tiff);
    out.push_back(std::move(rgb));
  }
  TIFFClose(tiff);
  return out;
}

}  // namespace quendrolix::testing
