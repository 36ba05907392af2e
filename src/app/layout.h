#pragma once
// Where every control of the main window stands, in pixels.
#include <QRect>
#include <QSize>

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
inline constexpr QRect kPlaySelectedButton{7, 335, 102, 22};
inline constexpr QRect kSaveButton{115, 335, 67, 22};
inline constexpr QRect kWebsiteButton{188, 335, 79, 22};
inline constexpr QRect kProgressBar{272, 335, 219, 23};

}  // namespace vintrel::layout
