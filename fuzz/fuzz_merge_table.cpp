// libFuzzer target: the merge table reader. Whatever the bytes, it reads a
// table that keeps its promises (limits, single-line texts, outputs inside
// the folder) or refuses it with a bounded list of errors.
#include "fuzz/fuzz_checks.h"

#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* aData, size_t aSize)
{
    static QTemporaryDir folder;
    const QString failure =
        MerovikFuzz::CheckMergeTable(QByteArray(reinterpret_cast<const char*>(aData), qsizetype(aSize)), folder.path());
    if (!failure.isEmpty()) {
        std::fprintf(stderr, "merge table check failed: %s\n", failure.toLocal8Bit().constData());
        std::abort();
    }
    return 0;
}
