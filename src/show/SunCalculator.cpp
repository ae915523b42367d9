#include "SunCalculator.h"

#include <cmath>

namespace {

constexpr double Pi = 3.14159265358979323846;

double radians(double degrees) {
    return degrees * Pi / 180.0;
}

double degrees(double radians) {
    return radians * 180.0 / Pi;
}

struct SolarPosition {
    double declination;    // degrees
    double equationOfTime; // minutes
};

// t: Julian centuries since J2000.0.
SolarPosition solarPosition(double t) {
    const double meanLongitude = std::fmod(280.46646 + t * (36000.76983 + t * 0.0003032), 360.0);
    const double meanAnomaly = 357.52911 + t * (35999.05029 - 0.0001537 * t);
    const double eccentricity = 0.016708634 - t * (0.000042037 + 0.0000001267 * t);
    const double m = radians(meanAnomaly);
    const double centre = std::sin(m) * (1.914602 - t * (0.004817 + 0.000014 * t)) +
                          std::sin(2 * m) * (0.019993 - 0.000101 * t) + std::sin(3 * m) * 0.000289;
    const double omega = radians(125.04 - 1934.136 * t);
    const double apparentLongitude = meanLongitude + centre - 0.00569 - 0.00478 * std::sin(omega);
    const double seconds = 21.448 - t * (46.8150 + t * (0.00059 - t * 0.001813));
    const double meanObliquity = 23.0 + (26.0 + seconds / 60.0) / 60.0;
    const double obliquity = meanObliquity + 0.00256 * std::cos(omega);

    SolarPosition position{};
    position.declination =
        degrees(std::asin(std::sin(radians(obliquity)) * std::sin(radians(apparentLongitude))));
    double y = std::tan(radians(obliquity) / 2.0);
    y *= y;
    const double l0 = radians(meanLongitude);
    const double e = eccentricity;
    const double eq = y * std::sin(2 * l0) - 2 * e * std::sin(m) +
                      4 * e * y * std::sin(m) * std::cos(2 * l0) - 0.5 * y * y * std::sin(4 * l0) -
                      1.25 * e * e * std::sin(2 * m);
    position.equationOfTime = degrees(eq) * 4.0;
    return position;
}

// Minutes after 0h UTC of the Julian day jd0 (a midnight), or no value when the sun stays up or
// down; evaluated with the sun's position at julianDay.
std::optional<double> eventMinutes(SunCalculator::Event which, double julianDay, double latitude,
                                   double longitude) {
    const SolarPosition sun = solarPosition((julianDay - 2451545.0) / 36525.0);
    const double lat = radians(latitude);
    const double dec = radians(sun.declination);
    const double cosHourAngle =
        std::cos(radians(90.833)) / (std::cos(lat) * std::cos(dec)) - std::tan(lat) * std::tan(dec);
    if (cosHourAngle < -1.0 || cosHourAngle > 1.0)
        return std::nullopt;
    double hourAngle = degrees(std::acos(cosHourAngle));
    if (which == SunCalculator::Event::Sunset)
        hourAngle = -hourAngle;
    return 720.0 - 4.0 * (longitude + hourAngle) - sun.equationOfTime;
}

} // namespace

std::optional<qint64> SunCalculator::event(Event which, QDate localDate, double latitude, double longitude,
                                           int utcOffsetSeconds) {
    // The local date's noon in UTC decides which UTC day the computation starts from, so that the
    // event found is the one of the local date also far east or west of Greenwich.
    const qint64 localNoonUtc = (localDate.toJulianDay() - 2440588) * 86400 + 12 * 3600 - utcOffsetSeconds;
    const qint64 utcDay = localNoonUtc >= 0 ? localNoonUtc / 86400 : (localNoonUtc - 86399) / 86400;
    const double midnight = double(utcDay) + 2440587.5; // Julian day at 0h UTC
    // As NOAA's calculator: once at the day's start, then again at the moment found.
    const std::optional<double> first = eventMinutes(which, midnight, latitude, longitude);
    if (!first)
        return std::nullopt;
    const std::optional<double> refined =
        eventMinutes(which, midnight + *first / 1440.0, latitude, longitude);
    if (!refined)
        return std::nullopt;
    return utcDay * 86400 + qint64(std::llround(*refined * 60.0));
}
