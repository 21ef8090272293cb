#pragma once
// Whether the platform's calls may come from several threads at once, as Windows takes them;
// the simulated machine keeps one state and takes them from one thread at a time, so runs that
// go on together there take turns.

namespace platform {

bool ConcurrentCalls();

}  // namespace platform
