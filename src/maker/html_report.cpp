#include "maker/html_report.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <vector>

#include "maker/json_reports.h"
#include "text/code_page_1252.h"

namespace corvane::maker {

namespace {

// Text of the page: UTF-8 (names come in code page 1252), with the
// characters HTML gives a meaning escaped.
std::string Html(const std::string& cp1252) {
  const std::string utf8 = text::Utf16ToUtf8(text::Cp1252ToUtf16(cp1252));
  std::string out;
  for (char c : utf8) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string Number(uint64_t value) {
  char text[32];
  std::snprintf(text, sizeof text, "%" PRIu64, value);
  return text;
}

// "12.5%" of the patch's payload.
std::string Share(uint64_t part, uint64_t whole) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f%%",
                whole > 0 ? 100.0 * static_cast<double>(part) / static_cast<double>(whole) : 0.0);
  return text;
}

struct Item {
  std::string name;  // as the payload names it
  std::string kind;
  uint64_t bytes = 0;
};

constexpr const char kStyle[] = R"(
body { font: 14px/1.4 system-ui, sans-serif; margin: 2em; color: #222; }
h1 { font-size: 1.5em; } h2 { font-size: 1.2em; margin-top: 1.5em; }
table { border-collapse: collapse; margin: .5em 0; }
th, td { padding: .2em .8em; text-align: left; border-bottom: 1px solid #ddd; }
td.n, th.n { text-align: right; font-variant-numeric: tabular-nums; }
th { cursor: pointer; background: #f4f4f4; }
.bar { display: flex; align-items: center; margin: .15em 0; }
.bar span.label { width: 22em; overflow: hidden; text-overflow: ellipsis; white-space: nowrap; }
.bar span.fill { height: 1em; background: #4a7bd0; margin: 0 .5em; }
.kind-whole-file .fill { background: #d08a4a; }
.kind-deletion .fill { background: #999; }
ul.checks li { margin: .2em 0; }
)";

// Sorting by a click on a column head; the page marks itself ready when the
// script ran to its end (a test reads that mark).
constexpr const char kScript[] = R"(
(function () {
  var data = JSON.parse(document.getElementById('make-data').textContent);
  document.querySelectorAll('table.sortable').forEach(function (table) {
    table.querySelectorAll('th').forEach(function (head, column) {
      head.addEventListener('click', function () {
        var body = table.tBodies[0];
        var rows = Array.prototype.slice.call(body.rows);
        var numeric = head.classList.contains('n');
        var down = head.dataset.down !== '1';
        rows.sort(function (a, b) {
          var x = a.cells[column].dataset.v || a.cells[column].textContent;
          var y = b.cells[column].dataset.v || b.cells[column].textContent;
          var order = numeric ? Number(x) - Number(y) : x.localeCompare(y);
          return down ? -order : order;
        });
        head.dataset.down = down ? '1' : '0';
        rows.forEach(function (row) { body.appendChild(row); });
      });
    });
  });
  var total = data.totals.payload_bytes;
  document.getElementById('check-total').textContent =
      total === Number(document.getElementById('total-payload-bytes').dataset.v) ? 'agree' : 'DIFFER';
  document.body.dataset.ready = '1';
})();
)";

}  // namespace

std::string MakeReportHtml(const MakeSummary& summary) {
  const uint64_t total = summary.payload_bytes;
  std::vector<Item> items;
  for (const StepSummary& step : summary.steps) {
    for (const StepUpdate& u : step.updates) {
      items.push_back({step.from + "-" + step.to + "\\" + u.relative + ".upd",
                       u.deletion ? "deletion" : (u.whole ? "whole" : "difference"),
                       u.payload_bytes});
    }
  }
  for (const WholeFileSummary& file : summary.whole) {
    items.push_back({file.name, "whole-file", file.size});
  }
  std::stable_sort(items.begin(), items.end(),
                   [](const Item& a, const Item& b) { return a.bytes > b.bytes; });
  const uint64_t largest = items.empty() ? 0 : items.front().bytes;

  std::string page;
  page += "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n";
  page += "<title>Patch " + Html(summary.version) + ": where the bytes go</title>\n";
  page += "<style>" + std::string(kStyle) + "</style>\n</head>\n<body>\n";
  page += "<h1>Patch to version " + Html(summary.version) + "</h1>\n";

  page += "<h2>Totals</h2>\n<table id=\"totals\">\n";
  auto total_row = [&](const char* id, const char* label, uint64_t value) {
    page += "<tr><th>" + std::string(label) + "</th><td class=\"n\" id=\"" + id + "\" data-v=\"" +
            Number(value) + "\">" + Number(value) + "</td></tr>\n";
  };
  total_row("total-payload-bytes", "payload bytes", summary.payload_bytes);
  total_row("total-payload-items", "payload items", static_cast<uint64_t>(summary.payload_items));
  total_row("total-updates-made", "update files made", static_cast<uint64_t>(summary.made));
  total_row("total-updates-reused", "update files from the cache",
            static_cast<uint64_t>(summary.reused));
  total_row("total-whole-files", "whole files", static_cast<uint64_t>(summary.whole_files));
  page +=
      "<tr><th>the embedded data and the table</th><td id=\"check-total\">not checked "
      "(no script)</td></tr>\n</table>\n";

  page += "<h2>Where the bytes go, largest first</h2>\n<div id=\"bars\">\n";
  for (const Item& item : items) {
    const double width =
        largest > 0 ? 30.0 * static_cast<double>(item.bytes) / static_cast<double>(largest) : 0.0;
    char style[48];
    std::snprintf(style, sizeof style, "width:%.2fem", width);
    page += "<div class=\"bar kind-" + item.kind + "\"><span class=\"label\" title=\"" +
            Html(item.name) + "\">" + Html(item.name) + "</span><span class=\"fill\" style=\"" +
            style + "\"></span><span>" + Number(item.bytes) + " B, " + Share(item.bytes, total) +
            "</span></div>\n";
  }
  page += "</div>\n";

  for (const StepSummary& step : summary.steps) {
    page += "<h2>Step " + Html(step.from) + " to " + Html(step.to) + "</h2>\n";
    page += "<p>" + std::to_string(step.updated) + " updated, " + std::to_string(step.added) +
            " added (whole), " + std::to_string(step.deleted) + " deleted, " +
            std::to_string(step.unchanged) + " unchanged; " + Number(step.payload_bytes) +
            " bytes of updates (" + Share(step.payload_bytes, total) + " of the patch).</p>\n";
    page +=
        "<table class=\"sortable step\">\n<thead><tr><th>file</th><th>update</th>"
        "<th class=\"n\">old size</th><th class=\"n\">new size</th>"
        "<th class=\"n\">payload bytes</th><th class=\"n\">share</th></tr></thead>\n<tbody>\n";
    for (const StepUpdate& u : step.updates) {
      const char* kind = u.deletion ? "deletion" : (u.whole ? "new file whole" : "difference");
      page += "<tr><td>" + Html(u.relative) + "</td><td>" + kind + (u.reused ? " (cached)" : "") +
              "</td><td class=\"n\">" + Number(u.old_size) + "</td><td class=\"n\">" +
              Number(u.new_size) + "</td><td class=\"n\">" + Number(u.payload_bytes) +
              "</td><td class=\"n\" data-v=\"" + Number(u.payload_bytes) + "\">" +
              Share(u.payload_bytes, total) + "</td></tr>\n";
    }
    page += "</tbody>\n</table>\n";
  }

  page +=
      "<h2>Whole files</h2>\n<table class=\"sortable\" id=\"whole\">\n<thead><tr><th>payload "
      "name</th><th class=\"n\">size</th><th class=\"n\">share</th></tr></thead>\n<tbody>\n";
  for (const WholeFileSummary& file : summary.whole) {
    page += "<tr><td>" + Html(file.name) + "</td><td class=\"n\">" + Number(file.size) +
            "</td><td class=\"n\" data-v=\"" + Number(file.size) + "\">" + Share(file.size, total) +
            "</td></tr>\n";
  }
  page += "</tbody>\n</table>\n";

  page +=
      "<h2>Checks this make ran</h2>\n<ul class=\"checks\">\n"
      "<li>The manifest against what the patcher reads (keys, kinds, editions).</li>\n"
      "<li>Every name: code page 1252, a safe Windows file name, within the patcher's "
      "path limits.</li>\n"
      "<li>Every version folder: its game executable's FileVersion is its version.</li>\n"
      "<li>Every update, made or taken from the cache, applied to its old file: the result "
      "has the new file's digest.</li>\n"
      "<li>Every payload item listed in the manifest with its size and SHA-256 before "
      "signing.</li>\n"
      "</ul>\n";

  // The make document, for scripts that read the page. A "<" in it could end
  // the script element ("</script>") or change how it is parsed ("<!--"):
  // each is written as JSON's "\u003c", which reads back the same.
  std::string json;
  for (char c : MakeSummaryJson(summary)) {
    if (c == '<') {
      json += "\\u003c";
    } else {
      json += c;
    }
  }
  page += "<script type=\"application/json\" id=\"make-data\">\n" + json + "</script>\n";
  page += "<script>" + std::string(kScript) + "</script>\n</body>\n</html>\n";
  return page;
}

}  // namespace corvane::maker
