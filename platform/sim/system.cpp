// Process and system services: the platform family, the error mode, the clocks and the named
// mutex. The clock is virtual unless the machine asks for the host's (the demo), so tests can
// set the time of day and let sleeps pass instantly.
#include <chrono>
#include <ctime>
#include <thread>

#include "platform/concurrency.h"
#include "platform/sim/host.h"
#include "platform/sim/state.h"
#include "platform/time_zone.h"

namespace sim::detail {
namespace {

constexpr std::uint64_t kDayMs = 24ULL * 60 * 60 * 1000;
constexpr std::uint64_t kCounterPerMs = 10000;  // a 10 MHz performance counter

void Advance(std::uint64_t milliseconds) {
  State& state = TheState();
  state.clockDay += static_cast<std::int64_t>((state.clockMs + milliseconds) / kDayMs);
  state.clockMs = (state.clockMs + milliseconds) % kDayMs;
  state.uptimeMs += milliseconds;
}

// Days since 1970-01-01 and back, in the proleptic Gregorian calendar (eras of 400 years).
std::int64_t DaysFromCivil(int year, int month, int day) {
  const std::int64_t y = year - (month <= 2 ? 1 : 0);
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yearOfEra = y - era * 400;
  const std::int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

void CivilFromDays(std::int64_t days, platform::LocalTime* local) {
  const std::int64_t z = days + 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int64_t dayOfEra = z - era * 146097;
  const std::int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const std::int64_t monthIndex = (5 * dayOfYear + 2) / 153;
  local->day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
  local->month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
  local->year = static_cast<int>(yearOfEra + era * 400 + (local->month <= 2 ? 1 : 0));
}

platform::LocalTime HostLocalTime() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch());
  platform::LocalTime local;
  if (const std::tm* parts = std::localtime(&seconds)) {
    local.hour = parts->tm_hour;
    local.minute = parts->tm_min;
    local.second = parts->tm_sec;
    local.year = parts->tm_year + 1900;
    local.month = parts->tm_mon + 1;
    local.day = parts->tm_mday;
  }
  local.milliseconds = static_cast<int>(ms.count() % 1000);
  return local;
}

std::uint64_t HostSteadyTicks() {
  return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                        std::chrono::steady_clock::now().time_since_epoch())
                                        .count());
}

}  // namespace
}  // namespace sim::detail

namespace platform {

using namespace sim::detail;
using sim::Op;

std::uint32_t PlatformId() { return TheState().machine.platformId; }

std::uint32_t ChangeErrorMode(std::uint32_t mode) {
  State& state = TheState();
  const std::size_t record = Record(Op::ErrorMode, std::string(), 0, mode);
  const std::uint32_t previous = state.errorMode;
  // SetErrorMode cannot fail; an injected fault leaves the mode as it was.
  if (FaultInjected(record)) {
    Answer(record, false);
  } else {
    state.errorMode = mode;
  }
  return previous;
}

LocalTime LocalTimeNow() {
  State& state = TheState();
  if (state.machine.realClock) return HostLocalTime();
  LocalTime local;
  local.hour = static_cast<int>(state.clockMs / 3600000);
  local.minute = static_cast<int>(state.clockMs / 60000 % 60);
  local.second = static_cast<int>(state.clockMs / 1000 % 60);
  local.milliseconds = static_cast<int>(state.clockMs % 1000);
  CivilFromDays(state.clockDay, &local);
  Advance(state.clockStepPerQuery);
  return local;
}

bool PerformanceCounter(std::uint64_t* counter) {
  State& state = TheState();
  if (!state.machine.performanceCounter) return false;
  std::uint64_t value = 0;
  if (state.machine.realClock) {
    value = HostSteadyTicks() / 100;
  } else {
    // Moves with the virtual clock and by one tick per query, so no two queries agree.
    value = state.uptimeMs * kCounterPerMs + ++state.counterQueries;
  }
  if (counter != nullptr) *counter = value;
  return true;
}

std::uint32_t TickCount() {
  State& state = TheState();
  if (state.machine.realClock) return static_cast<std::uint32_t>(HostSteadyTicks() / 1000000);
  return static_cast<std::uint32_t>(state.uptimeMs);
}

// The machine's state has no lock of its own: its users take turns.
bool ConcurrentCalls() { return false; }

void SleepMs(std::uint32_t milliseconds) {
  if (TheState().machine.realClock) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  } else {
    Advance(milliseconds);
  }
}

namespace {
bool Named(const std::string& text, std::string* out) {
  if (text.empty()) return false;
  if (out != nullptr) *out = text;
  return true;
}
}  // namespace

bool LocalTimeZone(int* minutesEast, std::string* name) {
  if (TheState().machine.realClock) {
    const std::time_t now = std::time(nullptr);
    const std::tm* parts = std::localtime(&now);
    if (parts == nullptr) return false;
    const std::tm local = *parts;
    parts = std::gmtime(&now);
    if (parts == nullptr) return false;
    const std::tm utc = *parts;
    // The two broken-down times are at most a day apart; a year's turn between them counts one.
    int days = local.tm_yday - utc.tm_yday;
    if (days > 1) days = -1;
    if (days < -1) days = 1;
    *minutesEast = days * 1440 + (local.tm_hour - utc.tm_hour) * 60 + (local.tm_min - utc.tm_min);
    *name = "the host's local time";
    return true;
  }
  // The virtual clock keeps Coordinated Universal Time.
  *minutesEast = 0;
  *name = "Coordinated Universal Time";
  return true;
}

bool ComputerName(std::string* name) { return Named(AnsiText(TheState().machine.computerName), name); }
bool UserName(std::string* name) { return Named(AnsiText(TheState().machine.userName), name); }
bool WindowsVersion(std::string* version) { return Named(TheState().machine.windowsVersion, version); }

bool CreateInstanceMutex(const std::string& name, bool* alreadyExists) {
  State& state = TheState();
  // Kernel object names are case-sensitive.
  bool exists = state.heldMutexes.count(name) != 0 || state.createdMutexes.count(name) != 0;
  bool hostExists = false;
  if (sim::host::CreateNamedMutex(name, &hostExists)) exists = exists || hostExists;
  state.createdMutexes.insert(name);
  if (alreadyExists != nullptr) *alreadyExists = exists;
  return true;
}

bool MachineIsSimulated() { return true; }

}  // namespace platform

namespace sim {

using namespace detail;

void SetClock(int hour, int minute, int second, int milliseconds) {
  const long long ms = ((static_cast<long long>(hour) * 60 + minute) * 60 + second) * 1000LL +
                       milliseconds;
  const long long day = static_cast<long long>(kDayMs);
  TheState().clockMs = static_cast<std::uint64_t>(((ms % day) + day) % day);
}

void SetDate(int year, int month, int day) { TheState().clockDay = DaysFromCivil(year, month, day); }

void AdvanceClock(std::uint32_t milliseconds) { Advance(milliseconds); }

void SetClockStepPerQuery(std::uint32_t milliseconds) {
  TheState().clockStepPerQuery = milliseconds;
}

void SetPlatformId(std::uint32_t id) { TheState().machine.platformId = id; }

bool MutexHeld(const std::string& name) {
  const State& state = TheState();
  return state.heldMutexes.count(name) != 0 || state.createdMutexes.count(name) != 0;
}

void HoldMutex(const std::string& name) { TheState().heldMutexes.insert(name); }

std::uint32_t ErrorMode() { return TheState().errorMode; }

}  // namespace sim
