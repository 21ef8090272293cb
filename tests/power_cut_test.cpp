// Power cuts: a wipe whose machine loses power at a drawn call, on a disk whose write cache
// loses everything not yet on the media. The program is started again on what reached the
// media, resumes the wipe where the device is listed resumable and starts it again where it is
// not, until a run completes. A cut from the moment the run's first record is on the media
// until its removal leaves the device listed resumable. Then no sector of the target holds its former content, nothing
// outside it changed, and no success line was logged while the media still held former content.
//
// Each draw is seeded; a failure names the seed. DUNMERE_POWER_CUT_DRAWS sets the draws per case
// (2 by default) and DUNMERE_POWER_CUT_SEED the base seed, to explore or replay.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "app/handlers.h"
#include "app/log.h"
#include "app/main_window.h"
#include "resume/breakpoint.h"
#include "tests/app_machine.h"
#include "wipe/methods.h"

namespace {

using app_test::kMiB;

constexpr std::uint64_t kSector = 512;
const char* const kResumableText = "Incomplete wipe, resumable.";
const char* const kMarkerTag = "FORMER CONTENT";

enum class Target { Drive, Disk };

// disk 1: a partition table in sector 0; E: (NTFS) at 1 MiB, three blocks and five sectors;
// D: (FAT32) at 5 MiB, one block; seven sectors to the end. Its cache holds 2 MiB, so a pass
// both evicts and keeps blocks in the cache.
constexpr std::uint64_t kEOffset = kMiB;
constexpr std::uint64_t kELength = 3 * kMiB + 5 * kSector;
constexpr std::uint64_t kDOffset = 5 * kMiB;
constexpr std::uint64_t kDLength = kMiB;
constexpr std::uint64_t kDiskSize = kDOffset + kDLength + 7 * kSector;
constexpr std::uint64_t kCache = 2 * kMiB;

struct Place {
  std::string path;
  std::uint64_t base;
  std::uint64_t length;
};

Place PlaceOf(Target target) {
  if (target == Target::Drive) return {"\\\\.\\E:", kEOffset, kELength};
  return {"\\\\.\\physicaldrive1", 0, kDiskSize};
}

// Where in a run the power goes.
enum class Cut {
  AnyCall,       // any call of the run
  RecordFlush,   // the flush that follows a record's write
  FinalRemoval,  // the removal of the record at the end and the flushes around it
  PassStart,     // from block 0 of a later pass to that pass's first record
};

const char* CutName(Cut cut) {
  switch (cut) {
    case Cut::AnyCall: return "AnyCall";
    case Cut::RecordFlush: return "RecordFlush";
    case Cut::FinalRemoval: return "FinalRemoval";
    case Cut::PassStart: return "PassStart";
  }
  return "";
}

struct CutCase {
  int method;
  Target target;
  Cut cut;
};

std::string CaseName(const CutCase& c) {
  return "Method" + std::to_string(c.method) + (c.target == Target::Drive ? "_Drive_" : "_Disk_") + CutName(c.cut);
}

void PrintTo(const CutCase& c, std::ostream* out) { *out << CaseName(c); }

unsigned long EnvNumber(const char* name, unsigned long fallback) {
  const char* text = std::getenv(name);
  return text != nullptr && *text != '\0' ? std::strtoul(text, nullptr, 10) : fallback;
}

// The calls of an uncut run, counted from the click: how many, and where the calls lie that a
// case aims at. A run's calls do not depend on the cache, so every draw of a case makes them.
struct RunCalls {
  std::size_t count = 0;
  std::vector<std::size_t> recordFlushes;
  std::vector<std::size_t> finalRemoval;
  std::vector<std::size_t> passStarts;
};

RunCalls ClassifyCalls(const std::string& path) {
  RunCalls run;
  const std::vector<sim::Call>& calls = sim::Calls();
  run.count = calls.size();
  std::size_t lastFlush = calls.size();
  bool recordSeen = false;
  bool inPassStart = false;
  for (std::size_t i = 0; i < calls.size(); ++i) {
    const sim::Call& call = calls[i];
    if (call.path != path) continue;
    if (call.op == sim::Op::Flush) lastFlush = i;
    const bool recordWrite = call.op == sim::Op::Write && call.bytes == kRecordUnit && call.offset == 0;
    if (recordSeen && call.op == sim::Op::Write && call.bytes == kBlockSize && call.offset == 0) inPassStart = true;
    if (inPassStart) run.passStarts.push_back(i);
    if (recordWrite) {
      recordSeen = true;
      inPassStart = false;
    }
    if (call.op != sim::Op::Write || call.bytes != kRecordUnit || call.offset != 0) continue;
    for (std::size_t j = i + 1; j < calls.size(); ++j) {
      if (calls[j].op == sim::Op::Flush && calls[j].path == path) {
        run.recordFlushes.push_back(j);
        break;
      }
    }
  }
  // The removal reads the record's unit, writes it back and is flushed; the flush before it
  // belongs to it too.
  std::size_t removalRead = lastFlush;
  while (removalRead > 0 && removalRead < calls.size() &&
         !(calls[removalRead].op == sim::Op::Read && calls[removalRead].path == path &&
           calls[removalRead].bytes == kRecordUnit)) {
    --removalRead;
  }
  for (std::size_t i = removalRead > 0 ? removalRead - 1 : 0; i <= lastFlush && i < calls.size(); ++i) {
    run.finalRemoval.push_back(i);
  }
  return run;
}

class PowerCutTest : public app_test::AppTest, public ::testing::WithParamInterface<CutCase> {
 protected:
  void TearDown() override {
    sim::SetFaultHook(nullptr);
    headless::SetPumpHook(nullptr);
    AppTest::TearDown();
  }

