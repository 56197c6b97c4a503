#pragma once

#include <QDialog>
#include <array>
#include <functional>

class DischargeChart;
class QLineEdit;

// Asks for the labels of the cells on the two channels. Made for a barcode
// scanner, which types a label and presses Enter: Enter in channel 1's field
// goes on to channel 2's, and Enter there accepts. Labels are cleaned as
// stored (white space and control characters trimmed, length capped).
class CellLabelDialog : public QDialog {
  Q_OBJECT
 public:
  CellLabelDialog(const std::array<QString, 2>& cells, QWidget* parent = nullptr);

  std::array<QString, 2> Cells() const;
  QLineEdit* Field(int channel) const { return m_fields[size_t(channel - 1)]; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::array<QLineEdit*, 2> m_fields{};
};

// The chart's "电池编号" button opens the dialog (one at a time), starting
// from `current()`; an accepted dialog hands its labels to `apply`.
void ConnectCellsButton(DischargeChart& chart, std::function<std::array<QString, 2>()> current,
                        std::function<void(const std::array<QString, 2>&)> apply);
