#include "label/ini_file.h"

#include "label/atomic_file.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <algorithm>
#include <array>

namespace {

// Far above any label file; keeps a wrongly chosen huge file from eating the memory.
constexpr qint64 MaxFileSize = 64 * 1024 * 1024;

const QByteArray Utf8Bom("\xEF\xBB\xBF", 3);

// Windows-1252 differs from Latin-1 only in 0x80..0x9F. QStringDecoder knows
// Windows-1252 only when Qt is built with ICU, so the table is kept here.
// The five bytes Windows leaves undefined map to the C1 controls of the same
// number, which makes decoding and encoding exact inverses.
constexpr std::array<char16_t, 32> Windows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

QString DecodeWindows1252(const QByteArray& aBytes)
{
    QString text(aBytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (const char c : aBytes) {
        const auto byte = static_cast<unsigned char>(c);
        *out++ = (byte >= 0x80 && byte < 0xA0) ? QChar(Windows1252High[byte - 0x80]) : QChar(byte);
    }
    return text;
}

std::optional<QByteArray> EncodeWindows1252(const QString& aText)
{
    QByteArray bytes;
    bytes.reserve(aText.size());
    for (const QChar c : aText) {
        const char16_t unit = c.unicode();
        if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) {
            bytes.append(static_cast<char>(unit));
            continue;
        }
        const auto* found = std::find(Windows1252High.begin(), Windows1252High.end(), unit);
        if (found == Windows1252High.end())
            return std::nullopt;
        bytes.append(static_cast<char>(0x80 + (found - Windows1252High.begin())));
    }
    return bytes;
}

QString Fold(QStringView aName)
{
    return aName.trimmed().toString().toCaseFolded();
}

QString KeyOf(const QString& aFoldedSection, const QString& aFoldedKey)
{
    // A line never holds a line feed, so it cannot occur in either name.
    return aFoldedSection + QLatin1Char('\n') + aFoldedKey;
}

bool IsQuote(QChar aChar)
{
    return aChar == QLatin1Char('"') || aChar == QLatin1Char('\'');
}

// Values are stored trimmed; a value that begins or ends with a blank, or is
// itself quoted, is written in double quotes so that it reads back unchanged.
QString EncodeValue(QString aValue)
{
    // A line break would start a new line, and so a key, of its own.
    aValue.replace(QLatin1Char('\r'), QLatin1Char(' '));
    aValue.replace(QLatin1Char('\n'), QLatin1Char(' '));
    const bool blankAtEdge = !aValue.isEmpty() && (aValue.front().isSpace() || aValue.back().isSpace());
    const bool quoted = aValue.size() >= 2 && IsQuote(aValue.front()) && aValue.back() == aValue.front();
    if (blankAtEdge || quoted)
        return QLatin1Char('"') + aValue + QLatin1Char('"');
    return aValue;
}

QString DecodeValue(QStringView aStored)
{
    QStringView value = aStored.trimmed();
    if (value.size() >= 2 && IsQuote(value.front()) && value.back() == value.front())
        value = value.mid(1, value.size() - 2);
    return value.toString();
}

std::optional<int> DigitValue(QChar aChar, int aBase)
{
    // Only ASCII digits: QChar::digitValue() would accept digits of other scripts.
    const char16_t c = aChar.unicode();
    int value = 0;
    if (c >= u'0' && c <= u'9')
        value = c - u'0';
    else if (aBase == 16 && c >= u'a' && c <= u'f')
        value = c - u'a' + 10;
    else if (aBase == 16 && c >= u'A' && c <= u'F')
        value = c - u'A' + 10;
    else
        return std::nullopt;
    return value;
}

} // namespace

// Hand-written because QString::toInt() knows neither "$" nor a bare "x" and
// reads a leading zero with base 0 as octal.
std::optional<int32_t> ParseIntegerLiteral(const QString& aText)
{
    const qsizetype size = aText.size();
    qsizetype i = 0;
    while (i < size && aText[i] == QLatin1Char(' '))
        ++i;
    bool negative = false;
    if (i < size && (aText[i] == QLatin1Char('+') || aText[i] == QLatin1Char('-'))) {
        negative = aText[i] == QLatin1Char('-');
        ++i;
    }
    int base = 10;
    if (i < size && aText[i] == QLatin1Char('$')) {
        base = 16;
        ++i;
    } else if (i < size && (aText[i] == QLatin1Char('x') || aText[i] == QLatin1Char('X'))) {
        base = 16;
        ++i;
    } else if (i + 1 < size && aText[i] == QLatin1Char('0')
               && (aText[i + 1] == QLatin1Char('x') || aText[i + 1] == QLatin1Char('X'))) {
        base = 16;
        i += 2;
    }
    if (i == size)
        return std::nullopt;

    // Hexadecimal may use all 32 bits (a system colour); decimal must fit int32_t.
    const uint64_t limit = base == 16 ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
    uint64_t magnitude = 0;
    for (; i < size; ++i) {
        const std::optional<int> digit = DigitValue(aText[i], base);
        if (!digit)
            return std::nullopt;
        magnitude = magnitude * base + *digit;
        if (magnitude > limit)
            return std::nullopt;
    }
    auto bits = static_cast<uint32_t>(magnitude);
    if (negative)
        bits = 0u - bits;
    return static_cast<int32_t>(bits);
}

