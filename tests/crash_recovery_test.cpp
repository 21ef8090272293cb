// Crash recovery: a wipe that ends without warning at some block, as a crash or a power loss
// ends it, is resumed by the program started again and completes; afterwards nothing of the
// device's former content is left, the last pass's pattern is on it, and nothing outside the
// target changed.
//
// The killed program runs in a child process on a simulated machine whose disks are image
// files. The simulated machine flushes every write at once, so the images hold exactly what
// the killed program wrote, and the child is ended with _exit from inside the machine, just
// before the chosen write. The test process, which never ran the killed program, then starts
// the program on the same images as a user who switched the computer on again would.
//
// Where each program is killed is drawn from a seeded generator; every failure names the seed
// and the kill points. DUNMERE_CRASH_SEED=<number> replays (or explores) another seed.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "app/window_runs.h"
#include "app/handlers.h"
#include "app/log.h"
#include "app/main_window.h"
#include "resume/breakpoint.h"
#include "tests/app_machine.h"
#include "tests/wipe_fixture.h"
#include "wipe/methods.h"

namespace {

using app_test::kMiB;

const char* const kResumableText = "Incomplete wipe, resumable.";
const char* const kMarkerTag = "ORIGINAL CONTENT";
constexpr std::uint64_t kSector = 512;
constexpr std::uint32_t kTailBlock = 0xFFFFFFFF;  // stands for the tail in a block position
constexpr unsigned kDefaultSeed = 20240917;

// How a child program ended: killed at its kill point, its run over before reaching it, or
// something before the run went wrong (explained in its problem file).
constexpr int kKilled = 86;
constexpr int kRunEnded = 87;
constexpr int kChildProblem = 88;

enum class Target { Drive, Disk };

// ---- The machine ------------------------------------------------------------------------------
//
// disk 0: C: (Windows), untouched by every wipe here.
// disk 1: a partition-table sector at 0; E: (FAT32 "Archive") at 1 MiB, `volumeBlocks` MiB and
//         a tail of 5 sectors; a free MiB; D: (NTFS "Photos"), 2 MiB; 7 sectors to the end.
// The drive target is E: (D: is its neighbour), the disk target the whole of disk 1.
constexpr std::uint64_t kVolumeTail = 5 * kSector;
constexpr std::uint64_t kDiskTail = 7 * kSector;

struct Layout {
  std::uint32_t volumeBlocks = 5;

