// The standard dialogs of the Win32 backend (COMDLG32): font, colour, save-file and open-file dialogs,
// each modal to its owner form. A save dialog with a type-change handler runs with a hook, through which the
// handler learns the type picked and reads and writes the name box of the open dialog.

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "platform/win32/UiWin32.h"

// After UiWin32.h, which brings <windows.h>.
#include <commdlg.h>
#include <dlgs.h>

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
// The buffer the name in an open save dialog is first asked into (a path of MAX_PATH characters).
constexpr std::size_t kDialogPathBuffer = 261;

// "Text|pattern|Text|pattern" as the pairs of zero-terminated strings the file dialogs take.
std::string DialogFilter(std::string filter) {
  std::replace(filter.begin(), filter.end(), '|', '\0');
  filter.append(2, '\0');
  return filter;
}

// A save dialog while it is open with its hook: the hook's dialog window, a child of the dialog.
struct OpenSave {
  SaveDialog* dialog = nullptr;
  HWND hook = nullptr;
};
std::vector<OpenSave*>& OpenSaves() {
  static std::vector<OpenSave*> open;
  return open;
}

// Registers an open save dialog for as long as it is open.
class OpenSaveScope {
 public:
  explicit OpenSaveScope(OpenSave& open) : open_(open) { OpenSaves().push_back(&open_); }
  ~OpenSaveScope() { std::erase(OpenSaves(), &open_); }
  OpenSaveScope(const OpenSaveScope&) = delete;
  OpenSaveScope& operator=(const OpenSaveScope&) = delete;

 private:
  OpenSave& open_;
};

// The window of the open dialog (the hook's parent), or null when the dialog is not open.
HWND OpenDialogWindow(const SaveDialog& dialog) {
  for (const OpenSave* open : OpenSaves()) {
    if (open->dialog == &dialog && open->hook != nullptr) return GetParent(open->hook);
  }
  return nullptr;
}

UINT_PTR CALLBACK SaveDialogHook(HWND hook, UINT message, WPARAM, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    const auto* open = reinterpret_cast<const OPENFILENAMEA*>(lParam);
    auto* context = reinterpret_cast<OpenSave*>(open->lCustData);
    if (context != nullptr) context->hook = hook;
    SetWindowLongPtrA(hook, DWLP_USER, static_cast<LONG_PTR>(open->lCustData));
    return 0;
  }
  if (message == WM_NOTIFY) {
    const auto* notify = reinterpret_cast<const OFNOTIFYA*>(lParam);
    auto* context = reinterpret_cast<OpenSave*>(GetWindowLongPtrA(hook, DWLP_USER));
    if (notify != nullptr && context != nullptr && notify->hdr.code == CDN_TYPECHANGE &&
        notify->lpOFN != nullptr) {
      context->hook = hook;
      SaveDialog& dialog = *context->dialog;
      const int index = static_cast<int>(notify->lpOFN->nFilterIndex);
      Application& app = dialog.Owner()->App();
      Guard(app, [&] { dialog.NativeTypeChanged(index); });
    }
  }
  return 0;  // the dialog goes on as it would without the hook
}

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

// The file dialogs' common part: the last name in the name buffer (a name too long for the buffer would
// be cut into another name: the dialog then opens empty), owner, filter and filter index.
struct FileDialogSetUp {
  std::string filter;
  std::vector<char> file = std::vector<char>(kFileNameBuffer, '\0');
  OPENFILENAMEA open{};

  FileDialogSetUp(Form* owner, const std::string& filterText, int filterIndex, const std::string& last)
      : filter(DialogFilter(filterText)) {
    if (last.size() < file.size()) std::memcpy(file.data(), last.data(), last.size());
    open.lStructSize = sizeof(open);
    open.hwndOwner = OwnerOf(owner);
    open.lpstrFilter = filterText.empty() ? nullptr : filter.c_str();
    open.nFilterIndex = static_cast<DWORD>(std::max(filterIndex, 0));
    open.lpstrFile = file.data();
    open.nMaxFile = static_cast<DWORD>(file.size());
    // The process's current directory stays what the program made it.
    open.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_NOCHANGEDIR;
  }
  FileDialogSetUp(const FileDialogSetUp&) = delete;  // the structure points into this object
  FileDialogSetUp& operator=(const FileDialogSetUp&) = delete;
  // Runs the dialog; a last name that is no valid name (any more) opens it without the name instead of
  // not at all.
  bool Run(BOOL(WINAPI* show)(LPOPENFILENAMEA)) {
    BOOL chosen = show(&open);
    if (!chosen && CommDlgExtendedError() == FNERR_INVALIDFILENAME && file[0] != '\0') {
      std::fill(file.begin(), file.end(), '\0');
      chosen = show(&open);
    }
    return chosen != FALSE;
  }
  std::string Chosen() const { return std::string(file.data(), strnlen(file.data(), file.size())); }
};

