#pragma once
// The pass loop that every run shares: passes, blocks, checkpoints, cancel, the count of failed
// writes, the tail, the pause and the progress. The run (wipe/runs.h) owns what differs: how
// the target is secured and opened, its length, and the end (wipe/run_end.h).

#include <cstdint>
#include <string>

#include "platform/platform.h"
#include "wipe/methods.h"
#include "wipe/run_context.h"
#include "wipe/run_result.h"

struct BreakpointValues;

// What a run hands the pass loop.
struct WipeTarget {
  RunContext& context;             // cancel, progress, log and the user's choices
  const platform::Device* device;  // every positioning, write, save and removal goes here
  std::string captionPrefix;       // "  Wiping drive E:" or "  Wiping disk1"
  char (*capacityText)[50];        // the run's size text: shown and saved
  std::uint32_t blockCount;        // N: whole blocks per pass
  std::uint32_t tailBytes;         // T: bytes after the last whole block, below kBlockSize
  // A volume's file-system name, which every saved record carries across the wipe (nullptr
  // for a disk): see SaveBreakpoint.
  char (*fileSystem)[50] = nullptr;
};

// Where the first pass begins: pass 0 at block 0, or where the record of a resumed run says.
struct RunStart {
  bool resume = false;
  int firstPass = 0;
  std::uint32_t startBlock = 0;
  std::uint8_t fillByte = 0;
};
// resumePoint: the record a resumed run goes on from; nullptr for a fresh run.
RunStart StartOfRun(const BreakpointValues* resumePoint, const WipeMethod& method);

// Writes the passes of the method from the start over the target through the buffer, and
// notes in *result that writing began, when, and what the passes did.
void WritePasses(const WipeMethod& method, const WipeTarget& target, const RunStart& start,
                 std::uint8_t* buffer, RunResult* result);

// N, T and the size text of a resumed run: the record's, grown to the end of the device when
// the record's range ends short of it (a run sized by a file system that ends before its
// volume), so that nothing is left unwritten; the checkpoints then save the grown range.
void SizeResumedTarget(const platform::Device& device, WipeTarget* target);
// N, T and the size text of a resumed run: the record's, grown to the end of the device when
// the record's range ends short of it (a run sized by a file system that ends before its
// volume), so that nothing is left unwritten; the checkpoints then save the grown range.
void SizeResumedTarget(const platform::Device& device, const BreakpointValues& record, WipeTarget* target);
// The method of an id, or nullptr with a log line for an id outside the table.
const WipeMethod* MethodOfRun(RunContext& context, int methodId);
// N and T of a target of this many bytes. False when N does not fit the 32 bits that records
// and runs count blocks in (a target of 4096 TB or more).
bool SplitIntoBlocks(std::uint64_t bytes, std::uint32_t* blockCount, std::uint32_t* tailBytes);
// A fresh run names its total after "/" in the window, and in its breakpoint records, by the
// target record's size text; when it writes another length than the record's size (a volume
// longer than its file system), that text becomes the length's own, so the amount ends at the
// total and a resumed run shows the same.
void NameWrittenLength(std::uint64_t length, std::uint64_t capacity, char (*capacityText)[50]);
