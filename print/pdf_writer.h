#pragma once

#include "print/label_printer.h"

#include <QByteArray>
#include <QString>

// PDF files of labels at true size: rings and texts as vector paths, each
// picture embedded once however many labels show it, title the first
// label's cheese name, creator "Merovik". The file is made in memory and
// written atomically: a failed write leaves no file behind and an existing
// one as it was, and Error names the file and the system's reason.
TPrintResult WriteLabelsPdf(const QString& aFileName, const QList<TPrintJob>& aJobs,
                            const TPrintSettings& aSettings, TLabelRenderer& aRenderer,
                            const TPrintProgress& aProgress = {});

// The calibration page (PrintCalibrationPage) as a PDF file.
TPrintResult WriteCalibrationPdf(const QString& aFileName, const TPrintSettings& aSettings);

// The PDF of WriteLabelsPdf in aBytes, without writing a file; aBytes is
// empty unless the result is Ok().
TPrintResult LabelsPdf(QByteArray& aBytes, const QList<TPrintJob>& aJobs, const TPrintSettings& aSettings,
                       TLabelRenderer& aRenderer, const TPrintProgress& aProgress = {});
