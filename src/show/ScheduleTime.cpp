#include "ScheduleTime.h"

namespace {

constexpr int MaxSunOffset = 12 * 60;

void skipSpaces(QStringView text, qsizetype& pos) {
    while (pos < text.size() && text[pos].isSpace())
        ++pos;
}

// H:MM or HH:MM; hours up to maxHours. Moves pos past it only when it matches.
std::optional<int> readClock(QStringView text, qsizetype& pos, int maxHours) {
    qsizetype at = pos;
    int hours = 0;
    int digits = 0;
    while (at < text.size() && text[at].isDigit() && digits < 2) {
        hours = hours * 10 + text[at].digitValue();
        ++at;
        ++digits;
    }
    if (digits == 0 || at + 2 >= text.size() || text[at] != u':' || !text[at + 1].isDigit() ||
        !text[at + 2].isDigit())
        return std::nullopt;
    const int minutes = text[at + 1].digitValue() * 10 + text[at + 2].digitValue();
    at += 3;
    if (at < text.size() && text[at].isDigit())
        return std::nullopt;
    if (minutes > 59 || hours > maxHours || (hours == maxHours && minutes > 0))
        return std::nullopt;
    pos = at;
    return hours * 60 + minutes;
}

bool readWord(QStringView text, qsizetype& pos, QLatin1String word) {
    if (text.size() - pos < word.size() || text.mid(pos, word.size()).compare(word, Qt::CaseInsensitive) != 0)
        return false;
    pos += word.size();
    return true;
}

// One time at pos. A sun time takes an offset only when withOffset is set, so that the caller can
// try "sunset-0:30" both as an offset and as a time followed by the separator.
std::optional<ScheduleTime> readTime(QStringView text, qsizetype& pos, bool withOffset, bool asEnd) {
    qsizetype at = pos;
    ScheduleTime time;
    const bool sunrise = readWord(text, at, QLatin1String("sunrise"));
    if (sunrise || readWord(text, at, QLatin1String("sunset"))) {
        time.kind = sunrise ? ScheduleTime::Kind::Sunrise : ScheduleTime::Kind::Sunset;
        if (withOffset) {
            if (at >= text.size() || (text[at] != u'+' && text[at] != u'-'))
                return std::nullopt;
            const int sign = text[at] == u'-' ? -1 : 1;
            ++at;
            const std::optional<int> offset = readClock(text, at, MaxSunOffset / 60);
            if (!offset)
                return std::nullopt;
            time.minutes = sign * *offset;
        }
    } else {
        const std::optional<int> clock = readClock(text, at, asEnd ? 24 : 23);
        if (!clock)
            return std::nullopt;
        time.minutes = *clock;
    }
    pos = at;
    return time;
}

} // namespace

QString ScheduleTime::text() const {
    if (kind == Kind::Clock)
        return QStringLiteral("%1:%2")
            .arg(minutes / 60, 2, 10, QLatin1Char('0'))
            .arg(minutes % 60, 2, 10, QLatin1Char('0'));
    const QString name = kind == Kind::Sunrise ? QStringLiteral("sunrise") : QStringLiteral("sunset");
    if (minutes == 0)
        return name;
    return QStringLiteral("%1%2%3:%4")
        .arg(name, minutes < 0 ? QStringLiteral("-") : QStringLiteral("+"))
        .arg(qAbs(minutes) / 60)
        .arg(qAbs(minutes) % 60, 2, 10, QLatin1Char('0'));
}

bool ScheduleTime::parseSpan(QStringView text, ScheduleTime& start, ScheduleTime& end, QString& error) {
    const QString expected = QStringLiteral(
        "várt: KEZDET-VÉG, mindkettő ÓÓ:PP helyi idő (a vég lehet 24:00), vagy sunrise/sunset eltolással "
        "(sunset-0:30, sunrise+1:00; legfeljebb 12 óra)");
    // A sun time at the start may or may not carry an offset; try the longer reading first.
    for (const bool startOffset : {true, false}) {
        qsizetype pos = 0;
        skipSpaces(text, pos);
        const std::optional<ScheduleTime> first = readTime(text, pos, startOffset, false);
        if (!first)
            continue;
        skipSpaces(text, pos);
        if (pos >= text.size() || text[pos] != u'-')
            continue;
        ++pos;
        skipSpaces(text, pos);
        for (const bool endOffset : {true, false}) {
            qsizetype at = pos;
            const std::optional<ScheduleTime> second = readTime(text, at, endOffset, true);
            if (!second)
                continue;
            skipSpaces(text, at);
            if (at != text.size())
                continue;
            if (*first == *second) {
                error = QStringLiteral(
                            "a kezdet és a vég ugyanaz (%1): az ablak üres lenne; egész napra: 00:00-24:00.")
                            .arg(first->text());
                return false;
            }
            start = *first;
            end = *second;
            return true;
        }
    }
    error = QStringLiteral("„%1” nem időtartomány; %2.").arg(text.toString().trimmed(), expected);
    return false;
}
