#pragma once
// Where every control of the main window stands, in pixels, at the window's first and
// smallest size; and how each follows the window when it is made larger.
#include <QRect>
#include <QSize>
#include <algorithm>
#include <cmath>

namespace vintrel::layout {

inline constexpr QSize kWindow{497, 370};
inline constexpr QRect kVideo{2, 3, 404, 288};
inline constexpr QRect kSlider{1, 291, 405, 25};
// The position, and the video's length right under it in the same form: read together as
// "where I am of how long", at the top of the column where the eye looks for them. Side by
// side they would not fit the column once hours or hundredths show.
inline constexpr QRect kPositionLabel{423, 2, 57, 12};
inline constexpr QRect kDurationLabel{423, 15, 57, 12};
inline constexpr QRect kPlayButton{417, 30, 67, 22};
inline constexpr QRect kStopButton{417, 61, 67, 22};
inline constexpr QRect kOpenButton{417, 92, 67, 22};
inline constexpr QRect kStartLabel{423, 132, 57, 12};
inline constexpr QRect kMarkStartButton{416, 148, 69, 22};
inline constexpr QRect kEndLabel{423, 184, 57, 12};
inline constexpr QRect kMarkEndButton{418, 200, 67, 22};
inline constexpr QRect kHelpButton{418, 240, 67, 22};
inline constexpr QRect kAddSegmentButton{408, 268, 85, 22};
inline constexpr QRect kLengthLabel{26, 319, 57, 12};
inline constexpr QRect kCostLabel{100, 318, 306, 14};
inline constexpr QRect kPlaySelectedButton{7, 335, 102, 22};
inline constexpr QRect kSaveButton{115, 335, 67, 22};
inline constexpr QRect kWebsiteButton{188, 335, 79, 22};
// Tracks beside Save's row: which streams a save keeps.
inline constexpr QRect kTracksButton{272, 335, 60, 22};
inline constexpr QRect kProgressBar{337, 335, 154, 23};

// What a control keeps when the window grows: its distance to the right edge (else to the
// left), its distance to the bottom edge (else to the top), and whether it takes the extra
// width or height for itself.
struct Follow {
  bool right = false;
  bool bottom = false;
  bool widens = false;
  bool heightens = false;
};

struct Spot {
  const char* name;  // the control's object name
  QRect design;      // where it stands at kWindow
  Follow follow;
  bool showsTime = false;  // a time label, wider when it shows hundredths
};

// A time label's width once it shows hundredths (" 10 : 59 : 59.99"), about its own middle:
// in the right column it still clears the picture and the window's edge.
inline constexpr int kTimeToHundredthsWidth = 88;

// The picture takes the extra room; the slider spans the width under it; the column of
// buttons stays against the right edge, Help closing it without a gap of its own, the row of
// buttons against the bottom edge, the bar between them and the right edge.
inline constexpr Follow kGrows{false, false, true, true};
inline constexpr Follow kRightColumn{true, false, false, false};
inline constexpr Follow kBottomRow{false, true, false, false};
inline constexpr Follow kBottomSpan{false, true, true, false};

inline constexpr Spot kSpots[] = {
    {"videoArea", kVideo, kGrows},
    {"positionSlider", kSlider, kBottomSpan},
    {"positionLabel", kPositionLabel, kRightColumn, true},
    {"durationLabel", kDurationLabel, kRightColumn, true},
    {"playButton", kPlayButton, kRightColumn},
    {"stopButton", kStopButton, kRightColumn},
    {"openButton", kOpenButton, kRightColumn},
    {"startLabel", kStartLabel, kRightColumn, true},
    {"markStartButton", kMarkStartButton, kRightColumn},
    {"endLabel", kEndLabel, kRightColumn, true},
    {"markEndButton", kMarkEndButton, kRightColumn},
    {"helpButton", kHelpButton, kRightColumn},
    {"addSegmentButton", kAddSegmentButton, kRightColumn},
    {"lengthLabel", kLengthLabel, kBottomRow, true},
    {"costLabel", kCostLabel, kBottomSpan},
    {"playSelectedButton", kPlaySelectedButton, kBottomRow},
    {"saveButton", kSaveButton, kBottomRow},
    {"websiteButton", kWebsiteButton, kBottomRow},
    {"tracksButton", kTracksButton, kBottomRow},
    {"progressBar", kProgressBar, kBottomSpan},
};

// The segment list, once shown, stands right of everything else at this width (scaled as the
// controls are) and the window's height; the other controls are placed as in a window that much
// narrower.
inline constexpr int kSegmentPanelWidth = 380;

// The line height of the font the design's controls were drawn for, in pixels.
inline constexpr double kDesignLineHeight = 15;
// How much a maximised window on a large screen enlarges its controls at most, beyond what
// the desktop's font asks for.
inline constexpr double kMostGrowth = 1.6;

// How much larger than at kWindow the controls stand, for a window of `size` on a desktop
// whose font is `fontScale` times the design's: that much for the font, and more for a window
// with room to spare, so that a maximised window has controls as easy to hit and read as its
// picture is large, rather than a tiny column in a corner.
inline double controlScale(QSize size, double fontScale) {
  const double room =
      std::min(size.width() / (kWindow.width() * fontScale), size.height() / (kWindow.height() * fontScale));
  return fontScale * std::clamp(1 + (room - 1) * 0.35, 1.0, kMostGrowth);
}

// Where a control stands in a window of `size` whose controls are `scale` times their design
// size: each edge keeps its distance (scaled) to the window's edge it follows. A size below
// the smallest window counts as that.
inline QRect placed(const Spot& spot, QSize size, bool hundredths = false, double scale = 1) {
  auto near = [scale](int design) { return static_cast<int>(std::lround(design * scale)); };
  auto far = [near](int design, int window, int extent) { return extent - near(window - design); };
  size = size.expandedTo(QSize(near(kWindow.width()), near(kWindow.height())));
  const QRect& d = spot.design;
  const int right = d.x() + d.width(), bottom = d.y() + d.height();
  const int x0 = spot.follow.right ? far(d.x(), kWindow.width(), size.width()) : near(d.x());
  const int x1 =
      spot.follow.right || spot.follow.widens ? far(right, kWindow.width(), size.width()) : near(right);
  const int y0 = spot.follow.bottom ? far(d.y(), kWindow.height(), size.height()) : near(d.y());
  const int y1 = spot.follow.bottom || spot.follow.heightens ? far(bottom, kWindow.height(), size.height())
                                                             : near(bottom);
  QRect r(x0, y0, x1 - x0, y1 - y0);
  if (hundredths && spot.showsTime) {
    const int wider = near(kTimeToHundredthsWidth) - r.width();
    r.adjust(-wider / 2, 0, wider - wider / 2, 0);
  }
  return r;
}

}  // namespace vintrel::layout
