// The show file and its calendar: what the file says, when windows open and close on a clock the
// test sets (daylight-saving days, midnight, dates, the sun), and a year of them without a start
// missed or doubled.
#include "FakeShowClock.h"
#include "show/ShowCalendar.h"
#include "show/ShowFile.h"
#include "show/ShowScheduler.h"
#include "show/SunCalculator.h"

#include <QDateTime>
#include <QSignalSpy>
#include <QTest>

namespace {

ShowCalendar calendarOf(const QString& scheduleLines, const QByteArray& location = "47.50 19.04") {
    const QByteArray text =
        "[Playlist]\nEffect=a.eff 1m\n[Schedule]\nLocation=" + location + "\n" + scheduleLines.toUtf8();
    const ShowParseResult parsed = parseShow(text, QStringLiteral("/show/test.show"));
    if (!parsed.show)
        qFatal("%s", qPrintable(parsed.error));
    return ShowCalendar(parsed.show->schedule, parsed.show->location);
}

qint64 secondsOf(const QString& isoWithOffset) {
    return QDateTime::fromString(isoWithOffset, Qt::ISODate).toSecsSinceEpoch();
}

} // namespace

class TestSchedule : public QObject {
    Q_OBJECT
private slots:
    void readsTheExample();
    void refusesMistakes_data();
    void refusesMistakes();
    void windowsOnDay_data();
    void windowsOnDay();
    void sunAgainstReference_data();
    void sunAgainstReference();
    void polarDaysAreSkippedWithANote();
    void aYearWithoutAMissedOrDoubledStart();
    void followsClockAndZoneChanges();
};

void TestSchedule::readsTheExample() {
    const QByteArray text =
        "# a shop window\n[Playlist]\nEffect=futofeny.eff 1m\nEffect=oda vissza.eff 4x 80ms\n"
        "Effect=szikrazas.eff 1m30s\n\n[Schedule]\nWhen=Mon..Fri 17:00-23:00\n"
        "When=Sat,Sun sunset-0:30 - 23:30\nLocation=47.50 19.04\nClockWait=30\n";
    const ShowParseResult parsed = parseShow(text, QStringLiteral("/etc/ktr/bolt.show"));
    QVERIFY2(parsed.show, qPrintable(parsed.error));
    const QList<PlaylistEntry>& list = parsed.show->playlist;
    QCOMPARE(list.size(), 3);
    QCOMPARE(list[1].file, QStringLiteral("/etc/ktr/oda vissza.eff"));
    QVERIFY(list[0].durationMs == 60000 && list[1].rounds == 4 && list[1].speed == 80 &&
            list[2].durationMs == 90000);
    QCOMPARE(parsed.show->schedule[1].start.text() + parsed.show->schedule[1].end.text(),
             QStringLiteral("sunset-0:3023:30"));
    QCOMPARE(parsed.show->clockWait, 30);
}

