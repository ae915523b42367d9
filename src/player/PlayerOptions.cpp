#include "PlayerOptions.h"

#include "effects/EffectFile.h"

#include <QCommandLineParser>

#include <cstring>

namespace {

QString usage() {
    return QStringLiteral(
        "Használat: ktr --play FÁJL.eff [--output parport[:ESZKÖZ]|ola[:UNIVERZUM[:CÍM]]|screen] "
        "[--ola-port PORT] [--ola-patch ESZKÖZ:PORT] [--speed EZREDMÁSODPERC]");
}

} // namespace

bool PlayerOptions::requested(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--play") || !std::strncmp(argv[i], "--play=", 7))
            return true;
    }
    return false;
}

bool PlayerOptions::parse(const QStringList& arguments, PlayerOptions& options, QString& error) {
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption play(QStringLiteral("play"), QString(), QStringLiteral("file"));
    const QCommandLineOption output(QStringLiteral("output"), QString(), QStringLiteral("kimenet"));
    const QCommandLineOption olaPort(QStringLiteral("ola-port"), QString(), QStringLiteral("port"));
    const QCommandLineOption olaPatch(QStringLiteral("ola-patch"), QString(), QStringLiteral("patch"));
    const QCommandLineOption speed(QStringLiteral("speed"), QString(), QStringLiteral("ms"));
    parser.addOptions({play, output, olaPort, olaPatch, speed});
    if (!parser.parse(arguments) || !parser.positionalArguments().isEmpty() || !parser.isSet(play) ||
        parser.values(play).size() != 1) {
        error = QStringLiteral("Hibás parancssor.\n") + usage();
        return false;
    }
    options = PlayerOptions();
    options.file = parser.value(play);
    options.output = parser.value(output);
    options.olaPort = parser.value(olaPort);
    options.olaPatch = parser.value(olaPatch);
    if (parser.isSet(speed)) {
        bool number = false;
        const int value = parser.value(speed).trimmed().toInt(&number);
        if (!number || value < SpeedMin || value > SpeedMax) {
            error = QStringLiteral("A sebesség (--speed) %1 és %2 közötti egész szám (ezredmásodperc), "
                                   "nem „%3”.")
                        .arg(SpeedMin)
                        .arg(SpeedMax)
                        .arg(parser.value(speed));
            return false;
        }
        options.speed = value;
    }
    if (options.file.isEmpty()) {
        error = QStringLiteral("Hiányzik a lejátszandó effektfájl neve.\n") + usage();
        return false;
    }
    return true;
}
