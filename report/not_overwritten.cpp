// What a run left holding its former data, whatever ended it: the blocks whose writes failed,
// the blocks the first pass never reached, and the blocks read back wrong after the second
// write.
#include "report/erasure_report.h"

namespace {

constexpr std::size_t kBlocksListed = 20;

std::uint32_t BlockCountOf(const RunResult& run) { return static_cast<std::uint32_t>(run.bytesPerPass / kBlockSize); }
std::uint32_t TailOf(const RunResult& run) { return static_cast<std::uint32_t>(run.bytesPerPass % kBlockSize); }

// "5, 6 and the tail", at most kBlocksListed named; block N stands for the tail.
std::string BlockList(const std::vector<std::uint32_t>& blocks, std::uint32_t blockCount) {
  std::string text;
  std::size_t named = 0;
  bool tail = false;
  for (std::uint32_t block : blocks) {
    if (block >= blockCount) {
      tail = true;
      continue;
    }
    if (named < kBlocksListed) text += (named == 0 ? "" : ", ") + std::to_string(block);
    ++named;
  }
  if (named > kBlocksListed) text += " and " + std::to_string(named - kBlocksListed) + " more";
  if (tail) text += named == 0 ? "the tail" : " and the tail";
  return text;
}

std::string FailedWritesText(const RunResult& run) {
  std::string text = ThousandsGrouped(run.unwrittenBytes) + " bytes";
  if (run.unwrittenBlocks.empty()) return text + " (at the end of a pass)";
  return text + "; blocks of 1 MB: " + BlockList(run.unwrittenBlocks, BlockCountOf(run));
}

std::string NeverReachedText(const NeverReached& range) {
  std::string blocks;
  if (range.firstBlock + 1 < range.endBlock) {
    blocks = "blocks " + std::to_string(range.firstBlock) + " to " + std::to_string(range.endBlock - 1);
  } else if (range.firstBlock < range.endBlock) {
    blocks = "block " + std::to_string(range.firstBlock);
  }
  if (range.tail) blocks += blocks.empty() ? "the tail" : " and the tail";
  return ThousandsGrouped(range.bytes) + " bytes the run never reached: " + blocks;
}

std::string WrongText(const RunResult& run) {
  return ThousandsGrouped(run.wrongBytes) + " bytes read back wrong after a second write; blocks of 1 MB: " +
         BlockList(run.wrongBlocks, BlockCountOf(run));
}

}  // namespace

NeverReached NeverReachedOf(const RunResult& run) {
  NeverReached range;
  // Only the method's first pass overwrites former data; a later pass that stops leaves the
  // data of the passes before it.
  for (const PassFacts& pass : run.passes) {
    if (pass.pass != 0 || pass.completed) continue;
    const std::uint32_t blockCount = BlockCountOf(run);
    if (pass.endBlock >= blockCount) continue;
    range.any = true;
    range.firstBlock = pass.endBlock;
    range.endBlock = blockCount;
    range.tail = TailOf(run) != 0;
    range.bytes = static_cast<std::uint64_t>(blockCount - pass.endBlock) * kBlockSize + TailOf(run);
  }
  return range;
}

std::string HeadlineText(const RunResult& run) {
  std::string text;
  switch (run.outcome) {
    case RunOutcome::Succeeded:
      text = "Result: completed.";
      break;
    case RunOutcome::Cancelled:
      text = "Result: CANCELLED by the user; the wipe is not complete.";
      break;
    case RunOutcome::Failed:
      text = "Result: FAILED: " + (run.failureReason.empty() ? std::string("unknown") : run.failureReason) +
             "; the wipe is not complete.";
      break;
  }
  const std::string left = NotOverwrittenText(run);
  if (left != "none") text += " Not overwritten: " + left + ".";
  return text;
}

std::string NotOverwrittenText(const RunResult& run) {
  std::vector<std::string> parts;
  if (run.unwrittenBytes != 0) parts.push_back(FailedWritesText(run));
  const NeverReached range = NeverReachedOf(run);
  if (range.any) parts.push_back(NeverReachedText(range));
  if (run.wrongBytes != 0) parts.push_back(WrongText(run));
  if (parts.empty()) return "none";
  std::string text;
  for (const std::string& part : parts) text += (text.empty() ? "" : "; ") + part;
  return text;
}