void TestSchedule::refusesMistakes_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("expected"); // the line and a piece of what the message says
    const auto row = [](const char* name, const QByteArray& text, const char* expected) {
        QTest::newRow(name) << text << QString::fromUtf8(expected);
    };
    const QByteArray head = "[Playlist]\nEffect=a.eff 1m\n[Schedule]\n";
    row("no duration", "[Playlist]\nEffect=a.eff\n",
        "2. sor: „a.eff” nem értelmezhető; várt: Effect=FÁJL IDŐTARTAM");
    row("speed out of range", "[Playlist]\nEffect=a.eff 1m 900ms\n",
        "2. sor: a sebesség (900ms) nincs 2 és 800");
    row("outside a section", "Effect=a.eff 1m\n", "1. sor: a(z) „Effect=a.eff 1m” sor szakaszon kívül");
    row("unknown section", "[Lista]\n", "1. sor: ismeretlen szakasz: „[Lista]”");
    row("no effect", "[Schedule]\nWhen=daily 17:00-18:00\n", "Nincs egy Effect= sor sem");
    row("weekday", head + "When=Mon..Fry 17:00-23:00",
        "4. sor: „Mon..Fry”: a tartomány vége nem a hét egy napja");
    row("no such date", head + "When=2027-02-30 17:00-18:00",
        "4. sor: „2027-02-30” nem a hét napja és nem létező");
    row("hour", head + "When=daily 25:00-23:00", "4. sor: „25:00-23:00” nem időtartomány");
    row("no times", head + "When=daily", "4. sor: „daily”: a napok után hiányzik az időtartomány");
    row("empty window", head + "When=daily 17:00 - 17:00", "4. sor: a kezdet és a vég ugyanaz");
    row("sun without place", head + "When=Sat sunset-0:30 - 23:30",
        "4. sor: a napkeltéhez és a napnyugtához a hely");
    row("place", head + "Location=91 19", "4. sor: „91 19”: a szélesség");
    row("clock wait", head + "ClockWait=két perc", "4. sor: „két perc”: várt: ClockWait=MÁSODPERC");
}

void TestSchedule::refusesMistakes() {
    QFETCH(QByteArray, text);
    QFETCH(QString, expected);
    const ShowParseResult parsed = parseShow(text, QStringLiteral("/etc/ktr/bolt.show"));
    QVERIFY(!parsed.show);
    QVERIFY2(parsed.error.startsWith(QStringLiteral("Hibás műsorfájl: „/etc/ktr/bolt.show”\n")),
             qPrintable(parsed.error));
    QVERIFY2(parsed.error.contains(expected), qPrintable(parsed.error));
}

void TestSchedule::windowsOnDay_data() {
    QTest::addColumn<QString>("when");
    QTest::addColumn<QDate>("day");
    QTest::addColumn<QString>("start"); // "MM-DDTHH:MM+OFFSET" in the day's year; empty: no window
    QTest::addColumn<QString>("end");
    const auto row = [](const char* name, const char* when, const char* day, const char* start,
                        const char* end) {
        QTest::newRow(name) << when << QDate::fromString(QString::fromLatin1(day), Qt::ISODate) << start
                            << end;
    };
    row("evening, spring change", "daily 17:00-23:00", "2027-03-28", "03-28T17:00+02", "03-28T23:00+02");
    row("evening, autumn change", "daily 17:00-23:00", "2027-10-31", "10-31T17:00+01", "10-31T23:00+01");
    row("holds the jumped hour", "daily 01:00-04:00", "2027-03-28", "03-28T01:00+01", "03-28T04:00+02");
    row("holds the repeated hour", "daily 01:00-04:00", "2027-10-31", "10-31T01:00+02", "10-31T04:00+01");
    row("starts in the jump", "daily 02:30-05:00", "2027-03-28", "03-28T03:00+02", "03-28T05:00+02");
    row("starts in the repeat", "daily 02:30-05:00", "2027-10-31", "10-31T02:30+02", "10-31T05:00+01");
    row("ends in the jump", "daily 22:00-02:30", "2027-03-27", "03-27T22:00+01", "03-28T03:00+02");
    row("ends in the repeat", "daily 22:00-02:30", "2027-10-30", "10-30T22:00+02", "10-31T02:30+02");
    row("across midnight", "Fri 22:00-02:00", "2027-01-01", "01-01T22:00+01", "01-02T02:00+01");
    row("not its weekday", "Fri 22:00-02:00", "2027-01-02", "", "");
    row("to midnight", "Sat,Sun 18:00-24:00", "2027-01-03", "01-03T18:00+01", "01-04T00:00+01");
    row("weekend range", "Fri..Mon 10:00-11:00", "2027-01-04", "01-04T10:00+01", "01-04T11:00+01");
    row("date range, first", "2026-12-24..2026-12-26 16:00-02:00", "2026-12-24", "12-24T16:00+01",
        "12-25T02:00+01");
    row("date range, last", "2026-12-24..2026-12-26 16:00-02:00", "2026-12-26", "12-26T16:00+01",
        "12-27T02:00+01");
    row("date range, after", "2026-12-24..2026-12-26 16:00-02:00", "2026-12-27", "", "");
    row("dusk to late", "Sat sunset-0:30 - 23:30", "2027-12-18", "12-18T15:24+01", "12-18T23:30+01");
    row("dusk to dawn", "daily sunset - sunrise", "2027-06-21", "06-21T20:45+02", "06-22T04:47+02");
}