TIniFile::TIniFile(const QString& aFileName) : FFileName(aFileName)
{
    const QFileInfo info(aFileName);
    if (!info.exists())
        return;
    FExists = true;
    if (info.isDir()) {
        SetReadError(QStringLiteral("it is a folder"));
        return;
    }
    // A device or pipe could be read without end.
    if (!info.isFile()) {
        SetReadError(QStringLiteral("it is not a regular file"));
        return;
    }
    if (info.size() > MaxFileSize) {
        SetReadError(QStringLiteral("the file is too large"));
        return;
    }
    QFile file(aFileName);
    if (!file.open(QIODevice::ReadOnly)) {
        SetReadError(file.errorString());
        return;
    }
    // QIODevice::read(n) allocates n bytes up front, and a 64 MB buffer for
    // every settings or label file costs more than the read; the stat size
    // plus one byte shows a file that grew past the limit since.
    QByteArray bytes = file.read(std::min(info.size(), MaxFileSize) + 1);
    if (bytes.size() > info.size() && bytes.size() <= MaxFileSize)
        bytes += file.read(MaxFileSize + 1 - bytes.size());
    if (file.error() != QFileDevice::NoError || bytes.size() > MaxFileSize) {
        SetReadError(file.errorString());
        return;
    }

    if (bytes.startsWith(Utf8Bom)) {
        FBom = true;
        bytes.remove(0, Utf8Bom.size());
    }
    // Stateless, so that a sequence cut off at the end of the file counts as invalid.
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (utf8.hasError()) {
        FEncoding = TEncoding::Windows1252;
        text = DecodeWindows1252(bytes);
    }
    Parse(text);
}

void TIniFile::SetReadError(const QString& aReason)
{
    FReadReason = aReason;
    FReadError = QStringLiteral("Unable to read %1: %2").arg(FFileName, aReason);
}

void TIniFile::Parse(const QString& aText)
{
    bool newlineSeen = false;
    int section = -1;
    QString foldedSection;
    qsizetype start = 0;
    const qsizetype size = aText.size();
    while (start < size) {
        qsizetype end = aText.indexOf(QLatin1Char('\n'), start);
        TLine line;
        if (end < 0) {
            end = size;
        } else {
            line.Ending = QStringLiteral("\n");
        }
        qsizetype textEnd = end;
        if (!line.Ending.isEmpty() && textEnd > start && aText[textEnd - 1] == QLatin1Char('\r')) {
            --textEnd;
            line.Ending = QStringLiteral("\r\n");
        }
        if (!newlineSeen && !line.Ending.isEmpty()) {
            // New lines follow the style of the file's first line end.
            FNewline = line.Ending;
            newlineSeen = true;
        }
        line.Text = aText.mid(start, textEnd - start);
        start = end + 1;

        const QStringView trimmed = QStringView(line.Text).trimmed();
        const qsizetype close = trimmed.startsWith(QLatin1Char('[')) ? trimmed.indexOf(QLatin1Char(']')) : -1;
        if (close > 0) {
            FSections.emplace_back();
            section = static_cast<int>(FSections.size()) - 1;
            foldedSection = Fold(trimmed.mid(1, close - 1));
            if (!FSectionIndex.contains(foldedSection))
                FSectionIndex.insert(foldedSection, section);
        } else {
            // Lines before the first header are kept but never looked up.
            if (FSections.empty())
                FSections.emplace_back();
            const bool comment = !trimmed.isEmpty()
                && (trimmed.front() == QLatin1Char(';') || trimmed.front() == QLatin1Char('#'));
            const qsizetype equals = line.Text.indexOf(QLatin1Char('='));
            const QString key = section >= 0 && !comment && equals > 0
                ? Fold(QStringView(line.Text).left(equals)) : QString();
            if (!key.isEmpty()) {
                qsizetype valueStart = equals + 1;
                while (valueStart < line.Text.size() && line.Text[valueStart].isSpace())
                    ++valueStart;
                line.ValueStart = valueStart;
                // The first of duplicate keys wins, for reading and for writing.
                const QString indexKey = KeyOf(foldedSection, key);
                if (!FKeyIndex.contains(indexKey))
                    FKeyIndex.insert(indexKey, TPosition{section, static_cast<int>(FSections[section].Lines.size())});
            }
        }
        FSections.back().Lines.push_back(std::move(line));
    }
}

const TIniFile::TLine* TIniFile::FindKey(const QString& aSection, const QString& aKey) const
{
    const auto found = FKeyIndex.constFind(KeyOf(Fold(aSection), Fold(aKey)));
    if (found == FKeyIndex.constEnd())
        return nullptr;
    return &FSections[found->Section].Lines[found->Line];
}

bool TIniFile::HasKey(const QString& aSection, const QString& aKey) const
{
    return FindKey(aSection, aKey) != nullptr;
}

