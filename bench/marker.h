#pragma once
// The grey marker the benchmark clips carry in their top-left corner. It names the clip and
// the second on screen, so a pixel read from the X server tells which frame a player has
// drawn. No Qt here: the bare player's own program uses it too.
#include <optional>

#include "timing.h"

namespace bench {

constexpr int kClipSeconds = 24;
constexpr int kClipWidth = 1280;
constexpr int kClipHeight = 720;
constexpr int kMarkerSize = 192;  // pixels of the clip, from its top-left corner
// Grey, so no colour matrix can bend it: clip 0 climbs from 48 by 8 a second, clip 1 falls
// from 232 by 8 a second. At second 0 the two are far apart.
constexpr int kMarkerLow = 48, kMarkerHigh = 232, kMarkerStep = 8;

// The video area of the main window, and where the bare player's plain window of the same
// size stands: where nothing of the program covers it.
constexpr int kAreaWidth = 404, kAreaHeight = 288;
constexpr Point kBareOrigin{700, 420};

// The second the marker shows when it is clip `clip`'s, else nothing.
std::optional<int> MarkerSecond(Rgb pixel, int clip);
// Whether the pixel is clip `clip`'s marker at `second`.
bool MarkerShows(Rgb pixel, int clip, int second);
// Where the marker's middle lands on screen when the clip is scaled into an area
// (keeping its aspect, centred, as the player draws it).
Point MarkerOnScreen(int areaX, int areaY, int areaWidth, int areaHeight);

}  // namespace bench
