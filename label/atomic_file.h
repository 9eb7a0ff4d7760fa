#pragma once

#include <QByteArrayView>
#include <QString>

// Writes aBytes to aFileName through a temporary file that replaces it only
// when every byte is written, so a failure leaves an earlier file as it was
// and nothing beside it. Returns an empty string on success, otherwise
// WriteFailure() with the system's reason ("No space left on device",
// "File too large", "Permission denied").
QString WriteFileAtomically(const QString& aFileName, QByteArrayView aBytes);

// "Unable to write to <file>: <reason>"
QString WriteFailure(const QString& aFileName, const QString& aReason);
