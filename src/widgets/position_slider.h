#pragma once
// The widgets of the main window beyond Qt's stock ones.
#include <QSlider>
#include <QWidget>
#include <vector>

namespace vintrel {

// The position slider, one step a second. Its whole height answers the mouse as its groove
// does, not only the thin line in its middle.
class PositionSlider : public QSlider {
  Q_OBJECT
 public:
  explicit PositionSlider(QWidget* parent = nullptr);
  // Where the thumb stands for `value`, in the slider's coordinates.
  QRect handleRect(int value) const;
  // The x of the thumb's middle for a time in seconds, a fraction between two whole seconds'
  // spots; and the time under an x, the other way round.
  int xOf(double seconds) const;
  double secondsAt(int x) const;
  // Thin marks on the track where a copy of the video can start (its key frames), in seconds.
  void setKeyFrames(std::vector<double> seconds);
  const std::vector<double>& keyFrames() const { return keyFrames_; }

 signals:
  // The mouse went down anywhere on the slider (its thumb or its groove).
  void pressed();
  // The user let go of the slider after pressing it (a drag or a click on the groove).
  void released();
  // A key moved the thumb.
  void keyMoved();
  // The pointer rests over the slider at a time, with no button down; or has left it.
  void hovered(double seconds);
  void hoverLeft();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  int grooveY() const;
  std::vector<double> keyFrames_;
};

// The native area the player draws into.
class VideoArea : public QWidget {
  Q_OBJECT
 public:
  explicit VideoArea(QWidget* parent = nullptr);

 signals:
  void doubleClicked();

 protected:
  void mouseDoubleClickEvent(QMouseEvent* event) override;
};

// A short green tick under the slider where a mark lies. It follows the slider when that
// moves or changes its width, so it stays at its mark whatever the window's size.
class MarkTick : public QWidget {
  Q_OBJECT
 public:
  MarkTick(QWidget* parent, PositionSlider* slider);
  // Stands under the spot of the slider's thumb for `seconds`; between two whole seconds'
  // spots for a time with a fraction.
  void placeAt(double seconds);
  double seconds() const { return seconds_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void place();

  const PositionSlider* slider_;
  double seconds_ = 0;
};

}  // namespace vintrel
