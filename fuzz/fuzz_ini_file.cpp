// libFuzzer target: the INI reader and writer. Every value read, written back
// and read again is the same; keys written read back as written and keys not
// written keep their values.
#include "fuzz/fuzz_checks.h"

#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* aData, size_t aSize)
{
    static QTemporaryDir folder;
    const QString failure = MerovikFuzz::CheckIniRoundTrip(
        QByteArray(reinterpret_cast<const char*>(aData), qsizetype(aSize)), folder.path());
    if (!failure.isEmpty()) {
        std::fprintf(stderr, "INI round trip failed: %s\n", failure.toLocal8Bit().constData());
        std::abort();
    }
    return 0;
}
