#pragma once
// The main window: the video, the position slider, the commands' buttons, the mark
// labels and the progress bar. Every command is a QAction (its handler, its enabled
// rule and its shortcut in one place); the buttons trigger the actions.
#include <QAction>
#include <QLabel>
#include <QMimeData>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

#include "about/about_window.h"
#include "about/shortcuts_window.h"
#include "app/user_settings.h"
#include "platform/platform.h"
#include "player/player.h"
#include "preview/cut_cost_reader.h"
#include "preview/frame_pictures.h"
#include "preview/key_frame_reader.h"
#include "save/save_flow.h"
#include "segments/segment_panel.h"
#include "session/session.h"
#include "widgets/position_slider.h"

namespace vintrel {

// What the window needs from outside; tests pass fakes.
struct Services {
  Messages& messages;
  FileDialogs& dialogs;
  UrlOpener& urls;
  Files& files;
  // Makes the player that draws into the given video area.
  std::function<std::unique_ptr<Player>(QWidget* videoArea)> makePlayer;
  std::function<std::unique_ptr<CutJob>()> makeCutJob;
  // Tells the desktop how a save ended that outlived the window; none: nobody is told.
  Notifier* notifier = nullptr;
};

// The time labels' font against the buttons' (8.25 points beside 9).
inline constexpr double kTimeFontShare = 8.25 / 9;

inline const char* kCannotPlay = "Vintrel cannot play this file.";
inline const char* kNoTracks = "The tracks of this file cannot be read.";
inline const char* kOpenFilter =
    "All Video Files|*.dat;*.mp4;*.wmv;*.mov;*.avi;*.divx;*.mpg;*.flv;*.mkv;*.vob|All Files(*.*)|*.*";

// The file a drop brings: the first local file of the dropped items; nothing when none of
// them is a local file (a web address, text).
std::optional<QString> droppedFile(const QMimeData& data);

class MainWindow : public QWidget {
  Q_OBJECT
 public:
  // The credits go to the About window. Throws what makePlayer throws.
  MainWindow(Services services, QString credits, QWidget* parent = nullptr);
  ~MainWindow() override;

  // Opens a file as Open does once it is chosen.
  void openFile(const QString& path);

  Session& session() { return session_; }
  Player& player() { return *player_; }
  SaveFlow& saveFlow() { return *saveFlow_; }
  AboutWindow* aboutWindow() const { return aboutWindow_; }
  ShortcutsWindow* shortcutsWindow() const { return shortcutsWindow_; }
  // Every key of the window and what it does, as the Keyboard Shortcuts window lists them.
  QList<ShortcutRow> shortcutRows() const;

  // The commands.
  QAction* openAction;
  QAction* playPauseAction;
  QAction* stopAction;
  QAction* markStartAction;
  QAction* markEndAction;
  QAction* playSelectedAction;
  QAction* saveAction;
  QAction* websiteAction;
  QAction* helpAction;
  QAction* aboutAction;
  QAction* cancelAction;  // Esc: stops a running save
  QAction* stepBackAction;
  QAction* stepForwardAction;
  QAction* jumpBackAction;
  QAction* jumpForwardAction;
  QAction* frameBackAction;         // ,
  QAction* frameForwardAction;      // .
  QAction* fullScreenAction;        // F11, or a double-click on the picture
  QAction* marksToFrameAction;      // in the context menu; remembered
  QAction* shortcutsAction;         // F1: the Keyboard Shortcuts window
  QAction* contextMenuAction;       // Shift+F10, as the Menu key does
  QAction* tracksAction;            // the Tracks dialog: which streams a save keeps
  QAction* previousKeyFrameAction;  // Alt+Left: where a copy can start, before the position
  QAction* nextKeyFrameAction;      // Alt+Right
  QAction* addSegmentAction;        // A: the marked stretch into the segment list
  QAction* undoAction;              // Ctrl+Z: the segment list's last change
  QAction* redoAction;              // Ctrl+Shift+Z
  QAction* showSegmentsAction;      // in the context menu: the list beside the picture
  QAction* importSegmentsAction;
  QAction* exportSegmentsAction;

  // The controls.
  VideoArea* videoArea;
  PositionSlider* positionSlider;
  QLabel* positionLabel;
  QLabel* durationLabel;  // the video's length, in the position's form
  QPushButton* playButton;
  QPushButton* stopButton;
  QPushButton* openButton;
  QLabel* startLabel;
  QPushButton* markStartButton;
  QLabel* endLabel;
  QPushButton* markEndButton;
  QPushButton* helpButton;
  QLabel* lengthLabel;
  // What a save of the marked stretch will cost: copied whole, frames re-encoded, or why all are.
  QLabel* costLabel;
  QPushButton* playSelectedButton;
  QPushButton* saveButton;
  QPushButton* websiteButton;
  QPushButton* tracksButton;
  QProgressBar* progressBar;
  QPushButton* addSegmentButton;
  SegmentPanel* segmentPanel;
  // Moves the slider and the position label once a second while the video plays.
  QTimer* positionTimer;
  // The open video's key frames, drawn on the slider once read.
  KeyFrameReader* keyFrameReader;
  CutCostReader* cutCostReader;
  // A small picture of the video above the slider, where the pointer rests over it.
  FramePictures* framePictures;
  QLabel* hoverPicture;

