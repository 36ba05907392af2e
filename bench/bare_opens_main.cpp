// The bare baseline for memory over repeated opens, as a process of its own so that its
// resident memory is libmpv's and the plain window's, with nothing of Qt or the program:
//   vintrel_bench_bare OPENS CLIP0 CLIP1
// on $DISPLAY. Each open is a `loadfile replace` of the other clip while the last one plays;
// once the new clip's first frame is on screen and it has played a moment, one line:
//   open <n> <VmRSS MiB> <ms from loadfile to the frame>
// Before the first open, "idle <VmRSS MiB>".
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "bare_mpv.h"
#include "marker.h"
#include "xscreen.h"

namespace {

double VmRssMiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::atof(line.c_str() + 6) / 1024.0;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace bench;
  const char* display = std::getenv("DISPLAY");
  if (argc != 4 || !display) {
    std::fprintf(stderr, "usage: DISPLAY=:n %s OPENS CLIP0 CLIP1\n", argv[0]);
    return 2;
  }
  const int opens = std::atoi(argv[1]);
  const std::string clips[2] = {argv[2], argv[3]};
  PlainWindow window(display, kBareOrigin, kAreaWidth, kAreaHeight);
  PixelWatch watch(display);
  BarePlayer player(static_cast<int64_t>(window.id()));
  if (!window.ok() || !watch.ok() || !player.ok()) return 1;
  player.WaitUntil([] { return false; }, 0.4);
  std::printf("idle %.1f\n", VmRssMiB());
  std::fflush(stdout);
  const Point marker = MarkerOnScreen(kBareOrigin.x, kBareOrigin.y, kAreaWidth, kAreaHeight);
  for (int i = 0; i < opens; ++i) {
    const int clip = i % 2;
    watch.Arm(marker, [clip](Rgb c) { return MarkerShows(c, clip, 0); });
    const Time asked = Clock::now();
    player.Load(clips[clip]);
    player.WaitUntil([&] { return watch.Fired() && player.marks().loaded; }, 10);
    const auto frame = watch.Disarm();
    // As on the program's side: it plays a moment before its memory is read.
    player.WaitUntil([] { return false; }, 0.3);
    std::printf("open %d %.1f %.0f\n", i + 1, VmRssMiB(), frame ? Ms(*frame - asked) : -1.0);
    std::fflush(stdout);
  }
  return 0;
}
