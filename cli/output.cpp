// The console program's lines: progress, JSON Lines events and the device list.
#include "cli/output.h"

#include <cstdio>

#include <nlohmann/json.hpp>

#include "devices/disk_identity.h"

namespace cli {

namespace {

using Json = nlohmann::ordered_json;

std::string Dump(const Json& json) { return json.dump(-1, ' ', false, Json::error_handler_t::replace); }

std::string Trimmed(const std::string& text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::string Padded(const std::string& text, std::size_t width) {
  return text.size() >= width ? text + " " : text + std::string(width - text.size(), ' ');
}

Json NullIfEmpty(const std::string& text) { return text.empty() ? Json(nullptr) : Json(text); }

}  // namespace

bool PassOfCaption(const std::string& caption, int* pass, int* passes) {
  const std::string marker = "overwrite ";
  const std::size_t at = caption.rfind(marker);
  if (at == std::string::npos) return false;
  int n = 0, m = 0;
  char tail = 0;
  if (std::sscanf(caption.c_str() + at + marker.size(), "%d of %d%c", &n, &m, &tail) < 2 || n < 1 || m < n) return false;
  *pass = n;
  *passes = m;
  return true;
}

std::string ProgressLine(const ProgressState& state) {
  std::string line = Padded(state.target, 8);
  int pass = 0, passes = 0;
  char percent[16];
  std::snprintf(percent, sizeof percent, "%3d%%", state.percent);
  if (PassOfCaption(state.caption, &pass, &passes)) {
    line += "pass " + std::to_string(pass) + " of " + std::to_string(passes) + "  " + percent + "  " +
            Padded(state.speed, 11) + (state.timeLeft.empty() ? "" : state.timeLeft + " left");
  } else if (state.caption.find("Verifying") != std::string::npos) {
    line += std::string("verifying     ") + percent;
  } else if (state.caption.find("Formatting") != std::string::npos) {
    line += "formatting";
  } else {
    line += Trimmed(state.caption);
  }
  return line;
}

std::string ShortProgress(const ProgressState& state) {
  int pass = 0, passes = 0;
  const std::string percent = " " + std::to_string(state.percent) + "%";
  if (PassOfCaption(state.caption, &pass, &passes)) {
    return state.target + " " + std::to_string(pass) + "/" + std::to_string(passes) + percent;
  }
  if (state.caption.find("Verifying") != std::string::npos) return state.target + " verify" + percent;
  if (state.caption.find("Formatting") != std::string::npos) return state.target + " format";
  return state.target;
}

std::string StartEvent(const std::string& target, int methodId, bool resume) {
  return Dump(Json{{"event", "start"}, {"target", target}, {"method", methodId}, {"resume", resume}});
}

std::string ProgressEvent(const ProgressState& state) {
  Json json{{"event", "progress"}, {"target", state.target}};
  int pass = 0, passes = 0;
  if (PassOfCaption(state.caption, &pass, &passes)) {
    json["phase"] = "writing";
    json["pass"] = pass;
    json["passes"] = passes;
  } else {
    json["phase"] = state.caption.find("Verifying") != std::string::npos ? "verifying" : "other";
  }
  json["percent"] = state.percent;
  json["speed"] = state.speed;
  json["timeLeft"] = state.timeLeft;
  return Dump(json);
}

std::string PassEndEvent(const std::string& target, int pass, int passes) {
  return Dump(Json{{"event", "pass-end"}, {"target", target}, {"pass", pass}, {"passes", passes}});
}

std::string VerificationEvent(const std::string& target, const VerificationFacts& verification) {
  return Dump(Json{{"event", "verification"}, {"target", target}, {"method", verification.method},
                   {"result", verification.result}});
}

std::string LogEvent(const std::string& target, const std::string& line) {
  return Dump(Json{{"event", "log"}, {"target", NullIfEmpty(target)}, {"line", line}});
}

namespace {

Json EntryJson(const std::string& target, const SummaryEntry& entry) {
  const ErasureReport& report = entry.report;
  return Json{{"target", target},
              {"serial", NullIfEmpty(report.target.identity.serial)},
              {"model", NullIfEmpty(ModelText(report.target.identity))},
              {"sizeBytes", report.target.sizeBytes},
              {"method", report.methodId},
              {"outcome", OutcomeWord(report.run.outcome)},
              {"reason", NullIfEmpty(report.run.outcome == RunOutcome::Failed ? report.run.failureReason : "")},
              {"verification", report.run.verification.method + ": " + report.run.verification.result},
              {"started", IsoTimeText(report.run.started)},
              {"ended", IsoTimeText(report.run.ended)},
              {"report", NullIfEmpty(entry.reportFile)}};
}

}  // namespace

std::string ResultEvent(const std::string& target, const SummaryEntry& entry) {
  Json json{{"event", "result"}};
  json.update(EntryJson(target, entry));
  return Dump(json);
}

std::string ResultLine(const std::string& target, const SummaryEntry& entry) {
  const RunResult& run = entry.report.run;
  // "E: completed", "disk1: completed"
  std::string line = target + (!target.empty() && target.back() == ':' ? " " : ": ") + OutcomeWord(run.outcome);
  if (run.outcome == RunOutcome::Failed && !run.failureReason.empty()) line += " (" + run.failureReason + ")";
  if (run.startedWriting) line += "; verification " + run.verification.method + ": " + run.verification.result;
  if (!entry.reportFile.empty()) line += "; report " + entry.reportFile;
  return line;
}

std::string SummaryEvent(const std::vector<std::string>& targets, const std::vector<SummaryEntry>& entries,
                         int exitCode, const std::string& summaryFile, const std::string& csvFile) {
  Json list = Json::array();
  for (std::size_t i = 0; i < entries.size() && i < targets.size(); ++i) list.push_back(EntryJson(targets[i], entries[i]));
  return Dump(Json{{"event", "summary"}, {"exitCode", exitCode}, {"targets", list},
                   {"summary", NullIfEmpty(summaryFile)}, {"csv", NullIfEmpty(csvFile)}});
}

std::string ListText(const std::vector<ListRow>& rows) {
  std::string text = "Target  Size        File system  Label / volumes       Model                     Serial          Bus   SSD  Status\n";
  for (const ListRow& row : rows) {
    std::string status = row.system ? "system (refused)" : "";
    if (row.resumable) status += std::string(status.empty() ? "" : ", ") + "resumable";
    text += Padded(row.name, 8) + Padded(row.sizeText, 12) + Padded(row.isDisk ? "-" : row.fileSystem, 13) +
            Padded(row.label, 22) + Padded(row.model, 26) + Padded(row.serial, 16) + Padded(row.bus, 6) +
            Padded(row.solidState.empty() ? "?" : row.solidState, 5) + status;
    while (!text.empty() && text.back() == ' ') text.pop_back();
    text += "\n";
  }
  return text;
}

std::string ListJson(const std::vector<ListRow>& rows) {
  Json volumes = Json::array();
  Json disks = Json::array();
  for (const ListRow& row : rows) {
    Json json{{"target", row.name}, {"sizeBytes", row.sizeBytes}, {"sizeText", row.sizeText}};
    if (!row.isDisk) {
      json["fileSystem"] = NullIfEmpty(row.fileSystem);
      json["label"] = NullIfEmpty(row.label);
      json["disk"] = row.diskNumber < 0 ? Json(nullptr) : Json(row.diskNumber);
    } else {
      json["volumes"] = NullIfEmpty(row.label);
    }
    json["model"] = NullIfEmpty(row.model);
    json["serial"] = NullIfEmpty(row.serial);
    json["bus"] = NullIfEmpty(row.bus);
    json["solidState"] = row.solidState.empty() ? Json(nullptr) : Json(row.solidState == "yes");
    json["system"] = row.system;
    json["resumable"] = row.resumable;
    (row.isDisk ? disks : volumes).push_back(json);
  }
  return Dump(Json{{"volumes", volumes}, {"disks", disks}}) + "\n";
}

}  // namespace cli
