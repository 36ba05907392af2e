// What a window manager sends when a window's close box is clicked.
#include <X11/Xlib.h>

namespace xtest {

void SendDeleteWindow(const char* display, unsigned long window) {
  Display* d = XOpenDisplay(display);
  if (!d) return;
  XEvent e = {};
  e.xclient.type = ClientMessage;
  e.xclient.window = window;
  e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
  e.xclient.format = 32;
  e.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
  e.xclient.data.l[1] = CurrentTime;
  XSendEvent(d, window, False, NoEventMask, &e);
  XFlush(d);
  XCloseDisplay(d);
}

bool CanConnect(const char* display) {
  Display* d = XOpenDisplay(display);
  if (!d) return false;
  XCloseDisplay(d);
  return true;
}

}  // namespace xtest
