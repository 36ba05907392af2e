// The player wrappers, which alone start, halt and stop the player and keep IsPlaying in
// step with it, and the Play/Pause and Stop buttons.
#include "app/form1.h"

namespace vintrel {

void Form1::mp_myopen() {
  if (CurrentFile == "") return;
  mp->Play();
  IsPlaying = true;
}

void Form1::mp_myplay() {
  if (CurrentFile == "") return;
  const double duration = mp->Duration();
  const double position = mp->CurrentPosition();
  if (duration == position) {
    // Played to its end: start again from the beginning.
    IsPlaying = false;
    mp->Seek(0);
  }
  if (!IsPlaying) {
    if (mp->CurrentPosition() == 0) {
      // At the very start (after Stop or the end): load the file afresh.
      mp->SetFileName(CurrentFile);
      mp->Play();
    } else {
      mp->Pause();  // resumes from where it was halted
    }
    IsPlaying = true;
  }
}

void Form1::mp_mypause() {
  if (CurrentFile == "") return;
  if (IsPlaying) {
    IsPlaying = false;
    mp->Pause();
  }
}

void Form1::mp_mystop() {
  if (CurrentFile == "") return;
  const double duration = mp->Duration();
  const double position = mp->CurrentPosition();
  if (duration != position && IsPlaying) {
    mp->Seek(0);
    IsPlaying = false;
    H->setValue(0);
    mp->Pause();
  } else {
    // A file found at its end has halted by itself: it is no longer playing, and the
    // next Play must start it again rather than believe it still runs.
    if (duration == position) IsPlaying = false;
    mp->Seek(0);
    H->setValue(0);
  }
}

void Form1::Command1_Click() {
  if (CurrentFile == "") return;
  const QString caption = Command1->text();
  try {
    if (caption == "Play") {
      mp_myplay();
      SetTimerEnabled(T, true);
      H->setMaximum(static_cast<int>(RoundToLong(mp->Duration())));
      MarkerScale = MarkerScaleFor(H->maximum());
      if (mp->Duration() > 0) Command1->setText("Pause");
    } else {
      mp_mypause();
      T->stop();
      Command1->setText("Play");
    }
  } catch (const std::exception&) {
  }
}

void Form1::Command2_Click() {
  if (CurrentFile == "") return;
  try {
    mp_mystop();
    Command1->setText("Play");
    T->stop();
    Label4->setText("0 : 0 : 0");
  } catch (const std::exception&) {
  }
}

}  // namespace vintrel
