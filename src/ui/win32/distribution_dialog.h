#pragma once

// The distribution choice of the Windows program: the modal dialog 126 of the
// program's own resources, a sorted list of titles with the first one
// selected, OK and Cancel.

#include <cstdint>
#include <string>
#include <vector>

namespace corvane {

// Shows dialog 126 of `instance` (an HINSTANCE) in `language` (a Windows
// language id: the block of that language, else of its primary language, else
// the neutral one) with no owner window, the titles in its sorted list box. Each list item carries
// the index of its title in `titles`, so the answer does not depend on how the list box sorts: the
// index of the title selected when OK was pressed, or -1 for Cancel, the close box, no selection,
// or a dialog that cannot be shown.
int ShowDistributionDialog(void* instance, const std::vector<std::string>& titles,
                           uint16_t language);

}  // namespace corvane
