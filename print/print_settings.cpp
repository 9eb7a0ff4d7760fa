#include "print/print_settings.h"

#include "label/ini_file.h"

#include <QLocale>

#include <algorithm>
#include <cmath>

namespace {

// A hand-edited file cannot make the dialog build thousands of entries.
constexpr int MaxKeptLayouts = 100;
constexpr int MaxCopies = 9999;

const int SizeCentimetres[] = {6, 10, 14};

QString Key(int aIndex, const char* aField)
{
    return QStringLiteral("Layout%1%2").arg(aIndex).arg(QLatin1String(aField));
}

// A number as written by SaveNumber, or with a decimal comma as a Dutch
// hand may write it; aDefault for anything else.
double ReadNumber(const TIniFile& aFile, const QString& aKey, double aDefault)
{
    QString text = aFile.ReadString(PrintSection, aKey, QString()).trimmed();
    text.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double value = text.toDouble(&ok);
    return ok && std::isfinite(value) ? value : aDefault;
}

void WriteNumber(TIniFile& aFile, const QString& aKey, double aValue)
{
    aFile.WriteString(PrintSection, aKey, QString::number(aValue, 'g', QLocale::FloatingPointShortest));
}

double Clamped(double aValue, double aMin, double aMax)
{
    return std::clamp(aValue, aMin, aMax);
}

}  // namespace

const TSheetLayout* TPrintPreferences::Layout(const QString& aName) const
{
    for (const TSheetLayout& layout : Layouts) {
        if (layout.Name == aName)
            return &layout;
    }
    return nullptr;
}

void TPrintPreferences::KeepLayout(const TSheetLayout& aLayout)
{
    for (TSheetLayout& layout : Layouts) {
        if (layout.Name == aLayout.Name) {
            layout = aLayout;
            return;
        }
    }
    Layouts.append(aLayout);
}

void TPrintPreferences::RemoveLayout(const QString& aName)
{
    Layouts.removeIf([&](const TSheetLayout& aLayout) { return aLayout.Name == aName; });
}

double TPrintPreferences::DiameterFor(int aSizeItem) const
{
    return Diameter > 0 && DiameterSize == aSizeItem ? Diameter : DefaultDiameter(aSizeItem);
}

TPrintPreferences LoadPrintPreferences(const TIniFile& aFile)
{
    TPrintPreferences preferences;
    const QString& section = PrintSection;
    preferences.Paper = PaperFromName(aFile.ReadString(section, QStringLiteral("Paper"), QString()))
                            .value_or(TPaper::A4);
    preferences.LayoutName = aFile.ReadString(section, QStringLiteral("LayoutName"), QString());
    preferences.ProductBrand = aFile.ReadString(section, QStringLiteral("ProductBrand"), QString()).trimmed();
    preferences.ProductPart = aFile.ReadString(section, QStringLiteral("ProductPart"), QString()).trimmed();
    if (preferences.ProductBrand.isEmpty() || preferences.ProductPart.isEmpty()) {
        preferences.ProductBrand.clear();
        preferences.ProductPart.clear();
    }
    const double diameter = ReadNumber(aFile, QStringLiteral("Diameter"), 0);
    const int sizeCm = aFile.ReadInteger(section, QStringLiteral("DiameterLabelSize"), 0);
    const int* size = std::find(std::begin(SizeCentimetres), std::end(SizeCentimetres), sizeCm);
    if (diameter > 0 && size != std::end(SizeCentimetres)) {
        preferences.Diameter = Clamped(diameter, MinDiameter, MaxDiameter);
        preferences.DiameterSize = int(size - std::begin(SizeCentimetres));
    }
    preferences.Copies = std::clamp(aFile.ReadInteger(section, QStringLiteral("Copies"), 1), 1, MaxCopies);
    preferences.Start = std::max(aFile.ReadInteger(section, QStringLiteral("Start"), 1), 1);

    // A calibration value out of range is no calibration the user made: a
    // clamped one would print shifted or scaled without a word (ScaleY=-0
    // at 90 %). It is neutral instead, and the print dialog says so.
    TCalibration& c = preferences.Calibration;
    const auto calibration = [&](const char* aKey, double aNeutral, double aMin, double aMax) {
        const QString key = QLatin1String(aKey);
        if (aFile.ReadString(PrintSection, key, QString()).trimmed().isEmpty())
            return aNeutral;
        const double value = ReadNumber(aFile, key, qQNaN());
        if (std::isnan(value) || value < aMin || value > aMax) {
            preferences.CalibrationUnreadable = true;
            return aNeutral;
        }
        return value;
    };
    c.OffsetX = calibration("OffsetX", 0, TCalibration::MinOffset, TCalibration::MaxOffset);
    c.OffsetY = calibration("OffsetY", 0, TCalibration::MinOffset, TCalibration::MaxOffset);
    c.ScaleX = calibration("ScaleX", 100, TCalibration::MinScale, TCalibration::MaxScale);
    c.ScaleY = calibration("ScaleY", 100, TCalibration::MinScale, TCalibration::MaxScale);
    preferences.Bleed = Clamped(ReadNumber(aFile, QStringLiteral("Bleed"), 0), 0, TPrintShop::MaxBleed);

    const int count = std::clamp(aFile.ReadInteger(section, QStringLiteral("Layouts"), 0), 0, MaxKeptLayouts);
    for (int i = 1; i <= count; ++i) {
        TSheetLayout layout;
        layout.Name = aFile.ReadString(section, Key(i, "Name"), QString()).trimmed();
        const std::optional<TPaper> paper = PaperFromName(aFile.ReadString(section, Key(i, "Paper"), QString()));
        // A kept layout is a sheet's; one without a name could not be chosen.
        if (layout.Name.isEmpty() || !paper || *paper == TPaper::Label || *paper == TPaper::Other
            || preferences.Layout(layout.Name))
            continue;
        layout.Paper = *paper;
        layout.Diameter = ReadNumber(aFile, Key(i, "Diameter"), 60);
        layout.Columns = aFile.ReadInteger(section, Key(i, "Columns"), 1);
        layout.Rows = aFile.ReadInteger(section, Key(i, "Rows"), 1);
        layout.X0 = ReadNumber(aFile, Key(i, "X0"), 0);
        layout.Y0 = ReadNumber(aFile, Key(i, "Y0"), 0);
        layout.Dx = ReadNumber(aFile, Key(i, "Dx"), 0);
        layout.Dy = ReadNumber(aFile, Key(i, "Dy"), 0);
        // Kept as written, also when CheckLayout refuses it: the user sees
        // why when choosing it and can put it right.
        preferences.Layouts.append(layout);
    }
    if (!preferences.LayoutName.isEmpty() && !preferences.Layout(preferences.LayoutName))
        preferences.LayoutName.clear();
    return preferences;
}