 signals:
  // The window was closed; the program ends.
  void closed();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // A command of the window: its keys work whatever control has the focus; a dialog keeps its own.
  template <typename Handler>
  QAction* makeAction(const char* name, const QString& text, const QKeySequence& key, Handler handler) {
    auto* action = new QAction(text, this);
    action->setObjectName(name);
    action->setShortcut(key);
    action->setShortcutContext(Qt::WindowShortcut);
    connect(action, &QAction::triggered, this, handler);
    addAction(action);
    return action;
  }
  void createControls();
  void connectControls();  // the position timer, the slider's signals, the focus order
  void createActions();
  void createSegmentControls();  // the list beside the picture, Add Segment, Undo and Redo
  // Each button shows its action and triggers it.
  void bindButtons();
  // Puts the window where and as large as it was left last time, when that still fits a screen.
  void restoreWindow();
  // Every control where the layout puts it for the window's present size.
  void layOutControls();
  // The desktop's font against the one the layout was drawn for; never below 1.
  double fontScale() const;
  // The controls' fonts, `growth` times the desktop's.
  void scaleFonts(double growth);
  void connectPlayer();
  // Shows what the session holds: captions, enabled rules, ticks, the length label.
  void showSession();
  void showSaveProgress();

  // The segment list's commands (segment_commands.cpp).
  void onAddSegmentTriggered();
  void onSegmentSelected(int row);
  void onSegmentsChanged();
  void rememberSegments();
  void showSegmentPanel(bool shown);
  void importSegments();
  void exportSegments();
  // The list this video was left with, when the same file opens again.
  void restoreSegments();
  void showSegmentBands();

  // The commands' handlers.
  void onOpenTriggered();
  void onPlayPauseTriggered();
  void onStopTriggered();
  void onMarkStartTriggered();
  void onMarkEndTriggered();
  void showSelectionLength();
  void onPlaySelectedTriggered();
  void onSaveTriggered();
  void onCancelTriggered();
  void onWebsiteTriggered();
  void onHelpTriggered();
  void onAboutTriggered();
  void onShortcutsTriggered();
  // The right-click menu, at a point on the screen.
  void showContextMenu(const QPoint& at);
  // The title names the open file: "name.mp4 - Vintrel"; the save's progress while one runs.
  void showTitle();
  // The slider's thumb, dragged: the picture follows it from key frame to key frame.
  void onSliderMoved(int second);
  void stepBy(int seconds);
  void stepFrame(bool forward);
  void stepToKeyFrame(bool forward);
  void onTracksTriggered();
  void connectPreviews();  // key frames, the cost line and the picture under the pointer
  void showHoverPicture(const QImage& picture);
  void toggleFullScreen();
  // Esc cancels a running save first, and otherwise leaves full screen.
  void updateEscape();

  // Playback's own events.
  void onLoaded(double duration);
  void onFailed(const QString& reason);
  void onPositionTick();
  void onPositionChanged(double seconds);
  void onEndReached();
  void onSliderPressed();
  void onSliderReleased();
  // The player and the position label go where the slider's thumb stands.
  void seekToSlider();

  void play();
  void pause();
  // Back to the start, halted; the slider with it.
  void rewind();
  void followPosition(bool on);

  Services services_;
  QString credits_;
  UserSettings settings_;
  Session session_;
  std::unique_ptr<Player> player_;
  std::unique_ptr<SaveFlow> saveFlow_;
  QPointer<AboutWindow> aboutWindow_;
  QPointer<ShortcutsWindow> shortcutsWindow_;
  // A frame step was asked for: the position it lands on goes to the slider and the label.
  bool awaitingFrame_ = false;
  // Where the last key-frame step went, while the player is still on its way there.
  std::optional<double> keyFrameTarget_;
  QPoint hoverAt_;  // where the pointer rests over the slider, on the screen
  // The segment list has been shown once for this window: it no longer appears by itself.
  bool segmentShownOnce_ = false;
  // The last move was a frame step: reaching the end then keeps the last frame on screen.
  bool steppedFrame_ = false;
  double controlScale_ = 0;  // as the controls are laid out now
};

}  // namespace vintrel
