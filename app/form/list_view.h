// The system's list view in icon mode, hosted on a form: items with a
// caption and an image from the view's image list, single selection,
// captions the user may edit in place. The form hears of double clicks,
// Enter and Esc through handlers.
#pragma once

#include "win/handles.h"  // windows.h before commctrl.h

#include <commctrl.h>

#include <cstdint>
#include <functional>
#include <string>

#include "form/child_window.h"
#include "imaging/icon.h"

namespace pgf {

// An image list of icons of one size; owns its handle.
class ImageList {
 public:
  ImageList() = default;
  ~ImageList() { Reset(); }
  ImageList(const ImageList&) = delete;
  ImageList& operator=(const ImageList&) = delete;

  // Creates the list for images of size x size pixels, emptying it, with
  // room for `capacity` images before it grows: growing copies every image
  // so far, which for a long list of large icons costs more than adding them.
  bool Create(int size, int capacity = 16);
  void Clear() noexcept;
  // Appends a copy of an icon of the list's size; the new image's index,
  // -1 when it could not be added.
  int Add(const pg::Icon& icon) noexcept;
  HIMAGELIST Handle() const noexcept { return list_; }
  // The images' width and height (0 before Create).
  int Size() const noexcept { return size_; }

 private:
  void Reset() noexcept;
  HIMAGELIST list_ = nullptr;
  int size_ = 0;
  // One colour and one mask picture that every Add fills and the list
  // copies from: making two bitmaps per icon costs more than the icon.
  pgw::unique_hbitmap colour_, mask_;
  std::uint32_t* colourBits_ = nullptr;
  std::uint32_t* maskBits_ = nullptr;
};

class ListView : public ChildWindow {
 public:
  // Creates the view at `place` on the form, in icon mode.
  bool Create(Form& form, Place place, int id);

  void SetLargeImages(const ImageList& images) noexcept;
  // The view lets go of its image list, before the list is made anew.
  void DetachLargeImages() noexcept;
  // The distance between neighbouring items' left and top edges; the items
  // are arranged anew at it.
  void SetIconSpacing(int cx, int cy) noexcept;
  // Moves and sizes the view on its form.
  void SetPlace(Place place) noexcept;
  void SetFont(HFONT font) noexcept;  // not owned
  void SetItemImage(int index, int imageIndex) noexcept;
  void Clear() noexcept;
  // Appends an item; its index.
  int AddItem(const std::wstring& caption, int imageIndex);
  int Count() const noexcept;
  // The selected item's index, -1 when none is selected.
  int Selected() const noexcept;
  void Select(int index) noexcept;
  std::wstring Caption(int index) const;

  std::function<void(ListView&)> OnDblClick;
  std::function<void(ListView&)> OnReturn;  // Enter, outside caption editing
  std::function<void(ListView&)> OnEscape;  // Esc, outside caption editing

  LRESULT Notify(const NMHDR& header) override;
};

}  // namespace pgf
