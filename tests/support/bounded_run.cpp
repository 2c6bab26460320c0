#include "support/bounded_run.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

namespace quendrolix::testing {
namespace {

int64_t PeakRssKb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

int64_t AddressSpaceKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmSize:", 0) == 0) return std::stoll(line.substr(7));
  return -1;
}

}  // namespace

BoundedResult RunBounded(const std::function<bool()>& work, int cpuSeconds, int64_t spaceLimitMb) {
  BoundedResult result;
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return result;
  std::fflush(nullptr);
  const pid_t child = fork();
  if (child < 0) return result;
  if (child == 0) {
    close(pipeFds[0]);
    rlimit cpu{static_cast<rlim_t>(cpuSeconds), static_cast<rlim_t>(cpuSeconds) + 1};
    setrlimit(RLIMIT_CPU, &cpu);
    const int64_t space = AddressSpaceKb();
    if (space > 0) {
      const rlim_t bytes = static_cast<rlim_t>(space + spaceLimitMb * 1024) * 1024;
      rlimit as{bytes, bytes};
      setrlimit(RLIMIT_AS, &as);
    }
    const int64_t before = PeakRssKb();
    const bool value = work();
    const int64_t growth = PeakRssKb() - before;
    char line[64];
    const int n = std::snprintf(line, sizeof line, "%d %lld\n", value ? 1 : 0,
                                static_cast<long long>(growth));
    if (write(pipeFds[1], line, static_cast<size_t>(n)) != n) _exit(3);
    _exit(0);
  }
  close(pipeFds[1]);
  char buffer[64] = {};
  ssize_t got = 0, n;
  while ((n = read(pipeFds[0], buffer + got, sizeof buffer - 1 - static_cast<size_t>(got))) > 0)
    got += n;
  close(pipeFds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  int value = 0;
  long long growth = 0;
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0 &&
      std::sscanf(buffer, "%d %lld", &value, &growth) == 2) {
    result.finished = true;
    result.value = value != 0;
    result.peakGrowthKb = growth;
  }
  return result;
}

}  // namespace quendrolix::testing
