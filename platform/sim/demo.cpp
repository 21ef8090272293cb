// The demo's machine and the start of dunmere-sim.exe: a description named by DUNMERE_MACHINE,
// or the built-in machine with four disks whose images live next to the executable.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "platform/sim/host.h"
#include "platform/sim/state.h"

namespace sim {
namespace {

constexpr std::uint64_t kMiB = detail::kMiB;
// A USB stick's three passes over about 62 MiB take about 15 s at this pace.
constexpr std::uint32_t kDemoWriteDelayMs = 80;
// Reading back is quicker than writing, but still long enough to see the verification.
constexpr std::uint32_t kDemoReadDelayMs = 40;
// Long enough to watch the bar of a sanitize move, short enough for the demo tour.
constexpr std::uint32_t kDemoSanitizeSeconds = 12;

// A file system keeps a little of its volume for itself; sizes stay whole 4 KiB clusters and
// are not whole MiB, so a wipe of it ends with a tail.
std::uint64_t UsableSize(std::uint64_t length) {
  const std::uint64_t usable = length - length / 64 - 3 * 4096;
  return usable - usable % 4096;
}

// The scratch volume of the demo's self-erasing disk holds files from its first start, so the
// samples read before its sanitize hold something a sanitize can be seen to change: text whose
// every sector differs, between the volume's first and last MiB, which keep its boot sectors.
void WriteScratchFiles(const Machine& machine) {
  for (const Volume& volume : machine.volumes) {
    if (volume.letter != 'H' || volume.length < 3 * kMiB) continue;
    std::vector<std::uint8_t> chunk(kMiB);
    for (std::uint64_t at = kMiB; at + kMiB < volume.length; at += kMiB) {
      for (std::size_t sector = 0; sector < kMiB / 512; ++sector) {
        const std::uint64_t n = (at + sector * 512) / 512;
        char line[512];
        const int length = std::snprintf(line, sizeof line,
                                         "Scratch\\notes-%04llu.txt, line %llu: measurements of run %llu, "
                                         "kept until the disk is erased.\r\n",
                                         static_cast<unsigned long long>(n / 64),
                                         static_cast<unsigned long long>(n % 64),
                                         static_cast<unsigned long long>(n * 7919 % 100003));
        for (std::size_t i = 0; i < 512; ++i) chunk[sector * 512 + i] = static_cast<std::uint8_t>(line[i % length]);
      }
      WriteDisk(volume.disk, volume.offset + at, chunk);
    }
  }
}

// Names of our own making: a demo must never pass for a real product.
Disk DemoDisk(int number, std::uint64_t size, const std::string& imageFolder, const char* model,
              const char* serial, const char* bus, bool solidState) {
  Disk disk = MemoryDisk(number, size);
  disk.image =
      (std::filesystem::path(imageFolder) / ("disk" + std::to_string(number) + ".img")).string();
  disk.model = model;
  disk.serial = serial;
  disk.bus = bus;
  disk.solidState = solidState ? platform::DeviceAnswer::Yes : platform::DeviceAnswer::No;
  return disk;
}

Volume DemoVolume(char letter, int disk, std::uint64_t offset, std::uint64_t length,
                  const std::string& fileSystem, const std::string& label) {
  Volume volume = VolumeOn(letter, disk, offset, length, fileSystem, label);
  volume.fileSystemSize = UsableSize(length);
  return volume;
}

bool ReadWholeFile(const std::string& path, std::string* text) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  char chunk[4096];
  std::size_t got = 0;
  text->clear();
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) text->append(chunk, got);
  const bool ok = std::ferror(file) == 0;
  std::fclose(file);
  return ok;
}

// The path the program reports uses backslashes, as GetModuleFileNameA gives it. A host path
// from a native run is shown the way Wine shows host paths: on drive Z:.
void SplitExecutablePath(const std::string& path, std::string* windowsPath,
                         std::string* hostFolder) {
  if (path.find('\\') != std::string::npos || path.find('/') == std::string::npos) {
    *windowsPath = path;
    const std::size_t slash = path.rfind('\\');
    *hostFolder = slash == std::string::npos ? std::string(".") : path.substr(0, slash);
    return;
  }
  std::string windows = "Z:" + path;
  for (char& c : windows) {
    if (c == '/') c = '\\';
  }
  *windowsPath = windows;
  const std::string folder = path.substr(0, path.rfind('/'));
  *hostFolder = folder.empty() ? std::string("/") : folder;
}

