#pragma once

#include <QSize>
#include <QString>

class QCustomPlot;
class QPrinter;

// What the live chart and the review plot do alike with a prepared plot:
// zoom both axes about their centres, save it as PNG or PDF (by the file's
// ending), print it scaled to the page. Callers prepare the drawing first.

// Scales both axes' ranges by `factor` (below 1 zooms in).
void ScalePlotAxes(QCustomPlot& plot, double factor);
// False when the file cannot be written.
bool SavePlotImage(QCustomPlot& plot, const QString& path, QSize size);
// Prints the picture SavePlotImage saves as a PDF, scaled to fit the
// printable area and centred across it, whatever the printer's resolution.
// False when the printer cannot be painted on.
bool PrintPlot(QCustomPlot& plot, QPrinter& printer, QSize size);
