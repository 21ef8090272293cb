// Raw sector reads from a physical disk, used only to tell whether the disk is there.
#include <limits>

#include "devices/inventory.h"

namespace {

constexpr std::uint64_t kSectorBytes = 512;  // never queried: the probes only need "readable"

// Opens "\\.\physicaldriveN" read-write (a disk that cannot be opened so is of no use to a
// wipe) and reads from the sector's byte offset. 0 when it cannot be opened or the read is short.
std::uint8_t ReadThroughDevice(std::uint8_t diskNumber, std::uint32_t firstSector, std::uint32_t sectorCount,
                               void* buffer) {
  const std::uint64_t offset = firstSector * kSectorBytes;
  const std::uint64_t wanted = sectorCount * kSectorBytes;
  if (wanted > std::numeric_limits<std::uint32_t>::max()) return 0;  // not one ReadFile

  platform::Device disk = platform::OpenDevice(DiskDevicePath(diskNumber), platform::Access::ReadWrite);
  if (!disk) return 0;
  // A failed seek shows as a short read below, so its answer is not needed.
  platform::SetPosition(disk, static_cast<std::int64_t>(offset), platform::Origin::Begin);
  const std::uint32_t read = platform::ReadDevice(disk, buffer, static_cast<std::uint32_t>(wanted));
  return read >= wanted ? 1 : 0;
}

// Outside the NT family the reads go through pxRead of "korvane.dll", which takes a BIOS
// drive number and reads by itself how much it reads; a missing library or export gives 0.
std::uint8_t ReadThroughLibrary(std::uint8_t diskNumber, std::uint32_t firstSector, void* buffer) {
  const auto biosDrive = static_cast<std::uint8_t>(0x80 + diskNumber);
  std::uint8_t result = 0;
  if (!platform::CallSectorLibrary(biosDrive, firstSector, buffer, &result)) return 0;
  return result;
}

}  // namespace

std::uint8_t SectorReader(std::uint8_t diskNumber, std::uint32_t firstSector, std::uint32_t sectorCount,
                          void* buffer) {
  if (platform::PlatformId() == platform::kPlatformNt) return ReadThroughDevice(diskNumber, firstSector, sectorCount, buffer);
  return ReadThroughLibrary(diskNumber, firstSector, buffer);
}
