#include "cut/media/sequence_parameters.h"

#include <algorithm>
#include <array>
#include <utility>

#include "cut/media/bit_reader.h"
#include "cut/media/nal.h"

namespace vintrel::cut {

namespace {

constexpr int kH264Sps = 7, kHevcSps = 33;
// A decoded picture buffer holds at most 16 frames, so no stream reorders deeper.
constexpr int kMostFramesBuffered = 16;

// The payload of a NAL unit: its bytes without the zero bytes' emulation prevention.
QByteArray Payload(const QByteArray& unit) {
  QByteArray payload;
  payload.reserve(unit.size());
  int zeros = 0;
  for (const char byte : unit) {
    if (zeros >= 2 && byte == 3) {
      zeros = 0;
      continue;
    }
    zeros = byte == 0 ? zeros + 1 : 0;
    payload.append(byte);
  }
  return payload;
}

bool HasChromaFields(uint32_t profile) {
  static constexpr std::array kProfiles = {100u, 110u, 122u, 244u, 44u,  83u, 86u,
                                           118u, 128u, 138u, 139u, 134u, 135u};
  return std::find(kProfiles.begin(), kProfiles.end(), profile) != kProfiles.end();
}

void SkipScalingList(BitReader& reader, int size) {
  int last = 8, next = 8;
  for (int i = 0; i < size && !reader.failed(); ++i) {
    if (next != 0) next = (last + reader.signedGolomb() + 256) % 256;
    last = next == 0 ? last : next;
  }
}

void SkipH264ChromaFields(BitReader& reader) {
  const uint32_t chromaFormat = reader.unsignedGolomb();
  if (chromaFormat == 3) reader.skip(1);  // separate colour planes
  reader.unsignedGolomb();                // luma bit depth
  reader.unsignedGolomb();                // chroma bit depth
  reader.skip(1);                         // lossless bypass
  if (reader.bit())
    for (int i = 0; i < (chromaFormat == 3 ? 12 : 8) && !reader.failed(); ++i)
      if (reader.bit()) SkipScalingList(reader, i < 6 ? 16 : 64);
}

void SkipPictureOrderCount(BitReader& reader) {
  const uint32_t type = reader.unsignedGolomb();
  if (type == 0) {
    reader.unsignedGolomb();
  } else if (type == 1) {
    reader.skip(1);
    reader.signedGolomb();
    reader.signedGolomb();
    const uint32_t cycle = std::min<uint32_t>(reader.unsignedGolomb(), 255);
    for (uint32_t i = 0; i < cycle && !reader.failed(); ++i) reader.signedGolomb();
  }
}

void SkipHrdParameters(BitReader& reader) {
  const uint32_t count = std::min<uint32_t>(reader.unsignedGolomb(), 31) + 1;
  reader.skip(8);  // bit rate and buffer size scales
  for (uint32_t i = 0; i < count && !reader.failed(); ++i) {
    reader.unsignedGolomb();
    reader.unsignedGolomb();
    reader.skip(1);
  }
  reader.skip(20);  // the delays' lengths
}

// The VUI's max_num_reorder_frames; none where the VUI has no bitstream restriction.
std::optional<int> H264VuiReorderDepth(BitReader& reader) {
  if (reader.bit() && reader.bits(8) == 255) reader.skip(32);  // aspect ratio, extended
  if (reader.bit()) reader.skip(1);                            // overscan
  if (reader.bit()) {                                          // video signal type
    reader.skip(4);
    if (reader.bit()) reader.skip(24);  // colour description
  }
  if (reader.bit()) {  // chroma sample location
    reader.unsignedGolomb();
    reader.unsignedGolomb();
  }
  if (reader.bit()) reader.skip(65);  // timing
  const bool nalHrd = reader.bit();
  if (nalHrd) SkipHrdParameters(reader);
  const bool vclHrd = reader.bit();
  if (vclHrd) SkipHrdParameters(reader);
  if (nalHrd || vclHrd) reader.skip(1);  // low delay
  reader.skip(1);                        // picture structure
  if (!reader.bit()) return std::nullopt;
  reader.skip(1);
  for (int i = 0; i < 4; ++i) reader.unsignedGolomb();
  const uint32_t reorder = reader.unsignedGolomb();
  return int(std::min<uint32_t>(reorder, kMostFramesBuffered));
}

// How many frames the level's picture buffer holds at this size (H.264's MaxDpbFrames).
int H264BufferedFrames(uint32_t level, uint32_t frameMacroblocks) {
  static constexpr std::array<std::pair<uint32_t, uint32_t>, 19> kBufferMacroblocks = {{
      {9, 396},     {10, 396},    {11, 900},    {12, 2376},   {13, 2376},   {20, 2376},  {21, 4752},
      {22, 8100},   {30, 8100},   {31, 18000},  {32, 20480},  {40, 32768},  {41, 32768}, {42, 34816},
      {50, 110400}, {51, 184320}, {52, 184320}, {60, 696320}, {61, 696320},
  }};
  for (const auto& [known, macroblocks] : kBufferMacroblocks)
    if (known == level && frameMacroblocks > 0)
      return int(std::min<uint32_t>(macroblocks / frameMacroblocks, kMostFramesBuffered));
  return kMostFramesBuffered;
}

std::optional<int> H264ReorderDepth(const QByteArray& payload) {
  BitReader reader(payload, 1);
  const uint32_t profile = reader.bits(8);
  const uint32_t constraints = reader.bits(8);
  const uint32_t level = reader.bits(8);
  reader.unsignedGolomb();  // id
  if (HasChromaFields(profile)) SkipH264ChromaFields(reader);
  reader.unsignedGolomb();  // frame number's length
  SkipPictureOrderCount(reader);
  const uint32_t references = reader.unsignedGolomb();
  reader.skip(1);
  const uint32_t width = reader.unsignedGolomb() + 1, heightUnits = reader.unsignedGolomb() + 1;
  const bool framesOnly = reader.bit();
  if (!framesOnly) reader.skip(1);
  reader.skip(1);
  if (reader.bit())
    for (int i = 0; i < 4; ++i) reader.unsignedGolomb();  // cropping
  std::optional<int> declared;
  if (reader.bit()) declared = H264VuiReorderDepth(reader);
  if (reader.failed()) return std::nullopt;
  if (declared) return declared;
  // Intra-only streams (no reference frames, or an intra profile) show frames as decoded.
  const bool intraProfile = (constraints & 0x10) && (profile == 44 || profile == 86 || profile == 100 ||
                                                     profile == 110 || profile == 122 || profile == 244);
  if (references == 0 || intraProfile) return 0;
  return H264BufferedFrames(level, width * heightUnits * (framesOnly ? 1 : 2));
}

void SkipHevcProfileTierLevel(BitReader& reader, uint32_t subLayers) {
  reader.skip(96);  // the general profile, tier and level
  bool profilePresent[8] = {}, levelPresent[8] = {};
  for (uint32_t i = 0; i < subLayers; ++i) {
    profilePresent[i] = reader.bit();
    levelPresent[i] = reader.bit();
  }
  if (subLayers > 0) reader.skip(qsizetype(2) * (8 - subLayers));
  for (uint32_t i = 0; i < subLayers; ++i)
    reader.skip((profilePresent[i] ? 88 : 0) + (levelPresent[i] ? 8 : 0));
}

std::optional<int> HevcReorderDepth(const QByteArray& payload) {
  BitReader reader(payload, 2);
  reader.skip(4);  // the video parameter set's id
  const uint32_t subLayers = reader.bits(3);
  if (subLayers > 6) return std::nullopt;
  reader.skip(1);
  SkipHevcProfileTierLevel(reader, subLayers);
  reader.unsignedGolomb();  // id
  if (reader.unsignedGolomb() == 3) reader.skip(1);
  reader.unsignedGolomb();  // width
  reader.unsignedGolomb();  // height
  if (reader.bit())
    for (int i = 0; i < 4; ++i) reader.unsignedGolomb();  // conformance window
  reader.unsignedGolomb();                                // luma bit depth
  reader.unsignedGolomb();                                // chroma bit depth
  reader.unsignedGolomb();                                // picture order count's length
  const bool everySubLayer = reader.bit();
  uint32_t reorder = 0;
  for (uint32_t i = everySubLayer ? 0 : subLayers; i <= subLayers; ++i) {
    reader.unsignedGolomb();
    reorder = reader.unsignedGolomb();
    reader.unsignedGolomb();
  }
  if (reader.failed()) return std::nullopt;
  return int(std::min<uint32_t>(reorder, kMostFramesBuffered));
}

}  // namespace

std::optional<int> DeclaredReorderDepth(AVCodecID codec, const QByteArray& unit) {
  const int type = NalType(codec, unit);
  if (codec == AV_CODEC_ID_H264 && type == kH264Sps) return H264ReorderDepth(Payload(unit));
  if (codec == AV_CODEC_ID_HEVC && type == kHevcSps) return HevcReorderDepth(Payload(unit));
  return std::nullopt;
}

std::optional<int> DeclaredReorderDepth(AVCodecID codec, const QList<QByteArray>& units) {
  std::optional<int> deepest;
  for (const QByteArray& unit : units)
    if (const std::optional<int> depth = DeclaredReorderDepth(codec, unit))
      deepest = std::max(deepest.value_or(0), *depth);
  return deepest;
}

}  // namespace vintrel::cut
