#include "ScreenOutput.h"

#include "ScreenOnlyPort.h"
#include "output/OutputChoice.h"

bool ScreenOutput::parse(const std::optional<QString>& arguments, OutputSettings&, QString* error) const {
    if (arguments)
        *error = QStringLiteral("A screen kimenetnek nincs paramétere.");
    return !arguments;
}

QList<OutputEntry> ScreenOutput::entries(const OutputChoice& current) const {
    return {{QStringLiteral("Csak képernyő"), QStringLiteral("screen"), {}, current.kind == name(), false}};
}

std::unique_ptr<Port> ScreenOutput::createPort(const OutputSettings&) const {
    return std::make_unique<ScreenOnlyPort>();
}

QString ScreenOutput::description(const OutputSettings&) const {
    return QStringLiteral("csak képernyő (nem ír ki semmit)");
}

QList<OutputListing> ScreenOutput::listings(const OutputSettings&, QStringList*) const {
    return {{QStringLiteral("--output screen"), QStringLiteral("csak képernyő (nem ír ki semmit)")}};
}
