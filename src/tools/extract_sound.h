#pragma once

// Taking the sound out of an AVI.

#include <string>

namespace quendrolix {

// The first audio stream of the AVI into `wavPath`, copied as it is. False (and nothing
// said) when the file has no sound or the save failed.
bool ExtractAviSound(const std::string& aviPath, const std::string& wavPath);

}  // namespace quendrolix