void SavePrintPreferences(TIniFile& aFile, const TPrintPreferences& aPreferences)
{
    const QString& section = PrintSection;
    aFile.WriteString(section, QStringLiteral("Paper"), PaperName(aPreferences.Paper));
    aFile.WriteString(section, QStringLiteral("LayoutName"), aPreferences.LayoutName);
    aFile.WriteString(section, QStringLiteral("ProductBrand"), aPreferences.ProductBrand);
    aFile.WriteString(section, QStringLiteral("ProductPart"), aPreferences.ProductPart);
    if (aPreferences.Diameter > 0 && aPreferences.DiameterSize >= 0 && aPreferences.DiameterSize < 3) {
        WriteNumber(aFile, QStringLiteral("Diameter"), aPreferences.Diameter);
        aFile.WriteInteger(section, QStringLiteral("DiameterLabelSize"), SizeCentimetres[aPreferences.DiameterSize]);
    }
    aFile.WriteInteger(section, QStringLiteral("Copies"), aPreferences.Copies);
    aFile.WriteInteger(section, QStringLiteral("Start"), aPreferences.Start);
    const TCalibration& c = aPreferences.Calibration;
    WriteNumber(aFile, QStringLiteral("OffsetX"), c.OffsetX);
    WriteNumber(aFile, QStringLiteral("OffsetY"), c.OffsetY);
    WriteNumber(aFile, QStringLiteral("ScaleX"), c.ScaleX);
    WriteNumber(aFile, QStringLiteral("ScaleY"), c.ScaleY);
    WriteNumber(aFile, QStringLiteral("Bleed"), aPreferences.Bleed);
    // Keys of layouts removed since stay behind, unread, beyond the count.
    aFile.WriteInteger(section, QStringLiteral("Layouts"), int(aPreferences.Layouts.size()));
    for (int i = 1; i <= aPreferences.Layouts.size(); ++i) {
        const TSheetLayout& layout = aPreferences.Layouts[i - 1];
        aFile.WriteString(section, Key(i, "Name"), layout.Name);
        aFile.WriteString(section, Key(i, "Paper"), PaperName(layout.Paper));
        WriteNumber(aFile, Key(i, "Diameter"), layout.Diameter);
        aFile.WriteInteger(section, Key(i, "Columns"), layout.Columns);
        aFile.WriteInteger(section, Key(i, "Rows"), layout.Rows);
        WriteNumber(aFile, Key(i, "X0"), layout.X0);
        WriteNumber(aFile, Key(i, "Y0"), layout.Y0);
        WriteNumber(aFile, Key(i, "Dx"), layout.Dx);
        WriteNumber(aFile, Key(i, "Dy"), layout.Dy);
    }
}
