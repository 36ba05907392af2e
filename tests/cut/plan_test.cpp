// The plan as data: which stretches are smart-cut, which frames are encoded and copied, and
// the argument lists the engine hands to ffmpeg.
#include "cut/plan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <vector>

#include "cut/commands.h"

using namespace vintrel::cut;

namespace {

MediaInfo Media(const QString& codec = "h264", Rational rate = {25, 1}, double start = 0) {
  MediaInfo media;
  media.startTime = start;
  media.duration = 60;
  StreamInfo video;
  video.type = "video";
  video.codec = codec;
  video.profile = "High";
  video.level = 30;
  video.pixelFormat = "yuv420p";
  video.frameRate = video.averageFrameRate = rate;
  video.startTime = start;
  media.streams << video;
  StreamInfo audio;
  audio.index = 1;
  audio.type = "audio";
  audio.codec = "aac";
  media.streams << audio;
  return media;
}

CutRequest Request(double start, double end, const QString& in = "in.mp4", const QString& out = "out.mp4") {
  return CutRequest{in, out, start, end, false};
}

// Decode-ordered packets of closed GOPs of `gop` frames with B-frame pairs (I P B B P B B ...).
QList<Packet> ClosedGops(const MediaInfo& media, int firstFrame, int frames, int gop) {
  QList<Packet> packets;
  auto add = [&](int frame, bool key) { packets << Packet{FrameTime(media, frame), 0, key}; };
  for (int group = firstFrame; group < firstFrame + frames; group += gop) {
    add(group, true);
    for (int anchor = group + 3; anchor < group + gop; anchor += 3) {
      add(anchor, false);
      add(anchor - 2, false);
      add(anchor - 1, false);
    }
    for (int rest = group + 1 + (gop - 1) / 3 * 3; rest < group + gop; ++rest) add(rest, false);
  }
  return packets;
}

}  // namespace

TEST(Plan, WhichInputsAreSmartCut) {
  const struct {
    QString codec, in, out;
    bool variableRate, forced;
    bool smart;
  } cases[] = {
      {"h264", "a.mp4", "b.mp4", false, false, true},        {"hevc", "a.MOV", "b.mp4", false, false, true},
      {"h264", "a.mkv", "b.m4v", false, false, true},        {"h264", "a.mp4", "b.avi", false, false, false},
      {"h264", "a.ts", "b.ts", false, false, false},         {"mpeg4", "a.mp4", "b.mp4", false, false, false},
      {"h264", "a.mp4", "b.mp4", true, false, false},        {"h264", "a.mp4", "b.mp4", false, true, false},
      {"mpeg1video", "a.dat", "b.dat", false, false, false},
  };
  for (const auto& c : cases) {
    MediaInfo media = Media(c.codec);
    if (c.variableRate) media.streams[0].averageFrameRate = {2411, 100};
    CutRequest request = Request(1, 2, c.in, c.out);
    request.forceReEncode = c.forced;
    const QString obstacle = SmartCutObstacle(media, request);
    EXPECT_EQ(obstacle.isEmpty(), c.smart)
        << c.in.toStdString() << " -> " << c.out.toStdString() << ": " << obstacle.toStdString();
  }
}

TEST(Plan, RotationKeptOnlyWhereTheCutCanWriteIt) {
  MediaInfo media = Media();
  media.streams[0].rotation = -90;
  EXPECT_TRUE(SmartCutObstacle(media, Request(1, 2, "a.mp4", "b.mov")).isEmpty());
  EXPECT_FALSE(SmartCutObstacle(media, Request(1, 2, "a.mp4", "b.mkv")).isEmpty());
}

TEST(Plan, StretchOutsideTheVideo) {
  const MediaInfo media = Media();
  EXPECT_TRUE(StretchProblem(media, Request(1, 59.99)).isEmpty());
  EXPECT_FALSE(StretchProblem(media, Request(1, 61)).isEmpty());
  EXPECT_FALSE(StretchProblem(media, Request(60, 61)).isEmpty());
  EXPECT_FALSE(StretchProblem(media, Request(5, 5)).isEmpty());
}

