// The boxes' tests again on a real X server: there the toolkit places a box for the size it had
// before it was shown, and no window manager moves it anywhere else.
#include "x11/in_process_main.h"

namespace {
xtest::XServer* g_x = nullptr;
}

int main(int argc, char** argv) { return xtest::RunTestsOnPrivateServer(argc, argv, g_x); }
