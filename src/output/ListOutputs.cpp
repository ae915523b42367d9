#include "ListOutputs.h"

#include "OutputChoice.h"
#include "OutputRegistry.h"

QString listOutputs(const OutputChoice& configured, QStringList* problems) {
    QString text;
    for (const OutputBackend* backend : OutputRegistry::all()) {
        for (const OutputListing& row : backend->listings(configured.settings, problems))
            text += row.arguments + QLatin1Char('\t') + row.description + QLatin1Char('\n');
    }
    return text;
}
