// pgdriver: a small Win32 program the end-to-end tests run in the same Wine
// prefix as the program under test, to look at and poke its windows from the
// Windows side (what the X side cannot see: message-box text, window styles,
// iconic state, list-view counts, file drops, raw registry bytes).
//
//   pgdriver SUBCOMMAND ARGS... [+ SUBCOMMAND ARGS...]   (pgdriver help lists them)
//
// Output is UTF-8 on stdout, one "key value" line per fact, so the Python side
// can split each line at its first blank. Exit status: 0 done, 1 the target or
// the operation failed, 2 bad usage, 3 a wait timed out.
//
// A TARGET is either a window handle ("0x1a2b") or a top-level window's exact
// title; when several windows share the title a visible one wins (a program's
// hidden owner window often has the main window's title).
//
// To add a subcommand: write `int CmdName(const Args&)` and add one row to
// kCommands at the bottom.

#ifndef UNICODE
#define UNICODE
#endif
#ifndef _UNICODE
#define _UNICODE
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>  // DROPFILES

#include <cstdint>
#include <cstring>
#include <cwchar>
#include <string>
#include <string_view>
#include <vector>

namespace {

using Args = std::vector<std::wstring>;

// Closes what it holds, once; not copyable.
template <typename Handle, auto Close>
class Owned {
 public:
  Owned() = default;
  explicit Owned(Handle h) : h_(h) {}
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;
  ~Owned() {
    if (h_) Close(h_);
  }
  Handle get() const { return h_; }
  Handle* put() { return &h_; }
  explicit operator bool() const { return h_ != Handle{}; }

