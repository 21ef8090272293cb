#pragma once
// The computer kept awake while a run works: a multi-pass wipe of a large disk takes hours
// without a single click, and Windows would otherwise send the computer to sleep halfway.

// Holds for its lifetime. Made by the commands where they hand the screen to a run, so every
// way the run ends (finished, cancelled, failed, refused before writing, formatted, shutdown
// requested) releases the hold.
class SystemAwake {
 public:
  SystemAwake();
  ~SystemAwake();
  SystemAwake(const SystemAwake&) = delete;
  SystemAwake& operator=(const SystemAwake&) = delete;
};
