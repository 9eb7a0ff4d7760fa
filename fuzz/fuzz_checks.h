#pragma once

// What the fuzz targets check on each input. Header-only, so that the
// regression test replays the inputs that once failed through exactly the
// same code, built with the project's own compiler.
//
// Every check returns an empty string when the input passed, otherwise what
// went wrong.

#include "label/colors.h"
#include "label/ini_file.h"
#include "label/atomic_file.h"
#include "label/label_document.h"
#include "merge/merge_table.h"
#include "render/label_renderer.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QList>
#include <QPainter>
#include <QSet>
#include <QString>
#include <QStringDecoder>
#include <QStringList>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

namespace MerovikFuzz {

// Splits fuzz input into values the way libFuzzer's FuzzedDataProvider does
// (numbers from the back, strings from the front), so that mutations of one
// part leave the others in place. Written out because that header comes with
// clang only and the regression test is built with the project's compiler.
class TFuzzInput
{
public:
    explicit TFuzzInput(const QByteArray& aBytes) : FBytes(aBytes), FEnd(aBytes.size()) {}

    qsizetype Remaining() const { return FEnd - FStart; }

    uint8_t TakeByte()
    {
        if (Remaining() == 0)
            return 0;
        return static_cast<uint8_t>(FBytes[--FEnd]);
    }

    bool TakeBool() { return (TakeByte() & 1) != 0; }

    uint32_t TakeUInt32()
    {
        uint32_t value = 0;
        for (int i = 0; i < 4; ++i)
            value = (value << 8) | TakeByte();
        return value;
    }

    int32_t TakeInt32() { return static_cast<int32_t>(TakeUInt32()); }

    // A value in [aLow, aHigh].
    int32_t TakeIntIn(int32_t aLow, int32_t aHigh)
    {
        const uint64_t range = uint64_t(int64_t(aHigh) - int64_t(aLow)) + 1;
        return static_cast<int32_t>(int64_t(aLow) + int64_t(TakeUInt32() % range));
    }

    // Bytes up to a backslash followed by anything but a backslash; a doubled
    // backslash stands for one. At most aMaxLength bytes.
    QByteArray TakeBytes(qsizetype aMaxLength)
    {
        QByteArray result;
        while (FStart < FEnd && result.size() < aMaxLength) {
            char c = FBytes[FStart++];
            if (c == '\\' && FStart < FEnd) {
                c = FBytes[FStart++];
                if (c != '\\')
                    break;
            }
            result.append(c);
        }
        return result;
    }