 private:
  Handle h_{};
};

using OwnedKey = Owned<HKEY, RegCloseKey>;
using OwnedHandle = Owned<HANDLE, CloseHandle>;

constexpr int kOk = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;
constexpr int kTimedOut = 3;

// ---- output -------------------------------------------------------------

std::string Utf8(std::wstring_view text) {
  if (text.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                    nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                      nullptr, nullptr);
  return out;
}

void Write(HANDLE h, std::wstring_view text) {
  const std::string bytes = Utf8(text);
  DWORD written = 0;
  WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

// Newlines and backslashes are escaped so every fact stays on one line.
std::wstring Escape(std::wstring_view text) {
  std::wstring out;
  for (wchar_t c : text) {
    switch (c) {
      case L'\\': out += L"\\\\"; break;
      case L'\n': out += L"\\n"; break;
      case L'\r': out += L"\\r"; break;
      case L'\t': out += L"\\t"; break;
      case L'\0': out += L"\\0"; break;
      default: out += c;
    }
  }
  return out;
}

void Fact(std::wstring_view key, std::wstring_view value) {
  std::wstring line(key);
  line += L' ';
  line += Escape(value);
  line += L'\n';
  Write(GetStdHandle(STD_OUTPUT_HANDLE), line);
}

int Fail(std::wstring_view message, int status = kFailed) {
  std::wstring line = L"pgdriver: ";
  line += message;
  line += L'\n';
  Write(GetStdHandle(STD_ERROR_HANDLE), line);
  return status;
}

std::wstring Hex(uint64_t v) {
  wchar_t buf[24];
  swprintf(buf, 24, L"0x%llx", static_cast<unsigned long long>(v));
  return buf;
}

std::wstring HwndText(HWND h) { return Hex(reinterpret_cast<uintptr_t>(h)); }

// ---- parsing --------------------------------------------------------------

bool ParseInt(const std::wstring& s, long long& out) {
  if (s.empty()) return false;
  wchar_t* end = nullptr;
  out = wcstoll(s.c_str(), &end, 0);
  return end && *end == L'\0';
}

bool ParseUInt(const std::wstring& s, uint64_t& out) {
  if (s.empty() || s[0] == L'-') return false;
  wchar_t* end = nullptr;
  out = wcstoull(s.c_str(), &end, 0);
  return end && *end == L'\0';
}

// ---- windows --------------------------------------------------------------

std::wstring WindowText(HWND h) {
  // WM_GETTEXT is marshalled across processes; GetWindowTextW is not always.
  const LRESULT len = SendMessageW(h, WM_GETTEXTLENGTH, 0, 0);
  std::wstring text(static_cast<size_t>(len) + 1, L'\0');
  const LRESULT got = SendMessageW(h, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<size_t>(got));
  return text;
}

std::wstring ClassName(HWND h) {
  wchar_t buf[256] = {};
  GetClassNameW(h, buf, 256);
  return buf;
}

struct TitleSearch {
  const std::wstring* title;
  HWND visible = nullptr;
  HWND hidden = nullptr;
};

BOOL CALLBACK CollectByTitle(HWND h, LPARAM param) {
  auto* search = reinterpret_cast<TitleSearch*>(param);
  wchar_t buf[512] = {};
  GetWindowTextW(h, buf, 512);
  if (*search->title != buf) return TRUE;
  if (IsWindowVisible(h)) {
    search->visible = h;
    return FALSE;
  }
  if (!search->hidden) search->hidden = h;
  return TRUE;
}

HWND FindTarget(const std::wstring& spec) {
  if (spec.size() > 2 && spec[0] == L'0' && (spec[1] == L'x' || spec[1] == L'X')) {
    uint64_t v = 0;
    if (ParseUInt(spec, v)) {
      HWND h = reinterpret_cast<HWND>(static_cast<uintptr_t>(v));
      return IsWindow(h) ? h : nullptr;
    }
  }
  TitleSearch search{&spec};
  EnumWindows(CollectByTitle, reinterpret_cast<LPARAM>(&search));
  return search.visible ? search.visible : search.hidden;
}

// Polls every 10 ms; a timeout of 0 looks once.
template <typename Probe>
HWND WaitFor(DWORD timeout_ms, Probe probe) {
  const ULONGLONG until = GetTickCount64() + timeout_ms;
  for (;;) {
    if (HWND h = probe()) return h;
    if (GetTickCount64() >= until) return nullptr;
    Sleep(10);
  }
}

bool ParseTimeout(const std::wstring& s, DWORD& out) {
  uint64_t v = 0;
  if (!ParseUInt(s, v) || v > 3600000) return false;
  out = static_cast<DWORD>(v);
  return true;
}

// A subcommand on the window TARGET (args[0]), which is resolved or reported
// before the subcommand runs.
template <int (*Run)(HWND, const Args&)>
int OnTarget(const Args& args) {
  HWND h = FindTarget(args[0]);
  return h ? Run(h, args) : Fail(L"no window " + args[0]);
}

struct ChildSearch {
  std::wstring_view cls;
  HWND found = nullptr;
};

BOOL CALLBACK FindChildByClass(HWND h, LPARAM param) {
  auto* search = reinterpret_cast<ChildSearch*>(param);
  if (ClassName(h) == search->cls) {
    search->found = h;
    return FALSE;
  }
  return TRUE;
}

HWND FirstDescendant(HWND parent, std::wstring_view cls) {
  ChildSearch search{cls};
  EnumChildWindows(parent, FindChildByClass, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

void RectFact(std::wstring_view key, const RECT& r) {
  Fact(key, std::to_wstring(r.left) + L' ' + std::to_wstring(r.top) + L' ' +
                std::to_wstring(r.right) + L' ' + std::to_wstring(r.bottom));
}

// ---- message boxes ---------------------------------------------------------

HWND FindMessageBox(const std::wstring& caption) {
  HWND h = FindWindowW(L"#32770", caption.c_str());
  return h && IsWindowVisible(h) ? h : nullptr;
}

BOOL CALLBACK ReportChild(HWND h, LPARAM parent_param) {
  const HWND parent = reinterpret_cast<HWND>(parent_param);
  if (GetParent(h) != parent) return TRUE;
  RECT r{};
  GetWindowRect(h, &r);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  const int id = GetDlgCtrlID(h);
  const std::wstring cls = ClassName(h);
  if (cls == L"Button") {
    Fact(L"button", std::to_wstring(id) + L' ' + WindowText(h));
  } else if (id == 0xFFFF) {
    Fact(L"text", WindowText(h));
  }
  // Every control with its place in the box's client area, for screenshots.
  Fact(L"control", std::to_wstring(id) + L' ' + cls + L' ' + std::to_wstring(r.left) + L' ' +
                       std::to_wstring(r.top) + L' ' + std::to_wstring(r.right - r.left) + L' ' +
                       std::to_wstring(r.bottom - r.top));
  return TRUE;
}

// Wine keeps each top-level window's X window id as a window property.
uintptr_t XWindowOf(HWND h) {
  return reinterpret_cast<uintptr_t>(GetPropW(h, L"__wine_x11_whole_window"));
}

void ReportMessageBox(HWND box) {
  Fact(L"hwnd", HwndText(box));
  Fact(L"xid", std::to_wstring(XWindowOf(box)));
  Fact(L"caption", WindowText(box));
  DWORD pid = 0;
  GetWindowThreadProcessId(box, &pid);
  Fact(L"pid", std::to_wstring(pid));
  Fact(L"owner", HwndText(GetWindow(box, GW_OWNER)));
  Fact(L"foreground", GetForegroundWindow() == box ? L"1" : L"0");
  Fact(L"exstyle", Hex(static_cast<uint32_t>(GetWindowLongPtrW(box, GWL_EXSTYLE))));
  // The client area inside the window (the part a screenshot shows below the
  // title bar): x y width height.
  RECT w{}, c{};
  GetWindowRect(box, &w);
  GetClientRect(box, &c);
  MapWindowPoints(box, nullptr, reinterpret_cast<POINT*>(&c), 2);
  Fact(L"client", std::to_wstring(c.left - w.left) + L' ' + std::to_wstring(c.top - w.top) +
                      L' ' + std::to_wstring(c.right - c.left) + L' ' +
                      std::to_wstring(c.bottom - c.top));
  EnumChildWindows(box, ReportChild, reinterpret_cast<LPARAM>(box));
}

// What a click on the button sends; the box ends with that id.
void PressButton(HWND box, WORD id) {
  PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(box, id)));
}

bool ParseButton(const std::wstring& s, WORD& id);

DWORD g_last_box_pid = 0;

int CmdMsgboxWait(const Args& a) {
  DWORD timeout = 0;
  if (!ParseTimeout(a[1], timeout)) return Fail(L"bad timeout " + a[1], kUsage);
  WORD press = 0;
  if (a.size() > 2 && !ParseButton(a[2], press)) return Fail(L"bad button " + a[2], kUsage);
  HWND box = WaitFor(timeout, [&] { return FindMessageBox(a[0]); });
  if (!box) return Fail(L"no message box " + a[0], kTimedOut);
  ReportMessageBox(box);
  GetWindowThreadProcessId(box, &g_last_box_pid);
  if (press) PressButton(box, press);
  return kOk;
}

// wait-process PID|box TIMEOUT_MS: waits for a Windows process to end and
// prints its exit code; "box" is the process of the last message box this
// run of pgdriver found.
int CmdWaitProcess(const Args& a) {
  uint64_t pid = 0;
  if (a[0] == L"box") {
    pid = g_last_box_pid;
  } else if (!ParseUInt(a[0], pid)) {
    return Fail(L"bad process id " + a[0], kUsage);
  }
  DWORD timeout = 0;
  if (!ParseTimeout(a[1], timeout)) return Fail(L"bad timeout " + a[1], kUsage);
  OwnedHandle process(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE,
                                  static_cast<DWORD>(pid)));
  if (!process) {
    // Already gone and reaped: nothing to report but that it ended.
    Fact(L"exit", L"unknown");
    return kOk;
  }
  if (WaitForSingleObject(process.get(), timeout) != WAIT_OBJECT_0)
    return Fail(L"process " + std::to_wstring(pid) + L" still running", kTimedOut);
  DWORD code = 0;
  GetExitCodeProcess(process.get(), &code);
  Fact(L"exit", std::to_wstring(code));
  return kOk;
}

bool ParseButton(const std::wstring& s, WORD& id) {
  static const struct { const wchar_t* name; WORD id; } kNames[] = {
      {L"IDOK", IDOK}, {L"IDCANCEL", IDCANCEL}, {L"IDABORT", IDABORT}, {L"IDRETRY", IDRETRY},
      {L"IDIGNORE", IDIGNORE}, {L"IDYES", IDYES}, {L"IDNO", IDNO}};
  for (const auto& n : kNames) {
    if (s == n.name || s == n.name + 2) {
      id = n.id;
      return true;
    }
  }
  uint64_t v = 0;
  if (!ParseUInt(s, v) || v > 0xFFFF) return false;
  id = static_cast<WORD>(v);
  return true;
}

int CmdMsgboxPress(const Args& a) {
  WORD id = 0;
  if (!ParseButton(a[1], id)) return Fail(L"bad button " + a[1], kUsage);
  DWORD timeout = 0;
  if (a.size() > 2 && !ParseTimeout(a[2], timeout)) return Fail(L"bad timeout " + a[2], kUsage);
  HWND box = WaitFor(timeout, [&] { return FindMessageBox(a[0]); });
  if (!box) return Fail(L"no message box " + a[0], kTimedOut);
  PressButton(box, id);
  return kOk;
}

// A box from another process, for testing the harness itself. Exits with the
// id of the button pressed.
int CmdMsgboxShow(const Args& a) {
  uint64_t flags = 0, lang = 0;
  if (!ParseUInt(a[2], flags) || (a.size() > 3 && !ParseUInt(a[3], lang)))
    return Fail(L"bad flags or language", kUsage);
  const int pressed =
      a.size() > 3 ? MessageBoxExW(nullptr, a[1].c_str(), a[0].c_str(), static_cast<UINT>(flags),
                                   static_cast<WORD>(lang))
                   : MessageBoxW(nullptr, a[1].c_str(), a[0].c_str(), static_cast<UINT>(flags));
  return pressed;
}

// ---- windows: queries and messages ------------------------------------------

int CmdXid(HWND h, const Args& a) {
  const uintptr_t xid = XWindowOf(h);
  if (!xid) return Fail(L"no X window for " + a[0]);
  Fact(L"xid", std::to_wstring(xid));
  return kOk;
}

int CmdWaitWindow(const Args& a) {
  DWORD timeout = 0;
  if (!ParseTimeout(a[1], timeout)) return Fail(L"bad timeout " + a[1], kUsage);
  const ULONGLONG start = GetTickCount64();
  HWND h = WaitFor(timeout, [&]() -> HWND {
    HWND w = FindTarget(a[0]);
    return w && IsWindowVisible(w) ? w : nullptr;
  });
  if (!h) return Fail(L"no visible window " + a[0], kTimedOut);
  Fact(L"hwnd", HwndText(h));
  Fact(L"waited-ms", std::to_wstring(GetTickCount64() - start));
  return kOk;
}

int CmdWaitGone(const Args& a) {
  DWORD timeout = 0;
  if (!ParseTimeout(a[1], timeout)) return Fail(L"bad timeout " + a[1], kUsage);
  // Returns a dummy non-null handle once no visible window matches.
  HWND gone = WaitFor(timeout, [&]() -> HWND {
    HWND w = FindTarget(a[0]);
    return w && IsWindowVisible(w) ? nullptr : GetDesktopWindow();
  });
  return gone ? kOk : Fail(L"still visible: " + a[0], kTimedOut);
}

BOOL CALLBACK ReportTopLevel(HWND h, LPARAM) {
  DWORD pid = 0;
  GetWindowThreadProcessId(h, &pid);
  wchar_t title[512] = {};
  GetWindowTextW(h, title, 512);
  Fact(L"window", HwndText(h) + L' ' + (IsWindowVisible(h) ? L"visible " : L"hidden ") +
                      std::to_wstring(pid) + L' ' + ClassName(h) + L' ' + title);
  return TRUE;
}

int CmdWindows(const Args&) {
  EnumWindows(ReportTopLevel, 0);
  return kOk;
}

// A tooltip control answers WM_GETTEXT with the text of the tip it shows or
// showed last.
BOOL CALLBACK ReportToolTip(HWND h, LPARAM) {
  if (lstrcmpiW(ClassName(h).c_str(), TOOLTIPS_CLASSW) != 0) return TRUE;
  DWORD pid = 0;
  GetWindowThreadProcessId(h, &pid);
  Fact(L"tooltip", HwndText(h) + L' ' + (IsWindowVisible(h) ? L"visible " : L"hidden ") +
                       std::to_wstring(pid) + L' ' + WindowText(h));
  return TRUE;
}

int CmdToolTips(const Args&) {
  EnumWindows(ReportToolTip, 0);
  return kOk;
}

BOOL CALLBACK ReportDescendant(HWND h, LPARAM) {
  RECT r{};
  GetWindowRect(h, &r);
  Fact(L"child", HwndText(h) + L' ' + std::to_wstring(GetDlgCtrlID(h)) + L' ' + ClassName(h) +
                     L' ' + (IsWindowVisible(h) ? L"visible" : L"hidden") + L' ' +
                     std::to_wstring(r.left) + L' ' + std::to_wstring(r.top) + L' ' +
                     std::to_wstring(r.right) + L' ' + std::to_wstring(r.bottom) + L' ' +
                     WindowText(h));
  return TRUE;
}

int CmdChildren(HWND h, const Args&) {
  EnumChildWindows(h, ReportDescendant, 0);
  return kOk;
}

int CmdText(HWND h, const Args&) {
  Fact(L"text", WindowText(h));
  return kOk;
}

int CmdIconic(HWND h, const Args&) {
  Fact(L"iconic", IsIconic(h) ? L"1" : L"0");
  Fact(L"visible", IsWindowVisible(h) ? L"1" : L"0");
  return kOk;
}

int CmdStyle(HWND h, const Args&) {
  Fact(L"style", Hex(static_cast<uint32_t>(GetWindowLongPtrW(h, GWL_STYLE))));
  Fact(L"exstyle", Hex(static_cast<uint32_t>(GetWindowLongPtrW(h, GWL_EXSTYLE))));
  Fact(L"topmost", (GetWindowLongPtrW(h, GWL_EXSTYLE) & WS_EX_TOPMOST) ? L"1" : L"0");
  return kOk;
}

int CmdRect(HWND h, const Args&) {
  RECT r{};
  GetWindowRect(h, &r);
  RectFact(L"window", r);
  RECT c{};
  GetClientRect(h, &c);
  MapWindowPoints(h, nullptr, reinterpret_cast<POINT*>(&c), 2);
  RectFact(L"client", c);
  return kOk;
}

// (No placement: Wine answers GetWindowPlacement for another process's
// window with its current rectangle, not its normal one.)
int CmdEnable(HWND h, const Args& a) {
  if (a.size() > 1) EnableWindow(h, a[1] != L"0");
  Fact(L"enabled", IsWindowEnabled(h) ? L"1" : L"0");
  return kOk;
}

// Only the place in the z-order: to the top, neither moved nor sized.
int CmdRaise(HWND h, const Args&) {
  return SetWindowPos(h, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE) ? kOk
                                                                       : Fail(L"SetWindowPos failed");
}

int CmdForeground(const Args&) {
  HWND h = GetForegroundWindow();
  Fact(L"hwnd", HwndText(h));
  if (h) Fact(L"title", WindowText(h));
  return kOk;
}

int CmdPost(HWND h, const Args& a) {
  uint64_t msg = 0;
  long long wp = 0, lp = 0;
  if (!ParseUInt(a[1], msg) || !ParseInt(a[2], wp) || !ParseInt(a[3], lp))
    return Fail(L"bad message, wParam or lParam", kUsage);
  return PostMessageW(h, static_cast<UINT>(msg), static_cast<WPARAM>(wp), static_cast<LPARAM>(lp))
             ? kOk
             : Fail(L"PostMessage failed");
}

int CmdPostCommand(const Args& a) {
  uint64_t id = 0;
  if (!ParseUInt(a[1], id) || id > 0xFFFF) return Fail(L"bad command id " + a[1], kUsage);
  return OnTarget<CmdPost>({a[0], std::to_wstring(WM_COMMAND), std::to_wstring(id), L"0"});
}

int CmdListCount(HWND h, const Args& a) {
  HWND list = ClassName(h) == WC_LISTVIEWW ? h : FirstDescendant(h, WC_LISTVIEWW);
  if (!list) return Fail(L"no list view in " + a[0]);
  Fact(L"count", std::to_wstring(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)));
  return kOk;
}

