// Threads for the runs of one call.
#include "cli/run_threads.h"

#include <atomic>
#include <thread>
#include <vector>

namespace cli {

void RunTurns::Take() {
  if (!takeTurns_) return;
  std::unique_lock<std::mutex> lock(mutex_);
  const std::uint64_t ticket = nextTicket_++;
  changed_.wait(lock, [&] { return serving_ == ticket; });
}

void RunTurns::Pass() {
  if (!takeTurns_) return;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    ++serving_;
  }
  changed_.notify_all();
}

void RunTurns::PassAndTakeAgain() {
  if (!takeTurns_) return;
  std::unique_lock<std::mutex> lock(mutex_);
  ++serving_;
  const std::uint64_t ticket = nextTicket_++;
  changed_.notify_all();
  changed_.wait(lock, [&] { return serving_ == ticket; });
}

std::uint64_t RunTurns::Waiting() {
  const std::lock_guard<std::mutex> lock(mutex_);
  // The ticket being served belongs to the thread that has the turn, if it was handed out.
  return nextTicket_ > serving_ ? nextTicket_ - serving_ - 1 : 0;
}

namespace {

std::size_t ThreadsFor(std::size_t count, int parallel) {
  const std::size_t threads = parallel <= 0 ? count : static_cast<std::size_t>(parallel);
  return threads > count ? count : threads;
}

}  // namespace

void RunEach(std::size_t count, int parallel, const std::function<void(std::size_t)>& run) {
  RunTurns none(false);
  RunEachInTurns(count, parallel, none, run);
}

void RunEachInTurns(std::size_t count, int parallel, RunTurns& turns, const std::function<void(std::size_t)>& run) {
  const std::size_t threads = ThreadsFor(count, parallel);
  std::atomic<std::size_t> next{0};
  std::vector<std::thread> workers;
  workers.reserve(threads);
  // Holding the turn while the threads queue one by one fixes the order they are served in.
  turns.Take();
  for (std::size_t t = 0; t < threads; ++t) {
    workers.emplace_back([&] {
      turns.Take();
      for (std::size_t i = next++; i < count; i = next++) run(i);
      turns.Pass();
    });
    while (turns.TakesTurns() && turns.Waiting() < t + 1) std::this_thread::yield();
  }
  turns.Pass();
  for (std::thread& worker : workers) worker.join();
}

}  // namespace cli
