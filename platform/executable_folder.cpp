#include "platform/platform.h"

namespace platform {

std::string FileNextToExecutable(const std::string& fileName) {
  const std::string executable = ExecutablePath();
  const std::size_t lastBackslash = executable.rfind('\\');
  // Without any folder in the path the name alone is used, relative to the current folder.
  if (lastBackslash == std::string::npos) return fileName;
  return executable.substr(0, lastBackslash) + "\\" + fileName;
}

}  // namespace platform
