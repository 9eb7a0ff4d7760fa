#pragma once

#include "label/file_problem.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringDecoder>
#include <QStringView>
#include <QtGlobal>
#include <optional>

// Reading text files that other programs and systems wrote: the label and
// settings files and the merge tables that spreadsheets save.

// The UTF-8 byte order mark.
inline const QByteArray Utf8Bom{"\xEF\xBB\xBF", 3};

// Windows-1252, what a Windows program saves as "ANSI". Every byte maps to
// one character, so decoding and encoding are exact inverses.
void AppendWindows1252(QString& aText, QByteArrayView aBytes);
// False, with part of aText appended, when a character has no Windows-1252 byte.
bool AppendWindows1252(QByteArray& aBytes, QStringView aText);

// Stateless, so that a sequence cut off at the end counts as invalid; a
// byte-order mark inside the text is a character like any other.
inline constexpr auto TextDecoderFlags = QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom;

// aBytes as UTF-8, or nothing when they are not valid UTF-8 (a sequence cut
// off at the end included). A byte order mark is a character like any other.
std::optional<QString> DecodeUtf8(QByteArrayView aBytes);

// A whole file's text: UTF-16 after its byte order mark, otherwise UTF-8
// (after a byte order mark, if any) when the bytes are valid UTF-8, otherwise
// Windows-1252. Nothing for UTF-16 that cannot be decoded.
std::optional<QString> DecodeText(QByteArrayView aBytes);

struct TFileBytes
{
    QByteArray Bytes;
    TFileProblem Problem;  // why it was not read; none when it was
};

// The whole of a regular file of at most aMaxSize bytes. A folder, a device
// or pipe (which could be read without end) and a larger file are refused
// without reading them.
TFileBytes ReadFileBytes(const QString& aFileName, qint64 aMaxSize);
