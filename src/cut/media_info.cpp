#include "cut/media_info.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>

#include "cut/cut_error.h"

namespace vintrel::cut {

std::optional<Rational> ParseRational(const QString& text) {
  const QStringList parts = text.trimmed().split('/');
  if (parts.isEmpty() || parts.size() > 2) return std::nullopt;
  bool ok = false;
  Rational rate;
  rate.numerator = parts[0].toLongLong(&ok);
  if (!ok) return std::nullopt;
  if (parts.size() == 2) {
    rate.denominator = parts[1].toLongLong(&ok);
    if (!ok) return std::nullopt;
  }
  return rate;
}

namespace {

double NumberField(const QJsonObject& object, const char* key) {
  const QJsonValue value = object.value(key);
  if (value.isDouble()) return value.toDouble();
  bool ok = false;
  const double number = value.toString().toDouble(&ok);
  return ok && std::isfinite(number) ? number : 0;
}

int RotationOf(const QJsonObject& stream) {
  for (const QJsonValue& sideData : stream.value("side_data_list").toArray()) {
    const QJsonObject entry = sideData.toObject();
    if (entry.contains("rotation")) return entry.value("rotation").toInt();
  }
  // Older files and muxers keep it as a tag, clockwise.
  const QString tag = stream.value("tags").toObject().value("rotate").toString();
  return tag.isEmpty() ? 0 : -tag.toInt();
}

StreamInfo ParseStream(const QJsonObject& object) {
  StreamInfo stream;
  stream.index = object.value("index").toInt();
  stream.type = object.value("codec_type").toString();
  stream.codec = object.value("codec_name").toString();
  stream.profile = object.value("profile").toString();
  stream.level = object.value("level").toInt();
  stream.pixelFormat = object.value("pix_fmt").toString();
  stream.width = object.value("width").toInt();
  stream.height = object.value("height").toInt();
  stream.frameRate = ParseRational(object.value("r_frame_rate").toString()).value_or(Rational{});
  stream.averageFrameRate = ParseRational(object.value("avg_frame_rate").toString()).value_or(Rational{});
  stream.timeBase = ParseRational(object.value("time_base").toString()).value_or(Rational{});
  stream.startTime = NumberField(object, "start_time");
  stream.duration = NumberField(object, "duration");
  stream.frames = std::llround(NumberField(object, "nb_frames"));
  stream.language = object.value("tags").toObject().value("language").toString();
  stream.rotation = RotationOf(object);
  stream.colorRange = object.value("color_range").toString();
  stream.colorSpace = object.value("color_space").toString();
  stream.colorTransfer = object.value("color_transfer").toString();
  stream.colorPrimaries = object.value("color_primaries").toString();
  stream.sampleRate = int(NumberField(object, "sample_rate"));
  stream.attachedPicture = object.value("disposition").toObject().value("attached_pic").toInt() == 1;
  return stream;
}

}  // namespace

const StreamInfo* MediaInfo::video() const {
  for (const StreamInfo& stream : streams)
    if (stream.type == "video" && !stream.attachedPicture) return &stream;
  return nullptr;
}

int MediaInfo::count(const QString& type) const {
  int n = 0;
  for (const StreamInfo& stream : streams) n += stream.type == type && !stream.attachedPicture;
  return n;
}

bool MediaInfo::constantFrameRate() const {
  const StreamInfo* stream = video();
  if (!stream || !stream->frameRate.valid() || !stream->averageFrameRate.valid()) return false;
  const double base = stream->frameRate.value(), average = stream->averageFrameRate.value();
  return std::abs(base - average) <= base * 0.001;
}

MediaInfo ParseMediaInfo(const QByteArray& json) {
  const QJsonObject root = QJsonDocument::fromJson(json).object();
  MediaInfo info;
  const QJsonObject format = root.value("format").toObject();
  info.formatName = format.value("format_name").toString();
  info.startTime = NumberField(format, "start_time");
  info.duration = NumberField(format, "duration");
  for (const QJsonValue& stream : root.value("streams").toArray())
    info.streams << ParseStream(stream.toObject());
  if (!info.video()) throw CutError("The input holds no video the encoder can read.");
  return info;
}

QList<Packet> ParsePackets(const QByteArray& json, double containerStart, int stream) {
  QList<Packet> packets;
  for (const QJsonValue& value : QJsonDocument::fromJson(json).object().value("packets").toArray()) {
    const QJsonObject object = value.toObject();
    if (stream >= 0 && object.value("stream_index").toInt(-1) != stream) continue;
    if (!object.contains("pts_time")) continue;  // no timestamp: nothing to place it by
    Packet packet;
    packet.stream = object.value("stream_index").toInt(-1);
    packet.pts = NumberField(object, "pts_time") - containerStart;
    packet.dts = object.contains("dts_time") ? NumberField(object, "dts_time") - containerStart : packet.pts;
    packet.key = object.value("flags").toString().startsWith('K');
    if (object.contains("pos")) packet.position = object.value("pos").toString().toLongLong();
    packet.size = int(NumberField(object, "size"));
    packets << packet;
  }
  return packets;
}

QByteArray ParseHexDump(const QString& dump) {
  // Each line: "00000010: 0001 02ff ...  ascii"; the hex column is 40 characters wide.
  QByteArray bytes;
  for (const QString& line : dump.split('\n', Qt::SkipEmptyParts)) {
    const int colon = line.indexOf(": ");
    if (colon < 0) continue;
    QString hex = line.mid(colon + 2, 40);
    hex.remove(' ');
    bytes += QByteArray::fromHex(hex.toLatin1());
  }
  return bytes;
}

namespace {

QList<QByteArray> NalUnits(const QByteArray& data) {
  QList<QByteArray> units;
  const auto* bytes = reinterpret_cast<const unsigned char*>(data.constData());
  const qsizetype size = data.size();
  const bool annexB =
      size >= 4 && bytes[0] == 0 && bytes[1] == 0 && (bytes[2] == 1 || (bytes[2] == 0 && bytes[3] == 1));
  if (annexB) {
    for (qsizetype i = 0; i + 3 <= size; ++i) {
      if (bytes[i] == 0 && bytes[i + 1] == 0 && bytes[i + 2] == 1) {
        if (i + 3 < size) units << data.mid(i + 3, 2);  // the header is all we read
        i += 2;
      }
    }
    return units;
  }
  // MP4 and Matroska store each NAL unit behind a 4-byte big-endian length.
  for (qsizetype at = 0; at + 4 < size;) {
    const qsizetype length =
        (qsizetype(bytes[at]) << 24) | (bytes[at + 1] << 16) | (bytes[at + 2] << 8) | bytes[at + 3];
    if (length <= 0 || at + 4 + length > size) return {};  // not 4-byte lengths: trust nothing
    units << data.mid(at + 4, 2);
    at += 4 + length;
  }
  return units;
}

}  // namespace

bool IsWholeLengthPrefixedAccessUnit(const QByteArray& bytes) {
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.constData());
  qsizetype at = 0;
  while (at + 4 < bytes.size()) {
    const qsizetype length =
        (qsizetype(data[at]) << 24) | (data[at + 1] << 16) | (data[at + 2] << 8) | data[at + 3];
    if (length <= 0) return false;
    at += 4 + length;
  }
  return at == bytes.size() && at > 0;
}

bool IsCleanEntryAccessUnit(const QString& codec, const QByteArray& accessUnit) {
  for (const QByteArray& header : NalUnits(accessUnit)) {
    if (header.isEmpty()) continue;
    const int first = static_cast<unsigned char>(header[0]);
    if (codec == "h264" && (first & 0x1f) == 5) return true;
    if (codec == "hevc") {
      const int type = (first >> 1) & 0x3f;
      if (type >= 19 && type <= 21) return true;  // IDR_W_RADL, IDR_N_LP, CRA
    }
  }
  return false;
}

}  // namespace vintrel::cut