bool ExecuteSaveDialog(SaveDialog& dialog) {
  FileDialogSetUp setUp(dialog.Owner(), dialog.Filter(), dialog.FilterIndex(), dialog.FileName());
  std::string defaultExt = dialog.DefaultExt();
  if (!defaultExt.empty() && defaultExt.front() == '.') defaultExt.erase(0, 1);
  OPENFILENAMEA& open = setUp.open;
  open.lpstrDefExt = defaultExt.empty() ? nullptr : defaultExt.c_str();
  if (dialog.OverwritePrompt()) open.Flags |= OFN_OVERWRITEPROMPT;
  // Only a dialog whose type changes are handled runs with the hook, which changes how it looks.
  OpenSave context{&dialog, nullptr};
  const OpenSaveScope scope(context);
  if (dialog.OnTypeChange) {
    open.Flags |= OFN_ENABLEHOOK;
    open.lpfnHook = &SaveDialogHook;
    open.lCustData = reinterpret_cast<LPARAM>(&context);
  }
  if (!setUp.Run(GetSaveFileNameA)) return false;
  dialog.SetFileName(setUp.Chosen());
  dialog.SetFilterIndex(static_cast<int>(open.nFilterIndex));
  return true;
}

bool ExecuteOpenDialog(OpenDialog& dialog) {
  FileDialogSetUp setUp(dialog.Owner(), dialog.Filter(), dialog.FilterIndex(), dialog.FileName());
  setUp.open.Flags |= OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST;
  if (!setUp.Run(GetOpenFileNameA)) return false;
  dialog.SetFileName(setUp.Chosen());
  dialog.SetFilterIndex(static_cast<int>(setUp.open.nFilterIndex));
  return true;
}

std::string SaveDialogFilePath(const SaveDialog& dialog) {
  const HWND box = OpenDialogWindow(dialog);
  if (box == nullptr) return {};
  std::vector<char> buffer(kDialogPathBuffer, '\0');
  auto ask = [&] {
    return SendMessageA(box, CDM_GETFILEPATH, static_cast<WPARAM>(buffer.size()),
                        reinterpret_cast<LPARAM>(buffer.data()));
  };
  LRESULT needed = ask();
  if (needed <= 0) return {};
  if (static_cast<std::size_t>(needed) > buffer.size()) {
    // A longer name than the buffer holds is asked for again with the room it needs, not cut off.
    buffer.assign(static_cast<std::size_t>(needed) + 1, '\0');
    needed = ask();
    if (needed <= 0 || static_cast<std::size_t>(needed) > buffer.size()) return {};
  }
  std::string path(buffer.data(), strnlen(buffer.data(), buffer.size()));
  // An empty name box names the folder: with a delimiter at its end, so that the folder's own name is
  // never taken for the file name (Wine's dialog reports the folder without it).
  std::vector<char> typed(kDialogPathBuffer, '\0');
  const LRESULT typedSize = SendMessageA(box, CDM_GETSPEC, static_cast<WPARAM>(typed.size()),
                                         reinterpret_cast<LPARAM>(typed.data()));
  const bool noName = typedSize == 1 && typed[0] == '\0';
  if (noName && !path.empty() && path.back() != '\\') path += '\\';
  return path;
}

void SetSaveDialogFileNameText(SaveDialog& dialog, const std::string& text) {
  if (const HWND box = OpenDialogWindow(dialog)) {
    // The name box is edt1 in the dialogs that have that field; the others (Wine's, and those of the
    // systems since Windows 2000) have the combo box cmb13 in its place.
    const int nameBox = GetDlgItem(box, edt1) != nullptr ? edt1 : cmb13;
    SendMessageA(box, CDM_SETCONTROLTEXT, static_cast<WPARAM>(nameBox),
                 reinterpret_cast<LPARAM>(text.c_str()));
  }
}

}  // namespace native
}  // namespace ui
