#include "components/drop_file.h"

#include <shellapi.h>

#include <algorithm>

#include <vector>

#include "imaging/icon_intake.h"
#include "win/handles.h"
#include "win/strings.h"

namespace {

struct DropCloser {
  void operator()(HDROP h) const noexcept { DragFinish(h); }
};
using unique_hdrop = pgw::unique_handle<HDROP, DropCloser>;

}  // namespace

bool TDropFile::AcceptFiles() noexcept {
  DragAcceptFiles(owner_, TRUE);
  return true;
}

bool TDropFile::ReadDrop(UINT, WPARAM wp, LPARAM) {
  const unique_hdrop drop(reinterpret_cast<HDROP>(wp));  // released at the end
  // Asked for its length first, the name is never cut: a cut name would
  // name another file, or none.
  const UINT length = DragQueryFileW(drop.get(), 0, nullptr, 0);
  std::vector<wchar_t> name(static_cast<std::size_t>(length) + 1, L'\0');
  const UINT got = DragQueryFileW(drop.get(), 0, name.data(), length + 1);
  POINT point{};
  DragQueryPoint(drop.get(), &point);
  FileName.assign(name.data(), std::min(got, length));
  FileExt = pgw::ToWide(pg::ExtensionOfPath(pgw::ToU16(FileName)));
  DropPoint = point;
  return true;
}
