// The engine end to end on generated clips: what a viewer of the made file would notice.
#include "cut/engine.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <cmath>

#include "clips.h"
#include "cut/cut_error.h"
#include "cut/media/source.h"
#include "cut/media/versions.h"

extern "C" {
#include <libavutil/dovi_meta.h>
}

using namespace vintrel::cut;
using namespace cuttest;

namespace {

const QStringList kH264 = {"-c:v",     "libx264", "-preset",     "veryfast", "-bf",           "3",
                           "-g",       "50",      "-keyint_min", "50",       "-sc_threshold", "0",
                           "-pix_fmt", "yuv420p", "-c:a",        "aac"};

struct Case {
  const char* name;
  QString type;
  double seconds;
  QStringList options;
  double start, end;
  CutMethod method;
  int firstKeyFrame;  // source frame from which a smart cut copies
  int audioTracks = 1;
  bool forceReEncode = false;
  int rotation = 0;         // set in the source's display matrix after it is made
  QString outputType = {};  // the source's when empty
};

class EngineCut : public testing::TestWithParam<Case> {
 protected:
  QTemporaryDir folder_;
  QString source() const { return folder_.filePath(QString("source.") + GetParam().type); }
  QString made() const {
    const Case& c = GetParam();
    return folder_.filePath("made." + (c.outputType.isEmpty() ? c.type : c.outputType));
  }
};

void ExpectFirstFrameIsTheStart(const QString& made, const QString& source, int startFrame) {
  const int before = startFrame > 0 ? 1 : 0;
  const QList<double> psnr = FirstFramePsnrs(made, source, startFrame - before, before + 2);
  ASSERT_EQ(psnr.size(), before + 2);
  const double match = psnr[before];
  EXPECT_GT(match, 25) << "first frame against the source's start";
  EXPECT_GT(match, psnr[before + 1]) << "closer to the next frame";
  if (before) {
    EXPECT_GT(match, psnr[0]) << "closer to the frame before";
  }
}

TEST_P(EngineCut, MakesTheExactStretch) {
  const Case& c = GetParam();
  QStringList extraInputs, options = c.options;
  if (c.audioTracks > 1) {  // with a subtitle track and languages too
    QFile subtitles(folder_.filePath("subs.srt"));
    ASSERT_TRUE(subtitles.open(QIODevice::WriteOnly));
    subtitles.write("1\n00:00:01,000 --> 00:00:05,000\nHello\n\n2\n00:00:06,000 --> 00:00:09,000\nAgain\n");
    subtitles.close();
    extraInputs << "-i" << subtitles.fileName();
    options << "-map" << QString("%1:s").arg(c.audioTracks + 1) << "-c:s"
            << "mov_text"
            << "-metadata:s:a:0"
            << "language=fra"
            << "-metadata:s:a:1"
            << "language=deu";
  }
  ASSERT_NO_THROW(
      MakeClip(source(), c.seconds, options, c.audioTracks, "testsrc2=size=160x120:rate=25", extraInputs));
  if (c.rotation != 0) {
    const QString unturned = folder_.filePath("unturned." + c.type);
    ASSERT_TRUE(QFile::rename(source(), unturned));
    ASSERT_EQ(RunProgram("ffmpeg", RotatedCopyArguments(unturned, source(), c.rotation)).exitCode, 0);
    ASSERT_EQ(Probe(source(), "stream_side_data=rotation", "v:0").toInt(), c.rotation);
  }
  const QByteArray sourceBytes = [&] {
    QFile file(source());
    file.open(QIODevice::ReadOnly);
    return file.readAll();
  }();

  CutReport report;
  try {
    report = RunCut(CutArguments{
        .input = source(), .output = made(), .start = c.start, .end = c.end, .reEncode = c.forceReEncode});
  } catch (const CutError& error) {
    FAIL() << error.what();
  }
  SCOPED_TRACE(report.text.toStdString());
  EXPECT_EQ(report.method, c.method);
  EXPECT_TRUE(HiddenWorkFiles(folder_.path()).isEmpty());

  // Frames as the decoder numbers them; a file's start time and gaps count as a player sees them.
  const QList<double> sourceFrames = FrameTimes(source());
  const int startFrame = FrameIndexAt(sourceFrames, c.start), endFrame = FrameIndexAt(sourceFrames, c.end);
  const QStringList frames = FrameHashes(made());
  EXPECT_EQ(frames.size(), endFrame - startFrame);
  EXPECT_EQ(DecodeErrors(made()), "");
  // An end mark past the last frame is the end of the video, sound included.
  const double end = sourceFrames.isEmpty() ? c.end : std::min(c.end, sourceFrames.last() + 0.04);
  EXPECT_NEAR(AudioLength(made()), end - c.start, 0.05);
  ExpectFirstFrameIsTheStart(made(), source(), startFrame);
  if (report.method == CutMethod::kSmartCut) {
    // A second from the first key frame on is the source's, bit for bit.
    const int copied = c.firstKeyFrame - startFrame;
    ASSERT_GE(frames.size(), copied + 25);
    EXPECT_EQ(frames.mid(copied, 25), SourceFrameHashes(source(), c.firstKeyFrame, 25));
  }
  if (c.rotation != 0) {
    // A smart cut keeps the flag; a re-encode turns the frames upright instead.
    const int expected = report.method == CutMethod::kSmartCut ? c.rotation : 0;
    EXPECT_EQ(Probe(made(), "stream_side_data=rotation", "v:0").toInt(), expected);
  }
  if (c.audioTracks > 1) {
    EXPECT_EQ(StreamCount(made(), "audio"), 2);
    EXPECT_EQ(StreamCount(made(), "subtitle"), 1);
    EXPECT_EQ(Probe(made(), "stream_tags=language", "a").split('\n'), (QStringList{"fra", "deu"}));
  }
  QFile sourceAfter(source());
  sourceAfter.open(QIODevice::ReadOnly);
  EXPECT_EQ(sourceAfter.readAll(), sourceBytes) << "the input is never written";
}

QStringList With(QStringList base, const QStringList& more) { return base << more; }

INSTANTIATE_TEST_SUITE_P(
    SmartCut, EngineCut,
    testing::Values(
        Case{"H264_BFrames_2sGop", "mp4", 10, kH264, 2.52, 7.36, CutMethod::kSmartCut, 100},
        // The key frames near each mark are looked for in two windows read side by side.
        Case{"H264_MarksFarApart", "mp4", 70, kH264, 2.52, 67.36, CutMethod::kSmartCut, 100},
        Case{"H264_6sGop", "mp4", 12, With(kH264, {"-g", "150", "-keyint_min", "150"}), 1.2, 12,
             CutMethod::kSmartCut, 150},
        Case{"H264_OpenGop", "mp4", 10, With(kH264, {"-x264-params", "open-gop=1"}), 2.52, 7.36,
             CutMethod::kReEncode, 0},
        Case{"Hevc",
             "mp4",
             8,
             {"-c:v", "libx265", "-preset", "ultrafast", "-x265-params",
              "keyint=50:min-keyint=50:scenecut=0:open-gop=0:log-level=error", "-c:a", "aac"},
             2.52,
             7.36,
             CutMethod::kSmartCut,
             100},
        Case{"Hevc_OpenGop",
             "mp4",
             8,
             {"-c:v", "libx265", "-preset", "ultrafast", "-x265-params",
              "keyint=50:min-keyint=50:scenecut=0:open-gop=1:bframes=3:log-level=error", "-c:a", "aac"},
             2.52,
             7.36,
             CutMethod::kSmartCut,
             100},
        Case{"Mkv", "mkv", 10, kH264, 2.52, 7.36, CutMethod::kSmartCut, 100},
        Case{"Mkv_StartTime", "mkv", 10, With(kH264, {"-output_ts_offset", "1.5"}), 2.52, 7.36,
             CutMethod::kSmartCut, 100},
        Case{"Mp4_TwoAudioTracksAndSubtitles", "mp4", 10, kH264, 2.52, 7.36, CutMethod::kSmartCut, 100, 2},
        Case{"Mp4_Rotated", "mp4", 10, kH264, 2.52, 7.36, CutMethod::kSmartCut, 100, 1, false, -90},
        Case{"Mp4_RotatedIntoMkv", "mp4", 6, kH264, 1, 4, CutMethod::kReEncode, 0, 1, false, 90, "mkv"},
        Case{"Mp4_AudioOutlastsVideo", "mp4", 6, With(kH264, {"-vf", "trim=end=4"}), 1, 6,
             CutMethod::kSmartCut, 50},
        // Every frame keeps its own time: nothing duplicated to make the rate constant.
        Case{"VariableFrameRate", "mp4", 8,
             With(kH264, {"-vf", "setpts='if(lt(N,75),N/25,3+(N-75)/20)/TB'", "-fps_mode", "vfr"}), 1, 5.6,
             CutMethod::kSmartCut, 50}),
    [](const testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

const QStringList kQuick = {"-c:v", "libx264", "-preset", "ultrafast", "-c:a", "aac"};

INSTANTIATE_TEST_SUITE_P(
    ReEncode, EngineCut,
    testing::Values(
        Case{"Mp4", "mp4", 6, kQuick, 1, 4, CutMethod::kReEncode, 0, 1, true},
        Case{"Mov", "mov", 6, kQuick, 1, 4, CutMethod::kReEncode, 0, 1, true},
        Case{"Mkv", "mkv", 6, kQuick, 1, 4, CutMethod::kReEncode, 0, 1, true},
        Case{"Wmv", "wmv", 6, {}, 1, 4, CutMethod::kReEncode, 0},
        Case{"Avi", "avi", 6, {}, 1, 4, CutMethod::kReEncode, 0},
        // MP3 ends on its long frames' edges, with the encoder's padding.
        Case{"AviWithMp3", "avi", 6, {"-c:v", "mpeg4", "-c:a", "libmp3lame"}, 1, 4, CutMethod::kReEncode, 0},
        Case{"Divx", "divx", 6, {"-c:v", "mpeg4", "-f", "avi"}, 1, 4, CutMethod::kReEncode, 0},
        Case{"Mpg", "mpg", 6, {}, 1, 4, CutMethod::kReEncode, 0},
        Case{"Flv", "flv", 6, {}, 1, 4, CutMethod::kReEncode, 0},
        Case{"Vob", "vob", 6, {"-f", "vob"}, 1, 4, CutMethod::kReEncode, 0},
        Case{"Dat", "dat", 6, {"-target", "pal-vcd"}, 1, 4, CutMethod::kReEncode, 0},
        Case{"Mp4_IntoDat", "mp4", 6, kQuick, 1, 4, CutMethod::kReEncode, 0, 1, false, 0, "dat"}),
    [](const testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

// A damaged key frame inside the copied part: the copy would carry the damage, which the
// decode check finds, so the stretch is re-encoded (the decoder conceals what it can).
TEST(EngineFallback, DamagedCopyIsReEncoded) {
  QTemporaryDir folder;
  const QString source = folder.filePath("damaged.mp4"), made = folder.filePath("made.mp4");
  ASSERT_NO_THROW(MakeClip(source, 8, kH264));
  qint64 position = -1, size = 0;
  for (const QString& line : Probe(source, "packet=pts_time,pos,size", "v:0").split('\n')) {
    if (line.section(',', 0, 0).toDouble() == 4.0) {
      size = line.section(',', 1, 1).toLongLong();  // ffprobe's own order: pts_time, size, pos
      position = line.section(',', 2, 2).toLongLong();
    }
  }
  ASSERT_GT(position, 0);
  QFile file(source);
  ASSERT_TRUE(file.open(QIODevice::ReadWrite));
  file.seek(position + size / 2);  // the slice data, not the headers that mark it a key frame
  file.write(QByteArray(int(std::min<qint64>(200, size / 3)), '\x5a'));
  file.close();

  CutReport report;
  try {
    report = RunCut(CutArguments{.input = source, .output = made, .start = 2.52, .end = 7.36});
  } catch (const CutError& error) {
    FAIL() << error.what();
  }
  EXPECT_EQ(report.method, CutMethod::kReEncode);
  EXPECT_TRUE(report.text.startsWith("Re-encoded: the smart cut failed its check"))
      << report.text.toStdString();
  EXPECT_EQ(DecodeErrors(made), "");
  EXPECT_EQ(FrameHashes(made).size(), 121);
  EXPECT_TRUE(HiddenWorkFiles(folder.path()).isEmpty());
}

// A copy of `from` whose video carries a Dolby Vision configuration record, which the ffmpeg
// program cannot write.
void CopyWithDolbyVisionRecord(const QString& from, const QString& to, int profile, int compatibility) {
  Source source(from);
  AVFormatContext* output = nullptr;
  ASSERT_GE(avformat_alloc_output_context2(&output, nullptr, nullptr, to.toUtf8().constData()), 0);
  output->strict_std_compliance = FF_COMPLIANCE_UNOFFICIAL;  // MP4's muxer writes the record only so
  for (unsigned i = 0; i < source.context()->nb_streams; ++i) {
    AVStream* stream = avformat_new_stream(output, nullptr);
    avcodec_parameters_copy(stream->codecpar, source.stream(int(i))->codecpar);
    stream->time_base = source.stream(int(i))->time_base;
  }
  size_t size = 0;
  AVDOVIDecoderConfigurationRecord* record = av_dovi_alloc(&size);
  record->dv_version_major = 1;
  record->dv_profile = profile;
  record->dv_level = 4;
  record->rpu_present_flag = record->bl_present_flag = 1;
  record->dv_bl_signal_compatibility_id = compatibility;
  ASSERT_TRUE(AddStreamSideData(output->streams[source.videoIndex()], AV_PKT_DATA_DOVI_CONF,
                                reinterpret_cast<uint8_t*>(record), size));
  av_free(record);
  ASSERT_GE(avio_open(&output->pb, to.toUtf8().constData(), AVIO_FLAG_WRITE), 0);
  ASSERT_GE(avformat_write_header(output, nullptr), 0);
  PacketHandle packet = NewPacket();
  while (source.read(packet.get())) {
    av_packet_rescale_ts(packet.get(), source.stream(packet->stream_index)->time_base,
                         output->streams[packet->stream_index]->time_base);
    ASSERT_GE(av_interleaved_write_frame(output, packet.get()), 0);
  }
  av_write_trailer(output);
  avio_closep(&output->pb);
  avformat_free_context(output);
}

// A record whose base layer shows HDR10 alone goes along with a smart cut; one whose base
// layer needs its metadata to be seen (profile 5) is not mixed with frames of ours.
TEST(EngineDolbyVision, RecordKeptOrStretchReEncoded) {
  const struct {
    int profile, compatibility;
    CutMethod method;
  } cases[] = {{8, 1, CutMethod::kSmartCut}, {5, 0, CutMethod::kReEncode}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.profile);
    QTemporaryDir folder;
    const QString plain = folder.filePath("plain.mp4"), source = folder.filePath("source.mp4"),
                  made = folder.filePath("made.mp4");
    ASSERT_NO_THROW(MakeClip(plain, 6,
                             {"-c:v", "libx265", "-preset", "ultrafast", "-pix_fmt", "yuv420p10le",
                              "-x265-params", "keyint=25:log-level=error", "-c:a", "aac"}));
    CopyWithDolbyVisionRecord(plain, source, c.profile, c.compatibility);
    ASSERT_EQ(Probe(source, "stream_side_data=dv_profile", "v:0"), QString::number(c.profile));
    CutReport report;
    try {
      report = RunCut(CutArguments{.input = source, .output = made, .start = 1.5, .end = 4.5});
    } catch (const CutError& error) {
      FAIL() << error.what();
    }
    EXPECT_EQ(report.method, c.method) << report.text.toStdString();
    if (c.method == CutMethod::kSmartCut) {
      EXPECT_EQ(Probe(made, "stream_side_data=dv_profile,dv_bl_signal_compatibility_id", "v:0"),
                QString("%1,%2").arg(c.profile).arg(c.compatibility));
    } else {
      EXPECT_TRUE(report.text.contains("Dolby Vision picture (profile 5)")) << report.text.toStdString();
    }
    EXPECT_EQ(DecodeErrors(made), "");
  }
}

}  // namespace
