// A top-level window that owns its windowless controls. One window
// procedure takes the C++ object from CreateWindowExW's parameter at
// WM_NCCREATE, keeps it in GWLP_USERDATA and forwards every message to it;
// no exception crosses back into user32.
#pragma once

#include <string>
#include <vector>

#include "form/control.h"
#include "win/handles.h"

namespace pgf {

class ChildWindow;

class Form {
 public:
  Form() = default;
  virtual ~Form();
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;

  HWND Handle() const noexcept { return hwnd_; }

  // Creates the (hidden) window. `style` and `exStyle` as CreateWindowExW;
  // `owner` is the top-level window that owns it (the application window).
  bool CreateHandle(const wchar_t* className, const std::wstring& caption, HICON icon,
                    DWORD style, DWORD exStyle, int x, int y, int width, int height,
                    HWND owner = nullptr);

  // Adds a control on top of all earlier ones.
  void AddControl(Control& c);

  // Child windows register themselves when they are created (ChildWindow::
  // Create); their notifications are routed to them from then on.
  void AddChild(ChildWindow& child);
  void RemoveChild(ChildWindow& child) noexcept;
  // The child that gets the keyboard focus whenever the form does.
  void SetFocusChild(ChildWindow* child) noexcept;

  void InvalidateRect(const RECT& r) noexcept;
  // Paints pending invalid areas now.
  void Update() noexcept;

  // Lets go of the pointer capture without forgetting which control holds
  // the framework's capture: for a handler that re-takes the capture itself.
  void ReleaseCaptureKeepingControl() noexcept;
  Control* CaptureControl() const noexcept { return capture_; }
  Control* ControlAt(int clientX, int clientY) const noexcept;
  // The control the pointer is over now (or the one holding the capture).
  Control* ControlUnderPointer() const noexcept;

 protected:
  // The form's own message handling; the default routes the mouse to the
  // controls, paints them and leaves the rest to DefWindowProcW.
  virtual LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);
  // An exception escaped a handler: the framework's standard error box.
  virtual void ShowException(const char* what) noexcept;
  virtual void PaintBackground(HDC dc, const RECT& client);

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) noexcept;
  ChildWindow* ChildOf(HWND hwnd) const noexcept;
  void Paint();
  void MouseButtonMessage(MouseButton button, bool down, bool dbl, WPARAM wp, LPARAM lp);
  void MouseMoveMessage(WPARAM wp, LPARAM lp);
  void SetHover(Control* c) noexcept;
  bool SetCursorMessage();

  HWND hwnd_ = nullptr;
  std::vector<Control*> controls_;
  std::vector<ChildWindow*> children_;
  ChildWindow* focusChild_ = nullptr;
  Control* capture_ = nullptr;
  Control* hover_ = nullptr;
  bool trackingLeave_ = false;
  bool ownRelease_ = false;
  // The memory picture every paint is built in, kept between paints: a
  // gauge that moves with every icon of a long list repaints often.
  pgw::unique_hbitmap backBitmap_;  // declared first: the DC goes before it
  pgw::unique_hdc backDc_;
  int backWidth_ = 0;
  int backHeight_ = 0;
};

ShiftState ShiftFromWParam(WPARAM wp, bool doubleClick = false) noexcept;

// Handles every pending message of this thread, so windows keep painting
// and answering during a long loop. False when the program is ending (the
// quit message is left in the queue for the main loop).
bool ProcessMessages();

}  // namespace pgf
