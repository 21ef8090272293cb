// A disk that lies: its lying blocks take a write, report it done and keep something else.
// Verification exists for exactly such disks, and its tests need one.
#include <algorithm>
#include <vector>

#include "platform/sim/state.h"

namespace sim::detail {
namespace {

const Disk* DiskUnder(const DeviceId& id) {
  if (id.isDisk) return FindDisk(id.number);
  const Volume* volume = FindVolume(id.letter);
  return volume == nullptr ? nullptr : FindDisk(volume->disk);
}

bool Lies(const Disk& disk, std::uint64_t block) {
  return disk.lieCount != 0 && block >= disk.lieFirst && block - disk.lieFirst < disk.lieCount;
}

// Counts one write reaching the block; true while the block still lies about it.
bool StillLying(const Disk& disk, std::uint64_t block) {
  const std::uint32_t writes = ++TheState().lyingWrites[{disk.number, block}];
  return disk.lieHealsAfter == 0 || writes <= disk.lieHealsAfter;
}

}  // namespace

std::size_t WriteKeepingLies(const DeviceId& id, const Region& region, std::uint64_t position,
                             const void* in, std::size_t bytes) {
  const Disk* disk = DiskUnder(id);
  if (disk == nullptr || disk->lieCount == 0) return WriteRegionCached(region, position, in, bytes);
  if (position >= region.length) return 0;
  bytes = static_cast<std::size_t>(std::min<std::uint64_t>(bytes, region.length - position));
  const auto* source = static_cast<const std::uint8_t*>(in);
  std::size_t done = 0;
  // Piece by piece within one block of the disk, each piece kept, altered or dropped.
  while (done < bytes) {
    const std::uint64_t onDisk = region.offset + position + done;
    const std::uint64_t block = onDisk / kMiB;
    const std::size_t piece =
        static_cast<std::size_t>(std::min<std::uint64_t>(bytes - done, (block + 1) * kMiB - onDisk));
    if (!Lies(*disk, block) || !StillLying(*disk, block)) {
      WriteRegionCached(region, position + done, source + done, piece);
    } else if (disk->lieStoresOther) {
      std::vector<std::uint8_t> other(source + done, source + done + piece);
      for (std::uint8_t& byte : other) byte = static_cast<std::uint8_t>(~byte);
      WriteRegionCached(region, position + done, other.data(), piece);
    }
    done += piece;
  }
  return bytes;
}

}  // namespace sim::detail
