#include "ui/progress_relay.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

namespace {

TEST(ProgressRelayTest, TakesTheLatestPathAndEveryStepOnce) {
  CProgressRelay relay;
  ProgressUpdate update;
  EXPECT_FALSE(relay.TakeForTick(&update));

  relay.RecordPath("C:\\App\\a.txt");
  relay.RecordStep();
  relay.RecordPath("C:\\App\\b.txt");
  relay.RecordStep();
  relay.RecordStep();
  ASSERT_TRUE(relay.TakeForTick(&update));
  EXPECT_TRUE(update.pathChanged);
  EXPECT_EQ(update.path, "C:\\App\\b.txt");
  EXPECT_EQ(update.steps, 3);

  // Taken means shown: nothing is applied twice.
  ProgressUpdate again;
  EXPECT_FALSE(relay.TakeForTick(&again));
  EXPECT_FALSE(again.pathChanged);
  EXPECT_EQ(again.steps, 0);

  // A step alone leaves the text as it is.
  relay.RecordStep();
  ProgressUpdate stepOnly;
  ASSERT_TRUE(relay.TakeAll(&stepOnly));
  EXPECT_FALSE(stepOnly.pathChanged);
  EXPECT_EQ(stepOnly.steps, 1);
}

TEST(ProgressRelayTest, HeldTicksTakeNothingAndReleaseShowsAllThatWasKept) {
  CProgressRelay relay;
  relay.RecordPath("before");
  relay.RecordStep();
  relay.Hold();
  // What the worker records on its way to the pause, after the question opened.
  relay.RecordPath("after");
  relay.RecordStep();
  ProgressUpdate update;
  EXPECT_FALSE(relay.TakeForTick(&update));
  EXPECT_FALSE(relay.TakeForTick(&update));
  relay.Release();
  ASSERT_TRUE(relay.TakeForTick(&update));
  EXPECT_EQ(update.path, "after");
  EXPECT_EQ(update.steps, 2);
}

TEST(ProgressRelayTest, TakeAllIgnoresTheHold) {
  // The worker's message box must see the final state even while a question is open.
  CProgressRelay relay;
  relay.Hold();
  relay.RecordPath("last");
  relay.RecordStep();
  ProgressUpdate update;
  ASSERT_TRUE(relay.TakeAll(&update));
  EXPECT_EQ(update.path, "last");
  EXPECT_EQ(update.steps, 1);
  EXPECT_FALSE(relay.TakeForTick(&update));
}

// The worker shows file i and then steps for it. However the takes interleave, every step is
// taken exactly once, and no take shows more steps than the path it shows accounts for.
TEST(ProgressRelayTest, ConcurrentTakesLoseNoStepAndNeverShowAStepAheadOfItsPath) {
  constexpr int kFiles = 100000;
  CProgressRelay relay;
  std::atomic<bool> done{false};
  std::thread worker([&] {
    for (int i = 1; i <= kFiles; ++i) {
      relay.RecordPath(std::to_string(i).c_str());
      relay.RecordStep();
    }
    done = true;
  });
  int shownSteps = 0;
  int shownFile = 0;
  bool ahead = false;
  auto take = [&] {
    ProgressUpdate update;
    if (!relay.TakeForTick(&update))
      return;
    shownSteps += update.steps;
    if (update.pathChanged)
      shownFile = std::stoi(update.path.str());
    if (shownSteps > shownFile)
      ahead = true;
  };
  while (!done)
    take();
  worker.join();
  take();
  EXPECT_FALSE(ahead);
  EXPECT_EQ(shownSteps, kFiles);
  EXPECT_EQ(shownFile, kFiles);
}

}  // namespace
