// The standard dialogs of the Qt backend: QFontDialog, QColorDialog and QFileDialog, each modal to its
// owner form. The file dialogs are the desktop's own where the platform has one; a save dialog whose
// program handles type changes is Qt's own dialog, whose name box the handler reads and writes while the
// dialog is open (the desktop's dialogs do not let a program at the name the user typed).

#include <QColorDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QLineEdit>
#include <QPointer>
#include <array>
#include <cmath>
#include <memory>
#include <vector>

#include "platform/qt/UiQt.h"

namespace ui::qt {

namespace {

QWidget* OwnerWidget(const Form* form) {
  return form != nullptr && form->Native() != nullptr ? static_cast<QWidget*>(form->Native()->WindowHandle())
                                                      : nullptr;
}

// The custom colours of a colour dialog, kept from one opening to the next.
class ColorDialogNative : public NativeData {
 public:
  ColorDialogNative() { custom.fill(QColor(Qt::white)); }  // white, as the dialog starts them
  std::array<QColor, 16> custom;
};

// "Text|pattern|Text|pattern" as Qt's name filters: the text, ending in the patterns in parentheses (from
// which Qt takes them) unless it shows them so already. "*.bmp;*.dib" becomes "*.bmp *.dib".
QStringList NameFilters(const std::string& filter) {
  const QStringList parts = ToQString(filter).split(QLatin1Char('|'));
  QStringList filters;
  for (qsizetype index = 0; index + 1 < parts.size(); index += 2) {
    const QString label = parts[index].trimmed();
    const QString patterns =
        parts[index + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts).join(QLatin1Char(' '));
    const QString shown = QLatin1Char('(') + patterns + QLatin1Char(')');
    filters.append(label.endsWith(shown) ? label : label + QLatin1Char(' ') + shown);
  }
  return filters;
}

// The filter index (1-based) of a name filter of the dialog; 0 when it has none such.
int FilterIndexOf(const QFileDialog& dialog, const QString& filter) {
  const QStringList filters = dialog.nameFilters();
  if (const qsizetype index = filters.indexOf(filter); index >= 0) return static_cast<int>(index) + 1;
  // A dialog that hides the patterns names a filter by its label alone.
  for (qsizetype index = 0; index < filters.size(); ++index) {
    if (filters.at(index).left(filters.at(index).lastIndexOf(QLatin1String(" ("))) == filter) {
      return static_cast<int>(index) + 1;
    }
  }
  return 0;
}

// The name box of Qt's file dialog.
QLineEdit* NameBox(const QFileDialog& dialog) {
  return dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
}

// Sets up a file dialog with the filters, the type picked and the last name.
void SetUp(QFileDialog& dialog, const FileDialog& file) {
  const QStringList filters = NameFilters(file.Filter());
  if (!filters.isEmpty()) {
    // Labels that show their patterns in other letters ("(*.BMP)" for *.bmp) show alone: Qt would add
    // the patterns a second time.
    const QStringList labels = ToQString(file.Filter()).split(QLatin1Char('|'));
    bool ownPatterns = true;
    for (qsizetype index = 0; index < filters.size(); ++index) {
      const QString& label = labels.at(index * 2);
      ownPatterns = ownPatterns && filters.at(index) != label && label.trimmed().endsWith(QLatin1Char(')'));
    }
    dialog.setOption(QFileDialog::HideNameFilterDetails, ownPatterns);
    dialog.setNameFilters(filters);
    const int index = file.FilterIndex();
    dialog.selectNameFilter(filters.at(index >= 1 && index <= filters.size() ? index - 1 : 0));
  }
  const QString last = ToQString(file.FileName());
  if (!last.isEmpty()) {
    const QFileInfo info(last);
    // A name with a folder opens that folder; a name alone, the folder the dialog would open anyway.
    if (last.contains(QLatin1Char('/'))) dialog.setDirectory(info.absolutePath());
    dialog.selectFile(info.fileName());
    // Qt's own dialog shows the name of a file its folder view has not read yet as no name at all.
    if (QLineEdit* box = NameBox(dialog)) box->setText(info.fileName());
  }
}

bool Run(QFileDialog& dialog, FileDialog& file) {
  if (dialog.exec() != QDialog::Accepted) return false;
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty()) return false;
  file.SetFileName(FromQString(chosen.first()));
  if (const int index = FilterIndexOf(dialog, dialog.selectedNameFilter()); index > 0)
    file.SetFilterIndex(index);
  return true;
}

// A save dialog while it is open (with Qt's own dialog, whose name box can be reached).
struct OpenSave {
  const SaveDialog* save;
  QPointer<QFileDialog> dialog;
};
std::vector<OpenSave*>& OpenSaves() {
  static std::vector<OpenSave*> open;
  return open;
}

class OpenSaveScope {
 public:
  explicit OpenSaveScope(OpenSave& open) : open_(open) { OpenSaves().push_back(&open_); }
  ~OpenSaveScope() { std::erase(OpenSaves(), &open_); }
  OpenSaveScope(const OpenSaveScope&) = delete;
  OpenSaveScope& operator=(const OpenSaveScope&) = delete;

