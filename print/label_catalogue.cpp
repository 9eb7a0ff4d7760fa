#include "print/label_catalogue.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QStandardPaths>
#include <QXmlStreamReader>

#include <algorithm>
#include <cmath>
#include <future>
#include <mutex>
#include <optional>

namespace {

// A hand-made file cannot make the dialog list thousands of positions.
constexpr int MaxGridCount = 1000;
constexpr int MaxPositions = 5000;
constexpr double MmPerInch = 25.4;
constexpr double MmPerPoint = MmPerInch / 72;

struct TPaperSize
{
    QString Name;
    QSizeF Size;  // mm
};

// A length as the catalogue writes it: a number and a unit, points when none.
std::optional<double> Length(QStringView aText)
{
    aText = aText.trimmed();
    qsizetype unitAt = aText.size();
    while (unitAt > 0 && aText[unitAt - 1].isLetter())
        --unitAt;
    const QStringView unit = aText.mid(unitAt);
    bool ok = false;
    const double value = aText.left(unitAt).trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    if (unit.isEmpty() || unit == u"pt")
        return value * MmPerPoint;
    if (unit == u"mm")
        return value;
    if (unit == u"cm")
        return value * 10;
    if (unit == u"in")
        return value * MmPerInch;
    if (unit == u"pc")
        return value * 12 * MmPerPoint;
    return std::nullopt;
}

std::optional<int> Count(QStringView aText)
{
    bool ok = false;
    const int value = aText.trimmed().toInt(&ok);
    return ok && value >= 1 && value <= MaxGridCount ? std::optional<int>(value) : std::nullopt;
}

// One Template element as read, checked once the paper sizes are known.
struct TRawTemplate
{
    QString Brand;
    QString Part;
    QString Equiv;
    QString Size;
    QString Width;
    QString Height;
    QString Description;
    bool Round = false;
    bool Bad = false;
    double Radius = 0;
    QList<TSheetGrid> Grids;
};

// The attribute aName of the reader's element, with or without the
// translation mark the catalogue puts before texts ("_description").
QString Text(const QXmlStreamAttributes& aAttributes, QLatin1String aName)
{
    if (aAttributes.hasAttribute(aName))
        return aAttributes.value(aName).toString();
    return aAttributes.value(QLatin1String("_") + aName).toString();
}

// The label element of a template: the first one decides its shape.
void ReadLabel(QXmlStreamReader& aReader, TRawTemplate& aTemplate)
{
    aTemplate.Round = aReader.name() == u"Label-round";
    if (!aTemplate.Round) {
        aReader.skipCurrentElement();
        return;
    }
    const std::optional<double> radius = Length(aReader.attributes().value(QLatin1String("radius")));
    if (!radius || !(*radius > 0))
        aTemplate.Bad = true;
    else
        aTemplate.Radius = *radius;
    while (aReader.readNextStartElement()) {
        if (aReader.name() != u"Layout") {
            aReader.skipCurrentElement();
            continue;
        }
        const QXmlStreamAttributes a = aReader.attributes();
        const std::optional<int> nx = Count(a.value(QLatin1String("nx")));
        const std::optional<int> ny = Count(a.value(QLatin1String("ny")));
        const std::optional<double> x0 = Length(a.value(QLatin1String("x0")));
        const std::optional<double> y0 = Length(a.value(QLatin1String("y0")));
        // A single row or column may leave its pitch out.
        const std::optional<double> dx = a.hasAttribute(QLatin1String("dx")) ? Length(a.value(QLatin1String("dx"))) : 0.0;
        const std::optional<double> dy = a.hasAttribute(QLatin1String("dy")) ? Length(a.value(QLatin1String("dy"))) : 0.0;
        if (!nx || !ny || !x0 || !y0 || !dx || !dy || (*nx > 1 && !(*dx > 0)) || (*ny > 1 && !(*dy > 0)))
            aTemplate.Bad = true;
        else
            // x0, y0 are the top-left corner of the first label's square.
            aTemplate.Grids.append(TSheetGrid{*nx, *ny, *x0 + aTemplate.Radius, *y0 + aTemplate.Radius, *dx, *dy});
        aReader.skipCurrentElement();
    }
    if (aTemplate.Grids.isEmpty())
        aTemplate.Bad = true;
}

TRawTemplate ReadTemplate(QXmlStreamReader& aReader)
{
    TRawTemplate t;
    const QXmlStreamAttributes a = aReader.attributes();
    t.Brand = a.value(QLatin1String("brand")).toString().simplified();
    t.Part = a.value(QLatin1String("part")).toString().simplified();
    t.Equiv = a.value(QLatin1String("equiv")).toString().simplified();
    t.Size = a.value(QLatin1String("size")).toString();
    t.Width = a.value(QLatin1String("width")).toString();
    t.Height = a.value(QLatin1String("height")).toString();
    t.Description = Text(a, QLatin1String("description")).simplified();
    bool labelSeen = false;
    while (aReader.readNextStartElement()) {
        if (!labelSeen && aReader.name().startsWith(u"Label-")) {
            labelSeen = true;
            ReadLabel(aReader, t);
        } else {
            aReader.skipCurrentElement();
        }
    }
    return t;
}

// Every Template element of aPath, wherever it sits; false when the file is
// not well-formed XML (then nothing of it counts).
bool ReadTemplates(const QString& aPath, QList<TRawTemplate>& aTemplates, QList<TCatalogueWarning>& aWarnings)
{
    QFile file(aPath);
    if (!file.open(QIODevice::ReadOnly)) {
        aWarnings.append({aPath, 0, file.errorString()});
        return false;
    }
    QXmlStreamReader reader(&file);
    QList<TRawTemplate> found;
    while (!reader.atEnd()) {
        if (reader.readNext() == QXmlStreamReader::StartElement && reader.name() == u"Template")
            found.append(ReadTemplate(reader));
    }
    if (reader.hasError()) {
        aWarnings.append({aPath, reader.lineNumber(), reader.errorString()});
        return false;
    }
    aTemplates.append(found);
    return true;
}

void ReadPaperSizes(const QString& aPath, QHash<QString, TPaperSize>& aSizes)
{
    QFile file(aPath);
    if (!file.open(QIODevice::ReadOnly))
        return;
    QXmlStreamReader reader(&file);
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement || reader.name() != u"Paper-size")
            continue;
        const QXmlStreamAttributes a = reader.attributes();
        const QString id = a.value(QLatin1String("id")).toString();
        const std::optional<double> width = Length(a.value(QLatin1String("width")));
        const std::optional<double> height = Length(a.value(QLatin1String("height")));
        if (!id.isEmpty() && width && height && *width > 0 && *height > 0 && !aSizes.contains(id)) {
            const QString name = Text(a, QLatin1String("name"));
            aSizes.insert(id, {name.isEmpty() ? id : name, QSizeF(*width, *height)});
        }
    }
}