// Reads a block of another process's memory through a remote buffer:
// list-view messages carry pointers, which are only valid in the process
// that owns the list.
class RemoteBuffer {
 public:
  RemoteBuffer(HWND owner, size_t size) : size_(size) {
    DWORD pid = 0;
    GetWindowThreadProcessId(owner, &pid);
    process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (process_)
      remote_ = VirtualAllocEx(process_, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  }
  ~RemoteBuffer() {
    if (remote_) VirtualFreeEx(process_, remote_, 0, MEM_RELEASE);
    if (process_) CloseHandle(process_);
  }
  RemoteBuffer(const RemoteBuffer&) = delete;
  RemoteBuffer& operator=(const RemoteBuffer&) = delete;
  explicit operator bool() const { return remote_ != nullptr; }
  char* get() const { return static_cast<char*>(remote_); }
  bool Write(size_t at, const void* data, size_t n) const {
    return at + n <= size_ && WriteProcessMemory(process_, get() + at, data, n, nullptr);
  }
  bool Read(size_t at, void* data, size_t n) const {
    return at + n <= size_ && ReadProcessMemory(process_, get() + at, data, n, nullptr);
  }

 private:
  HANDLE process_ = nullptr;
  void* remote_ = nullptr;
  size_t size_;
};

// Every item of the (first) list view: "item INDEX SELECTED X Y W H LX LY
// LW LH TEXT", the item's whole rectangle and its label's, in screen
// coordinates.
int CmdListItems(HWND h, const Args& a) {
  HWND list = ClassName(h) == WC_LISTVIEWW ? h : FirstDescendant(h, WC_LISTVIEWW);
  if (!list) return Fail(L"no list view in " + a[0]);
  constexpr size_t kText = 1024;
  RemoteBuffer buf(list, sizeof(LVITEMW) + kText * sizeof(wchar_t));
  if (!buf) return Fail(L"cannot reach the list's process");
  const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  Fact(L"count", std::to_wstring(count));
  for (int i = 0; i < count; ++i) {
    LVITEMW item{};
    item.cchTextMax = kText;
    item.pszText = reinterpret_cast<wchar_t*>(buf.get() + sizeof(LVITEMW));
    buf.Write(0, &item, sizeof item);
    const auto n = static_cast<size_t>(
        SendMessageW(list, LVM_GETITEMTEXTW, i, reinterpret_cast<LPARAM>(buf.get())));
    std::wstring text(std::min(n, kText - 1), L'\0');
    buf.Read(sizeof(LVITEMW), text.data(), text.size() * sizeof(wchar_t));
    RECT r{};
    r.left = LVIR_BOUNDS;
    buf.Write(0, &r, sizeof r);
    SendMessageW(list, LVM_GETITEMRECT, i, reinterpret_cast<LPARAM>(buf.get()));
    buf.Read(0, &r, sizeof r);
    MapWindowPoints(list, nullptr, reinterpret_cast<POINT*>(&r), 2);
    RECT label{};
    label.left = LVIR_LABEL;
    buf.Write(0, &label, sizeof label);
    SendMessageW(list, LVM_GETITEMRECT, i, reinterpret_cast<LPARAM>(buf.get()));
    buf.Read(0, &label, sizeof label);
    MapWindowPoints(list, nullptr, reinterpret_cast<POINT*>(&label), 2);
    const bool selected =
        (SendMessageW(list, LVM_GETITEMSTATE, i, LVIS_SELECTED) & LVIS_SELECTED) != 0;
    Fact(L"item", std::to_wstring(i) + L" " + (selected ? L"1 " : L"0 ") +
                      std::to_wstring(r.left) + L" " + std::to_wstring(r.top) + L" " +
                      std::to_wstring(r.right - r.left) + L" " +
                      std::to_wstring(r.bottom - r.top) + L" " + std::to_wstring(label.left) +
                      L" " + std::to_wstring(label.top) + L" " +
                      std::to_wstring(label.right - label.left) + L" " +
                      std::to_wstring(label.bottom - label.top) + L" " + text);
  }
  return kOk;
}

// The active and the focused window of the target's thread, with classes.
int CmdFocus(HWND h, const Args&) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(h, nullptr), &info))
    return Fail(L"GetGUIThreadInfo failed");
  Fact(L"active", Hex(reinterpret_cast<uintptr_t>(info.hwndActive)));
  Fact(L"focus", Hex(reinterpret_cast<uintptr_t>(info.hwndFocus)));
  Fact(L"focus-class", info.hwndFocus ? ClassName(info.hwndFocus) : L"");
  return kOk;
}