 private:
  OpenSave& open_;
};

QFileDialog* OpenDialogOf(const SaveDialog& save) {
  for (const OpenSave* open : OpenSaves()) {
    if (open->save == &save && open->dialog) return open->dialog.data();
  }
  return nullptr;
}

}  // namespace

void CreateColorDialogNative(ColorDialog& dialog) { dialog.SetNative(std::make_unique<ColorDialogNative>()); }

}  // namespace ui::qt

namespace ui::native {

using namespace ui::qt;

bool ExecuteFontDialog(FontDialog& dialog) {
  EnsureApplication();
  const Font& initial = dialog.GetFont();
  // The dialog speaks in points: the font at its size (a size given as a pixel height, turned into points).
  QFont shown(ToQString(initial.name));
  const int points = initial.size > 0   ? initial.size
                     : initial.size < 0 ? FontSizeForHeight(initial.size, 96)
                                        : 8;
  shown.setPointSize(std::max(points, 1));
  shown.setBold(initial.bold);
  shown.setItalic(initial.italic);
  shown.setUnderline(initial.underline);
  shown.setStrikeOut(initial.strikeOut);
  QFontDialog box(shown, OwnerWidget(dialog.Owner()));
  if (box.exec() != QDialog::Accepted) return false;
  const QFont font = box.selectedFont();
  Font chosen = initial;  // the colour, the character set and the pitch are not the dialog's
  chosen.name = FromQString(font.family());
  chosen.size = font.pointSizeF() > 0 ? static_cast<int>(std::lround(font.pointSizeF()))
                                      : FontSizeForHeight(font.pixelSize(), 96);
  chosen.bold = font.weight() >= QFont::Bold;
  chosen.italic = font.italic();
  chosen.underline = font.underline();
  chosen.strikeOut = font.strikeOut();
  dialog.SetFont(chosen);
  return true;
}

bool ExecuteColorDialog(ColorDialog& dialog) {
  EnsureApplication();
  auto* native = dynamic_cast<ColorDialogNative*>(dialog.Native());
  // Qt keeps one set of custom colours for the program; each dialog brings its own and takes them back.
  if (native != nullptr) {
    for (int index = 0; index < 16; ++index) QColorDialog::setCustomColor(index, native->custom[index]);
  }
  QColorDialog box(ToQColor(dialog.Color()), OwnerWidget(dialog.Owner()));
  const bool chosen = box.exec() == QDialog::Accepted;
  if (native != nullptr) {
    for (int index = 0; index < 16; ++index) native->custom[index] = QColorDialog::customColor(index);
  }
  if (!chosen) return false;
  const QColor color = box.selectedColor();
  dialog.SetColor(RGB(static_cast<unsigned>(color.red()), static_cast<unsigned>(color.green()),
                      static_cast<unsigned>(color.blue())));
  return true;
}

bool ExecuteSaveDialog(SaveDialog& dialog) {
  EnsureApplication();
  QFileDialog box(OwnerWidget(dialog.Owner()));
  box.setAcceptMode(QFileDialog::AcceptSave);
  box.setFileMode(QFileDialog::AnyFile);
  std::string defaultExt = dialog.DefaultExt();
  if (!defaultExt.empty() && defaultExt.front() == '.') defaultExt.erase(0, 1);
  box.setDefaultSuffix(ToQString(defaultExt));
  if (!dialog.OverwritePrompt()) box.setOption(QFileDialog::DontConfirmOverwrite);
  OpenSave open{&dialog, &box};
  const OpenSaveScope scope(open);
  if (dialog.OnTypeChange) {
    box.setOption(QFileDialog::DontUseNativeDialog);
    QObject::connect(&box, &QFileDialog::filterSelected, &box, [&dialog, &box](const QString& filter) {
      const int index = FilterIndexOf(box, filter);
      if (index > 0) Guard(dialog.Owner()->App(), [&] { dialog.NativeTypeChanged(index); });
    });
  }
  SetUp(box, dialog);
  return Run(box, dialog);
}

bool ExecuteOpenDialog(OpenDialog& dialog) {
  EnsureApplication();
  QFileDialog box(OwnerWidget(dialog.Owner()));
  box.setAcceptMode(QFileDialog::AcceptOpen);
  box.setFileMode(QFileDialog::ExistingFile);
  SetUp(box, dialog);
  return Run(box, dialog);
}

std::string SaveDialogFilePath(const SaveDialog& dialog) {
  const QFileDialog* box = OpenDialogOf(dialog);
  const QLineEdit* name = box != nullptr ? NameBox(*box) : nullptr;
  if (name == nullptr) return {};
  const QDir folder = box->directory();
  const QString typed = name->text();
  // An empty name box names the folder, with a delimiter at its end.
  if (typed.isEmpty()) return FromQString(folder.absolutePath() + (folder.isRoot() ? "" : "/"));
  return FromQString(QDir::cleanPath(folder.absoluteFilePath(typed)));
}

void SetSaveDialogFileNameText(SaveDialog& dialog, const std::string& text) {
  const QFileDialog* box = OpenDialogOf(dialog);
  if (QLineEdit* name = box != nullptr ? NameBox(*box) : nullptr) name->setText(ToQString(text));
}

}  // namespace ui::native
