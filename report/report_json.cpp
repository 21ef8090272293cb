// The report of one run as JSON: the same facts as the page, in fields a program can read.
#include <cstdio>

#include <nlohmann/json.hpp>

#include "devices/disk_identity.h"
#include "devices/disk_sanitize.h"
#include "report/machine_readable.h"
#include "wipe/methods.h"

namespace {

using Json = nlohmann::ordered_json;

// Unknown texts are null rather than empty, so a reader tells "unknown" from "".
Json TextOrNull(const std::string& text) { return text.empty() ? Json(nullptr) : Json(text); }

Json AnswerJson(platform::DeviceAnswer answer) {
  if (answer == platform::DeviceAnswer::Unknown) return nullptr;
  return answer == platform::DeviceAnswer::Yes;
}

const char* PatternKindName(PatternKind kind) {
  switch (kind) {
    case PatternKind::Fixed: return "fixed";
    case PatternKind::Drawn: return "drawn byte";
    case PatternKind::Complement: return "complement";
    case PatternKind::Random: return "random";
  }
  return "unknown";
}

Json TargetJson(const ReportTarget& target, bool resumed) {
  const platform::DeviceIdentity& identity = target.identity;
  Json json;
  json["kind"] = target.isDisk ? "disk" : "volume";
  json["volume"] = target.isDisk ? Json(nullptr) : Json(target.volumeName);
  json["diskNumber"] = target.diskNumber == kUnknownDisk ? Json(nullptr) : Json(target.diskNumber);
  json["model"] = TextOrNull(ModelText(identity));
  json["serial"] = TextOrNull(identity.serial);
  json["firmwareRevision"] = TextOrNull(identity.revision);
  json["bus"] = TextOrNull(identity.bus);
  json["solidState"] = AnswerJson(identity.solidState);
  json["sizeBytes"] = target.sizeBytes;
  json["sizeText"] = TextOrNull(target.sizeText);
  json["sizeIs"] = target.isDisk ? "the disk's length" : "the volume's size as listed (its file system's)";
  if (!target.isDisk) {
    json["formerFileSystem"] = TextOrNull(target.fileSystem);
    json["formerLabel"] = TextOrNull(target.label);
    json["formerLabelKnown"] = !resumed;
  }
  return json;
}

// A whole disk's hidden areas as found ("found", "none", "none (NVMe)", "not checked") and the
// sectors found; null for a volume.
Json HiddenAreasJson(const ReportTarget& target) {
  if (!target.isDisk) return nullptr;
  const char* finding = "not checked";
  switch (target.abilities.hiddenArea) {
    case HiddenArea::NoneOnNvme: finding = "none (NVMe)"; break;
    case HiddenArea::None: finding = "none"; break;
    case HiddenArea::Found: finding = "found"; break;
    case HiddenArea::NotChecked: break;
  }
  const bool counted = target.abilities.hiddenArea == HiddenArea::Found && target.abilities.hiddenSectors != 0;
  return {{"finding", finding}, {"sectors", counted ? Json(target.abilities.hiddenSectors) : Json(nullptr)},
          {"text", HiddenAreasText(target)}};
}

Json MethodJson(const ErasureReport& report) {
  const bool known = report.methodId >= 0 && report.methodId < kMethodCount;
  Json json;
  json["id"] = report.methodId;
  json["name"] = MethodBoxText(report.methodId) != nullptr ? Json(MethodBoxText(report.methodId)) : Json(nullptr);
  if (report.methodId == kSanitizeMethodId) {
    const SanitizeFacts& sanitize = report.run.sanitize;
    Json facts;
    facts["action"] = sanitize.tried ? Json(ActionText(sanitize.action)) : Json(nullptr);
    facts["accepted"] = sanitize.sent;
    facts["error"] = sanitize.error;
    facts["finished"] = sanitize.finished;
    facts["samples"] = sanitize.samples;
    facts["sampledBytes"] = sanitize.sampledBytes;
    facts["constantSamples"] = sanitize.constantSamples;
    facts["unchangedSamples"] = sanitize.unchangedSamples;
    json["sanitize"] = facts;
  }
  Json passes = Json::array();
  if (known) {
    const WipeMethod& method = WipeMethods[report.methodId];
    for (int pass = 0; pass < method.passCount; ++pass) {
      Json pattern;
      pattern["pattern"] = PatternKindName(method.passes[pass].kind);
      if (method.passes[pass].kind == PatternKind::Fixed) pattern["byte"] = method.passes[pass].fixedByte;
      passes.push_back(pattern);
    }
  }
  json["passes"] = passes;
  return json;
}

Json PassJson(const PassFacts& pass) {
  Json json;
  json["pass"] = pass.pass + 1;
  json["firstBlock"] = pass.firstBlock;
  json["completed"] = pass.completed;
  json["bytesWritten"] = pass.bytesWritten;
  json["milliseconds"] = pass.milliseconds;
  json["mibPerSecond"] = pass.milliseconds == 0
                             ? Json(nullptr)
                             : Json(static_cast<double>(pass.bytesWritten) / kBlockSize * 1000.0 / pass.milliseconds);
  return json;
}

Json ResultJson(const ErasureReport& report) {
  const RunResult& run = report.run;
  Json json;
  json["outcome"] = OutcomeWord(run.outcome);
  json["reason"] = run.outcome == RunOutcome::Failed ? TextOrNull(run.failureReason) : Json(nullptr);
  json["notOverwrittenBytes"] = run.unwrittenBytes;
  json["notOverwrittenBlocks"] = run.unwrittenBlocks;
  const NeverReached range = NeverReachedOf(run);
  json["neverReached"] = range.any ? Json({{"firstBlock", range.firstBlock},
                                           {"lastBlock", range.endBlock - 1},
                                           {"tail", range.tail},
                                           {"bytes", range.bytes}})
                                   : Json(nullptr);
  json["readBackWrong"] = run.wrongBytes == 0 ? Json(nullptr)
                                              : Json({{"blocks", run.wrongBlocks}, {"bytes", run.wrongBytes}});
  json["notOverwritten"] = NotOverwrittenText(run);
  json["writtenEarlier"] = run.earlierBlocks == EarlierBlocks::None ? Json(nullptr) : Json(EarlierBlocksText(run));
  json["verification"] = {{"method", run.verification.method}, {"result", run.verification.result}};
  json["sizeWrittenPerPass"] = run.bytesPerPass;
  Json format;
  format["asked"] = !report.target.isDisk && run.formatAsked;
  format["formatted"] = !report.target.isDisk && run.formatted;
  format["fileSystem"] = TextOrNull(report.formattedWith);
  json["format"] = format;
  json["notice"] = TextOrNull(report.solidStateNotice);
  json["nistLevel"] = NistLevelText(report.target, run);
  json["hiddenAreas"] = HiddenAreasJson(report.target);
  return json;
}

}  // namespace

