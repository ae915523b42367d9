#pragma once

#include <QString>

#include <memory>
#include <vector>

// The few libgpiod calls the GPIO output makes. libgpiod 1.6 and 2.x differ in every one of them,
// so the build compiles either GpioChipV1.cpp or GpioChipV2.cpp behind this one interface.
// Levels are physical (1 drives the line high): the output inverts for active-low boards itself,
// so neither library's active-low flag can invert the values given at the request.
class GpioChip {
public:
    virtual ~GpioChip() = default;

    // Opens the chip's character device; nullptr with errno set when that fails.
    static std::unique_ptr<GpioChip> open(const QString& path);
    // "libgpiod 1.6.3": the library the build uses.
    static QString libraryVersion();

    virtual QString label() const = 0;
    virtual int lineCount() const = 0;
    // Who holds the line, from the line's info; empty when it is free or the info cannot be read.
    virtual QString consumer(unsigned offset) const = 0;
    // Requests the lines as outputs for the consumer "ktr", starting at the given levels, in one
    // request. false with errno set when that fails (EBUSY when another consumer holds a line).
    virtual bool request(const std::vector<unsigned>& offsets, const std::vector<int>& levels) = 0;
    // Sets every requested line at once, in the order of the request.
    virtual bool setLevels(const std::vector<int>& levels) = 0;
    // Gives the lines back; the chip stays open.
    virtual void release() = 0;
};
