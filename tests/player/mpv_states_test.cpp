// The player's load and seek states on the orders of events libmpv may deliver them in.
#include "player/mpv_states.h"

#include <gtest/gtest.h>

namespace vintrel {
namespace {

using Ending = LoadState::Ending;

TEST(LoadState, TheAwaitedFileIsJudgedOnceItsEntryIsKnownAndUpInEitherOrder) {
  {
    SCOPED_TRACE("reply first");
    LoadState load;
    load.requested(7);
    EXPECT_TRUE(load.loading());
    EXPECT_EQ(load.request(), 7u);
    load.entryStarted(3);
    EXPECT_FALSE(load.entryNamed(3));
    EXPECT_TRUE(load.fileLoaded());
    load.accepted();
    EXPECT_TRUE(load.loaded());
  }
  {
    SCOPED_TRACE("file loaded before its reply was read");
    LoadState load;
    load.requested(7);
    load.entryStarted(3);
    EXPECT_FALSE(load.fileLoaded());
    EXPECT_FALSE(load.loaded()) << "not judged yet";
    EXPECT_TRUE(load.entryNamed(3));
  }
}

TEST(LoadState, AnEarlierFilesEventsAreNotTakenForTheAwaitedOne) {
  LoadState load;
  load.requested(1);
  load.entryStarted(1);
  EXPECT_FALSE(load.entryNamed(1));
  EXPECT_TRUE(load.fileLoaded());
  load.accepted();

  // A second open while the first file's entry is still current.
  load.requested(9);
  EXPECT_FALSE(load.loaded());
  EXPECT_FALSE(load.fileLoaded()) << "entry 1's late event, read before the reply";
  EXPECT_FALSE(load.entryNamed(2)) << "the early event was entry 1's, not the awaited 2";
  EXPECT_FALSE(load.fileLoaded()) << "entry 1 is still current";
  load.entryStarted(2);
  EXPECT_TRUE(load.fileLoaded());

  // The same late event, then the new entry's start, then the reply: entry 2 is not up yet.
  LoadState late;
  late.requested(1);
  late.entryStarted(1);
  late.entryNamed(1);
  late.fileLoaded();
  late.accepted();
  late.requested(2);
  EXPECT_FALSE(late.fileLoaded());
  late.entryStarted(2);
  EXPECT_FALSE(late.entryNamed(2));
  EXPECT_TRUE(late.fileLoaded());

  LoadState stopped;
  stopped.requested(4);
  stopped.entryStarted(5);
  stopped.stopped();
  EXPECT_FALSE(stopped.fileLoaded());
  EXPECT_FALSE(stopped.entryNamed(5));
  EXPECT_EQ(stopped.phase(), LoadState::Phase::kIdle);
}

TEST(LoadState, AnEntrysEndMeansFailureWhileLoadingAndLossOnlyBeforeItsEnd) {
  LoadState load;
  load.requested(1);
  EXPECT_EQ(load.entryEnded(6, false, true, false), Ending::kNotOurs) << "no entry named yet";
  load.entryNamed(6);
  EXPECT_EQ(load.entryEnded(5, false, true, false), Ending::kNotOurs);
  EXPECT_EQ(load.entryEnded(6, true, false, false), Ending::kRedirected);
  EXPECT_EQ(load.entryEnded(6, false, true, false), Ending::kFailed);
  EXPECT_EQ(load.entryEnded(6, false, false, false), Ending::kOther);
  EXPECT_TRUE(load.loading());

  load.entryStarted(6);
  load.fileLoaded();
  load.accepted();
  EXPECT_EQ(load.entryEnded(6, false, false, true), Ending::kOther) << "played to its end: still loaded";
  EXPECT_TRUE(load.loaded());
  EXPECT_EQ(load.entryEnded(6, false, false, false), Ending::kGone);
  EXPECT_FALSE(load.loaded());
}

TEST(SeekState, TheTargetHoldsUntilTheSeekIsAcknowledgedAndPlaybackGoesOnFromIt) {
  SeekState seek;
  EXPECT_FALSE(seek.target());
  EXPECT_FALSE(seek.holdsClock(true));

  seek.started(12.5, 4);
  EXPECT_EQ(seek.target(), 12.5);
  EXPECT_TRUE(seek.holdsClock(false)) << "the clock still tells the time before the seek";
  seek.restarted(false);
  EXPECT_EQ(seek.target(), 12.5) << "a restart before the reply belongs to an earlier seek";
  seek.replied(3, true);
  EXPECT_TRUE(seek.holdsClock(false)) << "another command's reply";

  seek.replied(4, true);
  EXPECT_FALSE(seek.holdsClock(false));
  EXPECT_TRUE(seek.holdsClock(true)) << "a paused frame may carry a stamp past the target";
  seek.restarted(false);
  EXPECT_FALSE(seek.target()) << "playing from the target: the clock takes over";
}

TEST(SeekState, PausedTheTargetStaysUntilPlaybackResumesOrSomethingElseTellsThePosition) {
  SeekState seek;
  seek.started(3, 8);
  seek.resumed();
  EXPECT_EQ(seek.target(), 3) << "resumed before a frame from the target is up";
  seek.replied(8, true);
  seek.restarted(true);
  EXPECT_EQ(seek.target(), 3);
  seek.restarted(true);
  EXPECT_EQ(seek.target(), 3);
  seek.resumed();
  EXPECT_FALSE(seek.target());

  seek.started(4, 9);
  seek.replied(9, false);
  EXPECT_FALSE(seek.target()) << "refused";

  seek.started(5, 0);
  seek.replied(0, true);
  EXPECT_EQ(seek.target(), 5) << "a seek libmpv did not take is never acknowledged";
  seek.dropped();
  EXPECT_FALSE(seek.target());
  EXPECT_FALSE(seek.holdsClock(true));
}

}  // namespace
}  // namespace vintrel
