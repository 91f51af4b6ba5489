// The standard dialogs of the Win32 backend (COMDLG32): font, colour and save-file dialogs, each modal
// to its owner form.

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "platform/win32/UiWin32.h"

// After UiWin32.h, which brings <windows.h>.
#include <commdlg.h>

namespace ui {
namespace win32 {

namespace {

HWND OwnerOf(const Form* form) {
  if (form == nullptr || form->Native() == nullptr) return nullptr;
  return static_cast<HWND>(form->Native()->WindowHandle());
}

// The custom colours of a colour dialog, kept from one opening to the next.
class ColorDialogNative : public NativeData {
 public:
  ColorDialogNative() { custom.fill(0xFFFFFF); }  // white, as the dialog starts them
  std::array<COLORREF, 16> custom{};
};

// The longest file name the save dialog hands back.
constexpr std::size_t kFileNameBuffer = 32768;

}  // namespace

void CreateColorDialogNative(ColorDialog& dialog) { dialog.SetNative(std::make_unique<ColorDialogNative>()); }

}  // namespace win32

namespace native {

using namespace win32;

bool ExecuteFontDialog(FontDialog& dialog) {
  const Font& initial = dialog.GetFont();
  // The dialog turns heights into points at the screen's resolution; the font is described at it too.
  LOGFONTA logFont = MakeLogFont(initial, ScreenPixelsPerInch());
  CHOOSEFONTA choose{};
  choose.lStructSize = sizeof(choose);
  choose.hwndOwner = OwnerOf(dialog.Owner());
  choose.lpLogFont = &logFont;
  choose.Flags = CF_SCREENFONTS | CF_EFFECTS | CF_INITTOLOGFONTSTRUCT;
  choose.rgbColors = ToColorRef(initial.color);
  if (!ChooseFontA(&choose)) return false;
  Font chosen = initial;  // the pitch is not offered by the dialog and stays
  chosen.name.assign(logFont.lfFaceName, strnlen(logFont.lfFaceName, LF_FACESIZE));
  chosen.size = (choose.iPointSize + 5) / 10;  // tenths of a point, to the nearest point
  chosen.bold = logFont.lfWeight >= FW_BOLD;
  chosen.italic = logFont.lfItalic != 0;
  chosen.underline = logFont.lfUnderline != 0;
  chosen.strikeOut = logFont.lfStrikeOut != 0;
  chosen.charset = logFont.lfCharSet;
  chosen.color = static_cast<TColor>(choose.rgbColors & 0xFFFFFFu);
  dialog.SetFont(chosen);
  return true;
}

bool ExecuteColorDialog(ColorDialog& dialog) {
  auto* native = dynamic_cast<ColorDialogNative*>(dialog.Native());
  ColorDialogNative fallback;
  CHOOSECOLORA choose{};
  choose.lStructSize = sizeof(choose);
  choose.hwndOwner = OwnerOf(dialog.Owner());
  choose.rgbResult = ToColorRef(dialog.Color());
  choose.lpCustColors = (native != nullptr ? native : &fallback)->custom.data();
  choose.Flags = CC_RGBINIT;
  if (!ChooseColorA(&choose)) return false;
  dialog.SetColor(static_cast<TColor>(choose.rgbResult & 0xFFFFFFu));
  return true;
}

bool ExecuteSaveDialog(SaveDialog& dialog) {
  // "Text|pattern|Text|pattern" becomes the pairs of zero-terminated strings the dialog takes.
  std::string filter = dialog.Filter();
  std::replace(filter.begin(), filter.end(), '|', '\0');
  filter.append(2, '\0');
  std::string defaultExt = dialog.DefaultExt();
  if (!defaultExt.empty() && defaultExt.front() == '.') defaultExt.erase(0, 1);

  std::vector<char> file(kFileNameBuffer, '\0');
  const std::string& last = dialog.FileName();
  // A name too long for the buffer would be cut into another name: the dialog then opens empty.
  if (last.size() < file.size()) std::memcpy(file.data(), last.data(), last.size());

  OPENFILENAMEA open{};
  open.lStructSize = sizeof(open);
  open.hwndOwner = OwnerOf(dialog.Owner());
  open.lpstrFilter = dialog.Filter().empty() ? nullptr : filter.c_str();
  open.nFilterIndex = static_cast<DWORD>(std::max(dialog.FilterIndex(), 0));
  open.lpstrFile = file.data();
  open.nMaxFile = static_cast<DWORD>(file.size());
  open.lpstrDefExt = defaultExt.empty() ? nullptr : defaultExt.c_str();
  // The process's current directory stays what the program made it.
  open.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_NOCHANGEDIR;
  if (dialog.OverwritePrompt()) open.Flags |= OFN_OVERWRITEPROMPT;

  BOOL chosen = GetSaveFileNameA(&open);
  if (!chosen && CommDlgExtendedError() == FNERR_INVALIDFILENAME && file[0] != '\0') {
    // The last name is no valid name (any more): the dialog opens without it instead of not at all.
    std::fill(file.begin(), file.end(), '\0');
    chosen = GetSaveFileNameA(&open);
  }
  if (!chosen) return false;
  dialog.SetFileName(std::string(file.data(), strnlen(file.data(), file.size())));
  dialog.SetFilterIndex(static_cast<int>(open.nFilterIndex));
  return true;
}

}  // namespace native
}  // namespace ui
