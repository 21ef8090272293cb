#pragma once
// Where the console program's windows port (ui/console) sends the lines the commands' checks
// log before any run: the refusals. The runs themselves report to their run contexts.

#include <string>

namespace cli::bridge {

void LogLine(const std::string& line);

}  // namespace cli::bridge