  std::uint64_t EOffset() const { return kMiB; }
  std::uint64_t ELength() const { return volumeBlocks * kMiB + kVolumeTail; }
  std::uint64_t DOffset() const { return (volumeBlocks + 2) * kMiB; }
  std::uint64_t DLength() const { return 2 * kMiB; }
  std::uint64_t DiskSize() const { return DOffset() + DLength() + kDiskTail; }
};

// Where a target lies on disk 1 and how a run splits it.
struct TargetPlace {
  std::string path;    // as the program opens it
  std::uint64_t base;  // offset of its byte 0 on disk 1
  std::uint64_t length;
  std::uint32_t blocks;
  std::uint32_t tail;
};

TargetPlace PlaceOf(Target target, const Layout& layout) {
  if (target == Target::Drive) {
    return {"\\\\.\\E:", layout.EOffset(), layout.ELength(), layout.volumeBlocks,
            static_cast<std::uint32_t>(kVolumeTail)};
  }
  return {"\\\\.\\physicaldrive1", 0, layout.DiskSize(), static_cast<std::uint32_t>(layout.DiskSize() / kMiB),
          static_cast<std::uint32_t>(layout.DiskSize() % kMiB)};
}

// The 512 bytes a sector of disk 1 held before any wipe: the marker text and the sector's
// number at byte 100 (unused by every boot sector the machine writes) in bytes of many values.
void StampOriginal(std::vector<std::uint8_t>* bytes, std::uint64_t sector, bool bootSector) {
  static const std::vector<std::uint8_t> filler = [] {
    std::vector<std::uint8_t> values(kSector);
    for (std::size_t i = 0; i < kSector; ++i) values[i] = static_cast<std::uint8_t>(i * 7 + 1);
    return values;
  }();
  if (!bootSector) *bytes = filler;
  const std::string text = std::string(kMarkerTag) + " of disk1, sector " + std::to_string(sector);
  std::copy(text.begin(), text.end(), bytes->begin() + 100);
}

// The plain byte functions keep the checks of 40 MiB quick in the sanitizer build.
bool HasMarker(const std::uint8_t* bytes, std::size_t count) {
  return memmem(bytes, count, kMarkerTag, std::strlen(kMarkerTag)) != nullptr;
}

bool SameBytes(const std::uint8_t* a, const std::uint8_t* b, std::size_t count) { return std::memcmp(a, b, count) == 0; }

bool OneRepeatedByte(const std::vector<std::uint8_t>& bytes) {
  return !bytes.empty() && SameBytes(bytes.data(), bytes.data() + 1, bytes.size() - 1);
}

// ---- Kill points and their plan -----------------------------------------------------------------

// The program is killed just before it writes this block (kTailBlock: the tail) of this pass.
struct KillPoint {
  int pass = 0;
  std::uint32_t block = 0;
};

// Where a run stands when its record says so: the pass and the block it will write next.
struct RecordPoint {
  int pass = 0;
  std::uint32_t block = 0;
};

std::string BlockText(std::uint32_t block) { return block == kTailBlock ? "the tail" : "block " + std::to_string(block); }

std::string Describe(const KillPoint& kill, int passCount) {
  return "pass " + std::to_string(kill.pass + 1) + " of " + std::to_string(passCount) + ", before " +
         BlockText(kill.block);
}

std::uint32_t CheckpointInterval(std::uint32_t blocks) { return blocks / 20 == 0 ? 1 : blocks / 20; }

// Whether a pass that begins at block `first` saves its record before block k: before block 1,
// and before every I-th block from its first one, never before block 0.
bool SavesBefore(std::uint32_t first, std::uint32_t blocks, std::uint32_t k) {
  if (k == 0 || k < first || k >= blocks) return false;
  return k == 1 || (k - first) % CheckpointInterval(blocks) == 0;
}

// The record a device holds after a run that began at `start` was killed at `kill`, worked out
// from the checkpoint rule alone; `before` is what the device held when that run began.
std::optional<RecordPoint> RecordAfterKill(const RecordPoint& start, const KillPoint& kill, std::uint32_t blocks,
                                           std::optional<RecordPoint> before) {
  for (int pass = kill.pass; pass >= start.pass; --pass) {
    const std::uint32_t first = pass == start.pass ? start.block : 0;
    // The save before block k comes before the write of k, so a kill at k finds it made.
    std::uint32_t last = blocks - 1;
    if (pass == kill.pass && kill.block != kTailBlock) last = kill.block;
    for (std::int64_t k = last; k >= static_cast<std::int64_t>(first); --k) {
      if (SavesBefore(first, blocks, static_cast<std::uint32_t>(k))) return RecordPoint{pass, static_cast<std::uint32_t>(k)};
    }
  }
  return before;
}

enum class Kind {
  FirstPass,      // killed in the first pass, after its first checkpoint
  LaterPass,      // killed in a later pass (the tail or any block, block 0 included)
  CheckpointGap,  // a target of 40 blocks and more, killed between two checkpoints
  KilledTwice,    // the resumed program is killed as well, and resumed once more
};

const char* KindName(Kind kind) {
  switch (kind) {
    case Kind::FirstPass: return "FirstPass";
    case Kind::LaterPass: return "LaterPass";
    case Kind::CheckpointGap: return "CheckpointGap";
    case Kind::KilledTwice: return "KilledTwice";
  }
  return "";
}

struct CrashCase {
  int method;
  Target target;
  Kind kind;
  bool formatAfter;  // drive targets: leave "Format the drive when finished" ticked
};

std::string CaseName(const CrashCase& c) {
  return "Method" + std::to_string(c.method) + (c.target == Target::Drive ? "_Drive_" : "_Disk_") + KindName(c.kind) +
         (c.formatAfter ? "_Formatted" : "");
}

void PrintTo(const CrashCase& c, std::ostream* out) { *out << CaseName(c); }

unsigned BaseSeed() {
  const char* text = std::getenv("DUNMERE_CRASH_SEED");
  return text != nullptr && *text != '\0' ? static_cast<unsigned>(std::strtoul(text, nullptr, 10)) : kDefaultSeed;
}

// Draws where each program of the case is killed. Every kill point lies where the runs before
// it have left a record, so each one leaves a wipe that can be resumed.
class KillPlanner {
 public:
  KillPlanner(unsigned seed, int passCount, std::uint32_t blocks)
      : rng_(seed), passCount_(passCount), blocks_(blocks) {}

  int Pass(int from) { return Draw(from, passCount_ - 1); }

  // Any block of the pass from `from` on, or its tail.
  KillPoint AnyFrom(int pass, std::uint32_t from) {
    const std::uint32_t pick = static_cast<std::uint32_t>(Draw(static_cast<int>(from), static_cast<int>(blocks_)));
    return {pass, pick == blocks_ ? kTailBlock : pick};
  }

  // A block of a fresh pass before which no record is saved, so that the resumed run writes
  // again blocks the killed one had already written.
  KillPoint BetweenCheckpoints(int pass) {
    std::vector<std::uint32_t> candidates;
    for (std::uint32_t k = 2; k < blocks_; ++k) {
      if (!SavesBefore(0, blocks_, k)) candidates.push_back(k);
    }
    if (candidates.empty()) return {pass, 1};
    return {pass, candidates[static_cast<std::size_t>(Draw(0, static_cast<int>(candidates.size()) - 1))]};
  }

 private:
  int Draw(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng_); }

