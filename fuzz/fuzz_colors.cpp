// libFuzzer target: colour texts. StringToColor agrees with an independent
// reading of integer literals, and every colour it gives, or any 32-bit value,
// reads back from its ColorToString text.
#include "fuzz/fuzz_checks.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* aData, size_t aSize)
{
    const QString failure =
        MerovikFuzz::CheckColorText(QByteArray(reinterpret_cast<const char*>(aData), qsizetype(aSize)));
    if (!failure.isEmpty()) {
        std::fprintf(stderr, "colour text check failed: %s\n", failure.toLocal8Bit().constData());
        std::abort();
    }
    return 0;
}
