#include "sessionrecording.h"

#include <QCoreApplication>
#include <QDir>

#include "clock.h"

SessionRecording::SessionRecording(SessionStore::Settings settings, const Clock& clock,
                                   QObject* parent)
    : QObject(parent),
      m_clock(clock),
      m_store(std::make_unique<SessionStore>(std::move(settings))) {
  connect(m_store.get(), &SessionStore::RecordingChanged, this,
          &SessionRecording::OnRecordingChanged);
  connect(m_store.get(), &SessionStore::MovedAside, this, [this](const QString& path) {
    Tell(tr("记录文件无法使用，已改名保存为 %1，新的记录文件已建立。")
             .arg(QDir::toNativeSeparators(path)));
  });
  connect(m_store.get(), &SessionStore::Recreated, this, [this] {
    Tell(
        tr("记录文件在程序运行时被删除或替换，已重新建立；正在进行的记录从此继续保存在新文件中。"));
  });
  connect(m_store.get(), &SessionStore::Trimmed, this, [this](int sessions, const QString& error) {
    if (sessions > 0) {
      Tell(tr("为使记录文件不超过大小上限，已删除最早的 %n 个已结束记录。", nullptr, sessions));
    }
    if (!error.isEmpty() && error != m_lastLimitError) {
      Tell(tr("清理记录文件未能完成，记录照常进行：%1").arg(error));
    }
    m_lastLimitError = error;
  });
}

void SessionRecording::SetMessage(Notice message) {
  m_message = std::move(message);
  if (m_message) {
    for (const QString& text : std::exchange(m_untold, {})) {
      m_message(text);
    }
  }
}

void SessionRecording::Tell(const QString& text) {
  if (m_message) {
    m_message(text);
  } else {
    m_untold << text;
  }
}

SessionRecording::~SessionRecording() = default;

void SessionRecording::SetNotice(Notice notice) {
  m_notice = std::move(notice);
  if (m_notice) {
    m_notice(m_store->Recording() ? QString() : OffNotice());
  }
}

QString SessionRecording::OffNotice() {
  return QCoreApplication::translate("SessionRecording", "未记录：存储不可用，每 10 秒重试");
}

void SessionRecording::OnRecordingChanged(bool recording) {
  if (m_notice) {
    m_notice(recording ? QString() : OffNotice());
  }
}

qint64 SessionRecording::WallMs() const {
  return m_clock.LocalNow().toMSecsSinceEpoch();
}

void SessionRecording::PortOpened(const QString& entry, const QString& device) {
  PortClosed();
  m_session = m_store->BeginSession(entry, device, WallMs(), m_cells);
  m_seq = 0;
}

void SessionRecording::SetCells(const std::array<QString, 2>& cells) {
  m_cells = cells;
  if (m_session) {
    m_store->SetCells(*m_session, cells);
  }
}

void SessionRecording::PortClosed() {
  if (m_session) {
    m_store->EndSession(*m_session, SessionEnd::Closed, WallMs());
    m_session.reset();
  }
}

std::function<void(bool, const QString&, const QString&)> SessionRecording::PortHandler() {
  return [this](bool open, const QString& entry, const QString& device) {
    if (open) {
      PortOpened(entry, device);
    } else {
      PortClosed();
    }
  };
}

void SessionRecording::ChunkReceived(const QString& text) noexcept {
  m_chunk.reset();
  if (!m_session || text.isEmpty()) {
    return;  // an empty read adds nothing to the record
  }
  try {
    m_chunk.emplace();
    m_chunk->wallMs = WallMs();
    m_chunk->monoMs = m_clock.MonotonicMs();
    m_chunk->text = text;
  } catch (...) {
    m_chunk.reset();
  }
}

void SessionRecording::FieldApplied(int channel, Quantity quantity, qint32 value) noexcept {
  if (m_chunk && (channel == 1 || channel == 2)) {
    m_chunk->channel[size_t(channel - 1)].fields[size_t(quantity)] = value;
  }
}

void SessionRecording::PassEnded() noexcept {
  if (!m_chunk || !m_session) {
    return;
  }
  try {
    m_chunk->seq = ++m_seq;
    m_store->Append(*m_session, std::move(*m_chunk));
  } catch (...) {
  }
  m_chunk.reset();
}
