#pragma once

#include "OutputBackend.h"

#include <vector>

// Every output the build has, in their order; the list is made from the ktr_register_output()
// lines of the outputs' folders.
namespace OutputRegistry {
const std::vector<const OutputBackend*>& all();
// nullptr for a name no output has.
const OutputBackend* find(const QString& name);
} // namespace OutputRegistry
