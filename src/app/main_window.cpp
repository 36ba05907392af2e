#include "app/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QResizeEvent>
#include <QScreen>
#include <algorithm>

#include "about/links.h"
#include "app/layout.h"
#include "cut/cut_error.h"
#include "save/tracks_dialog.h"
#include "widgets/window_style.h"

namespace vintrel {

namespace {

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption, const QRect& geometry) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(name);
  button->setGeometry(geometry);
  button->setFocusPolicy(Qt::StrongFocus);
  button->setAutoDefault(false);
  return button;
}

QLabel* makeTimeLabel(QWidget* parent, const char* name, const QRect& geometry, const QColor& background,
                      const QColor& text = Qt::black) {
  auto* label = new QLabel("hh:mm:ss", parent);
  label->setObjectName(name);
  label->setGeometry(geometry);
  label->setAlignment(Qt::AlignCenter);
  paint(label, background, text);
  return label;
}

// The button shows the action's caption and state and triggers it; its tooltip names the key.
void bindButton(QPushButton* button, QAction* action) {
  QObject::connect(button, &QPushButton::clicked, action, &QAction::trigger);
  auto follow = [button, action] {
    button->setText(action->text());
    button->setEnabled(action->isEnabled());
    const QString key = action->shortcut().toString(QKeySequence::NativeText);
    button->setToolTip(key.isEmpty() ? action->text() : QString("%1 (%2)").arg(action->text(), key));
  };
  QObject::connect(action, &QAction::changed, button, follow);
  follow();
}

}  // namespace

MainWindow::MainWindow(Services services, QString credits, QWidget* parent)
    : QWidget(parent), services_(std::move(services)), credits_(std::move(credits)) {
  createControls();
  createActions();
  createSegmentControls();
  setAcceptDrops(true);
  player_ = services_.makePlayer(videoArea);
  connectPlayer();
  saveFlow_ = std::make_unique<SaveFlow>(session_, services_.messages, services_.dialogs, services_.files,
                                         services_.urls, services_.makeCutJob);
  // The thumb and the label stay where they are: the picture does not move while Save asks.
  connect(saveFlow_.get(), &SaveFlow::preparing, this, &MainWindow::pause);
  connect(saveFlow_.get(), &SaveFlow::progressChanged, this, &MainWindow::showSaveProgress);
  connect(&session_, &Session::changed, this, &MainWindow::showSession);
  session_.setMarksToFrame(settings_.marksToFrame());
  showSession();
  layOutControls();
  restoreWindow();
}

MainWindow::~MainWindow() {
  // The session outlives the window's members: its list's last signals (its undo steps go
  // with it) must not reach a window half gone.
  session_.segments().undoStack().disconnect(this);
  session_.segments().disconnect(this);
  // The save flow may still hold a running cut: it lets go of it before the player goes.
  saveFlow_.reset();
}

