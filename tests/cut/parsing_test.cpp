// What the engine reads from the outside: times typed by people, ffprobe's JSON, packet
// bytes, the encoder's error output and the command line.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <stdexcept>
#include <thread>

#include "cut/child_process.h"
#include "cut/command_line_options.h"
#include "cut/cut_error.h"
#include "cut/media_info.h"
#include "cut/time_text.h"
#include "cut/verify.h"

using namespace vintrel::cut;

TEST(TimeText, ReadsSecondsAndClockForms) {
  const struct {
    const char* text;
    std::optional<double> seconds;
  } cases[] = {
      {"12.5", 12.5},
      {"0", 0.0},
      {".5", 0.5},
      {"1:02", 62.0},
      {"1:02:03.250", 3723.25},
      {"10:00:00", 36000.0},
      {" 7 ", 7.0},
      {"", std::nullopt},
      {"-1", std::nullopt},
      {"1:75", std::nullopt},
      {"1:60:00", std::nullopt},
      {"1:2:3:4", std::nullopt},
      {"abc", std::nullopt},
      {"1e3", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseTimeText(c.text), c.seconds) << c.text;
}

TEST(TimeText, ClockTextRoundsToSeconds) {
  EXPECT_EQ(ClockText(0), "0:00");
  EXPECT_EQ(ClockText(61.6), "1:02");
  EXPECT_EQ(ClockText(3723), "1:02:03");
}

const char* kProbe = R"({
  "streams": [
    {"index": 0, "codec_type": "video", "codec_name": "h264", "profile": "High", "level": 31,
     "pix_fmt": "yuv420p", "width": 320, "height": 240, "r_frame_rate": "30000/1001",
     "avg_frame_rate": "30000/1001", "start_time": "1.500000", "duration": "10.010000",
     "color_space": "bt709", "tags": {"language": "eng"},
     "side_data_list": [{"side_data_type": "Display Matrix", "rotation": -90}]},
    {"index": 1, "codec_type": "audio", "codec_name": "aac", "sample_rate": "48000",
     "start_time": "1.500000", "tags": {"language": "fra"}},
    {"index": 2, "codec_type": "video", "codec_name": "mjpeg", "disposition": {"attached_pic": 1}}
  ],
  "format": {"format_name": "mov,mp4,m4a,3gp,3g2,mj2", "start_time": "1.500000", "duration": "10.010000"}
})";

TEST(MediaInfo, ReadsWhatThePlanNeeds) {
  const MediaInfo media = ParseMediaInfo(kProbe);
  ASSERT_NE(media.video(), nullptr);
  const StreamInfo& video = *media.video();
  EXPECT_EQ(video.codec, "h264");
  EXPECT_EQ(video.level, 31);
  EXPECT_NEAR(video.frameRate.value(), 29.97, 0.001);
  EXPECT_EQ(video.rotation, -90);
  EXPECT_EQ(video.language, "eng");
  EXPECT_DOUBLE_EQ(media.startTime, 1.5);
  EXPECT_TRUE(media.constantFrameRate());
  EXPECT_EQ(media.count("video"), 1) << "cover art is not video";
  EXPECT_EQ(media.count("audio"), 1);
}

TEST(MediaInfo, VariableRateAndMissingVideo) {
  QByteArray variable = kProbe;
  variable.replace(R"("avg_frame_rate": "30000/1001")", R"("avg_frame_rate": "2997/125")");
  EXPECT_FALSE(ParseMediaInfo(variable).constantFrameRate());
  EXPECT_THROW(ParseMediaInfo(R"({"streams": [{"index": 0, "codec_type": "audio"}], "format": {}})"),
               CutError);
  EXPECT_THROW(ParseMediaInfo("not json"), CutError);
}

TEST(MediaInfo, PacketTimesCountFromTheContainerStart) {
  const QList<Packet> packets = ParsePackets(
      R"({"packets": [{"pts_time": "2.000000", "dts_time": "1.920000", "flags": "K_"},
                      {"pts_time": "2.160000", "dts_time": "1.960000", "flags": "__"},
                      {"dts_time": "2.0", "flags": "__"}]})",
      1.5);
  ASSERT_EQ(packets.size(), 2) << "a packet without a timestamp cannot be placed";
  EXPECT_NEAR(packets[0].pts, 0.5, 1e-9);
  EXPECT_TRUE(packets[0].key);
  EXPECT_FALSE(packets[1].key);
}

