// A disk's volatile write cache and the power that can fail under it: what the program wrote
// is readable at once, but only a flush or an eviction puts it on the media, and a power cut
// loses the rest, as a real disk's cache loses it.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/sim/state.h"

namespace sim::detail {

WriteCache::WriteCache(std::uint64_t capacityBytes, std::uint32_t seed)
    : capacityLines_(static_cast<std::size_t>(std::max<std::uint64_t>(1, capacityBytes / kCacheLine))),
      rng_(0x9E3779B97F4A7C15ULL ^ seed) {}

WriteCache::Line& WriteCache::LineOf(BackingStore& store, std::uint64_t index) {
  auto found = where_.find(index);
  if (found != where_.end()) return lines_[found->second];
  const std::uint64_t start = index * kCacheLine;
  Line line{index, std::vector<std::uint8_t>(
                       static_cast<std::size_t>(std::min<std::uint64_t>(kCacheLine, store.size() - start)))};
  store.Read(start, line.bytes.data(), line.bytes.size());
  where_[index] = lines_.size();
  lines_.push_back(std::move(line));
  return lines_.back();
}

void WriteCache::Evict(BackingStore& store, std::size_t at) {
  Line& line = lines_[at];
  store.Write(line.index * kCacheLine, line.bytes.data(), line.bytes.size());
  where_.erase(line.index);
  if (at + 1 != lines_.size()) {
    lines_[at] = std::move(lines_.back());
    where_[lines_[at].index] = at;
  }
  lines_.pop_back();
}

std::size_t WriteCache::Write(BackingStore& store, std::uint64_t offset, const void* in, std::size_t bytes) {
  const auto* src = static_cast<const std::uint8_t*>(in);
  std::size_t done = 0;
  while (done < bytes) {
    const std::uint64_t at = offset + done;
    const std::size_t within = static_cast<std::size_t>(at % kCacheLine);
    Line& line = LineOf(store, at / kCacheLine);
    const std::size_t step = std::min<std::size_t>(bytes - done, line.bytes.size() - within);
    std::memcpy(line.bytes.data() + within, src + done, step);
    done += step;
  }
  // Any line may go first, in an order the seed repeats.
  while (lines_.size() > capacityLines_) Evict(store, static_cast<std::size_t>(Draw() % lines_.size()));
  return done;
}

// splitmix64
std::uint64_t WriteCache::Draw() {
  rng_ += 0x9E3779B97F4A7C15ULL;
  std::uint64_t z = rng_;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}

void WriteCache::WriteBackSome(BackingStore& store) {
  for (const Line& line : lines_) {
    if (Draw() & 1) store.Write(line.index * kCacheLine, line.bytes.data(), line.bytes.size());
  }
  Drop();
}

void WriteCache::Overlay(std::uint64_t offset, void* out, std::size_t bytes) const {
  if (lines_.empty() || bytes == 0) return;
  auto* dst = static_cast<std::uint8_t*>(out);
  const std::uint64_t last = (offset + bytes - 1) / kCacheLine;
  for (auto it = where_.lower_bound(offset / kCacheLine); it != where_.end() && it->first <= last; ++it) {
    const Line& line = lines_[it->second];
    const std::uint64_t start = std::max<std::uint64_t>(offset, line.index * kCacheLine);
    const std::uint64_t end = std::min<std::uint64_t>(offset + bytes, line.index * kCacheLine + line.bytes.size());
    if (start >= end) continue;
    std::memcpy(dst + (start - offset), line.bytes.data() + (start - line.index * kCacheLine),
                static_cast<std::size_t>(end - start));
  }
}

void WriteCache::Patch(std::uint64_t offset, const void* in, std::size_t bytes) {
  if (lines_.empty() || bytes == 0) return;
  const auto* src = static_cast<const std::uint8_t*>(in);
  const std::uint64_t last = (offset + bytes - 1) / kCacheLine;
  for (auto it = where_.lower_bound(offset / kCacheLine); it != where_.end() && it->first <= last; ++it) {
    Line& line = lines_[it->second];
    const std::uint64_t start = std::max<std::uint64_t>(offset, line.index * kCacheLine);
    const std::uint64_t end = std::min<std::uint64_t>(offset + bytes, line.index * kCacheLine + line.bytes.size());
    if (start >= end) continue;
    std::memcpy(line.bytes.data() + (start - line.index * kCacheLine), src + (start - offset),
                static_cast<std::size_t>(end - start));
  }
}

bool WriteCache::Flush(BackingStore& store) {
  bool whole = true;
  for (const Line& line : lines_) {
    whole = store.Write(line.index * kCacheLine, line.bytes.data(), line.bytes.size()) == line.bytes.size() && whole;
  }
  Drop();
  return whole;
}

}  // namespace sim::detail

namespace sim {

using namespace detail;

void CutPower(bool writeBackSome) {
  State& state = TheState();
  for (auto& cache : state.caches) {
    if (writeBackSome) {
      cache.second->WriteBackSome(*state.stores.at(cache.first));
    } else {
      cache.second->Drop();
    }
  }
  // A write still in flight never reached the disk.
  state.writesInFlight.clear();
  state.poweredOff = true;
  state.powerCutAtWrite = 0;
}

void CutPowerAtWrite(std::uint64_t n, bool endProcess) {
  TheState().powerCutAtWrite = n;
  TheState().powerCutEndsProcess = endProcess;
}

bool PoweredOff() { return TheState().poweredOff; }

std::uint64_t MediaBytesWritten(int disk) {
  const auto& stores = TheState().stores;
  auto store = stores.find(disk);
  return store == stores.end() ? 0 : store->second->written();
}

}  // namespace sim

namespace sim::detail {

// Called by every device write before it is carried out.
bool PowerFailsAtThisWrite() {
  State& state = TheState();
  if (state.powerCutAtWrite == 0 || --state.powerCutAtWrite != 0) return false;
  CutPower(true);
  if (state.powerCutEndsProcess) std::_Exit(kPowerCutExitCode);
  return true;
}

}  // namespace sim::detail