// Images named relatively in a description are found next to the description.
void ResolveImages(const std::string& descriptionPath, Machine* machine) {
  const std::filesystem::path folder = std::filesystem::path(descriptionPath).parent_path();
  for (Disk& disk : machine->disks) {
    if (!disk.image.empty() && std::filesystem::path(disk.image).is_relative()) {
      disk.image = (folder / disk.image).string();
    }
  }
}

// The text of the description the machine was last loaded or replugged from.
std::string& DescribedText() {
  static std::string text;
  return text;
}

// The machine the description file holds now; *text is what it said.
bool ReadDescribed(const std::string& descriptionPath, Machine* machine, std::string* text,
                   std::string* problem) {
  if (!ReadWholeFile(descriptionPath, text)) {
    *problem = descriptionPath + ": the machine description cannot be read";
    return false;
  }
  std::string error;
  if (!ParseDescription(*text, machine, &error)) {
    *problem = descriptionPath + ": " + error;
    return false;
  }
  ResolveImages(descriptionPath, machine);
  return true;
}

bool LoadDescribed(const std::string& descriptionPath, const std::string& windowsPath,
                   const std::string& hostFolder, std::string* problem) {
  Machine machine;
  std::string text;
  if (!ReadDescribed(descriptionPath, &machine, &text, problem)) return false;
  machine.executablePath = windowsPath;
  machine.hostFolder = hostFolder;
  std::string error;
  if (!Load(machine, &error)) {
    *problem = descriptionPath + ": " + error;
    return false;
  }
  DescribedText() = text;
  return true;
}


// A disk whose volumes are missing is worth a line for whoever started the demo from a console.
void TellTableProblems() {
  for (const std::string& line : PartitionTableProblems()) {
    std::fprintf(stderr, "dunmere-sim: %s\n", line.c_str());
  }
}

// Whoever rewrote the description sees on the console why the machine stayed as it was.
void ReplugFromFile(const std::string& descriptionPath) {
  PlugChanges changes;
  std::string problem;
  if (!ReplugFromDescription(descriptionPath, &changes, &problem)) {
    std::fprintf(stderr, "dunmere-sim: %s; the machine stays as it was\n", problem.c_str());
    return;
  }
  TellTableProblems();
  if (changes.Any()) host::AnnounceDeviceChanges(changes);
}

}  // namespace

bool ReplugFromDescription(const std::string& descriptionPath, PlugChanges* changes,
                           std::string* problem) {
  *changes = PlugChanges{};
  Machine machine;
  std::string text;
  if (!ReadDescribed(descriptionPath, &machine, &text, problem)) return false;
  // Saved again unchanged, or touched: nothing was plugged.
  if (text == DescribedText()) return true;
  std::string error;
  if (!Replug(machine, changes, &error)) {
    *problem = descriptionPath + ": " + error;
    return false;
  }
  DescribedText() = text;
  return true;
}

std::string DemoInsteadText(const std::string& problem) {
  return "The machine description could not be used:\n" + problem +
         "\n\nThe demo machine is loaded instead. Its disks and volumes are simulated; none of "
         "them is a disk of this computer.";
}

