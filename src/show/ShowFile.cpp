#include "ShowFile.h"

#include "player/PlayerFile.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

constexpr qint64 MaxDurationMs = 24LL * 3600 * 1000;
constexpr int MaxRounds = 100000;

QString shownName(const QString& path) {
    return QStringLiteral("„%1”").arg(QDir::toNativeSeparators(path));
}

QString refusal(const QString& path, int line, const QString& what) {
    return QStringLiteral("Hibás műsorfájl: %1\n%2. sor: %3").arg(shownName(path)).arg(line).arg(what);
}

const QString EffectSyntax =
    QStringLiteral("várt: Effect=FÁJL IDŐTARTAM [SEBESSÉG], például Effect=futofeny.eff 1m vagy "
                   "Effect=oda-vissza.eff 4x 80ms "
                   "(időtartam: 45s, 2m, 1h, 1m30s, vagy körök száma: 4x; sebesség: %1–%2 ms)");

// 45s, 2m, 1h, 1m30s, 1h30m: milliseconds; 4x: rounds.
bool readDuration(const QString& token, qint64& ms, int& rounds) {
    static const QRegularExpression roundsForm(QStringLiteral("^(\\d{1,6})x$"));
    static const QRegularExpression timeForm(
        QStringLiteral("^(?:(\\d{1,3})h)?(?:(\\d{1,5})m)?(?:(\\d{1,6})s)?$"));
    if (const QRegularExpressionMatch m = roundsForm.match(token); m.hasMatch()) {
        rounds = m.captured(1).toInt();
        ms = 0;
        return true;
    }
    const QRegularExpressionMatch m = timeForm.match(token);
    if (!m.hasMatch() || token.isEmpty())
        return false;
    ms = ((m.captured(1).toLongLong() * 60 + m.captured(2).toLongLong()) * 60 + m.captured(3).toLongLong()) *
         1000;
    rounds = 0;
    return true;
}

bool readSpeed(const QString& token, int& speed) {
    static const QRegularExpression form(QStringLiteral("^(\\d{1,6})(?:ms)?$"));
    const QRegularExpressionMatch m = form.match(token);
    if (!m.hasMatch())
        return false;
    speed = m.captured(1).toInt();
    return true;
}

std::optional<PlaylistEntry> readEffectLine(const QString& value, const QString& folder, QString& error) {
    const QString syntax = EffectSyntax.arg(SpeedMin).arg(SpeedMax);
    const QStringList tokens = value.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    PlaylistEntry entry;
    qint64 ms = 0;
    int rounds = 0;
    int speed = 0;
    int used = 0; // tokens taken from the end
    if (tokens.size() >= 2 && readDuration(tokens.last(), ms, rounds)) {
        used = 1;
    } else if (tokens.size() >= 3 && readSpeed(tokens.last(), speed) &&
               readDuration(tokens[tokens.size() - 2], ms, rounds)) {
        used = 2;
        if (speed < SpeedMin || speed > SpeedMax) {
            error = QStringLiteral("a sebesség (%1) nincs %2 és %3 ms között.")
                        .arg(tokens.last())
                        .arg(SpeedMin)
                        .arg(SpeedMax);
            return std::nullopt;
        }
        entry.speed = speed;
    } else {
        error = QStringLiteral("„%1” nem értelmezhető; %2.").arg(value, syntax);
        return std::nullopt;
    }
    if (rounds == 0 && ms == 0) {
        error = QStringLiteral("az időtartam nulla; %1.").arg(syntax);
        return std::nullopt;
    }
    if (rounds > MaxRounds || ms > MaxDurationMs) {
        error = QStringLiteral("az időtartam („%1”) túl hosszú: legfeljebb 24 óra vagy %2 kör.")
                    .arg(tokens[tokens.size() - used])
                    .arg(MaxRounds);
        return std::nullopt;
    }
    entry.durationMs = ms;
    entry.rounds = rounds;
    // The name is what comes before the duration, spaces inside it kept.
    QString rest = value;
    for (int i = 0; i < used; ++i)
        rest = rest.left(rest.lastIndexOf(tokens[tokens.size() - 1 - i]));
    const QString name = rest.trimmed();
    entry.file = QDir::cleanPath(QDir(folder).absoluteFilePath(name));
    entry.written = name;
    return entry;
}

