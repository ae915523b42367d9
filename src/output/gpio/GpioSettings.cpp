#include "GpioSettings.h"

#include <QRegularExpression>
#include <QSettings>
#include <QStringList>

#include <algorithm>

namespace {

std::optional<int> offset(const QString& text) {
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,5}$"));
    if (!digits.match(text).hasMatch())
        return std::nullopt;
    const int value = text.toInt();
    if (value > GpioSettings::MaxOffset)
        return std::nullopt;
    return value;
}

} // namespace

int GpioSettings::drivenCount() const {
    return int(std::count_if(lines.begin(), lines.end(), [](int line) { return line != NotDriven; }));
}

std::optional<QString> GpioSettings::chipName(const QString& text) {
    static const QRegularExpression name(QStringLiteral("^(?:/dev/)?(gpiochip[0-9]{1,4})$"));
    const QRegularExpressionMatch match = name.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    return match.captured(1);
}

QString GpioSettings::problem(const std::array<int, ChannelCount>& lines) {
    for (int c = 0; c < ChannelCount; ++c) {
        if (lines[c] == NotDriven)
            continue;
        for (int d = 0; d < c; ++d) {
            if (lines[d] == lines[c])
                return QStringLiteral("A %1 számú vonal kétszer szerepel (%2. és %3. csatorna).")
                    .arg(lines[c])
                    .arg(d + 1)
                    .arg(c + 1);
        }
    }
    if (std::all_of(lines.begin(), lines.end(), [](int line) { return line == NotDriven; }))
        return QStringLiteral("Legalább egy csatornához meg kell adni egy GPIO-vonalat.");
    return {};
}

std::optional<std::array<int, GpioSettings::ChannelCount>> GpioSettings::parseLines(const QString& text,
                                                                                    QString* error) {
    const QStringList items = text.split(QLatin1Char(','));
    QString problemText;
    std::array<int, ChannelCount> result = filled(NotDriven);
    if (items.size() > ChannelCount) {
        problemText =
            QStringLiteral("Legfeljebb %1 vonal adható meg, nem %2.").arg(ChannelCount).arg(items.size());
    } else {
        for (int c = 0; c < items.size() && problemText.isEmpty(); ++c) {
            if (items[c].isEmpty())
                continue; // channel not driven
            if (const auto line = offset(items[c]))
                result[c] = *line;
            else
                problemText = QStringLiteral("A vonalak 0 és %1 közötti egész számok, nem „%2”.")
                                  .arg(MaxOffset)
                                  .arg(items[c]);
        }
    }
    if (problemText.isEmpty())
        problemText = problem(result);
    if (!problemText.isEmpty()) {
        if (error)
            *error = problemText;
        return std::nullopt;
    }
    return result;
}

std::optional<GpioSettings> GpioSettings::parse(const QString& value, QString* error) {
    const QStringList parts = value.split(QLatin1Char(':'));
    QString problemText;
    GpioSettings result;
    if (parts.first() != QLatin1String("gpio") || parts.size() < 3 || parts.size() > 4) {
        problemText = QStringLiteral("A GPIO-kimenethez meg kell adni a csipet és a vonalakat.");
    } else if (const auto chip = chipName(parts[1]); !chip) {
        problemText =
            QStringLiteral("A GPIO-csip neve gpiochipN vagy /dev/gpiochipN legyen, nem „%1”.").arg(parts[1]);
    } else if (parts.size() == 4 && parts[3] != QLatin1String("low")) {
        problemText = QStringLiteral("A vonalak után csak „:low” állhat, nem „:%1”.").arg(parts[3]);
    } else if (const auto lines = parseLines(parts[2], &problemText)) {
        result.chip = *chip;
        result.lines = *lines;
        result.activeLow = parts.size() == 4;
    }
    if (!problemText.isEmpty()) {
        if (error)
            *error = problemText + QLatin1Char(' ') + syntaxHelp();
        return std::nullopt;
    }
    return result;
}

QString GpioSettings::linesText() const {
    int last = ChannelCount - 1;
    while (last > 0 && lines[last] == NotDriven)
        --last;
    QStringList items;
    for (int c = 0; c <= last; ++c)
        items.append(lines[c] == NotDriven ? QString() : QString::number(lines[c]));
    return items.join(QLatin1Char(','));
}

QString GpioSettings::toString() const {
    return QStringLiteral("gpio:%1:%2%3")
        .arg(chip, linesText(), activeLow ? QStringLiteral(":low") : QString());
}

GpioSettings GpioSettings::load(QSettings& settings) {
    GpioSettings result;
    settings.beginGroup(QStringLiteral("output"));
    if (const auto chip = chipName(settings.value(QStringLiteral("gpioChip")).toString()))
        result.chip = *chip;
    if (const auto lines = parseLines(settings.value(QStringLiteral("gpioLines")).toString(), nullptr))
        result.lines = *lines;
    const QString activeLow = settings.value(QStringLiteral("gpioActiveLow")).toString();
    result.activeLow = activeLow == QLatin1String("true");
    settings.endGroup();
    return result;
}

void GpioSettings::save(QSettings& settings) const {
    settings.beginGroup(QStringLiteral("output"));
    settings.setValue(QStringLiteral("gpioChip"), chip);
    settings.setValue(QStringLiteral("gpioLines"), linesText());
    settings.setValue(QStringLiteral("gpioActiveLow"), activeLow);
    settings.endGroup();
}

QString GpioSettings::description() const {
    QString text = QStringLiteral("GPIO (%1, vonalak %2").arg(chip, linesText());
    if (activeLow)
        text += QStringLiteral(", aktív alacsony");
    return text + QLatin1Char(')');
}

QString GpioSettings::syntaxHelp() {
    return QStringLiteral(
        "A GPIO-kimenet alakja: gpio:CSIP:VONALAK[:low], például "
        "gpio:gpiochip0:17,18,27,22,23,24,25,4:low (legfeljebb 12 vonal, az 1. csatornáé az "
        "első; :low az aktív alacsony relékártyákhoz).");
}
