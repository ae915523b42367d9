#include "GpioPort.h"

#include "GpioChip.h"

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <set>
#include <utility>

namespace {

QString errnoText(int error) {
    const char* name = strerrorname_np(error);
    return QStringLiteral("%1: %2").arg(QString::fromLatin1(name ? name : "?"),
                                        QString::fromLocal8Bit(strerror(error)));
}

// The lines the GPIO ports of this process hold. A port left at START is closed on another
// thread, so the port that follows it on the same lines waits for it here instead of meeting
// EBUSY from its own predecessor.
class HeldLines {
public:
    static HeldLines& instance() {
        static HeldLines lines;
        return lines;
    }
    void hold(const QString& chip, const std::vector<unsigned>& offsets) {
        std::lock_guard guard(m_lock);
        for (const unsigned offset : offsets)
            m_held.insert({chip, offset});
    }
    void release(const QString& chip, const std::vector<unsigned>& offsets) {
        {
            std::lock_guard guard(m_lock);
            for (const unsigned offset : offsets) {
                const auto found = m_held.find({chip, offset});
                if (found != m_held.end())
                    m_held.erase(found);
            }
        }
        m_released.notify_all();
    }
    // Closing a port takes well under a millisecond; the bound only keeps a stuck close from
    // holding up playback.
    void awaitRelease(const QString& chip, const std::vector<unsigned>& offsets) {
        std::unique_lock lock(m_lock);
        m_released.wait_for(lock, std::chrono::seconds(1), [&] {
            for (const unsigned offset : offsets) {
                if (m_held.count({chip, offset}))
                    return false;
            }
            return true;
        });
    }

private:
    std::mutex m_lock;
    std::condition_variable m_released;
    std::multiset<std::pair<QString, unsigned>> m_held;
};

} // namespace

GpioPort::GpioPort(GpioSettings settings) : m_settings(std::move(settings)) {
    for (int c = 0; c < GpioSettings::ChannelCount; ++c) {
        if (m_settings.lines[c] == GpioSettings::NotDriven)
            continue;
        m_offsets.push_back(unsigned(m_settings.lines[c]));
        m_channels.push_back(c);
    }
}

GpioPort::~GpioPort() {
    close();
}

// The chip releases the lines as it closes.
void GpioPort::close() {
    // The kernel lets go of the lines with the chip; only then may a waiting port ask for them.
    m_chip.reset();
    if (m_holding)
        HeldLines::instance().release(m_settings.chipPath(), m_offsets);
    m_holding = false;
}

std::vector<int> GpioPort::levels(quint8 control) const {
    const auto high = highPins(m_data, control);
    std::vector<int> result;
    result.reserve(m_channels.size());
    for (const int channel : m_channels)
        result.push_back(high[channel] != m_settings.activeLow ? 1 : 0);
    return result;
}

bool GpioPort::write(int address, quint8 value) {
    if (address == DataAddress) {
        m_data = value;
        return true;
    }
    const std::vector<int> wanted = levels(value);
    if (!m_chip)
        return open(wanted);
    if (m_chip->setLevels(wanted))
        return true;
    const int error = errno;
    close();
    return failWith(QStringLiteral("a vonalak beállítása nem sikerült (%1); lehet, hogy a csip megszűnt.")
                        .arg(errnoText(error)),
                    QStringLiteral("Ellenőrizze a csipet (gpiodetect, gpioinfo %1).").arg(m_settings.chip));
}

void GpioPort::reset() {
    close();
}

bool GpioPort::open(const std::vector<int>& startLevels) {
    if (m_offsets.empty())
        return failWith(
            QStringLiteral("egyik csatornához sincs GPIO-vonal megadva."),
            OutputFailure::inWindowOrNot(
                QStringLiteral("Adja meg a vonalakat a GPIO-beállításokban vagy a --output értékében."),
                QStringLiteral("Adja meg a vonalakat a --output értékében.")));
    std::unique_ptr<GpioChip> chip = GpioChip::open(m_settings.chipPath());
    if (!chip)
        return failOpen(errno);
    const int lineCount = chip->lineCount();
    for (std::size_t i = 0; i < m_offsets.size(); ++i) {
        if (int(m_offsets[i]) < lineCount)
            continue;
        const QString chipText = chip->label().isEmpty()
                                     ? m_settings.chip
                                     : QStringLiteral("%1 (%2)").arg(m_settings.chip, chip->label());
        return failWith(QStringLiteral("a(z) %1. csatorna vonala (%2) nincs a csipen: a(z) %3 vonalai 0-tól "
                                       "%4-ig számozottak.")
                            .arg(m_channels[i] + 1)
                            .arg(m_offsets[i])
                            .arg(chipText)
                            .arg(lineCount - 1),
                        OutputFailure::inWindowOrNot(
                            QStringLiteral("Adjon meg 0 és %1 közötti vonalszámot a GPIO-beállításokban "
                                           "vagy a --output értékében (gpioinfo %2 mutatja a vonalakat)."),
                            QStringLiteral("Adjon meg 0 és %1 közötti vonalszámot a --output értékében "
                                           "(gpioinfo %2 mutatja a vonalakat)."))
                            .arg(lineCount - 1)
                            .arg(m_settings.chip));
    }
    m_chip = std::move(chip);
    HeldLines::instance().awaitRelease(m_settings.chipPath(), m_offsets);
    if (m_chip->request(m_offsets, startLevels)) {
        HeldLines::instance().hold(m_settings.chipPath(), m_offsets);
        m_holding = true;
        return true;
    }
    return failRequest(errno);
}

