// The report page. One file that needs nothing else: its style inline, no script, no image, no
// address outside itself, so it opens and prints the same anywhere, years later. Every text
// that came from a device, a file system or the log is escaped: a label may hold "<" or "&".
#include <cstdio>

#include "devices/disk_identity.h"
#include "devices/disk_sanitize.h"
#include "report/erasure_report.h"
#include "wipe/methods.h"

namespace {

const char* const kStyle =
    "@page{size:auto;margin:12mm}"
    "body{font:10pt/1.3 Arial,Helvetica,sans-serif;color:#000;margin:6mm auto;max-width:180mm}"
    "h1{font-size:15pt;margin:0 0 2mm}h2{font-size:11pt;margin:3mm 0 1mm;border-bottom:1px solid #888}"
    "table{border-collapse:collapse;width:100%}th{text-align:left;font-weight:normal;color:#444;"
    "width:38mm;vertical-align:top;padding:0 2mm 0 0}td{padding:0;vertical-align:top;white-space:pre-wrap}"
    "ol{margin:0;padding-left:5mm}pre{font:7.5pt/1.2 Consolas,monospace;margin:0;white-space:pre-wrap}"
    ".notice{border:1px solid #000;padding:1mm 2mm;margin-top:2mm}"
    ".headline{border:2px solid #000;padding:1mm 2mm;margin:0 0 2mm;font-weight:bold}"
    ".sign td{border-bottom:1px solid #000;height:8mm}";

std::string Digits(std::uint64_t value, int width) {
  std::string text = std::to_string(value);
  while (static_cast<int>(text.size()) < width) text.insert(text.begin(), '0');
  return text;
}

std::string DateText(const platform::LocalTime& t) {
  return Digits(static_cast<std::uint64_t>(t.year), 4) + "-" + Digits(static_cast<std::uint64_t>(t.month), 2) +
         "-" + Digits(static_cast<std::uint64_t>(t.day), 2);
}

std::string TimeText(const platform::LocalTime& t, const char* separator) {
  return Digits(static_cast<std::uint64_t>(t.hour), 2) + separator + Digits(static_cast<std::uint64_t>(t.minute), 2) +
         separator + Digits(static_cast<std::uint64_t>(t.second), 2);
}

// Days since 1970-01-01 of a Gregorian date: whole years, then the months of the year.
long long DayNumber(const platform::LocalTime& t) {
  static const int kDaysBeforeMonth[] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
  const long long y = t.year - 1;
  const long long leapDays = y / 4 - y / 100 + y / 400;
  const bool leap = (t.year % 4 == 0 && t.year % 100 != 0) || t.year % 400 == 0;
  const int month = t.month >= 1 && t.month <= 12 ? t.month : 1;
  return y * 365 + leapDays + kDaysBeforeMonth[month - 1] + (leap && month > 2 ? 1 : 0) + t.day - 719163;
}

long long SecondsBetween(const platform::LocalTime& from, const platform::LocalTime& to) {
  const auto seconds = [](const platform::LocalTime& t) {
    return DayNumber(t) * 86400 + t.hour * 3600 + t.minute * 60 + t.second;
  };
  return seconds(to) - seconds(from);
}

std::string DurationText(long long seconds) {
  if (seconds < 0) return "unknown";
  return std::to_string(seconds / 3600) + " h " + std::to_string(seconds / 60 % 60) + " min " +
         std::to_string(seconds % 60) + " s";
}

std::string OrUnknown(const std::string& text) { return text.empty() ? "unknown" : text; }

std::string AnswerText(platform::DeviceAnswer answer) {
  switch (answer) {
    case platform::DeviceAnswer::Yes:
      return "yes";
    case platform::DeviceAnswer::No:
      return "no";
    case platform::DeviceAnswer::Unknown:
      break;
  }
  return "unknown";
}

std::string PatternText(const PassPattern& pattern) {
  switch (pattern.kind) {
    case PatternKind::Fixed: {
      char hex[8];
      std::snprintf(hex, sizeof hex, "0x%02X", pattern.fixedByte);
      return std::string(pattern.fixedByte == 0 ? "zeros" : pattern.fixedByte == 0xFF ? "ones" : "the byte") +
             " (" + hex + ")";
    }
    case PatternKind::Drawn:
      return "one byte drawn at random, repeated";
    case PatternKind::Complement:
      return "the complement of the byte before";
    case PatternKind::Random:
      return "random data";
  }
  return "unknown";
}

std::string SpeedText(const PassFacts& pass) {
  const double mib = static_cast<double>(pass.bytesWritten) / kBlockSize;
  char text[96];
  if (pass.milliseconds == 0) {
    std::snprintf(text, sizeof text, "%.1f MB written, too quick to time", mib);
  } else {
    std::snprintf(text, sizeof text, "%.1f MB/s (%.1f MB in %.1f s)", mib * 1000.0 / pass.milliseconds, mib,
                  pass.milliseconds / 1000.0);
  }
  return text;
}

// Builds the page's rows; every value passed in is plain text and escaped here.
class Page {
 public:
  void Heading(const std::string& text) { Close(); html_ += "<h2>" + HtmlEscaped(text) + "</h2><table>"; open_ = true; }
  void Row(const std::string& label, const std::string& value) {
    RowHtml(label, HtmlEscaped(value));
  }
  void RowHtml(const std::string& label, const std::string& valueHtml) {
    html_ += "<tr><th>" + HtmlEscaped(label) + "</th><td>" + valueHtml + "</td></tr>";
  }
  void Raw(const std::string& html) {
    Close();
    html_ += html;
  }
  std::string Text() {
    Close();
    return html_;
  }

