#include "widgets/position_slider.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionSlider>
#include <algorithm>
#include <climits>
#include <cmath>

#include "widgets/window_style.h"

namespace vintrel {

namespace {
const QColor kMarkColour(0, 128, 0);
const QColor kSpanColour(0, 160, 0, 70);
const QColor kBandColour(40, 110, 220, 60);
const QColor kSelectedBandColour(40, 110, 220, 150);
const QColor kKeyFrameColour(60, 60, 60);
}  // namespace

PositionSlider::PositionSlider(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
  setTickPosition(QSlider::TicksBelow);
  setFocusPolicy(Qt::StrongFocus);
  setMouseTracking(true);  // the pointer's time while it only hovers
}

QRect PositionSlider::handleRect(int value) const {
  QStyleOptionSlider option;
  initStyleOption(&option);
  option.sliderPosition = value;
  option.sliderValue = value;
  return style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
}

int PositionSlider::xOf(double seconds) const {
  const double at = std::clamp(seconds, double(minimum()), double(maximum()));
  const int whole = static_cast<int>(std::floor(at));
  auto thumbMiddle = [this](int value) { return handleRect(value).center().x(); };
  // The slider moves its thumb evenly from one second to the next; a fraction lies between.
  const int from = thumbMiddle(whole);
  const int to = whole < maximum() ? thumbMiddle(whole + 1) : from;
  return from + static_cast<int>(std::lround((to - from) * (at - whole)));
}

double PositionSlider::timeAt(int x) const {
  const int first = xOf(minimum()), last = xOf(maximum());
  if (last <= first) return minimum();
  const double share = std::clamp(double(x - first) / (last - first), 0.0, 1.0);
  return minimum() + share * (maximum() - minimum());
}

void PositionSlider::setMarks(double start, double end, bool shaded) {
  markStart_ = start;
  markEnd_ = end;
  spanShaded_ = shaded;
  update();
}

void PositionSlider::setBands(const QList<Band>& bands, int selected) {
  bands_ = bands;
  selectedBand_ = selected >= 0 && selected < bands.size() ? selected : -1;
  update();
}

void PositionSlider::setKeyFrames(const QList<double>& seconds) {
  keyFrames_ = seconds;
  update();
}

int PositionSlider::markWidth() const { return std::max(3, fontMetrics().height() / 5); }

int PositionSlider::grooveY() const {
  QStyleOptionSlider option;
  initStyleOption(&option);
  return style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this).center().y();
}

void PositionSlider::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  QStyleOptionSlider option;
  initStyleOption(&option);
  // The groove first, what lies on it next, the thumb over both and the marks on top: a
  // mark under the thumb must still show where it is.
  option.subControls = QStyle::SC_SliderGroove | QStyle::SC_SliderTickmarks;
  style()->drawComplexControl(QStyle::CC_Slider, &option, &painter, this);
  paintOverGroove(painter);
  option.subControls = QStyle::SC_SliderHandle;
  style()->drawComplexControl(QStyle::CC_Slider, &option, &painter, this);
  paintMark(painter, markStart_);
  paintMark(painter, markEnd_);
}

void PositionSlider::paintOverGroove(QPainter& painter) const {
  const int middle = grooveY();
  const int bandHeight = std::max(6, height() / 3);
  for (int i = 0; i < bands_.size(); ++i) {
    const int from = xOf(bands_[i].start), to = xOf(bands_[i].end);
    painter.fillRect(QRect(from, middle - bandHeight / 2, std::max(1, to - from), bandHeight),
                     i == selectedBand_ ? kSelectedBandColour : kBandColour);
  }
  if (spanShaded_ && markEnd_ > markStart_) {
    const int from = xOf(markStart_), to = xOf(markEnd_);
    painter.fillRect(QRect(from, 0, to - from, height()), kSpanColour);
  }
  // Key frames stand in the lower half, under the groove, where the thumb does not hide them.
  // A film has thousands: their spots go evenly from the first second's to the last's (the
  // style is asked twice, not once a key frame), one line a pixel at most.
  painter.setPen(QPen(kKeyFrameColour, 1));
  const int top = middle + 2;
  const int left = xOf(minimum()), right = xOf(maximum());
  const double perSecond = maximum() > minimum() ? double(right - left) / (maximum() - minimum()) : 0;
  int lastX = INT_MIN;
  for (const double seconds : keyFrames_) {
    const int x =
        left +
        int(std::lround((std::clamp(seconds, double(minimum()), double(maximum())) - minimum()) * perSecond));
    if (x == lastX) continue;
    painter.drawLine(x, top, x, height() - 1);
    lastX = x;
  }
}

void PositionSlider::paintMark(QPainter& painter, double seconds) const {
  const int width = markWidth();
  painter.fillRect(QRect(xOf(seconds) - width / 2, 0, width, height()), kMarkColour);
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
  if (event->buttons() == Qt::NoButton)
    emit hovered(timeAt(qRound(event->position().x())), event->globalPosition().toPoint());
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

void PositionSlider::leaveEvent(QEvent* event) {
  emit hoverLeft();
  QSlider::leaveEvent(event);
}

void PositionSlider::keyPressEvent(QKeyEvent* event) {
  const int before = value();
  QSlider::keyPressEvent(event);
  if (value() != before) emit keyMoved();
}

VideoArea::VideoArea(QWidget* parent) : QWidget(parent) {
  // A native window of its own, so the player can draw into it from its own thread.
  setAttribute(Qt::WA_NativeWindow);
  setAttribute(Qt::WA_DontCreateNativeAncestors);
  paint(this, Qt::black);
  setFocusPolicy(Qt::StrongFocus);
}

void VideoArea::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) emit doubleClicked();
  QWidget::mouseDoubleClickEvent(event);
}

}  // namespace vintrel
