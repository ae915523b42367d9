#include "GpioSettings.h"

#include <QRegularExpression>
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

std::optional<GpioSettings> GpioSettings::parse(const QString& arguments, QString* error) {
    const QStringList parts = arguments.split(QLatin1Char(':'));
    QString problemText;
    GpioSettings result;
    if (parts.size() < 2 || parts.size() > 3) {
        problemText = QStringLiteral("A GPIO-kimenethez meg kell adni a csipet és a vonalakat, például "
                                     "gpio:gpiochip0:17,18,27,22:low.");
    } else if (const auto chip = chipName(parts[0]); !chip) {
        problemText =
            QStringLiteral("A GPIO-csip neve gpiochipN vagy /dev/gpiochipN legyen, nem „%1”.").arg(parts[0]);
    } else if (parts.size() == 3 && parts[2] != QLatin1String("low")) {
        problemText = QStringLiteral("A vonalak után csak „:low” állhat, nem „:%1”.").arg(parts[2]);
    } else if (const auto lines = parseLines(parts[1], &problemText)) {
        result.chip = *chip;
        result.lines = *lines;
        result.activeLow = parts.size() == 3;
    }
    if (!problemText.isEmpty()) {
        if (error)
            *error = problemText;
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

GpioSettings GpioSettings::from(const OutputSettings& settings) {
    GpioSettings result;
    if (const auto chip = chipName(settings.value(ChipKey)))
        result.chip = *chip;
    if (const auto lines = parseLines(settings.value(LinesKey), nullptr))
        result.lines = *lines;
    result.activeLow = settings.value(ActiveLowKey) == QLatin1String("true");
    return result;
}

void GpioSettings::storeIn(OutputSettings& settings) const {
    settings[ChipKey] = chip;
    settings[LinesKey] = linesText();
    settings[ActiveLowKey] = activeLow ? QStringLiteral("true") : QStringLiteral("false");
}

bool GpioSettings::validSetting(const QString& key, const QString& value) {
    if (key == ChipKey)
        return chipName(value).has_value();
    if (key == LinesKey)
        return parseLines(value, nullptr).has_value();
    if (key == ActiveLowKey)
        return value == QLatin1String("true") || value == QLatin1String("false");
    return false;
}

QString GpioSettings::description() const {
    QString text = QStringLiteral("GPIO (%1, vonalak %2").arg(chip, linesText());
    if (activeLow)
        text += QStringLiteral(", aktív alacsony");
    return text + QLatin1Char(')');
}
