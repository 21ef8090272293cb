#include "wipe/engine.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <utility>
#include <vector>

#include "devices/inventory.h"
#include "devices/text_field.h"
#include "resume/breakpoint.h"
#include "wipe/block_writer.h"
#include "wipe/pass_buffer.h"
#include "wipe/pass_display.h"
#include "wipe/progress.h"
#include "wipe/random_source.h"

namespace {

constexpr std::uint32_t kMaxConsecutiveFailures = 10;
constexpr std::uint32_t kPassPauseMs = 1000;

// F, the consecutive failed block writes (never reset between passes), and what was left
// unwritten, so that a successful run can say so.
struct WriteFailures {
  explicit WriteFailures(RunContext& runContext) : context(runContext) {}
  RunContext& context;
  std::uint32_t consecutive = 0;
  std::vector<std::uint32_t> passBlocks;  // failed blocks of the current pass, ascending
  std::vector<std::uint32_t> runBlocks;   // blocks that failed in any finished pass
  std::uint32_t tailShortfall = 0;        // largest unwritten part of a tail
  std::string abortReason;                // why the run was ended at once, for the report

  bool Exceeded() const { return consecutive > kMaxConsecutiveFailures; }
  // A block not written whole is skipped, not retried.
  void Count(const std::vector<BlockCompletion>& done) {
    for (const BlockCompletion& completion : done) {
      if (completion.whole) {
        consecutive = 0;
        continue;
      }
      context.Log("Write disk I/O error!");
      ++consecutive;
      passBlocks.push_back(completion.block);
    }
  }
  void Abort(const std::string& reason) {
    consecutive = kMaxConsecutiveFailures + 1;
    abortReason = reason;
  }
  void EndPass() {
    std::vector<std::uint32_t> merged;
    std::set_union(runBlocks.begin(), runBlocks.end(), passBlocks.begin(), passBlocks.end(),
                   std::back_inserter(merged));
    runBlocks.swap(merged);
    passBlocks.clear();
  }
  std::uint64_t UnwrittenBytes() const {
    return static_cast<std::uint64_t>(runBlocks.size()) * kBlockSize + tailShortfall;
  }
};

// The inputs of one run that every pass reads.
struct RunInputs {
  const WipeMethod& method;
  const WipeTarget& target;
  const RunStart& start;
  std::uint8_t* buffer;
  BlockWriter& writer;
  std::uint8_t* recordBlock;  // block 0 with a record in its first sector; null: none can be had
};

// Checkpoints of one pass: interval I and counter j.
struct Checkpoints {
  std::uint32_t interval;
  std::uint32_t counter = 0;
};

std::uint32_t CheckpointInterval(std::uint32_t blockCount) {
  return blockCount / 20 == 0 ? 1 : blockCount / 20;
}

bool ResumableChecked(const RunInputs& run) { return run.target.context.Chosen(RunChoice::Resumable); }

bool SaveAt(const RunInputs& run, int pass, std::uint32_t block) {
  return SaveBreakpoint(*run.target.device, block, run.target.blockCount, run.target.tailBytes,
                        static_cast<std::uint8_t>(pass), static_cast<std::uint8_t>(run.method.id),
                        *run.target.capacityText, run.buffer[0], run.target.fileSystem,
                        run.target.context);
}

// Completes the writes in flight and puts them on the media.
bool CompleteAndFlush(const RunInputs& run, WriteFailures* failures) {
  std::vector<BlockCompletion> done;
  run.writer.CompleteAll(&done);
  failures->Count(done);
  return run.writer.Flush();
}

// A record vouches for every block below its StartBlock, so those blocks are on the media
// before it, and the record itself before the run goes on. False when the save could not
// restore the position or a flush failed.
bool SaveDurably(const RunInputs& run, int pass, std::uint32_t block, WriteFailures* failures) {
  return CompleteAndFlush(run, failures) && SaveAt(run, pass, block) && run.writer.Flush();
}

// Before block 1 and before every block at a multiple of I from the pass's first block, never
// before block 0. False when the run cannot go on.
bool TakeCheckpoint(const RunInputs& run, int pass, std::uint32_t block, Checkpoints* checkpoints,
                    WriteFailures* failures) {
  if (!ResumableChecked(run)) return true;
  if (checkpoints->counter == checkpoints->interval) checkpoints->counter = 0;
  bool saved = true;
  if (block != 0 && (block == 1 || checkpoints->counter == 0)) saved = SaveDurably(run, pass, block, failures);
  ++checkpoints->counter;
  return saved;
}

void LogFatalPosition(WriteFailures* failures) {
  failures->context.Log("Fatal error, INVALID_SET_FILE_POINTER.");
  failures->Abort("the device could not be positioned");
}

// Block 0 of a pass overwrites the record that an earlier pass or the interrupted run left in
// its first sector, and this pass saves its own only before block 1: a power cut in between
// would leave the device with neither a record nor a file system, listed blank, its finished
// passes lost. So block 0 goes out with the record of this pass at block 0 in its first sector;
// whichever 4 KiB line of the write reaches the media first, the first one holds a record.
// A fresh run's first pass has no record to lose yet.
bool CarriesRecord(const RunInputs& run, int pass, std::uint32_t block) {
  return block == 0 && run.recordBlock != nullptr && (pass != 0 || run.start.resume) && ResumableChecked(run);
}

const std::uint8_t* ContentOfBlock(const RunInputs& run, int pass, std::uint32_t block) {
  if (!CarriesRecord(run, pass, block)) return run.buffer;
  std::memcpy(run.recordBlock, run.buffer, kBlockSize);
  PutBreakpoint(run.recordBlock, 0, run.target.blockCount, run.target.tailBytes, static_cast<std::uint8_t>(pass),
                static_cast<std::uint8_t>(run.method.id), *run.target.capacityText, run.buffer[0],
                run.target.fileSystem);
  run.writer.ContentChanged();
  return run.recordBlock;
}

// False when the run has to stop: the next block could not be placed.
bool WriteBlock(const RunInputs& run, int pass, std::uint32_t block, WriteFailures* failures) {
  std::vector<BlockCompletion> done;
  const std::uint8_t* data = ContentOfBlock(run, pass, block);
  const bool placed = run.writer.WriteBlock(block, data, &done);
  if (data != run.buffer) run.writer.ContentChanged();
  failures->Count(done);
  if (!placed) LogFatalPosition(failures);
  return placed;
}

void WriteTail(const RunInputs& run, WriteFailures* failures) {
  std::vector<BlockCompletion> done;
  run.writer.CompleteAll(&done);
  failures->Count(done);
  const std::uint32_t tail = run.target.tailBytes;
  if (tail == 0 || tail >= kBlockSize) return;
  const std::uint32_t written = run.writer.WriteTail(run.buffer, tail);
  if (written >= tail) return;
  run.target.context.Log("Write disk I/O error !");
  failures->tailShortfall = std::max(failures->tailShortfall, tail - written);
}

enum class PassEnd { Completed, Stopped };

// Checkpoint, cancel and the count of failures, before block k. False when the pass stops here.
bool ReadyForBlock(const RunInputs& run, int pass, std::uint32_t block, Checkpoints* checkpoints,
                   WriteFailures* failures) {
  if (!TakeCheckpoint(run, pass, block, checkpoints, failures)) {
    failures->Abort("the breakpoint record could not be saved");
    return false;
  }
  if (run.target.context.CancelRequested()) {
    if (ResumableChecked(run)) SaveDurably(run, pass, block, failures);
    return false;
  }
  return !failures->Exceeded();
}

// lastPass (null before the last pass) keeps the seed of every refresh of the buffer.
PassEnd WriteBlocks(const RunInputs& run, int pass, std::uint32_t firstBlock, std::uint32_t* speed,
                    WriteFailures* failures, PassFacts* facts, LastPassContent* lastPass) {
  const bool randomData = run.method.passes[pass].kind == PatternKind::Random;
  PassDisplay display{run.target, firstBlock, SecondsOfDay(platform::LocalTimeNow()), speed};
  Checkpoints checkpoints{CheckpointInterval(run.target.blockCount)};
  int randomCounter = 0;
  for (std::uint32_t block = firstBlock; block < run.target.blockCount; ++block) {
    facts->endBlock = block;
    if (!ReadyForBlock(run, pass, block, &checkpoints, failures)) {
      ShowStoppedProgress(&display);
      return PassEnd::Stopped;
    }
    run.target.context.Pump();
    if (randomData && AdvanceRandomData(&randomCounter, run.buffer)) {
      run.writer.ContentChanged();
      if (lastPass != nullptr) lastPass->seeds.push_back(LastRandomSeed());
    }
    ShowBlockProgress(&display, block);
    const bool placed = WriteBlock(run, pass, block, failures);
    facts->bytesWritten += kBlockSize;
    if (!placed) {
      ShowStoppedProgress(&display);
      return PassEnd::Stopped;
    }
    run.target.context.Pump();
  }
  facts->endBlock = run.target.blockCount;
  return PassEnd::Completed;
}

// What the last pass writes, so that it can be read back and compared after the run.
LastPassContent ContentOfPass(const RunInputs& run, int pass, std::uint32_t firstBlock) {
  LastPassContent content;
  content.pass = pass;
  content.kind = run.method.passes[pass].kind;
  content.byte = run.buffer[0];
  content.firstBlock = firstBlock;
  if (content.kind == PatternKind::Random) content.seeds.push_back(LastRandomSeed());
  return content;
}

PassEnd WritePass(const RunInputs& run, int pass, std::uint32_t* speed, WriteFailures* failures,
                  PassFacts* facts, LastPassContent* lastPass) {
  const bool resumedPass = run.start.resume && pass == run.start.firstPass;
  PreparePassBuffer(run.method, pass, resumedPass, run.start.fillByte, run.buffer);
  run.writer.ContentChanged();
  run.target.context.SetCaption(run.target.captionPrefix + PassCaptionSuffix(run.method.id, pass));
  const std::uint32_t firstBlock = resumedPass ? run.start.startBlock : 0;
  facts->pass = pass;
  facts->firstBlock = firstBlock;
  facts->endBlock = firstBlock;
  const std::uint32_t startTick = platform::TickCount();
  const bool last = pass == run.method.passCount - 1;
  if (last) *lastPass = ContentOfPass(run, pass, firstBlock);
  if (!run.writer.StartAt(firstBlock)) {
    LogFatalPosition(failures);
    return PassEnd::Stopped;
  }
  const PassEnd end = WriteBlocks(run, pass, firstBlock, speed, failures, facts, last ? lastPass : nullptr);
  bool flushed = false;
  if (end == PassEnd::Completed) {
    WriteTail(run, failures);
    facts->bytesWritten += run.target.tailBytes < kBlockSize ? run.target.tailBytes : 0;
    // The next pass overwrites this one: it must be on the media first, not merged in a cache.
    flushed = run.writer.Flush();
    if (!flushed) failures->Abort("the drive's write cache could not be flushed");
  }
  facts->completed = flushed;
  facts->milliseconds = platform::TickCount() - startTick;
  if (!flushed) return PassEnd::Stopped;
  failures->EndPass();
  // The pause lets the device settle between passes; it processes no events.
  if (run.method.passCount > 1) platform::SleepMs(kPassPauseMs);
  return PassEnd::Completed;
}

}  // namespace

