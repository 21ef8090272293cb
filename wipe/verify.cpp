#include "wipe/verify.h"

#include <algorithm>
#include <cstring>

#include "devices/text_field.h"
#include "resume/breakpoint.h"
#include "wipe/block_writer.h"
#include "wipe/pass_buffer.h"
#include "wipe/pass_display.h"
#include "wipe/progress.h"
#include "wipe/random_source.h"

namespace {

// The content the last pass wrote into one block, rebuilt on demand: fixed, drawn and
// complement passes have one buffer for the whole pass, a random-data pass one per refresh,
// regenerated from its seed with the fast fill.
class ExpectedContent {
 public:
  ExpectedContent(const LastPassContent& content, std::uint32_t blockCount)
      : content_(content), blockCount_(blockCount), buffer_(AllocateBlockBuffer()) {}

  bool Allocated() const { return buffer_ != nullptr; }

  // The kBlockSize bytes expected in the block (the first tailBytes of it for the tail).
  const std::uint8_t* Of(std::uint32_t block) {
    const std::size_t index = ContentIndex(block);
    const bool wantsRecordSector = block == 0 && content_.recordRemoved;
    if (index != filled_ || wantsRecordSector != recordSector_) {
      Fill(index);
      // Removing the record copied the second sector over the first.
      if (wantsRecordSector) std::memcpy(buffer_.get(), buffer_.get() + kRecordSector, kRecordSector);
      filled_ = index;
      recordSector_ = wantsRecordSector;
    }
    return buffer_.get();
  }

 private:
  static constexpr std::size_t kRecordSector = 512;
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

  // The random-data buffer is redrawn before the 10th, 20th, ... block counted from the pass's
  // first block, and the tail is written from whatever the last block had.
  std::size_t ContentIndex(std::uint32_t block) const {
    if (content_.kind != PatternKind::Random || content_.seeds.empty()) return 0;
    const std::uint32_t first = content_.firstBlock;
    if (blockCount_ <= first) return 0;
    const std::uint32_t counted = block < blockCount_ ? block : blockCount_ - 1;
    if (counted < first) return 0;
    const std::size_t index = (static_cast<std::size_t>(counted - first) + 1) / kRandomRefreshBlocks;
    return index < content_.seeds.size() ? index : content_.seeds.size() - 1;
  }

  void Fill(std::size_t index) {
    if (content_.kind != PatternKind::Random) {
      std::memset(buffer_.get(), content_.byte, kBlockSize);
      return;
    }
    std::uint32_t state = content_.seeds.empty() ? 0 : content_.seeds[index];
    FillRandomBytes(&state, buffer_.get(), kBlockSize);
  }

  const LastPassContent& content_;
  std::uint32_t blockCount_;
  BlockBuffer buffer_;
  std::size_t filled_ = kNone;
  bool recordSector_ = false;
};

// One verification: the target, the content and the blocks that failed so far.
struct Reader {
  const WipeTarget& target;
  ExpectedContent& expected;
  std::uint8_t* readBack;
  std::vector<std::uint32_t> failed;  // ascending; the tail is block N

  std::uint32_t BytesOf(std::uint32_t block) const {
    return block < target.blockCount ? kBlockSize : target.tailBytes;
  }

  // Reads the block at the device's position (or seeks there first) and compares it.
  bool Matches(std::uint32_t block, bool seek) {
    const std::uint32_t bytes = BytesOf(block);
    const platform::Device& device = *target.device;
    if (seek && !platform::SetPosition(device, static_cast<std::int64_t>(block) * kBlockSize,
                                       platform::Origin::Begin)) {
      return false;
    }
    if (platform::ReadDevice(device, readBack, bytes) != bytes) {
      // The next block's read must not start inside this one.
      platform::SetPosition(device, static_cast<std::int64_t>(block + 1) * kBlockSize, platform::Origin::Begin);
      return false;
    }
    return std::memcmp(readBack, expected.Of(block), bytes) == 0;
  }

