// The encoder program's end as the user reads it: a plain reason first, the program's own last
// words after it, and never the name of the hidden work file it was writing.
#include "cut/make/re_encode.h"

#include <gtest/gtest.h>

#include "cut/cut_error.h"

using namespace vintrel::cut;

namespace {

TEST(RunEncoder, FailuresInWords) {
  const QString workFile = "file:/videos/.vintrel-4242-1y0tufn-cut.mp4";
  const struct {
    const char* script;  // run by sh with the work file as $0, as the encoder gets it last
    const char* message;
  } rows[] = {
      {"echo \"$0: Invalid argument\" >&2; exit 1", "The encoder failed: the new file: Invalid argument"},
      // It exits 0 when only the closing of its file failed; the file is unusable all the same.
      {"echo \"Error writing trailer of $0: No space left on device\" >&2",
       "There is no space left on the disk. (Error writing trailer of the new file: No space left on "
       "device)"},
      {"echo \"${0#file:}: Permission denied\" >&2; exit 1",
       "The folder /videos cannot be written. (the new file: Permission denied)"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.script);
    try {
      RunEncoder("/bin/sh", {"-c", row.script, workFile}, 1, {});
      ADD_FAILURE() << "no failure reported";
    } catch (const CutError& error) {
      EXPECT_EQ(error.message().toStdString(), row.message);
    }
  }
}

}  // namespace
