#include "win/fonts.h"

#include <cwchar>

namespace pgw {
namespace {

constexpr wchar_t kFace[] = L"ＭＳ Ｐゴシック";
constexpr wchar_t kFaceLatin[] = L"MS PGothic";

int CALLBACK FontFound(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;
}

bool HasFont(const wchar_t* face) {
  LOGFONTW lf{};
  lf.lfCharSet = DEFAULT_CHARSET;
  wcsncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
  bool found = false;
  WindowDc screen(nullptr);
  EnumFontFamiliesExW(screen.get(), &lf, &FontFound, reinterpret_cast<LPARAM>(&found), 0);
  return found;
}

}  // namespace

unique_hfont MakeUiFont(int height) {
  LOGFONTW lf{};
  // A system that is not Japanese lists the face by its English name.
  const wchar_t* face = HasFont(kFace) ? kFace : HasFont(kFaceLatin) ? kFaceLatin : nullptr;
  if (face) {
    wcsncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
    lf.lfCharSet = SHIFTJIS_CHARSET;
  } else {
    NONCLIENTMETRICSW ncm{};
    ncm.cbSize = sizeof ncm;
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof ncm, &ncm, 0)) lf = ncm.lfMessageFont;
  }
  lf.lfHeight = height;  // a cell of this height
  lf.lfWidth = 0;
  lf.lfWeight = FW_NORMAL;
  return unique_hfont(CreateFontIndirectW(&lf));
}

}  // namespace pgw
