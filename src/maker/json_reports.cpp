#include "maker/json_reports.h"

#include "maker/json_writer.h"
#include "pe/code_page_1252.h"

namespace corvane::maker {

namespace {

std::string Utf8(const std::string& cp1252) { return pe::Utf16ToUtf8(pe::Cp1252ToUtf16(cp1252)); }

void NameList(JsonWriter& json, const std::vector<std::string>& names) {
  json.BeginArray();
  for (const std::string& name : names) json.String(Utf8(name));
  json.EndArray();
}

}  // namespace

std::string MakeSummaryJson(const MakeSummary& summary) {
  JsonWriter json;
  json.BeginObject();
  json.Key("schema");
  json.String(kMakeJsonSchema);
  json.Key("version");
  json.String(summary.version);
  json.Key("up_to_date");
  json.Bool(summary.up_to_date);
  json.Key("outputs");
  json.BeginObject();
  json.Key("win32");
  json.String(summary.win32_output);
  json.Key("native");
  json.String(summary.native_output);
  json.EndObject();

  json.Key("steps");
  json.BeginArray();
  for (const StepSummary& step : summary.steps) {
    json.BeginObject();
    json.Key("from");
    json.String(step.from);
    json.Key("to");
    json.String(step.to);
    json.Key("updated");
    json.Number(step.updated);
    json.Key("added");
    json.Number(step.added);
    json.Key("deleted");
    json.Number(step.deleted);
    json.Key("unchanged");
    json.Number(step.unchanged);
    json.Key("reused");
    json.Number(step.reused);
    json.Key("whole");
    json.Number(step.whole);
    json.Key("payload_bytes");
    json.Number(step.payload_bytes);
    json.Key("updates");
    json.BeginArray();
    for (const StepUpdate& update : step.updates) {
      json.BeginObject();
      json.Key("file");
      json.String(Utf8(update.relative));
      json.Key("kind");
      json.String(update.deletion ? "deletion" : update.whole ? "whole" : "difference");
      json.Key("old_size");
      json.Number(update.old_size);
      json.Key("new_size");
      json.Number(update.new_size);
      json.Key("payload_bytes");
      json.Number(update.payload_bytes);
      json.Key("reused");
      json.Bool(update.reused);
      json.EndObject();
    }
    json.EndArray();
    json.EndObject();
  }
  json.EndArray();

  json.Key("whole_files");
  json.BeginArray();
  for (const WholeFileSummary& file : summary.whole) {
    json.BeginObject();
    json.Key("name");
    json.String(Utf8(file.name));
    json.Key("size");
    json.Number(file.size);
    json.EndObject();
  }
  json.EndArray();

  json.Key("totals");
  json.BeginObject();
  json.Key("updates_made");
  json.Number(summary.made);
  json.Key("updates_reused");
  json.Number(summary.reused);
  json.Key("whole_files");
  json.Number(summary.whole_files);
  json.Key("payload_items");
  json.Number(summary.payload_items);
  json.Key("payload_bytes");
  json.Number(summary.payload_bytes);
  json.EndObject();
  json.Key("seconds");
  json.Decimal(summary.seconds);
  json.EndObject();
  return json.text();
}

std::string CheckReportJson(const CheckReport& report) {
  JsonWriter json;
  json.BeginObject();
  json.Key("schema");
  json.String(kCheckJsonSchema);
  json.Key("patch_version");
  json.String(report.patch_version);
  json.Key("app_name");
  json.String(Utf8(report.app_name));
  json.Key("signature");
  json.String(!report.has_key ? "not-checked" : report.signature_valid ? "valid" : "invalid");
  json.Key("file_version");
  json.String(report.file_version);

  json.Key("versions");
  json.BeginArray();
  for (const VersionMatch& v : report.versions) {
    json.BeginObject();
    json.Key("version");
    json.String(v.version);
    json.Key("files");
    json.Number(v.files);
    json.Key("matching");
    json.Number(v.matching);
    json.Key("missing");
    json.Number(v.missing);
    json.Key("differing");
    NameList(json, v.differing);
    json.Key("matches");
    json.Bool(v.Matches());
    json.EndObject();
  }
  json.EndArray();

  json.Key("installed");
  json.String(report.installed);
  json.Key("verdict");
  json.String(report.up_to_date ? "up-to-date" : report.patchable ? "patchable" : "refused");
  json.Key("steps");
  json.BeginArray();
  for (const auto& [step, files] : report.steps) {
    json.BeginObject();
    json.Key("step");
    json.String(step);
    json.Key("files");
    json.BeginArray();
    for (const StepFile& file : files) {
      json.BeginObject();
      json.Key("file");
      json.String(Utf8(file.file));
      json.Key("kind");
      json.String(file.deletion ? "deletion" : "update");
      json.EndObject();
    }
    json.EndArray();
    json.EndObject();
  }
  json.EndArray();
  json.Key("whole_files");
  NameList(json, report.whole_files);
  json.EndObject();
  return json.text();
}

}  // namespace corvane::maker