 private:
  void Close() {
    if (open_) html_ += "</table>";
    open_ = false;
  }
  std::string html_;
  bool open_ = false;
};

void AddSystem(const ErasureReport& report, Page* page) {
  page->Heading("Tool and computer");
  page->Row("Report ID", OrUnknown(report.reportId));
  page->Row("Tool", "Dunmere " + report.toolVersion);
  page->Row("Computer", OrUnknown(report.computerName));
  page->Row("Windows", OrUnknown(report.windowsVersion));
  page->Row("User", OrUnknown(report.userName));
  for (const auto& field : report.userFields) page->Row(field.first, field.second);
}

// "Size" is what the list showed: for a volume its file system's size, which may end before the
// volume; every pass wrote the device's whole length.
std::string WrittenSizeText(const ErasureReport& report) {
  const std::string written = ThousandsGrouped(report.run.bytesPerPass) + " bytes in every pass (Bytes per pass)";
  if (report.target.isDisk) return written + ": the whole disk";
  if (report.run.resumed) return written + ": the volume's whole length on its device";
  return written + ": the volume's whole length on its device; Size is its file system's size as listed";
}

std::string VolumesText(const RunResult& run) {
  std::string text;
  for (const std::string& volume : run.diskVolumes) text += (text.empty() ? "" : ", ") + volume;
  return text.empty() ? "none lettered" : text;
}

void AddTarget(const ErasureReport& report, Page* page) {
  const ReportTarget& target = report.target;
  const platform::DeviceIdentity& identity = target.identity;
  page->Heading("Target");
  if (target.isDisk) {
    page->Row("Target", "disk " + std::to_string(target.diskNumber) + " (whole disk)");
  } else {
    page->Row("Target", "drive " + target.volumeName);
    page->Row("On disk", target.diskNumber == kUnknownDisk ? "unknown" : std::to_string(target.diskNumber));
  }
  page->Row("Model", OrUnknown(ModelText(identity)));
  page->Row("Serial number", OrUnknown(identity.serial));
  page->Row("Firmware revision", OrUnknown(identity.revision));
  page->Row("Bus", OrUnknown(identity.bus));
  page->Row("Solid-state", AnswerText(identity.solidState));
  page->Row("Size", ThousandsGrouped(target.sizeBytes) + " bytes (" + OrUnknown(target.sizeText) + ")");
  page->Row("Size written", WrittenSizeText(report));
  if (target.isDisk) page->Row("Volumes on it", VolumesText(report.run));
  if (!target.isDisk) {
    const bool resumed = report.run.resumed;
    page->Row("Former file system", !target.fileSystem.empty() ? target.fileSystem : resumed ? "unknown" : "none");
    page->Row("Former label", !resumed          ? (target.label.empty() ? "none" : target.label)
                              : "unknown: the interrupted run this one resumed had overwritten it");
  }
}

// The disk's own erase has no passes: the action it was given and what the samples showed.
void AddSanitize(const ErasureReport& report, Page* page) {
  const SanitizeFacts& sanitize = report.run.sanitize;
  page->Row("Action", sanitize.tried ? std::string(ActionText(sanitize.action)) + ", the disk's own sanitize command"
                                     : "none sent");
  page->Row("Disk size", ThousandsGrouped(report.run.bytesPerPass) + " bytes");
  std::string sampling = "not performed";
  if (sanitize.samples != 0) {
    sampling = ThousandsGrouped(sanitize.samples) + " samples, " + ThousandsGrouped(sanitize.sampledBytes) +
               " bytes, read before and after; " + ThousandsGrouped(sanitize.unchangedSamples) + " held their former content; " +
               ThousandsGrouped(sanitize.constantSamples) + " held one value before and could not show a change";
  }
  page->Row("Sampling", sampling);
}

void AddMethod(const ErasureReport& report, Page* page) {
  const bool known = report.methodId >= 0 && report.methodId < kMethodCount;
  page->Heading("Method");
  page->Row("Method", MethodBoxText(report.methodId) != nullptr ? MethodBoxText(report.methodId) : "unknown");
  if (report.methodId == kSanitizeMethodId) {
    AddSanitize(report, page);
    return;
  }
  if (known) {
    const WipeMethod& method = WipeMethods[report.methodId];
    std::string passes = "<ol>";
    for (int pass = 0; pass < method.passCount; ++pass) passes += "<li>" + HtmlEscaped(PatternText(method.passes[pass])) + "</li>";
    page->RowHtml("Passes", passes + "</ol>");
  }
  const RunResult& run = report.run;
  page->Row("Resumed", run.resumed ? "yes, from pass " + std::to_string(run.firstPass + 1) + " at block " +
                                         std::to_string(run.startBlock)
                                   : "no");
  page->Row("Bytes per pass", ThousandsGrouped(run.bytesPerPass));
}

void AddTime(const ErasureReport& report, Page* page) {
  const RunResult& run = report.run;
  page->Heading("Time");
  page->Row("Started", DateText(run.started) + " " + TimeText(run.started, ":"));
  page->Row("Ended", DateText(run.ended) + " " + TimeText(run.ended, ":") +
                        " (with the verification and the format that followed)");
  page->Row("Duration", DurationText(SecondsBetween(run.started, run.ended)) + " (from Started to Ended)");
  page->Row("Time zone", OrUnknown(report.timeZone));
  page->Row("Passes ended", DateText(run.passesEnded) + " " + TimeText(run.passesEnded, ":"));
  for (const PassFacts& pass : run.passes) {
    std::string label = "Pass " + std::to_string(pass.pass + 1);
    if (pass.firstBlock != 0) label += " from block " + std::to_string(pass.firstBlock);
    if (!pass.completed) label += " (not finished)";
    page->Row(label, SpeedText(pass));
  }
}

std::string ResultText(const RunResult& run) {
  switch (run.outcome) {
    case RunOutcome::Succeeded:
      return "completed";
    case RunOutcome::Cancelled:
      return "cancelled by the user";
    case RunOutcome::Failed:
      break;
  }
  return "failed: " + OrUnknown(run.failureReason);
}

std::string FormatText(const ErasureReport& report) {
  if (report.target.isDisk) return "not applicable (whole disk)";
  if (!report.run.formatAsked) return "no";
  if (!report.run.formatted) return "asked for, but the format failed";
  return "yes, " + OrUnknown(report.formattedWith);
}

void AddResult(const ErasureReport& report, Page* page) {
  const RunResult& run = report.run;
  page->Heading("Result");
  page->Row("Result", ResultText(run));
  page->Row("Not overwritten", NotOverwrittenText(run));
  if (run.earlierBlocks != EarlierBlocks::None) page->Row("Written earlier", EarlierBlocksText(run));
  page->Row("Verification", run.verification.method + ": " + run.verification.result);
  page->Row("Formatted", FormatText(report));
  if (!report.solidStateNotice.empty()) page->Row("Notice", report.solidStateNotice);
  page->Row("NIST SP 800-88", NistLevelText(report.target, run));
  const std::string hidden = HiddenAreasText(report.target);
  if (!hidden.empty()) page->Row("Hidden areas", hidden);
}

void AddLog(const ErasureReport& report, Page* page) {
  std::string lines;
  for (const std::string& line : report.logLines) lines += HtmlEscaped(line) + "\n";
  page->Raw("<h2>Message log</h2><pre>" + lines + "</pre>");
}

void AddSignatures(Page* page) {
  std::string rows;
  for (const char* label : {"Erased by", "Verified by", "Signature", "Date"}) {
    rows += std::string("<tr><th>") + label + "</th><td></td></tr>";
  }
  page->Raw("<h2>Signatures</h2><table class=\"sign\">" + rows + "</table>");
}

}  // namespace