std::optional<GeoPoint> readLocation(const QString& value, QString& error) {
    static const QRegularExpression form(
        QStringLiteral("^\\s*([-+]?\\d{1,3}(?:\\.\\d+)?)\\s*[,\\s]\\s*([-+]?\\d{1,3}(?:\\.\\d+)?)\\s*$"));
    const QRegularExpressionMatch m = form.match(value);
    const QString expected = QStringLiteral("várt: Location=SZÉLESSÉG HOSSZÚSÁG fokban, tizedesponttal, "
                                            "észak és kelet pozitív (Budapest: 47.50 19.04)");
    if (!m.hasMatch()) {
        error = QStringLiteral("„%1” nem hely; %2.").arg(value, expected);
        return std::nullopt;
    }
    GeoPoint point{m.captured(1).toDouble(), m.captured(2).toDouble()};
    if (qAbs(point.latitude) > 90 || qAbs(point.longitude) > 180) {
        error = QStringLiteral("„%1”: a szélesség −90 és 90, a hosszúság −180 és 180 fok között van; %2.")
                    .arg(value, expected);
        return std::nullopt;
    }
    return point;
}

} // namespace

QString PlaylistEntry::fileName() const {
    return QFileInfo(file).fileName();
}

bool isShowPath(const QString& path) {
    return path.endsWith(QLatin1String(".show"), Qt::CaseInsensitive);
}

ShowParseResult parseShow(const QByteArray& bytes, const QString& path) {
    enum class Section { None, Playlist, Schedule };
    const QString folder = QFileInfo(path).absolutePath();
    Show show;
    show.path = path;
    Section section = Section::None;
    int locationLine = 0;
    int clockWaitLine = 0;
    int firstSunLine = 0;
    const auto fail = [&path](int line, const QString& what) {
        return ShowParseResult{std::nullopt, refusal(path, line, what)};
    };

    QString text = QString::fromUtf8(bytes);
    if (text.startsWith(QChar(0xfeff)))
        text.remove(0, 1);
    if (text.contains(QChar::ReplacementCharacter))
        return {std::nullopt,
                QStringLiteral("Hibás műsorfájl: %1\nA fájl nem UTF-8 szöveg.").arg(shownName(path))};
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int index = 0; index < lines.size(); ++index) {
        const int number = index + 1;
        QString line = lines[index];
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            if (line.compare(QLatin1String("[Playlist]"), Qt::CaseInsensitive) == 0)
                section = Section::Playlist;
            else if (line.compare(QLatin1String("[Schedule]"), Qt::CaseInsensitive) == 0)
                section = Section::Schedule;
            else
                return fail(
                    number,
                    QStringLiteral("ismeretlen szakasz: „%1”; várt: [Playlist] vagy [Schedule].").arg(line));
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals < 0)
            return fail(number,
                        QStringLiteral("„%1” nem KULCS=ÉRTÉK sor; várt: Effect=…, When=…, Location=… vagy "
                                       "ClockWait=…")
                            .arg(line));
        const QString key = line.left(equals).trimmed();
        const QString value = line.mid(equals + 1).trimmed();
        const auto is = [&key](const char* name) {
            return key.compare(QLatin1String(name), Qt::CaseInsensitive) == 0;
        };
        if (section == Section::None)
            return fail(number,
                        QStringLiteral("a(z) „%1” sor szakaszon kívül áll; várt előtte: [Playlist] vagy "
                                       "[Schedule].")
                            .arg(line));
        QString error;
        if (section == Section::Playlist) {
            if (!is("Effect"))
                return fail(number,
                            QStringLiteral("ismeretlen kulcs a [Playlist] szakaszban: „%1”; várt: Effect=.")
                                .arg(key));
            std::optional<PlaylistEntry> entry = readEffectLine(value, folder, error);
            if (!entry)
                return fail(number, error);
            entry->line = number;
            show.playlist.append(*entry);
        } else if (is("When")) {
            ScheduleRule rule;
            const qsizetype space = value.indexOf(QRegularExpression(QStringLiteral("\\s")));
            if (space < 0)
                return fail(number,
                            QStringLiteral(
                                "„%1”: a napok után hiányzik az időtartomány; várt: When=NAPOK KEZDET-VÉG, "
                                "például When=Mon..Fri 17:00-23:00.")
                                .arg(value));
            const std::optional<DaySet> days = DaySet::parse(value.left(space), error);
            if (!days)
                return fail(number, error);
            if (!ScheduleTime::parseSpan(QStringView(value).mid(space), rule.start, rule.end, error))
                return fail(number, error);
            rule.days = *days;
            rule.line = number;
            rule.written = value;
            if (!firstSunLine && (rule.start.isSun() || rule.end.isSun()))
                firstSunLine = number;
            show.schedule.append(rule);
        } else if (is("Location")) {
            if (locationLine)
                return fail(number,
                            QStringLiteral("a Location= már szerepelt a(z) %1. sorban.").arg(locationLine));
            show.location = readLocation(value, error);
            if (!show.location)
                return fail(number, error);
            locationLine = number;
        } else if (is("ClockWait")) {
            if (clockWaitLine)
                return fail(number,
                            QStringLiteral("a ClockWait= már szerepelt a(z) %1. sorban.").arg(clockWaitLine));
            bool ok = false;
            show.clockWait = value.toInt(&ok);
            if (!ok || show.clockWait < 0 || show.clockWait > Show::MaxClockWait)
                return fail(number,
                            QStringLiteral("„%1”: várt: ClockWait=MÁSODPERC, 0 és %2 közötti egész szám.")
                                .arg(value)
                                .arg(Show::MaxClockWait));
            clockWaitLine = number;
        } else {
            return fail(number, QStringLiteral(
                                    "ismeretlen kulcs a [Schedule] szakaszban: „%1”; várt: When=, Location= "
                                    "vagy ClockWait=.")
                                    .arg(key));
        }
    }
    if (show.playlist.isEmpty())
        return {std::nullopt,
                QStringLiteral("Hibás műsorfájl: %1\nNincs egy Effect= sor sem: a [Playlist] szakasz "
                               "legalább egy effektet vár, például Effect=futofeny.eff 1m.")
                    .arg(shownName(path))};
    if (firstSunLine && !show.location)
        return fail(firstSunLine, QStringLiteral("a napkeltéhez és a napnyugtához a hely is kell: várt egy "
                                                 "Location=SZÉLESSÉG HOSSZÚSÁG sor a [Schedule] szakaszban "
                                                 "(Budapest: Location=47.50 19.04)."));
    return {show, QString()};
}

