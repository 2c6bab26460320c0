#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "mpeg/system/multiplexer.h"
#include "mpeg/video/frame_source.h"
#include "platform/gdi/dib.h"

namespace quendrolix {

// What the AVI to MPG conversion reads of an AVI file.
struct AviFileSummary {
  uint32_t width = 0, height = 0;
  uint32_t rate = 0, scale = 0;  // frames per second = rate / scale
  uint32_t length = 0;           // frames
};

struct AviSoundFormat {
  uint16_t formatTag = 0;  // 1 = PCM
  uint16_t channels = 0;
  uint32_t samplesPerSec = 0;
  uint16_t bitsPerSample = 0;
};

// An AVI file opened for the conversion. FetchFrame (from MpegFrameSource) is the frame
// getter of the first video stream: it is valid between OpenVideo and CloseVideo.
class AviConversionInput : public MpegFrameSource {
 public:
  // The file information (width, height, rate, scale, length).
  virtual bool FileInfo(AviFileSummary& info) = 0;
  // Takes the first video stream and opens a frame getter with the default format.
  virtual bool OpenVideo() = 0;
  virtual void CloseVideo() = 0;
  // The first audio stream's format; false when there is none or it cannot be read.
  virtual bool SoundFormat(AviSoundFormat& format) = 0;
};

struct Mp2Request {
  std::string sourcePath;  // the AVI (or sound file) the audio comes from
  std::string mp2Path;     // where the MP2 stream goes
  int layer = 2;
  int bitRateKbps = 128;
};

// The services of other parts of the program that the MPG conversions call. A member
// left empty means the real service: the AVI file services for the input, the layer II
// encoder for the sound and the multiplexer for the system stream (see
// DefaultMpegEngineServices). Tests stand in for any of them by setting it.
struct MpegEngineServices {
  // Opens an AVI file for reading; null when it cannot be opened.
  std::function<std::unique_ptr<AviConversionInput>(const std::string& path)> openAvi;
  // Loads an image file as a packed DIB block (the image loader); null on failure.
  std::function<HDIB(const std::string& path)> loadImage;
  // Encodes the first audio stream of the open AVI into an MP2 file. Returns false when
  // it failed; `silentSamples` receives the count of samples set to 0 length.
  std::function<bool(AviConversionInput& avi, const Mp2Request& request, int& silentSamples)>
      encodeAviAudio;
  // Converts a sound file (WAV, AVI) into an MP2 file.
  std::function<bool(const std::string& soundPath, const std::string& mp2Path)> convertSoundToMp2;
  // Multiplexes a video elementary stream and an MP2 file into a system stream. Raises
  // CFileException when it has to give up.
  std::function<MultiplexCounters(const std::string& videoPath, const std::string& audioPath,
                                  const std::string& outputPath)>
      multiplex;
};

// The real services: the AVI file services, the image loader, the layer II encoder and
// the multiplexer.
MpegEngineServices DefaultMpegEngineServices();

// The AVI input over the AVI file services: AVIFileInfo, the first video stream with a
// frame getter in its natural format, the first audio stream's format. Null when the
// file cannot be opened.
std::unique_ptr<AviConversionInput> OpenAviConversionInput(const std::string& path);

// Encodes the sound of the AVI at `request.sourcePath` with the layer II encoder at the
// request's layer and bit rate into `request.mp2Path`. The sound is checked as the WAV to
// MP2 road checks it (its "Error: " line, then false); `silentSamples` receives the
// sample frames the stream failed to deliver. Encoder aborts raise CFileException.
bool EncodeAviSoundToMp2(const Mp2Request& request, int& silentSamples);

// The services in force: the ones set, each empty member filled with the real one.
const MpegEngineServices& GetMpegEngineServices();
// Sets the services; empty members (or a default-constructed record) mean the real ones.
void SetMpegEngineServices(MpegEngineServices services);

// Installs services for the lifetime of the object and restores the previous ones.
class ScopedMpegEngineServices {
 public:
  explicit ScopedMpegEngineServices(MpegEngineServices services);
  ~ScopedMpegEngineServices();
  ScopedMpegEngineServices(const ScopedMpegEngineServices&) = delete;
  ScopedMpegEngineServices& operator=(const ScopedMpegEngineServices&) = delete;

 private:
  MpegEngineServices previous_;
};

}  // namespace quendrolix
