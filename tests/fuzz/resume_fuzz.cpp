// The whole Resume command, answered "Yes", from any record that passes the checks, on a small
// volume or a small disk. Input: byte 0 holds options, byte 1 the event pump at which Cancel is
// pressed (0: never), the rest is the first bytes of the record's 4096-byte unit, which the
// target seals (signatures and check copy) so that every input is a record the program accepts.
//
// What must hold whatever the record says: no write lands anywhere but on the target and
// inside it, no handle stays open, the windows come back, a started run ends in exactly one of
// its three outcomes, the progress texts end inside their fields, and a success means that
// every block of the record's range from its pass on was written in full.
#include <cstdio>
#include <map>

#include "app/commands.h"
#include "app/window_runs.h"
#include "app/target_lists.h"
#include "app/handlers.h"
#include "devices/inventory.h"
#include "devices/tables.h"
#include "devices/text_field.h"
#include "resume/breakpoint.h"
#include "tests/fuzz/fuzz_support.h"
#include "ui/headless/headless.h"
#include "wipe/methods.h"

namespace {

constexpr std::uint8_t kOptionDiskPage = 1;          // else the drive page (E:)
constexpr std::uint8_t kOptionNotResumable = 2;      // "Wipe resumable" unchecked
constexpr std::uint8_t kOptionUntickFormat = 4;      // the user clears the format box at once
constexpr std::size_t kHeaderBytes = 2;

struct Scenario {
  bool diskPage = false;
  bool resumable = true;
  bool untickFormat = false;
  long cancelAtPump = 0;
  std::vector<std::uint8_t> unit;
};

Scenario ScenarioFrom(const std::uint8_t* data, std::size_t size) {
  Scenario scenario;
  const std::uint8_t options = size > 0 ? data[0] : 0;
  scenario.diskPage = (options & kOptionDiskPage) != 0;
  scenario.resumable = (options & kOptionNotResumable) == 0;
  scenario.untickFormat = (options & kOptionUntickFormat) != 0;
  scenario.cancelAtPump = size > 1 ? data[1] : 0;
  const std::size_t header = size < kHeaderBytes ? size : kHeaderBytes;
  scenario.unit = fuzz::UnitFrom(data + header, size - header);
  fuzz::SealRecord(&scenario.unit);
  return scenario;
}

std::string TargetPath(const Scenario& scenario) {
  return scenario.diskPage ? fuzz::BareDiskDevicePath() : fuzz::VolumeDevicePathText();
}

void Plant(const Scenario& scenario) {
  // The other target gets a unit of zeros, so what an earlier input left there cannot matter.
  const std::vector<std::uint8_t> blank(fuzz::kUnitBytes, 0);
  const auto& onVolume = scenario.diskPage ? blank : scenario.unit;
  const auto& onDisk = scenario.diskPage ? scenario.unit : blank;
  FUZZ_CHECK(sim::WriteVolume(fuzz::kVolumeLetter, 0, onVolume), "planting on the volume");
  FUZZ_CHECK(sim::WriteDisk(fuzz::kBareDisk, 0, onDisk), "planting on the disk");
}

int RowOf(ui::List list, const std::string& caption) {
  const auto rows = headless::Rows(list);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (rows[i][0] == caption) return static_cast<int>(i);
  }
  fuzz::Fail("no row " + caption);
}

void SelectTarget(const Scenario& scenario) {
  ui::ShowMainWindow();
  RefreshDriveList();
  RefreshDiskList();
  if (scenario.diskPage) {
    headless::SetActivePage(ui::kPageWipeDisk);
    const int row = RowOf(ui::List::Disk, "Disk" + std::to_string(fuzz::kBareDisk));
    headless::ClickCheckBox(ui::List::Disk, row);
    FUZZ_CHECK(SelectedDiskRow == row, "the disk row is not selected");
  } else {
    headless::SetActivePage(ui::kPageWipeDrive);
    const int row = RowOf(ui::List::Drive, fuzz::VolumeRootPath());
    headless::ClickCheckBox(ui::List::Drive, row);
    FUZZ_CHECK(SelectedDriveRow == row, "the volume row is not selected");
  }
}

