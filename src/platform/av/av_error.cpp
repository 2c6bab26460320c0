#include "platform/av/av_error.h"

#include <cstdint>
#include <mutex>
#include <new>
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

const AVCodec* DecoderFor(AVCodecID id, const char* noun, std::string* error) {
  const AVCodec* codec = id == AV_CODEC_ID_NONE ? nullptr : avcodec_find_decoder(id);
  if (!codec) Fail(error, std::string("no decoder for this ") + noun);
  return codec;
}

int OpenBestStream(const std::string& path, AVMediaType type, const char* noun, InputFormat& input,
                   const AVCodec*& codec, std::string* error) {
  QuietLibraryLog();
  AVFormatContext* raw = nullptr;
  int rc = avformat_open_input(&raw, path.c_str(), nullptr, nullptr);
  if (rc < 0) return Fail(error, path + " cannot be opened", rc), -1;
  input.reset(raw);
  rc = avformat_find_stream_info(raw, nullptr);
  if (rc < 0) return Fail(error, path + " cannot be read", rc), -1;
  codec = nullptr;
  rc = av_find_best_stream(raw, type, -1, -1, &codec, 0);
  if (rc < 0 || !codec) {
    return Fail(error, path + " has no " + noun + " that can be decoded"), -1;
  }
  return rc;
}

uint8_t* SlackBuffer::Reserve(size_t bytes) {
  if (bytes > SIZE_MAX - kScalerSlack) return nullptr;
  try {
    if (bytes_.size() < bytes + kScalerSlack) bytes_.resize(bytes + kScalerSlack);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  return bytes_.data();
}

}  // namespace quendrolix::av
