#include "platform/host/conversion_log.h"

#include <cstdarg>
#include <cstdio>

namespace quendrolix {
namespace {

NullConversionLog& SilentLog() {
  static NullConversionLog log;
  return log;
}

ConversionLog*& InstalledLog() {
  static ConversionLog* log = nullptr;
  return log;
}

std::string VStringPrintf(const char* format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  char small[256];
  int n = std::vsnprintf(small, sizeof small, format, copy);
  va_end(copy);
  if (n < 0) return {};
  if (static_cast<size_t>(n) < sizeof small) return std::string(small, n);
  std::string text(static_cast<size_t>(n), '\0');
  std::vsnprintf(text.data(), text.size() + 1, format, args);
  return text;
}

}  // namespace

bool RecordingConversionLog::HasLine(const std::string& text) const {
  for (const auto& line : lines)
    if (line == text) return true;
  return false;
}

std::string RecordingConversionLog::Joined() const {
  std::string all;
  for (const auto& line : lines) all += line + "\n";
  return all;
}

ConversionLog& CurrentConversionLog() {
  ConversionLog* log = InstalledLog();
  return log ? *log : SilentLog();
}

void SetConversionLog(ConversionLog* log) {
  InstalledLog() = log;
}

ScopedConversionLog::ScopedConversionLog(ConversionLog& log) : previous_(InstalledLog()) {
  InstalledLog() = &log;
}

ScopedConversionLog::~ScopedConversionLog() {
  InstalledLog() = previous_;
}

std::string StringPrintf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = VStringPrintf(format, args);
  va_end(args);
  return text;
}

void ReportLine(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = VStringPrintf(format, args);
  va_end(args);
  CurrentConversionLog().ReportLine(text);
}

void ReportFrame(unsigned frame) {
  CurrentConversionLog().ReportFrame(frame);
}
void ReportPercent(int percent) {
  CurrentConversionLog().ReportPercent(percent);
}
void ReportFatal(const std::string& text) {
  CurrentConversionLog().ReportFatal(text);
}

}  // namespace quendrolix
