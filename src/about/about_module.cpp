#include "about/about_module.h"

#include "about/form2.h"
#include "app/form1.h"

namespace vintrel::About {

WndProc PrevWndProc;

namespace {
QPointer<Form2> g_instance;
Form1* g_owner = nullptr;
}  // namespace

Form2& Load(Form1& owner) {
  g_owner = &owner;
  if (!g_instance) g_instance = new Form2(owner.sys.files);
  return *g_instance;
}

Form2* Instance() { return g_instance.data(); }

void Unload() { delete g_instance.data(); }

intptr_t WindowProc(WId hWnd, uint32_t uMsg, intptr_t wParam, intptr_t lParam) {
  if (uMsg == WM_SYSCOMMAND && wParam == IDM_ABOUT) {
    Form2& about = Load(*g_owner);
    about.show();
    about.raise();
    about.activateWindow();
    return 0;
  }
  return PrevWndProc ? PrevWndProc(hWnd, uMsg, wParam, lParam) : 0;
}

}  // namespace vintrel::About
