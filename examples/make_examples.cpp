// Writes the example effects with the program's own effect writer.
//
//   ktr_make_examples DIRECTORY          writes the .eff files into DIRECTORY
//   ktr_make_examples --check DIRECTORY  fails when a file there differs from what it would write

#include "effects/EffectFile.h"
#include "output/Module1.h"
#include "output/StepPattern.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QList>
#include <QString>

#include <cstdio>
#include <cstring>
#include <functional>

namespace {

class Grid : public StepPattern {
public:
    int channelBox(int step, int channel) const override { return channels[step - 1][channel - 1]; }
    void setChannelBox(int step, int channel, int value) override { channels[step - 1][channel - 1] = value; }
    int enableBox(int step) const override { return enables[step - 1]; }
    void setEnableBox(int step, int value) override { enables[step - 1] = value; }
    void setHighlight(int, bool) override {}

    void light(int step, int first, int last) {
        for (int channel = first; channel <= last; ++channel)
            setChannelBox(step, channel, 1);
    }
    void enable(int first, int last) {
        for (int step = first; step <= last; ++step)
            setEnableBox(step, 1);
    }

    std::array<std::array<int, ChannelCount>, StepCount> channels{};
    std::array<int, StepCount> enables{};
};

struct Example {
    const char* file;
    qint16 speed;
    std::function<void(Grid&)> draw;
};

const QList<Example> Examples = {
    // One light runs from channel 1 to 12.
    {"futofeny.eff", 100,
     [](Grid& g) {
         for (int step = 1; step <= ChannelCount; ++step)
             g.light(step, step, step);
         g.enable(1, ChannelCount);
     }},
    // One light sweeps to the right end and back: 12 steps out, 10 back, and round again.
    {"oda-vissza.eff", 60,
     [](Grid& g) {
         for (int step = 1; step <= StepCount; ++step) {
             const int channel = step <= ChannelCount ? step : 2 * ChannelCount - step; // 1..12, 11..2
             g.light(step, channel, channel);
         }
         g.enable(1, StepCount);
     }},
    // Lights come on one by one from the left and go out again from the right.
    {"feltoltes-urites.eff", 80,
     [](Grid& g) {
         for (int step = 1; step <= StepCount; ++step)
             g.light(step, 1, step <= 12 ? step : 24 - step);
         g.enable(1, StepCount);
     }},
    // The left and the right half of the channels take turns.
    {"valtakozo-felek.eff", 400,
     [](Grid& g) {
         g.light(1, 1, 6);
         g.light(2, 7, 12);
         g.enable(1, 2);
     }},
    // Three scattered lights a step, from a fixed pseudo-random sequence so the file never changes.
    {"szikrazas.eff", 50,
     [](Grid& g) {
         quint32 state = 2003;
         auto next = [&state] {
             state = state * 1103515245u + 12345u;
             return int(state >> 16 & 0x7fff);
         };
         for (int step = 1; step <= StepCount; ++step) {
             for (int lit = 0; lit < 3;) {
                 const int channel = 1 + next() % ChannelCount;
                 if (g.channelBox(step, channel) == 0) {
                     g.light(step, channel, channel);
                     ++lit;
                 }
             }
         }
         g.enable(1, StepCount);
     }},
};

QByteArray bytesOf(const Example& example) {
    Grid grid;
    example.draw(grid);
    Module1 module;
    return writeEffect(grid, example.speed, module);
}

} // namespace

int main(int argc, char* argv[]) {
    const bool check = argc == 3 && !std::strcmp(argv[1], "--check");
    if (argc != 2 && !check) {
        std::fprintf(stderr, "usage: %s [--check] DIRECTORY\n", argv[0]);
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[argc - 1]));
    int faults = 0;
    for (const Example& example : Examples) {
        const QString path = dir.filePath(QString::fromLatin1(example.file));
        QFile file(path);
        const QByteArray bytes = bytesOf(example);
        if (check) {
            if (!file.open(QIODevice::ReadOnly) || file.readAll() != bytes) {
                std::fprintf(stderr, "%s is missing or out of date\n", qPrintable(path));
                ++faults;
            }
        } else if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            ++faults;
        }
    }
    return faults ? 1 : 0;
}
