#pragma once

#include "print/label_printer.h"

#include <QByteArray>
#include <QList>
#include <QString>

// What Qt's PDF writer cannot write, added to the PDF it wrote: on pages of
// one label the MediaBox at the page's exact size (Qt's are whole points),
// the TrimBox (the label's square) and BleedBox (grown by the bleed); the die line of every label as a stroke in the Separation colour
// space "CutContour" (alternate 100 % magenta) with overprint on; crop marks
// in registration black (100 % of C, M, Y and K). aPagePositions holds the
// label positions of each page. The rest of the file (fonts, pictures) is
// carried over as it is. An empty string on success, else the reason.
QString AddPrintShopMarks(QByteArray& aPdf, const TPrintSettings& aSettings, const QList<QList<int>>& aPagePositions);
