#pragma once
// A user's hands on the real widgets of this process: answering the modal dialogs and
// message boxes that the commands open, and waiting while the window keeps running.
#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>

namespace uidriver {

// Waits (handling events) until done() holds; false when the time ran out.
bool WaitFor(const std::function<bool()>& done, int timeoutMs);
// Handles events for the given time, as a user watching the window lets it run.
void Watch(int milliseconds);

// Answers the next modal dialogs as they open, in turn: each answer gets the modal widget.
// The texts of message boxes answered are collected in Seen().
void Answer(std::vector<std::function<void(QWidget*)>> answers);
// How many queued answers are still waiting for their dialog.
int Pending();
// Drops the answers not used (a dialog that never came).
void ForgetAnswers();
QStringList Seen();
// The object names of the file dialogs answered, in turn.
QStringList FileDialogsSeen();

// Answers: type a path into a file dialog and press Enter; press a message box's button.
std::function<void(QWidget*)> TypePath(const QString& path);
std::function<void(QWidget*)> Press(const QString& buttonText);
// Esc, as a user leaves a dialog or a box.
std::function<void(QWidget*)> PressEsc();

// Drags the slider's thumb to the spot of `value` and lets it go.
void DragSlider(QWidget* slider, int value);

}  // namespace uidriver
