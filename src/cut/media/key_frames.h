// Where a copy of a video can start: the times of its key frames, from the container's index
// where it has one (MP4's sample table, Matroska's cues), else from a scan of its packets
// without decoding them.
#pragma once

#include <QString>
#include <atomic>
#include <functional>
#include <optional>
#include <vector>

namespace vintrel::cut {

struct KeyFrames {
  std::vector<double> seconds;  // ascending, from a player's 0 (see Source::startSeconds)
  bool fromIndex = false;       // read from the index, not by a scan of the packets
};

// Throws CutError when the file cannot be read as a video. `stop`, when given and set from
// another thread, ends the reading early with what it found so far. Where the exact times take
// a read of every key frame's packet (MP4), `draft` first gets them as the index puts them,
// each off by no more than its frames' reordering.
using KeyFramesDraft = std::function<void(const KeyFrames&)>;
KeyFrames ReadKeyFrames(const QString& path, const std::atomic<bool>* stop = nullptr,
                        const KeyFramesDraft& draft = {});

// The key frame before or after `seconds` (more than a few milliseconds away, so that
// standing on one moves on to the next); nothing when there is none that way.
std::optional<double> KeyFrameBefore(const std::vector<double>& keyFrames, double seconds);
std::optional<double> KeyFrameAfter(const std::vector<double>& keyFrames, double seconds);

}  // namespace vintrel::cut
