#pragma once
// Several runs at once, one thread each: at most a given number together, and, where the
// platform takes calls from one thread at a time (the simulated machine), in turns that change
// at every pump, so the runs still go on block by block side by side.

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>

namespace cli {

// A first-come, first-served turn. Take waits for the caller's turn; Pass gives it to the
// thread that waited longest. Without taking turns both return at once.
class RunTurns {
 public:
  explicit RunTurns(bool takeTurns) : takeTurns_(takeTurns) {}
  void Take();
  void Pass();
  // Pass and queue for the next turn in one step: between a Pass and a Take the thread just
  // served could queue first and be served twice in a row.
  void PassAndTakeAgain();
  // Threads waiting for their turn now.
  std::uint64_t Waiting();
  bool TakesTurns() const { return takeTurns_; }

 private:
  const bool takeTurns_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::uint64_t nextTicket_ = 0;
  std::uint64_t serving_ = 0;
};

// Calls run(i) for every i below count, on at most `parallel` threads at once (0: all), and
// returns when every call has returned.
void RunEach(std::size_t count, int parallel, const std::function<void(std::size_t)>& run);

// The same, each thread holding the turn from its start and passing it at every pump of its
// run (PassAndTakeAgain) and at its end; a thread whose run ends goes on with the next call
// without passing. The threads queue for their first turn in the order they were made, so
// when turns are taken every call interleaves the same way each time.
void RunEachInTurns(std::size_t count, int parallel, RunTurns& turns, const std::function<void(std::size_t)>& run);

}  // namespace cli
