// patchbuild param compile IN.txt OUT.bin: parses a configuration text file
//   and writes its binary form.
// patchbuild param text IN.bin: prints a binary configuration file in the
//   text form.
// patchbuild param merge BASE UPDATE OUT: merges UPDATE into BASE (each text
//   or binary, told apart by the binary signature) and writes OUT, as text
//   when its extension is .txt, .cpp, .hpp or .h, else in binary form.
//
// Parser messages ("File %s, line %d: ...") and warnings go to standard
// error; a syntax error or an unreadable input gives exit code 1. Outputs are
// written beside the target and renamed over it, so a failed run never
// leaves a half-written file.

#include <CLI/CLI.hpp>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>

#include "command_registry.h"
#include "foundation/report_capture.h"
#include "param/param_file.h"
#include "param/text/param_text_load.h"
#include "param/text/param_update.h"
#include "param_command.h"
#include "platform/file_system.h"
#include "stream/qi_f_stream.h"
#include "stream/qo_f_stream.h"
#include "stream/qo_stream.h"

namespace {

using corvane::ReportSlot;

void PrintReports(const corvane::ScopedReportCapture& capture, bool verbose) {
  for (const auto& report : capture.Reports()) {
    if (report.slot == ReportSlot::kLog && !verbose) continue;
    const char* kind = report.slot == ReportSlot::kWarning ? "warning: " : "";
    std::fprintf(stderr, "patchbuild: %s%s\n", kind, report.text.c_str());
  }
}

bool IsBinaryConfig(const std::string& name) {
  corvane::QIFStream in;
  in.open(name.c_str());
  unsigned char head[4] = {};
  return !in.fail() && in.read(head, 4) == 4 && head[0] == 0 && head[1] == 'r' && head[2] == 'a' &&
         head[3] == 'P';
}

bool HasTextExtension(const std::string& name) {
  size_t dot = name.find_last_of('.');
  if (dot == std::string::npos || name.find_first_of("/\\", dot) != std::string::npos) return false;
  std::string ext = name.substr(dot);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext == ".txt" || ext == ".cpp" || ext == ".hpp" || ext == ".h";
}

// Loads text or binary; fails when the file is missing, damaged or has a
// syntax error.
corvane::Result Load(corvane::ParamFile& file, const std::string& name, bool verbose) {
  if (!corvane::platform::FileExists(name.c_str())) {
    return patchbuild::Failure(corvane::ErrorCode::kReadFailed, "cannot open %s: no such file",
                               name.c_str());
  }
  corvane::ScopedReportCapture capture;
  if (IsBinaryConfig(name)) {
    int code = file.LoadBin(name.c_str());
    PrintReports(capture, verbose);
    if (code != corvane::kParamLoadOk) {
      return patchbuild::Failure(corvane::ErrorCode::kInvalidInput,
                                 "cannot load %s: damaged binary configuration (code %d)",
                                 name.c_str(), code);
    }
    return {};
  }
  int code = corvane::ParamParseFile(file, name.c_str());
  PrintReports(capture, verbose);
  if (code != 0) {
    return patchbuild::Failure(corvane::ErrorCode::kInvalidInput, "cannot parse %s: %s",
                               name.c_str(),
                               code == 2 ? "read error" : "syntax error (see the messages above)");
  }
  return {};
}

corvane::Result WriteReplacing(const std::string& target,
                               const std::function<bool(corvane::QOStream&)>& write) {
  const std::string temp = target + ".tmp";
  corvane::QOFStream out;
  out.open(temp.c_str());
  bool ok = !out.fail() && write(out);
  out.close();
  ok = ok && !out.fail();
  if (ok && !corvane::platform::RenameReplacing(temp.c_str(), target.c_str())) ok = false;
  if (!ok) {
    corvane::platform::RemoveFile(temp.c_str());
    return patchbuild::Failure(corvane::ErrorCode::kWriteFailed, "cannot write %s", target.c_str());
  }
  return {};
}

corvane::Result Save(corvane::ParamFile& file, const std::string& target, bool as_text) {
  return WriteReplacing(target, [&](corvane::QOStream& out) {
    if (!as_text) return file.SaveBin(out);
    file.SaveText(out, 0, "\n");
    return true;
  });
}

struct Options {
  std::string input, update, output;
  bool verbose = false;
  bool ignore_access = false;
};

void AddParamText(CLI::App& app, patchbuild::CommandOutcome* outcome) {
  CLI::App* param = patchbuild::ParamCommandGroup(app);

  auto compile_options = std::make_shared<Options>();
  CLI::App* compile =
      param->add_subcommand("compile", "Parse a configuration text file into its binary form");
  compile->add_option("IN", compile_options->input, "configuration text file")->required();
  compile->add_option("OUT", compile_options->output, "binary configuration file to write")
      ->required();
  compile->add_flag("-v,--verbose", compile_options->verbose, "also print the parser's log lines");
  patchbuild::RunsCommand(compile, outcome, [compile_options]() -> corvane::Result {
    corvane::ParamFile file;
    if (IsBinaryConfig(compile_options->input)) {
      return patchbuild::Failure(corvane::ErrorCode::kInvalidInput,
                                 "%s is already a binary configuration file",
                                 compile_options->input.c_str());
    }
    if (corvane::Result loaded = Load(file, compile_options->input, compile_options->verbose);
        !loaded.ok()) {
      return loaded;
    }
    return Save(file, compile_options->output, false);
  });

  auto text_options = std::make_shared<Options>();
  CLI::App* text =
      param->add_subcommand("text", "Print a binary configuration file in the text form");
  text->add_option("IN", text_options->input, "binary configuration file")->required();
  patchbuild::RunsCommand(text, outcome, [text_options] {
    corvane::ParamFile file;
    if (corvane::Result loaded = Load(file, text_options->input, false); !loaded.ok()) {
      return loaded;
    }
    corvane::QOStrStream out;
    file.SaveText(out, 0, "\n");
    if (out.GetLength() > 0)
      std::fwrite(out.str(), 1, static_cast<size_t>(out.GetLength()), stdout);
    return corvane::Result();
  });

  auto merge_options = std::make_shared<Options>();
  CLI::App* merge =
      param->add_subcommand("merge", "Merge an update configuration into a base configuration");
  merge->add_option("BASE", merge_options->input, "base configuration (text or binary)")
      ->required();
  merge->add_option("UPDATE", merge_options->update, "updating configuration (text or binary)")
      ->required();
  merge
      ->add_option("OUT", merge_options->output,
                   "merged configuration to write (.txt/.cpp/.hpp/.h: text)")
      ->required();
  merge->add_flag("--ignore-access", merge_options->ignore_access,
                  "change add-only and read-only classes too");
  merge->add_flag("-v,--verbose", merge_options->verbose, "also print the merge's log lines");
  patchbuild::RunsCommand(merge, outcome, [merge_options] {
    corvane::ParamFile base, update;
    if (corvane::Result loaded = Load(base, merge_options->input, merge_options->verbose);
        !loaded.ok()) {
      return loaded;
    }
    if (corvane::Result loaded = Load(update, merge_options->update, merge_options->verbose);
        !loaded.ok()) {
      return loaded;
    }
    {
      corvane::ScopedReportCapture capture;
      corvane::Update(base, update, !merge_options->ignore_access, false);
      PrintReports(capture, merge_options->verbose);
    }
    return Save(base, merge_options->output, HasTextExtension(merge_options->output));
  });
}

patchbuild::CommandRegistration registration("param-text", &AddParamText);

}  // namespace
