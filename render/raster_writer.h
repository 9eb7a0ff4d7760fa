#pragma once

#include "label/file_problem.h"

#include <QByteArray>
#include <QImage>
#include <QString>

// Writers of the label raster, shared by the editor's export and the
// command-line renderer. Each writes atomically (nothing is left behind when
// writing fails) and returns no problem on success, otherwise the file and
// why it was not written.

// JPEG through libjpeg with full colour resolution (4:4:4: Qt's own writer
// always halves the chroma, which blurs coloured text) and 300 dpi in the
// JFIF density. RGB32 and RGB888 rows go to the encoder without conversion.
TFileProblem WriteJpeg(const QImage& aImage, const QString& aFileName, int aQuality = 98);

// PNG with 300 dpi in its pHYs chunk, written for speed: unfiltered rows at
// zlib level 2. Opaque pictures are written as 24-bit RGB, others with alpha.
TFileProblem WritePng(const QImage& aImage, const QString& aFileName);

// Dispatches on aFormat: "jpg" or "jpeg" (aQuality applies), "png".
TFileProblem WriteRaster(const QImage& aImage, const QString& aFileName, const QString& aFormat, int aQuality);

// The picture encoded in memory exactly as WriteRaster writes it, so that
// workers can encode while one thread writes the files in order (with
// WriteFileAtomically, label/atomic_file.h). Error holds the reason without a
// file name; Bytes is then empty. Safe on any thread.
struct TEncodedPicture
{
    QByteArray Bytes;
    QString Error;
};
TEncodedPicture EncodeRaster(const QImage& aImage, const QString& aFormat, int aQuality);