void TestSchedule::windowsOnDay() {
    QFETCH(QString, when);
    QFETCH(QDate, day);
    QFETCH(QString, start);
    QFETCH(QString, end);
    const FakeShowClock budapest;
    const QList<ShowWindow> windows = calendarOf(QStringLiteral("When=") + when).windows(day, day, budapest);
    QCOMPARE(windows.size(), start.isEmpty() ? 0 : 1);
    const auto moment = [](qint64 seconds) {
        return QDateTime::fromSecsSinceEpoch(seconds, QTimeZone::utc());
    };
    const auto expected = [&](const QString& text) {
        return moment(secondsOf(QStringLiteral("%1-%2:00").arg(day.year()).arg(text)));
    };
    if (!windows.isEmpty()) {
        QCOMPARE(moment(windows[0].start), expected(start));
        QCOMPARE(moment(windows[0].end), expected(end));
    }
}

// The reference: PyEphem 4.1 (an independent method, VSOP87 positions), with NOAA's definition of
// the event (the sun's centre 0.833° below the horizon), at 47.50 N 19.04 E. Its figures match
// NOAA's calculator for Budapest (15:55 and 20:45 local).
void TestSchedule::sunAgainstReference_data() {
    QTest::addColumn<QDate>("day");
    QTest::addColumn<bool>("rise");
    QTest::addColumn<QString>("expected");
    QTest::newRow("winter sunset") << QDate(2027, 12, 21) << false << "2027-12-21T14:54:56Z";
    QTest::newRow("winter sunrise") << QDate(2027, 12, 21) << true << "2027-12-21T06:28:32Z";
    QTest::newRow("summer sunset") << QDate(2027, 6, 21) << false << "2027-06-21T18:44:44Z";
    QTest::newRow("summer sunrise") << QDate(2027, 6, 21) << true << "2027-06-21T02:46:27Z";
}

void TestSchedule::sunAgainstReference() {
    QFETCH(QDate, day);
    QFETCH(bool, rise);
    QFETCH(QString, expected);
    const FakeShowClock budapest;
    const std::optional<qint64> event =
        SunCalculator::event(rise ? SunCalculator::Event::Sunrise : SunCalculator::Event::Sunset, day, 47.50,
                             19.04, budapest.utcOffset(secondsOf(expected)));
    QVERIFY(event);
    QVERIFY2(qAbs(*event - secondsOf(expected)) < 60,
             qPrintable(QDateTime::fromSecsSinceEpoch(*event, QTimeZone::utc()).toString(Qt::ISODate)));
}

void TestSchedule::polarDaysAreSkippedWithANote() {
    const FakeShowClock longyearbyen("Arctic/Longyearbyen");
    const ShowCalendar calendar = calendarOf(QStringLiteral("When=daily sunset - 23:59"), "78.22 15.65");
    QStringList notes;
    QVERIFY(calendar.windows(QDate(2027, 6, 20), QDate(2027, 6, 21), longyearbyen, &notes).isEmpty());
    QCOMPARE(notes.size(), 2);
    QCOMPARE(notes[1],
             QStringLiteral("2027-06-21: ezen a napon a Nap nem kel fel vagy nem nyugszik le, a(z) 5. sor "
                            "(When=daily sunset - 23:59) kimarad."));
    QCOMPARE(calendar.windows(QDate(2027, 9, 21), QDate(2027, 9, 21), longyearbyen).size(), 1);
}

