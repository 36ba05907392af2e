#pragma once
// The widgets of the main window beyond Qt's stock ones.
#include <QList>
#include <QSlider>
#include <QWidget>

namespace vintrel {

// The position slider, one step a second. Its whole height answers the mouse as its groove
// does, not only the thin line in its middle. Over the groove it draws what the window
// tells it about the video: the two marks with the span between them shaded, stretches
// (segments) as bands with one brighter, and key frames as thin ticks.
class PositionSlider : public QSlider {
  Q_OBJECT
 public:
  // A stretch of the video, in seconds.
  struct Band {
    double start = 0;
    double end = 0;
  };

  explicit PositionSlider(QWidget* parent = nullptr);
  // Where the thumb stands for `value`, in the slider's coordinates.
  QRect handleRect(int value) const;
  // The x of a time in the slider's coordinates: the middle of the thumb's spot for whole
  // seconds, between two such spots for a time with a fraction.
  int xOf(double seconds) const;
  // The time whose spot is nearest to x (the inverse of xOf, to the fraction).
  double timeAt(int x) const;

  // The marks; the span between them is shaded when `shaded` (they make a stretch).
  void setMarks(double start, double end, bool shaded = true);
  double markStart() const { return markStart_; }
  double markEnd() const { return markEnd_; }
  // Stretches drawn as bands; `selected` (an index, or -1) brighter than the others.
  void setBands(const QList<Band>& bands, int selected = -1);
  const QList<Band>& bands() const { return bands_; }
  int selectedBand() const { return selectedBand_; }
  // The times a copy can start at, drawn as thin ticks.
  void setKeyFrames(const QList<double>& seconds);
  const QList<double>& keyFrames() const { return keyFrames_; }
  // How wide a mark is drawn: easy to see at every size and scale.
  int markWidth() const;

 signals:
  // The mouse went down anywhere on the slider (its thumb or its groove).
  void pressed();
  // The user let go of the slider after pressing it (a drag or a click on the groove).
  void released();
  // A key moved the thumb.
  void keyMoved();
  // The pointer rests over the slider at this time; `at` is the pointer in global coordinates.
  void hovered(double seconds, QPoint at);
  // The pointer left the slider.
  void hoverLeft();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  int grooveY() const;
  void paintOverGroove(QPainter& painter) const;
  void paintMark(QPainter& painter, double seconds) const;

  double markStart_ = 0;
  double markEnd_ = 0;
  bool spanShaded_ = false;
  QList<Band> bands_;
  int selectedBand_ = -1;
  QList<double> keyFrames_;
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

}  // namespace vintrel
