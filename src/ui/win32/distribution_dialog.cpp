#include "ui/win32/distribution_dialog.h"

#include <windows.h>

#include "ui/win32/dialog_resource_ids.h"

namespace corvane {

namespace {

struct DistributionDialogState {
  const std::vector<std::string>* titles;
  int chosen;
};

INT_PTR CALLBACK DistributionDialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    auto* state = reinterpret_cast<DistributionDialogState*>(lparam);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
    const int count = static_cast<int>(state->titles->size());
    for (int i = 0; i < count; ++i) {
      const std::string& title = (*state->titles)[static_cast<size_t>(i)];
      LRESULT item = SendDlgItemMessageA(window, CORVANE_IDC_DISTRIBUTION_LIST, LB_ADDSTRING, 0,
                                         reinterpret_cast<LPARAM>(title.c_str()));
      if (item >= 0) {
        SendDlgItemMessageA(window, CORVANE_IDC_DISTRIBUTION_LIST, LB_SETITEMDATA,
                            static_cast<WPARAM>(item), static_cast<LPARAM>(i));
      }
    }
    SendDlgItemMessageA(window, CORVANE_IDC_DISTRIBUTION_LIST, LB_SETCURSEL, 0, 0);
    return TRUE;
  }
  if (message != WM_COMMAND) return FALSE;
  auto* state =
      reinterpret_cast<DistributionDialogState*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (state == nullptr) return FALSE;
  switch (LOWORD(wparam)) {
    case IDOK: {
      LRESULT selected =
          SendDlgItemMessageA(window, CORVANE_IDC_DISTRIBUTION_LIST, LB_GETCURSEL, 0, 0);
      if (selected != LB_ERR) {
        LRESULT data = SendDlgItemMessageA(window, CORVANE_IDC_DISTRIBUTION_LIST, LB_GETITEMDATA,
                                           static_cast<WPARAM>(selected), 0);
        // LB_ERR is -1: a negative answer is no choice.
        if (data >= 0 && data < static_cast<LRESULT>(state->titles->size())) {
          state->chosen = static_cast<int>(data);
        }
      }
      EndDialog(window, IDOK);
      return TRUE;
    }
    case IDCANCEL:
      EndDialog(window, IDCANCEL);
      return TRUE;
    default:
      // Selection changes and double clicks are left to the list box.
      return FALSE;
  }
}

// The dialog template in the user's language. The block is picked here, not
// by the loader: Wine's loader takes the neutral block first whatever the
// user's language is.
const DLGTEMPLATE* FindDialogTemplate(HMODULE module, uint16_t language) {
  const WORD primary = PRIMARYLANGID(language);
  const WORD candidates[] = {language, MAKELANGID(primary, SUBLANG_DEFAULT),
                             MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL)};
  for (WORD candidate : candidates) {
    HRSRC found =
        FindResourceExA(module, RT_DIALOG, MAKEINTRESOURCEA(CORVANE_IDD_DISTRIBUTION), candidate);
    if (found == nullptr) continue;
    HGLOBAL loaded = LoadResource(module, found);
    if (loaded != nullptr) return static_cast<const DLGTEMPLATE*>(LockResource(loaded));
  }
  return nullptr;
}

}  // namespace

int ShowDistributionDialog(void* instance, const std::vector<std::string>& titles,
                           uint16_t language) {
  DistributionDialogState state{&titles, -1};
  HINSTANCE module = static_cast<HINSTANCE>(instance);
  const DLGTEMPLATE* dialog = FindDialogTemplate(module, language);
  if (dialog != nullptr) {
    DialogBoxIndirectParamA(module, dialog, nullptr, DistributionDialogProc,
                            reinterpret_cast<LPARAM>(&state));
  } else {
    DialogBoxParamA(module, MAKEINTRESOURCEA(CORVANE_IDD_DISTRIBUTION), nullptr,
                    DistributionDialogProc, reinterpret_cast<LPARAM>(&state));
  }
  return state.chosen;
}

}  // namespace corvane
