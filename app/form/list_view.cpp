#include "form/list_view.h"

#include <commctrl.h>

#include <vector>

#include "win/dib.h"


namespace pgf {

namespace {

// COLORREF (0x00BBGGRR) to a DIB's 0x00RRGGBB.
void CopyPixels(const pg::Image& image, std::uint32_t* bits) {
  for (pg::Colour c : image.Pixels())
    *bits++ = (std::uint32_t{pg::RedOf(c)} << 16) | (std::uint32_t{pg::GreenOf(c)} << 8) |
              std::uint32_t{pg::BlueOf(c)};
}

}  // namespace

bool ImageList::Create(int size, int capacity) {
  Reset();
  size_ = size;
  list_ = ImageList_Create(size, size, ILC_COLOR32 | ILC_MASK, capacity < 1 ? 1 : capacity, 16);
  colour_ = pgw::MakeDibSection(size, size, colourBits_);
  mask_ = pgw::MakeDibSection(size, size, maskBits_);
  return list_ && colour_ && mask_;
}

void ImageList::Clear() noexcept {
  if (list_) ImageList_RemoveAll(list_);
}

int ImageList::Add(const pg::Icon& icon) noexcept {
  if (!list_ || !colour_ || icon.colour.Width() != size_ || icon.colour.Height() != size_ ||
      icon.mask.Width() != size_ || icon.mask.Height() != size_)
    return -1;
  // The list keeps its own copies; its mask is made from the mask image's
  // white (transparent) pixels.
  GdiFlush();
  CopyPixels(icon.colour, colourBits_);
  CopyPixels(icon.mask, maskBits_);
  return ImageList_Add(list_, colour_.get(), mask_.get());
}

void ImageList::Reset() noexcept {
  if (list_) ImageList_Destroy(list_);
  list_ = nullptr;
  colour_.reset();
  mask_.reset();
  colourBits_ = maskBits_ = nullptr;
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

void ListView::DetachLargeImages() noexcept {
  ListView_SetImageList(Handle(), nullptr, LVSIL_NORMAL);
}

void ListView::SetIconSpacing(int cx, int cy) noexcept {
  ListView_SetIconSpacing(Handle(), cx, cy);
  ListView_Arrange(Handle(), LVA_DEFAULT);
}

void ListView::SetPlace(Place place) noexcept {
  SetWindowPos(Handle(), nullptr, place.left, place.top, place.width, place.height,
               SWP_NOZORDER | SWP_NOACTIVATE);
}

void ListView::SetFont(HFONT font) noexcept {
  SendMessageW(Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

void ListView::SetItemImage(int index, int imageIndex) noexcept {
  LVITEMW item{};
  item.mask = LVIF_IMAGE;
  item.iItem = index;
  item.iImage = imageIndex;
  SendMessageW(Handle(), LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
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