// Watches a screen rectangle for MS milliseconds and prints, each time it
// changes, how many of its pixels have exactly the colour RRGGBB:
// "count T_MS N". For following a gauge that moves faster than screenshots
// can be taken from outside.
int CmdWatchColour(const Args& a) {
  long long x = 0, y = 0, w = 0, h = 0;
  DWORD ms = 0;
  if (!ParseInt(a[0], x) || !ParseInt(a[1], y) || !ParseInt(a[2], w) || !ParseInt(a[3], h) ||
      w <= 0 || h <= 0 || w * h > 1 << 20 || a[4].size() != 6 || !ParseTimeout(a[5], ms))
    return Fail(L"usage: watch-colour X Y W H RRGGBB MS", kUsage);
  const unsigned long rgb = wcstoul(a[4].c_str(), nullptr, 16);
  const DWORD want = rgb & 0xFFFFFF;  // a DIB's 0x00RRGGBB
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = static_cast<LONG>(w);
  bi.bmiHeader.biHeight = -static_cast<LONG>(h);
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(mem, dib);
  const ULONGLONG start = GetTickCount64();
  long long last = -1;
  while (GetTickCount64() - start < ms) {
    BitBlt(mem, 0, 0, static_cast<int>(w), static_cast<int>(h), screen, static_cast<int>(x),
           static_cast<int>(y), SRCCOPY);
    GdiFlush();
    long long n = 0;
    const auto* px = static_cast<const DWORD*>(bits);
    for (long long i = 0; i < w * h; ++i) n += (px[i] & 0xFFFFFF) == want;
    if (n != last) {
      Fact(L"count", std::to_wstring(GetTickCount64() - start) + L" " + std::to_wstring(n));
      last = n;
    }
  }
  SelectObject(mem, old);
  DeleteObject(dib);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  return kOk;
}

int CmdDepth(const Args&) {
  HDC dc = GetDC(nullptr);
  const int bits = GetDeviceCaps(dc, BITSPIXEL);
  ReleaseDC(nullptr, dc);
  Fact(L"bitspixel", std::to_wstring(bits));
  return kOk;
}

// The display scale as a window sees it: GetDpiForWindow, its DPI awareness
// (0 unaware, 1 system, 2 per monitor) and the system's cursor size at that
// DPI, looked up at run time since older systems lack them; and
// GetDeviceCaps(LOGPIXELSX) of the screen as this (DPI-unaware) driver sees it.
int CmdDpi(HWND h, const Args&) {
  const HMODULE user32 = GetModuleHandleW(L"user32.dll");
  using DpiForWindow = UINT(WINAPI*)(HWND);
  using WindowContext = DPI_AWARENESS_CONTEXT(WINAPI*)(HWND);
  using ContextAwareness = int(WINAPI*)(DPI_AWARENESS_CONTEXT);
  using MetricsForDpi = int(WINAPI*)(int, UINT);
  const auto dpiFor = reinterpret_cast<DpiForWindow>(
      reinterpret_cast<void*>(GetProcAddress(user32, "GetDpiForWindow")));
  const auto context = reinterpret_cast<WindowContext>(
      reinterpret_cast<void*>(GetProcAddress(user32, "GetWindowDpiAwarenessContext")));
  const auto awareness = reinterpret_cast<ContextAwareness>(
      reinterpret_cast<void*>(GetProcAddress(user32, "GetAwarenessFromDpiAwarenessContext")));
  const auto metrics = reinterpret_cast<MetricsForDpi>(
      reinterpret_cast<void*>(GetProcAddress(user32, "GetSystemMetricsForDpi")));
  const UINT dpi = dpiFor ? dpiFor(h) : 0;
  Fact(L"window", std::to_wstring(dpi));
  if (context && awareness) Fact(L"awareness", std::to_wstring(awareness(context(h))));
  if (metrics && dpi) Fact(L"cursor", std::to_wstring(metrics(SM_CXCURSOR, dpi)));
  HDC dc = GetDC(nullptr);
  const int logPixels = GetDeviceCaps(dc, LOGPIXELSX);
  ReleaseDC(nullptr, dc);
  Fact(L"logpixels", std::to_wstring(logPixels));
  return kOk;
}

