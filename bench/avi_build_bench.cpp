// Builds a project of 250 different 640 x 480 BMP images (one frame each, 24 bits) into an
// AVI the way Create does: each image loaded, composed and written through the AVI layer,
// once as full frames and once with MS Video 1 (the program's default options). The
// images stay in the folder given, as img0000.bmp ..., for bench/avi_build.sh to feed
// ffmpeg. Prints frames per second (best of three runs each).
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>

#include "avi/codec_options.h"
#include "image/cbmp.h"
#include "platform/host/program_folder.h"
#include "platform/host/user_prompts.h"
#include "platform/vfw/codec.h"
#include "project/framewright_doc.h"
#include "tools/create.h"

using namespace quendrolix;

namespace {

constexpr int kWidth = 640, kHeight = 480, kFrames = 250;

// A gradient background with a ball and a bar moving across it.
HBITMAP MakePicture(int t) {
  HBITMAP bitmap = Bitmap::CreateForOverwrite(kWidth, kHeight);
  const double bx = 320 + 250 * std::sin(t * 0.05), by = 240 + 180 * std::cos(t * 0.07);
  for (int y = 0; y < kHeight; ++y) {
    Bgrx* row = bitmap->Row(y);
    for (int x = 0; x < kWidth; ++x) {
      uint8_t b = static_cast<uint8_t>(x * 255 / kWidth),
              g = static_cast<uint8_t>(y * 255 / kHeight), r = static_cast<uint8_t>((x + y) / 5);
      const double dx = x - bx, dy = y - by;
      if (dx * dx + dy * dy < 60 * 60) r = 240, g = 60, b = 30;
      if (((x + 4 * t) % 160) < 12) r = g = b = 250;
      row[x] = BgrxFromColour(RGB(r, g, b));
    }
  }
  return bitmap;
}

double BuildSeconds(CFramewrightDoc& doc, const std::string& output) {
  const auto start = std::chrono::steady_clock::now();
  if (!CreateFromProject(doc, output).ok()) return -1;
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double BestFps(CFramewrightDoc& doc, const std::string& output, FOURCC handler) {
  ResetCodecOptions();
  CodecOptions().fccHandler = handler;
  double best = 1e30;
  for (int run = 0; run < 3; ++run) {
    double s = BuildSeconds(doc, output);
    if (s < 0) return -1;
    best = std::min(best, s);
  }
  return kFrames / best;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string folder = argc > 1 ? argv[1] : ".";
  ProgramFolder::SetOverride(folder + "/home");
  FrameList list;
  SettingsStore store;
  CFramewrightDoc doc(list, store);
  doc.framesPerSecond = 25;
  doc.bitsPerPixel = 24;
  doc.logo.bUseLogo = 0;
  for (int t = 0; t < kFrames; ++t) {
    char name[32];
    std::snprintf(name, sizeof name, "img%04d.bmp", t);
    CBmp picture;
    picture.Attach(MakePicture(t));
    const std::string path = folder + "/" + name;
    if (!picture.Save(path)) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      return 1;
    }
    doc.SetImagePath(name, path);
    doc.AddImage(name, -1, 1);
  }
  const double dib = BestFps(doc, folder + "/ours_dib.avi", kHandlerFullFrames);
  const double video1 = BestFps(doc, folder + "/ours_msvc.avi", kHandlerVideo1);
  if (dib < 0 || video1 < 0) {
    std::fprintf(stderr, "the build failed\n");
    return 1;
  }
  std::printf("ours_dib_fps %.1f\n", dib);
  std::printf("ours_msvc_fps %.1f\n", video1);
  return 0;
}
