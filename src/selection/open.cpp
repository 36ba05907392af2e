// Open: choose a video, drop the old one and the marks, and start the new one playing.
#include "app/form1.h"

namespace vintrel {

namespace {
const QString kOpenFilter =
    "All Video Files|*.dat;*.mp4;*.wmv;*.mov;*.avi;*.divx;*.mpg;*.flv;*.mkv;*.vob|All Files(*.*)|*.*";

// The start line's home is 170, the end line's 170 + the 9230-twip mark track.
constexpr float kStartHome = 170.0f;
constexpr float kEndHome = 9400.0f;
}  // namespace

void Form1::Command4_Click() {
  // Any failure, the user's cancel included, ends the command where it stands.
  try {
    try {
      mp_mystop();
    } catch (const std::exception&) {
      // The player has lost the current file (it could not play it): there is nothing to
      // halt, and choosing another file is the only way on, so Open must not end here.
    }
    Command1->setText("Play");
    T->stop();
    Cdlg.Filter = kOpenFilter;  // Save leaves a filter of its own on the same dialog
    Cdlg.ShowOpen();
    H->setValue(0);
    mp_myclose();
    Label7->setText("0 : 0 : 0");
    Label9->setText("0 : 0 : 0");
    Label3->setText("0 : 0 : 0");
    SelStart = 0;
    SelEnd = 0;
    mp->SetFileName(Cdlg.FileName);
    CurrentFile = Cdlg.FileName;
    Cdlg.FileName = "";  // the next dialog opens with an empty name
    mp_myopen();
    Command1->setText("Pause");
    SetTimerEnabled(T, true);
    H->setMaximum(static_cast<int>(RoundToLong(mp->Duration())));
    MarkerScale = MarkerScaleFor(H->maximum());
    Line1->SetX1(kStartHome);
    Line1->SetX2(kStartHome);
    Line2->SetX1(kEndHome);
    Line2->SetX2(kEndHome);
  } catch (const std::exception&) {
  }
}

}  // namespace vintrel