std::string ThousandsGrouped(std::uint64_t value) {
  std::string text = std::to_string(value);
  for (int at = static_cast<int>(text.size()) - 3; at > 0; at -= 3) text.insert(static_cast<std::size_t>(at), ",");
  return text;
}

std::string HtmlEscaped(const std::string& text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&': escaped += "&amp;"; break;
      case '<': escaped += "&lt;"; break;
      case '>': escaped += "&gt;"; break;
      case '"': escaped += "&quot;"; break;
      case '\'': escaped += "&#39;"; break;
      default: escaped += c;
    }
  }
  return escaped;
}

std::string ReportFileName(const platform::LocalTime& at, const ReportTarget& target) {
  return "Dunmere " + DateText(at) + " " + TimeText(at, "-") + " " + ReportTargetName(target) + ".html";
}

std::string ComposeReportHtml(const ErasureReport& report) {
  Page page;
  AddSystem(report, &page);
  AddTarget(report, &page);
  AddMethod(report, &page);
  AddTime(report, &page);
  AddResult(report, &page);
  AddLog(report, &page);
  AddSignatures(&page);
  const std::string title = "Erasure report: " + ReportTargetName(report.target);
  return "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>" + HtmlEscaped(title) +
         "</title><style>" + kStyle + "</style></head><body><h1>" + HtmlEscaped(title) + "</h1><p class=\"headline\">" +
         HtmlEscaped(HeadlineText(report.run)) + "</p>" + page.Text() +
         "</body></html>\n";
}
