#pragma once

#include <QDateTime>
#include <QHash>
#include <QImage>
#include <QString>

// Decoded pictures by path. A picture is decoded again only when its file's
// size or modification time changed, so a pass whose files did not change
// decodes nothing, while a file replaced on disk shows at the next pass.
class TPictureCache
{
public:
    // The decoded picture (EXIF orientation applied), or a null image when the
    // file is missing, cannot be decoded, or would be unreasonably large.
    QImage Picture(const QString& aPath);

    // How many decodes have run; for tests and benchmarks.
    int DecodeCount() const { return FDecodeCount; }

    void Clear();

private:
    struct Entry
    {
        qint64 Size = -1;
        QDateTime Modified;
        QImage Image;
    };

    QHash<QString, Entry> FEntries;
    int FDecodeCount = 0;
};
