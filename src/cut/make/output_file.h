// The one muxer a smart cut writes: which of the source's streams it keeps, their facts and
// tags, and every packet, with failures told in words.
#pragma once

#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

#include "cut/media/av.h"
#include "cut/media/containers.h"
#include "cut/media/source.h"

namespace vintrel::cut {

// The muxer for a file name's type, as the container table names it; nullptr for a type not
// written here.
const AVOutputFormat* OutputFormat(const QString& path);

// Why a source's streams cannot go into this output type as they are (text subtitles are
// converted); empty when they can.
QString StreamObstacle(const Source& source, const AVOutputFormat* format);
bool IsTextSubtitle(AVCodecID codec);

class OutputFile {
 public:
  // Keeps the video and what the type holds of the rest: the sound streams (or the first),
  // the subtitle streams (`cues`' where given: the streams of a file made without them), with
  // their tags and dispositions, the file's tags, the chapters within [start, end) (seconds of
  // the source's clock), the video's display matrix (not where `upright`: re-encoded turned).
  OutputFile(const QString& path, const Source& source, double start, double end,
             const Source* cues = nullptr, bool upright = false);
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // The file's chapters instead of the source's, in seconds of the file.
  struct Chapter {
    double start = 0, end = 0;
    QString title;
  };
  void setChapters(const std::vector<Chapter>& chapters);

  // The subtitle stream of the cues' source `sourceIndex` takes the format `encoder` makes.
  void setCueCodec(int sourceIndex, const AVCodecContext* encoder);
  // The source stream `sourceIndex` is re-encoded by `encoder`; false where it is not kept.
  bool setCodec(int sourceIndex, const AVCodecContext* encoder);
  bool keeps(int sourceIndex) const;
  bool keepsCue(int sourceIndex) const;
  const AVOutputFormat* format() const { return context_->oformat; }
  const ContainerFacts& facts() const { return facts_; }

  void start();
  // `packet`'s times are in the source stream's time base; it goes to that stream's output.
  void write(int sourceIndex, AVPacket* packet);
  // The same, with times in `timeBase` (a re-encoder's).
  void write(int sourceIndex, AVPacket* packet, AVRational timeBase);
  void writeCue(int sourceIndex, AVPacket* packet);
  void finish();

 private:
  // Closes the file and frees the muxer, also where the constructor throws halfway.
  struct ContextCloser {
    void operator()(AVFormatContext* context) const;
  };
  QString path_;
  const ContainerFacts& facts_;
  std::unique_ptr<AVFormatContext, ContextCloser> context_;
  void add(const AVStream* in, double start, double sourceStart, std::vector<int>& outputOf, bool upright);
  bool keepsStream(const AVStream* stream, bool cues) const;
  void addChapters(const AVFormatContext* input, double start, double end);
  static void takeCodec(AVStream* stream, const AVCodecContext* encoder);
  // To the output stream `outputOf` holds for the source stream `index`, if it is kept.
  void send(const std::vector<int>& outputOf, int index, AVRational timeBase, AVPacket* packet);
  // Throws a failed call's result (negative) in words: WriteFailed where the file system
  // refuses (no space, quota, read-only, permission, I/O error, no folder), which no other
  // way of cutting would get past; CutError where the muxer refuses what it is given.
  void check(int result) const;
  const Source& source_;
  const Source& cues_;
  std::vector<int> outputOf_, cueOutputOf_;
  bool started_ = false;
};

}  // namespace vintrel::cut