  // Through the run's write path, as the pass wrote it.
  bool Rewrite(BlockWriter* writer, std::uint32_t block) {
    if (!writer->StartAt(block)) return false;
    if (block == target.blockCount) return writer->WriteTail(expected.Of(block), target.tailBytes) == target.tailBytes;
    std::vector<BlockCompletion> done;
    const bool placed = writer->WriteBlock(block, expected.Of(block), &done);
    writer->CompleteAll(&done);
    return placed && !done.empty() && done.back().whole;
  }
};

std::uint64_t BytesOfBlocks(const Reader& reader, const std::vector<std::uint32_t>& blocks) {
  std::uint64_t bytes = 0;
  for (std::uint32_t block : blocks) bytes += reader.BytesOf(block);
  return bytes;
}

// Whole MB, rounded up, as the log counts them.
std::string MegabytesText(std::uint64_t bytes) { return std::to_string((bytes + kBlockSize - 1) / kBlockSize); }

enum class ReadEnd { Completed, Cancelled };

// The read-back of the whole range from the first verifiable block, with the progress window
// as in a pass; blocks that do not match are collected.
ReadEnd ReadBack(Reader* reader, std::uint32_t firstBlock) {
  const WipeTarget& target = reader->target;
  if (!platform::SetPosition(*target.device, static_cast<std::int64_t>(firstBlock) * kBlockSize,
                             platform::Origin::Begin)) {
    for (std::uint32_t block = firstBlock; block < target.blockCount; ++block) reader->failed.push_back(block);
  } else {
    std::uint32_t speed = 0;
    PassDisplay display{target, firstBlock, SecondsOfDay(platform::LocalTimeNow()), &speed};
    for (std::uint32_t block = firstBlock; block < target.blockCount; ++block) {
      if (target.context.CancelRequested()) {
        ShowStoppedProgress(&display);
        return ReadEnd::Cancelled;
      }
      target.context.Pump();
      ShowBlockProgress(&display, block);
      if (!reader->Matches(block, false)) reader->failed.push_back(block);
      target.context.Pump();
    }
  }
  if (target.context.CancelRequested()) return ReadEnd::Cancelled;
  if (target.tailBytes > 0 && target.tailBytes < kBlockSize && !reader->Matches(target.blockCount, true)) {
    reader->failed.push_back(target.blockCount);
  }
  return ReadEnd::Completed;
}

// Every failed block is written once more, and read again once all of them are on the media.
// When the flush fails, a read-back could come from the cache: every such block still fails.
std::vector<std::uint32_t> Repair(Reader* reader, bool* flushed) {
  *flushed = true;
  if (reader->failed.empty()) return {};
  BlockWriter writer(reader->target.context, *reader->target.device);
  for (std::uint32_t block : reader->failed) reader->Rewrite(&writer, block);
  *flushed = writer.Flush();
  if (!*flushed) return reader->failed;
  std::vector<std::uint32_t> still;
  for (std::uint32_t block : reader->failed) {
    if (!reader->Matches(block, true)) still.push_back(block);
  }
  return still;
}

void LogVerification(RunContext& context, const Verification& result) {
  switch (result.outcome) {
    case VerifyOutcome::NotRun:
      return;
    case VerifyOutcome::Cancelled:
      context.Log("Verification cancelled: the wipe itself is complete.");
      return;
    case VerifyOutcome::Failed:
      context.Log("Verification failed: " + MegabytesText(result.failedBytes) +
                 " MB differ or could not be read, first at block " +
                 std::to_string(result.firstFailedBlock) + ".");
      return;
    case VerifyOutcome::Verified:
      break;
  }
  if (result.repairedBytes != 0) {
    context.Log("Verification: " + MegabytesText(result.repairedBytes) +
               " MB read back wrong and were written again.");
  }
  if (result.unverifiableBytes == 0) {
    context.Log(result.repairedBytes == 0
                    ? "Verification: every byte read back as written."
                    : "Verification: read back again after that second write, every byte was as written.");
  } else {
    context.Log("Verification: " + MegabytesText(result.unverifiableBytes) +
               " MB could not be verified (written before the interruption).");
  }
}

// The record points a resumed run at the first block that failed, in the last pass; like every
// record, it goes on the media after what it vouches for and before the run ends. False when a
// flush failed.
bool KeepRecordForResume(const WipeMethod& method, const WipeTarget& target, const LastPassContent& content,
                         std::uint32_t firstFailedBlock) {
  if (!target.context.Chosen(RunChoice::Resumable)) return true;
  const platform::Device& device = *target.device;
  return FlushToMedia(target.context, device) &&
         SaveBreakpoint(device, firstFailedBlock, target.blockCount, target.tailBytes,
                        static_cast<std::uint8_t>(content.pass), static_cast<std::uint8_t>(method.id),
                        *target.capacityText, content.byte, target.fileSystem, target.context) &&
         FlushToMedia(target.context, device);
}

}  // namespace

