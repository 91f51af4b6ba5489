// The shell of the Qt backend: a file or folder goes to the desktop's program for it (xdg-open, through
// QDesktopServices), a web or mail address to the desktop's browser or mail program; a program named with
// parameters is started with them. Whether the hand-over started is all the caller learns.

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

#include "platform/qt/UiQt.h"
#include "platform/ui/Shell.h"

namespace {

// An address with a scheme ("https:", "mailto:"); a path on its own has none (and a one-letter scheme is
// a drive of a Windows path, no address).
bool IsAddress(const QString& target) {
  const QUrl url(target);
  return url.isValid() && url.scheme().size() > 1 && !target.startsWith(QLatin1Char('/'));
}

}  // namespace

namespace os {

bool ShellOpen(const ui::Control* /*owner*/, const std::string& target,
               const std::optional<std::string>& parameters) {
  try {
    ui::qt::EnsureApplication();
    const QString text = ui::qt::ToQString(target);
    if (text.isEmpty()) return false;
    if (IsAddress(text)) return QDesktopServices::openUrl(QUrl(text));
    const QFileInfo file(text);
    if (!file.exists()) return false;
    if (parameters && !parameters->empty() && file.isFile() && file.isExecutable()) {
      return QProcess::startDetached(file.absoluteFilePath(),
                                     QProcess::splitCommand(ui::qt::ToQString(*parameters)));
    }
    return QDesktopServices::openUrl(QUrl::fromLocalFile(file.absoluteFilePath()));
  } catch (...) {
    return false;
  }
}

}  // namespace os
