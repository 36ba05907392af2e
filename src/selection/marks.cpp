// Mark Start and Mark End: the stretch to cut, in whole seconds of the player's position.
#include <cstdint>

#include "app/form1.h"

namespace vintrel {

namespace {

// 32-bit arithmetic that raises the overflow error instead of wrapping.
int32_t Checked(int64_t value) {
  if (value < INT32_MIN || value > INT32_MAX) throw VbError(kErrOverflow, "Overflow");
  return static_cast<int32_t>(value);
}

// The line follows the slider; the stored second follows the player. The slider only
// catches up with the player once a second, so the two may differ by about a second.
float LinePosition(const Slider& slider, int32_t markerScale, int32_t offset) {
  return static_cast<float>(Checked(int64_t{slider.value()} * markerScale + offset));
}

// Shared by both marks: everything after the line has moved. A failure ends the command
// silently, keeping what was done before it; a position that cannot be read or rounded
// leaves the mark and the labels as they were.
void StoreMark(Form1& f, int32_t& mark, QLabel* label) {
  try {
    const int32_t second = static_cast<int32_t>(RoundToLong(f.mp->CurrentPosition()));
    mark = second;
    label->setText(Form1::FormatTime(mark));
    f.Label3->setText(f.SelStart < f.SelEnd ? Form1::FormatTime(Checked(int64_t{f.SelEnd} - f.SelStart))
                                            : QString("0 : 0 : 0"));
  } catch (const std::exception&) {
  }
}

}  // namespace

void Form1::Command5_Click() {
  if (CurrentFile == "") return;
  Line1->SetX1(LinePosition(*H, MarkerScale, 170));
  Line1->SetX2(LinePosition(*H, MarkerScale, 170));
  StoreMark(*this, SelStart, Label7);
}

void Form1::Command6_Click() {
  if (CurrentFile == "") return;
  Line2->SetX1(LinePosition(*H, MarkerScale, 330));
  Line2->SetX2(LinePosition(*H, MarkerScale, 330));
  StoreMark(*this, SelEnd, Label9);
}

}  // namespace vintrel
