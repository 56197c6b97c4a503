#pragma once

#include <QDateTime>
#include <QString>

class QTableWidgetItem;

// Table items and dates as the review's windows show them.

// A read-only table item; figures are aligned right so their digits line up.
QTableWidgetItem* TableItem(const QString& text, bool number = true);

// "2026-03-01 14:05", or "-" for a time not known.
QString DateText(const QDateTime& t);
