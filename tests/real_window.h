#pragma once
// The main window on the real libmpv player (no screen or sound output), with the rest of
// the outside world scripted: the Open dialog answers from a list, messages are collected.
#include <QStringList>
#include <QTest>
#include <deque>
#include <functional>
#include <memory>

#include "app/main_window.h"
#include "player/mpv_player.h"

namespace realwindow {

using namespace vintrel;

// Handles events until done() holds; false when the bound ran out.
inline bool PollUntil(const std::function<bool()>& done, int boundMs = 20000) {
  for (int waited = 0; waited < boundMs; waited += 10) {
    if (done()) return true;
    QTest::qWait(10);
  }
  return done();
}

struct Outside : FileDialogs, Messages, UrlOpener, Files {
  std::deque<QString> openAnswers;
  std::vector<FileDialogRequest> openRequests;
  QStringList shown;

  std::optional<QString> chooseFileToOpen(const FileDialogRequest& request) override {
    openRequests.push_back(request);
    if (openAnswers.empty()) return std::nullopt;
    QString answer = openAnswers.front();
    openAnswers.pop_front();
    return answer;
  }
  std::optional<QString> chooseFileToSave(const FileDialogRequest&) override { return std::nullopt; }
  std::optional<SaveAnswer> chooseFileToSaveWithChoice(const FileDialogRequest&) override {
    return std::nullopt;
  }
  void inform(const QString& text, const QString&) override { shown << text; }
  bool informSaved(const QString& text, const QString&, const QString&) override {
    shown << text;
    return false;
  }
  bool askYesNo(const QString& text, const QString&) override {
    shown << text;
    return false;
  }
  bool open(const QString&) override { return true; }
  QString programFolder() override { return {}; }
  bool exists(const QString&) override { return false; }
  bool sameFile(const QString&, const QString&) override { return false; }
  bool folderWritable(const QString&) override { return true; }
  bool folderExists(const QString&) override { return true; }
  std::optional<cut::FileIdentity> identity(const QString&) override { return std::nullopt; }
  std::optional<QString> readText(const QString&) override { return std::nullopt; }
  bool writeText(const QString&, const QString&) override { return false; }
};

inline std::unique_ptr<MainWindow> MakeWindow(Outside& o) {
  Services services{o,
                    o,
                    o,
                    o,
                    [](QWidget*) -> std::unique_ptr<Player> {
                      return std::make_unique<MpvPlayer>(MpvOptions{"null", "null", 0});
                    },
                    []() -> std::unique_ptr<CutJob> { return nullptr; }};
  return std::make_unique<MainWindow>(services, "credits");
}

}  // namespace realwindow
