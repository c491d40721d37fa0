#pragma once

// Resource ids shared by the patcher's resource script and the dialog code.
// Plain macros: the resource compiler reads this file too.

#define CORVANE_IDD_PROGRESS 123
#define CORVANE_IDR_ANIMATION 125
#define CORVANE_IDD_DISTRIBUTION 126

#define CORVANE_IDC_ANIMATION 1002
#define CORVANE_IDC_LOG 1003
#define CORVANE_IDC_PROGRESS 1005
#define CORVANE_IDC_DISTRIBUTION_LIST 1007
