#include "cut/check/judge.h"

#include <cmath>

namespace vintrel::cut {

namespace {

// How far the sound may end from the picture: a compressed stream ends on its packets' edges.
constexpr double kAudioLengthSlack = 0.05;

QString Ms(double seconds) { return QString("%1 ms").arg(seconds * 1000, 0, 'f', 1); }

}  // namespace

Verdict Judge(const Expected& expected, const Found& found) {
  Verdict verdict;
  auto fail = [&](const QString& why) {
    verdict.failure = why;
    return verdict;
  };
  if (!found.unreadable.isEmpty()) return fail("the made file cannot be read: " + found.unreadable);
  if (found.frames != expected.frames)
    return fail(QString("the video has %1 frames where the source has %2 in the stretch")
                    .arg(found.frames)
                    .arg(expected.frames));
  verdict.checked
      << QString("video length: %1 frames (%2 s)").arg(found.frames).arg(expected.length, 0, 'f', 3);
  if (expected.audio) {
    if (!found.audioFirst || !found.audioLength) return fail("the sound is missing");
    if (std::abs(*found.audioLength - expected.audioLength) > kAudioLengthSlack)
      return fail(QString("the sound runs %1 s where %2 s were asked for")
                      .arg(*found.audioLength, 0, 'f', 3)
                      .arg(expected.audioLength, 0, 'f', 3));
    verdict.checked << QString("audio length: %1 s").arg(*found.audioLength, 0, 'f', 3);
    const double offset = (found.videoFirst - *found.audioFirst) - expected.videoAfterAudio;
    if (std::abs(offset) > expected.syncTolerance)
      return fail(QString("the picture is %1 %2 the sound")
                      .arg(Ms(std::abs(offset)), offset > 0 ? "behind" : "ahead of"));
    verdict.checked
        << QString("picture and sound start as in the source (within %1)").arg(Ms(expected.syncTolerance));
  }
  if (found.decodeErrors > 0)
    return fail(QString("decoding %1 reports %2 error(s)").arg(found.decodedWhere).arg(found.decodeErrors));
  verdict.checked << "decodes cleanly " + found.decodedWhere;
  if (expected.copiedCompared > 0) {
    if (found.copiedMatching != expected.copiedCompared)
      return fail(QString("%1 of %2 copied frames differ from the source's")
                      .arg(expected.copiedCompared - found.copiedMatching)
                      .arg(expected.copiedCompared));
    verdict.checked << QString("%1 copied frames identical to the source's").arg(expected.copiedCompared);
  }
  if (expected.firstFrameCompared) {
    if (!found.firstFramePsnr) return fail("the first frame could not be compared with the source's");
    if (*found.firstFramePsnr < kSamePicture)
      return fail(QString("the first frame is not the source's frame at the start (%1 dB)")
                      .arg(*found.firstFramePsnr, 0, 'f', 1));
    verdict.checked << QString("first frame matches the source (%1 dB)")
                           .arg(std::min(99.0, *found.firstFramePsnr), 0, 'f', 1);
  }
  if (found.rotation != expected.rotation)
    return fail(
        QString("the video's rotation is %1 degrees, not %2").arg(found.rotation).arg(expected.rotation));
  if (expected.rotation != 0) verdict.checked << QString("rotation %1 degrees kept").arg(expected.rotation);
  return verdict;
}

}  // namespace vintrel::cut
