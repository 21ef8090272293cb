#pragma once
// The results in forms another program reads: beside each report page a .json with the same
// facts, and for a call over several targets one summary page and one CSV line per target.
// Built from values only, like the page.

#include <string>
#include <vector>

#include "report/erasure_report.h"

// "2026-03-02T14:05:09", the local time as ISO 8601 without zone.
std::string IsoTimeText(const platform::LocalTime& at);

// The report of one run as JSON (UTF-8, one object): tool, computer, the user's fields, target
// with its identity, method and passes, times and speeds, result and reason, blocks not
// overwritten, verification, format and the log lines.
std::string ComposeReportJson(const ErasureReport& report);
// The report page's file name with ".json" in place of ".html".
std::string ReportJsonFileName(const std::string& htmlFileName);

// One target of a call over several: its report (as far as it got) and the report page's file
// name (empty when none was written).
struct SummaryEntry {
  ErasureReport report;
  std::string reportFile;
};

// "Dunmere 2026-03-02 14-05-09 summary.html" and ".csv".
std::string SummaryFileName(const platform::LocalTime& at);
std::string SummaryCsvFileName(const platform::LocalTime& at);
// Every target's result on one printable page.
std::string ComposeSummaryHtml(const platform::LocalTime& at, const std::vector<SummaryEntry>& entries);
// A header line, then one line per target: target, serial, model, size, method, result,
// verification, start, end, report file (RFC 4180 quoting, CRLF line ends).
std::string ComposeSummaryCsv(const std::vector<SummaryEntry>& entries);
// "completed", "cancelled" or "failed", as the CSV and the JSON say it.
std::string OutcomeWord(RunOutcome outcome);
