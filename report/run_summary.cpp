// A call over several targets: one page with every target's result, for the computer's file,
// and one CSV line per target, for an asset system.
#include <iterator>

#include "devices/disk_identity.h"
#include "report/machine_readable.h"
#include "wipe/methods.h"

namespace {

std::string FileStamp(const platform::LocalTime& at) {
  // "2026-03-02T14:05:09" becomes "2026-03-02 14-05-09", as the report pages are named.
  std::string text = IsoTimeText(at);
  text[10] = ' ';
  for (std::size_t i = 11; i < text.size(); ++i) {
    if (text[i] == ':') text[i] = '-';
  }
  return text;
}

std::string MethodName(int methodId) {
  return MethodBoxText(methodId) != nullptr ? MethodBoxText(methodId) : "unknown";
}

std::string ResultLine(const RunResult& run) {
  if (run.outcome == RunOutcome::Failed && !run.failureReason.empty()) return "failed: " + run.failureReason;
  return OutcomeWord(run.outcome);
}

std::string VerificationLine(const VerificationFacts& verification) {
  return verification.method + ": " + verification.result;
}

// A field in double quotes when it holds a separator, a quote or a line end; quotes doubled.
std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

std::string TargetText(const ReportTarget& target) { return ReportTargetName(target); }

}  // namespace

std::string SummaryFileName(const platform::LocalTime& at) { return "Dunmere " + FileStamp(at) + " summary.html"; }

std::string SummaryCsvFileName(const platform::LocalTime& at) { return "Dunmere " + FileStamp(at) + " summary.csv"; }

std::string ComposeSummaryHtml(const platform::LocalTime& at, const std::vector<SummaryEntry>& entries) {
  std::string computer = entries.empty() ? std::string() : entries[0].report.computerName;
  std::string html =
      "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>Erasure summary</title><style>"
      "@page{size:landscape;margin:10mm}body{font:9pt/1.3 Arial,Helvetica,sans-serif;color:#000}"
      "h1{font-size:14pt;margin:0 0 2mm}table{border-collapse:collapse;width:100%}"
      "th,td{border:1px solid #888;padding:1mm;text-align:left;vertical-align:top}"
      "</style></head><body><h1>Erasure summary</h1><p>Computer: " +
      HtmlEscaped(computer.empty() ? "unknown" : computer) + " &middot; " + HtmlEscaped(IsoTimeText(at)) + " &middot; " +
      std::to_string(entries.size()) + " targets</p>";
  if (!entries.empty() && !entries[0].report.userFields.empty()) {
    html += "<p>";
    for (const auto& field : entries[0].report.userFields) {
      html += HtmlEscaped(field.first) + ": " + HtmlEscaped(field.second) + "<br>";
    }
    html += "</p>";
  }
  html += "<table><tr><th>Target</th><th>Model</th><th>Serial</th><th>Size</th><th>Method</th><th>Result</th>"
          "<th>Verification</th><th>Started</th><th>Ended</th><th>Report</th></tr>";
  for (const SummaryEntry& entry : entries) {
    const ErasureReport& report = entry.report;
    const platform::DeviceIdentity& identity = report.target.identity;
    html += "<tr>";
    for (const std::string& cell :
         {TargetText(report.target), ModelText(identity), identity.serial, report.target.sizeText,
          MethodName(report.methodId), ResultLine(report.run), VerificationLine(report.run.verification),
          IsoTimeText(report.run.started), IsoTimeText(report.run.ended), entry.reportFile}) {
      html += "<td>" + HtmlEscaped(cell) + "</td>";
    }
    html += "</tr>";
  }
  return html + "</table></body></html>\n";
}

std::string ComposeSummaryCsv(const std::vector<SummaryEntry>& entries) {
  std::string csv = "target,serial,model,size_bytes,method,result,verification,started,ended,report\r\n";
  for (const SummaryEntry& entry : entries) {
    const ErasureReport& report = entry.report;
    const platform::DeviceIdentity& identity = report.target.identity;
    const std::string fields[] = {TargetText(report.target),
                                  identity.serial,
                                  ModelText(identity),
                                  std::to_string(report.target.sizeBytes),
                                  MethodName(report.methodId),
                                  ResultLine(report.run),
                                  VerificationLine(report.run.verification),
                                  IsoTimeText(report.run.started),
                                  IsoTimeText(report.run.ended),
                                  entry.reportFile};
    for (std::size_t i = 0; i < std::size(fields); ++i) csv += (i == 0 ? "" : ",") + CsvField(fields[i]);
    csv += "\r\n";
  }
  return csv;
}
