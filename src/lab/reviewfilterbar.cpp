#include "reviewfilterbar.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QSet>

#include "reviewwindow.h"

namespace {

// A choice box's entries: "all" first (no data), then `values` sorted,
// keeping the current choice when it is still there.
void Refill(QComboBox* box, const QString& all, QStringList values) {
  const bool chosen = box->currentIndex() > 0;
  const QString current = box->currentData().toString();
  values.sort();
  values.removeDuplicates();
  box->clear();
  box->addItem(all);
  for (const QString& value : values) {
    box->addItem(value.isEmpty() ? ReviewFilterBar::tr("（无名）") : value, value);
  }
  const int at = chosen ? box->findData(current) : -1;
  box->setCurrentIndex(std::max(at, 0));
}

}  // namespace

ReviewFilterBar::ReviewFilterBar(ReviewWindow& window) : QWidget(&window), m_window(window) {
  // Two rows, so the bar is no wider than the session list it filters.
  auto* rows = new QVBoxLayout(this);
  rows->setContentsMargins(0, 0, 0, 0);
  auto* layout = new QHBoxLayout;
  rows->addLayout(layout);
  const auto labelled = [&](const QString& text, QWidget* control) {
    auto* label = new QLabel(text, this);
    label->setBuddy(control);
    control->setAccessibleName(text);
    layout->addWidget(label);
    layout->addWidget(control);
  };
  m_bench = new QComboBox(this);
  labelled(tr("工作台"), m_bench);
  m_port = new QComboBox(this);
  labelled(tr("端口"), m_port);
  m_end = new QComboBox(this);
  m_end->addItem(tr("全部"), -1);
  for (SessionEnd end : {SessionEnd::Running, SessionEnd::Closed, SessionEnd::ProgramExit,
                         SessionEnd::Interrupted}) {
    m_end->addItem(SessionEndText(end), int(end));
  }
  labelled(tr("结束方式"), m_end);
  layout->addStretch(1);
  layout = new QHBoxLayout;
  rows->addLayout(layout);
  m_byDate = new QCheckBox(tr("开始日期"), this);
  m_byDate->setAccessibleName(tr("按开始日期筛选"));
  layout->addWidget(m_byDate);
  m_from = new QDateEdit(QDate::currentDate().addDays(-7), this);
  m_to = new QDateEdit(QDate::currentDate(), this);
  for (QDateEdit* edit : {m_from, m_to}) {
    edit->setCalendarPopup(true);
    edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    edit->setEnabled(false);
  }
  m_from->setAccessibleName(tr("开始日期从"));
  m_to->setAccessibleName(tr("开始日期到"));
  layout->addWidget(m_from);
  layout->addWidget(new QLabel(tr("至"), this));
  layout->addWidget(m_to);
  layout->addStretch(1);

  FillChoices();
  connect(&window, &ReviewWindow::SessionsListed, this, [this] {
    FillChoices();
    Apply();
  });
  for (QComboBox* box : {m_bench, m_port, m_end}) {
    connect(box, &QComboBox::currentIndexChanged, this, &ReviewFilterBar::Apply);
  }
  connect(m_byDate, &QCheckBox::toggled, this, [this](bool on) {
    m_from->setEnabled(on);
    m_to->setEnabled(on);
    Apply();
  });
  connect(m_from, &QDateEdit::dateChanged, this, &ReviewFilterBar::Apply);
  connect(m_to, &QDateEdit::dateChanged, this, &ReviewFilterBar::Apply);
  window.ListBar().addWidget(this);
}

void ReviewFilterBar::FillChoices() {
  QStringList benches, ports;
  for (const StoredSession& s : m_window.StoredSessions()) {
    benches << s.bench;
    ports << s.port;
  }
  const QSignalBlocker benchBlock(m_bench);
  const QSignalBlocker portBlock(m_port);
  Refill(m_bench, tr("全部"), benches);
  Refill(m_port, tr("全部"), ports);
}

SessionFilter ReviewFilterBar::Filter() const {
  SessionFilter filter;
  // The first entry of each is "all".
  if (m_bench->currentIndex() > 0) {
    filter.bench = m_bench->currentData().toString();
  }
  if (m_port->currentIndex() > 0) {
    filter.port = m_port->currentData().toString();
  }
  if (m_byDate->isChecked()) {
    filter.from = m_from->date();
    filter.to = m_to->date();
  }
  const int end = m_end->currentData().toInt();
  if (end >= 0) {
    filter.ended = SessionEnd(end);
  }
  return filter;
}

void ReviewFilterBar::Apply() {
  const SessionFilter filter = Filter();
  m_window.SetSessionFilter([filter](const StoredSession& s) { return filter.Matches(s); });
}
