#include "AppIcon.h"

QIcon appIcon() {
    // The resource lives in a static library: without this reference the linker drops it.
    Q_INIT_RESOURCE(appicon);
    return QIcon(QStringLiteral(":/icons/ktr.png"));
}
