// Play Selected: plays the marked stretch and halts once the position has reached the end
// mark, waiting inside the command while the window's other commands stay usable.
#include "app/form1.h"

namespace vintrel {

void Form1::Command9_Click() {
  const int32_t start = SelStart;
  // The selection is judged before the file: with nothing open and no marks the user still
  // learns why nothing plays.
  if (start >= SelEnd) {
    sys.msg.MsgBox("Start time cannot be >= End time. Invalid Selection", vbInformation);
    return;
  }
  if (CurrentFile == "") return;
  try {
    mp_myplay();
    Command1->setText("Pause");
    mp->Seek(static_cast<double>(start));
    SetTimerEnabled(T, true);
    // Any command run from the pumped events that puts "Play" on Command1 (Pause, Stop,
    // Open, Save, the end of the file, another Play Selected) ends the wait; SelEnd is read
    // afresh so a new end mark moves the stop point.
    for (;;) {
      sys.pump.DoEvents();
      // The player draws from its own thread, so the picture keeps moving while we sleep.
      sys.pump.Sleep(200);
      if (Command1->text() == "Play") break;
      Label4->setText(FormatTime(H->value()));
      if (!(mp->CurrentPosition() < static_cast<double>(SelEnd))) break;
    }
    mp_mypause();
    T->stop();
    Command1->setText("Play");
  } catch (const std::exception&) {
  }
}

}  // namespace vintrel