  sim::Machine CutMachine(bool dataVolumes, std::uint32_t cacheSeed) const {
    sim::Machine machine;
    machine.hostFolder = hostFolder_;
    machine.executablePath = "C:\\Program Files\\Dunmere\\dunmere.exe";
    sim::Disk data = app_test::MakeDisk(1, kDiskSize);
    data.writeCache = kCache;
    data.cacheSeed = cacheSeed;
    machine.disks = {app_test::MakeDisk(0, 10 * kMiB), data};
    machine.volumes = {app_test::MakeVolume('C', 0, kMiB, 8 * kMiB, "NTFS", "System")};
    if (dataVolumes) {
      machine.volumes.push_back(app_test::MakeVolume('D', 1, kDOffset, kDLength, "FAT32", "Photos"));
      machine.volumes.push_back(app_test::MakeVolume('E', 1, kEOffset, kELength, "NTFS", "Archive"));
    }
    return machine;
  }

  // Windows finds the volumes of disk 1 through its partition table.
  bool PartitionTableOnMedia() const {
    const std::vector<std::uint8_t> sector = sim::ReadDisk(1, 0, kSector);
    return sector.size() == kSector && sector[510] == 0x55 && sector[511] == 0xAA;
  }

  // Every sector of disk 1 gets the marker and its number; boot sectors keep their fields.
  void StampDisk() {
    original_.assign(static_cast<std::size_t>(kDiskSize), 0);
    for (std::uint64_t sector = 0; sector < kDiskSize / kSector; ++sector) {
      const std::uint64_t at = sector * kSector;
      std::vector<std::uint8_t> bytes = sim::ReadDisk(1, at, kSector);
      // The partition table and the boot sectors keep their fields, so Windows still finds the
      // volumes; the marker lands in their code areas.
      const bool kept = at == 0 || at == kEOffset || at == kDOffset;
      if (!kept) {
        for (std::size_t i = 0; i < kSector; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + sector);
      }
      const std::string text = std::string(kMarkerTag) + " " + std::to_string(sector);
      std::copy(text.begin(), text.end(), bytes.begin() + 100);
      std::memcpy(&original_[at], bytes.data(), kSector);
    }
    ASSERT_TRUE(sim::WriteDisk(1, 0, original_));
    systemDisk_ = sim::ReadDisk(0, 0, 10 * kMiB);
  }


