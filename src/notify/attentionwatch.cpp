#include "attentionwatch.h"

#include "acquisitionpass.h"
#include "clock.h"

AttentionWatch::AttentionWatch(const Clock& clock, Raise raise, QObject* parent)
    : QObject(parent), m_clock(clock), m_raise(std::move(raise)) {
  m_timer.setInterval(1000);
  connect(&m_timer, &QTimer::timeout, this, &AttentionWatch::Check);
}

void AttentionWatch::SetCells(const std::array<QString, 2>& cells) {
  m_cells = cells;
}

QString AttentionWatch::CellsText() const {
  QStringList parts;
  for (int c = 0; c < 2; ++c) {
    const QString label = m_cells[size_t(c)].trimmed();
    parts << (label.isEmpty() ? tr("通道 %1").arg(c + 1)
                              : tr("通道 %1（电池 %2）").arg(c + 1).arg(label));
  }
  return parts.join(tr("、"));
}

void AttentionWatch::PortChanged(bool open, const QString& entry, const QString&) {
  m_open = open;
  m_entry = entry;
  // A new session: each of its conditions is new too.
  m_lastPassMs.reset();
  m_endTold = false;
  m_awayTold = false;
}

void AttentionWatch::RecordingChanged(bool recording, const QString& error) {
  if (recording) {
    m_offSinceMs.reset();
    m_offTold = false;
  } else {
    if (!m_offSinceMs) {
      m_offSinceMs = m_clock.MonotonicMs();
    }
    m_storeError = error;
  }
  Check();
}

void AttentionWatch::ChunkReceived(const QString& text) noexcept {
  try {
    const qint64 now = m_clock.MonotonicMs();
    if (!m_lastPassMs || now - *m_lastPassMs > kPassGapMs) {
      m_lastArrivalMs = now;
    }
    m_lastPassMs = now;
    if (!m_open) {
      return;
    }
    if (!text.isEmpty()) {
      m_lastArrivalMs = now;
      m_awayTold = false;
    }
    // Recognised as the status word recognises it: read alone and exactly.
    // An empty read leaves it standing (the charger goes quiet after it);
    // only other data clears it.
    if (text == QStringView(kEndOfDischargeNotice)) {
      RaiseOnce(Condition::EndOfDischarge, m_endTold, tr("放电结束"),
                tr("%1：%2 放电结束。").arg(m_entry, CellsText()));
    } else if (!text.isEmpty()) {
      m_endTold = false;
    }
    if (now - m_lastArrivalMs >= kAwayMs) {
      RaiseOnce(Condition::DeviceAway, m_awayTold, tr("设备无数据"),
                tr("%1：已 %2 秒没有收到数据，设备可能已断开或停止（%3）。")
                    .arg(m_entry)
                    .arg((now - m_lastArrivalMs) / 1000)
                    .arg(CellsText()));
    }
  } catch (...) {
  }
}

void AttentionWatch::PassEnded() noexcept {}

void AttentionWatch::Check() {
  if (m_offSinceMs && m_clock.MonotonicMs() - *m_offSinceMs >= kAwayMs) {
    const QString who = m_open ? tr("%1：%2").arg(m_entry, CellsText()) : CellsText();
    RaiseOnce(Condition::RecordingOff, m_offTold, tr("记录已停止"),
              tr("%1 的数据已 %2 秒未能写入记录文件：%3")
                  .arg(who)
                  .arg((m_clock.MonotonicMs() - *m_offSinceMs) / 1000)
                  .arg(m_storeError));
  }
}

void AttentionWatch::RaiseOnce(Condition condition, bool& told, const QString& summary,
                               const QString& body) {
  if (told) {
    return;
  }
  told = true;
  if (m_raise) {
    m_raise(condition, summary, body);
  }
}