// The record carries the volume's former file-system name (bytes 200 to 220, any bytes here);
// the batch file that formats the volume after the run must hold one fixed command whatever
// the name. Read when the batch is started, the only moment it exists.
void CheckFormatBatch() {
  const std::string path = fuzz::HostFolder() + "/format.bat";
  std::FILE* file = std::fopen(path.c_str(), "rb");
  FUZZ_CHECK(file != nullptr, "format.bat is started but missing");
  char text[256] = {};
  const std::size_t got = std::fread(text, 1, sizeof text - 1, file);
  std::fclose(file);
  const std::string batch(text, got);
  const std::string drive = std::string(" ") + fuzz::kVolumeLetter + ":\r\n";  // a text file
  bool known = false;
  for (const char* fileSystem : {"FAT", "FAT32", "NTFS"}) {
    known = known || batch == std::string("ECHO Y|FORMAT.COM /Q/V:CLEAN /FS:") + fileSystem + drive;
  }
  FUZZ_CHECK(known, "format.bat holds: " + batch);
}

void WatchFormatBatch() {
  sim::SetFaultHook([](const sim::Call& call) {
    const std::string name = "format.bat";
    if (call.op == sim::Op::RunHidden && call.path.size() >= name.size() &&
        call.path.compare(call.path.size() - name.size(), name.size(), name) == 0) {
      CheckFormatBatch();
    }
    return false;
  });
}

void ArmUser(const Scenario& scenario) {
  ui::SetOptionChecked(ui::Option::WipeResumable, scenario.resumable);
  headless::QueueAnswers({ui::kDialogYes});
  const long cancelAt = scenario.cancelAtPump;
  const bool untick = scenario.untickFormat;
  WatchFormatBatch();
  headless::SetPumpHook([cancelAt, untick](long pump) {
    if (untick && pump == 1) ui::SetFormatBox(false, headless::FormatBoxEnabled());
    if (cancelAt != 0 && pump == cancelAt) app::CancelClicked();
  });
}

// Full-block writes that reached the target, by block index.
std::map<std::uint64_t, int> CheckWritesAndCountBlocks(const std::string& target) {
  std::map<std::uint64_t, int> written;
  for (const sim::Call& call : sim::Calls()) {
    if (call.op != sim::Op::Write) continue;
    FUZZ_CHECK(call.path == target, "a write on " + call.path + " while resuming " + target);
    FUZZ_CHECK(call.transferred <= call.bytes, "more bytes moved than asked");
    if (call.transferred == 0) continue;
    FUZZ_CHECK(call.offset + call.transferred <= fuzz::kTargetBytes,
               "a write past the end of the device at " + std::to_string(call.offset));
    if (call.transferred == kBlockSize && call.offset % kBlockSize == 0) ++written[call.offset / kBlockSize];
  }
  return written;
}

int CountLines(const std::vector<std::string>& lines, const std::string& text) {
  int count = 0;
  for (const std::string& line : lines) count += line == text ? 1 : 0;
  return count;
}

// A success must have written every block of the device from the record's block on, in every
// pass from the record's pass to the method's last: a range that ends short of the device is
// grown to its end. Blocks past the end of the device cannot be written.
void CheckSuccessCoversRange(const fuzz::DecodedRecord& record,
                             const std::map<std::uint64_t, int>& written) {
  const WipeMethod& method = WipeMethods[record.methodId];
  const int first = method.passCount > 1 ? record.passIndex : 0;
  FUZZ_CHECK(first < method.passCount,
             "success for pass " + std::to_string(first) + " of a method of " +
                 std::to_string(method.passCount) + " passes: nothing was wiped");
  const std::uint64_t deviceBlocks = fuzz::kTargetBytes / kBlockSize;
  std::map<std::uint64_t, int> needed;
  FUZZ_CHECK(record.blockCount <= deviceBlocks,
             "success although the record's " + std::to_string(record.blockCount) +
                 " blocks do not fit the device's " + std::to_string(deviceBlocks));
  for (int p = first; p < method.passCount; ++p) {
    const std::uint64_t s = p == first ? record.startBlock : 0;
    for (std::uint64_t k = s; k < deviceBlocks; ++k) ++needed[k];
  }
  for (const auto& [block, passes] : needed) {
    auto at = written.find(block);
    const int got = at == written.end() ? 0 : at->second;
    FUZZ_CHECK(got >= passes, "block " + std::to_string(block) + " written " + std::to_string(got) +
                                  " times for " + std::to_string(passes) + " passes");
  }
}

