#pragma once

#include <QWidget>

#include "sessionfilter.h"

class QCheckBox;
class QComboBox;
class QDateEdit;
class ReviewWindow;

// The review window's session filters: bench, port, a range of start
// dates and how the session ended. Placed in the window's list bar; the
// bench and port choices follow the sessions listed.
class ReviewFilterBar : public QWidget {
  Q_OBJECT
 public:
  explicit ReviewFilterBar(ReviewWindow& window);

  SessionFilter Filter() const;
  QComboBox& BenchBox() const { return *m_bench; }
  QComboBox& PortBox() const { return *m_port; }
  QComboBox& EndBox() const { return *m_end; }
  QCheckBox& DateBox() const { return *m_byDate; }
  QDateEdit& FromEdit() const { return *m_from; }
  QDateEdit& ToEdit() const { return *m_to; }

 private:
  void FillChoices();
  void Apply();

  ReviewWindow& m_window;
  QComboBox* m_bench = nullptr;
  QComboBox* m_port = nullptr;
  QComboBox* m_end = nullptr;
  QCheckBox* m_byDate = nullptr;
  QDateEdit* m_from = nullptr;
  QDateEdit* m_to = nullptr;
};
