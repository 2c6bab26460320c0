#pragma once

// Quick create: every picture of a folder into an AVI, MPG or MP4.

#include <optional>
#include <string>
#include <vector>

#include "tools/build_environment.h"

namespace quendrolix {

// Quick create: a name ending in ".mp4" gives MP4, ".mpg" or ".mpeg" anywhere MPG, anything
// else AVI.
OutputKind QuickCreateOutputKind(const std::string& name);

// Quick create: every picture file of the folder (regular, not hidden, with a picture
// extension), by name in ascending byte order, each with the default frame count.
struct QuickCreateRequest {
  std::string folder;
  std::string soundFile;  // optional
  std::string output;
  // The output frame and fit; the document's (doc.output) when not given.
  std::optional<OutputFormat> format;
  // Frames per picture; the document's default frame count when 0.
  int framesPerPicture = 0;
};
// The folder's picture files sorted by name (bytes); empty when it cannot be read.
std::vector<std::string> QuickCreateListing(const std::string& folder);
// No files: "No images found". An AVI carries the request's sound. An MPG carries the
// request's sound, made through an intermediate of the output's name plus "g"; without a
// sound in the request it carries the project's sound, as the MPG road does. A successful
// build is played.
BuildResult QuickCreate(CFramewrightDoc& doc, const QuickCreateRequest& request,
                        const BuildEnvironment& env = {});

}  // namespace quendrolix
