#include "form/list_view.h"

#include <commctrl.h>

#include <vector>

#include "win/dib.h"

namespace pgf {

bool ImageList::Create(int size) {
  Reset();
  list_ = ImageList_Create(size, size, ILC_COLOR32 | ILC_MASK, 16, 16);
  return list_ != nullptr;
}

void ImageList::Clear() noexcept {
  if (list_) ImageList_RemoveAll(list_);
}

int ImageList::Add(const pg::Icon& icon) noexcept {
  if (!list_ || icon.Empty()) return -1;
  pgw::WindowDc screen(nullptr);
  // The list keeps its own copies; its mask is made from the mask image's
  // white (transparent) pixels.
  const pgw::unique_hbitmap colour = pgw::Dib(icon.colour).ToBitmap(screen.get());
  const pgw::unique_hbitmap mask = pgw::Dib(icon.mask).ToBitmap(screen.get());
  if (!colour || !mask) return -1;
  return ImageList_Add(list_, colour.get(), mask.get());
}

void ImageList::Reset() noexcept {
  if (list_) ImageList_Destroy(list_);
  list_ = nullptr;
}

bool ListView::Create(Form& form, Place place, int id) {
  // The view shares its image list: the form's ImageList owns it.
  const DWORD style = WS_VISIBLE | WS_TABSTOP | LVS_ICON | LVS_SINGLESEL | LVS_EDITLABELS |
                      LVS_AUTOARRANGE | LVS_SHAREIMAGELISTS;
  if (!ChildWindow::Create(form, WC_LISTVIEWW, style, WS_EX_CLIENTEDGE, place, id)) return false;
  ListView_SetExtendedListViewStyle(Handle(), LVS_EX_DOUBLEBUFFER);
  return true;
}

void ListView::SetLargeImages(const ImageList& images) noexcept {
  ListView_SetImageList(Handle(), images.Handle(), LVSIL_NORMAL);
}

void ListView::Clear() noexcept { ListView_DeleteAllItems(Handle()); }

int ListView::AddItem(const std::wstring& caption, int imageIndex) {
  LVITEMW item{};
  item.mask = LVIF_TEXT | LVIF_IMAGE;
  item.iItem = Count();
  item.pszText = const_cast<wchar_t*>(caption.c_str());
  item.iImage = imageIndex;
  return static_cast<int>(SendMessageW(Handle(), LVM_INSERTITEMW, 0,
                                       reinterpret_cast<LPARAM>(&item)));
}

int ListView::Count() const noexcept { return ListView_GetItemCount(Handle()); }

int ListView::Selected() const noexcept {
  return ListView_GetNextItem(Handle(), -1, LVNI_SELECTED);
}

void ListView::Select(int index) noexcept {
  ListView_SetItemState(Handle(), index, LVIS_SELECTED | LVIS_FOCUSED,
                        LVIS_SELECTED | LVIS_FOCUSED);
}

std::wstring ListView::Caption(int index) const {
  // LVM_GETITEMTEXT says how much it copied, not how long the text is:
  // grow until the text fits.
  std::vector<wchar_t> buf(64);
  for (;;) {
    LVITEMW item{};
    item.iSubItem = 0;
    item.pszText = buf.data();
    item.cchTextMax = static_cast<int>(buf.size());
    const auto n = static_cast<std::size_t>(
        SendMessageW(Handle(), LVM_GETITEMTEXTW, index, reinterpret_cast<LPARAM>(&item)));
    if (n + 1 < buf.size() || buf.size() >= 65536) return std::wstring(buf.data(), n);
    buf.resize(buf.size() * 4);
  }
}

LRESULT ListView::Notify(const NMHDR& header) {
  switch (header.code) {
    case NM_DBLCLK:
      if (OnDblClick) OnDblClick(*this);
      return 0;
    case NM_RETURN:
      if (OnReturn) OnReturn(*this);
      return 0;
    case LVN_KEYDOWN:
      if (reinterpret_cast<const NMLVKEYDOWN&>(header).wVKey == VK_ESCAPE && OnEscape)
        OnEscape(*this);
      return 0;
    case LVN_ENDLABELEDITW:
      // Any new caption is taken as typed; a cancelled edit has no text.
      return reinterpret_cast<const NMLVDISPINFOW&>(header).item.pszText != nullptr;
    default:
      return 0;
  }
}

}  // namespace pgf
