#include "OutputRegistry.h"

const OutputBackend* OutputRegistry::find(const QString& name) {
    for (const OutputBackend* backend : all()) {
        if (backend->name() == name)
            return backend;
    }
    return nullptr;
}
