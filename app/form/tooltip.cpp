#include "form/tooltip.h"

#include <commctrl.h>

namespace pgf {
namespace {

// The record's first version: every version of the control takes it.
TOOLINFOW ToolInfo(HWND owner, UINT id) noexcept {
  TOOLINFOW info{};
  info.cbSize = TTTOOLINFOW_V1_SIZE;
  info.hwnd = owner;
  info.uId = id;
  return info;
}

}  // namespace

ToolTip::~ToolTip() {
  // The owner's destruction takes the control with it; this covers a tip
  // that outlives nothing else.
  if (tip_ && IsWindow(tip_)) DestroyWindow(tip_);
}

bool ToolTip::Create(HWND owner) {
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_TAB_CLASSES};
  InitCommonControlsEx(&icc);
  owner_ = owner;
  tip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                         WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                         CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr, GetModuleHandleW(nullptr),
                         nullptr);
  return tip_ != nullptr;
}

bool ToolTip::HasTip(UINT id) const noexcept {
  TOOLINFOW info = ToolInfo(owner_, id);
  return SendMessageW(tip_, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&info)) != 0;
}

void ToolTip::SetTip(UINT id, const RECT& rect, const std::wstring& text) {
  if (!tip_) return;
  TOOLINFOW info = ToolInfo(owner_, id);
  info.rect = rect;
  info.lpszText = const_cast<wchar_t*>(text.c_str());
  if (!HasTip(id)) {
    SendMessageW(tip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
    return;
  }
  SendMessageW(tip_, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&info));
  SendMessageW(tip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&info));
}

void ToolTip::RemoveTip(UINT id) {
  if (!tip_ || !HasTip(id)) return;
  TOOLINFOW info = ToolInfo(owner_, id);
  SendMessageW(tip_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&info));
}

void ToolTip::Relay(UINT msg, WPARAM wp, LPARAM lp) noexcept {
  if (!tip_ || msg < WM_MOUSEFIRST || msg > WM_MOUSELAST) return;
  MSG m{owner_, msg, wp, lp, static_cast<DWORD>(GetMessageTime()), {}};
  const DWORD pos = GetMessagePos();
  m.pt = POINT{static_cast<short>(LOWORD(pos)), static_cast<short>(HIWORD(pos))};
  SendMessageW(tip_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&m));
}

}  // namespace pgf
