#pragma once

#include <cstdint>
#include <string_view>

namespace quendrolix {

// The leading decimal integer of a text, read as the C library's atoi reads it: leading
// white space, an optional sign, then digits; whatever follows is ignored and a text
// without digits gives 0. Unlike atoi it saturates at the 32-bit range instead of
// overflowing.
int32_t LeadingInteger(std::string_view text);

}  // namespace quendrolix