RunStart StartOfRun(const BreakpointValues* resumePoint, const WipeMethod& method) {
  RunStart start;
  if (resumePoint == nullptr) return start;
  start.resume = true;
  start.firstPass = method.passCount > 1 ? resumePoint->PassIndex : 0;
  start.startBlock = resumePoint->StartBlock;
  start.fillByte = resumePoint->FillByte;
  return start;
}

void WritePasses(const WipeMethod& method, const WipeTarget& target, const RunStart& start,
                 std::uint8_t* buffer, RunResult* result) {
  result->startedWriting = true;
  result->started = platform::LocalTimeNow();
  result->resumed = start.resume;
  result->firstPass = start.firstPass;
  result->startBlock = start.startBlock;
  result->bytesPerPass = static_cast<std::uint64_t>(target.blockCount) * kBlockSize + target.tailBytes;
  BlockWriter writer(target.context, *target.device, BlockWriter::Pace::SeveralAtOnce);
  // Block 0 goes out with a record only in a pass after the first or in a resumed run; a
  // fresh single-pass run (and each of many at once) spares the megabyte.
  const BlockBuffer recordBlock = start.resume || method.passCount > 1 ? AllocateBlockBuffer() : BlockBuffer();
  const RunInputs run{method, target, start, buffer, writer, recordBlock.get()};
  WriteFailures failures(target.context);
  std::uint32_t speed = 0;
  std::vector<PassFacts> passes;
  for (int pass = start.firstPass; pass < method.passCount; ++pass) {
    passes.emplace_back();
    if (WritePass(run, pass, &speed, &failures, &passes.back(), &result->lastPass) == PassEnd::Stopped) break;
  }
  std::vector<BlockCompletion> done;
  writer.CompleteAll(&done);
  failures.Count(done);
  // A Cancel that arrives after the last block still makes the run cancelled.
  result->outcome = target.context.CancelRequested() ? RunOutcome::Cancelled
                    : failures.Exceeded()            ? RunOutcome::Failed
                                                     : RunOutcome::Succeeded;
  // The blocks a stopped pass could not write count as well.
  failures.EndPass();
  result->failureReason = failures.abortReason;
  if (result->failureReason.empty() && result->outcome == RunOutcome::Failed) {
    result->failureReason =
        "more than " + std::to_string(kMaxConsecutiveFailures) + " consecutive blocks could not be written";
  }
  result->unwrittenBytes = failures.UnwrittenBytes();
  result->unwrittenBlocks = failures.runBlocks;
  result->passes = std::move(passes);
  result->passesEnded = result->ended = platform::LocalTimeNow();
}

