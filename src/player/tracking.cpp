// Position tracking: the player is polled once a second; the slider lets the user seek.
#include "app/form1.h"

namespace vintrel {

void Form1::T_Timer() {
  try {
    const double position = mp->CurrentPosition();
    H->setValue(static_cast<int>(RoundToLong(position)));
    Label4->setText(FormatTime(H->value()));
    // The fractional length against the whole-second position: 100.3 s is not over at 100.
    // Such a length never falls to the rounded position, though, so the player standing
    // at its end is the end as well.
    const double duration = mp->Duration();
    if (duration <= static_cast<double>(H->value()) || position == duration) {
      T->stop();
      mp_mystop();
      Command1->setText("Play");
    }
  } catch (const std::exception&) {
  }
}

void Form1::H_MouseDown() {
  // No tick may move the thumb while the user holds it.
  T->stop();
}

void Form1::H_MouseUp() {
  try {
    if (IsPlaying) SetTimerEnabled(T, true);
  } catch (const std::exception&) {
  }
}

void Form1::H_Click() {
  // Seeks even with no file open; whatever the player says to that is ignored.
  try {
    mp->Seek(static_cast<double>(H->value()));
  } catch (const std::exception&) {
  }
}

}  // namespace vintrel
