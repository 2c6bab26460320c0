#pragma once

// Taking animations apart: every video frame of an AVI, every page of a multi-page TIFF,
// written as numbered bitmap files; the first sound of an AVI as a WAV file; and the
// written names put into the project.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "avi/frame_composition.h"
#include "platform/gdi/dib.h"
#include "project/framewright_doc.h"

namespace quendrolix {

// What to do with written images: a new untitled project holding them, appended to the
// current project, or nothing.
enum class ImageDisposition { kNewProject = 0, kAppend = 1, kJustWrite = 2 };

// Puts `names` into the project as the morph and the extraction do: kNewProject resets the
// project first (as New does); both add each name at the end under its file name with the
// default frame count. kJustWrite leaves the project alone.
void PutImagesIntoProject(CFramewrightDoc& doc, MainFrameState& frame,
                          const std::vector<std::string>& names, ImageDisposition disposition);

// How extracted AVI frames are named. By default: "Img%04d.bmp" when the file has one
// stream in all, otherwise "Img%02d_%04d.bmp" with the video stream's position plus 2.
// `digits` widens the running number (never below 4) for callers that need the names to
// sort in frame order past 9,999; `alwaysPlain` drops the stream part, so frames of files
// with and without sound sort together.
struct AviFrameNaming {
  int digits = 4;
  bool alwaysPlain = false;
};

// Told after each frame or page: the running number and the file name.
using FrameProgress = std::function<void(int number, const std::string& name)>;

// The bitmap file for a packed DIB as the frame getter delivers it: file header, then the
// 40-byte header (its image size set), the colour table and the pixels. Empty when the
// header is not 40 bytes long or the block is shorter than its header promises.
std::vector<uint8_t> AviFrameBitmapFile(const DibBlock& frame);

// The file name of an AVI frame (no folder).
std::string AviFrameName(bool oneStreamInAll, int videoStreamIndex, int number,
                         const AviFrameNaming& naming = {});

// Every frame of every video stream into `folder` (the program folder's "Samples" when
// none), numbered from `start` and on across streams. A frame that cannot be written is
// skipped but still counted. Written names (full paths) are appended to `names` when
// given. Returns the number of frames handled; 0 when the file cannot be opened.
int ExtractAviFrames(const std::string& aviPath, const std::optional<std::string>& folder,
                     int start, std::vector<std::string>* names, const AviFrameNaming& naming = {},
                     const FrameProgress& progress = {});

// The total number of frames of the file's video streams; 0 when it cannot be opened.
int64_t CountAviFrames(const std::string& aviPath);

// Every page of a TIFF as "ImgNNNN.bmp" into `folder`, numbered from `start`, each
// stamped with the logo by `composer`. A page that cannot be read or saved shows "Could
// not save " + its name and ends with 0. Returns the number of pages written.
int ExtractTiffPages(const std::string& tiffPath, const std::string& folder, int start,
                     std::vector<std::string>* names, const FrameComposer& composer = {},
                     int digits = 4, const FrameProgress& progress = {});

// Dispatches on the source's extension ("avi"; "tif", "tiff", "cri"; anything else shows
// "Unsupported format" and gives 0), then puts the written images into the project by
// `disposition`. Returns the number of images handled.
int ExtractImages(const std::string& sourcePath, const std::string& folder, int start,
                  ImageDisposition disposition, CFramewrightDoc& doc, MainFrameState& frame,
                  const FrameComposer& composer = {}, const FrameProgress& progress = {});

// `folder` with a '/' at its end.
std::string WithTrailingSlash(std::string folder);

}  // namespace quendrolix
