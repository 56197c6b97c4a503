#include "celllabeldialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

#include "celllabel.h"
#include "dischargechart.h"

CellLabelDialog::CellLabelDialog(const std::array<QString, 2>& cells, QWidget* parent)
    : QDialog(parent) {
  setWindowTitle(tr("电池编号"));
  auto* form = new QFormLayout(this);
  auto* hint = new QLabel(tr("输入或扫码每个通道上电池的编号，空着表示不标记。"), this);
  hint->setWordWrap(true);
  form->addRow(hint);
  for (int c = 0; c < 2; ++c) {
    auto* field = new QLineEdit(cells[size_t(c)], this);
    field->setMaxLength(kMaxCellLabel * 2);  // room for what cleaning trims
    field->setPlaceholderText(tr("例如 A0001"));
    field->setClearButtonEnabled(true);
    const QString name = tr("通道 %1 的电池编号").arg(c + 1);
    field->setAccessibleName(name);
    field->installEventFilter(this);
    auto* label = new QLabel(tr("通道 %1：").arg(c + 1), this);
    label->setBuddy(field);
    form->addRow(label, field);
    m_fields[size_t(c)] = field;
  }
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setText(tr("确定"));
  buttons->button(QDialogButtonBox::Cancel)->setText(tr("取消"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  form->addRow(buttons);
  m_fields[0]->setFocus();
  m_fields[0]->selectAll();
}

std::array<QString, 2> CellLabelDialog::Cells() const {
  return {CleanCellLabel(m_fields[0]->text()), CleanCellLabel(m_fields[1]->text())};
}

bool CellLabelDialog::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    if (enter && watched == m_fields[0]) {
      // A scanner's Enter after the first label: on to the second cell.
      m_fields[1]->setFocus(Qt::TabFocusReason);
      m_fields[1]->selectAll();
      return true;
    }
    if (enter && watched == m_fields[1]) {
      accept();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void ConnectCellsButton(DischargeChart& chart, std::function<std::array<QString, 2>()> current,
                        std::function<void(const std::array<QString, 2>&)> apply) {
  auto open = std::make_shared<QPointer<CellLabelDialog>>();
  QObject::connect(&chart, &DischargeChart::CellsRequested, &chart,
                   [&chart, current = std::move(current), apply = std::move(apply), open] {
                     if (!open->isNull()) {
                       (*open)->raise();
                       (*open)->activateWindow();
                       return;
                     }
                     auto* dialog = new CellLabelDialog(current(), chart.window());
                     dialog->setAttribute(Qt::WA_DeleteOnClose);
                     *open = dialog;
                     QObject::connect(dialog, &QDialog::accepted, dialog,
                                      [dialog, apply] { apply(dialog->Cells()); });
                     // Window-modal and asynchronous: the once-a-second pass
                     // goes on while the user types or scans.
                     dialog->open();
                   });
}