void MainWindow::createControls() {
  // Never smaller than the controls at the desktop's font need.
  setUpGrowingWindow(this, "mainWindow", "Vintrel", layout::kWindow * fontScale());
  const QColor systemWindow = QPalette().color(QPalette::Base);

  videoArea = new VideoArea(this);
  videoArea->setObjectName("videoArea");
  videoArea->setGeometry(layout::kVideo);
  videoArea->setToolTip("Double-click or F11: full screen; Esc or F11 leaves it");

  positionSlider = new PositionSlider(this);
  positionSlider->setObjectName("positionSlider");
  positionSlider->setGeometry(layout::kSlider);
  positionSlider->setRange(0, 10);
  positionSlider->setSingleStep(1);
  positionSlider->setPageStep(5);
  positionSlider->setToolTip(
      "Left, Right: a second back or on; Shift+Left, Shift+Right: five seconds\n"
      ", (comma), . (period): a frame back or on\n"
      "Alt+Left, Alt+Right: the key frame before or after (the marks on the track; a cut from one is "
      "copied without re-encoding)");

  positionLabel = makeTimeLabel(this, "positionLabel", layout::kPositionLabel, Qt::white);
  positionLabel->setToolTip("The position; , (comma) and . (period) step a frame back or on");
  // Greyer than the position above it: read second, and not taken for a mark.
  durationLabel =
      makeTimeLabel(this, "durationLabel", layout::kDurationLabel, systemWindow, QColor(0x5f, 0x5f, 0x5f));
  durationLabel->setText(kZeroTime);
  durationLabel->setToolTip("The video's length");
  playButton = makeButton(this, "playButton", "Play", layout::kPlayButton);
  stopButton = makeButton(this, "stopButton", "Stop", layout::kStopButton);
  openButton = makeButton(this, "openButton", "Open", layout::kOpenButton);
  startLabel = makeTimeLabel(this, "startLabel", layout::kStartLabel, systemWindow);
  markStartButton = makeButton(this, "markStartButton", "Mark Start", layout::kMarkStartButton);
  endLabel = makeTimeLabel(this, "endLabel", layout::kEndLabel, systemWindow);
  markEndButton = makeButton(this, "markEndButton", "Mark End", layout::kMarkEndButton);
  helpButton = makeButton(this, "helpButton", "Help", layout::kHelpButton);
  lengthLabel = makeTimeLabel(this, "lengthLabel", layout::kLengthLabel, systemWindow);
  costLabel = new QLabel(this);
  costLabel->setObjectName("costLabel");
  costLabel->setGeometry(layout::kCostLabel);
  costLabel->setToolTip("What Save will do with the marked stretch: copy it as it is, or re-encode frames");
  playSelectedButton = makeButton(this, "playSelectedButton", "Play Selected", layout::kPlaySelectedButton);
  saveButton = makeButton(this, "saveButton", "Save", layout::kSaveButton);
  websiteButton = makeButton(this, "websiteButton", "Website", layout::kWebsiteButton);
  tracksButton = makeButton(this, "tracksButton", "Tracks...", layout::kTracksButton);

  progressBar = new QProgressBar(this);
  progressBar->setObjectName("progressBar");
  progressBar->setGeometry(layout::kProgressBar);
  progressBar->setRange(0, 100);
  progressBar->setValue(0);
  progressBar->setTextVisible(false);

  connectPreviews();
  connectControls();
}

void MainWindow::onTracksTriggered() {
  if (!session_.hasFile() || session_.isSaving()) return;
  std::vector<cut::Track> tracks;
  try {
    tracks = cut::ReadTracks(session_.file());
  } catch (const cut::CutError& error) {
    services_.messages.inform(kNoTracks, error.message());
    return;
  }
  auto* dialog = new TracksDialog(tracks, session_.keptTracks(), session_.defaultSound(), this);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  connect(dialog, &QDialog::accepted, this,
          [this, dialog] { session_.setTracks(dialog->keptTracks(), dialog->defaultSound()); });
  dialog->open();
}

void MainWindow::connectPreviews() {
  keyFrameReader = new KeyFrameReader(this);
  framePictures = new FramePictures(this);
  connect(keyFrameReader, &KeyFrameReader::changed, this, [this] {
    const std::vector<double>& keys = keyFrameReader->keyFrames();
    positionSlider->setKeyFrames(QList<double>(keys.begin(), keys.end()));
    framePictures->setKeyFrames(keys);
  });
  cutCostReader = new CutCostReader(this);
  connect(cutCostReader, &CutCostReader::changed, this,
          [this] { costLabel->setText(cutCostReader->line()); });

  // A tooltip-like window of its own: it may stand above the window's edge.
  hoverPicture = new QLabel(this, Qt::ToolTip | Qt::FramelessWindowHint);
  hoverPicture->setObjectName("hoverPicture");
  hoverPicture->setStyleSheet("border: 1px solid #404040; background: black;");
  connect(positionSlider, &PositionSlider::hovered, this, [this](double seconds, QPoint at) {
    hoverAt_ = at;
    if (session_.hasFile() && !session_.isSaving()) framePictures->ask(seconds);
  });
  connect(positionSlider, &PositionSlider::hoverLeft, hoverPicture, &QWidget::hide);
  connect(framePictures, &FramePictures::ready, this,
          [this](double, const QImage& picture) { showHoverPicture(picture); });
}

