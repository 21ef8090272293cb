// The ordered log of what the program asked of the machine, and the faults a test injects.
// A call is logged before the fault hook sees it, so a hook can count calls of its kind and
// fail the k-th one.
#include "platform/sim/state.h"

namespace sim::detail {

std::size_t Record(Op op, const std::string& path, std::uint64_t offset, std::uint64_t bytes) {
  Call call;
  call.op = op;
  call.path = path;
  call.offset = offset;
  call.bytes = bytes;
  std::vector<Call>& calls = TheState().calls;
  calls.push_back(call);
  return calls.size() - 1;
}

bool FaultInjected(std::size_t record) {
  State& state = TheState();
  if (state.poweredOff) return true;
  if (!state.faultHook || record >= state.calls.size()) return false;
  // The hook gets a copy: it may look at or clear the log without pulling the call away.
  const Call call = state.calls[record];
  return state.faultHook(call);
}

void Answer(std::size_t record, bool ok) {
  std::vector<Call>& calls = TheState().calls;
  if (record < calls.size()) calls[record].ok = ok;
}

void AnswerTransfer(std::size_t record, std::uint64_t asked, std::uint64_t transferred) {
  std::vector<Call>& calls = TheState().calls;
  if (record >= calls.size()) return;
  calls[record].ok = transferred == asked;
  calls[record].transferred = transferred;
}

}  // namespace sim::detail

namespace sim {

using namespace detail;

const std::vector<Call>& Calls() { return TheState().calls; }

std::vector<Call> CallsOf(Op op, const std::string& path) {
  std::vector<Call> out;
  for (const Call& call : TheState().calls) {
    if (call.op == op && (path.empty() || call.path == path)) out.push_back(call);
  }
  return out;
}

std::vector<std::string> SoundsPlayed() {
  std::vector<std::string> files;
  for (const Call& call : CallsOf(Op::PlaySound)) files.push_back(call.path);
  return files;
}

namespace detail {

// Kept apart from the state: a test sets it before the machine it watches is loaded.
std::function<void(const Call&)>& WriteHook() {
  static std::function<void(const Call&)> hook;
  return hook;
}

void WriteCarriedOut(std::size_t record) {
  const State& state = TheState();
  if (WriteHook() && record < state.calls.size()) WriteHook()(state.calls[record]);
}

}  // namespace detail

void ClearCalls() { TheState().calls.clear(); }

void SetFaultHook(std::function<bool(const Call&)> hook) {
  TheState().faultHook = std::move(hook);
}

void FailWrites(const std::string& path, std::uint64_t firstBlock, std::uint64_t count,
                std::uint32_t transferred) {
  WriteFault fault;
  if (!ParseDevicePath(path, &fault.device)) return;
  fault.firstBlock = firstBlock;
  fault.count = count;
  fault.transferred = transferred;
  TheState().writeFaults.push_back(fault);
}

void ClearFaults() {
  State& state = TheState();
  state.faultHook = nullptr;
  state.writeFaults.clear();
  detail::WriteHook() = nullptr;
}

void SetWriteHook(std::function<void(const Call&)> hook) { detail::WriteHook() = std::move(hook); }

int WritesInFlight() {
  int open = 0;
  for (const detail::WriteInFlightState& write : TheState().writesInFlight) open += write.done ? 0 : 1;
  return open;
}

}  // namespace sim
