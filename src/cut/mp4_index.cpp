#include "cut/mp4_index.h"

#include <QFile>
#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>

namespace vintrel::cut {

namespace {

struct Box {
  qint64 start = 0;  // of the header
  qint64 body = 0;   // of the contents
  qint64 end = 0;
  QByteArray type;
};

quint32 ReadU32(const QByteArray& bytes, qsizetype at) {
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.constData()) + at;
  return (quint32(data[0]) << 24) | (quint32(data[1]) << 16) | (quint32(data[2]) << 8) | data[3];
}

std::optional<Box> ReadBox(QFile& file, qint64 at, qint64 limit) {
  if (at + 8 > limit || !file.seek(at)) return std::nullopt;
  const QByteArray header = file.read(16);
  if (header.size() < 8) return std::nullopt;
  Box box{at, at + 8, at + ReadU32(header, 0), header.mid(4, 4)};
  if (ReadU32(header, 0) == 1 && header.size() == 16) {  // 64-bit size
    box.body = at + 16;
    box.end = at + qint64((quint64(ReadU32(header, 8)) << 32) | ReadU32(header, 12));
  } else if (ReadU32(header, 0) == 0) {
    box.end = limit;  // to the end of its parent
  }
  if (box.end < box.body || box.end > limit) return std::nullopt;
  return box;
}

std::optional<Box> FindChild(QFile& file, const Box& parent, const QByteArray& type) {
  for (qint64 at = parent.body; at < parent.end;) {
    const std::optional<Box> box = ReadBox(file, at, parent.end);
    if (!box) return std::nullopt;
    if (box->type == type) return box;
    at = box->end;
  }
  return std::nullopt;
}

QByteArray HandlerType(QFile& file, const Box& track) {
  const std::optional<Box> media = FindChild(file, track, "mdia");
  const std::optional<Box> handler = media ? FindChild(file, *media, "hdlr") : std::nullopt;
  if (!handler || !file.seek(handler->body + 8)) return {};  // version, flags, pre_defined
  return file.read(4);
}

bool IsVideoTrack(QFile& file, const Box& track) { return HandlerType(file, track) == "vide"; }

quint64 ReadU64(const QByteArray& bytes, qsizetype at) {
  return (quint64(ReadU32(bytes, at)) << 32) | ReadU32(bytes, at + 4);
}

// A full box's contents (after version and flags), at most `limit` bytes of them.
std::optional<QByteArray> Contents(QFile& file, const std::optional<Box>& box, int& version,
                                   qint64 limit = 64) {
  if (!box || !file.seek(box->body)) return std::nullopt;
  const QByteArray bytes = file.read(std::min(limit, box->end - box->body));
  if (bytes.size() < 4) return std::nullopt;
  version = static_cast<unsigned char>(bytes[0]);
  return bytes.mid(4);
}

// The time scale and duration of a movie or media header (mvhd, mdhd): after the creation
// and modification times, both 64-bit in version 1.
std::optional<std::pair<quint32, quint64>> ScaleAndDuration(QFile& file, const std::optional<Box>& header) {
  int version = 0;
  const std::optional<QByteArray> bytes = Contents(file, header, version);
  const qsizetype at = version == 1 ? 16 : 8;
  if (!bytes || bytes->size() < at + (version == 1 ? 12 : 8)) return std::nullopt;
  const quint32 scale = ReadU32(*bytes, at);
  const quint64 duration = version == 1 ? ReadU64(*bytes, at + 4) : ReadU32(*bytes, at + 4);
  if (scale == 0) return std::nullopt;
  return std::make_pair(scale, duration);
}

std::optional<Mp4Track> ReadTrack(QFile& file, const Box& track, quint32 movieScale) {
  const std::optional<Box> media = FindChild(file, track, "mdia");
  const auto mediaTimes = media ? ScaleAndDuration(file, FindChild(file, *media, "mdhd")) : std::nullopt;
  const std::optional<Box> info = media ? FindChild(file, *media, "minf") : std::nullopt;
  const std::optional<Box> table = info ? FindChild(file, *info, "stbl") : std::nullopt;
  if (!mediaTimes || !table) return std::nullopt;
  Mp4Track read;
  int version = 0;
  // stsz: sample size, then count; stz2: reserved and field size, then count.
  if (const auto sizes = Contents(file, FindChild(file, *table, "stsz"), version);
      sizes && sizes->size() >= 8)
    read.samples = ReadU32(*sizes, 4);
  else if (const auto compact = Contents(file, FindChild(file, *table, "stz2"), version);
           compact && compact->size() >= 8)
    read.samples = ReadU32(*compact, 4);
  else
    return std::nullopt;
  const auto [mediaScale, mediaDuration] = *mediaTimes;
  read.end = double(mediaDuration) / mediaScale;
  // An edit list shows a stretch of the media, maybe after an empty edit that delays it.
  const std::optional<Box> edits = FindChild(file, track, "edts");
  const auto list =
      edits ? Contents(file, FindChild(file, *edits, "elst"), version, 4 + 20 * 16) : std::nullopt;
  if (list && list->size() >= 4 && movieScale > 0) {
    const int entry = version == 1 ? 20 : 12;
    double shown = 0, delay = 0;
    const qsizetype count = std::min<qsizetype>(ReadU32(*list, 0), (list->size() - 4) / entry);
    for (qsizetype i = 0; i < count; ++i) {
      const qsizetype at = 4 + i * entry;
      const double segment = double(version == 1 ? ReadU64(*list, at) : ReadU32(*list, at)) / movieScale;
      const bool empty =
          version == 1 ? ReadU64(*list, at + 8) == ~quint64(0) : ReadU32(*list, at + 4) == ~quint32(0);
      (empty ? delay : shown) += segment;
    }
    if (count > 0 && shown > 0) {
      read.start = delay;
      read.end = delay + shown;
    }
  }
  return read;
}

// The angle a track header's display matrix turns the picture by, as SetMp4VideoRotation
// writes it.
int MatrixRotation(QFile& file, const Box& track) {
  const std::optional<Box> header = FindChild(file, track, "tkhd");
  int version = 0;
  const auto bytes = Contents(file, header, version, 100);
  const qsizetype matrixAt = (version == 1 ? 32 : 20) + 16;
  if (!bytes || bytes->size() < matrixAt + 36) return 0;
  const double cosine = qint32(ReadU32(*bytes, matrixAt)), sine = qint32(ReadU32(*bytes, matrixAt + 12));
  const int degrees = int(std::lround(std::atan2(sine, cosine) * 180.0 / M_PI));
  return ((degrees % 360) + 360) % 360;
}

QByteArray Matrix(int rotation) {
  // 16.16 fixed point; the file stores the transpose of libavutil's display matrix, so this is
  // av_display_rotation_set's matrix for the angle turned the other way.
  const double radians = rotation * M_PI / 180.0;
  const double cosine = std::cos(radians), sine = std::sin(radians);
  auto fixed = [](double value) { return qint32(std::lround(value * 65536.0)); };
  const qint32 values[9] = {fixed(cosine), fixed(-sine), 0, fixed(sine), fixed(cosine), 0, 0, 0, 1 << 30};
  QByteArray bytes;
  for (const qint32 value : values)
    for (int shift = 24; shift >= 0; shift -= 8) bytes.append(char((quint32(value) >> shift) & 0xff));
  return bytes;
}

}  // namespace

