#pragma once

#include <QString>
#include <deque>

#include "serialport.h"

// A port with no device behind it: each read hands out the next queued chunk
// (or nothing). Drives the window without hardware in the screenshot tool and
// the benchmarks. Opening always succeeds.
class ReplayPort final : public SerialPort {
 public:
  void Queue(QString chunk) { m_chunks.push_back(std::move(chunk)); }
  qsizetype Pending() const { return qsizetype(m_chunks.size()); }

  void SetPortNumber(int number) override { m_portNumber = number; }
  int PortNumber() const override { return m_portNumber; }
  bool SetSettings(const QString&) override { return true; }
  bool Open() override;
  bool Close() override;
  bool IsOpen() const override { return m_open; }
  bool SetInBufferCount(qint32 count) override;
  QString ReadAllAsText() override;

 private:
  std::deque<QString> m_chunks;
  int m_portNumber = 1;
  bool m_open = false;
};
