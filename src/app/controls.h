#pragma once
// Widgets the main window needs beyond Qt's stock ones.
#include <QSlider>
#include <QWidget>
#include <cstdint>

#include "platform/vb_error.h"

namespace vintrel {

// Twips between two slider steps when the mark lines are placed: the 9230-twip mark track
// spread over the slider's range, integer division. A range of 0 is the division-by-zero error.
inline int32_t MarkerScaleFor(int32_t sliderMax) {
  if (sliderMax == 0) throw VbError(kErrDivisionByZero, "Division by zero");
  return 9230 / sliderMax;
}

// A fixed-size window with a white background, the program's icon, its name and caption;
// sizes in twips.
void SetUpFixedWindow(QWidget* window, const char* name, const QString& caption, int widthTwips,
                      int heightTwips);
// Fills the widget's background with a colour and writes its text in another.
void Paint(QWidget* widget, const QColor& background, const QColor& text = Qt::black);

// The position slider. Its mouse-down, mouse-up and click reach the window as three
// signals, in that order; a click on the groove first moves the thumb by the page step.
class Slider : public QSlider {
  Q_OBJECT
 public:
  explicit Slider(QWidget* parent = nullptr);
  // Where the thumb stands when the slider holds `value` (its own range; by default the
  // value it holds), in the slider's coordinates.
  QRect HandleRect(int value) const { return HandleRect(minimum(), maximum(), value); }
  QRect HandleRect() const { return HandleRect(sliderPosition()); }
  // The same for a value on another range spread over the same travel.
  QRect HandleRect(int minimum, int maximum, int value) const;
  // The groove's centre line.
  int GrooveY() const;

 signals:
  void MouseDown();
  void MouseUp();
  void Click();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
};

// The native area the player draws into.
class VideoArea : public QWidget {
  Q_OBJECT
 public:
  explicit VideoArea(QWidget* parent = nullptr);
};

// A mark line. Its X values are kept exactly as the commands write them (twips, in the
// window's design coordinates, which lie below the visible window); what the user sees
// is a short green tick on the slider at the second the X value stands for.
class MarkLine {
 public:
  // offset: the X value that stands for second 0 (170 for the start line, 330 for the end line).
  MarkLine(QWidget* parent, Slider* slider, float initialX, float offset);
  float X1() const { return x1_; }
  float X2() const { return x2_; }
  void SetX1(float x);
  void SetX2(float x);
  QWidget* Tick() const { return tick_; }

 private:
  void Place();
  Slider* slider_;
  QWidget* tick_;
  float x1_;
  float x2_;
  float offset_;
};

}  // namespace vintrel
