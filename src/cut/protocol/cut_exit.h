// How vintrel-cut ends, as its exit code: the window decides what to tell the user from it.
#pragma once

namespace vintrel::cut {

enum class CutExit : int {
  kDone = 0,
  kFailed = 1,
  kBadArguments = 2,
  kCancelled = 3,
  // The output name no longer held what the cut may write over when the file was to be moved
  // there (a file appeared, or the one to replace was changed); nothing was written, and the
  // user may be asked again.
  kOutputTaken = 4,
};

}  // namespace vintrel::cut
