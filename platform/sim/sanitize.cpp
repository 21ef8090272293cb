// A disk's own erase and the protocol answers around it: NVMe Identify Controller, the Sanitize
// Status log page and ATA IDENTIFY DEVICE built as raw bytes and read by the same parser as a
// real driver's answers, READ NATIVE MAX ADDRESS of a disk with a host protected area, and the
// sanitize itself, which the disk carries out on the machine's clock. While it runs, and after
// it failed, the disk refuses every read and write; at power-on it starts again, as an NVMe
// controller restarts an interrupted sanitize.
#include <algorithm>
#include <cstdio>
#include <fstream>

#include "platform/sim/state.h"

namespace sim::detail {
namespace {

// Win32 error codes the real controls answer with.
constexpr std::uint32_t kErrorInvalidFunction = 1;
constexpr std::uint32_t kErrorAccessDenied = 5;
constexpr std::uint32_t kErrorInvalidHandle = 6;
constexpr std::uint32_t kErrorGenFailure = 31;
constexpr std::uint32_t kErrorNotSupported = 50;
constexpr std::uint32_t kErrorInvalidParameter = 87;
constexpr std::uint32_t kErrorBusy = 170;

bool Offers(const Disk& disk, const char* action) {
  return std::find(disk.sanitize.begin(), disk.sanitize.end(), action) != disk.sanitize.end();
}

const char* ActionName(platform::SanitizeAction action) {
  return action == platform::SanitizeAction::CryptoErase ? "crypto" : "block";
}

bool IsNvme(const Disk& disk) { return disk.bus == "NVMe"; }
bool IsAta(const Disk& disk) { return disk.bus == "SATA" || disk.bus == "ATA"; }

void Put16(std::vector<std::uint8_t>* bytes, std::size_t at, std::uint16_t value) {
  (*bytes)[at] = static_cast<std::uint8_t>(value);
  (*bytes)[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

void Put32(std::vector<std::uint8_t>* bytes, std::size_t at, std::uint32_t value) {
  Put16(bytes, at, static_cast<std::uint16_t>(value));
  Put16(bytes, at + 2, static_cast<std::uint16_t>(value >> 16));
}

void PutText(std::vector<std::uint8_t>* bytes, std::size_t at, std::size_t width, const std::string& text) {
  for (std::size_t i = 0; i < width; ++i) (*bytes)[at + i] = i < text.size() ? static_cast<std::uint8_t>(text[i]) : ' ';
}

std::vector<std::uint8_t> NvmeIdentifyOf(const Disk& disk) {
  std::vector<std::uint8_t> bytes(4096, 0);
  Put16(&bytes, 0, 0x1D1D);  // a vendor id no maker holds
  PutText(&bytes, 4, 20, disk.serial);
  PutText(&bytes, 24, 40, disk.model.empty() ? "DUNMERE SIMULATED NVME" : disk.model);
  const std::uint32_t sanicap = (Offers(disk, "crypto") ? 1u : 0u) | (Offers(disk, "block") ? 2u : 0u) |
                                (Offers(disk, "overwrite") ? 4u : 0u);
  Put32(&bytes, 328, sanicap);
  if (Offers(disk, "crypto")) bytes[524] = 0x04;
  return bytes;
}

std::uint32_t SecondsOffered(const Disk& disk, const char* action) {
  return Offers(disk, action) ? disk.sanitizeSeconds : platform::kNoEstimate;
}

std::vector<std::uint8_t> SanitizeLogOf(const Disk& disk, const SanitizeRun& run) {
  std::vector<std::uint8_t> bytes(512, 0);
  std::uint16_t progress = 0xFFFF;
  std::uint16_t state = 0;
  switch (run.state) {
    case platform::SanitizeState::NeverSanitized: state = 0; break;
    case platform::SanitizeState::Succeeded: state = 1 | 0x100; break;
    case platform::SanitizeState::Failed: state = 3; break;
    case platform::SanitizeState::InProgress: {
      state = 2;
      const std::uint64_t total = std::max<std::uint64_t>(1, std::uint64_t{disk.sanitizeSeconds} * 1000);
      const std::uint64_t done = std::min<std::uint64_t>(platform::TickCount() - run.startedMs, total);
      progress = static_cast<std::uint16_t>(std::min<std::uint64_t>(done * 65536 / total, 65535));
      break;
    }
  }
  Put16(&bytes, 0, progress);
  Put16(&bytes, 2, state);
  Put32(&bytes, 8, SecondsOffered(disk, "overwrite"));
  Put32(&bytes, 12, SecondsOffered(disk, "block"));
  Put32(&bytes, 16, SecondsOffered(disk, "crypto"));
  return bytes;
}

std::uint64_t ReportedSectors(const Disk& disk) { return disk.size / disk.bytesPerSector; }

std::vector<std::uint8_t> AtaIdentifyOf(const Disk& disk) {
  std::vector<std::uint8_t> bytes(512, 0);
  auto word = [&bytes](std::size_t index, std::uint16_t value) { Put16(&bytes, 2 * index, value); };
  word(0, 0x0040);  // fixed device
  const std::uint64_t sectors = ReportedSectors(disk);
  word(60, static_cast<std::uint16_t>(std::min<std::uint64_t>(sectors, 0x0FFFFFFF)));
  word(61, static_cast<std::uint16_t>(std::min<std::uint64_t>(sectors, 0x0FFFFFFF) >> 16));
  word(82, 1u << 10);                              // host protected area supported
  word(83, 0x4000 | 1u << 10);                     // valid; 48-bit addresses
  word(85, disk.hiddenSectors > 0 ? 1u << 10 : 0);  // and in use
  word(87, 0x4000);
  for (int i = 0; i < 4; ++i) word(100 + i, static_cast<std::uint16_t>(sectors >> (16 * i)));
  word(128, static_cast<std::uint16_t>(1u | (disk.securityFrozen ? 1u << 3 : 0u)));
  word(217, disk.solidState == platform::DeviceAnswer::Yes ? 1 : 0x1C20);
  bytes[510] = 0xA5;
  std::uint8_t sum = 0;
  for (std::size_t i = 0; i < 511; ++i) sum = static_cast<std::uint8_t>(sum + bytes[i]);
  bytes[511] = static_cast<std::uint8_t>(-sum);
  return bytes;
}

std::string StateFile(const Disk& disk) { return disk.image + ".sanitize"; }

const char* StateName(platform::SanitizeState state) {
  switch (state) {
    case platform::SanitizeState::InProgress: return "running";
    case platform::SanitizeState::Succeeded: return "succeeded";
    case platform::SanitizeState::Failed: return "failed";
    case platform::SanitizeState::NeverSanitized: break;
  }
  return "never";
}

// An image disk keeps its sanitize state beside its image, as the controller keeps it in its
// own memory, so that the next start of the program finds it.
void SaveRun(const Disk& disk, const SanitizeRun& run) {
  if (disk.image.empty()) return;
  std::ofstream file(StateFile(disk), std::ios::trunc);
  file << ActionName(run.action) << ' ' << StateName(run.state) << '\n';
}

bool LoadRun(const Disk& disk, SanitizeRun* run) {
  std::ifstream file(StateFile(disk));
  std::string action;
  std::string state;
  if (!(file >> action >> state)) return false;
  run->action = action == "block" ? platform::SanitizeAction::BlockErase : platform::SanitizeAction::CryptoErase;
  for (platform::SanitizeState known : {platform::SanitizeState::InProgress, platform::SanitizeState::Succeeded,
                                        platform::SanitizeState::Failed}) {
    if (state == StateName(known)) run->state = known;
  }
  return run->state != platform::SanitizeState::NeverSanitized;
}

bool LyingBlock(const Disk& disk, std::uint64_t block) {
  return block >= disk.lieFirst && block - disk.lieFirst < disk.lieCount;
}

// What the erase leaves on the media from `from` to `to`: noise from a seed for a crypto erase
// (the old key is gone, every sector reads as another key's cipher text), zeros for a block
// erase. A lying disk's lying blocks keep what they held.
void ChangeMedia(const Disk& disk, platform::SanitizeAction action, std::uint64_t from, std::uint64_t to) {
  State& state = TheState();
  auto store = state.stores.find(disk.number);
  if (store == state.stores.end()) return;
  auto cache = state.caches.find(disk.number);
  if (cache != state.caches.end()) cache->second->Drop();
  std::vector<std::uint8_t> block(kMiB);
  std::uint64_t noise = 0x5A17u + static_cast<std::uint64_t>(disk.number) * 0x9E3779B97F4A7C15ull + platform::TickCount();
  for (std::uint64_t at = from; at < to; at += kMiB) {
    const std::size_t bytes = static_cast<std::size_t>(std::min<std::uint64_t>(kMiB, to - at));
    if (LyingBlock(disk, at / kMiB)) continue;
    if (action == platform::SanitizeAction::CryptoErase) {
      for (std::size_t i = 0; i < bytes; ++i) {
        noise ^= noise << 13;
        noise ^= noise >> 7;
        noise ^= noise << 17;
        block[i] = static_cast<std::uint8_t>(noise >> 24);
      }
    } else {
      std::fill(block.begin(), block.begin() + bytes, 0);
    }
    store->second->Write(at, block.data(), bytes);
  }
}

// Brings the disk's sanitize up to the clock: a run whose time is over changes the media and
// succeeds; one planned to fail stops half-way.
void Advance(int number) {
  State& state = TheState();
  auto run = state.sanitizes.find(number);
  const Disk* disk = FindDisk(number);
  if (run == state.sanitizes.end() || disk == nullptr || run->second.state != platform::SanitizeState::InProgress) {
    return;
  }
  const std::uint64_t total = std::uint64_t{disk->sanitizeSeconds} * 1000;
  const std::uint64_t elapsed = static_cast<std::uint32_t>(platform::TickCount() - run->second.startedMs);
  const std::uint64_t media = StoreBytes(*disk);
  if (run->second.failMidway && elapsed * 2 >= total) {
    ChangeMedia(*disk, run->second.action, 0, media / 2);
    run->second.state = platform::SanitizeState::Failed;
  } else if (elapsed >= total) {
    ChangeMedia(*disk, run->second.action, 0, media);
    run->second.state = platform::SanitizeState::Succeeded;
  } else {
    return;
  }
  SaveRun(*disk, run->second);
}

// The disk a control went to, or null with the error the system would give.
const Disk* DiskOf(const HandleState* handle, std::uint32_t* error) {
  if (handle == nullptr) {
    *error = kErrorInvalidHandle;
    return nullptr;
  }
  const Disk* disk = handle->device.isDisk ? FindDisk(handle->device.number) : nullptr;
  if (disk == nullptr) *error = kErrorInvalidFunction;
  return disk;
}

void SetError(std::uint32_t* error, std::uint32_t code) {
  if (error != nullptr) *error = code;
}

bool KeepsLog(const Disk& disk) { return IsNvme(disk) && disk.sanitizeLog; }

// Logs a protocol query and finds the disk that answers it; null, with the call answered as
// failed and the error the system gives, for another handle or a disk of another protocol.
const Disk* BeginQuery(Op op, const platform::Device& device, bool (*speaks)(const Disk&), std::size_t* record,
                       std::uint32_t* error) {
  const HandleState* handle = BeginControl(op, device, record);
  std::uint32_t code = kErrorGenFailure;
  const Disk* disk = handle == nullptr ? nullptr : DiskOf(handle, &code);
  if (disk != nullptr && !speaks(*disk)) {
    disk = nullptr;
    code = kErrorNotSupported;
  }
  SetError(error, disk == nullptr ? code : 0);
  if (disk == nullptr) Finish(*record, false);
  return disk;
}

// A query answered with the disk's raw bytes, read as a driver's answer is read.
template <typename Out, typename Reader>
bool Query(Op op, const platform::Device& device, bool (*speaks)(const Disk&),
           std::vector<std::uint8_t> (*answer)(const Disk&), Reader read, Out* out, std::uint32_t* error) {
  std::size_t record = 0;
  const Disk* disk = BeginQuery(op, device, speaks, &record, error);
  if (disk == nullptr) return false;
  const std::vector<std::uint8_t> bytes = answer(*disk);
  return Finish(record, out != nullptr && read(bytes.data(), bytes.size(), out));
}

}  // namespace

std::uint64_t StoreBytes(const Disk& disk) { return disk.size + disk.hiddenSectors * disk.bytesPerSector; }

bool MediaAvailable(const DeviceId& id) {
  int number = id.number;
  if (!id.isDisk) {
    const Volume* volume = FindVolume(id.letter);
    if (volume == nullptr) return true;
    number = volume->disk;
  }
  Advance(number);
  auto run = TheState().sanitizes.find(number);
  return run == TheState().sanitizes.end() || (run->second.state != platform::SanitizeState::InProgress &&
                                               run->second.state != platform::SanitizeState::Failed);
}

void RestoreSanitizeRuns(const std::map<int, SanitizeRun>& keptMemoryDisks) {
  State& state = TheState();
  for (const Disk& disk : state.machine.disks) {
    SanitizeRun run;
    if (disk.image.empty()) {
      auto kept = keptMemoryDisks.find(disk.number);
      if (kept == keptMemoryDisks.end()) continue;
      run = kept->second;
    } else if (!LoadRun(disk, &run)) {
      continue;
    }
    // Power-on: an interrupted sanitize starts again from its beginning.
    run.startedMs = platform::TickCount();
    state.sanitizes[disk.number] = run;
  }
}

}  // namespace sim::detail

namespace sim {

void FailSanitizeMidway(int disk) { detail::TheState().failSanitizeMidway.insert(disk); }

}  // namespace sim

namespace platform {

using namespace sim::detail;
using sim::Disk;
using sim::Op;

bool QueryNvmeController(const Device& device, NvmeController* controller, std::uint32_t* error) {
  return Query(Op::NvmeIdentify, device, IsNvme, NvmeIdentifyOf, ReadNvmeIdentifyController, controller, error);
}

// A disk that keeps no log refuses the page as a driver refuses a page the disk lacks.
bool QuerySanitizeStatus(const Device& device, SanitizeStatus* status, std::uint32_t* error) {
  std::size_t record = 0;
  const Disk* disk = BeginQuery(Op::SanitizeLog, device, KeepsLog, &record, error);
  if (disk == nullptr) return false;
  Advance(disk->number);
  const auto run = TheState().sanitizes.find(disk->number);
  const std::vector<std::uint8_t> bytes =
      SanitizeLogOf(*disk, run == TheState().sanitizes.end() ? SanitizeRun() : run->second);
  return Finish(record, status != nullptr && ReadSanitizeStatusLog(bytes.data(), bytes.size(), status));
}

bool QueryAtaIdentify(const Device& device, AtaIdentify* identify, std::uint32_t* error) {
  return Query(Op::AtaIdentify, device, IsAta, AtaIdentifyOf, ReadAtaIdentify, identify, error);
}

bool QueryNativeMaxAddress(const Device& device, std::uint64_t* lastAddress, std::uint32_t* error) {
  std::size_t record = 0;
  const Disk* disk = BeginQuery(Op::NativeMax, device, IsAta, &record, error);
  if (disk == nullptr) return false;
  // The task file as the disk returns it: the status ready, the address over both registers.
  const std::uint64_t last = ReportedSectors(*disk) + disk->hiddenSectors - 1;
  std::uint8_t current[8] = {0, 0, 0, 0, 0, 0x40, 0x50, 0};
  std::uint8_t previous[8] = {};
  for (int i = 0; i < 3; ++i) {
    current[2 + i] = static_cast<std::uint8_t>(last >> (8 * i));
    previous[2 + i] = static_cast<std::uint8_t>(last >> (24 + 8 * i));
  }
  return Finish(record, lastAddress != nullptr && ReadNativeMaxAddress(current, previous, lastAddress));
}

SanitizeCommand StartSanitize(const Device& device, SanitizeAction action) {
  std::size_t record = 0;
  State& state = TheState();
  const HandleState* handle = BeginControl(Op::Sanitize, device, &record);
  if (record < state.calls.size()) state.calls[record].bytes = static_cast<std::uint64_t>(action);
  std::uint32_t code = kErrorGenFailure;
  const Disk* disk = handle == nullptr ? nullptr : DiskOf(handle, &code);
  if (disk != nullptr) {
    Advance(disk->number);
    const auto run = state.sanitizes.find(disk->number);
    const bool offered = Offers(*disk, ActionName(action));
    if (handle->access != Access::ReadWrite && handle->access != Access::ReadWriteUnbuffered) {
      code = kErrorAccessDenied;
    } else if (!IsNvme(*disk)) {
      code = kErrorNotSupported;
    } else if (disk->sanitizeError != 0) {
      code = disk->sanitizeError;
    } else if (!offered) {
      code = kErrorInvalidParameter;
    } else if (run != state.sanitizes.end() && run->second.state == SanitizeState::InProgress) {
      code = kErrorBusy;
    } else {
      code = 0;
    }
  }
  const SanitizeCommand command = state.nextSanitizeCommand++;
  state.sanitizeCommands[command] = {code == 0, code};
  if (code != 0) {
    Finish(record, false);
    return command;
  }
  SanitizeRun run;
  run.action = action;
  run.state = SanitizeState::InProgress;
  run.startedMs = TickCount();
  run.failMidway = state.failSanitizeMidway.erase(disk->number) > 0;
  state.sanitizes[disk->number] = run;
  SaveRun(*disk, run);
  Finish(record, true);
  return command;
}

// The simulated control returns as soon as the disk took the command; the erase goes on in the
// disk, and the status log tells how far.
bool SanitizeReturned(SanitizeCommand command, bool* accepted, std::uint32_t* error) {
  auto& commands = TheState().sanitizeCommands;
  auto found = commands.find(command);
  const std::pair<bool, std::uint32_t> result =
      found == commands.end() ? std::make_pair(false, kErrorInvalidHandle) : found->second;
  if (found != commands.end()) commands.erase(found);
  if (accepted != nullptr) *accepted = result.first;
  if (error != nullptr) *error = result.second;
  return true;
}

}  // namespace platform
