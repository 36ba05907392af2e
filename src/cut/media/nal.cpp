#include "cut/media/nal.h"

#include "cut/media/bit_reader.h"

namespace vintrel::cut {

namespace {

constexpr int kH264Idr = 5, kH264Sps = 7, kH264Pps = 8;
constexpr int kHevcBlaWLp = 16, kHevcCra = 21, kHevcBlaNLp = 18, kHevcVps = 32, kHevcPps = 34;

uint8_t Byte(const QByteArray& bytes, qsizetype at) { return static_cast<uint8_t>(bytes.at(at)); }

}  // namespace

int NalLengthSize(AVCodecID codec, const QByteArray& extradata) {
  // avcC keeps it in byte 4, hvcC in byte 21; Annex B extradata goes with 4-byte lengths.
  const qsizetype at = codec == AV_CODEC_ID_HEVC ? 21 : 4;
  if (extradata.size() > at && Byte(extradata, 0) == 1) return (Byte(extradata, at) & 3) + 1;
  return 4;
}

QList<QByteArray> SplitLengthPrefixed(const QByteArray& accessUnit, int lengthSize) {
  QList<QByteArray> units;
  for (qsizetype at = 0; at + lengthSize <= accessUnit.size();) {
    qsizetype length = 0;
    for (int i = 0; i < lengthSize; ++i) length = length << 8 | Byte(accessUnit, at + i);
    at += lengthSize;
    if (length <= 0 || at + length > accessUnit.size()) break;
    units << accessUnit.mid(at, length);
    at += length;
  }
  return units;
}

QList<QByteArray> SplitAnnexB(const QByteArray& stream) {
  QList<QByteArray> units;
  qsizetype start = -1;
  for (qsizetype i = 0; i + 2 < stream.size(); ++i) {
    if (stream.at(i) != 0 || stream.at(i + 1) != 0 || stream.at(i + 2) != 1) continue;
    if (start >= 0) {
      qsizetype end = i;
      while (end > start && stream.at(end - 1) == 0) --end;  // the zero before a 4-byte start code
      units << stream.mid(start, end - start);
    }
    start = i + 3;
    i += 2;
  }
  if (start >= 0 && start < stream.size()) units << stream.mid(start);
  return units;
}

QByteArray JoinLengthPrefixed(const QList<QByteArray>& units, int lengthSize) {
  QByteArray joined;
  for (const QByteArray& unit : units) {
    for (int i = lengthSize - 1; i >= 0; --i) joined.append(char((unit.size() >> (8 * i)) & 0xff));
    joined.append(unit);
  }
  return joined;
}

int NalType(AVCodecID codec, const QByteArray& unit) {
  if (unit.isEmpty()) return -1;
  return codec == AV_CODEC_ID_HEVC ? (Byte(unit, 0) >> 1) & 0x3f : Byte(unit, 0) & 0x1f;
}

bool IsParameterSet(AVCodecID codec, const QByteArray& unit) {
  const int type = NalType(codec, unit);
  return codec == AV_CODEC_ID_HEVC ? type >= kHevcVps && type <= kHevcPps
                                   : type == kH264Sps || type == kH264Pps;
}

bool IsCleanEntry(AVCodecID codec, const QByteArray& accessUnit, int lengthSize) {
  for (const QByteArray& unit : SplitLengthPrefixed(accessUnit, lengthSize)) {
    const int type = NalType(codec, unit);
    if (codec == AV_CODEC_ID_H264 && type == kH264Idr) return true;
    if (codec == AV_CODEC_ID_HEVC && type >= kHevcBlaWLp && type <= kHevcCra) return true;
  }
  return false;
}

namespace {

// avcC and hvcC keep their parameter sets behind 2-byte lengths, in counted groups: takes
// `count` sets from `at` on; false where the bytes end first.
bool TakeSets(const QByteArray& bytes, qsizetype& at, int count, QList<QByteArray>& sets) {
  for (int i = 0; i < count; ++i) {
    if (at + 2 > bytes.size()) return false;
    const qsizetype length = Byte(bytes, at) << 8 | Byte(bytes, at + 1);
    at += 2;
    if (at + length > bytes.size()) return false;
    sets << bytes.mid(at, length);
    at += length;
  }
  return true;
}

QList<QByteArray> HvcCSets(const QByteArray& hvcc) {
  QList<QByteArray> sets;
  qsizetype at = 23;
  for (int array = 0, arrays = hvcc.size() > 22 ? Byte(hvcc, 22) : 0; array < arrays && at + 3 <= hvcc.size();
       ++array) {
    const int count = Byte(hvcc, at + 1) << 8 | Byte(hvcc, at + 2);
    at += 3;
    if (!TakeSets(hvcc, at, count, sets)) break;
  }
  return sets;
}

QList<QByteArray> AvcCSets(const QByteArray& avcc) {
  QList<QByteArray> sets;
  qsizetype at = 6;
  if (TakeSets(avcc, at, Byte(avcc, 5) & 0x1f, sets) && at < avcc.size()) {
    const int ppsCount = Byte(avcc, at++);
    TakeSets(avcc, at, ppsCount, sets);
  }
  return sets;
}

}  // namespace

QList<QByteArray> ParameterSets(AVCodecID codec, const QByteArray& extradata) {
  if (extradata.size() < 7) return {};
  if (Byte(extradata, 0) == 1) return codec == AV_CODEC_ID_HEVC ? HvcCSets(extradata) : AvcCSets(extradata);
  QList<QByteArray> sets = SplitAnnexB(extradata);
  sets.removeIf([&](const QByteArray& unit) { return !IsParameterSet(codec, unit); });
  return sets;
}

std::optional<int> H264ParameterSetId(const QByteArray& unit) {
  // The SPS names its id after its profile, constraints and level; the PPS first of all.
  const int type = NalType(AV_CODEC_ID_H264, unit);
  const qsizetype at = type == kH264Sps ? 4 : 1;
  if ((type != kH264Sps && type != kH264Pps) || unit.size() <= at) return std::nullopt;
  BitReader reader(unit, at);
  const uint32_t id = reader.unsignedGolomb();
  if (reader.failed() || id > 255) return std::nullopt;
  return int(id);
}

int FreeH264ParameterSetId(const QList<QByteArray>& units) {
  QList<int> used;
  for (const QByteArray& unit : units)
    if (const std::optional<int> id = H264ParameterSetId(unit)) used << *id;
  for (int id = 1; id < 32; ++id)
    if (!used.contains(id)) return id;
  return 0;
}

QByteArray MarkedAsBrokenLink(const QByteArray& accessUnit, int lengthSize) {
  QList<QByteArray> units = SplitLengthPrefixed(accessUnit, lengthSize);
  for (QByteArray& unit : units)
    if (NalType(AV_CODEC_ID_HEVC, unit) == kHevcCra)
      unit[0] = char((Byte(unit, 0) & 0x81) | kHevcBlaNLp << 1);
  return JoinLengthPrefixed(units, lengthSize);
}

}  // namespace vintrel::cut
