#pragma once
// The widgets of the main window beyond Qt's stock ones.
#include <QSlider>
#include <QWidget>

namespace vintrel {

// The position slider, one step a second. Its whole height answers the mouse as its groove
// does, not only the thin line in its middle.
class PositionSlider : public QSlider {
  Q_OBJECT
 public:
  explicit PositionSlider(QWidget* parent = nullptr);
  // Where the thumb stands for `value`, in the slider's coordinates.
  QRect handleRect(int value) const;

 signals:
  // The mouse went down anywhere on the slider (its thumb or its groove).
  void pressed();
  // The user let go of the slider after pressing it (a drag or a click on the groove).
  void released();
  // A key moved the thumb.
  void keyMoved();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  int grooveY() const;
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