    // Everything not taken yet.
    QByteArray TakeRest()
    {
        const QByteArray rest = FBytes.mid(FStart, FEnd - FStart);
        FStart = FEnd;
        return rest;
    }

private:
    QByteArray FBytes;
    qsizetype FStart = 0;
    qsizetype FEnd = 0;
};

// UTF-16 code units from bytes in the machine's order; the bytes need not be aligned.
inline QString FromUtf16Bytes(const QByteArray& aBytes)
{
    QString text(aBytes.size() / 2, Qt::Uninitialized);
    std::memcpy(text.data(), aBytes.constData(), size_t(text.size()) * sizeof(QChar));
    return text;
}

inline bool WriteBytes(const QString& aPath, const QByteArray& aBytes)
{
    QFile file(aPath);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(aBytes) == aBytes.size();
}

// Section and key names as this program writes them.
struct TKeyName
{
    QString Section;
    QString Key;
};

inline QList<TKeyName> LabelKeys()
{
    QList<TKeyName> keys;
    for (const char* text : {"Name", "Type", "Sub1", "Sub2", "Date"}) {
        for (const char* key : {"FontName", "FontSize", "FontColor", "Text"})
            keys.append({QLatin1String(text), QLatin1String(key)});
    }
    for (const char* key : {"FileName", "UseColor", "Color", "Effect", "Trans", "PngFile", "UsePng", "BgPosX",
                            "BgPosY", "PngPosX", "PngPosY", "PngWidth"})
        keys.append({QStringLiteral("Back"), QLatin1String(key)});
    for (const char* ring : {"Ring1", "Ring2", "Ring3", "Ring4"}) {
        for (const char* key : {"Use", "Color"})
            keys.append({QLatin1String(ring), QLatin1String(key)});
    }
    return keys;
}

// Names that an INI text seems to use, found by a scan much looser than the
// reader: asking for a name the reader does not see only gives the default,
// and it does so both times.
inline QList<TKeyName> NamesIn(const QString& aText)
{
    QList<TKeyName> names;
    QString section;
    bool inSection = false;
    QString text = aText;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    for (const QString& rawLine : text.split(QLatin1Char('\n'))) {
        const QString line = rawLine.trimmed();
        if (line.startsWith(QLatin1Char('[')) && line.indexOf(QLatin1Char(']')) > 0) {
            section = line.mid(1, line.indexOf(QLatin1Char(']')) - 1);
            inSection = true;
            continue;
        }
        const qsizetype equals = rawLine.indexOf(QLatin1Char('='));
        if (inSection && equals > 0)
            names.append({section, rawLine.left(equals)});
        if (names.size() >= 200)
            break;
    }
    return names;
}

inline QString Folded(const QString& aName)
{
    return aName.trimmed().toCaseFolded();
}

// The text a file reads as, near enough for finding names: UTF-16 after its
// byte-order mark, else UTF-8, or Windows-1252 (close enough to Latin-1) when
// it is not valid UTF-8.
inline QString TextOf(const QByteArray& aBytes)
{
    if (aBytes.startsWith("\xFF\xFE") || aBytes.startsWith("\xFE\xFF")) {
        QStringDecoder utf16(aBytes.front() == '\xFF' ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE);
        return utf16.decode(aBytes.sliced(2));
    }
    const QString utf8 = QString::fromUtf8(aBytes);
    return utf8.contains(QChar::ReplacementCharacter) ? QString::fromLatin1(aBytes) : utf8;
}

struct TKeyValue
{
    QString String;
    int32_t Integer = 0;

