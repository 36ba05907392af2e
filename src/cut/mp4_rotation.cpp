#include "cut/mp4_rotation.h"

#include <QFile>
#include <cmath>
#include <optional>

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

bool IsVideoTrack(QFile& file, const Box& track) {
  const std::optional<Box> media = FindChild(file, track, "mdia");
  const std::optional<Box> handler = media ? FindChild(file, *media, "hdlr") : std::nullopt;
  if (!handler || !file.seek(handler->body + 8)) return false;  // version, flags, pre_defined
  return file.read(4) == "vide";
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

}  // namespace vintrel::cut
