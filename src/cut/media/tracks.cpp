#include "cut/media/tracks.h"

#include <QRegularExpression>

#include "cut/cut_error.h"

namespace vintrel::cut {

namespace {

QString Tag(const AVStream* stream, const char* key) {
  const AVDictionaryEntry* entry = av_dict_get(stream->metadata, key, nullptr, 0);
  return entry ? QString::fromUtf8(entry->value) : QString();
}

bool IsDiscarded(const AVStream* stream) { return stream->discard >= AVDISCARD_ALL; }

}  // namespace

std::vector<Track> TracksOf(const Source& source) {
  std::vector<Track> tracks;
  int sounds = 0, subtitles = 0;
  for (unsigned i = 0; i < source.context()->nb_streams; ++i) {
    const AVStream* stream = source.stream(int(i));
    const AVMediaType type = stream->codecpar->codec_type;
    Track track;
    if (int(i) == source.videoIndex())
      track.id = "v:0", track.kind = "video";
    else if (type == AVMEDIA_TYPE_AUDIO)
      track.id = QString("a:%1").arg(sounds++), track.kind = "sound";
    else if (type == AVMEDIA_TYPE_SUBTITLE)
      track.id = QString("s:%1").arg(subtitles++), track.kind = "subtitles";
    else
      continue;
    track.index = int(i);
    track.codec = QString::fromUtf8(avcodec_get_name(stream->codecpar->codec_id));
    track.language = Tag(stream, "language");
    if (track.language == "und") track.language.clear();
    track.title = Tag(stream, "title");
    if (type == AVMEDIA_TYPE_AUDIO) track.channels = stream->codecpar->ch_layout.nb_channels;
    track.isDefault = stream->disposition & AV_DISPOSITION_DEFAULT;
    tracks.push_back(track);
  }
  return tracks;
}

std::vector<Track> ReadTracks(const QString& path) { return TracksOf(Source(path)); }

std::optional<QStringList> ParseTrackList(const QString& text) {
  static const QRegularExpression item(R"(^[vas]:\d+$)");
  QStringList items;
  for (const QString& part : text.split(',', Qt::SkipEmptyParts)) {
    if (!item.match(part.trimmed()).hasMatch()) return std::nullopt;
    items << part.trimmed();
  }
  return items;
}

void ApplyTrackChoice(Source& source, const TrackChoice& choice) {
  const std::vector<Track> tracks = TracksOf(source);
  QStringList known;
  for (const Track& track : tracks) known << track.id;
  for (const QString& id : choice.keep + choice.drop + QStringList{choice.defaultSound})
    if (!id.isEmpty() && !known.contains(id))
      throw CutError(QString("The input has no track %1 (it has %2).").arg(id, known.join(", ")));
  if (!choice.defaultSound.isEmpty() &&
      (choice.drop.contains(choice.defaultSound) ||
       (!choice.keep.isEmpty() && !choice.keep.contains(choice.defaultSound))))
    throw CutError(QString("The default sound track %1 is not among those kept.").arg(choice.defaultSound));
  for (const Track& track : tracks) {
    AVStream* stream = source.stream(track.index);
    const bool kept = track.kind == "video" || ((choice.keep.isEmpty() || choice.keep.contains(track.id)) &&
                                                !choice.drop.contains(track.id));
    if (!kept) stream->discard = AVDISCARD_ALL;
    if (track.kind == "sound" && !choice.defaultSound.isEmpty()) {
      if (track.id == choice.defaultSound)
        stream->disposition |= AV_DISPOSITION_DEFAULT;
      else
        stream->disposition &= ~AV_DISPOSITION_DEFAULT;
    }
  }
}

std::vector<Track> KeptTracks(const Source& source) {
  std::vector<Track> kept;
  for (const Track& track : TracksOf(source))
    if (!IsDiscarded(source.stream(track.index))) kept.push_back(track);
  return kept;
}

QString TracksLine(const std::vector<Track>& tracks) {
  QStringList parts;
  for (const Track& track : tracks) {
    QString part = track.kind + " " + track.codec;
    if (!track.language.isEmpty()) part += " " + track.language;
    if (track.kind == "sound" && track.isDefault) part += " (default)";
    parts << part;
  }
  return "Tracks: " + parts.join("; ");
}

}  // namespace vintrel::cut
