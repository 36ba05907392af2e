// H.264/HEVC access units as NAL units: clean entry points, parameter sets, byte formats.
#pragma once

#include <QByteArray>
#include <QList>
#include <optional>

extern "C" {
#include <libavcodec/codec_id.h>
}

namespace vintrel::cut {

// How an MP4/Matroska stream's samples hold their NAL units: behind lengths of this many bytes.
int NalLengthSize(AVCodecID codec, const QByteArray& extradata);

QList<QByteArray> SplitLengthPrefixed(const QByteArray& accessUnit, int lengthSize);
QList<QByteArray> SplitAnnexB(const QByteArray& stream);
QByteArray JoinLengthPrefixed(const QList<QByteArray>& units, int lengthSize);

int NalType(AVCodecID codec, const QByteArray& unit);
bool IsParameterSet(AVCodecID codec, const QByteArray& unit);

// Whether an access unit starts a GOP that needs nothing before it: an IDR picture for H.264;
// IDR, CRA or BLA for HEVC (a CRA's leading pictures are dropped apart, by their times).
bool IsCleanEntry(AVCodecID codec, const QByteArray& accessUnit, int lengthSize);

// The parameter sets a stream's extradata carries (avcC/hvcC, or Annex B), as NAL units.
QList<QByteArray> ParameterSets(AVCodecID codec, const QByteArray& extradata);

// H.264 SPS and PPS ids in use among `units`; an id for our own sets that none of them has.
std::optional<int> H264ParameterSetId(const QByteArray& unit);
int FreeH264ParameterSetId(const QList<QByteArray>& units);

// An HEVC access unit whose CRA slices are marked as a broken link without leading pictures
// (BLA_N_LP): the entry of a copy whose leading pictures are left out.
QByteArray MarkedAsBrokenLink(const QByteArray& accessUnit, int lengthSize);

}  // namespace vintrel::cut
