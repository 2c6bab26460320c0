#pragma once

// Quick create: every file of a folder into an AVI or MPG.

#include <string>
#include <vector>

#include "tools/build_environment.h"

namespace quendrolix {

// Quick create: ".mpg" or ".mpeg" anywhere gives MPG; anything else is AVI.
OutputKind QuickCreateOutputKind(const std::string& name);

// Quick create: every entry of the folder that is not a folder, by name in ascending byte
// order, each with the default frame count.
struct QuickCreateRequest {
  std::string folder;
  std::string soundFile;  // optional
  std::string output;
};
// The folder's files sorted by name (bytes); empty when it cannot be read.
std::vector<std::string> QuickCreateListing(const std::string& folder);
// No files: "No images found". An AVI carries the request's sound. An MPG carries the
// request's sound, made through an intermediate of the output's name plus "g"; without a
// sound in the request it carries the project's sound, as the MPG road does. A successful
// build is played.
BuildResult QuickCreate(CFramewrightDoc& doc, const QuickCreateRequest& request,
                        const BuildEnvironment& env = {});

}  // namespace quendrolix
