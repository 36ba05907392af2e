#include "app/controls.h"

#include <QMouseEvent>
#include <QStyle>
#include <QStyleOptionSlider>
#include <algorithm>

namespace vintrel {

Slider::Slider(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
  setTickPosition(QSlider::TicksBelow);
  setFocusPolicy(Qt::StrongFocus);
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
  setAutoFillBackground(true);
  QPalette p = palette();
  p.setColor(QPalette::Window, Qt::black);
  setPalette(p);
  setFocusPolicy(Qt::StrongFocus);
}

MarkLine::MarkLine(QWidget* parent, Slider* slider, float initialX, float offset)
    : slider_(slider), tick_(new QWidget(parent)), x1_(initialX), x2_(initialX), offset_(offset) {
  tick_->setAutoFillBackground(true);
  QPalette p = tick_->palette();
  p.setColor(QPalette::Window, QColor(0, 128, 0));
  tick_->setPalette(p);
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
  // X = value * MarkerScale + offset, and MarkerScale spreads the slider's range over
  // 9230 twips, so (X - offset) / 9230 is the fraction of the slider's travel.
  double fraction = (x2_ - offset_) / 9230.0;
  fraction = std::clamp(fraction, 0.0, 1.0);
  QStyleOptionSlider option;
  option.initFrom(slider_);
  option.orientation = Qt::Horizontal;
  option.minimum = 0;
  option.maximum = 1000;
  option.sliderPosition = 0;
  const QRect groove = slider_->style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, slider_);
  const QRect handle = slider_->style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, slider_);
  const int span = groove.width() - handle.width();
  const int x = slider_->x() + groove.x() + handle.width() / 2 + static_cast<int>(fraction * span + 0.5) - 1;
  // Right under the slider's track, above its tick marks.
  tick_->setGeometry(x, slider_->y() + slider_->height() - 8, 2, 8);
  tick_->raise();
}

}  // namespace vintrel
