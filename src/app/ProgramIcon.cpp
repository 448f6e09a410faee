#include "ProgramIcon.h"

#include <QString>

// The resources live in a static library: nothing references them, so the linker would
// drop them unless they are registered explicitly. Q_INIT_RESOURCE must stand outside a
// namespace.
static void registerProgramResources()
{
    Q_INIT_RESOURCE(vellox);
}

namespace vellox {

QIcon programIcon()
{
    registerProgramResources();
    QIcon icon;
    for (const int size : ProgramIconSizes)
        icon.addFile(QStringLiteral(":/vellox/vellox-%1.png").arg(size), QSize(size, size));
    return icon;
}

} // namespace vellox
