#include "widgets/position_slider.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyle>
#include <QStyleOptionSlider>
#include <algorithm>
#include <cmath>

#include "widgets/window_style.h"

namespace vintrel {

PositionSlider::PositionSlider(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
  setTickPosition(QSlider::TicksBelow);
  setFocusPolicy(Qt::StrongFocus);
}

QRect PositionSlider::handleRect(int value) const {
  QStyleOptionSlider option;
  initStyleOption(&option);
  option.sliderPosition = value;
  option.sliderValue = value;
  return style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
}

int PositionSlider::grooveY() const {
  QStyleOptionSlider option;
  initStyleOption(&option);
  return style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this).center().y();
}

namespace {
// The same event, moved up or down onto the groove's line: the style only hits the groove
// and the thumb on that line, the tick marks beneath them are nothing to it.
QMouseEvent onGroove(const QMouseEvent* event, int grooveY) {
  const QPointF position(event->position().x(), grooveY);
  return QMouseEvent(event->type(), position, event->scenePosition(), event->globalPosition(),
                     event->button(), event->buttons(), event->modifiers(), event->pointingDevice());
}
}  // namespace

void PositionSlider::mousePressEvent(QMouseEvent* event) {
  emit pressed();
  QMouseEvent moved = onGroove(event, grooveY());
  QSlider::mousePressEvent(&moved);
  event->setAccepted(moved.isAccepted());
}

void PositionSlider::mouseMoveEvent(QMouseEvent* event) {
  QMouseEvent moved = onGroove(event, grooveY());
  QSlider::mouseMoveEvent(&moved);
  event->setAccepted(moved.isAccepted());
}

void PositionSlider::mouseReleaseEvent(QMouseEvent* event) {
  QMouseEvent moved = onGroove(event, grooveY());
  QSlider::mouseReleaseEvent(&moved);
  event->setAccepted(moved.isAccepted());
  emit released();
}

VideoArea::VideoArea(QWidget* parent) : QWidget(parent) {
  // A native window of its own, so the player can draw into it from its own thread.
  setAttribute(Qt::WA_NativeWindow);
  setAttribute(Qt::WA_DontCreateNativeAncestors);
  paint(this, Qt::black);
  setFocusPolicy(Qt::StrongFocus);
}

void PositionSlider::keyPressEvent(QKeyEvent* event) {
  const int before = value();
  QSlider::keyPressEvent(event);
  if (value() != before) emit keyMoved();
}

void VideoArea::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) emit doubleClicked();
  QWidget::mouseDoubleClickEvent(event);
}

MarkTick::MarkTick(QWidget* parent, PositionSlider* slider) : QWidget(parent), slider_(slider) {
  paint(this, QColor(0, 128, 0));
  setAttribute(Qt::WA_TransparentForMouseEvents);
  slider->installEventFilter(this);
}

void MarkTick::placeAt(double seconds) {
  seconds_ = seconds;
  place();
}

void MarkTick::place() {
  const double at = std::clamp(seconds_, double(slider_->minimum()), double(slider_->maximum()));
  const int whole = static_cast<int>(std::floor(at));
  auto thumbMiddle = [this](int value) {
    const QRect handle = slider_->handleRect(value);
    return handle.x() + handle.width() / 2;
  };
  // The slider moves its thumb evenly from one second to the next; a fraction lies between.
  const int from = thumbMiddle(whole);
  const int to = whole < slider_->maximum() ? thumbMiddle(whole + 1) : from;
  const int middle = from + static_cast<int>(std::lround((to - from) * (at - whole)));
  // Right under the slider's track, over its tick marks.
  setGeometry(slider_->x() + middle - 1, slider_->y() + slider_->height() - 8, 2, 8);
  raise();
}

bool MarkTick::eventFilter(QObject* watched, QEvent* event) {
  if (watched == slider_ && (event->type() == QEvent::Resize || event->type() == QEvent::Move)) place();
  return QWidget::eventFilter(watched, event);
}

}  // namespace vintrel
