// dunmere-cli.exe for parallel-bench: the same program, every object of it, but the volumes it
// lists are the bench's loop devices. Wine answers no volume's disk extents, so the program's
// own inventory lists every volume without a size and refuses it as unformatted; here the
// bench names the letters and their size, as a real machine's inventory would find them.
//   DUNMERE_BENCH_VOLUMES=QRST DUNMERE_BENCH_BYTES=<bytes of each> dunmere_cli_bench.exe wipe Q: R: ...
#include <cctype>
#include <cstdlib>
#include <string>

#include "devices/inventory.h"
#include "devices/tables.h"
#include "devices/text_field.h"

// The program's calls to RefreshDriveTable come here (-Wl,--wrap).
extern "C" void __wrap__Z17RefreshDriveTablev() {
  DriveCount = 0;
  const char* letters = std::getenv("DUNMERE_BENCH_VOLUMES");
  const char* bytesText = std::getenv("DUNMERE_BENCH_BYTES");
  if (letters == nullptr || bytesText == nullptr) return;
  const std::uint64_t bytes = std::strtoull(bytesText, nullptr, 10);
  for (const char* letter = letters; *letter != '\0' && DriveCount < kDriveTableSize; ++letter) {
    if (std::isalpha(static_cast<unsigned char>(*letter)) == 0) continue;
    DriveRecord& record = DriveTable[DriveCount++];
    record = DriveRecord{};
    SetField(record.RootPath, std::string(1, static_cast<char>(std::toupper(static_cast<unsigned char>(*letter)))) + ":\\");
    SetField(record.FileSystem, "NTFS");
    record.Capacity = bytes;
    SetField(record.CapacityText, FormatSizeText(bytes));
    record.DiskNumber = kUnknownDisk;
  }
}
