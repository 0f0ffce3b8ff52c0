// SPDX-License-Identifier: GPL-2.0-or-later
// Naming files: the two open-file dialogs, the output folder's and the disc's dialogs, and files and folders
// dropped on the window.
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMimeData>
#include <QPainter>
#include <QUrl>

#include "ui/main_window.h"
#include "ui/main_window_common.h"

namespace ardunex {

using namespace ui;

namespace {

const char* const EVO_DIALOG_TITLE = "Choose the EVO file to demux";
const char* const WORKDIR_DIALOG_TITLE = "Choose the output folder";
const char* const DISC_DIALOG_TITLE = "Choose the HD DVD disc folder (or its HVDVD_TS folder)";
/// The drop highlight: the width of its border and how opaque its tint is (of 255).
constexpr int HIGHLIGHT_BORDER = 3;
constexpr int HIGHLIGHT_TINT = 40;

/// Laid over the whole window while a file or folder is dragged over it: a border and a light tint in the
/// highlight colour, which let every event through.
class DropHighlight : public QWidget {
 public:
  explicit DropHighlight(QWidget* window) : QWidget(window) {
    setObjectName(QStringLiteral("DropHighlight"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setGeometry(window->rect());
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    QColor colour = palette().color(QPalette::Highlight);
    const int border = HIGHLIGHT_BORDER;
    painter.setPen(QPen(colour, border));
    colour.setAlpha(HIGHLIGHT_TINT);
    painter.setBrush(colour);
    painter.drawRect(rect().adjusted(border / 2, border / 2, -(border + 1) / 2, -(border + 1) / 2));
  }
};

}  // namespace

bool TfMain::showOpenDialog(DialogMemory& memory, const QString& title, const QString& filter, bool mustExist,
                            const QString& defaultSuffix, QString& chosen) {
  QFileDialog dialog(this, title);
  dialog.setObjectName(mustExist ? QStringLiteral("odEVOfile") : QStringLiteral("odXPL"));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::ReadOnly, false);
  dialog.setOption(QFileDialog::DontResolveSymlinks, true);
  // Patterns match in any letter case (Qt's own dialog compares them so unless told otherwise); the
  // upper and lower case forms in the filters also serve dialogs of the desktop that compare exactly.
  dialog.setFilter(dialog.filter() & ~QDir::CaseSensitive);
  dialog.setNameFilter(filter);
  dialog.setDefaultSuffix(defaultSuffix);
  if (!memory.initialDir.empty())
    dialog.setDirectory(pathText(memory.initialDir));
  if (!memory.fileName.empty())
    dialog.selectFile(pathText(memory.fileName));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
    return false;
  chosen = QDir::toNativeSeparators(dialog.selectedFiles().constFirst());
  const QFileInfo info(chosen);
  memory.fileName = pathString(info.fileName());
  QDir::setCurrent(info.absolutePath());
  return true;
}

void TfMain::bbEVOClick() {
  if (m_session.jobRunning())
    return;
  command([this] {
    DialogMemory& memory = m_session.evoDialog();
    memory.initialDir = m_session.paths().EVOdir;
    QString chosen;
    if (showOpenDialog(memory, QString::fromLatin1(EVO_DIALOG_TITLE), QStringLiteral("EVO files (*.EVO *.evo)"), true,
                       QStringLiteral("EVO"), chosen))
      m_session.chooseEvoFile(pathString(chosen));
  });
}

void TfMain::bbXPLClick() {
  if (m_session.jobRunning())
    return;
  command([this] {
    DialogMemory& memory = m_session.xplDialog();
    memory.initialDir = m_session.paths().XPLdir;
    QString chosen;
    if (showOpenDialog(memory, QString(), QStringLiteral("XPL (VPLST000.XPL vplst000.xpl)"), false,
                       QStringLiteral("xpl"), chosen))
      m_session.chooseXplFile(pathString(chosen));
  });
}

QString TfMain::chooseFolder(const QString& title, const QString& objectName, const QString& start) {
  QFileDialog dialog(this, title, start);
  dialog.setObjectName(objectName);
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setOption(QFileDialog::ShowDirsOnly, true);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
    return {};
  return QDir::toNativeSeparators(dialog.selectedFiles().constFirst());
}

void TfMain::bbWorkdirClick() {
  const QString current = m_eWorkdir->text();
  const QString start = !current.isEmpty() && QFileInfo(current).isDir() ? current
                        : !m_session.paths().EVOdir.empty()              ? pathText(m_session.paths().EVOdir)
                                                                         : QDir::currentPath();
  const QString folder = chooseFolder(QString::fromLatin1(WORKDIR_DIALOG_TITLE), QStringLiteral("odWorkdir"), start);
  // The field is read when a demux starts, so a folder chosen during a job applies to the next one.
  if (!folder.isEmpty())
    m_eWorkdir->setText(folder);
}

void TfMain::bbDiscClick() {
  if (m_session.jobRunning())
    return;
  const std::optional<Disc>& disc = m_session.disc();
  const QString start = disc                                ? pathText(disc->root)
                        : !m_session.paths().EVOdir.empty() ? pathText(m_session.paths().EVOdir)
                                                            : QDir::currentPath();
  const QString folder = chooseFolder(QString::fromLatin1(DISC_DIALOG_TITLE), QStringLiteral("odDisc"), start);
  if (folder.isEmpty())
    return;
  const std::string path = pathString(folder);
  command([this, path] { m_session.openDisc(path); });
}

void TfMain::WMDropFiles(const QList<QUrl>& urls) {
  if (urls.isEmpty() || m_session.jobRunning())
    return;
  const QUrl& first = urls.constFirst();
  if (!first.isLocalFile())
    return;
  const std::string path = pathString(QDir::toNativeSeparators(first.toLocalFile()));
  command([this, path] { m_session.dropFile(path); });
}

void TfMain::dragEnterEvent(QDragEnterEvent* event) {
  if (!m_session.jobRunning() && event->mimeData()->hasUrls() && !event->mimeData()->urls().isEmpty() &&
      event->mimeData()->urls().constFirst().isLocalFile()) {
    event->acceptProposedAction();
    if (m_dropHighlight == nullptr)
      m_dropHighlight = new DropHighlight(this);
    m_dropHighlight->setGeometry(rect());
    m_dropHighlight->raise();
    m_dropHighlight->show();
  }
}

void TfMain::dragLeaveEvent(QDragLeaveEvent*) {
  if (m_dropHighlight != nullptr)
    m_dropHighlight->hide();
}

void TfMain::dropEvent(QDropEvent* event) {
  if (m_dropHighlight != nullptr)
    m_dropHighlight->hide();
  if (!event->mimeData()->hasUrls())
    return;
  event->acceptProposedAction();
  WMDropFiles(event->mimeData()->urls());
}

}  // namespace ardunex