std::optional<Show> readShowFile(const QString& path, QString& error, const ReadPause& pause) {
    QByteArray bytes;
    if (!loadEffectBytes(path, bytes, error))
        return std::nullopt;
    if (bytes.size() > MaxEffectFileSize) {
        error = QStringLiteral("Hibás műsorfájl: %1\nA fájl nagyobb %2 KiB-nál; egy műsorfájl néhány sor.")
                    .arg(shownName(path))
                    .arg(MaxEffectFileSize / 1024);
        return std::nullopt;
    }
    ShowParseResult result = parseShow(bytes, path);
    if (!result.show) {
        error = result.error;
        return std::nullopt;
    }
    for (const PlaylistEntry& entry : result.show->playlist) {
        QString effectError;
        const std::optional<Effect> effect = readEffectFile(entry.file, effectError, pause);
        if (!effect) {
            error = refusal(
                path, entry.line,
                QStringLiteral("a(z) „%1” effekt nem játszható le:\n%2").arg(entry.written, effectError));
            return std::nullopt;
        }
        bool anyEnabled = false;
        for (int step = 1; step <= StepCount; ++step)
            anyEnabled = anyEnabled || effect->grid.enabled(step);
        if (entry.rounds > 0 && !anyEnabled) {
            error = refusal(path, entry.line,
                            QStringLiteral("a(z) „%1” effektnek nincs bekapcsolt lépése, így a körei "
                                           "nem számolhatók; várt: időtartam (például 1m).")
                                .arg(entry.written));
            return std::nullopt;
        }
    }
    return result.show;
}
