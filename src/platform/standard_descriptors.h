#pragma once
// Descriptors 0, 1 and 2 (standard input, output and errors) kept open, on /dev/null where a
// starter left them closed (a CI runner, a desktop launcher, `prog <&-`).
//
// Left closed, 0 goes to the next thing the process opens: the X connection or the video. Some
// graphics drivers, probed by the player where there is no GPU, close descriptor 0 that they never
// opened; whatever held it then vanishes from under its owner ("The X11 connection broke", a video
// that plays nothing). Held by /dev/null, such a close takes nothing of ours.
namespace vintrel {

// Process-wide, cheap: call at start-up before anything opens a file or a connection, and again
// before each player start and file open (a driver's stray close may have freed 0 since).
void keepStandardDescriptorsOpen();

}  // namespace vintrel