Machine DemoMachine(const std::string& imageFolder) {
  Machine machine;
  machine.windowsDirectory = "C:\\WINDOWS";
  // Drivers pad serial numbers with blanks; the stick's shows it.
  machine.disks.push_back(DemoDisk(0, 256 * kMiB, imageFolder, "DUNMERE VIRTUAL DISK 256", "DM0001", "NVMe", true));
  machine.disks.push_back(DemoDisk(1, 192 * kMiB, imageFolder, "DUNMERE VIRTUAL DISK 192", "DM0002", "SATA", false));
  machine.disks.push_back(DemoDisk(2, 64 * kMiB, imageFolder, "DUNMERE POCKET STICK 64", "  DMS0003  ", "USB", true));
  // A data disk that can erase itself, and a hard disk that hides its last 8 MiB.
  Disk nvme = DemoDisk(3, 128 * kMiB, imageFolder, "DUNMERE NVME DISK 128", "DM0004", "NVMe", true);
  nvme.sanitize = {"crypto", "block"};
  nvme.sanitizeSeconds = kDemoSanitizeSeconds;
  machine.disks.push_back(nvme);
  machine.disks[1].hiddenSectors = 16384;

  machine.volumes.push_back(DemoVolume('C', 0, kMiB, 255 * kMiB, "NTFS", "System"));
  machine.volumes.push_back(DemoVolume('D', 1, kMiB, 127 * kMiB, "NTFS", "Data"));
  machine.volumes.push_back(DemoVolume('E', 1, 128 * kMiB, 64 * kMiB, "FAT32", "Backup"));
  Volume stick = DemoVolume('F', 2, kMiB, 63 * kMiB, "FAT32", "USBSTICK");
  stick.driveType = platform::kDriveRemovable;
  machine.volumes.push_back(stick);

  machine.volumes.push_back(DemoVolume('H', 3, kMiB, 127 * kMiB, "NTFS", "Scratch"));

  Volume cdrom = VolumeOn('G', -1, 0, 0);
  cdrom.driveType = platform::kDriveCdRom;
  cdrom.hasMedium = false;
  machine.volumes.push_back(cdrom);
  return machine;
}

}  // namespace sim

namespace platform {

namespace {

// DUNMERE_POWER_CUT=<n>: the power fails at the program's n-th device write and the process
// ends there, leaving on the images only what reached their media.
void PlanPowerCut() {
  const char* text = std::getenv("DUNMERE_POWER_CUT");
  if (text == nullptr || *text == '\0') return;
  char* end = nullptr;
  const unsigned long long n = std::strtoull(text, &end, 10);
  if (*end != '\0' || n == 0) {
    std::fprintf(stderr, "dunmere-sim: DUNMERE_POWER_CUT must be a write number from 1, not \"%s\"\n", text);
    return;
  }
  sim::CutPowerAtWrite(n, true);
}

}  // namespace

void Initialise(const std::string& executablePath) {
  std::string windowsPath;
  std::string hostFolder;
  sim::SplitExecutablePath(executablePath, &windowsPath, &hostFolder);

  std::string problem;
  const char* described = std::getenv("DUNMERE_MACHINE");
  if (described != nullptr && *described != '\0') {
    if (sim::LoadDescribed(described, windowsPath, hostFolder, &problem)) {
      sim::TellTableProblems();
      PlanPowerCut();
      const std::string path = described;
      sim::host::WatchFile(path, [path] { sim::ReplugFromFile(path); });
      return;
    }
    // Said before the demo appears, so nobody takes its volumes for the described ones.
    sim::host::ShowWarning(sim::DemoInsteadText(problem));
  }
  const std::filesystem::path imageFolder = std::filesystem::path(hostFolder) / "demo-machine";
  std::error_code error;
  const bool firstStart = !std::filesystem::exists(imageFolder / "disk3.img", error);
  sim::Machine demo = sim::DemoMachine(imageFolder.string());
  demo.realClock = true;
  demo.writeDelayMs = sim::kDemoWriteDelayMs;
  demo.readDelayMs = sim::kDemoReadDelayMs;
  demo.executablePath = windowsPath;
  demo.hostFolder = hostFolder;
  std::string demoProblem;
  if (!sim::Load(demo, &demoProblem)) {
    problem += (problem.empty() ? "" : "; ") + std::string("the demo machine: ") + demoProblem;
  } else if (firstStart) {
    sim::WriteScratchFiles(demo);
  }
  sim::detail::TheState().loadProblem = problem;
  PlanPowerCut();
  // The demo has no console of its own; Wine and a console parent still show standard error.
  if (!problem.empty()) std::fprintf(stderr, "dunmere-sim: %s\n", problem.c_str());
  sim::TellTableProblems();
}

}  // namespace platform