TEST(Plan, LeadingPicturesDisqualifyAKeyFrame) {
  const MediaInfo media = Media();
  QList<Packet> packets = ClosedGops(media, 0, 150, 50);
  EXPECT_EQ(EntryCandidates(media, packets, 0.5, 6), (QList<double>{2.0, 4.0}));
  // An open GOP: a frame displayed before the key frame at 2 s follows it in decode order.
  const auto keyAt2s =
      std::find_if(packets.begin(), packets.end(), [](const Packet& p) { return p.key && p.pts == 2.0; }) -
      packets.begin();
  packets.insert(keyAt2s + 1, Packet{FrameTime(media, 48), 0, false});
  EXPECT_EQ(EntryCandidates(media, packets, 0.5, 6), QList<double>{4.0});
}

TEST(Plan, SmartCutLayouts) {
  const MediaInfo media = Media();
  const QList<Packet> endWindow = ClosedGops(media, 0, 300, 50);
  const struct {
    double start, end;
    std::optional<double> startEntry, endEntry;
    CutMethod method;
    int head, copy, tail;
  } cases[] = {
      {2.0, 6.0, 2.0, 4.0, CutMethod::kSmartCut, 0, 100, 0},         // key frame to key frame: all copied
      {1.0, 6.0, 2.0, 4.0, CutMethod::kSmartCut, 25, 100, 0},        // head re-encoded up to the key frame
      {1.0, 4.16, 2.0, 4.0, CutMethod::kSmartCut, 25, 54, 0},        // ends after a B pair: exact copy
      {1.0, 4.2, 2.0, 4.0, CutMethod::kSmartCut, 25, 50, 5},         // the copy would keep a wrong frame
      {1.0, 4.2, 2.0, std::nullopt, CutMethod::kReEncode, 0, 0, 0},  // ... and no clean key frame there
      {1.0, 1.8, std::nullopt, std::nullopt, CutMethod::kReEncode, 0, 0, 0},
      {1.01, 2.5, 2.0, 2.0, CutMethod::kSmartCut, 24, 13, 0},  // a start between frames: the next frame
  };
  for (const auto& c : cases) {
    const CutPlan plan = PlanSmartCut(media, Request(c.start, c.end), c.startEntry, endWindow, c.endEntry);
    SCOPED_TRACE(testing::Message() << c.start << ".." << c.end);
    EXPECT_EQ(plan.method, c.method) << plan.reason.toStdString();
    if (plan.method != CutMethod::kSmartCut) continue;
    EXPECT_EQ(plan.layout.headFrames, c.head);
    EXPECT_EQ(plan.layout.copyFrames, c.copy);
    EXPECT_EQ(plan.layout.tailFrames, c.tail);
    EXPECT_EQ(plan.expectedFrames, c.head + c.copy + c.tail);
  }
}

TEST(Plan, ContainerStartTimeIsNotCountedTwice) {
  const MediaInfo media = Media("h264", {25, 1}, 1.4);  // as MPEG-TS and some MKV files begin
  // Packet times are relative to the container start, as ParsePackets gives them.
  const QList<Packet> packets = ClosedGops(media, 0, 150, 50);
  const CutPlan plan = PlanSmartCut(media, Request(1.0, 4.0), 2.0, packets, 4.0);
  ASSERT_EQ(plan.method, CutMethod::kSmartCut);
  EXPECT_EQ(plan.layout.headFrames, 25);
  EXPECT_EQ(plan.layout.copyFrames, 50);
  const QStringList probe = PacketProbeArguments("in.mp4", media, 1.0, 4.0);
  EXPECT_TRUE(probe.contains("2.400000%5.400000")) << probe.join(' ').toStdString();
}

