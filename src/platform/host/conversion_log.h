#pragma once

#include <string>
#include <vector>

namespace quendrolix {

// What a long conversion tells the user: text lines, the frame being coded and a
// percentage. The GUI shows them in the "Progress" window, the CLI prints them, tests
// record them. Engines reach the front's log through CurrentConversionLog().
class ConversionLog {
 public:
  virtual ~ConversionLog() = default;
  virtual void ReportLine(const std::string& text) = 0;
  virtual void ReportFrame(unsigned frame) = 0;
  virtual void ReportPercent(int percent) = 0;
  // Shows the text, then "Error recovery failed: please restart the program". The engine
  // that called it abandons its conversion afterwards.
  virtual void ReportFatal(const std::string& text) = 0;
};

// Says nothing; the log in force when no front has installed one.
class NullConversionLog : public ConversionLog {
 public:
  void ReportLine(const std::string&) override {}
  void ReportFrame(unsigned) override {}
  void ReportPercent(int) override {}
  void ReportFatal(const std::string&) override {}
};

// Keeps everything it is told; used by tests and by fronts that replay a log.
class RecordingConversionLog : public ConversionLog {
 public:
  void ReportLine(const std::string& text) override { lines.push_back(text); }
  void ReportFrame(unsigned frame) override { frames.push_back(frame); }
  void ReportPercent(int percent) override { percents.push_back(percent); }
  void ReportFatal(const std::string& text) override { fatals.push_back(text); }
  bool HasLine(const std::string& text) const;
  std::string Joined() const;  // every line, each followed by '\n'

  std::vector<std::string> lines;
  std::vector<unsigned> frames;
  std::vector<int> percents;
  std::vector<std::string> fatals;
};

// The process-wide log that engines write to (never null).
ConversionLog& CurrentConversionLog();
void SetConversionLog(ConversionLog* log);  // null restores the silent log

// Installs a log for the lifetime of the object and restores the previous one.
class ScopedConversionLog {
 public:
  explicit ScopedConversionLog(ConversionLog& log);
  ~ScopedConversionLog();
  ScopedConversionLog(const ScopedConversionLog&) = delete;
  ScopedConversionLog& operator=(const ScopedConversionLog&) = delete;

 private:
  ConversionLog* previous_;
};

// The engines' reporting functions, printf-style like the originals.
void ReportLine(const char* format, ...) __attribute__((format(printf, 1, 2)));
void ReportFrame(unsigned frame);
void ReportPercent(int percent);
void ReportFatal(const std::string& text);

// printf into a std::string.
std::string StringPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace quendrolix