  std::mt19937 rng_;
  int passCount_;
  std::uint32_t blocks_;
};

// ---- What the runs wrote ----------------------------------------------------------------------

// One block or tail write of a run, seen on the device right after it was carried out.
struct WriteSeen {
  int program = 0;  // 0 for the first program, then one more for each restart
  int pass = 0;
  std::uint32_t block = 0;  // kTailBlock for the tail
  std::size_t digest = 0;   // of the bytes written; of block 0 from its second sector on
  int repeated = -1;        // the byte every written byte equals; -1 when they differ
  bool started = false;     // only asked for: noted when the write starts, before it is carried out
};

std::string ToLine(const WriteSeen& seen) {
  std::ostringstream line;
  line << seen.program << ' ' << seen.pass << ' ' << seen.block << ' ' << seen.digest << ' ' << seen.repeated
       << ' ' << (seen.started ? 1 : 0);
  return line.str();
}

std::vector<WriteSeen> ReadWritesSeen(const std::string& file) {
  std::vector<WriteSeen> all;
  std::ifstream in(file);
  WriteSeen seen;
  int started = 0;
  while (in >> seen.program >> seen.pass >> seen.block >> seen.digest >> seen.repeated >> started) {
    seen.started = started != 0;
    all.push_back(seen);
  }
  return all;
}

// The writes that were carried out, or those only started (in the order they started), apart.
std::vector<WriteSeen> WritesThat(bool started, const std::vector<WriteSeen>& all) {
  std::vector<WriteSeen> some;
  for (const WriteSeen& seen : all) {
    if (seen.started == started) some.push_back(seen);
  }
  return some;
}

std::vector<std::uint8_t> TargetBytes(const TargetPlace& place, std::uint64_t offset, std::uint64_t count) {
  return sim::ReadDisk(1, place.base + offset, static_cast<std::size_t>(count));
}

// Sector 0 of block 0 is left out: the record is saved there after the block was written, and
// removed at the end by copying sector 1 over it.
std::size_t DigestOf(const std::vector<std::uint8_t>& bytes, std::uint64_t offset) {
  const std::size_t skip = offset == 0 ? std::min<std::size_t>(kSector, bytes.size()) : 0;
  return std::hash<std::string_view>()(
      std::string_view(reinterpret_cast<const char*>(bytes.data()) + skip, bytes.size() - skip));
}

std::size_t DigestOf(const TargetPlace& place, std::uint64_t offset, std::uint64_t count) {
  return DigestOf(TargetBytes(place, offset, count), offset);
}

// The simulated machine's hooks: the fault hook sees every call just before it is carried out
// and ends the process, without warning, at the kill point (when the write of that block is
// asked for); the write hook notes each block and tail write of the run on the target, read back
// once the write has been carried out (a write in flight completes after later ones started).
class WriteWatch {
 public:
  WriteWatch(TargetPlace place, int program, std::optional<KillPoint> kill, std::function<void(const WriteSeen&)> note)
      : place_(std::move(place)), program_(program), kill_(kill), note_(std::move(note)) {}

  bool OnCall(const sim::Call& call) {
    std::uint32_t block = 0;
    if (!RunWrite(call, &block)) return false;
    const int pass = wipe_test::CaptionPass(headless::ProgressCaption()) - 1;
    if (kill_ && kill_->pass == pass && kill_->block == block) _exit(kKilled);
    WriteSeen seen;
    seen.program = program_;
    seen.pass = pass;
    seen.block = block;
    seen.started = true;
    note_(seen);
    return false;
  }

  void OnWritten(const sim::Call& call) {
    std::uint32_t block = 0;
    if (!RunWrite(call, &block)) return;
    WriteSeen seen;
    seen.program = program_;
    seen.pass = wipe_test::CaptionPass(headless::ProgressCaption()) - 1;
    seen.block = block;
    const std::vector<std::uint8_t> bytes = wipe_test::PassContentOf(TargetBytes(place_, call.offset, call.bytes), call.offset);
    seen.digest = DigestOf(bytes, call.offset);
    if (OneRepeatedByte(bytes)) seen.repeated = bytes[0];
    note_(seen);
  }

 private:
  // A block or the tail of the run on the target; not the breakpoint record or its removal.
  bool RunWrite(const sim::Call& call, std::uint32_t* block) const {
    if (call.op != sim::Op::Write || call.path != place_.path) return false;
    if (call.bytes == kBlockSize && call.offset % kBlockSize == 0) {
      *block = static_cast<std::uint32_t>(call.offset / kBlockSize);
      return true;
    }
    if (call.bytes == place_.tail && call.offset == static_cast<std::uint64_t>(place_.blocks) * kBlockSize) {
      *block = kTailBlock;
      return true;
    }
    return false;
  }

  TargetPlace place_;
  int program_;
  std::optional<KillPoint> kill_;
  std::function<void(const WriteSeen&)> note_;
};

// ---- The fixture --------------------------------------------------------------------------------

