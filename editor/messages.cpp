#include "editor/messages.h"

#include "label/colors.h"
#include "label/ini_file.h"

#include <QDir>
#include <QLocale>

#include <cerrno>

namespace {

QString Shown(const QString& aFile)
{
    return QDir::toNativeSeparators(aFile);
}

QString Millimetres(double aValue)
{
    return QLocale(QLocale::Dutch).toString(aValue, 'g', QLocale::FloatingPointShortest);
}

}  // namespace

QString SystemReasonText(int aCode, const QString& aSystemText)
{
    switch (aCode) {
    case ENOSPC: return QStringLiteral("de schijf is vol");
    case EDQUOT: return QStringLiteral("uw schijfruimte is op");
    case EACCES:
    case EPERM: return QStringLiteral("u hebt daar geen toestemming voor");
    case EROFS: return QStringLiteral("de schijf is alleen-lezen");
    case ENOENT: return QStringLiteral("het bestand of de map bestaat niet");
    case ENOTDIR: return QStringLiteral("een deel van het pad is geen map");
    case ENAMETOOLONG: return QStringLiteral("de naam is te lang");
    case EFBIG: return QStringLiteral("het bestand wordt te groot");
    case EISDIR: return QStringLiteral("het is een map");
    case EIO: return QStringLiteral("de schijf gaf een fout bij lezen of schrijven");
    case EMFILE: return QStringLiteral("er zijn te veel bestanden open");
    case ENOMEM: return QStringLiteral("er is te weinig geheugen");
    case EEXIST: return QStringLiteral("het bestand bestaat al");
    default: break;
    }
    return aSystemText.isEmpty() ? QStringLiteral("onbekende fout") : aSystemText;
}

QString FileReasonText(const TFileProblem& aProblem)
{
    using TKind = TFileProblem::TKind;
    switch (aProblem.Kind) {
    case TKind::None: return {};
    case TKind::System: return SystemReasonText(aProblem.Code, aProblem.Detail);
    case TKind::NotFound: return QStringLiteral("het bestand bestaat niet");
    case TKind::Folder: return QStringLiteral("het is een map");
    case TKind::NotRegularFile: return QStringLiteral("het is geen gewoon bestand");
    case TKind::TooLarge:
        return QStringLiteral("te groot voor een labelbestand (meer dan %1 MB)").arg(TIniFile::MaxFileSize / (1024 * 1024));
    case TKind::NotLabelFile:
        return aProblem.Detail.isEmpty() ? QStringLiteral("geen labelbestand (het bevat binaire gegevens)")
                                         : QStringLiteral("geen labelbestand (het is een %1)").arg(aProblem.Detail);
    case TKind::Encoder: return QStringLiteral("de afbeelding kon niet gemaakt worden (%1)").arg(aProblem.Detail);
    }
    return {};
}

QString FileProblemMessage(const TFileProblem& aProblem)
{
    if (aProblem.IsNone())
        return {};
    return (aProblem.Writing ? QStringLiteral("Kan niet schrijven naar %1: %2") : QStringLiteral("Kan %1 niet lezen: %2"))
        .arg(Shown(aProblem.File), FileReasonText(aProblem));
}

QString LabelWriteMessage(const TFileProblem& aProblem)
{
    if (aProblem.IsNone())
        return {};
    return QStringLiteral("Unable to write to %1: %2").arg(Shown(aProblem.File), FileReasonText(aProblem));
}

QString NoSuchFileMessage(const QString& aFile)
{
    return FileProblemMessage(TFileProblem::Of(TFileProblem::TKind::NotFound, aFile, false));
}

QString DeleteFailedMessage(const QString& aFile, int aCode, const QString& aSystemText)
{
    return QStringLiteral("Kan %1 niet verwijderen: %2").arg(Shown(aFile), SystemReasonText(aCode, aSystemText));
}

QString LoadProblemMessage(const TLoadProblem& aProblem)
{
    switch (aProblem.Kind) {
    case TLoadProblem::TKind::BadColor:
        // The error text of a colour value stays in the words the program has always used.
        return QStringLiteral("[%1] %2: ").arg(aProblem.Section, aProblem.Key) + InvalidIntegerMessage(aProblem.Value);
    case TLoadProblem::TKind::MissingBackground:
        return QStringLiteral("Achtergrondfoto \"%1\" niet gevonden: het label krijgt de achtergrondkleur")
            .arg(Shown(aProblem.File));
    case TLoadProblem::TKind::MissingMiddle:
        return QStringLiteral("Foto midden \"%1\" niet gevonden: het label toont hem niet").arg(Shown(aProblem.File));
    case TLoadProblem::TKind::NoSections:
        return QStringLiteral("%1 bevat geen enkel deel van een label: alle waarden zijn de standaardwaarden")
            .arg(Shown(aProblem.File));
    }
    return {};
}

