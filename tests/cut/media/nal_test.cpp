// NAL units as the smart cut reads and writes them: entry points, parameter sets and their
// ids, the byte formats between encoder and container.
#include "cut/media/nal.h"

#include <gtest/gtest.h>

#include "cut/media/sequence_parameters.h"

using namespace vintrel::cut;

namespace {

QByteArray Bytes(std::initializer_list<int> values) {
  QByteArray bytes;
  for (int value : values) bytes.append(char(value));
  return bytes;
}

// An avcC with one SPS (id 0) and one PPS (id 0), 4-byte lengths.
const QByteArray kSps = Bytes({0x67, 0x64, 0x00, 0x1f, 0xac});  // ue(v) "1" = id 0
const QByteArray kPps = Bytes({0x68, 0xee, 0x3c, 0x80});
QByteArray AvcC() {
  QByteArray avcc = Bytes({1, 0x64, 0x00, 0x1f, 0xff, 0xe1, 0, int(kSps.size())}) + kSps;
  return avcc + Bytes({1, 0, int(kPps.size())}) + kPps;
}

TEST(Nal, ParameterSetsAndTheirIds) {
  const QList<QByteArray> sets = ParameterSets(AV_CODEC_ID_H264, AvcC());
  ASSERT_EQ(sets, (QList<QByteArray>{kSps, kPps}));
  EXPECT_EQ(NalLengthSize(AV_CODEC_ID_H264, AvcC()), 4);
  EXPECT_EQ(H264ParameterSetId(kSps), 0);
  EXPECT_EQ(H264ParameterSetId(kPps), 0);
  EXPECT_EQ(FreeH264ParameterSetId(sets), 1) << "ours never take the source's id";
  const QByteArray spsId1 = Bytes({0x67, 0x64, 0x00, 0x1f, 0x40});  // ue(v) "010" = id 1
  EXPECT_EQ(FreeH264ParameterSetId({kSps, spsId1}), 2);
  // Annex B extradata gives the same sets.
  const QByteArray annexB = Bytes({0, 0, 0, 1}) + kSps + Bytes({0, 0, 1}) + kPps;
  EXPECT_EQ(ParameterSets(AV_CODEC_ID_H264, annexB), sets);
}

TEST(Nal, ByteFormatsRoundTrip) {
  const QByteArray slice = Bytes({0x65, 0x88, 0x84, 0x00});
  const QByteArray annexB =
      Bytes({0, 0, 0, 1}) + kSps + Bytes({0, 0, 1}) + kPps + Bytes({0, 0, 0, 1}) + slice;
  const QList<QByteArray> units = SplitAnnexB(annexB);
  ASSERT_EQ(units, (QList<QByteArray>{kSps, kPps, slice}));
  for (const int lengthSize : {1, 2, 4})
    EXPECT_EQ(SplitLengthPrefixed(JoinLengthPrefixed(units, lengthSize), lengthSize), units);
  // A length running past the data ends the reading there.
  EXPECT_TRUE(SplitLengthPrefixed(Bytes({0, 0, 0, 9, 0x65}), 4).isEmpty());
}

TEST(Nal, CleanEntries) {
  auto unit = [](std::initializer_list<int> header) {
    return JoinLengthPrefixed({Bytes(header) + Bytes({1, 2})}, 4);
  };
  EXPECT_TRUE(IsCleanEntry(AV_CODEC_ID_H264, unit({0x65}), 4)) << "IDR";
  EXPECT_FALSE(IsCleanEntry(AV_CODEC_ID_H264, unit({0x41}), 4)) << "a non-IDR I slice";
  EXPECT_TRUE(IsCleanEntry(AV_CODEC_ID_HEVC, unit({19 << 1, 1}), 4)) << "IDR_W_RADL";
  EXPECT_TRUE(IsCleanEntry(AV_CODEC_ID_HEVC, unit({21 << 1, 1}), 4)) << "CRA";
  EXPECT_FALSE(IsCleanEntry(AV_CODEC_ID_HEVC, unit({1 << 1, 1}), 4)) << "TRAIL_R";
  // A CRA whose leading pictures are left out becomes a broken link without them.
  const QByteArray marked = MarkedAsBrokenLink(unit({21 << 1, 1}), 4);
  EXPECT_EQ(NalType(AV_CODEC_ID_HEVC, SplitLengthPrefixed(marked, 4).first()), 18);
  EXPECT_TRUE(IsCleanEntry(AV_CODEC_ID_HEVC, marked, 4));
}

// The reordering a copy's decoding times must allow for, as real encoders' parameter sets
// declare it: read wrongly, a copy that reorders deeper than the frames near the marks gets
// decoding times that run backwards.
TEST(Nal, DeclaredReorderDepth) {
  const struct {
    const char* what;
    AVCodecID codec;
    QByteArray unit;
    std::optional<int> depth;
  } cases[] = {
      {"x264 veryfast, B-pyramid", AV_CODEC_ID_H264,
       QByteArray::fromHex("6764000dacd94141fb011000000300100000030320f1429960"), 2},
      {"x264 baseline", AV_CODEC_ID_H264,
       QByteArray::fromHex("6742c00dd90141fb011000000300100000030320f142a480"), 0},
      // Main at level 4.0, 1920x1088, no VUI: what the level's buffer holds at that size.
      {"no bitstream restriction", AV_CODEC_ID_H264, QByteArray::fromHex("674d0028eca03c011320"), 4},
      {"x265 defaults", AV_CODEC_ID_HEVC,
       QByteArray::fromHex(
           "42010101600000030090000003000003003ca00a080f165959a4932bc05a020000030002000003003210"),
       2},
      {"cut short", AV_CODEC_ID_H264, QByteArray::fromHex("6764000dacd941"), std::nullopt},
      {"a PPS", AV_CODEC_ID_H264, kPps, std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(DeclaredReorderDepth(c.codec, c.unit), c.depth) << c.what;
  // An Exp-Golomb code longer than any valid one is no id (and reads nothing past its bytes).
  EXPECT_EQ(H264ParameterSetId(Bytes({0x68, 0, 0, 0, 0, 0x80, 0})), std::nullopt);
}

}  // namespace
