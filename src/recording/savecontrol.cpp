#include "savecontrol.h"

#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>

#include "clock.h"
#include "folderchooser.h"
#include "logpane.h"
#include "snapshotfile.h"

namespace {

// The confirmation polls the clock at this period, so that a clock that
// moves by other means than real time (a test's) is noticed soon.
constexpr int kConfirmationPollMs = 100;

}  // namespace

SaveControl::SaveControl(QLineEdit& TxtSavePath, QPushButton& CmdSaveDisp, const LogPane& log,
                         Clock& clock, FolderChooser& chooser, QObject* parent)
    : QObject(parent),
      m_pathBox(TxtSavePath),
      m_saveButton(CmdSaveDisp),
      m_log(log),
      m_clock(clock),
      m_chooser(chooser) {
  m_confirmTimer.setSingleShot(true);
  connect(&m_confirmTimer, &QTimer::timeout, this, &SaveControl::CheckConfirmation);
}

void SaveControl::OnSaveDataClicked() {
  // The button is disabled while a confirmation shows; a call that comes
  // anyway must not start a save inside it.
  if (m_confirming) {
    return;
  }
  try {
    m_savePath = m_pathBox.text();
    const QString fileName = SnapshotFileName(m_savePath);
    const QByteArray bytes = SnapshotBytes(m_clock.LocalNow(), m_log.Log());
    QString error;
    if (!WriteFileAtomically(fileName, bytes, &error)) {
      if (m_failed) {
        m_failed(error);
      }
      return;
    }
    m_pathBox.setText(QStringLiteral("OK,Data1.txt Saving!"));
    m_saveButton.setEnabled(false);
    m_confirming = true;
    m_confirmStartMs = m_clock.MonotonicMs();
    m_confirmTimer.start(kConfirmationPollMs);
  } catch (...) {
    // A failed save shows nothing.
  }
}

void SaveControl::OnChangeFolderClicked() {
  try {
    const QString root = FolderChooserRoot();
    const std::optional<QString> folder =
        m_chooser.ChooseFolder(m_pathBox.window(), QStringLiteral("选择目录:"), root);
    if (!folder || !IsFolderWithin(*folder, root)) {
      return;
    }
    m_pathBox.setText(*folder);
    m_savePath = m_pathBox.text();
  } catch (...) {
    // A pick that fails changes nothing.
  }
}

void SaveControl::CheckConfirmation() {
  if (!m_confirming) {
    return;
  }
  const qint64 elapsedMs = m_clock.MonotonicMs() - m_confirmStartMs;
  if (elapsedMs >= kConfirmationMs) {
    EndConfirmation();
    return;
  }
  m_confirmTimer.start(static_cast<int>(
      std::min<qint64>(kConfirmationPollMs, kConfirmationMs - std::max<qint64>(elapsedMs, 0))));
}

void SaveControl::EndConfirmation() {
  m_confirmTimer.stop();
  m_confirming = false;
  m_pathBox.setText(m_savePath);
  m_saveButton.setEnabled(true);
}

QString DefaultSaveFolder() {
#ifdef Q_OS_WIN
  return QStringLiteral("C:\\");
#else
  return QDir::homePath();
#endif
}

QString FolderChooserRoot() {
#ifdef Q_OS_WIN
  // Usually missing: a chooser rooted there could not be shown at all.
  const QString scripts = QStringLiteral("C:\\Scripts");
  if (QDir(scripts).exists()) {
    return scripts;
  }
  return QDir::toNativeSeparators(QDir::homePath());
#else
  return QDir::homePath();
#endif
}

bool IsFolderWithin(const QString& folder, const QString& root) {
  if (folder.isEmpty() || root.isEmpty()) {
    return false;
  }
  const QString cleanFolder = QDir::cleanPath(QDir::fromNativeSeparators(folder));
  QString cleanRoot = QDir::cleanPath(QDir::fromNativeSeparators(root));
#ifdef Q_OS_WIN
  constexpr Qt::CaseSensitivity kCase = Qt::CaseInsensitive;
#else
  constexpr Qt::CaseSensitivity kCase = Qt::CaseSensitive;
#endif
  if (cleanFolder.compare(cleanRoot, kCase) == 0) {
    return true;
  }
  if (!cleanRoot.endsWith(u'/')) {
    cleanRoot += u'/';
  }
  return cleanFolder.startsWith(cleanRoot, kCase);
}
