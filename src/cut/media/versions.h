// What differs between the ffmpeg library versions Vintrel builds with (Debian 12's 5.1 to
// Debian 13's 7.1), in one place: every other file calls these and tests no version itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "cut/media/av.h"

// The profile names moved from FF_PROFILE_* to AV_PROFILE_* (libavcodec 60.31); the old ones go.
#ifndef AV_PROFILE_UNKNOWN
#define AV_PROFILE_UNKNOWN FF_PROFILE_UNKNOWN
#define AV_PROFILE_H264_CONSTRAINED FF_PROFILE_H264_CONSTRAINED
#define AV_PROFILE_H264_BASELINE FF_PROFILE_H264_BASELINE
#define AV_PROFILE_H264_MAIN FF_PROFILE_H264_MAIN
#define AV_PROFILE_H264_EXTENDED FF_PROFILE_H264_EXTENDED
#define AV_PROFILE_H264_HIGH FF_PROFILE_H264_HIGH
#define AV_PROFILE_H264_HIGH_10 FF_PROFILE_H264_HIGH_10
#define AV_PROFILE_H264_HIGH_422 FF_PROFILE_H264_HIGH_422
#define AV_PROFILE_H264_HIGH_444_PREDICTIVE FF_PROFILE_H264_HIGH_444_PREDICTIVE
#define AV_PROFILE_HEVC_MAIN FF_PROFILE_HEVC_MAIN
#define AV_PROFILE_HEVC_MAIN_10 FF_PROFILE_HEVC_MAIN_10
#define AV_PROFILE_HEVC_MAIN_STILL_PICTURE FF_PROFILE_HEVC_MAIN_STILL_PICTURE
#define AV_PROFILE_HEVC_REXT FF_PROFILE_HEVC_REXT
#endif

namespace vintrel::cut {

// A decoded frame's duration in its stream's ticks (0 when unknown).
int64_t FrameDuration(const AVFrame* frame);
void SetFrameDuration(AVFrame* frame, int64_t duration);
bool IsKeyFrame(const AVFrame* frame);
void SetKeyFrame(AVFrame* frame, bool key);
bool IsInterlaced(const AVFrame* frame);
bool IsTopFieldFirst(const AVFrame* frame);

// What an encoder can make; empty where it names no limit.
std::vector<AVPixelFormat> SupportedPixelFormats(const AVCodec* codec);
std::vector<AVSampleFormat> SupportedSampleFormats(const AVCodec* codec);
std::vector<int> SupportedSampleRates(const AVCodec* codec);
std::vector<AVChannelLayout> SupportedChannelLayouts(const AVCodec* codec);

// A stream's side data of one type (display matrix, mastering display, content light, Dolby
// Vision configuration), or nullptr; `size` gets its size where given.
const uint8_t* StreamSideData(const AVStream* stream, AVPacketSideDataType type, size_t* size = nullptr);
// Gives `stream` a copy of `data`; false when out of memory.
bool AddStreamSideData(AVStream* stream, AVPacketSideDataType type, const uint8_t* data, size_t size);
// Copies every side data of `from` that `to` lacks (the newer libraries copy them with the
// codec parameters; the older keep them on the stream).
void CopyStreamSideData(const AVStream* from, AVStream* to);

}  // namespace vintrel::cut
