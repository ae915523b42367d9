#include "GpioChip.h"

#include <gpiod.h>

#include <cerrno>

namespace {

// libgpiod 1.6: the lines of a request share one handle, so they are only ever set together
// (gpiod_line_set_value on one line of a bulk request would send one value for all of them).
class GpioChipV1 : public GpioChip {
public:
    explicit GpioChipV1(gpiod_chip* chip) : m_chip(chip) { gpiod_line_bulk_init(&m_bulk); }
    ~GpioChipV1() override {
        release();
        gpiod_chip_close(m_chip);
    }

    QString label() const override { return QString::fromUtf8(gpiod_chip_label(m_chip)); }
    int lineCount() const override { return int(gpiod_chip_num_lines(m_chip)); }

    QString consumer(unsigned offset) const override {
        // gpiod_chip_get_line reads the line's info afresh each time.
        gpiod_line* line = gpiod_chip_get_line(m_chip, offset);
        if (!line || !gpiod_line_is_used(line))
            return {};
        const char* name = gpiod_line_consumer(line);
        return QString::fromUtf8(name ? name : "");
    }

    bool request(const std::vector<unsigned>& offsets, const std::vector<int>& levels) override {
        release();
        gpiod_line_bulk bulk;
        if (gpiod_chip_get_lines(m_chip, const_cast<unsigned*>(offsets.data()), unsigned(offsets.size()),
                                 &bulk) < 0)
            return false;
        gpiod_line_request_config config{};
        config.consumer = "ktr";
        config.request_type = GPIOD_LINE_REQUEST_DIRECTION_OUTPUT;
        config.flags = 0;
        if (gpiod_line_request_bulk(&bulk, &config, levels.data()) < 0)
            return false;
        m_bulk = bulk;
        m_requested = true;
        return true;
    }

    bool setLevels(const std::vector<int>& levels) override {
        if (!m_requested) {
            errno = EPERM;
            return false;
        }
        return gpiod_line_set_value_bulk(&m_bulk, levels.data()) == 0;
    }

    void release() override {
        if (m_requested)
            gpiod_line_release_bulk(&m_bulk);
        m_requested = false;
        gpiod_line_bulk_init(&m_bulk);
    }

private:
    gpiod_chip* m_chip;
    gpiod_line_bulk m_bulk;
    bool m_requested = false;
};

} // namespace

std::unique_ptr<GpioChip> GpioChip::open(const QString& path) {
    gpiod_chip* chip = gpiod_chip_open(path.toLocal8Bit().constData());
    if (!chip)
        return nullptr;
    return std::make_unique<GpioChipV1>(chip);
}

QString GpioChip::libraryVersion() {
    return QStringLiteral("libgpiod %1").arg(QString::fromLatin1(gpiod_version_string()));
}
