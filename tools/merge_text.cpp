#include "tools/merge_text.h"

#include "render/label_renderer.h"

namespace {

// A cell's value as shown in a message: quoted, and cut short when long.
QString Quoted(const QString& aValue)
{
    constexpr int MaxShown = 60;
    QString shown = aValue.size() > MaxShown ? aValue.left(MaxShown) + QStringLiteral("...") : aValue;
    shown.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    return QLatin1Char('"') + shown + QLatin1Char('"');
}

QString Where(const TMergeError& aError)
{
    QString where = aError.File;
    if (aError.Row > 0)
        where += QStringLiteral(", row %1").arg(aError.Row);
    if (aError.Column > 0) {
        where += QStringLiteral(", column ") + TMergeTable::ColumnLetters(aError.Column);
        if (!aError.ColumnName.isEmpty())
            where += QStringLiteral(" (%1)").arg(aError.ColumnName);
    }
    return where;
}

QString What(const TMergeError& aError)
{
    using TKind = TMergeError::TKind;
    switch (aError.Kind) {
    case TKind::NoSuchTable: return QStringLiteral("no such table file");
    case TKind::TableIsFolder: return QStringLiteral("a folder, not a table file");
    case TKind::TableNotAFile: return QStringLiteral("not a regular file");
    case TKind::TableTooLarge:
        return QStringLiteral("the table is larger than %1 MB").arg(aError.Limit / (1024 * 1024));
    case TKind::TableUnreadable: return QStringLiteral("cannot be read: %1").arg(aError.Value);
    case TKind::NotText: return QStringLiteral("not a text table; save the spreadsheet as CSV");
    case TKind::Utf16WithoutBom:
        return QStringLiteral("UTF-16 text without a byte order mark; save it with one (\"Unicode text\") or as "
                              "UTF-8 CSV");
    case TKind::OutOfMemory: return QStringLiteral("out of memory");
    case TKind::QuoteOutOfPlace:
        return QStringLiteral("a double quote out of place: a field with quotes must begin and end with one, "
                              "and a quote inside it must be doubled");
    case TKind::QuoteNotClosed: return QStringLiteral("a double quote begins a field that is never closed");
    case TKind::Empty: return QStringLiteral("the table is empty");
    case TKind::NoHeader: return QStringLiteral("the first row must name the columns, e.g. Name;Date;Copies");
    case TKind::UnknownColumn: return QStringLiteral("unknown column %1").arg(Quoted(aError.Value));
    case TKind::SameColumn:
        return QStringLiteral("%1 is the same column as column %2")
            .arg(Quoted(aError.Value), TMergeTable::ColumnLetters(aError.Other));
    case TKind::TooManyFields:
        return QStringLiteral("the row has %1 fields, but the first row names only %2 columns")
            .arg(aError.Count)
            .arg(aError.Limit);
    case TKind::ValueWithoutColumn:
        return QStringLiteral("%1 stands in a column without a name in the first row").arg(Quoted(aError.Value));
    case TKind::NoSuchPicture: return QStringLiteral("no such picture file %1").arg(Quoted(aError.Value));
    case TKind::NotAPictureFile: return QStringLiteral("%1 is not a picture file").arg(Quoted(aError.Value));
    case TKind::UnreadablePicture:
        return QStringLiteral("%1 is not a picture that can be read").arg(Quoted(aError.Value));
    case TKind::BadCopies:
        return QStringLiteral("%1 is not a whole number from 1 to %2").arg(Quoted(aError.Value)).arg(aError.Limit);
    case TKind::NameWithFolder:
        return QStringLiteral("%1 must be a file name without a folder").arg(Quoted(aError.Value));
    case TKind::BadNameCharacter:
        return QStringLiteral("%1 holds a character that cannot be in a file name: \\ / : * ? \" < > |")
            .arg(Quoted(aError.Value));
    case TKind::UnusableName: return QStringLiteral("%1 is not a file name that can be used").arg(Quoted(aError.Value));
    case TKind::NameTooLong:
        return QStringLiteral("%1 is too long for a file name: at most %2 bytes")
            .arg(Quoted(aError.Value))
            .arg(aError.Limit);
    case TKind::NoDataRows:
        return QStringLiteral("the table has no data rows: below the first row, each row gives one label");
    case TKind::TooManyRows:
        return QStringLiteral("the table has more than %1 rows; split it into smaller tables").arg(aError.Limit);
    case TKind::TooManyLabels:
        return QStringLiteral("the table gives %1 labels, more than the %2 one run may give")
            .arg(aError.Count)
            .arg(aError.Limit);
    case TKind::MoreErrors: return QStringLiteral("and %1 more errors").arg(aError.Count);
    case TKind::SameOutput:
        return QStringLiteral("the output file %1 is also row %2's").arg(Quoted(aError.Value)).arg(aError.Other);
    case TKind::OutputIsInput:
        return QStringLiteral("the output file %1 is a file this run reads; choose another folder or name")
            .arg(Quoted(aError.Value));
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
            names << QStringLiteral("%1 (%2)").arg(english, dutch);
        lines << QStringLiteral("the columns are %1").arg(names.join(QStringLiteral(", ")));
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
        source = job.Row > 0 ? QStringLiteral("%1, row %2").arg(job.Source).arg(job.Row) : job.Source;
        output = job.Output;
    }
    switch (aMessage.Kind) {
    case TKind::None: return {};
    case TKind::LabelValue: return QStringLiteral("%1: %2").arg(source, LoadProblemText(aMessage.Value));
    case TKind::PictureLeftOut:
        return QStringLiteral("%1: %2").arg(source, PictureWarningText(aMessage.Middle, aMessage.PictureFile, aMessage.Picture));
    case TKind::PictureRequired:
        return QStringLiteral("%1: \"%2\" cannot be drawn (%3); %4 is not written")
            .arg(source, aMessage.PictureFile, aMessage.Picture.Reason(), output);
    case TKind::LabelUnread: return LabelReadErrorText(aMessage.File);
    case TKind::NotWritten: return FileProblemText(aMessage.File);
    case TKind::NotDrawn:
        return QStringLiteral("%1: %2").arg(
            source, aMessage.Detail.isEmpty() ? QStringLiteral("the label could not be rendered") : aMessage.Detail);
    }
    return {};
}
