#pragma once

#include "print/label_printer.h"

#include <QList>
#include <QString>

class TIniFile;

// What printing remembers between sessions, in the settings file's section
// [Print]: the last layout or label product, diameter, copies, start
// position, calibration and bleed, and the layouts the user keeps under a name.
struct TPrintPreferences
{
    // The last layout: a paper's built-in layout, or a kept one by name.
    TPaper Paper = TPaper::A4;
    QString LayoutName;  // non-empty: the kept layout of that name
    // Non-empty: the label product of that brand and part, as the catalogue spells them.
    QString ProductBrand;
    QString ProductPart;
    double Diameter = 0;  // the last diameter; 0: none yet
    int DiameterSize = -1;  // the label size item Diameter was chosen at
    int Copies = 1;
    int Start = 1;
    TCalibration Calibration;
    double Bleed = 0;  // mm; the die line and crop marks are asked for each PDF anew
    // A calibration value in the file was no number or out of range: read as
    // the neutral value, which the user should hear of. Not written.
    bool CalibrationUnreadable = false;
    QList<TSheetLayout> Layouts;  // kept layouts, each with its name

    // The kept layout named aName (case-sensitive), or null.
    const TSheetLayout* Layout(const QString& aName) const;
    // Keeps aLayout under its name, replacing one of that name.
    void KeepLayout(const TSheetLayout& aLayout);
    void RemoveLayout(const QString& aName);
    // The diameter to start with at label size aSizeItem: the last one when
    // it was chosen at that size, else the size's default.
    double DiameterFor(int aSizeItem) const;

    bool operator==(const TPrintPreferences&) const = default;
};

inline const QString PrintSection = QStringLiteral("Print");

// Reads [Print]; what is missing or out of range takes its default, a
// calibration value the neutral one (see CalibrationUnreadable).
TPrintPreferences LoadPrintPreferences(const TIniFile& aFile);
// Writes [Print], keeping every other line of the file.
void SavePrintPreferences(TIniFile& aFile, const TPrintPreferences& aPreferences);
