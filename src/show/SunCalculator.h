#pragma once

#include <QDate>

#include <optional>

// Sunrise and sunset by NOAA's solar calculator (the equations after Meeus that NOAA publishes):
// the upper limb at the horizon with standard refraction, i.e. the centre 0.833° below it.
// Agrees with NOAA's calculator to well within a minute between the polar circles.
namespace SunCalculator {

enum class Event { Sunrise, Sunset };

// The moment of the event on the given local date at a place (degrees, north and east positive),
// in seconds since the epoch (UTC), to the second. No value when the sun does not rise or set on
// that day there (polar day or night). utcOffsetSeconds is the place's offset that day, used only
// to pick the event that falls on the local date.
std::optional<qint64> event(Event which, QDate localDate, double latitude, double longitude,
                            int utcOffsetSeconds);

} // namespace SunCalculator
