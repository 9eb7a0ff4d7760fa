#pragma once

#include "label/label_document.h"
#include "print/label_catalogue.h"
#include "print/label_printer.h"
#include "render/picture_cache.h"

#include <QString>
#include <QStringList>

// How the editor words, in Dutch, the problems the core returns as values.

// The system's reason for error number aCode; aSystemText (the system's own
// words) for a number without a wording here.
QString SystemReasonText(int aCode, const QString& aSystemText);

// Why aProblem's file was not read or written, without the file.
QString FileReasonText(const TFileProblem& aProblem);
// "Kan <bestand> niet lezen: <reden>", "Kan niet schrijven naar <bestand>: <reden>".
QString FileProblemMessage(const TFileProblem& aProblem);
// A label or settings file that could not be saved, in the words the program
// has always used for it: "Unable to write to <file>: <reden>".
QString LabelWriteMessage(const TFileProblem& aProblem);
// "Kan <bestand> niet lezen: het bestand bestaat niet".
QString NoSuchFileMessage(const QString& aFile);
// "Kan <bestand> niet verwijderen: <reden>", aCode being the system's error number.
QString DeleteFailedMessage(const QString& aFile, int aCode, const QString& aSystemText);

// A value of a label file that could not be used, naming the file's section
// and key or the picture.
QString LoadProblemMessage(const TLoadProblem& aProblem);
// The colour errors and, with aWarnings, the warnings of a load.
QStringList LoadReportMessages(const TLoadReport& aReport, bool aWarnings);

// Why a picture cannot be used: "niet gevonden", "te groot (W × H pixels)".
QString PictureReasonText(const TPictureProblem& aProblem);
// "achtergrondfoto "x.jpg": niet gevonden", "foto midden "y.png": beschadigd"
QString PictureWarningMessage(bool aMiddle, const QString& aFile, const TPictureProblem& aProblem);
QString PrintWarningMessage(const TPrintWarning& aWarning);
QString PrintErrorMessage(const TPrintError& aError);

// Product files of the catalogue that could not be read, naming the first
// with its line: their products are missing from the list.
QString CatalogueWarningMessage(const QList<TCatalogueWarning>& aWarnings);
