#include "label/ini_file.h"

#include "label/atomic_file.h"
#include "label/text_file.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QMimeDatabase>
#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>

namespace {

// Enough of a file's start for the MIME database to know a picture by it.
constexpr qint64 SignatureSize = 4096;

bool IsAscii(QByteArrayView aBytes)
{
    return std::all_of(aBytes.begin(), aBytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// A line written as Windows-1252 must read back as Windows-1252: its bytes
// must fit and must not happen to be valid UTF-8, which the reader would take.
bool ReadsBackAsWindows1252(QStringView aLine)
{
    QByteArray bytes;
    return AppendWindows1252(bytes, aLine) && (IsAscii(bytes) || !DecodeUtf8(bytes));
}

// The kind of picture aHead begins with ("JPEG image"), or empty. The shared
// MIME database knows every picture format's signature; only the formats Qt
// reads count, so that a text that happens to begin like some rare format
// is still read as text.
QString PictureKind(const QByteArray& aHead)
{
    const QMimeType type = QMimeDatabase().mimeTypeForData(aHead);
    if (!type.name().startsWith(QLatin1String("image/"))
        || !QImageReader::supportedMimeTypes().contains(type.name().toLatin1()))
        return {};
    return type.comment();
}

QString Fold(QStringView aName)
{
    return aName.trimmed().toString().toCaseFolded();
}

uint32_t NameHash(const QString& aFolded)
{
    // A fixed seed: the index is built and searched within one object.
    return static_cast<uint32_t>(qHash(QStringView(aFolded), 0));
}

uint32_t KeyHash(const QString& aFoldedSection, const QString& aFoldedKey)
{
    return static_cast<uint32_t>(qHash(QStringView(aFoldedKey), qHash(QStringView(aFoldedSection), 0)));
}

QString AddedKeyName(const QString& aFoldedSection, const QString& aFoldedKey)
{
    // A line never holds a line end, so it cannot occur in either name.
    return aFoldedSection + QLatin1Char('\n') + aFoldedKey;
}

// What a line is: a section header with its name, a key line with its key
// and where its value begins, or neither (a blank line, a comment, junk).
struct TLineParts
{
    bool Header = false;
    QStringView Name;  // the header's name or the line's key, not trimmed
    qsizetype ValueStart = -1;

    bool IsKey() const { return ValueStart >= 0; }
};

TLineParts SplitLine(QStringView aLine)
{
    TLineParts parts;
    const QStringView trimmed = aLine.trimmed();
    const qsizetype close = trimmed.startsWith(QLatin1Char('[')) ? trimmed.indexOf(QLatin1Char(']')) : -1;
    if (close > 0) {
        parts.Header = true;
        parts.Name = trimmed.mid(1, close - 1);
        return parts;
    }
    if (!trimmed.isEmpty() && (trimmed.front() == QLatin1Char(';') || trimmed.front() == QLatin1Char('#')))
        return parts;
    const qsizetype equals = aLine.indexOf(QLatin1Char('='));
    if (equals <= 0 || aLine.left(equals).trimmed().isEmpty())
        return parts;
    parts.Name = aLine.left(equals);
    qsizetype valueStart = equals + 1;
    while (valueStart < aLine.size() && aLine[valueStart].isSpace())
        ++valueStart;
    parts.ValueStart = valueStart;
    return parts;
}

// Where the value of a key line begins. A key added under a name that reads
// as a header or a comment ("[x]", ";x") has its value after the first "=".
qsizetype ValueStart(QStringView aLine)
{
    const qsizetype start = SplitLine(aLine).ValueStart;
    return start >= 0 ? start : aLine.indexOf(QLatin1Char('=')) + 1;
}

// Where the line that begins at aStart ends, without and with its line end.
std::pair<qsizetype, qsizetype> LineEnd(QStringView aText, qsizetype aStart)
{
    qsizetype end = aStart;
    while (end < aText.size() && aText[end] != QLatin1Char('\n') && aText[end] != QLatin1Char('\r'))
        ++end;
    qsizetype next = end;
    if (next < aText.size())
        next += (aText[next] == QLatin1Char('\r') && next + 1 < aText.size() && aText[next + 1] == QLatin1Char('\n')) ? 2 : 1;
    return {end, next};
}

bool IsQuote(QChar aChar)
{
    return aChar == QLatin1Char('"') || aChar == QLatin1Char('\'');
}

// Values are stored trimmed; a value that begins or ends with a blank, or is
// itself quoted, is written in double quotes so that it reads back unchanged.
QString EncodeValue(QString aValue)
{
    // A line break would start a new line, and so a key, of its own; a NUL
    // character would make the file unreadable as a label file.
    aValue.replace(QLatin1Char('\r'), QLatin1Char(' '));
    aValue.replace(QLatin1Char('\n'), QLatin1Char(' '));
    aValue.replace(QChar(0), QLatin1Char(' '));
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
    FLineStarts.push_back(0);  // no lines
    const QFileInfo info(aFileName);
    if (!info.exists())
        return;
    FExists = true;
    if (info.isDir()) {
        SetReadProblem(TFileProblem::TKind::Folder);
        return;
    }
    // A device or pipe could be read without end.
    if (!info.isFile()) {
        SetReadProblem(TFileProblem::TKind::NotRegularFile);
        return;
    }
    QFile file(aFileName);
    if (!file.open(QIODevice::ReadOnly)) {
        SetReadProblem(TFileProblem::TKind::System, file.errorString());
        return;
    }
    // QIODevice::read(n) allocates n bytes up front: a large file is read
    // only as far as its signature, the others up to the stat size plus one
    // byte, which shows a file that grew past the limit since.
    const bool tooLarge = info.size() > MaxFileSize;
    QByteArray bytes = file.read(tooLarge ? SignatureSize : info.size() + 1);
    if (!tooLarge && bytes.size() > info.size() && bytes.size() <= MaxFileSize)
        bytes += file.read(MaxFileSize + 1 - bytes.size());
    if (file.error() != QFileDevice::NoError) {
        SetReadProblem(TFileProblem::TKind::System, file.errorString());
        return;
    }
    // A photo given for a label (arguments swapped) is named as what it is, whatever its size.
    if (const QString picture = PictureKind(bytes.left(SignatureSize)); !picture.isEmpty()) {
        SetReadProblem(TFileProblem::TKind::NotLabelFile, picture);
        return;
    }
    if (tooLarge || bytes.size() > MaxFileSize) {
        SetReadProblem(TFileProblem::TKind::TooLarge);
        return;
    }
    Decode(bytes);
    bytes = QByteArray();  // before the indexes are built
    if (FText.contains(QChar(0))) {
        FText.clear();
        SetReadProblem(TFileProblem::TKind::NotLabelFile);
        return;
    }
    Parse();
}

void TIniFile::SetReadProblem(TFileProblem::TKind aKind, const QString& aDetail)
{
    FReadProblem = aKind == TFileProblem::TKind::System ? TFileProblem::FromText(FFileName, false, aDetail)
                                                        : TFileProblem::Of(aKind, FFileName, false, aDetail);
}

void TIniFile::Decode(const QByteArray& aBytes)
{
    if (aBytes.startsWith("\xFF\xFE") || aBytes.startsWith("\xFE\xFF")) {
        FEncoding = aBytes.front() == '\xFF' ? TEncoding::Utf16Le : TEncoding::Utf16Be;
        QStringDecoder decoder(FEncoding == TEncoding::Utf16Le ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE,
                               TextDecoderFlags);
        FText = decoder.decode(QByteArrayView(aBytes).sliced(2));
        return;
    }
    QByteArrayView bytes(aBytes);
    if (bytes.startsWith(Utf8Bom)) {
        FBom = true;
        bytes = bytes.sliced(Utf8Bom.size());
    }
    if (std::optional<QString> text = DecodeUtf8(bytes)) {
        FText = std::move(*text);
        return;
    }

    // Line by line: a line is UTF-8 when it is valid UTF-8, otherwise
    // Windows-1252. A file with UTF-8 text in it (or a byte-order mark) stays
    // UTF-8 and remembers its Windows-1252 lines; one without is Windows-1252.
    FText.reserve(bytes.size());
    const auto end = bytes.end();
    bool utf8Seen = FBom;
    uint32_t line = 0;
    for (auto start = bytes.begin(); start != end; ++line) {
        const auto textEnd = std::find_if(start, end, [](char c) { return c == '\n' || c == '\r'; });
        auto next = textEnd;
        if (next != end)
            next += (*next == '\r' && next + 1 != end && next[1] == '\n') ? 2 : 1;
        const QByteArrayView text(start, textEnd);
        if (IsAscii(text)) {
            FText += QLatin1String(text);
        } else if (std::optional<QString> decoded = DecodeUtf8(text)) {
            FText += *decoded;
            utf8Seen = true;
        } else {
            AppendWindows1252(FText, text);
            FWindows1252Lines.push_back(line);
        }
        FText += QLatin1String(QByteArrayView(textEnd, next));
        start = next;
    }
    if (!utf8Seen) {
        FEncoding = TEncoding::Windows1252;
        FWindows1252Lines = {};
    }
}

void TIniFile::Parse()
{
    const QStringView text(FText);
    // At most one line per line-end character, and one more; the indexes get
    // that much address space, of which only what they fill is ever touched.
    const auto lineEnds = std::count_if(text.begin(), text.end(), [](QChar c) {
        return c == QLatin1Char('\n') || c == QLatin1Char('\r');
    });
    FLineStarts.clear();
    FLineStarts.reserve(size_t(lineEnds) + 2);
    FKeyIndex.reserve(size_t(lineEnds) + 1);
    bool newlineSeen = false;
    QString section;  // the current section's case-folded name
    for (qsizetype start = 0; start < text.size();) {
        const auto [end, next] = LineEnd(text, start);
        if (!newlineSeen && next > end) {
            // New lines follow the style of the file's first line end.
            FNewline = text.mid(end, next - end).toString();
            newlineSeen = true;
        }
        const auto line = static_cast<uint32_t>(FLineStarts.size());
        FLineStarts.push_back(static_cast<uint32_t>(start));
        const TLineParts parts = SplitLine(text.mid(start, end - start));
        if (parts.Header) {
            section = Fold(parts.Name);
            FSectionIndex.push_back({NameHash(section), static_cast<uint32_t>(FHeaders.size())});
            FHeaders.push_back(line);
        } else if (parts.IsKey() && !FHeaders.empty()) {
            // Lines before the first header are kept but never looked up.
            FKeyIndex.push_back({KeyHash(section, Fold(parts.Name)), line});
        }
        start = next;
    }
    FLineStarts.push_back(static_cast<uint32_t>(text.size()));
    std::sort(FSectionIndex.begin(), FSectionIndex.end());
    std::sort(FKeyIndex.begin(), FKeyIndex.end());
    FLineStarts.shrink_to_fit();
    FKeyIndex.shrink_to_fit();
}

QStringView TIniFile::LineWithEnding(uint32_t aLine) const
{
    return QStringView(FText).mid(FLineStarts[aLine], FLineStarts[aLine + 1] - FLineStarts[aLine]);
}

QStringView TIniFile::OriginalLine(uint32_t aLine) const
{
    const QStringView line = LineWithEnding(aLine);
    return line.first(line.size() - Ending(aLine).size());
}

QStringView TIniFile::Ending(uint32_t aLine) const
{
    const QStringView line = LineWithEnding(aLine);
    if (line.endsWith(QLatin1String("\r\n")))
        return line.last(2);
    if (line.endsWith(QLatin1Char('\n')) || line.endsWith(QLatin1Char('\r')))
        return line.last(1);
    return {};
}

QStringView TIniFile::CurrentLine(uint32_t aLine) const
{
    const auto changed = FChangedLines.constFind(aLine);
    return changed != FChangedLines.constEnd() ? QStringView(*changed) : OriginalLine(aLine);
}

QString TIniFile::HeaderName(uint32_t aHeader) const
{
    return Fold(SplitLine(OriginalLine(FHeaders[aHeader])).Name);
}

uint32_t TIniFile::LastNonBlankLine(uint32_t aHeader) const
{
    const uint32_t header = FHeaders[aHeader];
    uint32_t line = (aHeader + 1 < FHeaders.size() ? FHeaders[aHeader + 1] : LineCount()) - 1;
    while (line > header && OriginalLine(line).trimmed().isEmpty())
        --line;
    return line;
}

int TIniFile::FindSection(const QString& aFolded) const
{
    const auto [first, last] = std::equal_range(FSectionIndex.begin(), FSectionIndex.end(),
                                                TIndexEntry{NameHash(aFolded), 0},
                                                [](const TIndexEntry& a, const TIndexEntry& b) { return a.Hash < b.Hash; });
    for (auto entry = first; entry != last; ++entry) {
        if (HeaderName(entry->Where) == aFolded)
            return int(entry->Where);
    }
    return -1;
}

std::optional<uint32_t> TIniFile::FindFileKey(const QString& aFoldedSection, const QString& aFoldedKey) const
{
    const auto [first, last] = std::equal_range(FKeyIndex.begin(), FKeyIndex.end(),
                                                TIndexEntry{KeyHash(aFoldedSection, aFoldedKey), 0},
                                                [](const TIndexEntry& a, const TIndexEntry& b) { return a.Hash < b.Hash; });
    for (auto entry = first; entry != last; ++entry) {
        // A key's line keeps its key when its value is written, so the line as read tells.
        const auto header = uint32_t(std::upper_bound(FHeaders.begin(), FHeaders.end(), entry->Where) - FHeaders.begin()) - 1;
        if (Fold(SplitLine(OriginalLine(entry->Where)).Name) == aFoldedKey && HeaderName(header) == aFoldedSection)
            return entry->Where;
    }
    return std::nullopt;
}

const QString& TIniFile::AddedLine(const TAddedKey& aKey) const
{
    return aKey.Section >= 0 ? FAddedSections[aKey.Section].Lines[aKey.Index] : FAddedAfter.at(aKey.AfterLine)[aKey.Index];
}

QString& TIniFile::AddedLine(const TAddedKey& aKey)
{
    return aKey.Section >= 0 ? FAddedSections[aKey.Section].Lines[aKey.Index] : FAddedAfter.at(aKey.AfterLine)[aKey.Index];
}

std::optional<QString> TIniFile::Value(const QString& aSection, const QString& aKey) const
{
    const std::optional<QStringView> line = FindKey(aSection, aKey);
    if (!line)
        return std::nullopt;
    return DecodeValue(line->mid(ValueStart(*line)));
}

std::optional<QStringView> TIniFile::FindKey(const QString& aSection, const QString& aKey) const
{
    const QString section = Fold(aSection);
    const QString key = Fold(aKey);
    if (const std::optional<uint32_t> line = FindFileKey(section, key))
        return CurrentLine(*line);
    const auto added = FAddedKeys.constFind(AddedKeyName(section, key));
    if (added != FAddedKeys.constEnd())
        return QStringView(AddedLine(*added));
    return std::nullopt;
}

bool TIniFile::HasSection(const QString& aSection) const
{
    const QString folded = Fold(aSection);
    return FindSection(folded) >= 0 || FAddedSectionIndex.contains(folded);
}

bool TIniFile::HasKey(const QString& aSection, const QString& aKey) const
{
    return FindKey(aSection, aKey).has_value();
}

QString TIniFile::ReadString(const QString& aSection, const QString& aKey, const QString& aDefault) const
{
    return Value(aSection, aKey).value_or(aDefault);
}

int32_t TIniFile::ReadInteger(const QString& aSection, const QString& aKey, int32_t aDefault) const
{
    const std::optional<QString> value = Value(aSection, aKey);
    if (!value)
        return aDefault;
    return ParseIntegerLiteral(*value).value_or(aDefault);
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

int TIniFile::AddSection(const QString& aSection)
{
    if (LineCount() > 0 || !FAddedSections.empty()) {
        // A blank line between sections, unless the file already ends in one;
        // it stays below keys added to the section before it later.
        const bool endsBlank = FAddedSections.empty() && !FAddedAfter.contains(LineCount() - 1)
            && OriginalLine(LineCount() - 1).trimmed().isEmpty();
        if (!endsBlank) {
            if (FAddedSections.empty())
                FBlankAfterFile = true;
            else
                FAddedSections.back().BlankAfter = true;
        }
    }
    FAddedSections.push_back({QLatin1Char('[') + aSection.trimmed() + QLatin1Char(']'), {}, false});
    const int section = int(FAddedSections.size()) - 1;
    FAddedSectionIndex.insert(Fold(aSection), section);
    return section;
}

void TIniFile::SetValue(const QString& aSection, const QString& aKey, const QString& aText)
{
    const QString section = Fold(aSection);
    const QString key = Fold(aKey);
    // Everything up to the value stays as written, spacing and key case included.
    const auto withValue = [&aText](QStringView aLine) -> std::optional<QString> {
        const qsizetype valueStart = ValueStart(aLine);
        if (aLine.mid(valueStart).trimmed() == aText)
            return std::nullopt;
        return aLine.left(valueStart).toString() + aText;
    };
    if (const std::optional<uint32_t> line = FindFileKey(section, key)) {
        if (std::optional<QString> text = withValue(CurrentLine(*line))) {
            FChangedLines.insert(*line, std::move(*text));
            FChanged = true;
        }
        return;
    }
    const QString addedName = AddedKeyName(section, key);
    if (const auto added = FAddedKeys.constFind(addedName); added != FAddedKeys.constEnd()) {
        QString& lineText = AddedLine(*added);
        if (std::optional<QString> text = withValue(lineText)) {
            lineText = std::move(*text);
            FChanged = true;
        }
        return;
    }

    const QString lineText = aKey.trimmed() + QLatin1Char('=') + aText;
    TAddedKey place;
    if (const int header = FindSection(section); header >= 0) {
        // After the section's last non-blank line, so its blank lines stay below.
        place.AfterLine = LastNonBlankLine(uint32_t(header));
        std::vector<QString>& lines = FAddedAfter[place.AfterLine];
        lines.push_back(lineText);
        place.Index = int(lines.size()) - 1;
    } else {
        place.Section = FAddedSectionIndex.value(section, -1);
        if (place.Section < 0)
            place.Section = AddSection(aSection);
        std::vector<QString>& lines = FAddedSections[place.Section].Lines;
        lines.push_back(lineText);
        place.Index = int(lines.size()) - 1;
    }
    FAddedKeys.insert(addedName, place);
    FChanged = true;
}

TIniFile::TEncoding TIniFile::WriteEncoding() const
{
    if (FEncoding != TEncoding::Windows1252)
        return FEncoding;
    // A file from a Windows-1252 system stays in its encoding as long as
    // every line written fits, so that system still reads it.
    const auto fits = [](QStringView aLine) { return ReadsBackAsWindows1252(aLine); };
    const bool changedFit = std::all_of(FChangedLines.cbegin(), FChangedLines.cend(), fits);
    const bool addedFit = std::all_of(FAddedAfter.cbegin(), FAddedAfter.cend(), [&](const auto& aAdded) {
        return std::all_of(aAdded.second.cbegin(), aAdded.second.cend(), fits);
    });
    const bool sectionsFit = std::all_of(FAddedSections.cbegin(), FAddedSections.cend(), [&](const TAddedSection& aSection) {
        return fits(aSection.Header) && std::all_of(aSection.Lines.cbegin(), aSection.Lines.cend(), fits);
    });
    return changedFit && addedFit && sectionsFit ? TEncoding::Windows1252 : TEncoding::Utf8;
}

QByteArray TIniFile::Contents() const
{
    const TEncoding encoding = WriteEncoding();
    QByteArray bytes;
    bytes.reserve(FText.size() + 4096);
    std::optional<QStringEncoder> utf16;
    if (encoding == TEncoding::Utf16Le || encoding == TEncoding::Utf16Be)
        utf16.emplace(encoding == TEncoding::Utf16Le ? QStringEncoder::Utf16LE : QStringEncoder::Utf16BE,
                      QStringEncoder::Flag::Stateless);
    const auto append = [&](QStringView aText, TEncoding aEncoding) {
        if (aEncoding == TEncoding::Windows1252)
            AppendWindows1252(bytes, aText);  // fits: checked, or read from Windows-1252
        else if (utf16)
            bytes += utf16->encode(aText);
        else
            bytes += aText.toUtf8();
    };
    if (utf16)
        bytes += encoding == TEncoding::Utf16Le ? QByteArray("\xFF\xFE") : QByteArray("\xFE\xFF");
    else if (encoding == TEncoding::Utf8 && FBom)
        bytes += Utf8Bom;

    // Runs of lines that nothing touched go out in one piece.
    const uint32_t lines = LineCount();
    const bool addedAfterFile = FBlankAfterFile || !FAddedSections.empty();
    auto added = FAddedAfter.cbegin();
    auto windows1252 = FWindows1252Lines.cbegin();
    qsizetype runStart = 0;
    for (uint32_t line = 0; line < lines; ++line) {
        const bool hasAdded = added != FAddedAfter.cend() && added->first == line;
        const bool isWindows1252 = windows1252 != FWindows1252Lines.cend() && *windows1252 == line;
        const auto changed = FChangedLines.constFind(line);
        const bool isChanged = changed != FChangedLines.constEnd();
        // A last line without a line end gets one when lines follow it.
        const bool endingAdded = line + 1 == lines && Ending(line).isEmpty() && (hasAdded || addedAfterFile);
        if (isWindows1252)
            ++windows1252;
        if (!hasAdded && !isWindows1252 && !isChanged && !endingAdded)
            continue;
        append(QStringView(FText).mid(runStart, FLineStarts[line] - runStart), encoding);
        runStart = FLineStarts[line + 1];
        // A Windows-1252 line of a UTF-8 file that was not written keeps its bytes.
        if (isChanged)
            append(*changed, encoding);
        else
            append(OriginalLine(line), isWindows1252 ? TEncoding::Windows1252 : encoding);
        append(endingAdded ? QStringView(FNewline) : Ending(line), encoding);
        if (hasAdded) {
            for (const QString& text : added->second) {
                append(text, encoding);
                append(FNewline, encoding);
            }
            ++added;
        }
    }
    append(QStringView(FText).mid(runStart), encoding);
    if (FBlankAfterFile)
        append(FNewline, encoding);
    for (const TAddedSection& section : FAddedSections) {
        append(section.Header, encoding);
        append(FNewline, encoding);
        for (const QString& text : section.Lines) {
            append(text, encoding);
            append(FNewline, encoding);
        }
        if (section.BlankAfter)
            append(FNewline, encoding);
    }
    return bytes;
}

TFileProblem TIniFile::Commit()
{
    // Writing what little was read over a file that could not be read would lose it.
    if (!FReadProblem.IsNone()) {
        TFileProblem refused = FReadProblem;
        refused.Writing = true;
        return refused;
    }
    if (FExists && !FChanged)
        return {};
    const QByteArray contents = Contents();
    // Such a file could not be read again.
    if (contents.size() > MaxFileSize)
        return TFileProblem::Of(TFileProblem::TKind::TooLarge, FFileName, true);
    const TFileProblem failure = WriteFileAtomically(FFileName, contents);
    if (!failure.IsNone())
        return failure;
    FExists = true;
    FChanged = false;
    return {};
}