std::string IsoTimeText(const platform::LocalTime& at) {
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", at.year, at.month, at.day, at.hour, at.minute,
                at.second);
  return text;
}

std::string OutcomeWord(RunOutcome outcome) {
  switch (outcome) {
    case RunOutcome::Succeeded: return "completed";
    case RunOutcome::Cancelled: return "cancelled";
    case RunOutcome::Failed: break;
  }
  return "failed";
}

std::string ComposeReportJson(const ErasureReport& report) {
  const RunResult& run = report.run;
  Json json;
  json["reportId"] = TextOrNull(report.reportId);
  json["headline"] = HeadlineText(run);
  json["tool"] = {{"name", "Dunmere"}, {"version", report.toolVersion}};
  json["computer"] = {{"name", TextOrNull(report.computerName)},
                      {"windows", TextOrNull(report.windowsVersion)},
                      {"user", TextOrNull(report.userName)}};
  Json fields = Json::array();
  for (const auto& field : report.userFields) fields.push_back({{"name", field.first}, {"value", field.second}});
  json["fields"] = fields;
  json["target"] = TargetJson(report.target, run.resumed);
  if (report.target.isDisk) json["target"]["volumes"] = run.diskVolumes;
  json["method"] = MethodJson(report);
  json["resumed"] = run.resumed ? Json({{"pass", run.firstPass + 1}, {"block", run.startBlock}}) : Json(nullptr);
  json["bytesPerPass"] = run.bytesPerPass;
  json["started"] = IsoTimeText(run.started);
  json["ended"] = IsoTimeText(run.ended);
  json["passesEnded"] = IsoTimeText(run.passesEnded);
  json["timeZone"] = TextOrNull(report.timeZone);
  Json passes = Json::array();
  for (const PassFacts& pass : run.passes) passes.push_back(PassJson(pass));
  json["passes"] = passes;
  json["result"] = ResultJson(report);
  json["log"] = report.logLines;
  // A label or log line from a device may hold bytes that are not UTF-8: they become U+FFFD
  // rather than making the whole report unwritable.
  return json.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

std::string ReportJsonFileName(const std::string& htmlFileName) {
  const std::string extension = ".html";
  if (htmlFileName.size() >= extension.size() &&
      htmlFileName.compare(htmlFileName.size() - extension.size(), extension.size(), extension) == 0) {
    return htmlFileName.substr(0, htmlFileName.size() - extension.size()) + ".json";
  }
  return htmlFileName + ".json";
}
