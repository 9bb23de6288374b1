// TAnimateWindow on real windows (under Wine on Linux): an application
// window owning a form, minimized and restored through the component's
// hooks exactly as the taskbar and the form's minimize button do it.
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

#include "components/anim_window.h"
#include "form/application.h"
#include "form/form.h"

namespace {

class TestForm : public pgf::Form {
 public:
  bool Create(HWND owner, int x, int y) {
    return CreateHandle(L"PgAnimTestForm", L"form", nullptr, WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX,
                        0, x, y, 160, 90, owner);
  }
};

void Pump() {
  MSG msg;
  for (int round = 0; round < 3; ++round) {
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    Sleep(10);
  }
}

RECT WindowRect(HWND h) {
  RECT r{};
  GetWindowRect(h, &r);
  return r;
}

RECT NormalRect(HWND h) {
  WINDOWPLACEMENT p{};
  p.length = sizeof p;
  GetWindowPlacement(h, &p);
  return p.rcNormalPosition;
}

bool Same(const RECT& a, const RECT& b) { return EqualRect(&a, &b) != FALSE; }

class AnimateWindow : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(app.CreateHandle(nullptr, nullptr)); }

  // Form and component as the program makes them: the component first, the
  // form's window owned by the application window, then it becomes the
  // main window and both are shown.
  void MakeMain(TestForm& form, TAnimateWindow& anim) {
    ASSERT_TRUE(form.Create(app.Handle(), 120, 100));
    anim.SetParentComponent(form.Handle());
    app.SetMainForm(&form);
    app.ShowTaskbarButton();
    ShowWindow(form.Handle(), SW_SHOWNORMAL);
    Pump();
  }

  // Minimized: the application window iconic with the form's left, top and
  // width and no height as its place; the form hidden.
  void ExpectMinimized(HWND form, const RECT& formRect) {
    EXPECT_TRUE(IsIconic(app.Handle()));
    EXPECT_FALSE(IsWindowVisible(form));
    const RECT strip{formRect.left, formRect.top, formRect.right, formRect.top};
    EXPECT_TRUE(Same(NormalRect(app.Handle()), strip));
  }

  // Restored: the form back at its place, the application window at 0, 0
  // with no size.
  void ExpectRestored(HWND form, const RECT& formRect) {
    EXPECT_FALSE(IsIconic(app.Handle()));
    EXPECT_TRUE(IsWindowVisible(form));
    EXPECT_FALSE(IsIconic(form));
    EXPECT_TRUE(Same(WindowRect(form), formRect));
    EXPECT_TRUE(Same(WindowRect(app.Handle()), RECT{0, 0, 0, 0}));
  }

  pgf::Application app{L"Pairglyph"};
};

TEST_F(AnimateWindow, SecondOnOneFormFailsAndTheFirstKeepsWorking) {
  TestForm form;
  TAnimateWindow first(form);
  int minimized = 0, restored = 0;
  first.OnMinimize = [&](pgf::Application& sender) {
    EXPECT_EQ(&sender, &app);
    ++minimized;
  };
  first.OnRestore = [&](pgf::Application&) { ++restored; };
  MakeMain(form, first);
  const RECT place = WindowRect(form.Handle());

  try {
    TAnimateWindow second(form);
    FAIL() << "a second component was placed";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "AnimateWindowはフォームに一つしか置けません");
  }

  // The button's way: the form's minimize command, sent.
  first.Minimize();
  ExpectMinimized(form.Handle(), place);
  EXPECT_EQ(minimized, 1);
  // The taskbar's way back.
  SendMessageW(app.Handle(), WM_SYSCOMMAND, SC_RESTORE, 0);
  Pump();
  ExpectRestored(form.Handle(), place);
  EXPECT_EQ(restored, 1);
  // The taskbar's minimize does the same as the button.
  SendMessageW(app.Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
  ExpectMinimized(form.Handle(), place);
  EXPECT_EQ(minimized, 2);
  SendMessageW(app.Handle(), WM_SYSCOMMAND, SC_RESTORE, 0);
  Pump();
  ExpectRestored(form.Handle(), place);
}

TEST_F(AnimateWindow, DisabledApplicationAndZOrderChangeWhileMinimized) {
  TestForm form;
  TAnimateWindow anim(form);
  MakeMain(form, anim);
  const RECT place = WindowRect(form.Handle());

  EnableWindow(app.Handle(), FALSE);
  anim.Minimize();
  ExpectMinimized(form.Handle(), place);
  EXPECT_TRUE(IsWindowEnabled(app.Handle()));

  // Bringing the hidden form to the front asks for the program back.
  SetWindowPos(form.Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
  Pump();
  ExpectRestored(form.Handle(), place);
}

TEST_F(AnimateWindow, OtherFormMinimizesTheProgramAndHooksGoWithTheComponent) {
  TestForm mainForm;
  auto mainAnim = std::make_unique<TAnimateWindow>(mainForm);
  MakeMain(mainForm, *mainAnim);
  const RECT place = WindowRect(mainForm.Handle());

  // A second form with a component of its own: its minimize command goes to
  // the application window and minimizes the whole program.
  TestForm other;
  {
    TAnimateWindow otherAnim(other);
    ASSERT_TRUE(other.Create(app.Handle(), 400, 300));
    otherAnim.SetParentComponent(other.Handle());
    ShowWindow(other.Handle(), SW_SHOWNA);
    otherAnim.Minimize();
    Pump();
    ExpectMinimized(mainForm.Handle(), place);
    EXPECT_FALSE(IsWindowVisible(other.Handle()));
    SendMessageW(app.Handle(), WM_SYSCOMMAND, SC_RESTORE, 0);
    Pump();
    ExpectRestored(mainForm.Handle(), place);
    EXPECT_TRUE(IsWindowVisible(other.Handle()));
  }
  // Its place is free again once it is gone.
  EXPECT_NO_THROW(TAnimateWindow again(other));

  // Without the main form's component the application window minimizes on
  // its own, without taking the form's place, and nothing calls into a
  // component that no longer exists.
  mainAnim.reset();
  SendMessageW(app.Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
  EXPECT_TRUE(IsIconic(app.Handle()));
  EXPECT_TRUE(Same(NormalRect(app.Handle()), RECT{0, 0, 0, 0}));
  SendMessageW(app.Handle(), WM_SYSCOMMAND, SC_RESTORE, 0);
  Pump();
  EXPECT_FALSE(IsIconic(app.Handle()));
  EXPECT_TRUE(IsWindowVisible(mainForm.Handle()));
}

}  // namespace
