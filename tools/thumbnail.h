#pragma once

// merovik-render --thumbnail SIZE LABEL OUTPUT: the picture a file manager
// shows for a label file, as the freedesktop thumbnailer runs it.
#include <QCommandLineOption>
#include <QString>

#include <functional>

class QCommandLineParser;

// The option itself; its value is SIZE.
QCommandLineOption ThumbnailOption();

// Runs a --thumbnail request; the exit code: 0 written, 1 the label could not
// be read or the picture not written (nothing is left then), 2 bad usage.
// aUsageError prints a usage problem and gives its exit code; aError prints
// one message.
int RenderThumbnail(const QCommandLineParser& aParser, const QCommandLineOption& aOption,
                    const std::function<int(const QString& aProblem)>& aUsageError,
                    const std::function<void(const QString& aMessage)>& aError);