QString TIniFile::ReadString(const QString& aSection, const QString& aKey, const QString& aDefault) const
{
    const TLine* line = FindKey(aSection, aKey);
    if (!line)
        return aDefault;
    return DecodeValue(QStringView(line->Text).mid(line->ValueStart));
}

int32_t TIniFile::ReadInteger(const QString& aSection, const QString& aKey, int32_t aDefault) const
{
    const TLine* line = FindKey(aSection, aKey);
    if (!line)
        return aDefault;
    return ParseIntegerLiteral(DecodeValue(QStringView(line->Text).mid(line->ValueStart))).value_or(aDefault);
}

bool TIniFile::ReadBool(const QString& aSection, const QString& aKey, bool aDefault) const
{
    return ReadInteger(aSection, aKey, aDefault ? 1 : 0) != 0;
}

void TIniFile::WriteString(const QString& aSection, const QString& aKey, const QString& aValue)
{
    SetValue(aSection, aKey, EncodeValue(aValue));
}

void TIniFile::WriteInteger(const QString& aSection, const QString& aKey, int32_t aValue)
{
    SetValue(aSection, aKey, QString::number(aValue));
}

void TIniFile::WriteBool(const QString& aSection, const QString& aKey, bool aValue)
{
    SetValue(aSection, aKey, aValue ? QStringLiteral("1") : QStringLiteral("0"));
}

TIniFile::TLine& TIniFile::LastLine()
{
    TSection& section = FSections.back();
    return section.Trailer.empty() ? section.Lines.back() : section.Trailer.back();
}

int TIniFile::AddSection(const QString& aSection)
{
    if (!FSections.empty()) {
        TLine& last = LastLine();
        if (last.Ending.isEmpty())
            last.Ending = FNewline;
        // A blank line between sections; it stays below keys added later.
        if (!QStringView(last.Text).trimmed().isEmpty())
            FSections.back().Trailer.push_back(TLine{QString(), FNewline});
    }
    FSections.emplace_back();
    FSections.back().Lines.push_back(TLine{QLatin1Char('[') + aSection.trimmed() + QLatin1Char(']'), FNewline});
    const int section = static_cast<int>(FSections.size()) - 1;
    FSectionIndex.insert(Fold(aSection), section);
    return section;
}

void TIniFile::SetValue(const QString& aSection, const QString& aKey, const QString& aText)
{
    const QString foldedSection = Fold(aSection);
    const QString indexKey = KeyOf(foldedSection, Fold(aKey));
    const auto found = FKeyIndex.constFind(indexKey);
    if (found != FKeyIndex.constEnd()) {
        TLine& line = FSections[found->Section].Lines[found->Line];
        if (QStringView(line.Text).mid(line.ValueStart).trimmed() == aText)
            return;
        // Everything up to the value stays as written, spacing and key case included.
        line.Text = line.Text.left(line.ValueStart) + aText;
        FChanged = true;
        return;
    }

    int section = FSectionIndex.value(foldedSection, -1);
    if (section < 0)
        section = AddSection(aSection);
    TSection& target = FSections[section];
    // New keys go after the section's last non-blank line. The blank lines
    // below it hold no key, so moving them leaves the index right.
    if (!target.TrailerSplit) {
        auto firstBlank = target.Lines.end();
        while (firstBlank - 1 != target.Lines.begin() && QStringView((firstBlank - 1)->Text).trimmed().isEmpty())
            --firstBlank;
        target.Trailer.insert(target.Trailer.begin(), std::make_move_iterator(firstBlank),
                              std::make_move_iterator(target.Lines.end()));
        target.Lines.erase(firstBlank, target.Lines.end());
        target.TrailerSplit = true;
    }
    if (target.Lines.back().Ending.isEmpty())
        target.Lines.back().Ending = FNewline;
    const QString key = aKey.trimmed();
    target.Lines.push_back(TLine{key + QLatin1Char('=') + aText, FNewline, key.size() + 1});
    FKeyIndex.insert(indexKey, TPosition{section, static_cast<int>(target.Lines.size()) - 1});
    FChanged = true;
}

QByteArray TIniFile::Contents() const
{
    QString text;
    for (const TSection& section : FSections) {
        for (const auto* lines : {&section.Lines, &section.Trailer}) {
            for (const TLine& line : *lines) {
                text += line.Text;
                text += line.Ending;
            }
        }
    }
    // A file from a Windows-1252 system stays in its encoding as long as every
    // character fits, so that system still reads it.
    if (FEncoding == TEncoding::Windows1252) {
        if (std::optional<QByteArray> bytes = EncodeWindows1252(text))
            return *bytes;
    }
    QByteArray bytes = text.toUtf8();
    if (FBom)
        bytes.prepend(Utf8Bom);
    return bytes;
}

QString TIniFile::Commit()
{
    // Writing what little was read over a file that could not be read would lose it.
    if (!FReadError.isEmpty())
        return WriteFailure(FFileName, FReadReason);
    if (FExists && !FChanged)
        return {};
    const QString failure = WriteFileAtomically(FFileName, Contents());
    if (!failure.isEmpty())
        return failure;
    FExists = true;
    FChanged = false;
    return {};
}
