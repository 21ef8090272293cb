// setting.bin next to the executable, and the three sounds.
#include "app/settings.h"

#include <cstdint>
#include <vector>

#include "platform/platform.h"
#include "ui/ui.h"

namespace {

const char* const kSettingsFileName = "setting.bin";
constexpr std::size_t kSettingsFileSize = 50;
constexpr std::uint8_t kSoundDisabled = 0xFF;
constexpr std::uint8_t kSoundEnabled = 0x00;

}  // namespace

std::string FileNextToExecutable(const std::string& fileName) {
  const std::string executable = platform::ExecutablePath();
  const std::size_t lastBackslash = executable.rfind('\\');
  // Without any folder in the path the name alone is used, relative to the current folder.
  if (lastBackslash == std::string::npos) return fileName;
  return executable.substr(0, lastBackslash) + "\\" + fileName;
}

bool LoadSettings() {
  std::vector<std::uint8_t> bytes;
  if (!platform::ReadFileBytes(FileNextToExecutable(kSettingsFileName), kSettingsFileSize, &bytes)) {
    return false;
  }
  // Only byte 0 means anything; an empty file has none and leaves the sounds on.
  const bool disabled = !bytes.empty() && bytes[0] == kSoundDisabled;
  ui::SetOptionChecked(ui::Option::DisableSound, disabled);
  return true;
}

bool SaveSettings() {
  // The 49 bytes after the switch are reserved and written as zeros.
  std::vector<std::uint8_t> bytes(kSettingsFileSize, 0);
  bytes[0] = ui::OptionChecked(ui::Option::DisableSound) ? kSoundDisabled : kSoundEnabled;
  return platform::WriteFileBytes(FileNextToExecutable(kSettingsFileName), bytes);
}

void PlayCue(int cue) {
  // Read at every call, so a click on "Disable sound" takes effect at the very next cue.
  if (ui::OptionChecked(ui::Option::DisableSound)) return;
  switch (cue) {
    case CueWarning: platform::PlaySoundAsync("warning.wav"); break;
    case CueDing: platform::PlaySoundAsync("ding.wav"); break;
    case CueFinish: platform::PlaySoundAsync("finish.wav"); break;
    default: break;
  }
}
