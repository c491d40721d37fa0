#include "maker/manifest_compile.h"

#include <cctype>
#include <cstdio>

#include "foundation/report_capture.h"
#include "foundation/whole_file.h"
#include "param/entry_handle.h"
#include "param/param_array.h"
#include "param/param_file.h"
#include "param/text/param_text_load.h"
#include "run/version_detection.h"
#include "stream/qo_stream.h"
#include "text/code_page_1252.h"

namespace corvane::maker {

namespace {

enum class Kind { kText, kVersion, kInt, kArray, kClass };

struct KeyRule {
  const char* name;
  Kind kind;
  bool strict;  // the patcher reads it strictly: it must be there
};

const KeyRule kTopKeys[] = {
    {"configApp", Kind::kText, true},
    {"displayName", Kind::kText, true},
    {"appName", Kind::kText, true},
    {"version", Kind::kVersion, true},
    {"name", Kind::kText, false},
    {"requiredForAddons", Kind::kVersion, false},
    {"requiredForPatch", Kind::kVersion, false},
    {"isPatch", Kind::kInt, true},
    {"Distributions", Kind::kClass, false},
    {"WhatDistribution", Kind::kClass, false},
    {"UpdateRegistry", Kind::kClass, false},
};
// "name" of a distribution is strict only for scope above 0 (checked apart).
const KeyRule kDistributionKeys[] = {
    {"scope", Kind::kInt, true}, {"parent", Kind::kText, true}, {"name", Kind::kText, false}};
const KeyRule kDetectionKeys[] = {
    {"file", Kind::kText, true}, {"crc", Kind::kInt, true}, {"distributions", Kind::kArray, true}};
const KeyRule kRegistryKeys[] = {{"distributions", Kind::kArray, false},
                                 {"registryUser", Kind::kInt, true},
                                 {"registryPath", Kind::kText, true},
                                 {"registryName", Kind::kText, true},
                                 {"registryValue", Kind::kText, true}};

std::string TextOf(const RString& text) { return text.Data() ? text.Data() : ""; }

bool SameNoCase(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b) {
    if (std::tolower(static_cast<unsigned char>(*a)) !=
        std::tolower(static_cast<unsigned char>(*b))) {
      return false;
    }
  }
  return *a == *b;
}

const char* KindText(Kind kind) {
  switch (kind) {
    case Kind::kText:
      return "a quoted text";
    case Kind::kVersion:
      return "a quoted version text such as \"1.02\"";
    case Kind::kInt:
      return "an integer";
    case Kind::kArray:
      return "an array (key[] = {...})";
    case Kind::kClass:
      return "a class";
  }
  return "";
}

bool HasKind(const ParamEntry& entry, Kind kind) {
  switch (kind) {
    case Kind::kText:
      return entry.IsTextValue();
    case Kind::kVersion: {
      if (!entry.IsTextValue()) return false;
      const std::string text = TextOf(entry.GetText());
      const char* t = text.c_str();
      const size_t n = text.size();
      size_t dot = 0;
      while (dot < n && std::isdigit(static_cast<unsigned char>(t[dot]))) ++dot;
      return dot > 0 && dot + 3 == n && t[dot] == '.' &&
             std::isdigit(static_cast<unsigned char>(t[dot + 1])) &&
             std::isdigit(static_cast<unsigned char>(t[dot + 2]));
    }
    case Kind::kInt:
      return entry.IsIntValue();
    case Kind::kArray:
      return entry.IsArray();
    case Kind::kClass:
      return entry.IsClass();
  }
  return false;
}

class Checker {
 public:
  Checker(std::string file, std::string text) : file_(std::move(file)), text_(std::move(text)) {}

