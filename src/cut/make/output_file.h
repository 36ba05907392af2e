// The one muxer a smart cut writes: which of the source's streams it keeps, their facts and
// tags, and every packet, with failures told in words.
#pragma once

#include <QString>
#include <QStringList>
#include <vector>

#include "cut/media/av.h"
#include "cut/media/source.h"

namespace vintrel::cut {

// The muxer for a file name's type: mp4/m4v, mov, mkv; nullptr for other types.
const AVOutputFormat* SmartCutFormat(const QString& path);

// A subtitle stream the output holds in another format than the source (text only).
struct SubtitleConversion {
  int sourceIndex = -1;
  AVCodecID to = AV_CODEC_ID_NONE;
};

// Why a source's streams cannot go into this output type as they are; empty when they can.
// Subtitle streams that need converting are listed in `conversions`.
QString StreamObstacle(const Source& source, const AVOutputFormat* format,
                       std::vector<SubtitleConversion>* conversions = nullptr);

class OutputFile {
 public:
  // Keeps the video, every audio stream and every subtitle stream, with their tags and
  // dispositions, the file's tags, the chapters within [start, end) (seconds of the source's
  // clock), and the video's display matrix.
  OutputFile(const QString& path, const Source& source, double start, double end);
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // The output stream of a source stream; -1 when it is not kept.
  int streamFor(int sourceIndex) const;
  AVStream* stream(int outputIndex) const { return context_->streams[outputIndex]; }
  void setCodec(int outputIndex, const AVCodecContext* encoder);  // for converted subtitles

  void start();
  // `packet`'s times are in the source stream's time base; it goes to that stream's output.
  void write(int sourceIndex, AVPacket* packet);
  void finish();

 private:
  QString path_;
  AVFormatContext* context_ = nullptr;
  const Source& source_;
  std::vector<int> outputOf_;
  bool started_ = false;
};

// A muxer's or the file system's failure as a line for the user, the reason first.
QString WriteProblem(int error, const QString& folder);

}  // namespace vintrel::cut
