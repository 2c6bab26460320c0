#pragma once

#include <string>

namespace quendrolix::av {

// The text FFmpeg's libraries give for one of their error codes ("Invalid data found when
// processing input"); "error N" when they have none.
std::string ErrorText(int code);

}  // namespace quendrolix::av
