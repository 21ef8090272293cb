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

void RunEach(std::size_t count, int parallel, const std::function<void(std::size_t)>& run) {
  std::size_t threads = parallel <= 0 ? count : static_cast<std::size_t>(parallel);
  if (threads > count) threads = count;
  std::atomic<std::size_t> next{0};
  std::vector<std::thread> workers;
  workers.reserve(threads);
  for (std::size_t t = 0; t < threads; ++t) {
    workers.emplace_back([&] {
      for (std::size_t i = next++; i < count; i = next++) run(i);
    });
  }
  for (std::thread& worker : workers) worker.join();
}

}  // namespace cli
