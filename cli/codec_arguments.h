#pragma once

// The compression options that `create` and `codec` take on the command line.

#include <string>
#include <vector>

#include "avi/codec_options.h"

namespace quendrolix::cli {

// Reads the option at args[i] when it is one of --codec, --quality, --keyframes and (with
// `dataRate`) --datarate, moving `i` past its value. False when args[i] is none of them;
// `error` is set when it is one but its value is wrong.
bool TakeCodecOption(const std::vector<std::string>& args, size_t& i, bool dataRate,
                     CodecArguments& out, std::string& error);

// The compressor named by `text`; null and `error` set when there is none.
const CodecDescription* CodecNamed(const std::string& text, std::string& error);

}  // namespace quendrolix::cli
