#include "cut/check/tracks_check.h"

#include <QStringList>
#include <utility>

#include "cut/make/output_file.h"
#include "cut/media/containers.h"
#include "cut/media/tracks.h"

namespace vintrel::cut {

namespace {

// The tracks' kinds, the sound tracks' with their language where `languages` say.
QStringList Kinds(const std::vector<Track>& tracks, bool withSubtitles, bool languages) {
  QStringList kinds;
  for (const Track& track : tracks) {
    if (track.kind == "subtitles" && !withSubtitles) continue;
    const bool named = languages && track.kind == "sound" && !track.language.isEmpty();
    kinds << (named ? "sound " + track.language : track.kind);
  }
  return kinds;
}

// The default one's place among the sound tracks, -1 for none.
int DefaultSound(const std::vector<Track>& tracks) {
  int place = 0;
  for (const Track& track : tracks) {
    if (track.kind != "sound") continue;
    if (track.isDefault) return place;
    ++place;
  }
  return -1;
}

}  // namespace

QString TracksProblem(const Source& source, const QString& made, const QString& output,
                      const QString& defaultSound) {
  const ContainerFacts* facts = ContainerFor(output);
  std::vector<Track> kept = KeptTracks(source);
  // A type of one sound track takes the first one kept.
  if (facts && !facts->manyAudioTracks) {
    bool sound = false;
    std::erase_if(kept,
                  [&](const Track& track) { return track.kind == "sound" && std::exchange(sound, true); });
  }
  const std::vector<Track> arrived = TracksOf(Source(made));
  // AVI, MPEG and the like hold no language tags nor a default track: there the kinds and
  // their number must do, in any order.
  const bool tagged = facts && facts->smartCut;
  const bool subtitles = facts && !facts->subtitleCodec.isEmpty();
  QStringList expected = Kinds(kept, subtitles, tagged), found = Kinds(arrived, true, tagged);
  if (!tagged) {  // and some (FLV) write the sound before the picture
    expected.sort();
    found.sort();
  }
  if (expected != found)
    return QString("its tracks are %1 where %2 were kept").arg(found.join(", "), expected.join(", "));
  if (tagged && !defaultSound.isEmpty() && DefaultSound(arrived) != DefaultSound(kept))
    return QString("the sound track played first is not %1").arg(defaultSound);
  return {};
}

}  // namespace vintrel::cut
