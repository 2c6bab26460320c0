// merge-mpg: joins an MPG animation (an MPEG-1 video elementary stream) with a sound into
// an MPG system stream, as the "Merge MPG with AVI / WAV / MP2" dialog does.
#include "cli_command.h"
#include "mpeg/system/mpg_merge.h"

namespace quendrolix::cli {
namespace {

int RunMergeMpg(const std::vector<std::string>& args) {
  if (args.size() != 3) return UsageError("merge-mpg", "needs ANIMATION, SOUND and OUTPUT");
  for (const auto& arg : args)
    if (arg.empty()) return UsageError("merge-mpg", "file names must not be empty");
  bool incomplete = false;
  if (!MergeMpgCommand(args[0], args[1], args[2], nullptr, &incomplete)) return kExitFailure;
  return incomplete ? kExitIncomplete : kExitOk;
}

const CliRegistration kRegistration({
    "merge-mpg",
    "merge an MPG animation with a WAV, AVI or MP2 sound",
    "Usage: quendrolix-cli merge-mpg ANIMATION SOUND OUTPUT\n"
    "\n"
    "Multiplexes ANIMATION (an MPEG-1 video stream, as written for a project without sound)\n"
    "with SOUND into the MPEG-1 system stream OUTPUT (\".mpg\" is appended to a name\n"
    "without one). An MP2 sound is used as it is; a WAV or AVI sound is first encoded to an\n"
    "MP2 file beside it, which is deleted afterwards. Exits with 1 when nothing was written,\n"
    "3 when a damaged sound was merged as far as it decodes.",
    RunMergeMpg,
});

}  // namespace
}  // namespace quendrolix::cli
