#include "label/text_file.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <algorithm>
#include <array>

namespace {

// Windows-1252 differs from Latin-1 only in 0x80..0x9F. QStringDecoder knows
// Windows-1252 only when Qt is built with ICU, so the table is kept here.
// The five bytes Windows leaves undefined map to the C1 controls of the same
// number, which makes decoding and encoding exact inverses.
constexpr std::array<char16_t, 32> Windows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

}  // namespace

void AppendWindows1252(QString& aText, QByteArrayView aBytes)
{
    for (const char c : aBytes) {
        const auto byte = static_cast<unsigned char>(c);
        aText += (byte >= 0x80 && byte < 0xA0) ? QChar(Windows1252High[byte - 0x80]) : QChar(byte);
    }
}

bool AppendWindows1252(QByteArray& aBytes, QStringView aText)
{
    for (const QChar c : aText) {
        const char16_t unit = c.unicode();
        if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) {
            aBytes.append(static_cast<char>(unit));
            continue;
        }
        const auto* found = std::find(Windows1252High.begin(), Windows1252High.end(), unit);
        if (found == Windows1252High.end())
            return false;
        aBytes.append(static_cast<char>(0x80 + (found - Windows1252High.begin())));
    }
    return true;
}

std::optional<QString> DecodeUtf8(QByteArrayView aBytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, TextDecoderFlags);
    QString text = decoder.decode(aBytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

std::optional<QString> DecodeText(QByteArrayView aBytes)
{
    if (aBytes.startsWith("\xFF\xFE") || aBytes.startsWith("\xFE\xFF")) {
        QStringDecoder decoder(aBytes.front() == '\xFF' ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE,
                               TextDecoderFlags);
        QString text = decoder.decode(aBytes.sliced(2));
        if (decoder.hasError())
            return std::nullopt;
        return text;
    }
    if (aBytes.startsWith(Utf8Bom))
        aBytes = aBytes.sliced(Utf8Bom.size());
    if (std::optional<QString> text = DecodeUtf8(aBytes))
        return text;
    QString text;
    text.reserve(aBytes.size());
    AppendWindows1252(text, aBytes);
    return text;
}

TFileBytes ReadFileBytes(const QString& aFileName, qint64 aMaxSize)
{
    using TKind = TFileProblem::TKind;
    TFileBytes result;
    const auto fail = [&](TFileProblem aProblem) {
        result.Problem = std::move(aProblem);
        return result;
    };
    const QFileInfo info(aFileName);
    if (info.isDir())
        return fail(TFileProblem::Of(TKind::Folder, aFileName, false));
    if (info.exists() && !info.isFile())
        return fail(TFileProblem::Of(TKind::NotRegularFile, aFileName, false));
    if (info.size() > aMaxSize)
        return fail(TFileProblem::Of(TKind::TooLarge, aFileName, false));
    QFile file(aFileName);
    if (!file.open(QIODevice::ReadOnly))
        return fail(TFileProblem::FromText(aFileName, false, file.errorString()));
    // QIODevice::read(n) allocates n bytes up front, and a buffer of the
    // limit for every small file costs more than the read; the stat size
    // plus one byte shows a file that grew past the limit since.
    QByteArray bytes = file.read(std::min(info.size(), aMaxSize) + 1);
    if (bytes.size() > info.size() && bytes.size() <= aMaxSize)
        bytes += file.read(aMaxSize + 1 - bytes.size());
    if (file.error() != QFileDevice::NoError)
        return fail(TFileProblem::FromText(aFileName, false, file.errorString()));
    if (bytes.size() > aMaxSize)
        return fail(TFileProblem::Of(TKind::TooLarge, aFileName, false));
    result.Bytes = std::move(bytes);
    return result;
}
