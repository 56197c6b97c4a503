#pragma once

#include <QString>
#include <functional>

class QPrinter;

// Prints a plot through a 1200 dpi PDF printer (A4 landscape) and saves it
// as a PDF the way "保存图像" does, turns both first pages into pictures
// with poppler's pdftoppm, and writes them side by side to the PNG `out`:
// the saved PDF on the left, the printed page on the right, each at 72 dpi
// so their sizes compare as on paper. Returns the process exit code.
int RenderPrintComparison(const std::function<bool(QPrinter&)>& print,
                          const std::function<bool(const QString&)>& save, const QString& out);
