// The check's picture comparison against ffmpeg's psnr filter on the same two files, for every
// depth and chroma layout a decoder gives: the figure in a report is the one an outside tool reads.
#include "cut/check/measure.h"

#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QTemporaryDir>

#include "../clips.h"
#include "cut/media/decoder.h"

extern "C" {
#include <libavutil/pixdesc.h>
}

using namespace vintrel::cut;
using namespace cuttest;

namespace {

FrameHandle FirstFrame(const QString& file) {
  Source source(file);
  Decoder decoder(source.video());
  FrameHandle first;
  auto keep = [&](AVFrame* frame) {
    if (!first) first.reset(av_frame_clone(frame));
  };
  PacketHandle packet = NewPacket();
  while (!first && source.read(packet.get())) {
    if (packet->stream_index == source.videoIndex()) decoder.send(packet.get(), keep);
    av_packet_unref(packet.get());
  }
  if (!first) decoder.drain(keep);
  return first;
}

// ffmpeg's psnr_y (psnr_r for RGB) and psnr_avg of the first frames.
std::pair<double, double> OutsidePsnr(const QString& made, const QString& reference) {
  const ProgramRun run =
      RunProgram("ffmpeg", {"-v", "error", "-i", made, "-i", reference, "-lavfi",
                            "[0:v][1:v]psnr=stats_file=-", "-frames:v", "1", "-f", "null", "-"});
  const QRegularExpressionMatch match = QRegularExpression(R"(psnr_avg:(\S+) psnr_\w+:(\S+))").match(run.out);
  return {match.captured(2).toDouble(), match.captured(1).toDouble()};
}

class PsnrLikeFfmpeg : public testing::TestWithParam<const char*> {};

TEST_P(PsnrLikeFfmpeg, SameFigure) {
  const QString format = GetParam();
  QTemporaryDir folder;
  const QString reference = folder.filePath("reference.mkv"), made = folder.filePath("made.mkv");
  ASSERT_EQ(RunProgram("ffmpeg", {"-v", "error", "-f", "lavfi", "-i", "testsrc2=size=320x240:rate=25",
                                  "-frames:v", "1", "-pix_fmt", format, "-c:v", "libx265", "-x265-params",
                                  "log-level=error:lossless=1", reference})
                .exitCode,
            0);
  // A lossy copy, near the reference as a re-encoded frame is.
  ASSERT_EQ(RunProgram("ffmpeg", {"-v", "error", "-i", reference, "-pix_fmt", format, "-c:v", "libx265",
                                  "-x265-params", "log-level=error:crf=30", made})
                .exitCode,
            0);
  const FrameHandle a = FirstFrame(made), b = FirstFrame(reference);
  ASSERT_TRUE(a && b);
  ASSERT_EQ(av_get_pix_fmt_name(AVPixelFormat(a->format)), format.toStdString());
  const std::optional<Psnr> ours = PicturePsnr(a.get(), b.get());
  ASSERT_TRUE(ours);
  const auto [luma, average] = OutsidePsnr(made, reference);
  std::cout << "[ figures  ] " << GetParam() << ": ours y " << ours->luma << " avg " << ours->average
            << " dB, ffmpeg's y " << luma << " avg " << average << " dB\n";
  EXPECT_NEAR(ours->average, average, 0.5);
  EXPECT_NEAR(ours->luma, luma, 0.5);  // RGB's: red, as ffmpeg prints it first
  EXPECT_EQ(PicturePsnr(b.get(), b.get())->average, kIdenticalPsnr);
}

INSTANTIATE_TEST_SUITE_P(PixelFormats, PsnrLikeFfmpeg,
                         testing::Values("yuv420p", "yuv422p", "yuv444p", "yuv420p10le", "yuv422p10le",
                                         "yuv444p10le", "yuv420p12le", "yuv444p12le", "gray10le", "gbrp"));

}  // namespace
