// Tessary: compose a new 32x32 icon from two existing ones.
#include "main_window.h"

#include <commctrl.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&icc);

  TForm1 Form1;
  if (!Form1.CreateWindowHandle()) {
    // Nothing to show the user otherwise: say why the program did not open.
    wchar_t text[96];
    wsprintfW(text, L"ウィンドウを作成できません。 (%lu)", GetLastError());
    MessageBoxW(nullptr, text, L"Pairglyph", MB_OK | MB_ICONERROR);
    return 1;
  }
  if (!Form1.FormCreate()) return 0;  // the display was refused; the user was told
  Form1.Show();

  MSG msg{};
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (Form1.TranslateShortcut(msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}
