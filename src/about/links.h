#pragma once
// The project's web pages, opened in the user's browser.
#include <QString>

namespace vintrel {

class Messages;
class UrlOpener;

inline const char* kHomePage = "https://vintrel.example.org/";
inline const char* kCodecPage = "https://vintrel.example.org/codecs.html";
inline const char* kCodecQuestion =
    "If you are unable to play the video, you need video codecs installed. Do you want to download video "
    "codecs "
    "now?";

// Opens the home page; says so when no browser can be started.
void openHomePage(UrlOpener& urls, Messages& messages);
// Asks whether to open the page about codecs, and opens it on Yes.
void offerCodecHelp(UrlOpener& urls, Messages& messages);

}  // namespace vintrel
