#pragma once

// The page `patchbuild make --report FILE.html` writes: one self-contained
// HTML file (no network, no other files) that shows where the bytes of a
// patch go: per step and per file the kind of update, old and new size,
// payload bytes and share of the patch; bars of the largest items; the
// totals; and the checks every make runs. The figures are the make JSON
// document's (it is embedded in the page too).

#include <string>

#include "maker/patch_maker.h"

namespace corvane::maker {

std::string MakeReportHtml(const MakeSummary& summary);

}  // namespace corvane::maker