void SizeResumedTarget(const platform::Device& device, const BreakpointValues& record, WipeTarget* target) {
  target->blockCount = record.BlockCount;
  target->tailBytes = record.TailBytes;
  std::memcpy(*target->capacityText, record.CapacityText, sizeof *target->capacityText);
  std::uint64_t length = 0;
  if (!platform::QueryLengthInfo(device, &length) || length == 0) return;
  const std::uint64_t tail = record.TailBytes < kBlockSize ? record.TailBytes : 0;
  if (static_cast<std::uint64_t>(record.BlockCount) * kBlockSize + tail >= length) return;
  std::uint32_t blockCount = 0;
  std::uint32_t tailBytes = 0;
  if (!SplitIntoBlocks(length, &blockCount, &tailBytes)) return;
  target->blockCount = blockCount;
  target->tailBytes = tailBytes;
  SetField(*target->capacityText, FormatSizeText(length));
}

const WipeMethod* MethodOfRun(RunContext& context, int methodId) {
  if (methodId >= 0 && methodId < kMethodCount) return &WipeMethods[methodId];
  context.Log("Unknown wipe method, can not wipe.");
  return nullptr;
}

bool SplitIntoBlocks(std::uint64_t bytes, std::uint32_t* blockCount, std::uint32_t* tailBytes) {
  if (bytes / kBlockSize > UINT32_MAX) return false;
  *blockCount = static_cast<std::uint32_t>(bytes / kBlockSize);
  *tailBytes = static_cast<std::uint32_t>(bytes % kBlockSize);
  return true;
}

void NameWrittenLength(std::uint64_t length, std::uint64_t capacity, char (*capacityText)[50]) {
  if (length != capacity) SetField(*capacityText, FormatSizeText(length));
}