  // Checks the entries of `cls` (defined at `line`, 0 for the root) against
  // `rules`. `where` names the class in messages.
  template <size_t N>
  bool CheckClass(const ParamEntry& cls, const KeyRule (&rules)[N], const std::string& where,
                  int line) {
    for (int i = 0; i < cls.GetEntryCount(); ++i) {
      EntryHandle entry = cls.GetEntry(i);
      if (!entry) continue;
      const KeyRule* rule = nullptr;
      for (const KeyRule& r : rules) {
        if (SameNoCase(r.name, entry->GetName())) rule = &r;
      }
      const int at = FindDefinitionLine(text_, entry->GetName(), entry->IsClass(), line);
      if (!rule) {
        // Classes inside the three tables are their rows; anything else is a
        // key the patcher never reads.
        return Fail(at, "unknown key \"" + std::string(entry->GetName()) + "\"" + where +
                            " (the patcher does not read it; misspelt?)");
      }
      if (!HasKind(*entry, rule->kind)) {
        return Fail(
            at, "\"" + std::string(rule->name) + "\"" + where + " must be " + KindText(rule->kind));
      }
    }
    for (const KeyRule& r : rules) {
      if (r.strict && !cls.FindEntry(r.name)) {
        return Fail(line, "missing key \"" + std::string(r.name) + "\"" + where +
                              " (the patcher reads it and would take it as empty)");
      }
    }
    return true;
  }

  // Every class entry of a table class checked with `rules`.
  template <size_t N>
  bool CheckTable(const ParamEntry& root, const char* table, const KeyRule (&rules)[N],
                  std::vector<std::string>* names) {
    EntryHandle cls = root.FindEntry(table);
    if (!cls || !cls->IsClass()) return true;
    const int table_line = FindDefinitionLine(text_, table, true);
    for (int i = 0; i < cls->GetEntryCount(); ++i) {
      EntryHandle row = cls->GetEntry(i);
      if (!row || !row->IsClass()) continue;
      const int line = FindDefinitionLine(text_, row->GetName(), true, table_line);
      const std::string where = std::string(" in class ") + table + "/" + row->GetName();
      if (!CheckClass(*row, rules, where, line)) return false;
      if (names) names->push_back(row->GetName());
      if (std::string(table) == "Distributions") {
        EntryHandle scope = row->FindEntry("scope");
        if (scope && scope->GetInt() > 0 && !row->FindEntry("name")) {
          return Fail(line, "missing key \"name\"" + where +
                                " (read for every distribution with scope above 0)");
        }
      }
    }
    return true;
  }

  bool Fail(int line, const std::string& what) {
    char head[64] = "";
    if (line > 0) std::snprintf(head, sizeof head, ", line %d", line);
    error_ = file_ + head + ": " + what;
    return false;
  }

  const std::string& error() const { return error_; }

 private:
  std::string file_;
  std::string text_;
  std::string error_;
};

}  // namespace

int FindDefinitionLine(const std::string& text, const std::string& key, bool as_class,
                       int from_line) {
  int line = 1;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    if (line > from_line) {
      std::string_view l(text.data() + pos, end - pos);
      size_t i = 0;
      auto skip = [&] {
        while (i < l.size() && std::isspace(static_cast<unsigned char>(l[i]))) ++i;
      };
      auto word = [&](std::string_view w) {
        if (l.size() - i < w.size()) return false;
        for (size_t k = 0; k < w.size(); ++k) {
          if (std::tolower(static_cast<unsigned char>(l[i + k])) !=
              std::tolower(static_cast<unsigned char>(w[k]))) {
            return false;
          }
        }
        size_t after = i + w.size();
        if (after < l.size() &&
            (std::isalnum(static_cast<unsigned char>(l[after])) || l[after] == '_'))
          return false;
        i = after;
        return true;
      };
      // A line may hold several definitions ("class A { x = 1; };"): try
      // every position that starts a word.
      for (size_t start = 0; start < l.size(); ++start) {
        if (start > 0 &&
            (std::isalnum(static_cast<unsigned char>(l[start - 1])) || l[start - 1] == '_'))
          continue;
        i = start;
        if (as_class) {
          if (!word("class")) continue;
          skip();
          if (word(key)) return line;
        } else {
          if (!word(key)) continue;
          skip();
          if (i + 1 < l.size() && l[i] == '[') {
            ++i;
            skip();
            if (i < l.size() && l[i] == ']') ++i;
            skip();
          }
          if (i < l.size() && l[i] == '=') return line;
        }
      }
    }
    pos = end + 1;
    ++line;
  }
  return 0;
}

