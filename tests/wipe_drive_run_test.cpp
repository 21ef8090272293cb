// DriveWipeRun on a simulated volume: what each method leaves on it, the checkpoints, cancel,
// failed writes, resumption, the progress window, the whole-volume length and the end.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <memory>
#include <string>
#include <vector>

#include "app/window_runs.h"
#include "devices/volume_locking.h"
#include "platform/sim/machine.h"
#include "tests/wipe_fixture.h"
#include "wipe/runs.h"

namespace {

using namespace wipe_test;

const std::string kE = "\\\\.\\E:";
constexpr std::uint8_t kOldByte = 0x11;

// Milliseconds from one time of day to a later one, across one midnight.
std::uint32_t MsBetween(const platform::LocalTime& from, const platform::LocalTime& to) {
  const auto ms = [](const platform::LocalTime& t) {
    return ((t.hour * 60L + t.minute) * 60L + t.second) * 1000L + t.milliseconds;
  };
  constexpr long kDayMs = 86400L * 1000;
  return static_cast<std::uint32_t>((ms(to) - ms(from) + kDayMs) % kDayMs);
}

class DriveRunTest : public EngineTest {
 protected:
  // E: of `length` bytes, selected, the format box cleared (tests of the end set it again).
  void Prepare(std::uint64_t length, std::uint64_t fileSystemSize = 0) {
    Load(MachineWithE(length, fileSystemSize));
    SelectDrive("E:\\");
    ui::SetFormatBox(false, true);
  }

  static void FillVolume(std::uint64_t bytes, std::uint8_t value) {
    ASSERT_TRUE(sim::WriteVolume('E', 0, std::vector<std::uint8_t>(bytes, value)));
  }

  static long ClockMs() {
    const platform::LocalTime now = platform::LocalTimeNow();
    return ((now.hour * 60L + now.minute) * 60L + now.second) * 1000L + now.milliseconds;
  }

  static BreakpointValues RecordOnE() {
    BreakpointValues found;
    EXPECT_TRUE(FindBreakpoint("\\\\.\\E:", &found)) << "no record on E:";
    return found;
  }

  static std::size_t RecordWrites() {
    std::size_t count = 0;
    for (const sim::Call& call : CallsOf(sim::Op::Write, kE)) count += call.bytes == kRecordUnit && call.offset == 0;
    return count;
  }
};

// What a pass leaves in its blocks: one fixed byte, the drawn byte, its complement, or random data.
enum class Expect { Zeros, Ones, Drawn, Complement, Random };

TEST_F(DriveRunTest, EveryMethodWritesItsPassesAndLeavesItsLastPattern) {
  const std::vector<std::vector<Expect>> methods = {
      {Expect::Zeros},
      {Expect::Zeros, Expect::Ones, Expect::Random},
      {Expect::Drawn, Expect::Complement, Expect::Random, Expect::Random, Expect::Drawn, Expect::Complement,
       Expect::Random},
      {Expect::Random, Expect::Drawn, Expect::Complement},
      {Expect::Zeros, Expect::Random},
  };
  const std::uint64_t length = 3 * kMiB + 4096;
  for (int id = 0; id < kMethodCount; ++id) {
    SCOPED_TRACE("method " + std::to_string(id));
    ResetWindows();
    Prepare(length);
    PassWrites writes;
    RecordPassWrites(kE, &writes);
    const long clockBefore = ClockMs();
    ASSERT_TRUE(DriveWipeRun("E:", false, id));
    headless::SetPumpHook(nullptr);

    const std::vector<Expect>& passes = methods[id];
    int previousByte = -1;
    for (std::size_t i = 0; i < passes.size(); ++i) {
      const int pass = static_cast<int>(i) + 1;
      EXPECT_EQ(writes.blocks[pass], (std::vector<std::uint64_t>{0, 1, 2})) << "pass " << pass;
      const std::set<int>& bytes = writes.uniformBytes[pass];
      switch (passes[i]) {
        case Expect::Zeros: EXPECT_EQ(bytes, std::set<int>{0x00}) << "pass " << pass; break;
        case Expect::Ones: EXPECT_EQ(bytes, std::set<int>{0xFF}) << "pass " << pass; break;
        case Expect::Drawn: EXPECT_EQ(bytes.size(), 1u) << "pass " << pass; break;
        case Expect::Complement:
          EXPECT_EQ(bytes, std::set<int>{previousByte ^ 0xFF}) << "pass " << pass;
          break;
        case Expect::Random:
          EXPECT_TRUE(bytes.empty()) << "pass " << pass;
          EXPECT_EQ(writes.mixedBlocks[pass], 3) << "pass " << pass;
          break;
      }
      previousByte = bytes.size() == 1 ? *bytes.begin() : -1;
    }

    const std::vector<std::uint8_t> volume = sim::ReadVolume('E', 0, length);
    EXPECT_TRUE(std::equal(volume.begin(), volume.begin() + 512, volume.begin() + 512))
        << "the record was removed by copying sector 1 over sector 0";
    if (passes.back() == Expect::Random) {
      for (std::uint64_t block = 0; block < 3; ++block) {
        const std::vector<std::uint8_t> part(volume.begin() + block * kMiB, volume.begin() + (block + 1) * kMiB);
        EXPECT_FALSE(AllBytesAre(part, part[0])) << "block " << block << " holds no random data";
      }
    } else {
      EXPECT_TRUE(AllBytesAre(volume, static_cast<std::uint8_t>(previousByte))) << "tail included";
    }
    EXPECT_EQ(TailWrites(kE).size(), passes.size());
    EXPECT_EQ(headless::ProgressCaption(),
              "  Wiping drive E:" + PassCaptionSuffix(id, static_cast<int>(passes.size()) - 1));
    // One second's pause after every pass of a method of more than one pass.
    EXPECT_EQ(ClockMs() - clockBefore, id == 0 ? 0 : 1000L * static_cast<long>(passes.size()));
    EXPECT_EQ(Log().back(), "Drive E: wiped successfully.");
    BreakpointValues found;
    EXPECT_FALSE(FindBreakpoint("\\\\.\\E:", &found));
  }
}

TEST_F(DriveRunTest, CheckpointsFallBeforeBlockOneAndEveryIntervalNeverBeforeBlockZero) {
  struct Case {
    std::uint32_t blocks;
    std::uint32_t resumeAt;  // 0: a fresh run
    std::vector<std::uint64_t> saves;
  };
  auto every = [](std::uint64_t first, std::uint64_t step, std::uint64_t end) {
    std::vector<std::uint64_t> out;
    if (first == 1) out.push_back(1);
    for (std::uint64_t k = first == 1 ? step : first; k < end; k += step) out.push_back(k);
    return out;
  };
  const std::vector<Case> cases = {
      {5, 0, {1, 2, 3, 4}},        // N < 40: I = 1
      {40, 0, every(1, 2, 40)},    // I = 2: 1, 2, 4, 6, ...
      {60, 0, every(1, 3, 60)},    // I = 3: 1, 3, 6, ...
      {40, 7, every(7, 2, 40)},    // resumed at 7: 7, 9, 11, ...
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.blocks) + " blocks from " + std::to_string(c.resumeAt));
    ResetWindows();
    Prepare(c.blocks * kMiB);
    if (c.resumeAt != 0) PutResumePoint(0, 0, c.resumeAt, c.blocks, 0, "40.0 MB");
    ASSERT_TRUE(DriveWipeRun("E:", c.resumeAt != 0, 0));
    EXPECT_EQ(SaveBlocks(kE), c.saves);
    EXPECT_EQ(RecordWrites(), c.saves.size() + 1) << "the saves and the removal at the end";
  }
}

