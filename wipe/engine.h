#pragma once
// The pass loop that the drive run and the disk run share: passes, blocks, checkpoints,
// cancel, the count of failed writes, the tail, the pause and the progress window. The runs
// own what differs: how the target is secured and opened, its length, and the end.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "wipe/methods.h"

// What a run hands the pass loop.
struct WipeTarget {
  const platform::Device* device;  // every positioning, write, save and removal goes here
  std::string captionPrefix;       // "  Wiping drive E:" or "  Wiping disk1"
  char (*capacityText)[50];        // the target record's CapacityText: shown and saved
  std::uint32_t blockCount;        // N: whole blocks per pass
  std::uint32_t tailBytes;         // T: bytes after the last whole block, below kBlockSize
  bool writesInFlight = false;     // the device was opened unbuffered: several blocks at once
};

// Where the first pass begins: pass 0 at block 0, or where the ResumePoint says.
struct RunStart {
  bool resume = false;
  int firstPass = 0;
  std::uint32_t startBlock = 0;
  std::uint8_t fillByte = 0;
};
RunStart StartOfRun(bool resume, const WipeMethod& method);

// What the last pass of a run wrote, enough to write and compare it again.
struct LastPassContent {
  int pass = -1;  // -1: the run wrote no last pass (cancelled or failed before it)
  PatternKind kind = PatternKind::Fixed;
  std::uint8_t byte = 0;           // fixed, drawn and complement passes: every byte of the pass
  std::uint32_t firstBlock = 0;    // where this run began the pass; earlier blocks were written
                                   // before an interruption
  std::vector<std::uint32_t> seeds;  // random data: the seed of the first content and of every
                                     // refresh, in order
  bool recordRemoved = false;      // the record's sector now holds the second sector's content
};

enum class RunOutcome { Cancelled, Failed, Succeeded };

// One pass as it went, for the erasure report.
struct PassFacts {
  int pass = 0;                    // index from 0
  std::uint32_t firstBlock = 0;    // where it began: 0, or the block a resumed pass went on at
  std::uint64_t bytesWritten = 0;  // bytes handed to the device, failed writes included
  std::uint32_t milliseconds = 0;  // from its first block to its tail, the pause left out
  bool completed = false;
};

struct RunReport {
  RunOutcome outcome = RunOutcome::Failed;
  std::uint64_t unwrittenBytes = 0;  // bytes some pass could not write (skipped blocks, short tails)
  std::vector<std::uint32_t> unwrittenBlocks;  // ascending, each once
  std::vector<PassFacts> passes;
  std::string failureReason;  // why a failed run stopped
  LastPassContent lastPass;
};

// Writes the passes of the method from the start over the target through the buffer.
RunReport WritePasses(const WipeMethod& method, const WipeTarget& target, const RunStart& start,
                      std::uint8_t* buffer);

// N, T and the size text of a resumed run: the record's, grown to the end of the device when
// the record's range ends short of it (a run sized by a file system that ends before its
// volume), so that nothing is left unwritten; the checkpoints then save the grown range.
void SizeResumedTarget(const platform::Device& device, WipeTarget* target);
// The method of an id, or nullptr with a log line for an id outside the table.
const WipeMethod* MethodOfRun(int methodId);
// N and T of a target of this many bytes. False when N does not fit the 32 bits that records
// and runs count blocks in (a target of 4096 TB or more).
bool SplitIntoBlocks(std::uint64_t bytes, std::uint32_t* blockCount, std::uint32_t* tailBytes);
// A fresh run names its total after "/" in the window, and in its breakpoint records, by the
// target record's size text; when it writes another length than the record's size (a volume
// longer than its file system), that text becomes the length's own, so the amount ends at the
// total and a resumed run shows the same.
void NameWrittenLength(std::uint64_t length, std::uint64_t capacity, char (*capacityText)[50]);
// "Drive E: wiped successfully." or, when something could not be written,
// "Drive E: wiped, but 3 MB could not be overwritten." (MB rounded up).
std::string SuccessLine(const std::string& subject, std::uint64_t unwrittenBytes);
// The end of a successful run: what it wrote is on the media before the record goes, and the
// removal is on the media before the run reports success. False (logged) when a flush failed
// or the record could not be read or replaced: the run then ends as failed. *removed
// (optional): a record was there and was replaced.
bool RemoveBreakpointDurably(const platform::Device& device, bool* removed = nullptr);
void LogWipeAborted();  // "Please check drive connections.", "Wipe aborted!"
void RefreshBothLists();