// Opens FILE with no sharing at all and keeps it open for MS milliseconds
// (another program holding a file, as an editor or a virus scanner does);
// prints "held" once it is open.
int CmdHold(const Args& a) {
  DWORD ms = 0;
  if (!ParseTimeout(a[1], ms)) return Fail(L"bad time " + a[1], kUsage);
  const HANDLE h = CreateFileW(a[0].c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return Fail(L"cannot open " + a[0]);
  OwnedHandle file(h);
  Fact(L"held", a[0]);
  Sleep(ms);
  return kOk;
}

// A GlobalAlloc handle means nothing in another process, so the DROPFILES
// block is written into the target's memory and its address posted; the
// target's DragQueryFileW and DragQueryPoint read it there. (Its DragFinish
// cannot free it; the few bytes stay until the target exits.)
int CmdDrop(HWND h, const Args& a) {
  long long x = 0, y = 0;
  if (!ParseInt(a[1], x) || !ParseInt(a[2], y)) return Fail(L"bad drop point", kUsage);
  std::wstring names;
  for (size_t i = 3; i < a.size(); ++i) {
    names += a[i];
    names += L'\0';
  }
  names += L'\0';
  DROPFILES header{};
  header.pFiles = sizeof(DROPFILES);
  header.pt.x = static_cast<LONG>(x);
  header.pt.y = static_cast<LONG>(y);
  header.fNC = FALSE;
  header.fWide = TRUE;
  std::vector<char> block(sizeof(DROPFILES) + names.size() * sizeof(wchar_t));
  memcpy(block.data(), &header, sizeof header);
  memcpy(block.data() + sizeof header, names.data(), names.size() * sizeof(wchar_t));

  DWORD pid = 0;
  GetWindowThreadProcessId(h, &pid);
  OwnedHandle process(OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, pid));
  if (!process) return Fail(L"cannot open process " + std::to_wstring(pid));
  void* remote = VirtualAllocEx(process.get(), nullptr, block.size(), MEM_COMMIT | MEM_RESERVE,
                                PAGE_READWRITE);
  const bool written =
      remote && WriteProcessMemory(process.get(), remote, block.data(), block.size(), nullptr);
  if (!written) return Fail(L"cannot write the drop block into process " + std::to_wstring(pid));
  if (!PostMessageW(h, WM_DROPFILES, reinterpret_cast<WPARAM>(remote), 0))
    return Fail(L"PostMessage(WM_DROPFILES) failed");
  Fact(L"dropped", std::to_wstring(a.size() - 3));
  return kOk;
}

// WM_DPICHANGED as the system sends it when a window moves to a display of
// another scale: the new DPI in both halves of wParam and, with a suggested
// rectangle, its address in lParam. Like a drop's block, the rectangle is
// written into the target's memory, where its window procedure reads it.
int CmdDpiChanged(HWND h, const Args& a) {
  uint64_t dpi = 0;
  if (!ParseUInt(a[1], dpi) || dpi == 0 || dpi > 0xFFFF) return Fail(L"bad DPI " + a[1], kUsage);
  const WPARAM wp = MAKEWPARAM(static_cast<WORD>(dpi), static_cast<WORD>(dpi));
  void* remote = nullptr;
  if (a.size() >= 6) {
    long long v[4] = {};
    for (int i = 0; i < 4; ++i)
      if (!ParseInt(a[2 + i], v[i])) return Fail(L"bad rectangle", kUsage);
    const RECT r{static_cast<LONG>(v[0]), static_cast<LONG>(v[1]), static_cast<LONG>(v[0] + v[2]),
                 static_cast<LONG>(v[1] + v[3])};
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    OwnedHandle process(OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, pid));
    if (!process) return Fail(L"cannot open process " + std::to_wstring(pid));
    remote = VirtualAllocEx(process.get(), nullptr, sizeof r, MEM_COMMIT | MEM_RESERVE,
                            PAGE_READWRITE);
    if (!remote || !WriteProcessMemory(process.get(), remote, &r, sizeof r, nullptr))
      return Fail(L"cannot write the rectangle into process " + std::to_wstring(pid));
  }
  if (!PostMessageW(h, WM_DPICHANGED, wp, reinterpret_cast<LPARAM>(remote)))
    return Fail(L"PostMessage(WM_DPICHANGED) failed");
  return kOk;
}

// ---- registry -----------------------------------------------------------------

