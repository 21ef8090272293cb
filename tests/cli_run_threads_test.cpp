// Several runs at once: how many go together, and turns that alternate at every pump.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "cli/run_threads.h"

namespace {

TEST(CliRunThreads, NoMoreRunsAtOnceThanAskedAndEveryOneRuns) {
  for (const int parallel : {1, 2, 7}) {
    SCOPED_TRACE(parallel);
    std::atomic<int> running{0};
    std::atomic<int> most{0};
    std::vector<int> ran(6, 0);
    cli::RunEach(ran.size(), parallel, [&](std::size_t i) {
      const int now = ++running;
      int seen = most.load();
      while (now > seen && !most.compare_exchange_weak(seen, now)) {
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      ++ran[i];
      --running;
    });
    EXPECT_EQ(ran, std::vector<int>(6, 1));
    EXPECT_LE(most.load(), std::min(parallel, 6));
  }
  int calls = 0;
  cli::RunEach(0, 3, [&](std::size_t) { ++calls; });
  EXPECT_EQ(calls, 0);
}

// Without a cap every run has a thread of its own: six runs that each wait for all six to have
// started all return (none waits for another to end).
TEST(CliRunThreads, WithoutACapAllRunTogether) {
  std::atomic<int> started{0};
  std::atomic<int> gaveUp{0};
  cli::RunEach(6, 0, [&](std::size_t) {
    ++started;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (started < 6) {
      if (std::chrono::steady_clock::now() > until) {
        ++gaveUp;
        return;
      }
      std::this_thread::yield();
    }
  });
  EXPECT_EQ(gaveUp.load(), 0);
}

// Two runs of three blocks each, queued one after the other while the test holds the turn,
// passing it after every block as a run's pump does: the blocks alternate, and no two blocks
// are ever under way together.
TEST(CliRunThreads, TurnsAlternateAtEveryPump) {
  cli::RunTurns turns(true);
  std::string order;  // written only by the thread holding the turn
  std::atomic<int> inside{0};
  std::atomic<bool> overlapped{false};
  auto run = [&](char name) {
    turns.Take();
    for (int block = 0; block < 3; ++block) {
      if (++inside > 1) overlapped = true;
      order += name;
      std::this_thread::yield();
      --inside;
      turns.PassAndTakeAgain();
    }
    turns.Pass();
  };
  turns.Take();
  std::thread a(run, 'a');
  while (turns.Waiting() < 1) std::this_thread::yield();
  std::thread b(run, 'b');
  while (turns.Waiting() < 2) std::this_thread::yield();
  turns.Pass();
  a.join();
  b.join();
  EXPECT_FALSE(overlapped);
  EXPECT_EQ(order, "ababab");

  cli::RunTurns none(false);
  none.Take();
  none.Take();  // without turns nobody waits
  EXPECT_EQ(none.Waiting(), 0u);
}

// Three runs of three blocks on two threads, each passing the turn after every block: the
// threads are served in the order they were made, and the thread whose run ends first goes on
// with the third run, so the blocks come in one order every time.
TEST(CliRunThreads, RunsInTurnsInterleaveTheSameWayEveryTime) {
  for (int attempt = 0; attempt < 50; ++attempt) {
    cli::RunTurns turns(true);
    std::string order;  // written only by the thread holding the turn
    cli::RunEachInTurns(3, 2, turns, [&](std::size_t i) {
      for (int block = 0; block < 3; ++block) {
        order += static_cast<char>('a' + i);
        turns.PassAndTakeAgain();
      }
    });
    ASSERT_EQ(order, "abababccc") << "attempt " << attempt;
  }
}

}  // namespace
