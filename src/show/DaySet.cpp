#include "DaySet.h"

#include <QStringList>

namespace {

const char* const WeekdayNames[] = {"mon", "tue", "wed", "thu", "fri", "sat", "sun"};

// 1 (Monday) … 7, or 0.
int weekdayNumber(const QString& name) {
    for (int day = 0; day < 7; ++day) {
        if (name.compare(QLatin1String(WeekdayNames[day]), Qt::CaseInsensitive) == 0)
            return day + 1;
    }
    return 0;
}

QDate dateOf(const QString& text) {
    // Exactly YYYY-MM-DD: QDate's own reading would take "2026-1-5" too.
    static const QLatin1String Shape("0000-00-00");
    if (text.size() != Shape.size())
        return {};
    for (int i = 0; i < text.size(); ++i) {
        if ((Shape[i] == '-') != (text[i] == u'-') || (Shape[i] == '0' && !text[i].isDigit()))
            return {};
    }
    return QDate::fromString(text, Qt::ISODate);
}

} // namespace

std::optional<DaySet> DaySet::parse(const QString& text, QString& error) {
    const QString expected = QStringLiteral(
        "várt: napok (Mon, Tue, Wed, Thu, Fri, Sat, Sun, tartomány: Mon..Fri, lista: Sat,Sun), daily, "
        "dátum (2026-12-24) vagy dátumtartomány (2026-12-24..2026-12-26)");
    DaySet set;
    const QStringList items = text.split(QLatin1Char(','));
    for (QString item : items) {
        item = item.trimmed();
        if (item.isEmpty()) {
            error = QStringLiteral("üres elem a napok listájában („%1”); %2.").arg(text, expected);
            return std::nullopt;
        }
        if (item.compare(QLatin1String("daily"), Qt::CaseInsensitive) == 0) {
            set.m_weekdays = 0x7f;
            continue;
        }
        const QStringList ends = item.split(QStringLiteral(".."));
        if (ends.size() > 2) {
            error = QStringLiteral("„%1” nem értelmezhető; %2.").arg(item, expected);
            return std::nullopt;
        }
        const QString from = ends.first().trimmed();
        const QString to = ends.last().trimmed();
        if (const int first = weekdayNumber(from)) {
            const int last = weekdayNumber(to);
            if (!last) {
                error = QStringLiteral("„%1”: a tartomány vége nem a hét egy napja; %2.").arg(item, expected);
                return std::nullopt;
            }
            // Fri..Mon goes round the weekend.
            for (int day = first;; day = day % 7 + 1) {
                set.m_weekdays |= quint8(1u << (day - 1));
                if (day == last)
                    break;
            }
            continue;
        }
        const QDate first = dateOf(from);
        const QDate last = dateOf(to);
        if (!first.isValid() || !last.isValid()) {
            const QString wrong = first.isValid() ? to : from;
            error = QStringLiteral("„%1” nem a hét napja és nem létező dátum; %2.").arg(wrong, expected);
            return std::nullopt;
        }
        if (last < first) {
            error = QStringLiteral("a dátumtartomány („%1”) vége korábbi a kezdeténél.").arg(item);
            return std::nullopt;
        }
        set.m_dates.append({first, last});
    }
    return set;
}

bool DaySet::contains(QDate date) const {
    if (m_weekdays >> (date.dayOfWeek() - 1) & 1u)
        return true;
    for (const Range& range : m_dates) {
        if (date >= range.first && date <= range.last)
            return true;
    }
    return false;
}

QDate DaySet::lastDate() const {
    QDate last;
    for (const Range& range : m_dates) {
        if (!last.isValid() || range.last > last)
            last = range.last;
    }
    return last;
}
