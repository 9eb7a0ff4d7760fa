// libFuzzer target: a whole label. A label file with field values set from
// the input (huge, negative, empty, non-ASCII, control characters, picture
// files good and bad) loads, renders at 750 px, saves and loads back equal.
#include "fuzz/fuzz_checks.h"

#include <QGuiApplication>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

namespace {

struct TState
{
    QTemporaryDir Folder;
    MerovikFuzz::TFuzzPictures Pictures{Folder.path()};
    TLabelRenderer Renderer;
};

TState* State = nullptr;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // The renderer needs fonts and so a GUI application; no display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "fuzz_label_render";
    static char* argv[] = {name, nullptr};
    static QGuiApplication application(argc, argv);
    static TState state;
    state.Renderer.SetLabelSize(0);  // 750 px
    State = &state;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* aData, size_t aSize)
{
    const QString failure =
        MerovikFuzz::CheckLabelRender(QByteArray(reinterpret_cast<const char*>(aData), qsizetype(aSize)),
                                      State->Folder.path(), State->Pictures, State->Renderer);
    if (!failure.isEmpty()) {
        std::fprintf(stderr, "label check failed: %s\n", failure.toLocal8Bit().constData());
        std::abort();
    }
    return 0;
}
