#pragma once

#include <QString>

// A cell's label as the user or a barcode scanner gives it ("A0001"): what
// is stored, shown and searched for.
//
// Leading and trailing white space go (a scanner may add a tab or CR), so do
// control characters anywhere (they would break a listing's columns or a
// file name); the label is cut to kMaxCellLabel characters, never in the
// middle of a surrogate pair. An empty result means "unlabelled".
inline constexpr int kMaxCellLabel = 64;
QString CleanCellLabel(const QString& text);