bool SplitKey(const std::wstring& path, HKEY& root, std::wstring& sub) {
  static const struct { const wchar_t* name; HKEY key; } kRoots[] = {
      {L"HKCU", HKEY_CURRENT_USER},   {L"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
      {L"HKLM", HKEY_LOCAL_MACHINE},  {L"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
      {L"HKCR", HKEY_CLASSES_ROOT},   {L"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
      {L"HKU", HKEY_USERS},           {L"HKEY_USERS", HKEY_USERS}};
  const size_t cut = path.find(L'\\');
  const std::wstring head = path.substr(0, cut);
  for (const auto& r : kRoots) {
    if (_wcsicmp(head.c_str(), r.name) == 0) {
      root = r.key;
      sub = cut == std::wstring::npos ? L"" : path.substr(cut + 1);
      return true;
    }
  }
  return false;
}

bool ParseHexBytes(const std::wstring& s, std::vector<BYTE>& out) {
  std::wstring digits;
  for (wchar_t c : s)
    if (c != L' ' && c != L',') digits += c;
  if (digits.size() % 2) return false;
  for (size_t i = 0; i < digits.size(); i += 2) {
    wchar_t* end = nullptr;
    const std::wstring pair = digits.substr(i, 2);
    const unsigned long v = wcstoul(pair.c_str(), &end, 16);
    if (!end || *end) return false;
    out.push_back(static_cast<BYTE>(v));
  }
  return true;
}

// Prints the value's type, size, bytes in hex and, for string types, the
// UTF-16 text (every character, NULs shown as \0).
int CmdRegGet(const Args& a) {
  HKEY root{};
  std::wstring sub;
  if (!SplitKey(a[0], root, sub)) return Fail(L"bad key " + a[0], kUsage);
  OwnedKey key;
  LSTATUS rc = RegOpenKeyExW(root, sub.c_str(), 0, KEY_QUERY_VALUE, key.put());
  if (rc != ERROR_SUCCESS) {
    Fact(L"key", L"missing");
    return kOk;
  }
  Fact(L"key", L"present");
  DWORD type = 0, size = 0;
  rc = RegQueryValueExW(key.get(), a[1].c_str(), nullptr, &type, nullptr, &size);
  if (rc != ERROR_SUCCESS) {
    Fact(L"value", L"missing");
    return kOk;
  }
  std::vector<BYTE> data(size);
  rc = RegQueryValueExW(key.get(), a[1].c_str(), nullptr, &type, data.data(), &size);
  if (rc != ERROR_SUCCESS) return Fail(L"RegQueryValueExW failed: " + std::to_wstring(rc));
  data.resize(size);
  Fact(L"value", L"present");
  Fact(L"type", std::to_wstring(type));
  Fact(L"size", std::to_wstring(size));
  std::wstring hex;
  for (BYTE b : data) {
    wchar_t buf[3];
    swprintf(buf, 3, L"%02x", b);
    hex += buf;
  }
  Fact(L"hex", hex);
  if (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ) {
    std::wstring text(size / sizeof(wchar_t), L'\0');
    memcpy(text.data(), data.data(), text.size() * sizeof(wchar_t));
    Fact(L"text", text);
  }
  return kOk;
}

// reg-delete KEY NAME: deletes one value; a missing value or key is fine.
int CmdRegDelete(const Args& a) {
  HKEY root{};
  std::wstring sub;
  if (!SplitKey(a[0], root, sub)) return Fail(L"bad key " + a[0], kUsage);
  OwnedKey key;
  if (RegOpenKeyExW(root, sub.c_str(), 0, KEY_SET_VALUE, key.put()) != ERROR_SUCCESS) return kOk;
  const LSTATUS rc = RegDeleteValueW(key.get(), a[1].c_str());
  return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND
             ? kOk
             : Fail(L"RegDeleteValueW failed: " + std::to_wstring(rc));
}

// reg-set KEY NAME TYPE HEXBYTES: stores exactly these bytes (no terminator
// is added), creating the key if needed.
int CmdRegSet(const Args& a) {
  HKEY root{};
  std::wstring sub;
  if (!SplitKey(a[0], root, sub)) return Fail(L"bad key " + a[0], kUsage);
  uint64_t type = 0;
  std::vector<BYTE> data;
  if (!ParseUInt(a[2], type) || !ParseHexBytes(a[3], data)) return Fail(L"bad type or bytes", kUsage);
  OwnedKey key;
  LSTATUS rc = RegCreateKeyExW(root, sub.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                               key.put(), nullptr);
  if (rc != ERROR_SUCCESS) return Fail(L"RegCreateKeyExW failed: " + std::to_wstring(rc));
  rc = RegSetValueExW(key.get(), a[1].c_str(), 0, static_cast<DWORD>(type), data.data(),
                      static_cast<DWORD>(data.size()));
  return rc == ERROR_SUCCESS ? kOk : Fail(L"RegSetValueExW failed: " + std::to_wstring(rc));
}

LONG NtQueryKeyName(HKEY key, std::wstring& name) {
  using NtQueryKeyFn = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
  auto nt_query_key = reinterpret_cast<NtQueryKeyFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryKey")));
  if (!nt_query_key) return -1;
  std::vector<BYTE> buf(4096);
  ULONG got = 0;
  constexpr int kKeyNameInformation = 3;  // { ULONG NameLength; WCHAR Name[]; }
  const LONG status = nt_query_key(key, kKeyNameInformation, buf.data(),
                                   static_cast<ULONG>(buf.size()), &got);
  if (status != 0) return status;
  ULONG bytes = 0;
  memcpy(&bytes, buf.data(), sizeof bytes);
  name.assign(reinterpret_cast<const wchar_t*>(buf.data() + sizeof(ULONG)), bytes / sizeof(wchar_t));
  return 0;
}

// The kernel path (\REGISTRY\USER\<sid>\...) of root\sub, through its parent
// key (the predefined root handles are not kernel keys).
bool KernelPath(HKEY root, const std::wstring& sub, std::wstring& out) {
  const size_t cut = sub.rfind(L'\\');
  if (cut == std::wstring::npos) return false;
  OwnedKey parent;
  if (RegOpenKeyExW(root, sub.substr(0, cut).c_str(), 0, KEY_QUERY_VALUE, parent.put()) !=
      ERROR_SUCCESS)
    return false;
  if (NtQueryKeyName(parent.get(), out) != 0) return false;
  out += sub.substr(cut);
  return true;
}

// reg-link KEY TARGET: makes KEY a registry symbolic link to TARGET, a kernel
// path such as \Registry\Machine\Software\Other, or "self". A link to itself
// can be neither opened nor created through: the way to give a program a key
// it cannot open (Wine has no key ACLs, and its user32 recreates some deleted
// keys, windowmetrics among them, whenever a program starts).
int CmdRegLink(const Args& a) {
  HKEY root{};
  std::wstring sub;
  if (!SplitKey(a[0], root, sub)) return Fail(L"bad key " + a[0], kUsage);
  std::wstring target = a[1];
  if (target == L"self" && !KernelPath(root, sub, target))
    return Fail(L"no kernel path for " + a[0]);
  OwnedKey key;
  LSTATUS rc = RegCreateKeyExW(root, sub.c_str(), 0, nullptr, REG_OPTION_CREATE_LINK,
                               KEY_ALL_ACCESS | KEY_CREATE_LINK, nullptr, key.put(), nullptr);
  if (rc != ERROR_SUCCESS) return Fail(L"RegCreateKeyExW(link) failed: " + std::to_wstring(rc));
  rc = RegSetValueExW(key.get(), L"SymbolicLinkValue", 0, REG_LINK,
                      reinterpret_cast<const BYTE*>(target.c_str()),
                      static_cast<DWORD>(target.size() * sizeof(wchar_t)));
  return rc == ERROR_SUCCESS ? kOk : Fail(L"setting the link target failed: " + std::to_wstring(rc));
}

// reg-unlink KEY: deletes the link itself (not its target).
int CmdRegUnlink(const Args& a) {
  HKEY root{};
  std::wstring sub;
  if (!SplitKey(a[0], root, sub)) return Fail(L"bad key " + a[0], kUsage);
  OwnedKey key;
  LSTATUS rc = RegOpenKeyExW(root, sub.c_str(), REG_OPTION_OPEN_LINK, DELETE, key.put());
  if (rc == ERROR_FILE_NOT_FOUND) return kOk;
  if (rc != ERROR_SUCCESS) return Fail(L"opening the link failed: " + std::to_wstring(rc));
  using NtDeleteKeyFn = LONG(WINAPI*)(HANDLE);
  auto nt_delete_key = reinterpret_cast<NtDeleteKeyFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtDeleteKey")));
  if (!nt_delete_key || nt_delete_key(key.get()) != 0) return Fail(L"NtDeleteKey failed");
  return kOk;
}

// ---- clipboard ----------------------------------------------------------------

// Opens the clipboard, retrying for up to a second while another program
// holds it; owned by a hidden window of this process so that data can be set.
class ClipboardSession {
 public:
  ClipboardSession() {
    window_ = CreateWindowExW(0, L"STATIC", L"pgdriver clipboard", 0, 0, 0, 1, 1, nullptr, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
    const ULONGLONG until = GetTickCount64() + 1000;
    while (!(open_ = OpenClipboard(window_) != FALSE) && GetTickCount64() < until) Sleep(10);
  }
  ~ClipboardSession() {
    if (open_) CloseClipboard();
    if (window_) DestroyWindow(window_);
  }
  ClipboardSession(const ClipboardSession&) = delete;
  ClipboardSession& operator=(const ClipboardSession&) = delete;
  explicit operator bool() const { return open_; }

 private:
  HWND window_ = nullptr;
  bool open_ = false;
};

// dib, dibv5, bitmap, palette, png, text, a number, or any registered name.
UINT ClipboardFormat(const std::wstring& name) {
  if (name == L"dib") return CF_DIB;
  if (name == L"dibv5") return CF_DIBV5;
  if (name == L"bitmap") return CF_BITMAP;
  if (name == L"palette") return CF_PALETTE;
  if (name == L"text") return CF_UNICODETEXT;
  if (name == L"png") return RegisterClipboardFormatW(L"PNG");
  uint64_t id = 0;
  if (ParseUInt(name, id) && id > 0 && id <= 0xFFFF) return static_cast<UINT>(id);
  return RegisterClipboardFormatW(name.c_str());
}

std::wstring ClipboardFormatName(UINT format) {
  switch (format) {
    case CF_TEXT: return L"CF_TEXT";
    case CF_BITMAP: return L"CF_BITMAP";
    case CF_OEMTEXT: return L"CF_OEMTEXT";
    case CF_DIB: return L"CF_DIB";
    case CF_PALETTE: return L"CF_PALETTE";
    case CF_UNICODETEXT: return L"CF_UNICODETEXT";
    case CF_LOCALE: return L"CF_LOCALE";
    case CF_DIBV5: return L"CF_DIBV5";
    default: break;
  }
  wchar_t buf[256] = {};
  return GetClipboardFormatNameW(format, buf, 256) > 0 ? std::wstring(buf) : L"#" + std::to_wstring(format);
}

// hex:HEX, text:TEXT (UTF-16 with its NUL) or a file's bytes.
bool SourceBytes(const std::wstring& source, std::vector<BYTE>& out) {
  if (source.rfind(L"hex:", 0) == 0) return ParseHexBytes(source.substr(4), out);
  if (source.rfind(L"text:", 0) == 0) {
    const std::wstring text = source.substr(5);
    const auto* p = reinterpret_cast<const BYTE*>(text.c_str());
    out.assign(p, p + (text.size() + 1) * sizeof(wchar_t));
    return true;
  }
  OwnedHandle file(CreateFileW(source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.get() == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size) || size.QuadPart > (256 << 20)) return false;
  out.resize(static_cast<size_t>(size.QuadPart));
  DWORD got = 0;
  return out.empty() || (ReadFile(file.get(), out.data(), static_cast<DWORD>(out.size()), &got, nullptr) &&
                         got == out.size());
}

// A bitmap file's bytes without the 14-byte file header: a packed DIB (the
// files the tests use have their rows right after the colour table).
void StripFileHeader(std::vector<BYTE>& bytes) {
  if (bytes.size() > 14 && bytes[0] == 'B' && bytes[1] == 'M') bytes.erase(bytes.begin(), bytes.begin() + 14);
}

bool PutBlock(UINT format, const std::vector<BYTE>& bytes) {
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes.empty() ? 1 : bytes.size());
  if (!block) return false;
  if (void* p = GlobalLock(block)) {
    if (!bytes.empty()) memcpy(p, bytes.data(), bytes.size());
    GlobalUnlock(block);
  }
  if (SetClipboardData(format, block)) return true;
  GlobalFree(block);
  return false;
}

// CF_BITMAP from a packed DIB: a device-dependent bitmap of the screen, and
// CF_PALETTE of the DIB's colour table when it has one.
bool PutBitmap(const std::vector<BYTE>& dib) {
  if (dib.size() < sizeof(BITMAPINFOHEADER)) return false;
  BITMAPINFOHEADER h;
  memcpy(&h, dib.data(), sizeof h);
  if (h.biSize < sizeof h || h.biSize > dib.size()) return false;
  size_t colours = h.biBitCount <= 8 ? (h.biClrUsed ? h.biClrUsed : (1u << h.biBitCount)) : h.biClrUsed;
  size_t table = h.biSize + colours * 4 + (h.biCompression == BI_BITFIELDS && h.biSize == 40 ? 12 : 0);
  if (colours > 256 || table > dib.size()) return false;
  const auto* info = reinterpret_cast<const BITMAPINFO*>(dib.data());
  HDC screen = GetDC(nullptr);
  HBITMAP bitmap = CreateDIBitmap(screen, &h, CBM_INIT, dib.data() + table, info, DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  if (!bitmap) return false;
  if (!SetClipboardData(CF_BITMAP, bitmap)) {
    DeleteObject(bitmap);
    return false;
  }
  if (h.biBitCount > 8) return true;
  std::vector<BYTE> log(sizeof(LOGPALETTE) + colours * sizeof(PALETTEENTRY));
  auto* pal = reinterpret_cast<LOGPALETTE*>(log.data());
  pal->palVersion = 0x300;
  pal->palNumEntries = static_cast<WORD>(colours);
  const BYTE* quads = dib.data() + h.biSize;
  for (size_t i = 0; i < colours; ++i)
    pal->palPalEntry[i] = PALETTEENTRY{quads[i * 4 + 2], quads[i * 4 + 1], quads[i * 4], 0};
  HPALETTE palette = CreatePalette(pal);
  if (!palette) return false;
  if (SetClipboardData(CF_PALETTE, palette)) return true;
  DeleteObject(palette);
  return false;
}

// clip-set FORMAT SOURCE [FORMAT SOURCE ...]: empties the clipboard and puts
// every block, in order, as one program does when it offers several forms.
int CmdClipSet(const Args& a) {
  if (a.size() % 2) return Fail(L"FORMAT and SOURCE come in pairs", kUsage);
  std::vector<std::pair<UINT, std::vector<BYTE>>> blocks;
  for (size_t i = 0; i < a.size(); i += 2) {
    const UINT format = ClipboardFormat(a[i]);
    std::vector<BYTE> bytes;
    if (!format || !SourceBytes(a[i + 1], bytes)) return Fail(L"bad format or source " + a[i + 1], kUsage);
    if (format == CF_DIB || format == CF_DIBV5 || format == CF_BITMAP) StripFileHeader(bytes);
    blocks.emplace_back(format, std::move(bytes));
  }
  ClipboardSession clipboard;
  if (!clipboard) return Fail(L"the clipboard stays busy");
  if (!EmptyClipboard()) return Fail(L"EmptyClipboard failed");
  for (const auto& [format, bytes] : blocks) {
    const bool put = format == CF_BITMAP ? PutBitmap(bytes) : PutBlock(format, bytes);
    if (!put) return Fail(L"putting " + ClipboardFormatName(format) + L" failed");
  }
  return kOk;
}

int CmdClipEmpty(const Args&) {
  ClipboardSession clipboard;
  if (!clipboard) return Fail(L"the clipboard stays busy");
  return EmptyClipboard() ? kOk : Fail(L"EmptyClipboard failed");
}

// One "format ID NAME" line per form the clipboard offers, in its order
// (forms the system would make from others included).
int CmdClipFormats(const Args&) {
  ClipboardSession clipboard;
  if (!clipboard) return Fail(L"the clipboard stays busy");
  for (UINT f = EnumClipboardFormats(0); f != 0; f = EnumClipboardFormats(f))
    Fact(L"format", std::to_wstring(f) + L' ' + ClipboardFormatName(f));
  return kOk;
}

// clip-get FORMAT [FILE]: the block's size and hex, or its bytes into FILE.
// For bitmap: the bitmap's width, height and bits per pixel.
int CmdClipGet(const Args& a) {
  const UINT format = ClipboardFormat(a[0]);
  ClipboardSession clipboard;
  if (!clipboard) return Fail(L"the clipboard stays busy");
  if (!IsClipboardFormatAvailable(format)) return Fail(L"no " + ClipboardFormatName(format));
  const HANDLE data = GetClipboardData(format);
  if (!data) return Fail(L"GetClipboardData failed");
  if (format == CF_BITMAP) {
    BITMAP bm{};
    if (!GetObjectW(data, sizeof bm, &bm)) return Fail(L"not a bitmap");
    Fact(L"width", std::to_wstring(bm.bmWidth));
    Fact(L"height", std::to_wstring(bm.bmHeight));
    Fact(L"bpp", std::to_wstring(bm.bmBitsPixel));
    return kOk;
  }
  const void* p = GlobalLock(data);
  if (!p) return Fail(L"GlobalLock failed");
  const auto* bytes = static_cast<const BYTE*>(p);
  const size_t size = GlobalSize(data);
  int status = kOk;
  if (a.size() > 1) {
    OwnedHandle file(CreateFileW(a[1].c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (file.get() == INVALID_HANDLE_VALUE ||
        !WriteFile(file.get(), bytes, static_cast<DWORD>(size), &written, nullptr) || written != size)
      status = Fail(L"cannot write " + a[1]);
    Fact(L"size", std::to_wstring(size));
  } else {
    Fact(L"size", std::to_wstring(size));
    std::wstring hex;
    hex.reserve(size * 2);
    for (size_t i = 0; i < size; ++i) {
      wchar_t buf[3];
      swprintf(buf, 3, L"%02x", bytes[i]);
      hex += buf;
    }
    Fact(L"hex", hex);
  }
  GlobalUnlock(data);
  return status;
}

// clip-hold MS: keeps the clipboard open for MS milliseconds, as a program
// that is slow to close it does. "held" is printed once it is open.
int CmdClipHold(const Args& a) {
  DWORD ms = 0;
  if (!ParseTimeout(a[0], ms)) return Fail(L"bad time " + a[0], kUsage);
  ClipboardSession clipboard;
  if (!clipboard) return Fail(L"the clipboard stays busy");
  Fact(L"held", std::to_wstring(ms));
  Sleep(ms);
  return kOk;
}

// ---- table --------------------------------------------------------------------

struct Command {
  const wchar_t* name;
  size_t min_args;
  const wchar_t* usage;
  int (*run)(const Args&);
};

int CmdHelp(const Args&);

const Command kCommands[] = {
    {L"help", 0, L"", CmdHelp},
    {L"msgbox-wait", 2, L"CAPTION TIMEOUT_MS [BUTTON]   hwnd, caption, text, buttons, controls; then "
     L"presses BUTTON if given",
     CmdMsgboxWait},
    {L"msgbox-press", 2, L"CAPTION IDOK|IDCANCEL|ID [TIMEOUT_MS]", CmdMsgboxPress},
    {L"wait-process", 2, L"PID|box TIMEOUT_MS   until it ends; its exit code", CmdWaitProcess},
    {L"msgbox-show", 3, L"CAPTION TEXT FLAGS [LANGID]   exits with the button id",
     CmdMsgboxShow},
    {L"wait-window", 2, L"TARGET TIMEOUT_MS   until a visible window matches", CmdWaitWindow},
    {L"wait-gone", 2, L"TARGET TIMEOUT_MS   until no visible window matches", CmdWaitGone},
    {L"windows", 0, L"   every top-level window: hwnd, visibility, pid, class, title",
     CmdWindows},
    {L"tooltips", 0, L"   every tooltip control: hwnd, visibility, pid, the tip's text", CmdToolTips},
    {L"children", 1, L"TARGET   every descendant: hwnd, id, class, visibility, rect, text",
     OnTarget<CmdChildren>},
    {L"text", 1, L"TARGET", OnTarget<CmdText>},
    {L"xid", 1, L"TARGET   the X window id (decimal) of a top-level window", OnTarget<CmdXid>},
    {L"iconic", 1, L"TARGET   IsIconic and IsWindowVisible", OnTarget<CmdIconic>},
    {L"style", 1, L"TARGET   style, exstyle, topmost", OnTarget<CmdStyle>},
    {L"exstyle", 1, L"TARGET   (same as style)", OnTarget<CmdStyle>},
    {L"rect", 1, L"TARGET   window and client rectangles in screen coordinates", OnTarget<CmdRect>},
    {L"enable", 1, L"TARGET [0|1]   EnableWindow if asked; whether it is enabled", OnTarget<CmdEnable>},
    {L"raise", 1, L"TARGET   SetWindowPos HWND_TOP with SWP_NOMOVE | SWP_NOSIZE only", OnTarget<CmdRaise>},
    {L"foreground", 0, L"", CmdForeground},
    {L"post", 4, L"TARGET MSG WPARAM LPARAM", OnTarget<CmdPost>},
    {L"post-command", 2, L"TARGET ID   WM_COMMAND", CmdPostCommand},
    {L"list-count", 1, L"TARGET   items of the (first) list view", OnTarget<CmdListCount>},
    {L"list-items", 1, L"TARGET   each item: index, selected, screen rects (item, label), text", OnTarget<CmdListItems>},
    {L"focus", 1, L"TARGET   active and focused window of the target's thread", OnTarget<CmdFocus>},
    {L"watch-colour", 6, L"X Y W H RRGGBB MS   pixels of that colour in a screen rect, as it changes",
     CmdWatchColour},
    {L"hold", 2, L"FILE MS   opens FILE unshared and keeps it open", CmdHold},
    {L"depth", 0, L"   GetDeviceCaps(BITSPIXEL) of the screen", CmdDepth},
    {L"dpi", 1, L"TARGET   window (GetDpiForWindow), awareness, cursor (SM_CXCURSOR at it), "
     L"logpixels (the screen's LOGPIXELSX)",
     OnTarget<CmdDpi>},
    {L"drop", 4, L"TARGET X Y FILE...   WM_DROPFILES at client point X,Y", OnTarget<CmdDrop>},
    {L"dpi-changed", 2, L"TARGET DPI [X Y W H]   WM_DPICHANGED, with that suggested screen rect",
     OnTarget<CmdDpiChanged>},
    {L"reg-get", 2, L"KEY NAME   type, size, hex, text", CmdRegGet},
    {L"reg-delete", 2, L"KEY NAME   deletes the value (missing is fine)", CmdRegDelete},
    {L"reg-link", 2, L"KEY TARGET|self   KEY becomes a registry link (TARGET: kernel path)",
     CmdRegLink},
    {L"reg-unlink", 1, L"KEY   deletes the link KEY itself", CmdRegUnlink},
    {L"reg-set", 4, L"KEY NAME TYPE HEXBYTES   exact bytes, key created", CmdRegSet},
    {L"clip-set", 2, L"FORMAT SOURCE [FORMAT SOURCE...]   empties the clipboard and puts each block; "
     L"FORMAT dib|dibv5|png|bitmap|text|ID|NAME, SOURCE FILE|hex:HEX|text:TEXT (a .bmp file loses its "
     L"file header; bitmap adds CF_PALETTE for a colour table)",
     CmdClipSet},
    {L"clip-empty", 0, L"", CmdClipEmpty},
    {L"clip-formats", 0, L"   every form offered: id and name", CmdClipFormats},
    {L"clip-get", 1, L"FORMAT [FILE]   size and hex of the block (or into FILE); bitmap: size, bpp",
     CmdClipGet},
    {L"clip-hold", 1, L"MS   keeps the clipboard open", CmdClipHold},
};

int CmdHelp(const Args&) {
  for (const auto& c : kCommands) Fact(c.name, c.usage);
  return kOk;
}

int RunOne(const Args& words) {
  const std::wstring& name = words[0];
  const Args args(words.begin() + 1, words.end());
  for (const auto& c : kCommands) {
    if (name != c.name) continue;
    if (args.size() < c.min_args)
      return Fail(std::wstring(L"usage: pgdriver ") + c.name + L' ' + c.usage, kUsage);
    return c.run(args);
  }
  return Fail(L"unknown subcommand " + name + L" (pgdriver help)", kUsage);
}

}  // namespace

// pgdriver CMD ARGS [+ CMD ARGS ...]: several subcommands in one process
// (each Wine process start costs a tenth of a second or more), in order,
// stopping at the first that fails. Each one's output begins with "step N".
int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    CmdHelp({});
    return kUsage;
  }
  std::vector<Args> steps(1);
  for (int i = 1; i < argc; ++i) {
    if (std::wstring_view(argv[i]) == L"+") {
      steps.emplace_back();
    } else {
      steps.back().emplace_back(argv[i]);
    }
  }
  for (size_t i = 0; i < steps.size(); ++i) {
    if (steps[i].empty()) return Fail(L"empty step", kUsage);
    if (steps.size() > 1) Fact(L"step", std::to_wstring(i));
    if (const int status = RunOne(steps[i]); status != kOk) return status;
  }
  return kOk;
}
