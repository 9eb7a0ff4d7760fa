#include "editor/merge_messages.h"

#include "editor/messages.h"

#include <QDir>

namespace {

// A cell's value as shown in a message: quoted, and cut short when long.
QString Quoted(const QString& aValue)
{
    constexpr int MaxShown = 60;
    QString shown = aValue.size() > MaxShown ? aValue.left(MaxShown) + QStringLiteral("...") : aValue;
    shown.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    return QStringLiteral("\u201c%1\u201d").arg(shown);
}

QString Where(const TMergeError& aError)
{
    QString where = QDir::toNativeSeparators(aError.File);
    if (aError.Row > 0)
        where += QStringLiteral(", rij %1").arg(aError.Row);
    if (aError.Column > 0) {
        where += QStringLiteral(", kolom ") + TMergeTable::ColumnLetters(aError.Column);
        if (!aError.ColumnName.isEmpty())
            where += QStringLiteral(" (%1)").arg(aError.ColumnName);
    }
    return where;
}

QString What(const TMergeError& aError)
{
    using TKind = TMergeError::TKind;
    const QString value = Quoted(aError.Value);
    const QString path = Quoted(QDir::toNativeSeparators(aError.Value));
    switch (aError.Kind) {
    case TKind::NoSuchTable: return QStringLiteral("dit tabelbestand bestaat niet");
    case TKind::TableIsFolder: return QStringLiteral("dit is een map, geen tabelbestand");
    case TKind::TableNotAFile: return QStringLiteral("dit is geen gewoon bestand");
    case TKind::TableTooLarge:
        return QStringLiteral("de tabel is groter dan %1 MB").arg(aError.Limit / (1024 * 1024));
    case TKind::TableUnreadable:
        return QStringLiteral("de tabel kan niet gelezen worden: %1").arg(SystemReasonText(aError.Other, aError.Value));
    case TKind::NotText: return QStringLiteral("dit is geen teksttabel; sla het rekenblad op als CSV");
    case TKind::Utf16WithoutBom:
        return QStringLiteral("UTF-16-tekst zonder bytevolgordemarkering; sla de tabel op als \u201cUnicode-tekst\u201d "
                              "met markering, of als CSV in UTF-8");
    case TKind::OutOfMemory: return QStringLiteral("onvoldoende geheugen");
    case TKind::QuoteOutOfPlace:
        return QStringLiteral("een aanhalingsteken op een verkeerde plaats: een veld tussen aanhalingstekens moet "
                              "ermee beginnen en eindigen, en een aanhalingsteken erin moet dubbel staan");
    case TKind::QuoteNotClosed: return QStringLiteral("een aanhalingsteken opent een veld dat nergens gesloten wordt");
    case TKind::Empty: return QStringLiteral("de tabel is leeg");
    case TKind::NoHeader:
        return QStringLiteral("de eerste rij moet de kolommen noemen, bijvoorbeeld Naam kaas;Datum productie;Aantal");
    case TKind::UnknownColumn: return QStringLiteral("onbekende kolom %1").arg(value);
    case TKind::SameColumn:
        return QStringLiteral("%1 is dezelfde kolom als kolom %2").arg(value, TMergeTable::ColumnLetters(aError.Other));
    case TKind::TooManyFields:
        return QStringLiteral("de rij heeft %1 velden, maar de eerste rij noemt er maar %2")
            .arg(aError.Count)
            .arg(aError.Limit);
    case TKind::ValueWithoutColumn: return QStringLiteral("%1 staat in een kolom zonder naam").arg(value);
    case TKind::NoSuchPicture: return QStringLiteral("de afbeelding %1 bestaat niet").arg(path);
    case TKind::NotAPictureFile: return QStringLiteral("%1 is geen afbeeldingsbestand").arg(path);
    case TKind::UnreadablePicture: return QStringLiteral("%1 is geen afbeelding die gelezen kan worden").arg(path);
    case TKind::BadCopies: return QStringLiteral("%1 is geen heel getal van 1 tot en met %2").arg(value).arg(aError.Limit);
    case TKind::NameWithFolder: return QStringLiteral("%1 moet een bestandsnaam zonder map zijn").arg(value);
    case TKind::BadNameCharacter:
        return QStringLiteral("%1 bevat een teken dat niet in een bestandsnaam mag: \\ / : * ? \" < > |").arg(value);
    case TKind::UnusableName: return QStringLiteral("%1 is geen bruikbare bestandsnaam").arg(value);
    case TKind::NameTooLong:
        return QStringLiteral("%1 is te lang voor een bestandsnaam: hoogstens %2 bytes").arg(value).arg(aError.Limit);
    case TKind::NoDataRows:
        return QStringLiteral("de tabel heeft geen gegevens: onder de eerste rij geeft elke rij één label");
    case TKind::TooManyRows:
        return QStringLiteral("de tabel heeft meer dan %1 rijen; verdeel hem over kleinere tabellen").arg(aError.Limit);
    case TKind::TooManyLabels:
        return QStringLiteral("de tabel geeft %1 labels, meer dan de %2 die één keer afdrukken mag geven")
            .arg(aError.Count)
            .arg(aError.Limit);
    case TKind::MoreErrors: return QStringLiteral("en nog %1 fouten").arg(aError.Count);
    case TKind::SameOutput:
        return QStringLiteral("het bestand %1 is ook dat van rij %2").arg(value).arg(aError.Other);
    case TKind::OutputIsInput:
        return QStringLiteral("%1 wordt bij het samenvoegen gelezen en wordt dus niet overschreven; kies een andere "
                              "map of naam")
            .arg(path);
    }
    return {};
}

}  // namespace

