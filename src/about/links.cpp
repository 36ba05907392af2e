#include "app/form1.h"

namespace vintrel {

namespace {
// The project's own pages.
const char* const kHomePage = "https://vintrel.example.org/";
const char* const kCodecPage = "https://vintrel.example.org/codecs.html";
}  // namespace

void Form1::Command3_Click() { sys.url.Open(kHomePage); }

void Form1::Command8_Click() {
  const int answer = sys.msg.MsgBox(
      "If you are unable to play the video, you need video codecs installed. Do you want to download "
      "video codecs now?",
      vbYesNo | vbQuestion);
  if (answer == vbYes) sys.url.Open(kCodecPage);
}

}  // namespace vintrel