QString SizeText(const QSizeF& aSize)
{
    return QStringLiteral("%1 x %2 mm")
        .arg(QString::number(aSize.width(), 'f', 1), QString::number(aSize.height(), 'f', 1));
}

// The product of a round template, or nothing when a value is bad or its
// paper unknown.
std::optional<TLabelProduct> Product(const TRawTemplate& aTemplate, const QHash<QString, TPaperSize>& aSizes)
{
    if (!aTemplate.Round || aTemplate.Bad || aTemplate.Brand.isEmpty() || aTemplate.Part.isEmpty())
        return std::nullopt;
    TLabelProduct product;
    product.Brand = aTemplate.Brand;
    product.Part = aTemplate.Part;
    product.Description = aTemplate.Description;
    TSheetLayout& layout = product.Layout;
    if (aTemplate.Size == u"A4") {
        layout.Paper = TPaper::A4;
    } else if (aTemplate.Size == u"US-Letter") {
        layout.Paper = TPaper::Letter;
    } else {
        layout.Paper = TPaper::Other;
        if (aTemplate.Size == u"Other") {
            const std::optional<double> width = Length(aTemplate.Width);
            const std::optional<double> height = Length(aTemplate.Height);
            if (!width || !height || !(*width > 0) || !(*height > 0))
                return std::nullopt;
            layout.OtherPaper = QSizeF(*width, *height);
        } else if (const auto size = aSizes.constFind(aTemplate.Size); size != aSizes.constEnd()) {
            layout.OtherPaper = size->Size;
        } else {
            return std::nullopt;
        }
    }
    const auto known = aSizes.constFind(aTemplate.Size);
    if (aTemplate.Size == u"Other" || known == aSizes.constEnd())
        product.PaperName = layout.Paper == TPaper::Letter ? QStringLiteral("US Letter")
                            : layout.Paper == TPaper::A4 ? QStringLiteral("A4")
                                                         : SizeText(layout.OtherPaper);
    else
        product.PaperName = known->Name;

    layout.Name = product.Name();
    layout.Diameter = layout.DieCutDiameter = 2 * aTemplate.Radius;
    const TSheetGrid& first = aTemplate.Grids.first();
    layout.Columns = first.Columns;
    layout.Rows = first.Rows;
    layout.X0 = first.X0;
    layout.Y0 = first.Y0;
    layout.Dx = first.Dx;
    layout.Dy = first.Dy;
    layout.MoreGrids = aTemplate.Grids.mid(1);
    if (layout.Positions() > MaxPositions)
        return std::nullopt;
    return product;
}

