#pragma once
// The main window's window procedure and the About window it opens. Linux window
// managers own the system menu, so the window offers "About..." in its context menu
// and sends the same system command through the procedure that the window has.
#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <functional>

namespace vintrel {

class Form1;
class Form2;

using WndProc = std::function<intptr_t(WId hWnd, uint32_t uMsg, intptr_t wParam, intptr_t lParam)>;

namespace About {

constexpr uint32_t WM_SYSCOMMAND = 274;
constexpr intptr_t SC_CLOSE = 0xF060;
constexpr intptr_t IDM_ABOUT = 1010;

// The procedure the main window had before WindowProc replaced it.
extern WndProc PrevWndProc;

// Opens the About window on exactly IDM_ABOUT; hands everything else on unchanged.
intptr_t WindowProc(WId hWnd, uint32_t uMsg, intptr_t wParam, intptr_t lParam);

// The About window, loaded (hidden) if it is not yet; its load step runs then.
Form2& Load(Form1& owner);
// The instance, or null while not loaded.
Form2* Instance();
// Destroys the instance (the program's end; tests).
void Unload();

}  // namespace About
}  // namespace vintrel
