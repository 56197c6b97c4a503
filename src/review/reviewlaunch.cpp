#include "reviewlaunch.h"

#include <QApplication>
#include <QPointer>

#include "dischargechart.h"
#include "reviewwindow.h"

void ConnectHistoryButton(DischargeChart& chart, const StoreOpener& openStore,
                          const QString& storePath) {
  auto window = std::make_shared<QPointer<ReviewWindow>>();
  QObject::connect(&chart, &DischargeChart::HistoryRequested, &chart,
                   [&chart, openStore, storePath, window] {
                     if (window->isNull()) {
                       // Parented to the chart's window, so it closes with it.
                       *window = new ReviewWindow(openStore, chart.window());
                       (*window)->setAttribute(Qt::WA_DeleteOnClose);
                       (*window)->SetLabelStore(storePath);
                     }
                     (*window)->show();
                     (*window)->raise();
                     (*window)->activateWindow();
                   });
}

int RunReviewWindow(const QStringList& words, const StoreOpener& openStore,
                    const QString& storePath) {
  ReviewWindow window(openStore);
  window.SetLabelStore(storePath);
  window.show();
  for (const QString& word : words) {
    window.OpenRef(word);
  }
  return QApplication::exec();
}
