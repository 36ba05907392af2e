#include "app/controls.h"

#include <QMouseEvent>
#include <QStyle>
#include <QStyleOptionSlider>
#include <algorithm>
#include <cstdint>

#include "app/app_icon.h"

namespace vintrel {

void SetUpFixedWindow(QWidget* window, const char* name, const QString& caption, int widthTwips,
                      int heightTwips) {
  window->setObjectName(name);
  window->setWindowTitle(caption);
  window->setWindowIcon(AppIcon());
  window->setFixedSize(widthTwips / 15, heightTwips / 15);
  Paint(window, Qt::white);
}

void Paint(QWidget* widget, const QColor& background, const QColor& text) {
  widget->setAutoFillBackground(true);
  QPalette p = widget->palette();
  p.setColor(QPalette::Window, background);
  p.setColor(QPalette::WindowText, text);
  widget->setPalette(p);
}

Slider::Slider(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
  setTickPosition(QSlider::TicksBelow);
  setFocusPolicy(Qt::StrongFocus);
}

QRect Slider::HandleRect(int minimum, int maximum, int value) const {
  QStyleOptionSlider option;
  initStyleOption(&option);
  option.minimum = minimum;
  option.maximum = maximum;
  option.sliderPosition = value;
  option.sliderValue = value;
  return style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
}

int Slider::GrooveY() const {
  QStyleOptionSlider option;
  initStyleOption(&option);
  return style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this).center().y();
}

void Slider::mousePressEvent(QMouseEvent* event) {
  emit MouseDown();
  QSlider::mousePressEvent(event);
}

void Slider::mouseReleaseEvent(QMouseEvent* event) {
  QSlider::mouseReleaseEvent(event);
  emit MouseUp();
  emit Click();
}

VideoArea::VideoArea(QWidget* parent) : QWidget(parent) {
  // A native window of its own, so the player can draw into it from its own thread.
  setAttribute(Qt::WA_NativeWindow);
  setAttribute(Qt::WA_DontCreateNativeAncestors);
  Paint(this, Qt::black);
  setFocusPolicy(Qt::StrongFocus);
}

MarkLine::MarkLine(QWidget* parent, Slider* slider, float initialX, float offset)
    : slider_(slider), tick_(new QWidget(parent)), x1_(initialX), x2_(initialX), offset_(offset) {
  Paint(tick_, QColor(0, 128, 0));
  tick_->setAttribute(Qt::WA_TransparentForMouseEvents);
  Place();
  tick_->show();
}

void MarkLine::SetX1(float x) {
  x1_ = x;
  Place();
}

void MarkLine::SetX2(float x) {
  x2_ = x;
  Place();
}

void MarkLine::Place() {
  // A mark puts its line at Value * MarkerScale + offset, with MarkerScale = 9230 / maximum.
  // When the X value is exactly that for the slider's value as it stands, the tick goes
  // where the thumb stands for that second; this also holds when the scale has truncated
  // to a few twips or to nothing for a long video. Any other X value (the home positions)
  // is read as a point on the 9230-twip track that starts at 170.
  const int maximum = slider_->maximum();
  const int value = slider_->value();
  const int64_t scale = maximum > 0 ? MarkerScaleFor(maximum) : 0;
  QRect handle;
  if (maximum > 0 && x2_ == static_cast<float>(value * scale + static_cast<int64_t>(offset_))) {
    handle = slider_->HandleRect(value);
  } else {
    const double fraction = std::clamp((x2_ - 170.0) / 9230.0, 0.0, 1.0);
    handle = slider_->HandleRect(0, 9230, static_cast<int>(fraction * 9230 + 0.5));
  }
  const int x = slider_->x() + handle.x() + handle.width() / 2 - 1;
  // Right under the slider's track, over its tick marks.
  tick_->setGeometry(x, slider_->y() + slider_->height() - 8, 2, 8);
  tick_->raise();
}

}  // namespace vintrel
