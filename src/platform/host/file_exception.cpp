#include "platform/host/file_exception.h"

#include "platform/host/conversion_log.h"

namespace quendrolix {

void AbortConversion(const std::string& line) {
  ReportLine("%s", line.c_str());
  throw CFileException(line);
}

}  // namespace quendrolix