bool VerificationWanted(RunContext& context, const LastPassContent& content) {
  return content.pass >= 0 && context.Chosen(RunChoice::Verify);
}

Verification VerifyLastPass(const WipeMethod& method, const WipeTarget& target,
                            const LastPassContent& content, const std::string& caption) {
  Verification result;
  ExpectedContent expected(content, target.blockCount);
  BlockBuffer readBack = AllocateBlockBuffer();
  if (!expected.Allocated() || !readBack) {
    target.context.Log("Apply memory error! The wipe was not verified.");
    return result;
  }
  target.context.SetCaption(caption);
  // Random data written before an interruption came from seeds this run never saw.
  const std::uint32_t firstBlock =
      content.kind == PatternKind::Random ? std::min(content.firstBlock, target.blockCount) : 0;
  result.unverifiableBytes = static_cast<std::uint64_t>(firstBlock) * kBlockSize;
  Reader reader{target, expected, readBack.get(), {}};
  if (ReadBack(&reader, firstBlock) == ReadEnd::Cancelled) {
    result.outcome = VerifyOutcome::Cancelled;
    LogVerification(target.context, result);
    return result;
  }
  const std::vector<std::uint32_t> firstFailures = reader.failed;
  bool flushed = true;
  const std::vector<std::uint32_t> still = Repair(&reader, &flushed);
  result.repairNotFlushed = !flushed;
  const std::uint64_t readRange =
      static_cast<std::uint64_t>(target.blockCount - firstBlock) * kBlockSize +
      (target.tailBytes < kBlockSize ? target.tailBytes : 0);
  result.failedBytes = BytesOfBlocks(reader, still);
  result.repairedBytes = BytesOfBlocks(reader, firstFailures) - result.failedBytes;
  result.verifiedBytes = readRange - result.failedBytes;
  result.outcome = still.empty() ? VerifyOutcome::Verified : VerifyOutcome::Failed;
  if (!still.empty()) {
    result.firstFailedBlock = still.front();
    result.failedBlocks = still;
    result.recordNotKept = !KeepRecordForResume(method, target, content, result.firstFailedBlock);
  }
  LogVerification(target.context, result);
  return result;
}

void NoteVerification(const Verification& result, const LastPassContent& content, RunResult* facts) {
  if (facts == nullptr || result.outcome == VerifyOutcome::NotRun) return;
  facts->verification.method = content.kind == PatternKind::Random
                                   ? "read back, compared with the random data regenerated from its seeds"
                                   : "read back, compared byte for byte with the last pass's pattern";
  const std::string verified = MegabytesText(result.verifiedBytes) + " MB read back as written";
  switch (result.outcome) {
    case VerifyOutcome::NotRun:
      return;
    case VerifyOutcome::Cancelled:
      facts->verification.result = "cancelled by the user; the wipe itself is complete";
      return;
    case VerifyOutcome::Failed:
      facts->verification.result = "failed: " + MegabytesText(result.failedBytes) +
                                   " MB differ or could not be read, first at block " +
                                   std::to_string(result.firstFailedBlock);
      facts->wrongBytes = result.failedBytes;
      facts->wrongBlocks = result.failedBlocks;
      NoteRunFailed(result.repairNotFlushed
                        ? "the drive's write cache could not be flushed after the second write of blocks that read back wrong"
                        : "verification found blocks that still differ after a second write",
                    facts);
      if (result.recordNotKept) facts->failureReason += "; the breakpoint record for a resume may not be on the media";
      return;
    case VerifyOutcome::Verified:
      break;
  }
  facts->verification.result = verified;
  if (result.repairedBytes != 0) {
    facts->verification.result += "; " + MegabytesText(result.repairedBytes) + " MB written again after reading back wrong";
  }
  if (result.unverifiableBytes != 0) {
    facts->verification.result += "; " + MegabytesText(result.unverifiableBytes) +
                                  " MB could not be verified (written before the interruption)";
  }
}