void MainWindow::showHoverPicture(const QImage& picture) {
  // The pointer may have left while it was decoded.
  if (!positionSlider->underMouse() || !isVisible()) return;
  hoverPicture->setPixmap(QPixmap::fromImage(picture));
  hoverPicture->adjustSize();
  // Over the picture, never over the buttons beside it: a click on Mark End made while the picture
  // was still up went to the picture.
  const QPoint sliderTop = positionSlider->mapToGlobal(QPoint(0, 0));
  const int left =
      std::clamp(hoverAt_.x() - hoverPicture->width() / 2, sliderTop.x(),
                 std::max(sliderTop.x(), sliderTop.x() + positionSlider->width() - hoverPicture->width()));
  hoverPicture->move(left, sliderTop.y() - hoverPicture->height() - 4);
  hoverPicture->show();
}

void MainWindow::connectControls() {
  positionTimer = new QTimer(this);
  positionTimer->setObjectName("positionTimer");
  positionTimer->setInterval(1000);
  connect(positionTimer, &QTimer::timeout, this, &MainWindow::onPositionTick);
  connect(positionSlider, &PositionSlider::pressed, this, &MainWindow::onSliderPressed);
  connect(positionSlider, &PositionSlider::released, this, &MainWindow::onSliderReleased);
  connect(positionSlider, &QSlider::sliderMoved, this, &MainWindow::onSliderMoved);
  // Page Up, Page Down, Home and End move the thumb with the keyboard: the video follows.
  connect(positionSlider, &PositionSlider::keyMoved, this, &MainWindow::seekToSlider);

  // Keyboard focus in reading order: the picture and the column beside it, top to bottom,
  // then the slider and the row under it, left to right. The slider holds the focus when the
  // window opens.
  QWidget* order[] = {videoArea,          playButton,    stopButton,    openButton,
                      markStartButton,    markEndButton, helpButton,    positionSlider,
                      playSelectedButton, saveButton,    websiteButton, tracksButton};
  for (size_t i = 0; i + 1 < std::size(order); ++i) setTabOrder(order[i], order[i + 1]);
  positionSlider->setFocus();
}

void MainWindow::createActions() {
  auto make = [this](const char* name, const QString& text, const QKeySequence& key, auto handler) {
    return makeAction(name, text, key, handler);
  };
  openAction = make("openAction", "Open", QKeySequence::Open, &MainWindow::onOpenTriggered);
  playPauseAction = make("playPauseAction", "Play", Qt::Key_Space, &MainWindow::onPlayPauseTriggered);
  stopAction = make("stopAction", "Stop", Qt::Key_S, &MainWindow::onStopTriggered);
  markStartAction = make("markStartAction", "Mark Start", Qt::Key_I, &MainWindow::onMarkStartTriggered);
  markEndAction = make("markEndAction", "Mark End", Qt::Key_O, &MainWindow::onMarkEndTriggered);
  playSelectedAction =
      make("playSelectedAction", "Play Selected", Qt::Key_P, &MainWindow::onPlaySelectedTriggered);
  saveAction = make("saveAction", "Save", QKeySequence::Save, &MainWindow::onSaveTriggered);
  helpAction = make("helpAction", "Help", {}, &MainWindow::onHelpTriggered);
  shortcutsAction =
      make("shortcutsAction", "Keyboard Shortcuts", Qt::Key_F1, &MainWindow::onShortcutsTriggered);
  contextMenuAction = make("contextMenuAction", "Menu", Qt::SHIFT | Qt::Key_F10, [this] {
    // Under the control with the focus, as the Menu key puts it.
    QWidget* focus = focusWidget() ? focusWidget() : this;
    showContextMenu(focus->mapToGlobal(focus->rect().center()));
  });
  websiteAction = make("websiteAction", "Website", {}, &MainWindow::onWebsiteTriggered);
  aboutAction = make("aboutAction", "About...", {}, &MainWindow::onAboutTriggered);
  cancelAction = make("cancelAction", "Cancel", Qt::Key_Escape, &MainWindow::onCancelTriggered);
  // The slider's own steps: one second, and five with Shift.
  stepBackAction = make("stepBackAction", "One second back", Qt::Key_Left, [this] { stepBy(-1); });
  stepForwardAction = make("stepForwardAction", "One second forward", Qt::Key_Right, [this] { stepBy(1); });
  jumpBackAction =
      make("jumpBackAction", "Five seconds back", Qt::SHIFT | Qt::Key_Left, [this] { stepBy(-5); });
  jumpForwardAction =
      make("jumpForwardAction", "Five seconds forward", Qt::SHIFT | Qt::Key_Right, [this] { stepBy(5); });
  frameBackAction = make("frameBackAction", "One frame back", Qt::Key_Comma, [this] { stepFrame(false); });
  frameForwardAction =
      make("frameForwardAction", "One frame forward", Qt::Key_Period, [this] { stepFrame(true); });
  tracksAction = make("tracksAction", "Tracks...", {}, &MainWindow::onTracksTriggered);
  previousKeyFrameAction = make("previousKeyFrameAction", "Previous key frame", Qt::ALT | Qt::Key_Left,
                                [this] { stepToKeyFrame(false); });
  nextKeyFrameAction =
      make("nextKeyFrameAction", "Next key frame", Qt::ALT | Qt::Key_Right, [this] { stepToKeyFrame(true); });
  fullScreenAction = make("fullScreenAction", "Full Screen", Qt::Key_F11, &MainWindow::toggleFullScreen);
  connect(videoArea, &VideoArea::doubleClicked, fullScreenAction, &QAction::trigger);
  marksToFrameAction = new QAction("Marks to the frame", this);
  marksToFrameAction->setObjectName("marksToFrameAction");
  marksToFrameAction->setCheckable(true);
  marksToFrameAction->setChecked(settings_.marksToFrame());
  connect(marksToFrameAction, &QAction::toggled, this, [this](bool on) {
    session_.setMarksToFrame(on);
    settings_.setMarksToFrame(on);
    layOutControls();  // the time labels' width
  });

  bindButtons();
}

