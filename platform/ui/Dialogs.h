#pragma once
// The font, colour, save and open dialogs of the window classes (platform/ui/Controls.h): each remembers the
// last answer and is run by Execute.

#include <functional>
#include <string>

#include "platform/ui/Controls.h"

namespace ui {
// ---- Dialogs ----------------------------------------------------------------------------------------

class FontDialog : public Component {
 public:
  void Create(Form& owner, const Font& initial);
  // The font shown when the dialog opens, and the one chosen when it closes with OK.
  const ui::Font& GetFont() const { return font_; }
  void SetFont(const ui::Font& font) { font_ = font; }
  // Shows the dialog (effects: underline, strike-out, colour); true when the user chose OK.
  bool Execute();
  Form* Owner() const { return owner_; }

 private:
  Form* owner_ = nullptr;
  Font font_;
};

class ColorDialog : public Component {
 public:
  void Create(Form& owner);
  // The colour the dialog opens on; after OK the colour picked, which the next Execute opens on.
  TColor Color() const { return color_; }
  void SetColor(TColor color) { color_ = color; }
  bool Execute();
  Form* Owner() const { return owner_; }

 private:
  Form* owner_ = nullptr;
  TColor color_ = clBlack;
};

// What the save and open dialogs share: the owner, the file types offered ("Text|pattern|Text|pattern")
// with the one picked, and the file name.
class FileDialog : public Component {
 public:
  const std::string& Filter() const { return filter_; }
  // Takes effect at the next Execute (a language change renames the file types).
  void SetFilter(const std::string& filter) { filter_ = filter; }
  // The file name and filter index (1-based): shown when the dialog opens, chosen when it closes with
  // OK; the next Execute opens with the last ones chosen.
  const std::string& FileName() const { return fileName_; }
  void SetFileName(const std::string& fileName) { fileName_ = fileName; }
  int FilterIndex() const { return filterIndex_; }
  void SetFilterIndex(int index) { filterIndex_ = index; }
  Form* Owner() const { return owner_; }

 protected:
  void Attach(Form& owner, const std::string& filter, int filterIndex);
  // Shows the dialog through the backend; true when the user chose a name with OK. A cancelled dialog
  // leaves the filter index as it was before it opened (and the backend leaves the name).
  bool Run(const std::function<bool()>& show);

 private:
  Form* owner_ = nullptr;
  std::string filter_;
  int filterIndex_ = 1;
  std::string fileName_;
};

struct SaveDialogProps {
  std::string filter;  // "Text|pattern|Text|pattern"
  std::string defaultExt;
  int filterIndex = 1;  // 1-based
  bool overwritePrompt = false;
};
class SaveDialog : public FileDialog {
 public:
  void Create(Form& owner, const SaveDialogProps& props);
  const std::string& DefaultExt() const { return defaultExt_; }
  bool OverwritePrompt() const { return overwritePrompt_; }
  // Shows the dialog; true when the user chose a name with OK.
  bool Execute();

  // Runs while the dialog is open, whenever the user picks another entry of the file-type list;
  // meanwhile FilterIndex() is the entry picked (1-based).
  std::function<void()> OnTypeChange;
  // Only while OnTypeChange runs, with the dialog open: the name in the dialog's name box as the dialog
  // reports it (CDM_GETFILEPATH): a full path, the dialog's folder joined to a name typed without one,
  // for an empty box the folder with a delimiter at its end; empty when the dialog cannot tell, and
  // always empty outside OnTypeChange.
  std::string DialogFilePath() const;
  // Only while OnTypeChange runs: writes the text into the dialog's name box (CDM_SETCONTROLTEXT to the
  // box, edt1 or, in dialogs without that field, cmb13); outside OnTypeChange there is no open dialog,
  // and nothing happens.
  void SetDialogFileNameText(const std::string& text);
  // True while OnTypeChange runs.
  bool TypeChanging() const { return typeChanging_; }

  // Backend use: the user picked the entry filterIndex (1-based) of the file-type list of the open
  // dialog; runs OnTypeChange (an error in it goes to the error box).
  void NativeTypeChanged(int filterIndex);

 private:
  std::string defaultExt_;
  bool overwritePrompt_ = false;
  bool typeChanging_ = false;
};

struct OpenDialogProps {
  std::string filter;   // "Text|pattern|Text|pattern"
  int filterIndex = 1;  // 1-based
};
// Asks for an existing file to read.
class OpenDialog : public FileDialog {
 public:
  void Create(Form& owner, const OpenDialogProps& props);
  // Shows the dialog; true when the user chose an existing file with OK.
  bool Execute();
};

}  // namespace ui