// F counts consecutive failed blocks: ten are skipped and a good block starts the count anew;
// the eleventh in a row ends the run.
TEST_F(DriveRunTest, TenFailedBlocksAreSkippedElevenAbortTheRun) {
  struct Case {
    std::vector<std::pair<std::uint64_t, std::uint64_t>> failing;  // first block, count
    bool result;
    std::vector<std::string> logEnd;
    std::uint64_t blocksTried;
  };
  const std::vector<Case> cases = {
      {{{2, 10}}, true, {"Write disk I/O error!", "Drive E: wiped, but 10 MB could not be overwritten."}, 16},
      {{{2, 10}, {13, 1}}, true, {"Write disk I/O error!", "Drive E: wiped, but 11 MB could not be overwritten."}, 16},
      {{{2, 11}}, false, {"Write disk I/O error!", "Please check drive connections.", "Wipe aborted!"}, 13},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.failing.size() * 100 + c.failing[0].second);
    ResetWindows();
    Prepare(16 * kMiB);
    int failing = 0;
    for (const auto& [first, count] : c.failing) {
      sim::FailWrites(kE, first, count);
      failing += static_cast<int>(count);
    }
    EXPECT_EQ(DriveWipeRun("E:", false, 0), c.result);
    EXPECT_EQ(headless::RunFailedShown(), !c.result);
    EXPECT_EQ(LinesEqualTo("Write disk I/O error!"), failing);
    const std::vector<std::string> log = Log();
    ASSERT_GE(log.size(), c.logEnd.size());
    EXPECT_EQ(std::vector<std::string>(log.end() - static_cast<long>(c.logEnd.size()), log.end()), c.logEnd);
    // A failed block is skipped: the next write goes to the next block. Eleven in a row stop
    // the run before block 13.
    std::vector<std::uint64_t> expectedBlocks;
    for (std::uint64_t k = 0; k < c.blocksTried; ++k) expectedBlocks.push_back(k);
    EXPECT_EQ(BlockWrites(kE), expectedBlocks);
    if (!c.result) {
      EXPECT_EQ(RecordOnE().StartBlock, 13u) << "the record stays for a resume";
    }
  }
}

