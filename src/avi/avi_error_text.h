#pragma once

#include <cstdint>
#include <string>

namespace quendrolix {

// The string id that explains an AVI builder error code in the message
// "Codec error (%d): %s": 61206 for 1 (no images), 61207 for 2 (library too old), the
// ids of the AVIERR results, and 61227 "Generic AVI error" for anything else, 0
// included.
int AviErrorText(int32_t code);

// The text of one of the AVI error strings (61206 to 61227); empty for other ids.
std::string AviErrorString(int stringId);

// "Codec error (%d): %s" filled with the code and its text.
std::string CodecErrorMessage(int32_t code);

}  // namespace quendrolix
