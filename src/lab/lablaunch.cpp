#include "lablaunch.h"

#include <QApplication>
#include <QBoxLayout>
#include <QPointer>
#include <QPushButton>
#include <QThread>

#include "labwindow.h"
#include "reviewfilterbar.h"
#include "reviewwindow.h"
#include "serversessionreader.h"
#include "sessionfollower.h"

namespace {

// Runs a SessionFollower on its own thread for as long as the window it
// belongs to is open.
class FollowerThread : public QObject {
 public:
  FollowerThread(ReviewWindow& window, const QString& uri, qint64 sessionId, qint64 afterSeq)
      : QObject(&window) {
    m_thread = new QThread(this);
    m_follower = new SessionFollower(uri, sessionId, afterSeq);
    m_follower->moveToThread(m_thread);
    connect(m_thread, &QThread::finished, m_follower, &QObject::deleteLater);
    connect(m_follower, &SessionFollower::Arrived, &window,
            [w = &window](qint64 id, const ChannelReadings& readings, qint64 chunks, bool running) {
              w->AppendReadings(id, readings, chunks, running);
            });
    m_thread->start();
    QMetaObject::invokeMethod(m_follower, &SessionFollower::Start, Qt::QueuedConnection);
  }
  ~FollowerThread() override {
    QMetaObject::invokeMethod(m_follower, &SessionFollower::Stop, Qt::BlockingQueuedConnection);
    m_thread->quit();
    m_thread->wait();
  }

 private:
  QThread* m_thread = nullptr;
  SessionFollower* m_follower = nullptr;
};

}  // namespace

StoreOpener ServerOpener(const QString& uri) {
  return [uri](QString* error) -> std::unique_ptr<SessionReader> {
    return ServerSessionReader::Open(uri, error);
  };
}

void AttachLabControls(ReviewWindow& window, const QString& uri) {
  new ReviewFilterBar(window);
  if (uri.isEmpty()) {
    return;
  }
  auto* lab = new QPushButton(ReviewWindow::tr("实验室"), &window);
  lab->setToolTip(ReviewWindow::tr("实验室中所有正在记录的会话"));
  window.ListBar().addWidget(lab);
  auto open = std::make_shared<QPointer<LabWindow>>();
  QObject::connect(lab, &QPushButton::clicked, &window, [&window, uri, open] {
    if (open->isNull()) {
      *open = OpenLabWindow(uri, &window);
    }
    (*open)->show();
    (*open)->raise();
    (*open)->activateWindow();
  });
}

LabWindow* OpenLabWindow(const QString& uri, QWidget* parent) {
  auto* lab = new LabWindow(uri, parent);
  lab->setAttribute(Qt::WA_DeleteOnClose);
  QObject::connect(lab, &LabWindow::OpenRequested, lab, [lab, uri](const LabSession& session) {
    ReviewWindow* review = OpenFollowing(uri, session.id, lab);
    review->show();
  });
  return lab;
}

ReviewWindow* OpenFollowing(const QString& uri, qint64 sessionId, QWidget* parent) {
  auto* window = new ReviewWindow(ServerOpener(uri), parent);
  window->setAttribute(Qt::WA_DeleteOnClose);
  AttachLabControls(*window, uri);
  if (!window->OpenSession(sessionId)) {
    return window;
  }
  // Once read, the session is followed from its last chunk read.
  auto started = std::make_shared<bool>(false);
  QObject::connect(window, &ReviewWindow::LoadFinished, window, [=](bool ok) {
    if (!ok || *started) {
      return;
    }
    for (int i = 0; i < window->SourceCount(); ++i) {
      if (window->Source(i).sessionId == sessionId) {
        *started = true;
        new FollowerThread(*window, uri, sessionId, window->Source(i).chunks);
        return;
      }
    }
  });
  return window;
}

int RunLabWindow(const QString& uri) {
  LabWindow* lab = OpenLabWindow(uri);
  lab->show();
  return QApplication::exec();
}

int RunServerReview(const QStringList& words, const QString& uri) {
  ReviewWindow window(ServerOpener(uri));
  AttachLabControls(window, uri);
  window.show();
  for (const QString& word : words) {
    window.OpenRef(word);
  }
  return QApplication::exec();
}
