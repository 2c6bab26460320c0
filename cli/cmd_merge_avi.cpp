// merge-avi: every stream of an AVI animation and of a WAV or AVI sound in one new AVI, as
// "Merge AVI Animation with AVI or WAV Sound..." makes it.
#include "avi/avi_builder.h"
#include "cli_command.h"
#include "headless_build.h"
#include "tools/merge_avi.h"

namespace quendrolix::cli {
namespace {

int RunMergeAvi(const std::vector<std::string>& args) {
  if (args.size() != 3) return UsageError("merge-avi", "needs ANIMATION, SOUND and OUTPUT");
  for (const auto& arg : args)
    if (arg.empty()) return UsageError("merge-avi", "file names must not be empty");
  ConsolePlayback playback;
  bool incomplete = false;
  if (!MergeAviCommand(args[0], args[1], args[2], &playback, nullptr, &incomplete))
    return kExitFailure;
  return incomplete ? kExitIncomplete : kExitOk;
}

const CliRegistration kRegistration({
    "merge-avi",
    "merge an AVI animation with a WAV or AVI sound",
    "Usage: quendrolix-cli merge-avi ANIMATION SOUND OUTPUT\n"
    "\n"
    "Writes every stream of the AVI file ANIMATION followed by every stream of SOUND (a WAV\n"
    "file or an AVI with sound), at most 20 in all, into the AVI file OUTPUT (\".avi\" is\n"
    "appended to a name without one). Video is copied as stored, sound as it is. The path\n"
    "of the new file is printed. Exits with 1 when nothing was written, 3 when a damaged\n"
    "sound was merged as far as it decodes.",
    RunMergeAvi,
});

}  // namespace
}  // namespace quendrolix::cli