void MainWindow::bindButtons() {
  bindButton(playButton, playPauseAction);
  bindButton(stopButton, stopAction);
  bindButton(openButton, openAction);
  bindButton(markStartButton, markStartAction);
  bindButton(markEndButton, markEndAction);
  bindButton(helpButton, helpAction);
  bindButton(playSelectedButton, playSelectedAction);
  bindButton(saveButton, saveAction);
  bindButton(websiteButton, websiteAction);
  bindButton(tracksButton, tracksAction);
  for (QPushButton* button : findChildren<QPushButton*>()) button->installEventFilter(this);
}

void MainWindow::showSession() {
  const bool saving = session_.isSaving();
  // While a cut runs only Save (as Cancel), Website, Help and About answer.
  for (QAction* action : {openAction, playPauseAction, stopAction, markStartAction, markEndAction,
                          playSelectedAction, stepBackAction, stepForwardAction, jumpBackAction,
                          jumpForwardAction, frameBackAction, frameForwardAction, previousKeyFrameAction,
                          nextKeyFrameAction, addSegmentAction, importSegmentsAction})
    action->setEnabled(!saving);
  tracksAction->setEnabled(!saving && session_.hasFile());
  undoAction->setEnabled(!saving && session_.segments().undoStack().canUndo());
  redoAction->setEnabled(!saving && session_.segments().undoStack().canRedo());
  segmentPanel->setEnabled(!saving);
  positionSlider->setEnabled(!saving);
  updateEscape();
  saveAction->setText(saving ? "Cancel" : "Save");
  // While a cut runs only Esc and the button cancel it: the Save key, pressed twice as people
  // do, must not throw the cut away.
  saveAction->setShortcut(saving ? QKeySequence() : QKeySequence(QKeySequence::Save));
  playPauseAction->setText(session_.isPlaying() ? "Pause" : "Play");

  // An end not yet marked waits at the far end of the slider.
  positionSlider->setMarks(session_.markStart(),
                           session_.markEnd() > 0 ? session_.markEnd() : positionSlider->maximum(),
                           session_.selectionValid());
  showTitle();
  const std::optional<Stretch> stretch = session_.stretchToSave();
  if (stretch && session_.hasFile())
    cutCostReader->ask(session_.file(), stretch->start, stretch->end, offeredType(session_.file()));
  else
    cutCostReader->ask({}, 0, 0, {});
}

void MainWindow::showTitle() {
  if (session_.isSaving() || !session_.hasFile()) {
    setWindowTitle(saveFlow_->title());
  } else {
    setWindowTitle(QFileInfo(session_.file()).fileName() + " - Vintrel");
  }
}

