#include "cut/plan/cut_choice.h"

#include <QFileInfo>
#include <QStringList>
#include <algorithm>

#include "cut/media/containers.h"
#include "cut/time_text.h"

namespace vintrel::cut {

QString LowerExtension(const QString& path) { return QFileInfo(path).suffix().toLower(); }

QString StretchProblem(double start, double end, double videoEnd) {
  if (end <= start) return "The end of the stretch must come after its start.";
  if (videoEnd > 0 && start >= videoEnd)
    return QString("The stretch starts after the end of the video (%1).").arg(ClockText(videoEnd));
  return {};
}

double StretchEnd(double end, double videoEnd) { return videoEnd > 0 ? std::min(end, videoEnd) : end; }

QString SmartCutObstacle(const SmartCutInput& input) {
  if (input.forceReEncode) return "a re-encode was asked for";
  // The smart cut's types hold each other's H.264/HEVC as it is.
  const ContainerFacts* output = ContainerOfType(input.outputType);
  const ContainerFacts* source = ContainerOfType(input.inputType);
  if (!output || !output->smartCut || !source || !source->smartCut) {
    if (input.outputType == input.inputType)
      return QString("only .mp4, .mov, .m4v and .mkv files are cut without re-encoding");
    return QString("a .%1 file cannot hold the video of a .%2 file as it is")
        .arg(input.outputType, input.inputType);
  }
  if (input.videoCodec != "h264" && input.videoCodec != "hevc")
    return QString("only H.264 and HEVC video is cut without re-encoding (this is %1)").arg(input.videoCodec);
  if (input.rotation != 0 && !output->displayMatrix)
    return "a .mkv file made here cannot keep the video's rotation";
  return {};
}

}  // namespace vintrel::cut
