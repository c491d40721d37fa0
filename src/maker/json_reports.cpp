#include "maker/json_reports.h"

#include "maker/json_writer.h"
#include "text/code_page_1252.h"

namespace corvane::maker {

namespace {

std::string Utf8(const std::string& cp1252) {
  return text::Utf16ToUtf8(text::Cp1252ToUtf16(cp1252));
}

void NameList(JsonWriter& json, const std::vector<std::string>& names) {
  json.BeginArray();
  for (const std::string& name : names) json.String(Utf8(name));
  json.EndArray();
}

}  // namespace

std::string MakeSummaryJson(const MakeSummary& summary) {
  JsonWriter json;
  json.BeginObject();
  json.Field("schema", kMakeJsonSchema);
  json.Field("version", summary.version);
  json.Field("up_to_date", summary.up_to_date);
  json.Key("outputs");
  json.BeginObject();
  json.Field("win32", summary.win32_output);
  json.Field("native", summary.native_output);
  json.EndObject();

  json.Key("steps");
  json.BeginArray();
  for (const StepSummary& step : summary.steps) {
    json.BeginObject();
    json.Field("from", step.from);
    json.Field("to", step.to);
    json.Field("updated", step.updated);
    json.Field("added", step.added);
    json.Field("deleted", step.deleted);
    json.Field("unchanged", step.unchanged);
    json.Field("reused", step.reused);
    json.Field("whole", step.whole);
    json.Field("payload_bytes", step.payload_bytes);
    json.Key("updates");
    json.BeginArray();
    for (const StepUpdate& update : step.updates) {
      json.BeginObject();
      json.Field("file", Utf8(update.relative));
      json.Field("kind", update.deletion ? "deletion" : update.whole ? "whole" : "difference");
      json.Field("old_size", update.old_size);
      json.Field("new_size", update.new_size);
      json.Field("payload_bytes", update.payload_bytes);
      json.Field("reused", update.reused);
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
    json.Field("name", Utf8(file.name));
    json.Field("size", file.size);
    json.EndObject();
  }
  json.EndArray();

  json.Key("totals");
  json.BeginObject();
  json.Field("updates_made", summary.made);
  json.Field("updates_reused", summary.reused);
  json.Field("whole_files", summary.whole_files);
  json.Field("payload_items", summary.payload_items);
  json.Field("payload_bytes", summary.payload_bytes);
  json.EndObject();
  json.Key("seconds");
  json.Decimal(summary.seconds);
  json.EndObject();
  return json.text();
}

std::string CheckReportJson(const CheckReport& report) {
  JsonWriter json;
  json.BeginObject();
  json.Field("schema", kCheckJsonSchema);
  json.Field("patch_version", report.patch_version);
  json.Field("app_name", Utf8(report.app_name));
  json.Field("signature", !report.has_key          ? "not-checked"
                          : report.signature_valid ? "valid"
                                                   : "invalid");
  json.Field("file_version", report.file_version);

  json.Key("versions");
  json.BeginArray();
  for (const VersionMatch& v : report.versions) {
    json.BeginObject();
    json.Field("version", v.version);
    json.Field("files", v.files);
    json.Field("matching", v.matching);
    json.Field("missing", v.missing);
    json.Key("differing");
    NameList(json, v.differing);
    json.Field("matches", v.Matches());
    json.EndObject();
  }
  json.EndArray();

  json.Field("installed", report.installed);
  json.Field("verdict", report.up_to_date  ? "up-to-date"
                        : report.patchable ? "patchable"
                                           : "refused");
  json.Key("steps");
  json.BeginArray();
  for (const auto& [step, files] : report.steps) {
    json.BeginObject();
    json.Field("step", step);
    json.Key("files");
    json.BeginArray();
    for (const StepFile& file : files) {
      json.BeginObject();
      json.Field("file", Utf8(file.file));
      json.Field("kind", file.deletion ? "deletion" : "update");
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
