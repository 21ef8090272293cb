#pragma once
// What the fuzz targets share: one small simulated machine, a check that stops the run with a
// message (libFuzzer keeps the input that made it stop), and the record layout read
// independently of resume/breakpoint.cpp, so the targets compare the program against it.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/sim/machine.h"

namespace fuzz {

// C: is the Windows volume, alone on disk 0. E: is the only volume of disk 1, between two
// guard zones that no run on E: may touch. Disk 2 carries no volume (a disk-wipe target).
inline constexpr char kVolumeLetter = 'E';
inline constexpr int kVolumeDisk = 1;
inline constexpr int kBareDisk = 2;
inline constexpr std::uint64_t kGuardBytes = 4096;
// Two whole blocks and a tail: small enough for thousands of runs a second, large enough for
// records that fit, records that reach past the end and runs with a tail.
inline constexpr std::uint64_t kTargetBytes = 2 * 1048576 + 4608;
inline constexpr std::uint8_t kGuardByte = 0xC7;

const char* VolumeRootPath();    // "E:\"
const char* VolumeDevicePathText();  // "\\.\E:"
std::string BareDiskDevicePath();    // "\\.\physicaldrive2"

// A host folder of this process for the files next to the executable (memory-backed where the
// host has /dev/shm: a disk file system may flush every rewritten file), removed at exit.
const std::string& HostFolder();

// Loads the small machine (in memory, virtual clock) and fills the guard zones. hostFolder
// stands for the executable's folder (setting.bin); empty keeps the default.
void LoadSmallMachine(const std::string& hostFolder = "");
bool GuardsIntact();

// Everything a run leaves in the windows, the call log and the clock back to a fresh start.
void ResetSession();
// One input's session: reset when it starts and again when it ends, so that what an input
// allocates is also freed within it and libFuzzer's leak check only runs on a real leak.
class Session {
 public:
  Session() { ResetSession(); }
  ~Session() { ResetSession(); }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;
};

// Prints the message and aborts: libFuzzer reports the input as a crash.
[[noreturn]] void Fail(const std::string& message);
#define FUZZ_CHECK(condition, message)                                         \
  do {                                                                         \
    if (!(condition)) ::fuzz::Fail(std::string(#condition " : ") + (message)); \
  } while (0)

// ---- The record, as a reader outside the program sees it ----------------------------------
inline constexpr std::size_t kUnitBytes = 4096;

struct DecodedRecord {
  bool sealed = false;  // both signatures and the check copy are right
  bool valid = false;   // sealed, and it describes a wipe of this device (see DecodeRecord)
  std::uint32_t startBlock = 0;
  std::uint32_t blockCount = 0;
  std::uint32_t tailBytes = 0;
  std::uint8_t passIndex = 0;
  std::uint8_t methodId = 0;
  std::uint8_t fillByte = 0;
  char capacityText[50] = {};
};
// valid: a pass of its method, a start block within its range, and a range (blocks and tail)
// that fits a device of deviceBytes; a record of an unknown method is left to the command.
DecodedRecord DecodeRecord(const std::vector<std::uint8_t>& unit, std::uint64_t deviceBytes);
// Writes both signatures and the check copy, so that any bytes become a record that passes.
void SealRecord(std::vector<std::uint8_t>* unit);
// The 4096-byte unit from the fuzz input: its first bytes, zeros after them.
std::vector<std::uint8_t> UnitFrom(const std::uint8_t* data, std::size_t size);

// Texts of the tables end within their fields.
void CheckTablesTerminated();

}  // namespace fuzz
