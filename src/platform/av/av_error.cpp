#include "platform/av/av_error.h"

#include <mutex>
#include <thread>

#include "platform/av/av_internal.h"

namespace quendrolix::av {

std::string ErrorText(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  if (av_strerror(code, text, sizeof text) < 0 || text[0] == '\0')
    return "error " + std::to_string(code);
  return text;
}

bool Fail(std::string* error, const std::string& what, int code) {
  if (error) *error = what + ": " + ErrorText(code);
  return false;
}

bool Fail(std::string* error, const std::string& text) {
  if (error) *error = text;
  return false;
}

void QuietLibraryLog() {
  static std::once_flag once;
  std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
}

int DecoderThreads() {
  const unsigned cores = std::thread::hardware_concurrency();
  return static_cast<int>(cores == 0 ? 1 : cores > 8 ? 8 : cores);
}

}  // namespace quendrolix::av
