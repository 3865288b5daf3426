// The per-draw records read back from the database: the number frame's
// layout and the elements' fonts. Any text may be stored there.
#include "appearance/fontspec.h"
#include "appearance/framelayout.h"

#include <QGuiApplication>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString record = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    tombolix::appearance::FrameLayout layout;
    tombolix::appearance::ApplyFrameRecord(record, layout);
    tombolix::appearance::RepairFrameSize(layout);
    tombolix::appearance::ApplyFrameRecord(tombolix::appearance::FrameRecord(layout), layout);
    tombolix::appearance::FontSpec spec;
    tombolix::appearance::ApplyFontRecord(record, spec);
    tombolix::appearance::ApplyFontRecord(tombolix::appearance::FontRecord(spec), spec);
    return 0;
}
