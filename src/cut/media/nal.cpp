#include "cut/media/nal.h"

namespace vintrel::cut {

namespace {

constexpr int kH264Idr = 5, kH264Sps = 7, kH264Pps = 8;
constexpr int kHevcBlaWLp = 16, kHevcCra = 21, kHevcBlaNLp = 18, kHevcVps = 32, kHevcPps = 34;

uint8_t Byte(const QByteArray& bytes, qsizetype at) { return static_cast<uint8_t>(bytes.at(at)); }

// Exp-Golomb reading for the few fields we need near a NAL unit's start.
class BitReader {
 public:
  BitReader(const QByteArray& bytes, qsizetype from) : bytes_(bytes), bit_(from * 8) {}
  std::optional<unsigned> unsignedGolomb() {
    int zeros = 0;
    while (true) {
      const std::optional<int> bit = next();
      if (!bit) return std::nullopt;
      if (*bit) break;
      if (++zeros > 31) return std::nullopt;
    }
    unsigned value = 0;
    for (int i = 0; i < zeros; ++i) {
      const std::optional<int> bit = next();
      if (!bit) return std::nullopt;
      value = value << 1 | unsigned(*bit);
    }
    return (1u << zeros) - 1 + value;
  }

 private:
  std::optional<int> next() {
    if (bit_ >= bytes_.size() * 8) return std::nullopt;
    const int value = (Byte(bytes_, bit_ / 8) >> (7 - bit_ % 8)) & 1;
    ++bit_;
    return value;
  }
  const QByteArray& bytes_;
  qsizetype bit_;
};

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

// avcC and hvcC keep their parameter sets behind 2-byte lengths, in counted groups.
class ParameterSetReader {
 public:
  explicit ParameterSetReader(const QByteArray& bytes) : bytes_(bytes) {}
  // Takes `count` sets from `at` on; false where the bytes end first.
  bool take(qsizetype& at, int count) {
    for (int i = 0; i < count; ++i) {
      if (at + 2 > bytes_.size()) return false;
      const qsizetype length = Byte(bytes_, at) << 8 | Byte(bytes_, at + 1);
      at += 2;
      if (at + length > bytes_.size()) return false;
      sets << bytes_.mid(at, length);
      at += length;
    }
    return true;
  }
  QList<QByteArray> sets;

 private:
  const QByteArray& bytes_;
};

QList<QByteArray> HvcCSets(const QByteArray& hvcc) {
  ParameterSetReader reader(hvcc);
  if (hvcc.size() < 23) return {};
  qsizetype at = 23;
  for (int array = 0, arrays = Byte(hvcc, 22); array < arrays && at + 3 <= hvcc.size(); ++array) {
    const int count = Byte(hvcc, at + 1) << 8 | Byte(hvcc, at + 2);
    at += 3;
    if (!reader.take(at, count)) break;
  }
  return reader.sets;
}

QList<QByteArray> AvcCSets(const QByteArray& avcc) {
  ParameterSetReader reader(avcc);
  qsizetype at = 6;
  if (reader.take(at, Byte(avcc, 5) & 0x1f) && at < avcc.size()) {
    const int ppsCount = Byte(avcc, at++);
    reader.take(at, ppsCount);
  }
  return reader.sets;
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
  const int type = NalType(AV_CODEC_ID_H264, unit);
  if (type == kH264Sps && unit.size() > 4) {
    const std::optional<unsigned> id = BitReader(unit, 4).unsignedGolomb();
    if (id) return int(*id);
  }
  if (type == kH264Pps && unit.size() > 1) {
    const std::optional<unsigned> id = BitReader(unit, 1).unsignedGolomb();
    if (id) return int(*id);
  }
  return std::nullopt;
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