  void StartProgram(bool restart, std::uint32_t cacheSeed) {
    FreshProcess();
    std::string error;
    const bool loaded = restart ? sim::Restart(CutMachine(PartitionTableOnMedia(), cacheSeed), &error)
                                : sim::Load(CutMachine(true, cacheSeed), &error);
    ASSERT_TRUE(loaded) << error;
    app::FormCreate();
    ui::ShowMainWindow();
    // The user unticks formatting, so the last pass stays to be looked at.
    headless::SetPumpHook([](long) {
      if (headless::ProgressCaption().rfind("  Wiping ", 0) == 0) ui::SetFormatBox(false, headless::FormatBoxEnabled());
    });
  }

  static std::vector<std::string> RowOf(Target target) {
    const ui::List list = target == Target::Drive ? ui::List::Drive : ui::List::Disk;
    const int row = AppTest::RowOf(list, target == Target::Drive ? "E:\\" : "Disk1");
    return row < 0 ? std::vector<std::string>() : headless::Rows(list)[static_cast<std::size_t>(row)];
  }

  // The column that says "Incomplete wipe, resumable.": a volume's status, a disk's volumes.
  static std::string StatusOf(const std::vector<std::string>& row, Target target) {
    const std::size_t column = target == Target::Drive ? 3 : 2;
    return row.size() > column ? row[column] : std::string();
  }

  static bool Choose(Target target) {
    headless::SetActivePage(target == Target::Drive ? ui::kPageWipeDrive : ui::kPageWipeDisk);
    const ui::List list = target == Target::Drive ? ui::List::Drive : ui::List::Disk;
    const int row = AppTest::RowOf(list, target == Target::Drive ? "E:\\" : "Disk1");
    if (row < 0) return false;
    if (!ui::RowChecked(list, row)) headless::ClickCheckBox(list, row);
    return (target == Target::Drive ? SelectedDriveRow : SelectedDiskRow) == row;
  }

  // What a user does with the program started: resume a listed interrupted wipe, else wipe
  // (formatting first a volume the last run left without a file system). The power goes at
  // call `cutAt` from the click (none when it is past the run's calls).
  void RunProgram(Target target, int method, std::size_t cutAt) {
    const std::vector<std::string> row = RowOf(target);
    ASSERT_FALSE(row.empty()) << "the target is not listed";
    const bool resumable = StatusOf(row, target) == kResumableText;
    ASSERT_TRUE(Choose(target));
    if (!resumable && target == Target::Drive && DriveTable[SelectedDriveRow].Capacity == 0) {
      headless::QueueAnswers({ui::kDialogYes});
      app::WipeItNowClicked();  // the format offer, taken
      ASSERT_TRUE(Choose(target));
    }
    int passesLeft = WipeMethods[method].passCount;
    BreakpointValues record;
    if (resumable && FindBreakpoint(PlaceOf(target).path, &record) &&
        record.MethodId < kMethodCount) {
      passesLeft = WipeMethods[record.MethodId].passCount - record.PassIndex;
    }
    sim::ClearCalls();
    cutLogLines_ = SIZE_MAX;
    cutLeftRecord_ = false;
    const Place place = PlaceOf(target);
    sim::SetFaultHook([this, cutAt, resumable, passesLeft, place](const sim::Call&) {
      if (sim::Calls().size() - 1 != cutAt) return false;
      ++cutsMade_;
      cutLeftRecord_ = RecordOnMediaAtCut(place, resumable, passesLeft);
      sim::CutPower(true);
      cutLogLines_ = headless::LogTexts().size();
      return true;
    });
    if (resumable) {
      headless::QueueAnswers({ui::kDialogYes});
      app::ResumeClicked();
    } else {
      headless::SetMethodIndex(method);
      headless::QueueAnswers({ui::kDialogYes, ui::kDialogYes});
      app::WipeItNowClicked();
    }
    sim::SetFaultHook(nullptr);
  }

