#include "marker.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace bench {

std::optional<int> MarkerSecond(Rgb p, int clip) {
  const int high = std::max({p.r, p.g, p.b}), low = std::min({p.r, p.g, p.b});
  if (high - low > 24) return std::nullopt;  // not grey: the picture around the marker
  const double level = (p.r + p.g + p.b) / 3.0;
  const double second = clip == 0 ? (level - kMarkerLow) / kMarkerStep : (kMarkerHigh - level) / kMarkerStep;
  const long whole = std::lround(second);
  if (std::abs(second - whole) > 0.4 || whole < 0 || whole >= kClipSeconds) return std::nullopt;
  return static_cast<int>(whole);
}

bool MarkerShows(Rgb pixel, int clip, int second) {
  const std::optional<int> s = MarkerSecond(pixel, clip);
  return s && *s == second;
}

Point MarkerOnScreen(int areaX, int areaY, int areaWidth, int areaHeight) {
  const double scale = std::min(double(areaWidth) / kClipWidth, double(areaHeight) / kClipHeight);
  const double left = (areaWidth - kClipWidth * scale) / 2, top = (areaHeight - kClipHeight * scale) / 2;
  const double middle = kMarkerSize / 2.0 * scale;
  return {areaX + static_cast<int>(std::lround(left + middle)),
          areaY + static_cast<int>(std::lround(top + middle))};
}

}  // namespace bench