    bool operator==(const TKeyValue&) const = default;
};

inline TKeyValue ValueOf(const TIniFile& aIni, const TKeyName& aName)
{
    // Defaults no file holds, so a key that vanished shows.
    return {aIni.ReadString(aName.Section, aName.Key, QStringLiteral("\x01missing")),
            aIni.ReadInteger(aName.Section, aName.Key, INT32_MIN + 7)};
}

inline QString Describe(const TKeyName& aName, const TKeyValue& aBefore, const TKeyValue& aAfter)
{
    return QStringLiteral("[%1] %2: \"%3\" (%4) became \"%5\" (%6)")
        .arg(aName.Section, aName.Key, aBefore.String, QString::number(aBefore.Integer), aAfter.String,
             QString::number(aAfter.Integer));
}

// A written value reads back as written, except that a line break or a NUL
// inside it is written as a space: a value is one line of text.
inline QString AsWritten(QString aValue)
{
    aValue.replace(QLatin1Char('\r'), QLatin1Char(' '));
    aValue.replace(QLatin1Char('\n'), QLatin1Char(' '));
    aValue.replace(QChar(0), QLatin1Char(' '));
    return aValue;
}

// aBytes as an INI file in aFolder:
// 0. a file refused unread (not a label file, too large) reads no key, and
//    nothing is written over it;
// 1. read every key, write each value back, save, read again: every value is the same;
// 2. write the program's keys with new values (lines of the input), save, read
//    again: each of those reads as written, every other key as before.
inline QString CheckIniRoundTrip(const QByteArray& aBytes, const QString& aFolder)
{
    const QString path = QDir(aFolder).filePath(QStringLiteral("fuzz.ini"));
    if (!WriteBytes(path, aBytes))
        return QStringLiteral("cannot write %1").arg(path);
    {
        TIniFile ini(path);
        if (!ini.ReadError().isEmpty()) {
            for (const TKeyName& name : LabelKeys()) {
                if (ini.HasKey(name.Section, name.Key))
                    return QStringLiteral("a refused file has the key [%1] %2").arg(name.Section, name.Key);
            }
            ini.WriteString(QStringLiteral("Name"), QStringLiteral("Text"), QStringLiteral("Gouda"));
            if (ini.Commit().IsNone())
                return QStringLiteral("written over a refused file: ") + ini.ReadError();
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly) || file.readAll() != aBytes)
                return QStringLiteral("a refused file changed");
            return {};
        }
    }
    const QString text = TextOf(aBytes);
    QList<TKeyName> names = NamesIn(text);
    names += LabelKeys();

    QList<TKeyValue> before;
    {
        TIniFile ini(path);
        for (const TKeyName& name : names)
            before.append(ValueOf(ini, name));
        for (qsizetype i = 0; i < names.size(); ++i) {
            if (ini.HasKey(names[i].Section, names[i].Key))
                ini.WriteString(names[i].Section, names[i].Key, before[i].String);
        }
        const QString error = FileProblemText(ini.Commit());
        if (!error.isEmpty())
            return error;
    }
    {
        const TIniFile again(path);
        for (qsizetype i = 0; i < names.size(); ++i) {
            const TKeyValue after = ValueOf(again, names[i]);
            // A line break that a hand-edited file holds inside a value is
            // written back as a space.
            // (Its integer reading may change with it: "\r5" is no number, " 5" is.)
            TKeyValue expected{AsWritten(before[i].String), before[i].Integer};
            if (expected.String != before[i].String)
                expected.Integer = after.Integer;
            if (after != expected)
                return QStringLiteral("written back: ") + Describe(names[i], expected, after);
        }
    }

    if (!WriteBytes(path, aBytes))
        return QStringLiteral("cannot write %1").arg(path);
    const QList<TKeyName> programKeys = LabelKeys();
    QStringList values = text.split(QLatin1Char('\n'));
    QSet<QString> written;
    {
        TIniFile ini(path);
        for (qsizetype i = 0; i < programKeys.size(); ++i) {
            const QString value = values[i % values.size()];
            ini.WriteString(programKeys[i].Section, programKeys[i].Key, value);
            written.insert(Folded(programKeys[i].Section) + QLatin1Char('\n') + Folded(programKeys[i].Key));
        }
        const QString error = FileProblemText(ini.Commit());
        if (!error.isEmpty())
            return error;
    }
    const TIniFile again(path);
    for (qsizetype i = 0; i < programKeys.size(); ++i) {
        const QString expected = AsWritten(values[i % values.size()]);
        const QString read = again.ReadString(programKeys[i].Section, programKeys[i].Key, QString());
        if (read != expected)
            return QStringLiteral("[%1] %2: wrote \"%3\", read \"%4\"")
                .arg(programKeys[i].Section, programKeys[i].Key, expected, read);
    }
    for (qsizetype i = 0; i < names.size() - programKeys.size(); ++i) {
        if (written.contains(Folded(names[i].Section) + QLatin1Char('\n') + Folded(names[i].Key)))
            continue;
        const TKeyValue after = ValueOf(again, names[i]);
        if (after != before[i])
            return QStringLiteral("untouched key changed: ") + Describe(names[i], before[i], after);
    }
    return {};
}

// An integer literal read without the reader: leading spaces, a sign, then
// decimal digits or hexadecimal ones after "$", "x", "X", "0x" or "0X".
inline std::optional<int32_t> ReferenceLiteral(const QString& aText)
{
    if (!std::all_of(aText.begin(), aText.end(), [](QChar c) { return c.unicode() < 0x80; }))
        return std::nullopt;
    std::string text = aText.toStdString();
    text.erase(0, text.find_first_not_of(' ') == std::string::npos ? text.size() : text.find_first_not_of(' '));
    bool negative = false;
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        text.erase(0, 1);
    }
    int base = 10;
    for (const char* prefix : {"0x", "0X", "$", "x", "X"}) {
        if (text.starts_with(prefix)) {
            text.erase(0, std::char_traits<char>::length(prefix));
            base = 16;
            break;
        }
    }
    // from_chars takes neither a sign nor a prefix here, which the steps above removed.
    if (text.empty() || text[0] == '+' || text[0] == '-')
        return std::nullopt;
    uint64_t magnitude = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    const uint64_t limit = base == 16 ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
    if (magnitude > limit)
        return std::nullopt;
    const uint32_t bits = negative ? 0u - uint32_t(magnitude) : uint32_t(magnitude);
    return static_cast<int32_t>(bits);
}