  // Whether a record must be on the media when the power goes at the call being made now:
  // from the moment the run's first record was flushed (at once for a resumed wipe) until the
  // run has written the last pass's tail, after which the record is removed.
  static bool RecordOnMediaAtCut(const Place& place, bool resumed, int passesLeft) {
    const std::vector<sim::Call>& calls = sim::Calls();
    const std::uint64_t tail = place.length % kMiB;
    bool recordWritten = false;
    bool recordFlushed = resumed;
    int tails = 0;
    for (std::size_t i = 0; i + 1 < calls.size(); ++i) {
      const sim::Call& call = calls[i];
      if (call.path != place.path || !call.ok) continue;
      if (call.op == sim::Op::Write && call.offset == 0 && call.bytes == kRecordUnit) recordWritten = true;
      if (call.op == sim::Op::Flush && recordWritten) recordFlushed = true;
      if (call.op == sim::Op::Write && call.bytes == tail && call.offset == place.length - tail) ++tails;
    }
    return recordFlushed && tails < passesLeft;
  }

  static std::string SuccessLine(Target target) {
    return target == Target::Drive ? "Drive E: wiped successfully." : "Disk 1 wiped successfully.";
  }

  // The lines the program logged while the power was on.
  std::vector<std::string> LinesBeforeCut() const {
    std::vector<std::string> lines = headless::LogTexts();
    if (cutLogLines_ < lines.size()) lines.resize(cutLogLines_);
    return lines;
  }

  // Sectors of the target's range on the media that still hold former content (marker or the
  // same bytes), as offsets in the range; at most a few.
  std::vector<std::uint64_t> FormerSectors(const Place& place) const {
    const std::vector<std::uint8_t> disk = sim::ReadDisk(1, 0, static_cast<std::size_t>(kDiskSize));
    std::vector<std::uint64_t> left;
    for (std::uint64_t at = place.base; at < place.base + place.length && left.size() < 3; at += kSector) {
      if (memmem(&disk[at], kSector, kMarkerTag, std::strlen(kMarkerTag)) != nullptr ||
          std::memcmp(&disk[at], &original_[at], kSector) == 0) {
        left.push_back(at - place.base);
      }
    }
    return left;
  }

  void ExpectOutsideUnchanged(const Place& place) const {
    const std::vector<std::uint8_t> disk = sim::ReadDisk(1, 0, static_cast<std::size_t>(kDiskSize));
    ASSERT_EQ(disk.size(), original_.size());
    EXPECT_EQ(std::memcmp(disk.data(), original_.data(), place.base), 0) << "disk 1 changed before the target";
    const std::size_t end = static_cast<std::size_t>(place.base + place.length);
    EXPECT_EQ(std::memcmp(disk.data() + end, original_.data() + end, disk.size() - end), 0)
        << "disk 1 changed after the target";
    EXPECT_TRUE(sim::ReadDisk(0, 0, systemDisk_.size()) == systemDisk_) << "the system disk changed";
  }

  // The calls of an uncut run of the case, made once per case.
  RunCalls ReferenceRun(const CutCase& c) {
    static std::map<std::string, RunCalls> made;
    auto found = made.find(CaseName(c));
    if (found != made.end()) return found->second;
    StartProgram(false, 1);
    StampDisk();
    RunProgram(c.target, c.method, SIZE_MAX);
    const RunCalls run = ClassifyCalls(PlaceOf(c.target).path);
    made[CaseName(c)] = run;
    return run;
  }

