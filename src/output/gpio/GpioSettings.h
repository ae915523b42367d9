#pragma once

#include "output/OutputBackend.h"

#include <QString>

#include <array>
#include <optional>

// Which GPIO lines the twelve channels drive: `gpio:CHIP:LINES[:low]` on the command line, the keys
// gpioChip, gpioLines and gpioActiveLow of the output settings (and of group "output" in ktr.ini).
struct GpioSettings {
    static constexpr int ChannelCount = 12;
    static constexpr int NotDriven = -1;
    static constexpr int MaxOffset = 65535;

    QString chip = QStringLiteral("gpiochip0");              // always "gpiochipN"
    std::array<int, ChannelCount> lines = filled(NotDriven); // channel 1 first
    bool activeLow = false;                                  // an "on" channel drives its line low

    bool operator==(const GpioSettings& other) const {
        return chip == other.chip && lines == other.lines && activeLow == other.activeLow;
    }
    bool operator!=(const GpioSettings& other) const { return !(*this == other); }

    QString chipPath() const { return QStringLiteral("/dev/") + chip; }
    int drivenCount() const;

    static inline const QString ChipKey = QStringLiteral("gpioChip");
    static inline const QString LinesKey = QStringLiteral("gpioLines");
    static inline const QString ActiveLowKey = QStringLiteral("gpioActiveLow");

    // "CHIP:LINES[:low]", what follows "gpio:". LINES are offsets separated by commas; an empty
    // item leaves its channel undriven. Returns nothing and sets error (Hungarian) when malformed.
    static std::optional<GpioSettings> parse(const QString& arguments, QString* error);
    // "gpio:CHIP:LINES[:low]"
    QString toString() const;
    // "gpiochipN" or "/dev/gpiochipN" as "gpiochipN".
    static std::optional<QString> chipName(const QString& text);
    // The LINES part alone, as parse() reads it and toString() writes it.
    static std::optional<std::array<int, ChannelCount>> parseLines(const QString& text, QString* error);
    QString linesText() const;
    // Checks that at least one channel is driven and no line is given twice.
    static QString problem(const std::array<int, ChannelCount>& lines);

    // Values that do not parse fall back to the defaults, key by key.
    static GpioSettings from(const OutputSettings& settings);
    void storeIn(OutputSettings& settings) const;
    static bool validSetting(const QString& key, const QString& value);

    // For the player and the menu: "GPIO (gpiochip0, vonalak 17,18, aktív alacsony)".
    QString description() const;

private:
    static constexpr std::array<int, ChannelCount> filled(int value) {
        std::array<int, ChannelCount> result{};
        for (int& item : result)
            item = value;
        return result;
    }
};
