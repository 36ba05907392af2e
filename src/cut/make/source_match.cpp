#include "cut/make/source_match.h"

namespace vintrel::cut {

void CopyColour(const AVCodecParameters* source, AVCodecContext* context) {
  context->color_range = source->color_range;
  context->color_primaries = source->color_primaries;
  context->color_trc = source->color_trc;
  context->colorspace = source->color_space;
  context->chroma_sample_location = source->chroma_location;
  context->field_order = source->field_order;
}

QString X264Level(int level) {
  // 9 stands for level 1b, which has no number of this form: x264 then picks the level itself.
  if (level <= 0 || level == 9) return {};
  return QString("%1.%2").arg(level / 10).arg(level % 10);
}

QString X265LevelParameter(int level) {
  return level > 0 ? QString(":level-idc=%1").arg(level / 30.0, 0, 'f', 1) : QString();
}

}  // namespace vintrel::cut
