// A real child window hosted on a form: one of the system's controls (a
// list view, an edit box), with keyboard, focus and accessibility of its
// own. The form hands each child the notifications it sends (WM_NOTIFY,
// WM_COMMAND), so the child's class decides what they mean and the form
// only wires handlers.
#pragma once

#include "form/control.h"
#include "win/handles.h"

namespace pgf {

class Form;

class ChildWindow {
 public:
  ChildWindow() = default;
  virtual ~ChildWindow();
  ChildWindow(const ChildWindow&) = delete;
  ChildWindow& operator=(const ChildWindow&) = delete;

  HWND Handle() const noexcept { return hwnd_; }

  // Creates the window on the form (whose window must exist) at `place`
  // and registers it for the form's notification routing.
  bool Create(Form& form, const wchar_t* className, DWORD style, DWORD exStyle, Place place,
              int id);

  // A notification this child sent its form; the result goes back to it.
  virtual LRESULT Notify(const NMHDR& header);
  // A WM_COMMAND notification code this child sent its form.
  virtual void Command(WORD code);

 private:
  HWND hwnd_ = nullptr;
  Form* form_ = nullptr;
};

}  // namespace pgf
