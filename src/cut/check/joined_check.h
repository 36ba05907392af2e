// The check of stretches joined in one pass, on the made file read afresh: each stretch's frames
// in its own place of the joined clock, its first frame against the source's, copied frames
// identical, clean decoding around every join, the sound's length and its place at the start
// and at every join.
#pragma once

#include <QString>
#include <QStringList>
#include <vector>

#include "cut/make/one_pass_join.h"
#include "cut/media/source.h"

namespace vintrel::cut {

// `output`: the name asked for (its type says whether sound is trimmed to the sample). Throws
// VerificationFailed.
QStringList CheckJoinedInOnePass(Source& source, const QString& output, const QString& made,
                                 const std::vector<PlannedStretch>& stretches,
                                 const JoinedInOnePass& written);

}  // namespace vintrel::cut
