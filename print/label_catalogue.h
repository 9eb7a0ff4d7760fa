#pragma once

#include "print/print_layout.h"

#include <QList>
#include <QString>
#include <QStringList>

// A round label product as sold on sheets: a paper with die-cut labels in
// one or more grids.
struct TLabelProduct
{
    QString Brand;
    QString Part;
    QStringList Equivalents;  // other parts of the brand sold as the same product
    QString Description;
    QString PaperName;  // as the catalogue names it ("A4", "US Letter"), or the size in mm
    // The product's sheet: Name is "BRAND PART", Diameter and DieCutDiameter
    // the die-cut.
    TSheetLayout Layout;
    QString File;  // the file the product was read from
    bool User = false;  // from the user's own folders

    QString Name() const { return Brand + QLatin1Char(' ') + Part; }
    double DieCut() const { return Layout.DieCutDiameter; }
    // Whether labels of MinDiameter or more fit its die-cuts.
    bool Offered() const;
};

// A catalogue file that could not be read as a whole.
struct TCatalogueWarning
{
    QString File;
    qint64 Line = 0;
    QString Detail;  // the XML reader's own words

    bool operator==(const TCatalogueWarning&) const = default;
};

// Where product files are looked for: the catalogue's folders (with their
// paper-sizes.xml) and the user's own, whose products replace the
// catalogue's of the same brand and part.
struct TCatalogueFolders
{
    QStringList System;
    QStringList User;
};

// The installed catalogue and the user's folders (~/.glabels,
// $XDG_CONFIG_HOME/libglabels/templates).
TCatalogueFolders DefaultCatalogueFolders();

// The round label products found.
struct TLabelCatalogue
{
    QList<TLabelProduct> Products;  // every round product, by brand, then part
    QList<TCatalogueWarning> Warnings;

    // The product named aName: brand and part, case-insensitive, runs of
    // spaces as one; an equivalent part names its product. Null when none.
    const TLabelProduct* Find(const QString& aName) const;
    // The product of aBrand and aPart exactly as written (a remembered choice).
    const TLabelProduct* Find(const QString& aBrand, const QString& aPart) const;
    // Up to aCount names of products close to aName, the closest first.
    QStringList Suggestions(const QString& aName, int aCount = 3) const;
    // The offered products, those whose die-cut is closest to aDiameter first.
    QList<const TLabelProduct*> ByDiameter(double aDiameter) const;
};

// Reads every *-templates.xml and *.template file of the folders; a
// template with a bad value is skipped alone, a file that is not XML with a
// warning; shapes other than round are skipped quietly.
TLabelCatalogue ReadCatalogue(const TCatalogueFolders& aFolders);

// The catalogue of DefaultCatalogueFolders(), read once per run: the first
// call starts reading in the background, later ones wait for it when needed.
void StartReadingInstalledCatalogue();
const TLabelCatalogue& InstalledCatalogue();

// aText case-folded with runs of white space as one space, as names are compared.
QString CatalogueKey(const QString& aText);
