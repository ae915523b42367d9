#include "PlayerOptions.h"

#include "effects/EffectFile.h"

#include <QCommandLineParser>

#include <cstring>

namespace {

QString usage() {
    QString text = QStringLiteral("Használat: ktr --play FÁJL.eff [--output KIMENET]");
    for (const QCommandLineOption& option : OutputChoice::commandLineOptions()) {
        if (option.names().constFirst() != QLatin1String("output"))
            text +=
                QStringLiteral(" [--%1 %2]").arg(option.names().constFirst(), option.valueName().toUpper());
    }
    return text +
           QStringLiteral(
               " [--speed EZREDMÁSODPERC] [--web [CÍM:]PORT] [--web-key-file FÁJL]\nA KIMENET lehet: ") +
           OutputChoice::outputForms() + QLatin1Char('.');
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
    const QCommandLineOption speed(QStringLiteral("speed"), QString(), QStringLiteral("ms"));
    parser.addOptions({play, speed});
    parser.addOptions(OutputChoice::commandLineOptions());
    parser.addOptions(WebOptions::commandLineOptions());
    if (!parser.parse(arguments) || !parser.positionalArguments().isEmpty() || !parser.isSet(play) ||
        parser.values(play).size() != 1) {
        error = QStringLiteral("Hibás parancssor.\n") + usage();
        return false;
    }
    options = PlayerOptions();
    options.file = parser.value(play);
    if (!options.output.applyCommandLine(parser, &error) || !options.web.applyCommandLine(parser, &error))
        return false;
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
