// What a stream's sequence parameter sets say about the order its frames are decoded in.
#pragma once

#include <QByteArray>
#include <QList>
#include <optional>

extern "C" {
#include <libavcodec/codec_id.h>
}

namespace vintrel::cut {

// How many frames may be decoded before a frame and shown after it, as the H.264 or HEVC
// sequence parameter set `unit` (a whole NAL unit, header included) declares it: H.264's
// max_num_reorder_frames, or where its VUI does not say, what the level's picture buffer
// holds at this size; HEVC's sps_max_num_reorder_pics of the highest sub-layer. None where
// `unit` is no SPS or is cut short.
std::optional<int> DeclaredReorderDepth(AVCodecID codec, const QByteArray& unit);

// The deepest depth any SPS among `units` declares; none where none declares one.
std::optional<int> DeclaredReorderDepth(AVCodecID codec, const QList<QByteArray>& units);

}  // namespace vintrel::cut
