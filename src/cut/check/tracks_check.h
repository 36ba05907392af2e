// Whether a made file holds exactly the tracks a cut was to keep of its source.
#pragma once

#include <QString>

#include "cut/media/source.h"

namespace vintrel::cut {

// What differs between the source's kept tracks (its choice applied) and `made`'s: their
// kinds, counts and sound languages, and the default sound track where one was chosen
// (`defaultSound`, "a:N" among the source's). Empty when they agree. `output` names the type,
// which decides whether subtitles can come along.
QString TracksProblem(const Source& source, const QString& made, const QString& output,
                      const QString& defaultSound);

}  // namespace vintrel::cut