TEST(Commands, ReEncodeChoicesByType) {
  const struct {
    QString in, out;
    Rational rate;
    QStringList expected;
    QString absent;
  } cases[] = {
      {"a.dat", "b.dat", {25, 1}, {"-target", "pal-vcd"}, "-q:v"},
      {"a.DAT", "b.DAT", {30000, 1001}, {"-target", "ntsc-vcd"}, "-q:v"},
      {"a.dat", "b.dat", {24000, 1001}, {"-target", "film-vcd"}, "-q:v"},
      {"a.mp4", "b.mp4", {25, 1}, {"-c:v", "libx264", "-crf", "16"}, "-q:v"},
      {"a.mkv", "b.mkv", {25, 1}, {"-crf"}, "-q:v"},
      {"a.WMV", "b.WMV", {25, 1}, {"-q:v", "2", "-c:a", "wmav2"}, "-crf"},
      {"a.avi", "b.avi", {25, 1}, {"-q:v", "2"}, "-crf"},
      {"a.divx", "b.divx", {25, 1}, {"-f", "avi"}, "-crf"},
      {"a.mpg", "b.mpg", {25, 1}, {"-q:v"}, "-crf"},
      {"a.flv", "b.flv", {25, 1}, {"-ar", "44100"}, "-crf"},
  };
  for (const auto& c : cases) {
    const QStringList options = ReEncodeCodecOptions(Media("mpeg4", c.rate), Request(0, 1, c.in, c.out));
    const QString text = options.join(' ');
    EXPECT_TRUE(text.contains(c.expected.join(' '))) << text.toStdString();
    EXPECT_FALSE(options.contains(c.absent)) << text.toStdString();
  }
}

TEST(Commands, PathsAreNeverOptionsOrProtocols) {
  const MediaInfo media = Media();
  const CutRequest request = Request(1, 2, "-in:put.mp4", "/tmp/$(rm x) 'q'.mp4");
  const QStringList args =
      ReEncodeArguments(media, request, PlanReEncode(media, request, "test"), "/tmp/.t.mp4");
  for (const QString& argument : args) EXPECT_FALSE(argument.startsWith("-in:")) << argument.toStdString();
  EXPECT_TRUE(args.contains(FileArgument("-in:put.mp4")));
  EXPECT_TRUE(FileArgument("-in:put.mp4").startsWith("file:/"));
  EXPECT_EQ(args.last(), "file:/tmp/.t.mp4");
}

TEST(Commands, SmartCutPartsMatchTheSource) {
  MediaInfo media = Media("h264");
  media.streams[0].colorPrimaries = "bt709";
  const QString head = SmartEncodeArguments(media, "in.mp4", {1.0, 25}, "/t/head.ts").join(' ');
  for (const char* expected : {"-profile:v high", "-level:v 3.0", "-pix_fmt yuv420p",
                               "-color_primaries bt709", "-frames:v 25", "-noautorotate", "-f mpegts"})
    EXPECT_TRUE(head.contains(expected)) << expected;
  const QString copy = SmartCopyArguments(media, "in.mp4", 2.0, 100, "/t/copy.ts").join(' ');
  EXPECT_TRUE(copy.contains("-c copy") && copy.contains("-video_track_timescale 90000") &&
              copy.contains("-frames:v 100"));
  media.streams[0].codec = "hevc";
  EXPECT_TRUE(SmartCopyArguments(media, "in.mp4", 2.0, 100, "/t/c.ts").contains("hevc_mp4toannexb"));
  // Parts come through pipes, or straight from a file (any name, from its key frame up to a
  // decoding time).
  EXPECT_EQ(ConcatList({{"pipe:3", 1}, {"/v/it's.mp4", 4, 2, 5.9}, {"pipe:4", 0.5}}),
            "ffconcat version 1.0\nfile 'pipe:3'\nduration 1.000000\n"
            "file 'file:/v/it'\\''s.mp4'\nduration 4.000000\ninpoint 2.000000\noutpoint 5.900000\n"
            "file 'pipe:4'\nduration 0.500000\n");
}