bool GpioPort::failOpen(int error) {
    const QString path = m_settings.chipPath();
    if (error == ENOENT || error == ENODEV || error == ENXIO)
        return failWith(QStringLiteral("a(z) %1 GPIO-csip nem található (%2).").arg(path, errnoText(error)),
                        OutputFailure::inWindowOrNot(
                            QStringLiteral("Válasszon a gépen lévő csipek közül a Kimenet menüben (a "
                                           "gpiodetect parancs is kilistázza őket)"),
                            QStringLiteral("Adja meg a gépen lévő csipek egyikét a --output értékében (a "
                                           "gpiodetect parancs kilistázza őket)")) +
                            QStringLiteral("; Raspberry Pi-n a tüskesor vonalai általában a gpiochip0 "
                                           "csipen vannak."));
    if (error == EACCES || error == EPERM)
        return failWith(
            QStringLiteral("nincs jogosultság a(z) %1 használatához (%2).").arg(path, errnoText(error)),
            QStringLiteral("Raspberry Pi OS-en vegye fel a felhasználót a gpio csoportba (sudo "
                           "usermod -aG gpio FELHASZNÁLÓ), majd jelentkezzen be újra; más "
                           "rendszeren adjon írási jogot az eszközre egy udev-szabállyal."));
    if (error == ENOTTY)
        return failWith(QStringLiteral("a(z) %1 nem GPIO-csip, vagy a rendszer nem jelzi annak (hiányzik a "
                                       "/sys/bus/gpio/devices/%2 bejegyzés).")
                            .arg(path, m_settings.chip),
                        QStringLiteral("Ellenőrizze a csip nevét (gpiodetect)."));
    return failWith(QStringLiteral("a(z) %1 nem nyitható meg (%2).").arg(path, errnoText(error)),
                    QStringLiteral("Ellenőrizze a csipet (gpiodetect, gpioinfo %1).").arg(m_settings.chip));
}

bool GpioPort::failRequest(int error) {
    if (error == EBUSY) {
        // The kernel answers a bare EBUSY; the lines' info names who holds them.
        for (std::size_t i = 0; i < m_offsets.size(); ++i) {
            const QString consumer = m_chip->consumer(m_offsets[i]);
            if (consumer.isEmpty())
                continue;
            const QString holder = consumer == QLatin1String("ktr")
                                       ? QStringLiteral("egy másik futó KTR („ktr”)")
                                       : QStringLiteral("„%1”").arg(consumer);
            m_chip.reset();
            return failWith(
                QStringLiteral("a(z) %1. csatorna vonalát (%2) már használja: %3.")
                    .arg(m_channels[i] + 1)
                    .arg(m_offsets[i])
                    .arg(holder),
                QStringLiteral("Állítsa le a vonalat használó programot, vagy kapcsolja ki a "
                               "vonalat foglaló eszközt (Raspberry Pi-n a /boot/firmware/config.txt "
                               "megfelelő dtoverlay vagy dtparam sorát), vagy válasszon másik "
                               "vonalat."));
        }
    }
    m_chip.reset();
    if (error == EBUSY)
        return failWith(QStringLiteral("a vonalak egyikét egy másik program vagy meghajtó foglalja (%1).")
                            .arg(errnoText(error)),
                        QStringLiteral("Nézze meg a gpioinfo %1 paranccsal, ki használja a vonalakat, és "
                                       "válasszon szabad vonalakat.")
                            .arg(m_settings.chip));
    return failWith(
        QStringLiteral("a vonalak lefoglalása nem sikerült (%1).").arg(errnoText(error)),
        QStringLiteral("Ellenőrizze a csipet és a vonalakat (gpioinfo %1).").arg(m_settings.chip));
}

bool GpioPort::failWith(const QString& cause, const QString& remedy) {
    return fail(OutputFailure{QStringLiteral("A GPIO-kimenet"), m_settings.chipPath(), cause, remedy});
}