  std::size_t cutLogLines_ = SIZE_MAX;
  bool cutLeftRecord_ = false;  // the last cut came while the run's record had to be on the media
  unsigned long cutsMade_ = 0;
  std::vector<std::uint8_t> original_;
  std::vector<std::uint8_t> systemDisk_;
};

TEST_P(PowerCutTest, ResumedOrRestartedUntilDoneLeavesNothingFormer) {
  const CutCase& c = GetParam();
  const Place place = PlaceOf(c.target);
  const RunCalls reference = ReferenceRun(c);
  ASSERT_GT(reference.count, 0u);
  ASSERT_FALSE(reference.recordFlushes.empty()) << "the run saved no record";
  ASSERT_FALSE(reference.finalRemoval.empty()) << "the run removed no record";

  const unsigned long draws = EnvNumber("DUNMERE_POWER_CUT_DRAWS", 2);
  const unsigned long base = EnvNumber("DUNMERE_POWER_CUT_SEED", 20261210);
  const unsigned long caseSalt = static_cast<unsigned long>(c.method * 7 + static_cast<int>(c.target) * 3 +
                                                            static_cast<int>(c.cut)) * 100003UL;
  for (unsigned long draw = 0; draw < draws; ++draw) {
    const unsigned long seed = base + caseSalt + draw;
    std::mt19937 rng(static_cast<std::mt19937::result_type>(seed));
    auto pick = [&rng](const std::vector<std::size_t>& from) {
      return from[std::uniform_int_distribution<std::size_t>(0, from.size() - 1)(rng)];
    };
    std::vector<std::size_t> cuts;
    switch (c.cut) {
      case Cut::AnyCall: cuts.push_back(std::uniform_int_distribution<std::size_t>(0, reference.count - 1)(rng)); break;
      case Cut::RecordFlush: cuts.push_back(pick(reference.recordFlushes)); break;
      case Cut::FinalRemoval: cuts.push_back(pick(reference.finalRemoval)); break;
      case Cut::PassStart:
        ASSERT_FALSE(reference.passStarts.empty()) << "no later pass began at block 0";
        cuts.push_back(pick(reference.passStarts));
        break;
    }
    // Half the draws cut the restarted program as well.
    if (rng() % 2 == 0) cuts.push_back(std::uniform_int_distribution<std::size_t>(0, reference.count - 1)(rng));
    const std::uint32_t cacheSeed = static_cast<std::uint32_t>(rng());

    std::ostringstream plan;
    plan << CaseName(c) << ": seed " << seed << " (DUNMERE_POWER_CUT_SEED=" << base << ", draw " << draw
         << "), power cut at calls";
    for (std::size_t cut : cuts) plan << ' ' << cut;
    plan << " of " << reference.count << ", cache seed " << cacheSeed;
    SCOPED_TRACE(plan.str());

    ASSERT_NO_FATAL_FAILURE(StartProgram(false, cacheSeed));
    ASSERT_NO_FATAL_FAILURE(StampDisk());
    bool done = false;
    for (std::size_t program = 0; program < cuts.size() + 3 && !done; ++program) {
      if (program > 0) {
        const bool mustBeResumable = cutLeftRecord_;
        ASSERT_NO_FATAL_FAILURE(StartProgram(true, cacheSeed));
        if (mustBeResumable) {
          const std::vector<std::string> row = RowOf(c.target);
          ASSERT_FALSE(row.empty()) << "the target is not listed after a cut past its first record";
          EXPECT_EQ(StatusOf(row, c.target), kResumableText) << "a cut past the first record took the resume point away";
        }
      }
      SCOPED_TRACE("program " + std::to_string(program));
      const std::size_t cutAt = program < cuts.size() ? cuts[program] : SIZE_MAX;
      ASSERT_NO_FATAL_FAILURE(RunProgram(c.target, c.method, cutAt));
      const std::vector<std::string> lines = LinesBeforeCut();
      const bool succeeded = std::find(lines.begin(), lines.end(), SuccessLine(c.target)) != lines.end();
      // What was on the media when the power went, or would be if it went now.
      sim::CutPower();
      if (succeeded) {
        const std::vector<std::uint64_t> left = FormerSectors(place);
        ASSERT_TRUE(left.empty()) << "success was logged while byte " << left[0]
                                  << " of the target still held its former content";
        done = true;
      }
    }
    ASSERT_TRUE(done) << "no run completed";
    ExpectOutsideUnchanged(place);
  }
  std::printf("%s: %lu power cuts over %lu draws\n", CaseName(c).c_str(), cutsMade_, draws);
}

std::vector<CutCase> AllCutCases() {
  std::vector<CutCase> cases;
  for (int method = 0; method < kMethodCount; ++method) {
    for (Target target : {Target::Drive, Target::Disk}) {
      for (Cut cut : {Cut::AnyCall, Cut::RecordFlush, Cut::FinalRemoval, Cut::PassStart}) {
        if (cut == Cut::PassStart && WipeMethods[method].passCount == 1) continue;
        cases.push_back({method, target, cut});
      }
    }
  }
  return cases;
}

INSTANTIATE_TEST_SUITE_P(EachMethodAndTarget, PowerCutTest, ::testing::ValuesIn(AllCutCases()),
                         [](const ::testing::TestParamInfo<CutCase>& param) { return CaseName(param.param); });

}  // namespace