// aBytes as a colour text (UTF-8, or UTF-16 when the first byte is odd):
// StringToColor agrees with the literal reference, its error names the text,
// and ColorToString of the result, or of the first four bytes, reads back.
inline QString CheckColorText(const QByteArray& aBytes)
{
    QString text;
    if (!aBytes.isEmpty() && (aBytes[0] & 1))
        text = FromUtf16Bytes(aBytes.mid(1));
    else
        text = QString::fromUtf8(aBytes.mid(aBytes.isEmpty() ? 0 : 1));

    const TColorConversion conversion = StringToColor(text);
    const std::optional<int32_t> literal = ReferenceLiteral(text);
    if (literal && (!conversion.Ok || conversion.Value != uint32_t(*literal)))
        return QStringLiteral("\"%1\" is the literal %2 but read as %3 (ok %4)")
            .arg(text, QString::number(*literal), QString::number(conversion.Value), QString::number(conversion.Ok));
    if (literal != ParseIntegerLiteral(text))
        return QStringLiteral("\"%1\": the integer reader disagrees with the reference").arg(text);
    if (conversion.Ok) {
        const QString written = ColorToString(conversion.Value);
        const TColorConversion again = StringToColor(written);
        if (!again.Ok || again.Value != conversion.Value)
            return QStringLiteral("\"%1\" read as %2, written as \"%3\", read back as %4")
                .arg(text, QString::number(conversion.Value), written, QString::number(again.Value));
    } else if (conversion.Error != InvalidIntegerMessage(text)) {
        return QStringLiteral("\"%1\" gave the message \"%2\"").arg(text, conversion.Error);
    }

    uint32_t value = 0;
    for (qsizetype i = 0; i < std::min<qsizetype>(4, aBytes.size()); ++i)
        value = (value << 8) | uint8_t(aBytes[i]);
    const QString written = ColorToString(value);
    const TColorConversion back = StringToColor(written);
    if (!back.Ok || back.Value != value)
        return QStringLiteral("%1 written as \"%2\" does not read back").arg(QString::number(value), written);
    const std::optional<int32_t> number = ParseIntegerLiteral(QString::number(int32_t(value)));
    if (!number || uint32_t(*number) != value)
        return QStringLiteral("%1 as a decimal does not read back").arg(QString::number(int32_t(value)));
    return {};
}

// The picture files a fuzzed label can point at; made once per folder.
struct TFuzzPictures
{
    QStringList Paths;

    explicit TFuzzPictures(const QString& aFolder)
    {
        const QDir dir(aFolder);
        QImage photo(96, 64, QImage::Format_RGB32);
        for (int y = 0; y < photo.height(); ++y)
            for (int x = 0; x < photo.width(); ++x)
                photo.setPixel(x, y, qRgb(x * 2, y * 3, 128));
        photo.save(dir.filePath(QStringLiteral("photo.jpg")), "JPEG");
        QImage portrait(24, 80, QImage::Format_ARGB32);
        portrait.fill(qRgba(0, 80, 200, 120));
        portrait.save(dir.filePath(QStringLiteral("portrait.png")), "PNG");
        QImage indexed(32, 32, QImage::Format_Indexed8);
        indexed.setColorTable({qRgb(255, 0, 0), qRgb(0, 255, 0)});
        indexed.fill(1);
        indexed.save(dir.filePath(QStringLiteral("indexed.png")), "PNG");
        WriteBytes(dir.filePath(QStringLiteral("empty.jpg")), QByteArray());
        WriteBytes(dir.filePath(QStringLiteral("garbage.png")), QByteArray("\x89PNG\r\n\x1a\nnot really", 18));
        dir.mkpath(QStringLiteral("folder.jpg"));
        Paths = {QString(),
                 dir.filePath(QStringLiteral("photo.jpg")),
                 dir.filePath(QStringLiteral("portrait.png")),
                 dir.filePath(QStringLiteral("indexed.png")),
                 dir.filePath(QStringLiteral("empty.jpg")),
                 dir.filePath(QStringLiteral("garbage.png")),
                 dir.filePath(QStringLiteral("folder.jpg")),
                 dir.filePath(QStringLiteral("missing.png")),
                 dir.filePath(QStringLiteral("fuzzed.picture"))};
    }

    QString Take(TFuzzInput& aInput) const { return Paths[aInput.TakeIntIn(0, int32_t(Paths.size()) - 1)]; }
};

