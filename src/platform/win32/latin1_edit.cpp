#include "platform/win32/latin1_edit.h"

#include <commctrl.h>

#include <string_view>

#include "platform/win32/wide_text.h"

namespace meterstation {

namespace {

constexpr UINT_PTR kSubclassId = 1;

// A paste that cannot be looked at is refused: it might hold anything.
bool clipboardFitsLatin1(HWND owner) {
  if (!OpenClipboard(owner)) return false;
  bool fits = true;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT); data != nullptr) {
    if (const auto* text = static_cast<const wchar_t*>(GlobalLock(data)); text != nullptr) {
      fits = narrow(std::wstring_view(text)).has_value();
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return fits;
}

LRESULT CALLBACK latin1Only(HWND edit, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                            DWORD_PTR) {
  switch (message) {
    case WM_CHAR:
      if (wParam > 0xFF) {
        // A character beyond the basic plane comes as two halves: one beep.
        if (!IS_LOW_SURROGATE(wParam)) MessageBeep(MB_OK);
        return 0;
      }
      break;
    case WM_PASTE:
      if (!clipboardFitsLatin1(edit)) {
        MessageBeep(MB_OK);
        return 0;
      }
      break;
    case WM_NCDESTROY:
      RemoveWindowSubclass(edit, &latin1Only, id);
      break;
    default:
      break;
  }
  return DefSubclassProc(edit, message, wParam, lParam);
}

}  // namespace

void keepLatin1(HWND edit) { SetWindowSubclass(edit, &latin1Only, kSubclassId, 0); }

}  // namespace meterstation
