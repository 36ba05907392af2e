#pragma once
// Where every control of the main window stands, in pixels, at the window's first and
// smallest size; and how each follows the window when it is made larger.
#include <QRect>
#include <QSize>
#include <algorithm>

namespace vintrel::layout {

inline constexpr QSize kWindow{497, 370};
inline constexpr QRect kVideo{2, 3, 404, 288};
inline constexpr QRect kSlider{1, 291, 405, 25};
inline constexpr QRect kPositionLabel{423, 14, 57, 12};
inline constexpr QRect kPlayButton{417, 30, 67, 22};
inline constexpr QRect kStopButton{417, 61, 67, 22};
inline constexpr QRect kOpenButton{417, 92, 67, 22};
inline constexpr QRect kStartLabel{423, 132, 57, 12};
inline constexpr QRect kMarkStartButton{416, 148, 69, 22};
inline constexpr QRect kEndLabel{423, 184, 57, 12};
inline constexpr QRect kMarkEndButton{418, 200, 67, 22};
inline constexpr QRect kHelpButton{418, 267, 67, 22};
inline constexpr QRect kLengthLabel{26, 319, 57, 12};
inline constexpr QRect kCostLabel{90, 318, 316, 14};
inline constexpr QRect kPlaySelectedButton{7, 335, 102, 22};
inline constexpr QRect kSaveButton{115, 335, 67, 22};
inline constexpr QRect kWebsiteButton{188, 335, 79, 22};
inline constexpr QRect kProgressBar{272, 335, 219, 23};

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
// buttons stays against the right edge (Help at its foot, beside the slider), the row of
// buttons against the bottom edge, the bar between them and the right edge.
inline constexpr Follow kGrows{false, false, true, true};
inline constexpr Follow kRightColumn{true, false, false, false};
inline constexpr Follow kRightFoot{true, true, false, false};
inline constexpr Follow kBottomRow{false, true, false, false};
inline constexpr Follow kBottomSpan{false, true, true, false};

inline constexpr Spot kSpots[] = {
    {"videoArea", kVideo, kGrows},
    {"positionSlider", kSlider, kBottomSpan},
    {"positionLabel", kPositionLabel, kRightColumn, true},
    {"playButton", kPlayButton, kRightColumn},
    {"stopButton", kStopButton, kRightColumn},
    {"openButton", kOpenButton, kRightColumn},
    {"startLabel", kStartLabel, kRightColumn, true},
    {"markStartButton", kMarkStartButton, kRightColumn},
    {"endLabel", kEndLabel, kRightColumn, true},
    {"markEndButton", kMarkEndButton, kRightColumn},
    {"helpButton", kHelpButton, kRightFoot},
    {"lengthLabel", kLengthLabel, kBottomRow, true},
    {"costLabel", kCostLabel, kBottomSpan},
    {"playSelectedButton", kPlaySelectedButton, kBottomRow},
    {"saveButton", kSaveButton, kBottomRow},
    {"websiteButton", kWebsiteButton, kBottomRow},
    {"progressBar", kProgressBar, kBottomSpan},
};

// Where a control stands in a window of `size`; a size below kWindow counts as kWindow.
inline QRect placed(const Spot& spot, QSize size, bool hundredths = false) {
  const int extraWidth = std::max(0, size.width() - kWindow.width());
  const int extraHeight = std::max(0, size.height() - kWindow.height());
  QRect r = spot.design;
  if (spot.follow.widens) r.setWidth(r.width() + extraWidth);
  if (spot.follow.heightens) r.setHeight(r.height() + extraHeight);
  r.translate(spot.follow.right ? extraWidth : 0, spot.follow.bottom ? extraHeight : 0);
  if (hundredths && spot.showsTime) {
    const int wider = kTimeToHundredthsWidth - r.width();
    r.adjust(-wider / 2, 0, wider - wider / 2, 0);
  }
  return r;
}

}  // namespace vintrel::layout