// Integers a label field may hold: now and then any 32-bit value, mostly
// values near the edges of what the drawing steps meet.
inline int32_t TakeFieldValue(TFuzzInput& aInput)
{
    static constexpr int32_t Interesting[] = {0, 1, -1, 2, 10, 20, 90, 99, 100, 101, 590, 600, 1200, 100000,
                                              -100000, 1 << 20, -(1 << 20), INT32_MAX, INT32_MIN, INT32_MAX - 9,
                                              INT32_MIN + 9};
    switch (aInput.TakeIntIn(0, 3)) {
    case 0:
        return aInput.TakeInt32();
    case 1:
        return Interesting[aInput.TakeIntIn(0, int32_t(std::size(Interesting)) - 1)];
    default:
        return aInput.TakeIntIn(-2000, 2000);
    }
}

// A text: UTF-8, or UTF-16 (which may hold unpaired surrogates).
inline QString TakeText(TFuzzInput& aInput)
{
    const bool utf16 = aInput.TakeBool();
    const QByteArray bytes = aInput.TakeBytes(4000);
    if (utf16)
        return FromUtf16Bytes(bytes);
    return QString::fromUtf8(bytes);
}

// The fields of aDoc after a save and a load, as the loader leaves them.
inline TLabelDocument AsReloaded(const TLabelDocument& aDoc)
{
    TLabelDocument doc = aDoc;
    for (TLabelText* text : {&doc.FLabelName, &doc.FLabelType, &doc.FLabelSub1, &doc.FLabelSub2, &doc.FLabelDate}) {
        text->Text = AsWritten(text->Text);
        text->FontName = AsWritten(text->FontName);
    }
    TLabelImage& bg = doc.FLabelBg;
    bg.FileName = AsWritten(bg.FileName);
    bg.PngFile = AsWritten(bg.PngFile);
    // A picture that is no file is dropped on loading, its option with it.
    if (bg.FileName.isEmpty() || !QFileInfo(bg.FileName).isFile()) {
        bg.FileName.clear();
        bg.UseColor = true;
    }
    if (bg.PngFile.isEmpty() || !QFileInfo(bg.PngFile).isFile()) {
        bg.PngFile.clear();
        bg.UsePng = false;
    }
    return doc;
}

inline QStringList DocumentDifferences(const TLabelDocument& aA, const TLabelDocument& aB)
{
    QStringList diffs;
    const auto text = [&](const TLabelText& a, const TLabelText& b) {
        if (a.Text != b.Text || a.FontName != b.FontName || a.FontSize != b.FontSize || a.FontColor != b.FontColor)
            diffs << a.Id;
    };
    text(aA.FLabelName, aB.FLabelName);
    text(aA.FLabelType, aB.FLabelType);
    text(aA.FLabelSub1, aB.FLabelSub1);
    text(aA.FLabelSub2, aB.FLabelSub2);
    text(aA.FLabelDate, aB.FLabelDate);
    const TLabelImage& a = aA.FLabelBg;
    const TLabelImage& b = aB.FLabelBg;
    if (a.FileName != b.FileName || a.Color != b.Color || a.UseColor != b.UseColor || a.Effect != b.Effect
        || a.Trans != b.Trans || a.PngFile != b.PngFile || a.UsePng != b.UsePng || a.BgPosX != b.BgPosX
        || a.BgPosY != b.BgPosY || a.PngPosX != b.PngPosX || a.PngPosY != b.PngPosY || a.PngWidth != b.PngWidth)
        diffs << a.Id;
    const auto ring = [&](const TLabelItem& a, const TLabelItem& b) {
        if (a.Use != b.Use || a.Color != b.Color)
            diffs << a.Id;
    };
    ring(aA.FLabelRing1, aB.FLabelRing1);
    ring(aA.FLabelRing2, aB.FLabelRing2);
    ring(aA.FLabelRing3, aB.FLabelRing3);
    ring(aA.FLabelRing4, aB.FLabelRing4);
    return diffs;
}

inline bool AllValidUtf16(const TLabelDocument& aDoc)
{
    for (const TLabelText* text : {&aDoc.FLabelName, &aDoc.FLabelType, &aDoc.FLabelSub1, &aDoc.FLabelSub2,
                                   &aDoc.FLabelDate}) {
        if (!text->Text.isValidUtf16() || !text->FontName.isValidUtf16())
            return false;
    }
    return true;
}

