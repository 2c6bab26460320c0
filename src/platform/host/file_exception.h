#pragma once

#include <stdexcept>
#include <string>

namespace quendrolix {

// Raised by the audio encoder, the stream analysis and the multiplexer to abandon a
// conversion; whoever started the conversion catches it and words the message.
class CFileException : public std::runtime_error {
 public:
  enum Cause { kNone = 0, kGeneric = 1 };
  explicit CFileException(const std::string& what, Cause cause = kGeneric)
      : std::runtime_error(what), cause_(cause) {}
  Cause cause() const { return cause_; }

 private:
  Cause cause_;
};

// Writes `line` to the conversion log and abandons the conversion with it.
[[noreturn]] void AbortConversion(const std::string& line);

}  // namespace quendrolix