TEST_F(DriveRunTest, VolumeBelowOneBlockGetsOnlyItsTailAndNoRecord) {
  Prepare(600 * 1024);
  ASSERT_TRUE(DriveWipeRun("E:", false, 1));
  EXPECT_TRUE(BlockWrites(kE).empty());
  EXPECT_EQ(RecordWrites(), 0u);
  const std::vector<sim::Call> tails = TailWrites(kE);
  ASSERT_EQ(tails.size(), 3u);
  for (const sim::Call& tail : tails) {
    EXPECT_EQ(tail.offset, 0u);
    EXPECT_EQ(tail.bytes, 600u * 1024);
  }
  EXPECT_EQ(headless::ProgressValue(ui::ProgressValue::Speed), "0 MB/S");
  EXPECT_EQ(headless::ProgressValue(ui::ProgressValue::Amount), "0 MB/0 MB");
  EXPECT_EQ(headless::ProgressValue(ui::ProgressValue::Elapsed), "0h0m0s");
  EXPECT_EQ(headless::ProgressValue(ui::ProgressValue::TimeLeft), "0h0m0s");
  EXPECT_EQ(headless::ProgressBar(), 0);
}

TEST_F(DriveRunTest, ExactMultipleOfABlockHasNoTail) {
  Prepare(4 * kMiB);
  ASSERT_TRUE(DriveWipeRun("E:", false, 0));
  EXPECT_EQ(BlockWrites(kE), (std::vector<std::uint64_t>{0, 1, 2, 3}));
  EXPECT_TRUE(TailWrites(kE).empty());
}

TEST_F(DriveRunTest, ResumedInTheThirdPassWritesOnlyFromItsBlockOn) {
  Prepare(12 * kMiB + 4096);
  FillVolume(12 * kMiB + 4096, kOldByte);
  PutResumePoint(1, 2, 5, 12, 4096, "resumed size");
  PassWrites writes;
  RecordPassWrites(kE, &writes);
  const long clockBefore = ClockMs();
  ASSERT_TRUE(DriveWipeRun("E:", true, 1));
  headless::SetPumpHook(nullptr);

  EXPECT_EQ(BlockWrites(kE), (std::vector<std::uint64_t>{5, 6, 7, 8, 9, 10, 11}));
  EXPECT_EQ(writes.mixedBlocks[3], 7);
  EXPECT_EQ(writes.blocks.count(1) + writes.blocks.count(2), 0u) << "the first two passes are not written again";
  const std::vector<sim::Call> tails = TailWrites(kE);
  ASSERT_EQ(tails.size(), 1u);
  EXPECT_EQ(tails[0].offset, 12 * kMiB);
  EXPECT_EQ(tails[0].bytes, 4096u);
  EXPECT_TRUE(AllBytesAre(sim::ReadVolume('E', 0, 5 * kMiB), kOldByte)) << "blocks before 5 untouched";
  EXPECT_EQ(SaveBlocks(kE), (std::vector<std::uint64_t>{5, 6, 7, 8, 9, 10, 11}));
  EXPECT_EQ(headless::ProgressValue(ui::ProgressValue::Amount), "11 MB/resumed size");
  EXPECT_EQ(ClockMs() - clockBefore, 1000);
}

