#pragma once
// The main window: every control the commands act on, the state they share, and the
// handlers of each command. The handlers are defined in the folder of their feature:
//   app/form1.cpp          controls, start-up, shutdown, mp_myclose, default error handling
//   player/format_time.cpp FormatTime
//   player/transport.cpp   the player wrappers, Play/Pause and Stop
//   player/tracking.cpp    the one-second tick and the slider's press, release and click
//   selection/open.cpp     Open
//   selection/marks.cpp    Mark Start and Mark End
//   selection/play_selected.cpp  Play Selected
//   export/save.cpp        Save
//   about/links.cpp        Website and Help
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <memory>

#include "about/about_module.h"
#include "app/controls.h"
#include "platform/platform.h"
#include "player/player.h"

namespace vintrel {

class Form1 : public QWidget {
  Q_OBJECT
 public:
  explicit Form1(Platform& platform, QWidget* parent = nullptr);
  ~Form1() override;

  Platform& sys;

  // --- Shared state --------------------------------------------------------
  QString CurrentFile;      // the open video; empty: none
  int32_t SelStart = 0;     // start mark, whole seconds
  int32_t SelEnd = 0;       // end mark, whole seconds
  int32_t MarkerScale = 0;  // twips between two slider steps when placing the mark lines
  bool IsPlaying = false;   // playback runs (kept in step by the mp_my* wrappers)

  // --- Controls (positions in twips in form1.cpp) --------------------------
  VideoArea* mpArea;            // where the player `mp` draws
  std::unique_ptr<IPlayer> mp;  // the player
  Slider* H;                    // position, whole seconds
  QLabel* Label4;               // playback position
  QPushButton* Command1;        // "Play" / "Pause"
  QPushButton* Command2;        // "Stop"
  QPushButton* Command4;        // "Open"
  QLabel* Label7;               // start mark
  QPushButton* Command5;        // "Mark Start"
  QLabel* Label9;               // end mark
  QPushButton* Command6;        // "Mark End"
  QPushButton* Command8;        // "Help"
  QLabel* Label3;               // length of the marked stretch
  QPushButton* Command9;        // "Play Selected"
  QPushButton* Command7;        // "Save"
  QPushButton* Command3;        // "Website"
  QProgressBar* pb;             // activity while the encoder runs, 0 to 100
  std::unique_ptr<MarkLine> Line1;  // start mark line
  std::unique_ptr<MarkLine> Line2;  // end mark line
  QTimer* T;                    // position tracking, 1000 ms
  ICommonDialog& Cdlg;          // the Open and Save dialogs

  // --- Start-up and shutdown (app/form1.cpp) -------------------------------
  void Form_Initialize();
  // Shows the window and loads the credits; ends the program when they are missing.
  void Form_Load();
  void Form_Unload();
  void mp_myclose();
  // The window's procedure for system commands; start-up puts WindowProc in its place.
  WndProc WndProcedure;
  // The context menu's "About..." and anything else sent as a system command.
  void SystemCommand(intptr_t wParam);

  // The application's default handling of an error nobody trapped: a message naming
  // it, then the end of the program.
  [[noreturn]] void DefaultErrorHandling(const std::exception& error);
  // Runs an event handler that has no trap of its own, so nothing escapes into Qt.
  template <class F>
  void Untrapped(F&& handler) {
    try {
      handler();
    } catch (const std::exception& error) {
      DefaultErrorHandling(error);
    }
  }

  // --- Time display (player/format_time.cpp) -------------------------------
  static QString FormatTime(int32_t seconds);

  // --- Player wrappers and transport (player/transport.cpp) ----------------
  void mp_myopen();
  void mp_myplay();
  void mp_mypause();
  void mp_mystop();
  void Command1_Click();  // Play/Pause
  void Command2_Click();  // Stop

  // --- Position tracking (player/tracking.cpp) -----------------------------
  void T_Timer();
  void H_MouseDown();
  void H_MouseUp();
  void H_Click();

  // --- Open, marks, Play Selected (selection/) -----------------------------
  void Command4_Click();  // Open
  void Command5_Click();  // Mark Start
  void Command6_Click();  // Mark End
  void Command9_Click();  // Play Selected

  // --- Save (export/save.cpp) ----------------------------------------------
  void Command7_Click();

  // --- Website and Help (about/links.cpp) ----------------------------------
  void Command3_Click();
  void Command8_Click();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  int exitCode_ = 0;
  void CreateControls();
  void ConnectHandlers();
};

// Switches a timer on without restarting one that already runs.
inline void SetTimerEnabled(QTimer* timer, bool on) {
  if (!on) {
    timer->stop();
  } else if (!timer->isActive()) {
    timer->start();
  }
}

// Twips to pixels at 96 dpi.
constexpr int Px(int twips) { return twips / 15; }

}  // namespace vintrel