QStringList ProductFiles(const QString& aFolder)
{
    QDir dir(aFolder);
    QStringList files;
    for (const QString& name :
         dir.entryList({QStringLiteral("*-templates.xml"), QStringLiteral("*.template")}, QDir::Files, QDir::Name))
        files << dir.filePath(name);
    return files;
}

// The fewest single-character edits from aA to aB. Written here: Qt has no
// edit distance, and names are short.
int EditDistance(const QString& aA, const QString& aB)
{
    QList<int> row(aB.size() + 1);
    for (qsizetype j = 0; j <= aB.size(); ++j)
        row[j] = int(j);
    for (qsizetype i = 1; i <= aA.size(); ++i) {
        int diagonal = row[0];
        row[0] = int(i);
        for (qsizetype j = 1; j <= aB.size(); ++j) {
            const int above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (aA[i - 1] == aB[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[aB.size()];
}

}  // namespace

bool TLabelProduct::Offered() const
{
    return DieCut() >= MinDiameter;
}

QString CatalogueKey(const QString& aText)
{
    return aText.simplified().toCaseFolded();
}

TCatalogueFolders DefaultCatalogueFolders()
{
    TCatalogueFolders folders;
    folders.System << QStringLiteral("/usr/share/libglabels-3.0/templates")
                   << QStringLiteral("/usr/share/glabels-qt/templates");
    folders.User << QDir::home().filePath(QStringLiteral(".glabels"));
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty() || QDir::isRelativePath(config))
        config = QDir::home().filePath(QStringLiteral(".config"));
    folders.User << QDir(config).filePath(QStringLiteral("libglabels/templates"));
    return folders;
}

TLabelCatalogue ReadCatalogue(const TCatalogueFolders& aFolders)
{
    TLabelCatalogue catalogue;
    QHash<QString, TPaperSize> sizes;
    for (const QString& folder : aFolders.System)
        ReadPaperSizes(QDir(folder).filePath(QStringLiteral("paper-sizes.xml")), sizes);

    QHash<QString, qsizetype> byName;
    QList<TRawTemplate> equivalents;
    const auto readFolders = [&](const QStringList& aFolderList, bool aUser) {
        for (const QString& folder : aFolderList) {
            for (const QString& path : ProductFiles(folder)) {
                QList<TRawTemplate> templates;
                if (!ReadTemplates(path, templates, catalogue.Warnings))
                    continue;
                for (const TRawTemplate& t : templates) {
                    if (!t.Equiv.isEmpty()) {
                        equivalents.append(t);
                        continue;
                    }
                    std::optional<TLabelProduct> product = Product(t, sizes);
                    if (!product)
                        continue;
                    product->File = path;
                    product->User = aUser;
                    const QString key = CatalogueKey(product->Name());
                    if (const auto at = byName.constFind(key); at != byName.constEnd()) {
                        // The user's own product replaces the catalogue's; within
                        // one kind of folder the first one found stays.
                        if (aUser && !catalogue.Products[*at].User)
                            catalogue.Products[*at] = *product;
                        continue;
                    }
                    byName.insert(key, catalogue.Products.size());
                    catalogue.Products.append(*product);
                }
            }
        }
    };
    readFolders(aFolders.System, false);
    readFolders(aFolders.User, true);

    for (const TRawTemplate& t : equivalents) {
        const auto at = byName.constFind(CatalogueKey(t.Brand + QLatin1Char(' ') + t.Equiv));
        if (at == byName.constEnd() || t.Part.isEmpty())
            continue;
        const QString key = CatalogueKey(t.Brand + QLatin1Char(' ') + t.Part);
        // A product of its own of that name goes first.
        if (byName.contains(key))
            continue;
        TLabelProduct& product = catalogue.Products[*at];
        if (!product.Equivalents.contains(t.Part))
            product.Equivalents.append(t.Part);
    }
    std::sort(catalogue.Products.begin(), catalogue.Products.end(), [](const TLabelProduct& a, const TLabelProduct& b) {
        const int brand = a.Brand.compare(b.Brand, Qt::CaseInsensitive);
        return brand != 0 ? brand < 0 : a.Part.compare(b.Part, Qt::CaseInsensitive) < 0;
    });
    return catalogue;
}

const TLabelProduct* TLabelCatalogue::Find(const QString& aName) const
{
    const QString key = CatalogueKey(aName);
    for (const TLabelProduct& product : Products) {
        if (CatalogueKey(product.Name()) == key)
            return &product;
    }
    for (const TLabelProduct& product : Products) {
        for (const QString& part : product.Equivalents) {
            if (CatalogueKey(product.Brand + QLatin1Char(' ') + part) == key)
                return &product;
        }
    }
    return nullptr;
}

const TLabelProduct* TLabelCatalogue::Find(const QString& aBrand, const QString& aPart) const
{
    for (const TLabelProduct& product : Products) {
        if (product.Brand == aBrand && product.Part == aPart)
            return &product;
    }
    return nullptr;
}

QStringList TLabelCatalogue::Suggestions(const QString& aName, int aCount) const
{
    const QString key = CatalogueKey(aName);
    QList<std::pair<int, QString>> ranked;
    for (const TLabelProduct& product : Products) {
        // Typing the part alone, or a brand spelled a little off, both count.
        const QString name = CatalogueKey(product.Name());
        int distance = std::min(EditDistance(key, name), EditDistance(key, CatalogueKey(product.Part)));
        if (name.contains(key))
            distance = 0;
        ranked.append({distance, product.Name()});
    }
    std::stable_sort(ranked.begin(), ranked.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    QStringList names;
    for (qsizetype i = 0; i < ranked.size() && names.size() < aCount; ++i)
        names << ranked[i].second;
    return names;
}

QList<const TLabelProduct*> TLabelCatalogue::ByDiameter(double aDiameter) const
{
    QList<const TLabelProduct*> offered;
    for (const TLabelProduct& product : Products) {
        if (product.Offered())
            offered.append(&product);
    }
    std::stable_sort(offered.begin(), offered.end(), [aDiameter](const TLabelProduct* a, const TLabelProduct* b) {
        return std::abs(a->DieCut() - aDiameter) < std::abs(b->DieCut() - aDiameter);
    });
    return offered;
}

namespace {

std::once_flag InstalledStarted;
std::shared_future<TLabelCatalogue> Installed;

}  // namespace

void StartReadingInstalledCatalogue()
{
    std::call_once(InstalledStarted, [] {
        Installed = std::async(std::launch::async, [] { return ReadCatalogue(DefaultCatalogueFolders()); }).share();
    });
}

const TLabelCatalogue& InstalledCatalogue()
{
    StartReadingInstalledCatalogue();
    return Installed.get();
}
