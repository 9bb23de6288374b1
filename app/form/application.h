// The program's application window: one hidden top-level window that holds
// the taskbar button and owns every form. Minimizing it hides the forms it
// owns, restoring it shows them again, so the whole program goes to the
// taskbar and comes back as one. It has no size and lies at 0, 0; what it
// shows is the taskbar button, never a picture of its own.
#pragma once

#include <string>

#include "win/handles.h"

namespace pgf {

class Form;

class Application {
 public:
  // The program's one application object; Current() finds it.
  explicit Application(std::wstring title);
  ~Application();
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  static Application* Current() noexcept { return current_; }

  // Creates the window, still hidden. `icon` is the program's icon for the
  // taskbar button (32x32); `smallIcon` may be null.
  bool CreateHandle(HICON icon, HICON smallIcon);
  // Shows the taskbar button without taking the activation.
  void ShowTaskbarButton() noexcept;

  HWND Handle() const noexcept { return hwnd_; }
  const std::wstring& Title() const noexcept { return title_; }

  // The first form created; null until the program has set it.
  Form* MainForm() const noexcept { return mainForm_; }
  void SetMainForm(Form* form) noexcept { mainForm_ = form; }

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) noexcept;
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) noexcept;
  HWND MainHandle() const noexcept;

  static Application* current_;
  std::wstring title_;
  HWND hwnd_ = nullptr;
  Form* mainForm_ = nullptr;
};

}  // namespace pgf