QStringList MergeErrorLines(const QList<TMergeError>& aErrors)
{
    QStringList lines;
    bool columns = false;
    for (const TMergeError& error : aErrors) {
        lines << Where(error) + QStringLiteral(": ") + What(error);
        columns = columns || error.Kind == TMergeError::TKind::UnknownColumn;
    }
    if (columns) {
        QStringList names;
        for (const auto& [english, dutch] : TMergeTable::ColumnNames())
            names << QStringLiteral("%1 (%2)").arg(dutch, english);
        lines << QStringLiteral("De kolommen zijn: %1").arg(names.join(QStringLiteral(", ")));
    }
    return lines;
}

QString BatchMessageText(const TBatchMessage& aMessage, const QList<TPictureJob>& aJobs)
{
    using TKind = TBatchMessage::TKind;
    QString source;
    QString output;
    if (aMessage.Job >= 0 && aMessage.Job < aJobs.size()) {
        const TPictureJob& job = aJobs[aMessage.Job];
        source = QDir::toNativeSeparators(job.Source);
        if (job.Row > 0)
            source += QStringLiteral(", rij %1").arg(job.Row);
        output = QDir::toNativeSeparators(job.Output);
    }
    switch (aMessage.Kind) {
    case TKind::None: return {};
    case TKind::LabelValue: return QStringLiteral("%1: %2").arg(source, LoadProblemMessage(aMessage.Value));
    case TKind::PictureLeftOut:
        return QStringLiteral("%1: %2").arg(
            source, PictureWarningMessage(aMessage.Middle, aMessage.PictureFile, aMessage.Picture));
    case TKind::PictureRequired:
        return QStringLiteral("%1: \"%2\" kan niet getekend worden (%3); %4 is niet geschreven")
            .arg(source, QDir::toNativeSeparators(aMessage.PictureFile), PictureReasonText(aMessage.Picture), output);
    case TKind::LabelUnread:
    case TKind::NotWritten: return FileProblemMessage(aMessage.File);
    case TKind::NotDrawn:
        return aMessage.Detail.isEmpty() ? QStringLiteral("%1: het label kon niet getekend worden").arg(source)
                                         : QStringLiteral("%1: het label kon niet getekend worden (%2)")
                                               .arg(source, aMessage.Detail);
    }
    return {};
}