TEST(MediaInfo, ListingOfEveryStreamKeepsTheVideosPacketsWithTheirPlaces) {
  const QList<Packet> packets = ParsePackets(
      R"({"packets": [{"stream_index": 1, "pts_time": "0.000000", "flags": "K_", "pos": "48", "size": "9"},
                      {"stream_index": 0, "pts_time": "0.080000", "dts_time": "0.000000", "flags": "K_",
                       "pos": "1000", "size": "28446"},
                      {"stream_index": 0, "pts_time": "0.160000", "flags": "__"}]})",
      0, 0);
  ASSERT_EQ(packets.size(), 2) << "the audio packet is not the video's";
  EXPECT_EQ(packets[0].position, 1000);
  EXPECT_EQ(packets[0].size, 28446);
  EXPECT_EQ(packets[1].position, -1) << "no position given";
}

TEST(MediaInfo, BytesAtAPacketsPlaceAreItsDataOnlyWhenTheirLengthsCoverThemExactly) {
  const struct {
    const char* hex;
    bool whole;
  } cases[] = {
      {"00000002 0605 00000003 658884", true},
      {"00000002 0605 00000003 65888400", false},  // a byte too many
      {"00000002 0605 00000004 658884", false},    // runs past the end
      {"81006580 000070de 6588", false},           // a Matroska block header first
      {"", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(IsWholeLengthPrefixedAccessUnit(QByteArray::fromHex(QByteArray(c.hex).replace(' ', ""))),
              c.whole)
        << c.hex;
}

TEST(Verify, FrameCrcListingGivesCountAndSpans) {
  const MadeListing listing = ParseFrameCrcListing(
      "#tb 0: 1/90000\n#media_type 0: video\n#tb 1: 1/48000\n#media_type 1: audio\n"
      "0,          0,       7200,     3600,    73457, 0x1ff46243\n"
      "1,          0,          0,     1024,      186, 0x1ff46243\n"
      "0,       3600,      18000,     3600,     1200, 0x435062a6, F=0x0\n"
      "0,       7200,       3600,     3600,     1100, 0x435062a6, F=0x0, S=1, 8\n"
      "0,      10800, -9223372036854775808, 3600,  900, 0x435062a6, F=0x0\n"
      "1,       1024,       1024,      160,      180, 0x435062a6\n"
      "[aac @ 0x5581] an error line\n");
  EXPECT_EQ(listing.videoPackets, 4) << "a packet without a time still counts";
  EXPECT_NEAR(listing.video.first, 0.04, 1e-9);
  EXPECT_NEAR(listing.video.end, 0.24, 1e-9);
  EXPECT_NEAR(listing.audio.length(), (1024 + 160) / 48000.0, 1e-9);
  EXPECT_NEAR(listing.audio.packet, 1024 / 48000.0, 1e-9);
  EXPECT_EQ(ParseFrameCrcListing("#tb 0: 1/25\n").audio.length(), 0) << "no audio";
}

TEST(Verify, FrameHashesByStreamAmongOtherLines) {
  const QList<QStringList> hashes = ParseFrameHashes(
      "#format: frame checksums\n#stream#, dts, pts, duration, size, hash\n"
      "0,          0,          0,        1,  1382400, 0123456789abcdef0123456789abcdef\n"
      "[h264 @ 0x55d1] error while decoding MB 3 4\n"
      "1,          0,          0,        1,  1382400, fedcba9876543210fedcba9876543210\n"
      "0,          1,          1,        1,  1382400, 00000000000000000000000000000000\n");
  ASSERT_EQ(hashes.size(), 2);
  EXPECT_EQ(hashes[0], QStringList({"0123456789abcdef0123456789abcdef", "00000000000000000000000000000000"}));
  EXPECT_EQ(hashes[1], QStringList({"fedcba9876543210fedcba9876543210"}));
}

TEST(ChildProcess, StepsRunTogetherAndTheFirstListedFailureIsTold) {
  // Each step waits until all have started: run one after the other, none would see the rest.
  std::atomic<int> started = 0, finished = 0;
  std::atomic<bool> together = true;
  auto step = [&](const char* failure) {
    return [&, failure] {
      ++started;
      const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
      while (started < 3 && std::chrono::steady_clock::now() < giveUp) std::this_thread::yield();
      together = together && started == 3;
      ++finished;
      if (failure) throw std::runtime_error(failure);
    };
  };
  try {
    RunConcurrently({step(nullptr), step("second"), step("third")});
    ADD_FAILURE() << "no failure told";
  } catch (const std::runtime_error& failure) {
    EXPECT_STREQ(failure.what(), "second") << "the first failing step in the list's order";
  }
  EXPECT_EQ(finished, 3) << "every step ends before the failure is told";
  EXPECT_TRUE(together);
}

TEST(MediaInfo, CleanEntryByNalUnitType) {
  const struct {
    const char* codec;
    const char* dump;
    bool clean;
  } cases[] = {
      // Length-prefixed: an SEI (6) then an IDR slice (0x65: type 5).
      {"h264", "00000000: 0000 0002 0605 0000 0003 6588 84              ......e..", true},
      // A non-IDR I slice (0x41: type 1), as open-GOP encoders mark key frames.
      {"h264", "00000000: 0000 0003 419a 2000                      ....A. .", false},
      {"h264", "00000000: 0000 0001 6588 8400                      ....e...", true},   // Annex B
      {"h264", "00000000: 0000 00ff 6588                             ....e.", false},  // length overruns
      {"hevc", "00000000: 0000 0003 2a01 af00                      ....*...", true},   // CRA (21)
      {"hevc", "00000000: 0000 0003 2601 af00                      ....&...", true},   // IDR_W_RADL (19)
      {"hevc", "00000000: 0000 0003 0201 d000                      ........", false},  // TRAIL_R (1)
  };
  for (const auto& c : cases)
    EXPECT_EQ(IsCleanEntryAccessUnit(c.codec, ParseHexDump(c.dump)), c.clean) << c.codec << " " << c.dump;
}

TEST(CutError, PlainReasonFirst) {
  const struct {
    const char* encoderOutput;
    const char* start;
  } cases[] = {
      {"[mp4 @ 0x1] Error writing trailer: No space left on device\nConversion failed!",
       "There is no space left on the disk. (["},
      {"file:/out/x.mp4: Permission denied", "The folder /out cannot be written."},
      {"file:/out/x.mp4: Read-only file system", "The folder /out cannot be written."},
      {"Invalid data found when processing input\nConversion failed!",
       "The encoder failed: Invalid data found when processing input"},
      {"", "The encoder failed."},
  };
  for (const auto& c : cases)
    EXPECT_TRUE(PlainFailure(c.encoderOutput, "/out").startsWith(c.start)) << c.encoderOutput;
}

TEST(CommandLine, ArgumentsAndProblems) {
  const struct {
    QStringList arguments;
    bool usable;
    double start, end;
  } cases[] = {
      {{"in.mp4", "1.5", "0:10", "out.mp4"}, true, 1.5, 10},
      {{"--overwrite", "--reencode", "--progress=machine", "in.mp4", "0", "1:00:00", "out.mp4"},
       true,
       0,
       3600},
      {{"-dash.mp4", "1", "2", "out.mp4"}, true, 1, 2},
      {{"--", "--odd.mp4", "1", "2", "out.mp4"}, true, 1, 2},
      {{"in.mp4", "1", "2"}, false, 0, 0},
      {{"in.mp4", "x", "2", "out.mp4"}, false, 0, 0},
      {{"in.mp4", "5", "2", "out.mp4"}, false, 0, 0},
      {{"--fast", "in.mp4", "1", "2", "out.mp4"}, false, 0, 0},
  };
  for (const auto& c : cases) {
    const CommandLineOptions options = ParseCommandLine(c.arguments);
    EXPECT_EQ(options.problem.isEmpty(), c.usable) << c.arguments.join(' ').toStdString();
    if (c.usable) {
      EXPECT_EQ(options.start, c.start);
      EXPECT_EQ(options.end, c.end);
    }
  }
  const CommandLineOptions all = ParseCommandLine({"--overwrite", "--progress=machine", "a", "1", "2", "b"});
  EXPECT_TRUE(all.overwrite && all.machineProgress && !all.reEncode);
  EXPECT_EQ(all.input, "a");
  EXPECT_EQ(all.output, "b");
  EXPECT_TRUE(ParseCommandLine({"--help"}).help);
}