bool SetMp4VideoRotation(const QString& path, int rotation) {
  QFile file(path);
  if (!file.open(QIODevice::ReadWrite)) return false;
  const Box whole{0, 0, file.size(), {}};
  const std::optional<Box> movie = FindChild(file, whole, "moov");
  if (!movie) return false;
  for (qint64 at = movie->body; at < movie->end;) {
    const std::optional<Box> box = ReadBox(file, at, movie->end);
    if (!box) return false;
    at = box->end;
    if (box->type != "trak" || !IsVideoTrack(file, *box)) continue;
    const std::optional<Box> header = FindChild(file, *box, "tkhd");
    if (!header || !file.seek(header->body)) return false;
    const QByteArray versionByte = file.read(1);
    const int version = versionByte.isEmpty() ? 0 : static_cast<unsigned char>(versionByte[0]);
    // version/flags, the times, track id, reserved and duration; then reserved, layer,
    // alternate group, volume and reserved again before the matrix.
    const qint64 matrixAt = header->body + 4 + (version == 1 ? 32 : 20) + 16;
    if (matrixAt + 36 > header->end || !file.seek(matrixAt)) return false;
    return file.write(Matrix(rotation)) == 36 && file.flush();
  }
  return false;
}

std::optional<Mp4Index> ReadMp4Index(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
  const Box whole{0, 0, file.size(), {}};
  const std::optional<Box> movie = FindChild(file, whole, "moov");
  const auto movieTimes = movie ? ScaleAndDuration(file, FindChild(file, *movie, "mvhd")) : std::nullopt;
  if (!movieTimes) return std::nullopt;
  Mp4Index index;
  for (qint64 at = movie->body; at < movie->end;) {
    const std::optional<Box> box = ReadBox(file, at, movie->end);
    if (!box) return std::nullopt;
    at = box->end;
    if (box->type != "trak") continue;
    const QByteArray type = HandlerType(file, *box);
    std::optional<Mp4Track>& slot = type == "vide" ? index.video : index.audio;
    if ((type != "vide" && type != "soun") || slot) continue;
    slot = ReadTrack(file, *box, movieTimes->first);
    if (type == "vide") index.rotation = MatrixRotation(file, *box);
  }
  return index;
}

}  // namespace vintrel::cut
