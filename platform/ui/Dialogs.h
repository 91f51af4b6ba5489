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

struct SaveDialogProps {
  std::string filter;  // "Text|pattern|Text|pattern"
  std::string defaultExt;
  int filterIndex = 1;  // 1-based
  bool overwritePrompt = false;
};
class SaveDialog : public Component {
 public:
  void Create(Form& owner, const SaveDialogProps& props);
  const std::string& Filter() const { return props_.filter; }
  // Takes effect at the next Execute (a language change renames the file types).
  void SetFilter(const std::string& filter) { props_.filter = filter; }
  const std::string& DefaultExt() const { return props_.defaultExt; }
  bool OverwritePrompt() const { return props_.overwritePrompt; }
  // The file name and filter index: shown when the dialog opens, chosen when it closes with OK;
  // the next Execute opens with the last ones chosen.
  const std::string& FileName() const { return fileName_; }
  void SetFileName(const std::string& fileName) { fileName_ = fileName; }
  int FilterIndex() const { return props_.filterIndex; }
  void SetFilterIndex(int index) { props_.filterIndex = index; }
  // Shows the dialog; true when the user chose a name with OK. A cancelled dialog leaves the file name
  // and the filter index as they were before it opened.
  bool Execute();
  Form* Owner() const { return owner_; }

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
  Form* owner_ = nullptr;
  SaveDialogProps props_;
  std::string fileName_;
  bool typeChanging_ = false;
};

struct OpenDialogProps {
  std::string filter;   // "Text|pattern|Text|pattern"
  int filterIndex = 1;  // 1-based
};
// Asks for an existing file to read.
class OpenDialog : public Component {
 public:
  void Create(Form& owner, const OpenDialogProps& props);
  const std::string& Filter() const { return props_.filter; }
  // Takes effect at the next Execute.
  void SetFilter(const std::string& filter) { props_.filter = filter; }
  // The file name and filter index: shown when the dialog opens, chosen when it closes with OK.
  const std::string& FileName() const { return fileName_; }
  void SetFileName(const std::string& fileName) { fileName_ = fileName; }
  int FilterIndex() const { return props_.filterIndex; }
  void SetFilterIndex(int index) { props_.filterIndex = index; }
  // Shows the dialog; true when the user chose an existing file with OK. A cancelled dialog leaves the
  // file name and the filter index as they were.
  bool Execute();
  Form* Owner() const { return owner_; }

 private:
  Form* owner_ = nullptr;
  OpenDialogProps props_;
  std::string fileName_;
};

}  // namespace ui