class CrashRecoveryTest : public app_test::AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    imageFolder_ = hostFolder_ + "/images";
  }

  void TearDown() override {
    sim::SetFaultHook(nullptr);
    sim::SetWriteHook(nullptr);
    headless::SetPumpHook(nullptr);
    AppTest::TearDown();
  }

  // The machine on its images. A restarted machine finds the volumes of disk 1 through the
  // partition table on its image, so they are gone once a disk wipe has overwritten it.
  sim::Machine CrashMachine() const {
    sim::Machine machine;
    machine.hostFolder = hostFolder_;
    machine.executablePath = "C:\\Program Files\\Dunmere\\dunmere.exe";
    machine.formatPolls = 1;
    sim::Disk system = app_test::MakeDisk(0, 10 * kMiB);
    system.image = imageFolder_ + "/disk0.img";
    sim::Disk data = app_test::MakeDisk(1, layout_.DiskSize());
    data.image = imageFolder_ + "/disk1.img";
    machine.disks = {system, data};
    machine.volumes = {app_test::MakeVolume('C', 0, kMiB, 8 * kMiB, "NTFS", "System"),
                       app_test::MakeVolume('D', 1, layout_.DOffset(), layout_.DLength(), "NTFS", "Photos"),
                       app_test::MakeVolume('E', 1, layout_.EOffset(), layout_.ELength(), "FAT32", "Archive")};
    return machine;
  }

  // Creates the images with their partition table and boot sectors, then gives every other
  // sector of disk 1 its original content and the table and every boot sector the marker. Keeps
  // both disks' bytes for comparison.
  void MakeImages() {
    std::string error;
    ASSERT_TRUE(sim::Load(CrashMachine(), &error)) << error;
    const std::uint64_t sectors = layout_.DiskSize() / kSector;
    const std::uint64_t bootSectors[] = {0, layout_.EOffset() / kSector, layout_.DOffset() / kSector};
    original_.assign(static_cast<std::size_t>(layout_.DiskSize()), 0);
    std::vector<std::uint8_t> bytes(kSector);
    for (std::uint64_t sector = 0; sector < sectors; ++sector) {
      const bool boot = std::find(std::begin(bootSectors), std::end(bootSectors), sector) != std::end(bootSectors);
      if (boot) bytes = sim::ReadDisk(1, sector * kSector, kSector);
      StampOriginal(&bytes, sector, boot);
      std::memcpy(&original_[sector * kSector], bytes.data(), kSector);
    }
    ASSERT_TRUE(sim::WriteDisk(1, 0, original_));
    systemDisk_ = sim::ReadDisk(0, 0, 10 * kMiB);
    // The images stay as they are; no open file of this process stays behind them.
    ASSERT_TRUE(sim::Load(inventory_test::EmptyMachine(), &error)) << error;
  }

  // The program started on this machine, main window up. Empty when it went as expected.
  std::string StartProgram(const sim::Machine& machine) {
    FreshProcess();
    std::string error;
    if (!sim::Load(machine, &error)) return "the machine did not load: " + error;
    app::FormCreate();
    ui::ShowMainWindow();
    return std::string();
  }

  static int RowOfCaption(ui::List list, const std::string& caption) {
    const auto rows = headless::Rows(list);
    for (std::size_t i = 0; i < rows.size(); ++i) {
      if (!rows[i].empty() && rows[i][0] == caption) return static_cast<int>(i);
    }
    return -1;
  }

  static std::vector<std::string> RowOf(Target target) {
    const ui::List list = target == Target::Drive ? ui::List::Drive : ui::List::Disk;
    const int row = RowOfCaption(list, target == Target::Drive ? "E:\\" : "Disk1");
    return row < 0 ? std::vector<std::string>() : headless::Rows(list)[static_cast<std::size_t>(row)];
  }

  static std::string Joined(const std::vector<std::string>& cells) {
    std::string text;
    for (const std::string& cell : cells) text += "[" + cell + "]";
    return text;
  }

  // The target's row as the restarted program lists an interrupted wipe: the volume without
  // file system, size or label; the disk without volumes.
  static std::string ListedAsResumable(Target target) {
    const std::vector<std::string> row = RowOf(target);
    const std::vector<std::string> expected = target == Target::Drive
                                                  ? std::vector<std::string>{"E:\\", "", "", kResumableText}
                                                  : std::vector<std::string>{"Disk1", row.size() > 1 ? row[1] : "", kResumableText, ""};
    if (row == expected) return std::string();
    return "the target is listed as " + Joined(row) + ", expected " + Joined(expected);
  }

  // Checks the target's row on its page, as the user's click does, unless it is checked.
  static std::string Choose(Target target) {
    headless::SetActivePage(target == Target::Drive ? ui::kPageWipeDrive : ui::kPageWipeDisk);
    const ui::List list = target == Target::Drive ? ui::List::Drive : ui::List::Disk;
    const int row = RowOfCaption(list, target == Target::Drive ? "E:\\" : "Disk1");
    if (row < 0) return "the target is not listed";
    if (!ui::RowChecked(list, row)) headless::ClickCheckBox(list, row);
    const int selected = target == Target::Drive ? SelectedDriveRow : SelectedDiskRow;
    return selected == row ? std::string() : "the click did not select the target's row";
  }

  std::string WriteLogPath() const { return hostFolder_ + "/writes.txt"; }
  std::string ProblemPath() const { return hostFolder_ + "/problem.txt"; }

  // Watches the target's writes in this process; program is the number of the program.
  void WatchWrites(const TargetPlace& place, int program, std::optional<KillPoint> kill,
                   std::function<void(const WriteSeen&)> note) {
    watch_ = std::make_shared<WriteWatch>(place, program, kill, std::move(note));
    std::shared_ptr<WriteWatch> watch = watch_;
    sim::SetFaultHook([watch](const sim::Call& call) { return watch->OnCall(call); });
    sim::SetWriteHook([watch](const sim::Call& call) { watch->OnWritten(call); });
  }

  // Runs `program` in a child process that is killed at `kill`, noting its writes in the write
  // log from the moment the program calls `arm` (after the machine is loaded, which forgets
  // any hook). Empty when the child was killed there.
  using ChildProgram = std::function<std::string(const std::function<void()>& arm)>;
  std::string RunKilled(const TargetPlace& place, int number, const KillPoint& kill, const ChildProgram& program) {
    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t child = fork();
    if (child < 0) return "fork failed";
    if (child == 0) {
      std::FILE* log = std::fopen(WriteLogPath().c_str(), "a");
      const auto arm = [this, &place, number, &kill, log] {
        WatchWrites(place, number, kill, [log](const WriteSeen& seen) {
          std::fprintf(log, "%s\n", ToLine(seen).c_str());
          std::fflush(log);
        });
      };
      std::string problem = log == nullptr ? "the write log could not be opened" : program(arm);
      if (problem.empty()) problem = "the run ended without reaching its kill point";
      std::ofstream(ProblemPath()) << problem;
      _exit(problem.rfind("the run ended", 0) == 0 ? kRunEnded : kChildProblem);
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child) return "waitpid failed";
    if (WIFEXITED(status) && WEXITSTATUS(status) == kKilled) return std::string();
    std::ifstream in(ProblemPath());
    std::string problem((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return "the program was not killed as planned (status " + std::to_string(status) + "): " + problem;
  }

  // "Wipe it now" with the method on the target, both questions answered Yes; `arm` is called
  // just before the click.
  std::string StartWipe(Target target, int method, const std::function<void()>& arm) {
    std::string problem = StartProgram(CrashMachine());
    if (problem.empty()) problem = Choose(target);
    if (!problem.empty()) return problem;
    arm();
    headless::SetMethodIndex(method);
    headless::QueueAnswers({ui::kDialogYes, ui::kDialogYes});
    app::WipeItNowClicked();
    return std::string();
  }

  // The program started again: the target listed as resumable, checked, "Resume", Yes.
  std::string StartResume(Target target, const std::function<void()>& arm) {
    std::string problem = StartProgram(CrashMachine());
    if (problem.empty()) problem = ListedAsResumable(target);
    if (problem.empty()) problem = Choose(target);
    if (!problem.empty()) return problem;
    arm();
    headless::QueueAnswers({ui::kDialogYes});
    app::ResumeClicked();
    return std::string();
  }

  // The user unticks "Format the drive when finished" while the run works, so the last pass
  // stays on the volume to be looked at.
  static void UntickFormatDuringRun() {
    headless::SetPumpHook([](long) {
      if (headless::ProgressCaption().rfind("  Wiping ", 0) == 0) ui::SetFormatBox(false, headless::FormatBoxEnabled());
    });
  }

  static bool Logged(const std::string& text) {
    const std::vector<std::string> lines = headless::LogTexts();
    return std::find(lines.begin(), lines.end(), text) != lines.end();
  }

  // ---- Checks of the finished device ------------------------------------------------------

  // Every pass wrote every block and the tail, each with its pass's pattern: the fixed byte,
  // one drawn byte for the whole pass (also across the restart), its complement, or random data.
  void ExpectEveryPassComplete(const WipeMethod& method, const TargetPlace& place,
                               const std::vector<WriteSeen>& writes) const {
    int drawn = -1;
    for (int pass = 0; pass < method.passCount; ++pass) {
      SCOPED_TRACE("pass " + std::to_string(pass + 1));
      std::vector<bool> blockDone(place.blocks, false);
      bool tailDone = false;
      std::vector<int> repeated;
      int mixed = 0;
      for (const WriteSeen& seen : writes) {
        if (seen.pass != pass) continue;
        if (seen.block == kTailBlock) {
          tailDone = true;
          continue;  // a tail is the start of the buffer the last block used
        }
        ASSERT_LT(seen.block, place.blocks);
        blockDone[seen.block] = true;
        if (seen.repeated < 0) {
          ++mixed;
        } else {
          repeated.push_back(seen.repeated);
        }
      }
      EXPECT_EQ(std::count(blockDone.begin(), blockDone.end(), false), 0) << "blocks of the pass never written";
      EXPECT_TRUE(tailDone) << "the tail of the pass was never written";
      const PassPattern pattern = method.passes[pass];
      if (pattern.kind == PatternKind::Random) {
        EXPECT_TRUE(repeated.empty()) << "a random-data block of one repeated byte";
        continue;
      }
      EXPECT_EQ(mixed, 0) << "a block of mixed bytes in a pass of one byte";
      if (repeated.empty()) continue;
      EXPECT_EQ(std::count(repeated.begin(), repeated.end(), repeated[0]), static_cast<long>(repeated.size()))
          << "the pass changed its byte";
      if (pattern.kind == PatternKind::Fixed) {
        EXPECT_EQ(repeated[0], pattern.fixedByte);
      }
      if (pattern.kind == PatternKind::Complement) {
        EXPECT_EQ(repeated[0], static_cast<std::uint8_t>(~drawn));
      }
      drawn = repeated[0];
    }
  }

  // The device holds, block for block, what the last pass wrote last, and its tail is the start
  // of the last block's buffer; the record is gone (sector 0 is sector 1 again) unless the
  // volume was formatted after the run.
  void ExpectLastPassOnDevice(const WipeMethod& method, const TargetPlace& place,
                              const std::vector<WriteSeen>& writes, bool formatted) const {
    const int last = method.passCount - 1;
    for (std::uint32_t block = 0; block < place.blocks; ++block) {
      const WriteSeen* latest = nullptr;
      for (const WriteSeen& seen : writes) {
        if (seen.pass == last && seen.block == block) latest = &seen;
      }
      ASSERT_NE(latest, nullptr) << "block " << block << " of the last pass was never written";
      EXPECT_EQ(DigestOf(place, static_cast<std::uint64_t>(block) * kBlockSize, kBlockSize), latest->digest)
          << "block " << block << " does not hold what the last pass wrote";
    }
    const std::uint64_t tailAt = static_cast<std::uint64_t>(place.blocks) * kBlockSize;
    EXPECT_EQ(TargetBytes(place, tailAt, place.tail), TargetBytes(place, tailAt - kBlockSize, place.tail))
        << "the tail is not the start of the last block's pattern";
    if (method.passes[last].kind != PatternKind::Random) {
      const std::vector<std::uint8_t> rest = TargetBytes(place, kSector, place.length - kSector);
      EXPECT_TRUE(OneRepeatedByte(rest)) << "the last pass is not one byte over the whole target";
      if (method.passes[last].kind == PatternKind::Fixed) {
        EXPECT_EQ(rest[0], method.passes[last].fixedByte);
      }
    }
    if (!formatted) {
      EXPECT_EQ(TargetBytes(place, 0, kSector), TargetBytes(place, kSector, kSector)) << "the record was not removed";
    }
  }

  // No sector of the target holds its marker or its former bytes; everything outside the
  // target, on disk 1 and on the system disk, is as it was.
  void ExpectNothingOriginalLeft(const TargetPlace& place) const {
    const std::vector<std::uint8_t> disk = sim::ReadDisk(1, 0, static_cast<std::size_t>(layout_.DiskSize()));
    ASSERT_EQ(disk.size(), original_.size());
    int survivors = 0;
    for (std::uint64_t at = place.base; at < place.base + place.length; at += kSector) {
      const bool marked = HasMarker(&disk[at], kSector);
      const bool same = SameBytes(&disk[at], &original_[at], kSector);
      if ((marked || same) && ++survivors <= 3) ADD_FAILURE() << "original content left at byte " << at - place.base;
    }
    EXPECT_EQ(survivors, 0) << "sectors of the target still hold original content";
    EXPECT_TRUE(SameBytes(disk.data(), original_.data(), place.base))
        << "disk 1 changed before the target";
    const std::size_t end = static_cast<std::size_t>(place.base + place.length);
    EXPECT_TRUE(SameBytes(disk.data() + end, original_.data() + end, disk.size() - end))
        << "disk 1 changed after the target";
    EXPECT_TRUE(sim::ReadDisk(0, 0, systemDisk_.size()) == systemDisk_) << "the system disk changed";
  }

  Layout layout_;
  std::string imageFolder_;
  std::vector<std::uint8_t> original_;
  std::vector<std::uint8_t> systemDisk_;
  std::shared_ptr<WriteWatch> watch_;
};

// ---- Killed, started again, resumed ----------------------------------------------------------

class KilledAndResumed : public CrashRecoveryTest, public ::testing::WithParamInterface<CrashCase> {};

TEST_P(KilledAndResumed, CompletesAndLeavesNothingOriginal) {
  const CrashCase& c = GetParam();
  const WipeMethod& method = WipeMethods[c.method];
  if (c.kind == Kind::CheckpointGap) layout_.volumeBlocks = 40;
  const TargetPlace place = PlaceOf(c.target, layout_);
  ASSERT_NO_FATAL_FAILURE(MakeImages());

  // Where each program is killed, and the record each kill leaves by the checkpoint rule.
  const unsigned seed = BaseSeed() + static_cast<unsigned>(c.method * 131 + static_cast<int>(c.target) * 17 +
                                                           static_cast<int>(c.kind) * 3 + (c.formatAfter ? 1 : 0));
  KillPlanner planner(seed, method.passCount, place.blocks);
  std::vector<KillPoint> kills;
  switch (c.kind) {
    case Kind::FirstPass: kills.push_back(planner.AnyFrom(0, 1)); break;
    case Kind::LaterPass: {
      const int pass = planner.Pass(method.passCount > 1 ? 1 : 0);
      kills.push_back(planner.AnyFrom(pass, pass == 0 ? 1 : 0));
      break;
    }
    case Kind::CheckpointGap: kills.push_back(planner.BetweenCheckpoints(planner.Pass(0))); break;
    case Kind::KilledTwice: kills.push_back(planner.AnyFrom(planner.Pass(0), 1)); break;
  }
  std::optional<RecordPoint> record = RecordAfterKill({0, 0}, kills[0], place.blocks, std::nullopt);
  ASSERT_TRUE(record.has_value());
  if (c.kind == Kind::KilledTwice) {
    const int pass = planner.Pass(record->pass);
    kills.push_back(planner.AnyFrom(pass, pass == record->pass ? record->block : 0));
    record = RecordAfterKill(*record, kills[1], place.blocks, record);
  }

  std::ostringstream plan;
  plan << CaseName(c) << ", seed " << seed << " (DUNMERE_CRASH_SEED=" << BaseSeed() << "), " << place.blocks
       << " blocks and a tail of " << place.tail << " bytes; killed at";
  for (const KillPoint& kill : kills) plan << " [" << Describe(kill, method.passCount) << "]";
  plan << "; record expected at pass " << record->pass + 1 << ", block " << record->block;
  SCOPED_TRACE(plan.str());

  // The first program wipes and is killed; each restart resumes and is killed in turn.
  for (std::size_t i = 0; i < kills.size(); ++i) {
    const Target target = c.target;
    const int methodId = c.method;
    const std::string killed =
        RunKilled(place, static_cast<int>(i), kills[i], [this, i, target, methodId](const std::function<void()>& arm) {
          return i == 0 ? StartWipe(target, methodId, arm) : StartResume(target, arm);
        });
    ASSERT_EQ(killed, "") << "program " << i;
  }

  // Started again, the program finds the wipe, resumes it at the record and completes it.
  std::vector<WriteSeen> noted = ReadWritesSeen(WriteLogPath());
  const int restart = static_cast<int>(kills.size());
  ASSERT_EQ(StartProgram(CrashMachine()), "");
  EXPECT_EQ(ListedAsResumable(c.target), "");
  ASSERT_EQ(Choose(c.target), "");
  WatchWrites(place, restart, std::nullopt, [&noted](const WriteSeen& seen) { noted.push_back(seen); });
  if (!c.formatAfter) UntickFormatDuringRun();
  headless::QueueAnswers({ui::kDialogYes});
  app::ResumeClicked();
  sim::SetFaultHook(nullptr);
  headless::SetPumpHook(nullptr);

  EXPECT_EQ(ResumePoint.MethodId, c.method);
  EXPECT_EQ(ResumePoint.PassIndex, record->pass);
  EXPECT_EQ(ResumePoint.StartBlock, record->block);
  EXPECT_EQ(ResumePoint.BlockCount, place.blocks);
  EXPECT_EQ(ResumePoint.TailBytes, place.tail);
  const std::vector<WriteSeen> writes = WritesThat(false, noted);
  const std::vector<WriteSeen> starts = WritesThat(true, noted);
  const auto resumed = std::find_if(starts.begin(), starts.end(), [restart](const WriteSeen& s) { return s.program == restart; });
  ASSERT_NE(resumed, starts.end()) << "the resumed run wrote nothing";
  EXPECT_EQ(resumed->pass, record->pass);
  EXPECT_EQ(resumed->block, record->block) << "the resumed run did not begin at the record's block";
  if (c.kind == Kind::CheckpointGap) {
    // The killed program wrote the block before its kill point after the last record was
    // saved (it may have been still in flight); the resumed run has to write it again.
    const KillPoint& kill = kills[0];
    for (int program : {0, restart}) {
      EXPECT_TRUE(std::any_of(starts.begin(), starts.end(), [&](const WriteSeen& s) {
        return s.program == program && s.pass == kill.pass && s.block == kill.block - 1;
      })) << "program " << program << " did not write block " << kill.block - 1;
    }
  }
  EXPECT_TRUE(Logged(c.target == Target::Drive ? "Drive E: wiped successfully." : "Disk 1 wiped successfully."));
  EXPECT_EQ(sim::SoundsPlayed(), (std::vector<std::string>{"warning.wav", "finish.wav"}));
  EXPECT_TRUE(headless::MainVisible());
  EXPECT_EQ(sim::OpenHandles(), 0);

  ExpectEveryPassComplete(method, place, writes);
  ExpectLastPassOnDevice(method, place, writes, c.formatAfter);
  ExpectNothingOriginalLeft(place);
  if (c.formatAfter) {
    // The restarted program could not read the former file system; the record carried it.
    const std::vector<std::string> row = RowOf(Target::Drive);
    ASSERT_EQ(row.size(), 4u);
    EXPECT_EQ(row[1], "FAT32");
    EXPECT_EQ(row[3], "CLEAN");
  }
}

std::vector<CrashCase> AllCrashCases() {
  std::vector<CrashCase> cases;
  for (int method = 0; method < kMethodCount; ++method) {
    for (Target target : {Target::Drive, Target::Disk}) {
      for (Kind kind : {Kind::FirstPass, Kind::LaterPass, Kind::CheckpointGap, Kind::KilledTwice}) {
        cases.push_back({method, target, kind, false});
      }
    }
    // The volume formatted after the resumed run, as the progress window offers by default.
    cases.push_back({method, Target::Drive, Kind::KilledTwice, true});
  }
  return cases;
}

INSTANTIATE_TEST_SUITE_P(EachMethodAndTarget, KilledAndResumed, ::testing::ValuesIn(AllCrashCases()),
                         [](const ::testing::TestParamInfo<CrashCase>& param) { return CaseName(param.param); });

// ---- Killed before the first checkpoint ----------------------------------------------------------

class KilledBeforeTheFirstCheckpoint : public CrashRecoveryTest, public ::testing::WithParamInterface<Target> {};

// Killed before its first write, the run has left the target as it was and no record: the
// restarted program lists it as before, refuses to resume it, and a new wipe completes.
TEST_P(KilledBeforeTheFirstCheckpoint, LeavesTheTargetAsItWasAndANewWipeCompletes) {
  const Target target = GetParam();
  const int methodId = 3;
  const WipeMethod& method = WipeMethods[methodId];
  const TargetPlace place = PlaceOf(target, layout_);
  ASSERT_NO_FATAL_FAILURE(MakeImages());
  ASSERT_EQ(RunKilled(place, 0, KillPoint{0, 0},
                      [this, target](const std::function<void()>& arm) { return StartWipe(target, methodId, arm); }),
            "");
  EXPECT_TRUE(ReadWritesSeen(WriteLogPath()).empty());

  ASSERT_EQ(StartProgram(CrashMachine()), "");
  EXPECT_TRUE(sim::ReadDisk(1, 0, original_.size()) == original_) << "the killed run changed disk 1";
  const std::vector<std::string> listed = RowOf(target);
  if (target == Target::Drive) {
    ASSERT_EQ(listed.size(), 4u);
    EXPECT_EQ(listed[1], "FAT32");
    EXPECT_EQ(listed[3], "Archive");
  } else {
    ASSERT_EQ(listed.size(), 4u);
    EXPECT_EQ(listed[2], "D:\\ [Photos] E:\\ [Archive] ");
  }
  ASSERT_EQ(Choose(target), "");
  headless::QueueAnswers({ui::kDialogYes});
  app::ResumeClicked();
  EXPECT_TRUE(Logged("Break point not found, can not resume."));
  EXPECT_TRUE(sim::ReadDisk(1, 0, original_.size()) == original_);

  std::vector<WriteSeen> writes;
  ASSERT_EQ(Choose(target), "");  // the refusal left the row checked
  WatchWrites(place, 1, std::nullopt, [&writes](const WriteSeen& seen) {
    if (!seen.started) writes.push_back(seen);
  });
  UntickFormatDuringRun();
  headless::SetMethodIndex(methodId);
  headless::QueueAnswers({ui::kDialogYes, ui::kDialogYes});
  app::WipeItNowClicked();
  sim::SetFaultHook(nullptr);
  headless::SetPumpHook(nullptr);

  EXPECT_TRUE(Logged(target == Target::Drive ? "Drive E: wiped successfully." : "Disk 1 wiped successfully."));
  ExpectEveryPassComplete(method, place, writes);
  ExpectLastPassOnDevice(method, place, writes, false);
  ExpectNothingOriginalLeft(place);
}

INSTANTIATE_TEST_SUITE_P(EachTarget, KilledBeforeTheFirstCheckpoint, ::testing::Values(Target::Drive, Target::Disk),
                         [](const ::testing::TestParamInfo<Target>& param) {
                           return std::string(param.param == Target::Drive ? "Drive" : "Disk");
                         });

}  // namespace