void CheckAmountText(const fuzz::DecodedRecord& record) {
  const std::string amount = headless::ProgressValue(ui::ProgressValue::Amount);
  if (amount == "0 MB/0 MB") return;
  const std::size_t slash = amount.find('/');
  FUZZ_CHECK(slash != std::string::npos, "the amount text has no slash: " + amount);
  const std::string shown = amount.substr(slash + 1);
  FUZZ_CHECK(shown.size() <= 49, "the capacity text runs past its field: " + std::to_string(shown.size()));
  // A grown range is named by the device's length.
  const std::uint64_t tail = record.tailBytes < kBlockSize ? record.tailBytes : 0;
  const bool grown = std::uint64_t{record.blockCount} * kBlockSize + tail < fuzz::kTargetBytes;
  const std::string expected = grown ? FormatSizeText(fuzz::kTargetBytes) : FieldText(record.capacityText);
  FUZZ_CHECK(shown == expected, "the capacity text is not the run's: \"" + shown + "\" for \"" + expected + "\"");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::LoadSmallMachine(fuzz::HostFolder());
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Scenario scenario = ScenarioFrom(data, size);
  const fuzz::DecodedRecord record = fuzz::DecodeRecord(scenario.unit, fuzz::kTargetBytes);
  FUZZ_CHECK(record.sealed, "the sealed record does not pass the reader of this target");
  const fuzz::Session session;
  Plant(scenario);
  SelectTarget(scenario);
  ArmUser(scenario);
  sim::ClearCalls();

  ResumeCommand();

  FUZZ_CHECK(sim::OpenHandles() == 0, "a device handle left open");
  FUZZ_CHECK(fuzz::GuardsIntact(), "bytes beside the volume changed");
  const auto written = CheckWritesAndCountBlocks(TargetPath(scenario));
  FUZZ_CHECK(headless::MainVisible() && !headless::ProgressVisible(), "the windows did not come back");
  const std::vector<std::string> log = headless::LogTexts();
  const std::vector<std::string> sounds = sim::SoundsPlayed();
  FUZZ_CHECK(!sounds.empty(), "no closing sound");
  if (!record.valid) {
    FUZZ_CHECK(CountLines(log, "Break point not found, can not resume.") == 1 && headless::Dialogs().empty() &&
                   written.empty() && sounds.back() == "ding.wav",
               "a record that describes no wipe was not refused");
    return 0;
  }
  FUZZ_CHECK(headless::Dialogs().size() == 1 && headless::Dialogs()[0].caption == "Confirm",
             "the one confirmation was not asked");
  FUZZ_CHECK(ResumePoint.StartBlock == record.startBlock && ResumePoint.BlockCount == record.blockCount &&
                 ResumePoint.PassIndex == record.passIndex && ResumePoint.MethodId == record.methodId,
             "ResumePoint does not hold the record");

  const bool cancelled = CountLines(log, "User canceled.") > 0;
  const bool failed = CountLines(log, "Wipe aborted!") > 0;
  const bool succeeded = sounds.back() == "finish.wav";
  FUZZ_CHECK(succeeded || sounds.back() == "ding.wav", "the closing sound is " + sounds.back());
  const int outcomes = (cancelled ? 1 : 0) + (failed ? 1 : 0) + (succeeded ? 1 : 0);
  if (record.methodId < kMethodCount) {
    FUZZ_CHECK(outcomes == 1, "a run ended in " + std::to_string(outcomes) + " outcomes");
  } else {
    FUZZ_CHECK(outcomes == 0 && written.empty(), "a record of no method started a run");
  }
  if (succeeded) CheckSuccessCoversRange(record, written);
  if (record.methodId < kMethodCount) CheckAmountText(record);
  fuzz::CheckTablesTerminated();
  return 0;
}