// The resumed pass continues with the saved byte when it is a drawn byte or a complement;
// fixed bytes are never replaced.
TEST_F(DriveRunTest, ResumedPassContinuesWithTheSavedFillByte) {
  struct Case {
    int id;
    std::uint8_t passIndex;
    std::uint8_t fillByte;
    std::map<int, std::set<int>> uniform;  // passes whose blocks are known
  };
  const std::vector<Case> cases = {
      {2, 0, 0x5A, {{1, {0x5A}}, {2, {0xA5}}}},
      {2, 1, 0x5A, {{2, {0x5A}}}},
      {2, 4, 0x81, {{5, {0x81}}, {6, {0x7E}}}},
      {3, 2, 0x3C, {{3, {0x3C}}}},
      {3, 1, 0x3C, {{2, {0x3C}}, {3, {0xC3}}}},
      {1, 1, 0x3C, {{2, {0xFF}}}},
      {0, 0, 0x3C, {{1, {0x00}}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("method " + std::to_string(c.id) + " pass " + std::to_string(c.passIndex + 1));
    ResetWindows();
    Prepare(6 * kMiB);
    PutResumePoint(static_cast<std::uint8_t>(c.id), c.passIndex, 3, 6, 0, "6.00 MB", c.fillByte);
    PassWrites writes;
    RecordPassWrites(kE, &writes);
    ASSERT_TRUE(DriveWipeRun("E:", true, c.id));
    headless::SetPumpHook(nullptr);
    EXPECT_EQ(writes.blocks.begin()->first, c.passIndex + 1) << "the run starts in the stored pass";
    EXPECT_EQ(writes.blocks[c.passIndex + 1], (std::vector<std::uint64_t>{3, 4, 5}));
    for (const auto& [pass, bytes] : c.uniform) EXPECT_EQ(writes.uniformBytes[pass], bytes) << "pass " << pass;
  }
}

// A random-data pass draws its buffer when it starts and again before its 10th, 20th, ...
// block counted from its first block, also when it starts in the middle of the target.
TEST_F(DriveRunTest, RandomDataIsRedrawnEveryTenBlocksOfThePass) {
  struct Case {
    std::uint32_t resumeAt;  // 0: a fresh run
    std::vector<std::uint64_t> newContentAt;
  };
  const Case cases[] = {{0, {0, 9, 19, 29}}, {37, {37, 46}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.resumeAt);
    ResetWindows();
    Prepare(c.resumeAt == 0 ? 35 * kMiB : 50 * kMiB);
    if (c.resumeAt != 0) PutResumePoint(4, 1, c.resumeAt, 50, 0, "50.0 MB");
    PassWrites writes;
    RecordPassWrites(kE, &writes);
    ASSERT_TRUE(DriveWipeRun("E:", c.resumeAt != 0, 4));
    headless::SetPumpHook(nullptr);
    const std::vector<std::uint64_t>& blocks = writes.blocks[2];
    const std::vector<std::size_t>& digests = writes.digests[2];
    ASSERT_EQ(blocks.size(), digests.size());
    std::vector<std::uint64_t> changes;
    for (std::size_t i = 0; i < blocks.size(); ++i) {
      if (i == 0 || digests[i] != digests[i - 1]) changes.push_back(blocks[i]);
    }
    EXPECT_EQ(changes, c.newContentAt);
  }
}

// Closing the progress window is no cancel: the run shows it again at its next block.
TEST_F(DriveRunTest, ClosedProgressWindowComesBackAtTheNextBlock) {
  Prepare(4 * kMiB);
  ui::ShowProgressWindow();
  bool hiddenDuringRun = false;
  headless::SetPumpHook([&hiddenDuringRun](long pump) {
    if (pump == 2) {
      headless::CloseProgressWindow();
      hiddenDuringRun = !headless::ProgressVisible();
    }
  });
  ASSERT_TRUE(DriveWipeRun("E:", false, 0));
  EXPECT_TRUE(hiddenDuringRun);
  EXPECT_TRUE(headless::ProgressVisible());
  EXPECT_EQ(BlockWrites(kE).size(), 4u);
}

TEST_F(DriveRunTest, ProgressWindowAtABlock) {
  struct Case {
    const char* what;
    platform::LocalTime start;
    platform::LocalTime atBlock;  // the clock when the display of the block is drawn
    std::uint32_t block;
    const char* speed;
    const char* elapsed;
    const char* timeLeft;
    int bar;
  };
  const Case cases[] = {
      {"midnight", {23, 59, 50, 0}, {0, 0, 5, 0}, 3, "0 MB/S", "0h0m15s", "0h0m0s", 15},
      {"midday", {12, 0, 0, 0}, {12, 0, 5, 0}, 10, "2 MB/S", "0h0m5s", "0h0m5s", 50},
      {"first second", {12, 0, 0, 0}, {12, 0, 0, 900}, 10, "0 MB/S", "0h0m0s", "0h0m0s", 50},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ResetWindows();
    Prepare(20 * kMiB);
    SetField(SelectedDrive().CapacityText, "20.0 MB");
    sim::SetClock(c.start.hour, c.start.minute, c.start.second, c.start.milliseconds);
    auto seen = std::make_shared<std::vector<std::string>>();
    const long base = headless::PumpCount();
    const Case* current = &c;
    headless::SetPumpHook([base, current, seen](long pump) {
      const long block = (pump - base - 1) / 2;
      const bool beforeDisplay = (pump - base) % 2 == 1;
      if (block != current->block) return;
      if (beforeDisplay) {
        // The clock moves as a real one does, tick count with it: the window draws a block
        // only when time has passed since the last one it drew.
        sim::AdvanceClock(MsBetween(current->start, current->atBlock));
      } else {
        *seen = {headless::ProgressValue(ui::ProgressValue::Speed), headless::ProgressValue(ui::ProgressValue::Amount),
                 headless::ProgressValue(ui::ProgressValue::Elapsed),
                 headless::ProgressValue(ui::ProgressValue::TimeLeft), std::to_string(headless::ProgressBar())};
      }
    });
    ASSERT_TRUE(DriveWipeRun("E:", false, 0));
    EXPECT_EQ(*seen, (std::vector<std::string>{c.speed, std::to_string(c.block) + " MB/20.0 MB", c.elapsed,
                                               c.timeLeft, std::to_string(c.bar)}));
  }
}

// The window draws at most every 100 ms of the tick count, always the first and the last block
// of a pass, and the block a stopped pass reached. A block takes 30 ms here (15 ms a pump).
TEST_F(DriveRunTest, ProgressIsDrawnAtMostTenTimesASecond) {
  struct Case {
    const char* what;
    long cancelAfterBlock;  // -1: the pass runs to its end
    std::vector<std::string> drawn;
  };
  const Case cases[] = {
      {"whole pass", -1, {"0", "4", "8", "12", "16", "19"}},
      {"cancelled between draws", 6, {"0", "4", "6"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    headless::Reset();
    Prepare(20 * kMiB);
    // The pass's own drawing only: the read-back after it draws under its own caption.
    ui::SetOptionChecked(ui::Option::VerifyAfterWipe, false);
    auto drawn = std::make_shared<std::vector<std::string>>();
    const long base = headless::PumpCount();
    const long cancelAt = c.cancelAfterBlock;
    headless::SetPumpHook([base, cancelAt, drawn](long pump) {
      sim::AdvanceClock(15);
      const bool afterWrite = (pump - base) % 2 == 0;
      if (!afterWrite) return;
      const std::string amount = headless::ProgressValue(ui::ProgressValue::Amount);
      const std::string block = amount.substr(0, amount.find(' '));
      if (drawn->empty() || drawn->back() != block) drawn->push_back(block);
      if ((pump - base) / 2 - 1 == cancelAt) CancelRequested = true;
    });
    EXPECT_EQ(DriveWipeRun("E:", false, 0), c.cancelAfterBlock < 0);
    headless::SetPumpHook(nullptr);
    const std::string amount = headless::ProgressValue(ui::ProgressValue::Amount);
    const std::string last = amount.substr(0, amount.find(' '));
    if (drawn->back() != last) drawn->push_back(last);
    EXPECT_EQ(*drawn, c.drawn);
    EXPECT_EQ(headless::ProgressBar(), std::stoi(c.drawn.back()) * 100 / 20);
  }
}

// The read-back after the last pass draws by the same rule, a block taking 30 ms there too
// (15 ms a pump); it begins at 12:00:00.900 or, after the pause of a resumed two-pass run, a
// second later, so that its elapsed time turns to one second after 100 ms. The blocks drawn are
// each 100 ms from the last, and the values at its first block and where it ends, its last
// block or the one a Cancel stopped it at, are that block's at that time: the speed over the
// blocks read since its own first block, the time left over the blocks from there to the end.
TEST_F(DriveRunTest, VerificationProgressIsDrawnAtMostTenTimesASecond) {
  using Values = std::vector<std::string>;  // amount, speed, elapsed, time left, bar
  struct Case {
    const char* what;
    std::uint32_t resumeAt;  // 0: a fresh zero-filling run; else the random pass of GOST from it
    long cancelAfterBlock;   // counted from the read-back's first block; -1: it runs to its end
    bool readsFail;          // blocks 5 and 6 cannot be read: the verification fails
    std::vector<std::string> drawn;
    Values first;            // no time has passed: the speed and the time left are not drawn
    Values end;
  };
  const Case cases[] = {
      {"whole read-back", 0, -1, false, {"0", "4", "8", "12", "16", "19"},
       {"0 MB/20.0 MB", "-", "0h0m0s", "-", "0"}, {"19 MB/20.0 MB", "19 MB/S", "0h0m1s", "0h0m0s", "95"}},
      {"cancelled between draws", 0, 6, false, {"0", "4", "6"},
       {"0 MB/20.0 MB", "-", "0h0m0s", "-", "0"}, {"6 MB/20.0 MB", "6 MB/S", "0h0m1s", "0h0m2s", "30"}},
      {"failed reads go on to the end", 0, -1, true, {"0", "4", "8", "12", "16", "19"},
       {"0 MB/20.0 MB", "-", "0h0m0s", "-", "0"}, {"19 MB/20.0 MB", "19 MB/S", "0h0m1s", "0h0m0s", "95"}},
      {"resumed random pass", 7, -1, false, {"7", "11", "15", "19"},
       {"7 MB/20.0 MB", "-", "0h0m0s", "-", "35"}, {"19 MB/20.0 MB", "12 MB/S", "0h0m1s", "0h0m0s", "95"}},
      {"resumed random pass, cancelled between draws", 7, 5, false, {"7", "11", "12"},
       {"7 MB/20.0 MB", "-", "0h0m0s", "-", "35"}, {"12 MB/20.0 MB", "5 MB/S", "0h0m1s", "0h0m1s", "60"}},
  };
  const auto shown = [] {
    return Values{headless::ProgressValue(ui::ProgressValue::Amount), headless::ProgressValue(ui::ProgressValue::Speed),
                  headless::ProgressValue(ui::ProgressValue::Elapsed),
                  headless::ProgressValue(ui::ProgressValue::TimeLeft), std::to_string(headless::ProgressBar())};
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    headless::Reset();
    sim::ClearFaults();
    CancelRequested = false;
    Prepare(20 * kMiB);
    SetField(SelectedDrive().CapacityText, "20.0 MB");
    if (c.resumeAt != 0) PutResumePoint(4, 1, c.resumeAt, 20, 0, "20.0 MB");
    ui::SetOptionChecked(ui::Option::VerifyAfterWipe, true);
    if (c.readsFail) {
      sim::SetFaultHook([](const sim::Call& call) {
        return call.op == sim::Op::Read && call.bytes == kBlockSize && call.offset >= 5 * kMiB &&
               call.offset < 7 * kMiB;
      });
    }
    sim::SetClock(12, 0, 0, 900);
    auto drawn = std::make_shared<std::vector<std::string>>();
    auto first = std::make_shared<Values>();
    auto startMs = std::make_shared<long>(-1);
    auto pumps = std::make_shared<long>(0);
    const long cancelAt = c.cancelAfterBlock;
    headless::SetPumpHook([=](long) {
      if (headless::ProgressCaption().find("Verifying") == std::string::npos) return;
      if (*pumps == 0) {
        *startMs = ClockMs();
        // Whatever the pass left in the labels the read-back's first block must not draw.
        ui::SetProgressValue(ui::ProgressValue::Speed, "-");
        ui::SetProgressValue(ui::ProgressValue::TimeLeft, "-");
      }
      sim::AdvanceClock(15);
      const long pump = ++*pumps;
      if (pump % 2 != 0) return;  // the second pump of a block follows its read
      if (pump == 2) *first = shown();
      const std::string amount = headless::ProgressValue(ui::ProgressValue::Amount);
      const std::string block = amount.substr(0, amount.find(' '));
      if (drawn->empty() || drawn->back() != block) drawn->push_back(block);
      if (pump / 2 - 1 == cancelAt) CancelRequested = true;
    });
    EXPECT_EQ(DriveWipeRun("E:", c.resumeAt != 0, c.resumeAt != 0 ? 4 : 0), !c.readsFail);
    headless::SetPumpHook(nullptr);
    sim::ClearFaults();
    ASSERT_FALSE(drawn->empty()) << "no read-back was seen";
    ASSERT_EQ(*startMs % 1000, 900) << "the read-back began at another time than this test means";
    const Values end = shown();
    const std::string last = end[0].substr(0, end[0].find(' '));
    if (drawn->back() != last) drawn->push_back(last);
    EXPECT_EQ(*drawn, c.drawn);
    EXPECT_EQ(*first, c.first);
    EXPECT_EQ(end, c.end);
    EXPECT_EQ(LinesEqualTo("Verification cancelled: the wipe itself is complete."), c.cancelAfterBlock >= 0 ? 1 : 0);
  }
}

// A volume longer than its file system is written whole: the amount's total is that length,
// and the record carries the same text, for the resumed run to show.
TEST_F(DriveRunTest, TotalShownIsTheLengthWritten) {
  Prepare(12 * kMiB, 11 * kMiB + 512 * 1024);
  EXPECT_EQ(FieldText(SelectedDrive().CapacityText), "11 MB");
  CancelAtPump(24);  // after the last block: the record before block 11 stays
  EXPECT_FALSE(DriveWipeRun("E:", false, 0));
  EXPECT_EQ(BlockWrites(kE).size(), 12u);
  EXPECT_EQ(headless::ProgressValue(ui::ProgressValue::Amount), "11 MB/12 MB");
  EXPECT_EQ(headless::ProgressBar(), 91);
  const BreakpointValues record = RecordOnE();
  EXPECT_EQ(record.StartBlock, 11u);
  EXPECT_EQ(record.BlockCount, 12u);
  EXPECT_EQ(FieldText(record.CapacityText), "12 MB");
}

// In the first second of a later pass the speed is the last of the pass before, and the time
// left is the whole new pass at that speed.
TEST_F(DriveRunTest, SecondPassStartsWithTheSpeedOfTheFirst) {
  Prepare(20 * kMiB);
  std::vector<std::string> seen;
  const long base = headless::PumpCount();
  headless::SetPumpHook([base, &seen](long pump) {
    if (pump - base == 21) sim::AdvanceClock(5000);  // block 10 of pass 1 is drawn at +5 s
    if (pump - base == 42) {                        // after block 0 of pass 2 was written
      seen = {headless::ProgressValue(ui::ProgressValue::Speed), headless::ProgressValue(ui::ProgressValue::Elapsed),
              headless::ProgressValue(ui::ProgressValue::TimeLeft)};
    }
  });
  ASSERT_TRUE(DriveWipeRun("E:", false, 4));
  // Block 19 of pass 1 at 5 s: 19 / 5 = 3 MiB/s; pass 2 from 0: 20 / 3 = 6 s.
  EXPECT_EQ(seen, (std::vector<std::string>{"3 MB/S", "0h0m0s", "0h0m6s"}));
}

TEST_F(DriveRunTest, CancelAfterTheLastBlockStillWritesTheTailPausesAndEndsCancelled) {
  Prepare(3 * kMiB + 4096);
  ui::SetShutdownBox(true);
  CancelAtPump(12);  // the pump after the last block of pass 2 (3 blocks, 2 pumps each, 2 passes)
  const long clockBefore = ClockMs();
  EXPECT_FALSE(DriveWipeRun("E:", false, 4));
  const std::vector<sim::Call> writes = CallsOf(sim::Op::Write, kE);
  ASSERT_FALSE(writes.empty());
  EXPECT_EQ(writes.back().bytes, 4096u) << "the tail comes after the last block";
  EXPECT_EQ(writes.back().offset, 3 * kMiB);
  EXPECT_EQ(ClockMs() - clockBefore, 2000);
  EXPECT_EQ(Log(), std::vector<std::string>{"User canceled."});
  EXPECT_TRUE(CallsOf(sim::Op::PowerOff).empty());
  const BreakpointValues record = RecordOnE();
  EXPECT_EQ(record.PassIndex, 1);
  EXPECT_EQ(record.StartBlock, 2u);
}

TEST_F(DriveRunTest, CancelSavesTheRecordOnlyWhileWipeResumableIsChecked) {
  for (bool resumable : {true, false}) {
    SCOPED_TRACE(resumable);
    ResetWindows();
    Prepare(8 * kMiB);
    ui::SetOptionChecked(ui::Option::WipeResumable, resumable);
    CancelAtPump(5);  // during block 2: the run stops before block 3
    EXPECT_FALSE(DriveWipeRun("E:", false, 0));
    EXPECT_EQ(BlockWrites(kE), (std::vector<std::uint64_t>{0, 1, 2}));
    EXPECT_EQ(Log(), std::vector<std::string>{"User canceled."});
    BreakpointValues found;
    EXPECT_EQ(FindBreakpoint("\\\\.\\E:", &found), resumable);
    EXPECT_EQ(found.StartBlock, resumable ? 3u : 0u);
    // Saves before blocks 1, 2, 3 and the one at the cancel.
    EXPECT_EQ(RecordWrites(), resumable ? 4u : 0u);
  }
}

// The file system may end before the volume: the run covers the volume's device length and
// its record says so; only when the length cannot be had does it fall back to the file system.
TEST_F(DriveRunTest, RunCoversTheWholeVolumeNotOnlyItsFileSystem) {
  const std::uint64_t length = 5 * kMiB + 512;
  for (bool lengthQueryFails : {false, true}) {
    SCOPED_TRACE(lengthQueryFails);
    auto prepare = [&] {
      ResetWindows();
      Prepare(length, 3 * kMiB);
      ASSERT_EQ(SelectedDrive().Capacity, 3 * kMiB);
      FillVolume(length, kOldByte);
      if (lengthQueryFails) sim::SetFaultHook([](const sim::Call& call) { return call.op == sim::Op::LengthInfo; });
    };

    prepare();
    CancelAtPump(3);  // during block 1
    EXPECT_FALSE(DriveWipeRun("E:", false, 0));
    // Read while the length is still unknown: a record is only found on a device of its length.
    const BreakpointValues cancelled = RecordOnE();
    sim::ClearFaults();
    EXPECT_EQ(cancelled.BlockCount, lengthQueryFails ? 3u : 5u);
    EXPECT_EQ(cancelled.TailBytes, lengthQueryFails ? 0u : 512u);

    prepare();
    ASSERT_TRUE(DriveWipeRun("E:", false, 0));
    sim::ClearFaults();
    const std::vector<std::uint8_t> volume = sim::ReadVolume('E', 0, length);
    const std::size_t covered = lengthQueryFails ? 3 * kMiB : length;
    EXPECT_TRUE(AllBytesAre(std::vector<std::uint8_t>(volume.begin(), volume.begin() + covered), 0x00));
    EXPECT_TRUE(AllBytesAre(std::vector<std::uint8_t>(volume.begin() + covered, volume.end()), kOldByte));
  }
}

// A run that skipped blocks or lost part of a tail succeeds, and says how much it could not
// overwrite; a block that failed in several passes counts once.
TEST_F(DriveRunTest, SuccessLineTellsWhatCouldNotBeOverwritten) {
  struct Case {
    int id;
    std::uint64_t firstBlock;
    std::uint64_t count;
    std::uint32_t transferred;
    const char* line;
    int tailErrors;
  };
  const Case cases[] = {
      {0, 0, 0, 0, "Drive E: wiped successfully.", 0},
      {0, 1, 2, 0, "Drive E: wiped, but 2 MB could not be overwritten.", 0},
      {1, 1, 1, 0, "Drive E: wiped, but 1 MB could not be overwritten.", 0},
      {0, 4, 1, 100, "Drive E: wiped, but 1 MB could not be overwritten.", 1},  // the tail lies in block 4
      {4, 3, 2, 0, "Drive E: wiped, but 2 MB could not be overwritten.", 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    ResetWindows();
    Prepare(4 * kMiB + 4096);
    if (c.count != 0) sim::FailWrites(kE, c.firstBlock, c.count, c.transferred);
    ASSERT_TRUE(DriveWipeRun("E:", false, c.id));
    EXPECT_EQ(Log().back(), c.line);
    EXPECT_EQ(LinesEqualTo("Write disk I/O error !"), c.tailErrors);
  }
}

TEST_F(DriveRunTest, SuccessRemovesTheRecordUnlocksFormatsRefreshesThenShutsDown) {
  struct Case {
    int id;
    bool format;
    bool shutdown;
    const char* caption;
  };
  const Case cases[] = {
      {0, true, true, "Formatting drive . . ."},
      {4, true, false, "  Formatting drive . . ."},
      {1, false, true, nullptr},
  };
  char folder[] = "/tmp/dunmere-wipe-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    ResetWindows();
    sim::Machine machine = MachineWithE(3 * kMiB);
    machine.hostFolder = folder;
    Load(machine);
    SelectDrive("E:\\");
    ui::SetFormatBox(c.format, true);
    ui::SetShutdownBox(c.shutdown);
    ASSERT_TRUE(DriveWipeRun("E:", false, c.id));

    const long lastBlock = [] {
      long last = -1;
      for (std::size_t i = 0; i < sim::Calls().size(); ++i) {
        const sim::Call& call = sim::Calls()[i];
        if (call.op == sim::Op::Write && call.bytes == kBlockSize) last = static_cast<long>(i);
      }
      return last;
    }();
    const long removal = IndexOf(sim::Op::Read, kE, lastBlock);
    const long unlock = IndexOf(sim::Op::Unlock, kE, lastBlock);
    const long format = IndexOf(sim::Op::RunHidden, "", lastBlock);
    const long refresh = IndexOf(sim::Op::VolumeInfo, "", lastBlock);
    const long powerOff = IndexOf(sim::Op::PowerOff, "", lastBlock);
    EXPECT_LT(lastBlock, removal);
    EXPECT_LT(removal, unlock) << "the record goes while the volume is held";
    if (c.format) {
      EXPECT_LT(unlock, format);
      EXPECT_LT(format, refresh);
      EXPECT_EQ(headless::ProgressCaption(), c.caption);
    } else {
      EXPECT_EQ(format, -1);
      EXPECT_EQ(headless::ProgressCaption(), "  Wiping drive E:" + PassCaptionSuffix(c.id, WipeMethods[c.id].passCount - 1));
    }
    EXPECT_LT(unlock, refresh);
    EXPECT_EQ(powerOff >= 0, c.shutdown);
    if (c.shutdown) {
      EXPECT_LT(refresh, powerOff);
    }
    EXPECT_EQ(Log().at(0), std::string("Drive E: wiped successfully."));
  }
  std::filesystem::remove_all(folder);
}

TEST_F(DriveRunTest, FailuresBeforeAndDuringThePasses) {
  struct Case {
    const char* what;
    std::function<bool(const sim::Call&)> fault;
    std::vector<std::string> lines;
    bool writesBlocks;
  };
  auto nthSeek = [](int n) {
    auto seen = std::make_shared<int>(0);
    return [n, seen](const sim::Call& call) { return call.op == sim::Op::Seek && ++*seen == n; };
  };
  const std::vector<Case> cases = {
      {"volume refuses", [](const sim::Call& call) { return call.op == sim::Op::Lock || call.op == sim::Op::Dismount; },
       {"Unable to dismount the drive!"}, false},
      {"positioning at the pass start", nthSeek(1),
       {"Fatal error, INVALID_SET_FILE_POINTER.", "Please check drive connections.", "Wipe aborted!"}, false},
      // Seeks: the pass start, then the first save: position, byte 0, byte 0, restore.
      {"restoring the position after a save", nthSeek(5),
       {"Fatal error! Unable to restore drive point!", "Please check drive connections.", "Wipe aborted!"}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ResetWindows();
    Prepare(4 * kMiB);
    sim::SetFaultHook(c.fault);
    EXPECT_FALSE(DriveWipeRun("E:", false, 1));
    sim::ClearFaults();
    EXPECT_EQ(Log(), c.lines);
    EXPECT_EQ(BlockWrites(kE), c.writesBlocks ? std::vector<std::uint64_t>{0} : std::vector<std::uint64_t>{});
    EXPECT_EQ(sim::OpenHandles(), 0) << "the run released what it held";
  }
}

TEST_F(DriveRunTest, WithoutWipeResumableNoRecordIsEverWritten) {
  Prepare(45 * kMiB);
  ui::SetOptionChecked(ui::Option::WipeResumable, false);
  ASSERT_TRUE(DriveWipeRun("E:", false, 0));
  EXPECT_EQ(RecordWrites(), 0u);
  EXPECT_EQ(BlockWrites(kE).size(), 45u);
}

}  // namespace