// aBytes as a label: a label file, then field values that replace what it
// held, then perhaps a picture file's contents. The label is loaded, its
// fields set, drawn by aRenderer (which the caller keeps between inputs, as
// the editor keeps its one), saved and loaded again: the raster keeps its
// size, and the reloaded label equals the drawn one.
inline QString CheckLabelRender(const QByteArray& aBytes, const QString& aFolder, const TFuzzPictures& aPictures,
                                TLabelRenderer& aRenderer)
{
    TFuzzInput input(aBytes);
    const QDir dir(aFolder);
    const QString labelPath = dir.filePath(QStringLiteral("fuzz.lbl"));
    if (!WriteBytes(labelPath, input.TakeBytes(8192)))
        return QStringLiteral("cannot write %1").arg(labelPath);
    TLabelDocument doc;
    doc.LoadFromFile(labelPath);

    const int changes = input.TakeIntIn(0, 24);
    for (int i = 0; i < changes && input.Remaining() > 0; ++i) {
        TLabelText* text = doc.TextByTag(input.TakeIntIn(1, 5));
        TLabelImage& bg = doc.FLabelBg;
        TLabelItem* ring = doc.RingByTag(input.TakeIntIn(1, 4));
        switch (input.TakeIntIn(0, 17)) {
        case 0: text->Text = TakeText(input); break;
        case 1: text->FontName = TakeText(input); break;
        case 2: text->FontSize = TakeFieldValue(input); break;
        case 3: text->FontColor = input.TakeUInt32(); break;
        case 4: bg.FileName = aPictures.Take(input); break;
        case 5: bg.Color = input.TakeUInt32(); break;
        case 6: bg.UseColor = input.TakeBool(); break;
        case 7: bg.Effect = TakeFieldValue(input); break;
        case 8: bg.Trans = TakeFieldValue(input); break;
        case 9: bg.PngFile = aPictures.Take(input); break;
        case 10: bg.UsePng = input.TakeBool(); break;
        case 11: bg.BgPosX = TakeFieldValue(input); break;
        case 12: bg.BgPosY = TakeFieldValue(input); break;
        case 13: bg.PngPosX = TakeFieldValue(input); break;
        case 14: bg.PngPosY = TakeFieldValue(input); break;
        case 15: bg.PngWidth = TakeFieldValue(input); break;
        case 16: ring->Use = input.TakeBool(); break;
        default: ring->Color = input.TakeUInt32(); break;
        }
    }
    // What is left is the picture that "fuzzed.picture" holds.
    const QString fuzzed = dir.filePath(QStringLiteral("fuzzed.picture"));
    if (!WriteBytes(fuzzed, input.TakeRest()))
        return QStringLiteral("cannot write %1").arg(fuzzed);
    // A picture rewritten within the same instant keeps its time stamps; a
    // fresh cache decodes every input's picture.
    aRenderer.Pictures().Clear();

    aRenderer.DrawLabel(doc);
    if (aRenderer.Raster().size() != QSize(aRenderer.LabelWidth(), aRenderer.LabelWidth())
        || aRenderer.Raster().format() != QImage::Format_RGB32)
        return QStringLiteral("the raster changed its size or format");

    if (!AllValidUtf16(doc))
        return {};  // a file holds UTF-8, which has no unpaired surrogates
    const QString savedPath = dir.filePath(QStringLiteral("saved.lbl"));
    QFile::remove(savedPath);
    const QString error = FileProblemText(doc.SaveToFile(savedPath));
    if (!error.isEmpty())
        return error;
    TLabelDocument reloaded;
    const TLoadReport report = reloaded.LoadFromFile(savedPath);
    if (!report.Ok())
        return QStringLiteral("reloading: ") + LoadProblemTexts(report.Errors).join(QLatin1Char(' ')) + FileProblemText(report.ReadError);
    const QStringList diffs = DocumentDifferences(AsReloaded(doc), reloaded);
    if (!diffs.isEmpty())
        return QStringLiteral("saved and loaded again, these elements changed: ") + diffs.join(QLatin1String(", "));
    return {};
}