namespace {

// Every stream's packets as a demuxer reads them: the video of ClosedGops (decoding two
// frames ahead of showing), each followed by an audio packet of about the same time.
QList<Packet> Interleaved(const MediaInfo& media, int firstFrame, int frames, int gop) {
  QList<Packet> packets;
  const double frame = 1.0 / 25;
  int decoded = 0;
  for (Packet video : ClosedGops(media, firstFrame, frames, gop)) {
    video.dts = FrameTime(media, firstFrame + decoded++) - 2 * frame;
    video.stream = 0;
    packets << video;
    packets << Packet{video.dts + frame / 2, video.dts + frame / 2, true, -1, 0, 1};
  }
  return packets;
}

}  // namespace

TEST(Plan, CopiedPacketsAreReadStraightFromTheSourceWhereTheJoinCanStopExactly) {
  MediaInfo media = Media();
  media.formatName = "mov,mp4,m4a,3gp,3g2,mj2";
  media.streams[0].timeBase = {1, 12800};
  const QList<Packet> packets = Interleaved(media, 0, 300, 50);  // 12 s, a key frame every 2 s
  const double frame = 1.0 / 25;
  auto dtsOf = [&](int shownFrame) {
    for (const Packet& packet : packets)
      if (packet.stream == 0 && FrameIndex(media, packet.pts) == shownFrame) return packet.dts;
    return -1.0;
  };
  CutPlan plan;
  plan.method = CutMethod::kSmartCut;
  plan.frameRate = 25;
  // Head to 4 s, copy to the key frame at 10 s, tail after it.
  plan.layout = {3.5, 12, 4, 150, 10, 10};
  std::optional<DirectCopy> direct = DirectCopyBounds(media, plan, packets, packets);
  ASSERT_TRUE(direct.has_value());
  EXPECT_DOUBLE_EQ(direct->inpoint, 4);
  EXPECT_DOUBLE_EQ(direct->outpoint, dtsOf(250) - frame / 2) << "just before the tail's key frame";
  EXPECT_EQ(direct->timeScale, 12800);

  // A copy that ends at the end mark inside a GOP stops before the first packet not copied
  // in decoding order: the P-frame shown after the end, decoded before the frame at it.
  plan.layout = {3.5, 12, 4, 155, 0, 0};  // to frame 255, a P-frame (I at 250, P at 253, 256)
  direct = DirectCopyBounds(media, plan, packets, packets);
  ASSERT_TRUE(direct.has_value());
  EXPECT_DOUBLE_EQ(direct->outpoint, std::min(dtsOf(256), dtsOf(255)) - frame / 2);

  // An audio packet past the stop, read before the last copied video packet, would end the
  // source there: then a run copies the packets first.
  plan.layout = {3.5, 12, 4, 150, 10, 10};
  QList<Packet> early = packets;
  const int keyAt10 = int(std::find_if(early.begin(), early.end(),
                                       [&](const Packet& p) {
                                         return p.stream == 0 && p.key && FrameIndex(media, p.pts) == 250;
                                       }) -
                          early.begin());
  early.insert(keyAt10 - 6, Packet{10.3, 10.3, true, -1, 0, 1});
  EXPECT_FALSE(DirectCopyBounds(media, plan, early, early).has_value());

  // And where the join cannot take the source's packets as they are.
  for (const auto& change : std::vector<std::function<void(MediaInfo&)>>{
           [](MediaInfo& m) { m.streams[0].codec = "hevc"; },
           [](MediaInfo& m) { m.formatName = "matroska,webm"; },
           [](MediaInfo& m) {
             m.streams[0].timeBase = {1001, 30000};
           },
           [](MediaInfo& m) { std::swap(m.streams[0].index, m.streams[1].index); }}) {
    MediaInfo other = media;
    change(other);
    EXPECT_FALSE(DirectCopyBounds(other, plan, packets, packets).has_value());
  }
}