QStringList LoadReportMessages(const TLoadReport& aReport, bool aWarnings)
{
    QStringList messages;
    if (!aReport.ReadError.IsNone())
        messages << FileProblemMessage(aReport.ReadError);
    for (const TLoadProblem& problem : aReport.Errors)
        messages << LoadProblemMessage(problem);
    if (aWarnings)
        for (const TLoadProblem& problem : aReport.Warnings)
            messages << LoadProblemMessage(problem);
    return messages;
}

QString PictureReasonText(const TPictureProblem& aProblem)
{
    switch (aProblem.Kind) {
    case TPictureProblem::TKind::None: return {};
    case TPictureProblem::TKind::NotFound: return QStringLiteral("niet gevonden");
    case TPictureProblem::TKind::Unreadable: {
        // The cache keeps the system's text only; its number gives the Dutch reason.
        const int code = SystemErrorCode(aProblem.Detail);
        if (code == 0 && aProblem.Detail.isEmpty())
            return QStringLiteral("kan niet gelezen worden");
        return QStringLiteral("kan niet gelezen worden: %1").arg(SystemReasonText(code, aProblem.Detail));
    }
    case TPictureProblem::TKind::NotAPicture: return QStringLiteral("geen afbeelding");
    case TPictureProblem::TKind::Damaged: return QStringLiteral("beschadigd");
    case TPictureProblem::TKind::TooLarge:
        return QStringLiteral("te groot (%1 \u00d7 %2 pixels)").arg(aProblem.Size.width()).arg(aProblem.Size.height());
    }
    return {};
}

QString PictureWarningMessage(bool aMiddle, const QString& aFile, const TPictureProblem& aProblem)
{
    return (aMiddle ? QStringLiteral("foto midden \"%1\": %2") : QStringLiteral("achtergrondfoto \"%1\": %2"))
        .arg(Shown(aFile), PictureReasonText(aProblem));
}

QString PrintWarningMessage(const TPrintWarning& aWarning)
{
    return PictureWarningMessage(aWarning.Middle, aWarning.File, aWarning.Problem);
}

QString PrintErrorMessage(const TPrintError& aError)
{
    switch (aError.Kind) {
    case TPrintError::TKind::None: return {};
    case TPrintError::TKind::PaperRefused:
        return QStringLiteral("de printer neemt geen papier van %1 \u00d7 %2 mm")
            .arg(Millimetres(aError.Paper.width()), Millimetres(aError.Paper.height()));
    case TPrintError::TKind::CannotStart: return QStringLiteral("het afdrukken kon niet beginnen");
    case TPrintError::TKind::CannotStartPage: return QStringLiteral("pagina %1 kon niet beginnen").arg(aError.Page);
    case TPrintError::TKind::File: return FileProblemMessage(aError.File);
    case TPrintError::TKind::PrintShopMarks:
        return QStringLiteral("de drukkerijgegevens (afloop, snijlijn, snijtekens) konden niet aan de PDF "
                              "toegevoegd worden: %1")
            .arg(aError.Detail);
    }
    return {};
}

QString CatalogueWarningMessage(const QList<TCatalogueWarning>& aWarnings)
{
    if (aWarnings.isEmpty())
        return {};
    const TCatalogueWarning& first = aWarnings.first();
    // The XML reader's own words are English; the file and line say where to look.
    QString message = first.Line > 0 ? QStringLiteral("Het etikettenbestand %1 kon niet gelezen worden (fout in regel %2)")
                                           .arg(Shown(first.File))
                                           .arg(first.Line)
                                     : QStringLiteral("Het etikettenbestand %1 kon niet gelezen worden").arg(Shown(first.File));
    if (aWarnings.size() > 1)
        message += QStringLiteral(", en nog %1 andere").arg(aWarnings.size() - 1);
    return message + QStringLiteral("; de etiketten erin staan niet in de lijst");
}