namespace {

// The patcher shows the manifest's texts through the ANSI calls: they are
// written in code page 1252, converted once from the project's UTF-8 here.
// A text the code page cannot hold is refused with its entry's line.
Result ConvertTexts(ParamEntry& owner, const std::string& path, const std::string& source) {
  auto refuse = [&](const char* name, const std::string& value, const std::string& offending) {
    const int line = FindDefinitionLine(source, name, false);
    return Result::Failure(
        ErrorCode::kInvalidInput,
        path + (line > 0 ? ", line " + std::to_string(line) : std::string()) + ": the text of \"" +
            name + "\" holds \"" + offending +
            "\", which code page 1252 (the patcher's texts) cannot hold: " + value);
  };
  for (int i = 0; i < owner.GetEntryCount(); ++i) {
    EntryHandle handle = owner.GetEntry(i);
    if (!handle) continue;
    ParamEntry& entry = *handle;
    std::string converted, offending;
    if (entry.IsClass()) {
      if (Result failed = ConvertTexts(entry, path, source); !failed.ok()) return failed;
    } else if (entry.IsTextValue()) {
      const std::string value = TextOf(entry.GetRawText());
      if (!text::Utf8ToCp1252Exact(value, &converted, &offending))
        return refuse(entry.GetName(), value, offending);
      if (converted != value) entry.SetText(converted.c_str());
    } else if (entry.IsArray()) {
      for (int k = 0; k < entry.GetSize(); ++k) {
        const IParamArrayValue& item = entry.GetItem(k);
        const std::string value = TextOf(item.GetRawText());
        if (!item.IsArray() && !item.IsTextValue()) continue;
        if (item.IsArray()) {
          // Nested arrays hold no texts the patcher shows; they must be
          // plain ASCII so that nothing is left in UTF-8.
          for (int n = 0; n < item.GetItemCount(); ++n) {
            const std::string inner = TextOf(item.GetItem(n).GetRawText());
            for (char c : inner) {
              if (static_cast<unsigned char>(c) >= 0x80)
                return refuse(entry.GetName(), inner, std::string(1, c));
            }
          }
          continue;
        }
        if (!text::Utf8ToCp1252Exact(value, &converted, &offending))
          return refuse(entry.GetName(), value, offending);
        if (converted != value) entry.SetValue(k, converted.c_str());
      }
    }
  }
  return Result();
}

}  // namespace

Result CompileManifest(const std::string& path, CompiledManifest* manifest) {
  std::string text;
  if (!ReadWholeFile(path, &text)) {
    return Result::Failure(ErrorCode::kReadFailed, path + ": cannot read the manifest");
  }

  ParamFile file;
  {
    ScopedReportCapture capture;
    // Through the preprocessor, as "param compile" reads it (the built-in
    // one passes the text on unchanged: a manifest has no comments).
    const int code = ParamParseFile(file, path.c_str());
    if (code != 0) {
      std::string messages;
      for (const auto& report : capture.Reports()) {
        if (report.slot == ReportSlot::kLog) continue;
        if (!messages.empty()) messages += "\n";
        messages += report.text;
      }
      return Result::Failure(ErrorCode::kInvalidInput,
                             messages.empty() ? path + ": syntax error" : messages);
    }
  }

  Checker checker(path, text);
  bool ok =
      checker.CheckClass(file, kTopKeys, "", 0) &&
      checker.CheckTable(file, "Distributions", kDistributionKeys, &manifest->distributions) &&
      checker.CheckTable(file, "WhatDistribution", kDetectionKeys, nullptr) &&
      checker.CheckTable(file, "UpdateRegistry", kRegistryKeys, nullptr);
  if (!ok) {
    return Result::Failure(ErrorCode::kInvalidInput, checker.error());
  }
  if (Result failed = ConvertTexts(file, path, text); !failed.ok()) return failed;
  manifest->version = TextOf(file.FindEntry("version")->GetText());
  manifest->app_name = TextOf(file.FindEntry("appName")->GetText());
  manifest->is_patch = file.FindEntry("isPatch")->GetInt() != 0;

  QOStrStream out;
  if (!file.SaveBin(out)) {
    return Result::Failure(ErrorCode::kWriteFailed, path + ": cannot write the binary form");
  }
  const uint8_t* data = reinterpret_cast<const uint8_t*>(out.str());
  manifest->binary.assign(data, data + out.GetLength());
  return Result();
}

}  // namespace corvane::maker