void MainWindow::showSaveProgress() {
  showTitle();
  progressBar->setValue(session_.isSaving() ? saveFlow_->percent() : 0);
}

void MainWindow::onSaveTriggered() {
  if (session_.isSaving()) {
    saveFlow_->cancel();
    return;
  }
  saveFlow_->save();
}

void MainWindow::onCancelTriggered() {
  if (session_.isSaving()) {
    saveFlow_->cancel();
  } else if (isFullScreen()) {
    toggleFullScreen();
  }
}

void MainWindow::updateEscape() { cancelAction->setEnabled(session_.isSaving() || isFullScreen()); }

void MainWindow::toggleFullScreen() {
  // Only the full-screen state flips: a window maximised before is maximised again after.
  setWindowState(windowState() ^ Qt::WindowFullScreen);
}

void MainWindow::changeEvent(QEvent* event) {
  if (event->type() == QEvent::WindowStateChange) updateEscape();
  QWidget::changeEvent(event);
}

void MainWindow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  layOutControls();
}

double MainWindow::fontScale() const {
  return std::max(1.0, QFontMetricsF(QApplication::font()).lineSpacing() / layout::kDesignLineHeight);
}

void MainWindow::layOutControls() {
  // The segment list, when shown, takes its width at the right; the rest is laid out in what is left.
  const int panelWidth = segmentPanel && segmentPanel->isVisibleTo(this) ? layout::kSegmentPanelWidth : 0;
  const QSize room(width() - panelWidth, height());
  const double scale = layout::controlScale(room, fontScale());
  if (scale != controlScale_) {
    controlScale_ = scale;
    scaleFonts(scale / fontScale());
  }
  for (const layout::Spot& spot : layout::kSpots) {
    if (auto* control = findChild<QWidget*>(spot.name, Qt::FindDirectChildrenOnly))
      control->setGeometry(layout::placed(spot, room, session_.marksToFrame(), scale));
  }
  if (panelWidth > 0) segmentPanel->setGeometry(room.width(), 0, panelWidth, height());
}

void MainWindow::scaleFonts(double growth) {
  // The desktop's font, grown with the controls; the labels under and beside the picture a
  // little smaller, as drawn.
  QFont font = QApplication::font();
  font.setPointSizeF(font.pointSizeF() * growth);
  for (QPushButton* button : findChildren<QPushButton*>(Qt::FindDirectChildrenOnly)) button->setFont(font);
  QFont labelFont = font;
  labelFont.setPointSizeF(font.pointSizeF() * kTimeFontShare);
  for (QLabel* label : {positionLabel, durationLabel, startLabel, endLabel, lengthLabel, costLabel})
    label->setFont(labelFont);
}

void MainWindow::restoreWindow() {
  const std::optional<QRect> remembered = settings_.windowGeometry();
  if (remembered) {
    // A screen since unplugged, or made smaller, would leave the window out of reach:
    // then only its size is taken and the system places it.
    const QScreen* screen = QGuiApplication::screenAt(remembered->center());
    if (screen && screen->availableGeometry().contains(remembered->topLeft())) {
      setGeometry(*remembered);
    } else {
      resize(remembered->size());
    }
  }
  if (settings_.windowMaximized()) setWindowState(windowState() | Qt::WindowMaximized);
}

void MainWindow::onWebsiteTriggered() { openHomePage(services_.urls, services_.messages); }

void MainWindow::onHelpTriggered() { offerCodecHelp(services_.urls, services_.messages); }

void MainWindow::onAboutTriggered() {
  if (!aboutWindow_) {
    aboutWindow_ = new AboutWindow(credits_, this);
    // Closing it lets it go; the next "About..." makes it afresh.
    aboutWindow_->setAttribute(Qt::WA_DeleteOnClose);
  }
  aboutWindow_->show();
  aboutWindow_->raise();
  aboutWindow_->activateWindow();
}

void MainWindow::onShortcutsTriggered() {
  if (!shortcutsWindow_) {
    shortcutsWindow_ = new ShortcutsWindow(shortcutRows(), this);
    shortcutsWindow_->setAttribute(Qt::WA_DeleteOnClose);
  }
  shortcutsWindow_->show();
  shortcutsWindow_->raise();
  shortcutsWindow_->activateWindow();
}

