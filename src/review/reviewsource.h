#pragma once

#include <QDateTime>
#include <QString>
#include <array>
#include <optional>
#include <vector>

#include "channelsample.h"

// A recording opened for review: a stored session or a data1.txt file, as the
// readings of its two channels in arrival order.
struct ReviewSource {
  QString name;              // what the user knows it by: "会话 12" or the file name
  QString detail;            // the port, or the file's full path
  qint64 sessionId = 0;      // the stored session it was read from, or 0
  QString path;              // the file it was read from, or empty
  QDateTime start;           // local; the session's start, or the file's save time
  bool startIsSave = false;  // `start` is when a file was saved, not when it began
  std::array<std::vector<ChannelSample>, 2> channels;  // channel 1, channel 2
  std::array<QString, 2> cells;                        // each channel's cell label, empty when none
  bool notice = false;                                 // the end-of-discharge notice was received
  qint64 chunks = 0;                                   // chunks (session) or non-empty lines (file)
  qint64 skipped = 0;  // file lines that were not frames or failed to parse
  qint64 bytes = 0;    // file size
  // Whether a stored session was still being recorded when it was read;
  // unknown when the source was not read from the store.
  std::optional<bool> running;

  const std::vector<ChannelSample>& Channel(int channel) const {
    return channels[size_t(channel - 1)];
  }
};

// Asks for the memory of a large buffer that is filled once, in order, to be
// mapped in large pages: a week's readings or file then take the kernel a
// few hundred steps to map instead of thousands.
void AdviseLargePages(void* data, size_t bytes);
// Makes room for `count` readings in `samples`, as a long recording is read.
void ReserveSamples(std::vector<ChannelSample>& samples, size_t count);
