// Tessary: compose a new 32x32 icon from two existing ones.
#include "form/application.h"
#include "main_window.h"
#include "win/command_line.h"
#include "win/messages.h"

#include <commctrl.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&icc);

  // The application window first: it owns the main window, and the main
  // window's minimize component hooks it as the form is made.
  const HINSTANCE self = GetModuleHandleW(nullptr);
  pgw::unique_hicon bigIcon(
      static_cast<HICON>(LoadImageW(self, L"MAINICON", IMAGE_ICON, 32, 32, 0)));
  pgw::unique_hicon smallIcon(
      static_cast<HICON>(LoadImageW(self, L"MAINICON", IMAGE_ICON, 16, 16, 0)));
  pgf::Application Application(L"Pairglyph");
  const bool appMade = Application.CreateHandle(bigIcon.get(), smallIcon.get());
  TForm1 Form1;
  if (!appMade || !Form1.CreateWindowHandle(Application.Handle())) {
    // Nothing to show the user otherwise: say why the program did not open.
    wchar_t text[96];
    wsprintfW(text, L"ウィンドウを作成できません。 (%lu)", GetLastError());
    pgw::ShowError(nullptr, text);
    return 1;
  }
  Application.SetMainForm(&Form1);
  if (!Form1.FormCreate()) return 0;  // the display was refused; the user was told
  Application.ShowTaskbarButton();
  // "Open with" and "Send to" name the files on the command line.
  Form1.OpenAtStart(pgw::CommandLineFiles());
  Form1.Show();

  MSG msg{};
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (Form1.TranslateShortcut(msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}
