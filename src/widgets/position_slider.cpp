#include "widgets/position_slider.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionSlider>
#include <algorithm>
#include <cmath>

#include "widgets/window_style.h"

namespace vintrel {

PositionSlider::PositionSlider(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
  setTickPosition(QSlider::TicksBelow);
  setFocusPolicy(Qt::StrongFocus);
  setMouseTracking(true);  // for the time under the pointer
}

int PositionSlider::xOf(double seconds) const {
  const double at = std::clamp(seconds, double(minimum()), double(maximum()));
  const int whole = static_cast<int>(std::floor(at));
  auto thumbMiddle = [this](int value) {
    const QRect handle = handleRect(value);
    return handle.x() + handle.width() / 2;
  };
  // The slider moves its thumb evenly from one second to the next; a fraction lies between.
  const int from = thumbMiddle(whole);
  const int to = whole < maximum() ? thumbMiddle(whole + 1) : from;
  return from + static_cast<int>(std::lround((to - from) * (at - whole)));
}

double PositionSlider::secondsAt(int x) const {
  const int left = xOf(minimum()), right = xOf(maximum());
  if (right <= left) return minimum();
  const double share = std::clamp(double(x - left) / (right - left), 0.0, 1.0);
  return minimum() + share * (maximum() - minimum());
}

void PositionSlider::setKeyFrames(std::vector<double> seconds) {
  keyFrames_ = std::move(seconds);
  update();
}

void PositionSlider::paintEvent(QPaintEvent* event) {
  QSlider::paintEvent(event);
  if (keyFrames_.empty()) return;
  // One line a pixel at most: a long film has thousands of key frames on a few hundred.
  QPainter painter(this);
  painter.setPen(QColor(70, 90, 160));
  const int top = grooveY() + 3, bottom = std::min(height() - 2, top + 4);
  int lastX = -1;
  for (const double seconds : keyFrames_) {
    if (seconds > maximum()) break;
    const int x = xOf(seconds);
    if (x == lastX) continue;
    painter.drawLine(x, top, x, bottom);
    lastX = x;
  }
}

void PositionSlider::leaveEvent(QEvent* event) {
  emit hoverLeft();
  QSlider::leaveEvent(event);
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
  if (event->buttons() == Qt::NoButton) emit hovered(secondsAt(int(event->position().x())));
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
  const int middle = slider_->xOf(seconds_);
  // Right under the slider's track, over its tick marks.
  setGeometry(slider_->x() + middle - 1, slider_->y() + slider_->height() - 8, 2, 8);
  raise();
}

bool MarkTick::eventFilter(QObject* watched, QEvent* event) {
  if (watched == slider_ && (event->type() == QEvent::Resize || event->type() == QEvent::Move)) place();
  return QWidget::eventFilter(watched, event);
}

}  // namespace vintrel