// Every day of 2027 has one window: weekday evenings and weekend dusks. The scheduler, looking
// every 5 minutes, must open each exactly once, in the 5 minutes after its start, and close it.
void TestSchedule::aYearWithoutAMissedOrDoubledStart() {
    FakeShowClock clock;
    const ShowCalendar calendar =
        calendarOf(QStringLiteral("When=Mon..Fri 17:00-23:00\nWhen=Sat,Sun sunset-0:30 - 23:30\n"));
    ShowScheduler scheduler(clock);
    scheduler.setCalendar(calendar);
    QList<qint64> opens;
    int closes = 0;
    connect(&scheduler, &ShowScheduler::opened, this, [&] { opens.append(clock.now() / 1000); });
    connect(&scheduler, &ShowScheduler::closed, this, [&] { ++closes; });
    clock.setLocal(QStringLiteral("2027-01-01T00:00"));
    constexpr qint64 Step = 5 * 60;
    for (const qint64 end = secondsOf(QStringLiteral("2028-01-01T00:00+01:00")); clock.now() / 1000 < end;
         clock.advance(Step * 1000))
        scheduler.check();
    QCOMPARE(opens.size(), 365);
    QCOMPARE(closes, 365 + 1); // and the first look, at midnight, outside a window
    const QTimeZone zone("Europe/Budapest");
    QDate day(2027, 1, 1);
    for (const qint64 opened : std::as_const(opens)) {
        const qint64 start = day.dayOfWeek() <= 5 ? QDateTime(day, QTime(17, 0), zone).toSecsSinceEpoch()
                                                  : calendar.windows(day, day, clock).first().start;
        QVERIFY2(opened >= start && opened < start + Step, qPrintable(day.toString(Qt::ISODate)));
        day = day.addDays(1);
    }
}

void TestSchedule::followsClockAndZoneChanges() {
    FakeShowClock clock;
    ShowScheduler scheduler(clock);
    scheduler.setCalendar(calendarOf(QStringLiteral("When=daily 17:00-23:00\n")));
    QSignalSpy opened(&scheduler, &ShowScheduler::opened);
    QSignalSpy closed(&scheduler, &ShowScheduler::closed);
    QSignalSpy jumped(&scheduler, &ShowScheduler::clockJumped);
    clock.setLocal(QStringLiteral("2027-03-10T20:00")); // booted inside the window
    scheduler.check();
    QCOMPARE(opened.size(), 1);
    // Set back an hour while playing: still inside, so it plays on without a second start.
    clock.setWall(clock.now() - 3600 * 1000);
    clock.advance(1000);
    scheduler.check();
    QCOMPARE(opened.size(), 1);
    QCOMPARE(closed.size(), 0);
    QCOMPARE(jumped.size(), 1);
    QCOMPARE(jumped[0][0].toLongLong(), -3600);
    // Set back before the start: off until 17:00 comes again, then on once.
    clock.setLocal(QStringLiteral("2027-03-10T16:59:30"));
    scheduler.check();
    QCOMPARE(closed.size(), 1);
    clock.advance(29000);
    scheduler.check();
    QCOMPARE(opened.size(), 1);
    clock.advance(1000);
    scheduler.check();
    QCOMPARE(opened.size(), 2);
    // The zone changes under it: 18:00 in Budapest is 17:00 in London, still open; in New York noon.
    clock.advance(3600 * 1000);
    clock.setZone("Europe/London");
    scheduler.check();
    QCOMPARE(closed.size(), 1);
    clock.setZone("America/New_York");
    scheduler.check();
    QCOMPARE(closed.size(), 2);
    QCOMPARE(scheduler.state().until, secondsOf(QStringLiteral("2027-03-10T17:00-05:00")));
}

QTEST_GUILESS_MAIN(TestSchedule)
#include "tst_schedule.moc"
