#pragma once

// The documents `patchbuild make --json` and `patchbuild check --json` print
// for scripts and CI: docs/formats/patchbuild-json.md describes them. Names
// of the payload (code page 1252) are written as UTF-8.

#include <string>

#include "maker/install_check.h"
#include "maker/patch_maker.h"

namespace corvane::maker {

// Schema versions: a change that could break a reader gives a new one.
inline constexpr const char kMakeJsonSchema[] = "patchbuild-make/1";
inline constexpr const char kCheckJsonSchema[] = "patchbuild-check/1";

std::string MakeSummaryJson(const MakeSummary& summary);
std::string CheckReportJson(const CheckReport& report);

}  // namespace corvane::maker
