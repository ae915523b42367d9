#include "PlayerOptions.h"

#include "effects/EffectFile.h"

#include <QCommandLineParser>
#include <QFileInfo>

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
               " [--speed EZREDMÁSODPERC] [--web [CÍM:]PORT] [--web-key-file FÁJL]\n"
               "       ktr --play MŰSOR.show [--output KIMENET] [--preview NAPOK]\nA KIMENET lehet: ") +
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
    const QCommandLineOption preview(QStringLiteral("preview"), QString(), QStringLiteral("days"));
    parser.addOptions({play, speed, preview});
    parser.addOptions(OutputChoice::commandLineOptions());
    parser.addOptions(WebOptions::commandLineOptions());
    if (!parser.parse(arguments) || !parser.positionalArguments().isEmpty() || !parser.isSet(play) ||
        parser.values(play).size() != 1) {
        error = QStringLiteral("Hibás parancssor.\n") + usage();
        return false;
    }
    options = PlayerOptions();
    options.file = parser.value(play);
    // The service names its show without an extension: NAME.show when there is one, else NAME.eff.
    if (!options.file.isEmpty() && !QFileInfo::exists(options.file) &&
        !options.file.endsWith(QLatin1String(".eff"), Qt::CaseInsensitive) &&
        !options.file.endsWith(QLatin1String(".show"), Qt::CaseInsensitive)) {
        const QString show = options.file + QStringLiteral(".show");
        options.file = QFileInfo::exists(show) ? show : options.file + QStringLiteral(".eff");
    }
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
    if (parser.isSet(preview)) {
        bool number = false;
        const int days = parser.value(preview).trimmed().toInt(&number);
        if (!number || days < 1 || days > MaxPreviewDays) {
            error = QStringLiteral("Az előnézet (--preview) 1 és %1 közötti napok száma, nem „%2”.")
                        .arg(MaxPreviewDays)
                        .arg(parser.value(preview));
            return false;
        }
        options.previewDays = days;
    }
    const bool show = options.file.endsWith(QLatin1String(".show"), Qt::CaseInsensitive);
    if (options.previewDays && !show) {
        error = QStringLiteral(
            "Az előnézet (--preview) egy műsorfájl (.show) ütemezését mutatja, effektfájlét nem.");
        return false;
    }
    if (options.speed && show) {
        error = QStringLiteral("Műsorfájlnál a --speed nem használható: a sebességet az Effect= sorok adják, "
                               "vagy az effektfájl.");
        return false;
    }
    if (options.file.isEmpty()) {
        error = QStringLiteral("Hiányzik a lejátszandó effektfájl neve.\n") + usage();
        return false;
    }
    return true;
}