QList<ShortcutRow> MainWindow::shortcutRows() const {
  // The commands whose words in the list say more than their menu text.
  const std::pair<const QAction*, const char*> described[] = {
      {playPauseAction, "Play or Pause"},
      {cancelAction, "Cancel a save; leave full screen"},
      {contextMenuAction, "The menu (as the Menu key)"},
      {saveAction, "Save the marked stretch"},
      {undoAction, "Undo a change to the segment list"},
      {redoAction, "Redo a change to the segment list"},
      {addSegmentAction, "Add the marked stretch to the segment list"},
  };
  QList<ShortcutRow> rows;
  for (const QAction* action : actions()) {
    if (action->shortcut().isEmpty()) continue;
    QString what = action->text();
    for (const auto& [command, words] : described)
      if (command == action) what = words;
    rows.append(ShortcutRow{action->shortcut().toString(QKeySequence::NativeText), what});
  }
  rows.append(ShortcutRow{"Page Up, Page Down", "Five seconds back or forward (on the slider)"});
  rows.append(ShortcutRow{"Home, End", "The start or the end (on the slider)"});
  rows.append(ShortcutRow{"Tab, Shift+Tab", "The next or the previous control"});
  rows.append(ShortcutRow{"Double-click", "Full screen (on the picture)"});
  rows.append(ShortcutRow{"Delete", "Remove the selected segments (in the segment list)"});
  rows.append(ShortcutRow{"Ctrl+Up, Ctrl+Down", "Move the selected segment (in the segment list)"});
  return rows;
}

void MainWindow::closeEvent(QCloseEvent* event) {
  // Hidden, not closed: an accepted close makes Qt destroy the X windows at once, the video
  // area's among them, while libmpv's output still draws into it, and the X error or the
  // output's assertion that follows ends the program. They go with the window, after the player.
  event->ignore();
  settings_.rememberWindow(normalGeometry(), windowState().testFlag(Qt::WindowMaximized));
  hide();
  // A running cut is a process of its own and finishes its file after the window is gone.
  if (aboutWindow_) aboutWindow_->close();
  if (shortcutsWindow_) shortcutsWindow_->close();
  positionTimer->stop();
  player_->close();
  if (session_.isSaving() && services_.notifier) {
    // The program stays until the cut ends, to tell the desktop how it went.
    connect(saveFlow_.get(), &SaveFlow::finishedUnattended, this, &MainWindow::closed);
    saveFlow_->continueUnattended(*services_.notifier);
    return;
  }
  emit closed();
}

std::optional<QString> droppedFile(const QMimeData& data) {
  for (const QUrl& url : data.urls())
    if (url.isLocalFile()) return url.toLocalFile();
  return std::nullopt;
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  // Refused while a cut runs: Open is locked then too.
  if (!session_.isSaving() && droppedFile(*event->mimeData())) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
  const std::optional<QString> file = droppedFile(*event->mimeData());
  if (session_.isSaving() || !file) return;
  event->acceptProposedAction();
  if (session_.hasFile()) rewind();
  openFile(*file);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  // Space belongs to Play/Pause wherever the focus is. While that is locked (a cut runs),
  // it must not fall through to the focused button either: that is Cancel, most likely.
  const bool keyEvent = event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease;
  if (keyEvent && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Space && !playPauseAction->isEnabled())
    return true;
  return QWidget::eventFilter(watched, event);
}

void MainWindow::contextMenuEvent(QContextMenuEvent* event) { showContextMenu(event->globalPos()); }

void MainWindow::showContextMenu(const QPoint& at) {
  QMenu menu(this);
  menu.addSeparator();
  menu.addAction(shortcutsAction);
  menu.addAction(aboutAction);
  menu.addSeparator();
  menu.addAction(marksToFrameAction);
  menu.addSeparator();
  menu.addAction(showSegmentsAction);
  menu.addAction(importSegmentsAction);
  menu.addAction(exportSegmentsAction);
  menu.addAction(tracksAction);
  menu.exec(at);
}

}  // namespace vintrel