// The merge table reader on any bytes, as a .csv file when the first byte
// is even and a .tsv file otherwise, in aFolder, which holds a picture
// "a.png" for rows to name. A table read keeps the table's promises: within
// the limits, single-line texts, output names inside the chosen folder and
// none of them a file the run reads; a table refused names at most
// MaxErrors errors and one more that counts the rest.
inline QString CheckMergeTable(const QByteArray& aBytes, const QString& aFolder)
{
    const QDir folder(aFolder);
    if (!QFileInfo::exists(folder.filePath(QStringLiteral("a.png")))) {
        QImage picture(4, 4, QImage::Format_RGB32);
        picture.fill(Qt::red);
        picture.save(folder.filePath(QStringLiteral("a.png")), "PNG");
    }
    const bool tabs = !aBytes.isEmpty() && (static_cast<unsigned char>(aBytes[0]) & 1);
    const QString table = folder.filePath(tabs ? QStringLiteral("table.tsv") : QStringLiteral("table.csv"));
    {
        QFile file(table);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(aBytes.mid(1)) != aBytes.size() - qMin<qsizetype>(aBytes.size(), 1))
            return QStringLiteral("cannot write the table");
    }
    const TMergeRead read = TMergeTable::Read(table);
    if (!read.Ok()) {
        if (read.Table)
            return QStringLiteral("a table with errors was kept");
        if (read.Errors.size() > TMergeTable::MaxErrors + 1)
            return QStringLiteral("%1 errors, more than the limit").arg(read.Errors.size());
        for (const TMergeError& error : read.Errors) {
            if (error.Row < 0 || error.Column < 0 || error.File != table)
                return QStringLiteral("an error at row %1, column %2 of %3").arg(error.Row).arg(error.Column).arg(error.File);
        }
        return {};
    }
    if (!read.Table)
        return QStringLiteral("no table and no errors");
    const TMergeTable& merge = *read.Table;
    if (merge.RowCount() < 1 || merge.RowCount() > TMergeTable::MaxRows)
        return QStringLiteral("%1 rows").arg(merge.RowCount());
    qint64 labels = 0;
    for (int i = 0; i < merge.RowCount(); ++i) {
        const TMergeRow& row = merge.Row(i);
        if (row.Copies < 1 || row.Copies > TMergeTable::MaxCopies)
            return QStringLiteral("row %1: %2 copies").arg(row.SourceRow).arg(row.Copies);
        labels += row.Copies;
        for (const std::optional<QString>& text : row.Texts) {
            if (text && (text->contains(QLatin1Char('\n')) || text->contains(QLatin1Char('\r'))))
                return QStringLiteral("row %1: a text with a line break").arg(row.SourceRow);
        }
        for (const QString& picture : row.Pictures()) {
            if (!QFileInfo(picture).isFile())
                return QStringLiteral("row %1: the picture %2 is no file").arg(row.SourceRow).arg(picture);
        }
        if (!row.File.isEmpty()
            && (row.File.contains(QLatin1Char('/')) || row.File.contains(QLatin1Char('\\')) || row.File.trimmed().isEmpty()
                || row.File.toUtf8().size() + 4 > MaxWrittenNameBytes))
            return QStringLiteral("row %1: the output name \"%2\"").arg(row.SourceRow).arg(row.File);
    }
    if (labels != merge.LabelCount() || labels > TMergeTable::MaxLabels)
        return QStringLiteral("%1 labels counted as %2").arg(labels).arg(merge.LabelCount());
    const QString out = folder.filePath(QStringLiteral("out"));
    const TMergeOutputs outputs = merge.OutputFiles(out, QStringLiteral("label"), QStringLiteral("jpg"));
    if (outputs.Ok() && outputs.Files.size() != merge.RowCount())
        return QStringLiteral("%1 outputs for %2 rows").arg(outputs.Files.size()).arg(merge.RowCount());
    for (const QString& file : outputs.Files) {
        if (QFileInfo(file).absolutePath() != out)
            return QStringLiteral("the output %1 lies outside %2").arg(file, out);
    }
    TLabelDocument document = merge.Document(0, TLabelDocument());
    for (int tag = 1; tag <= 5; ++tag) {
        if (document.TextByTag(tag)->Text.contains(QLatin1Char('\n')))
            return QStringLiteral("a label text with a line break");
    }
    return {};
}

}  // namespace MerovikFuzz
