#include "GpioChip.h"

#include <gpiod.h>

#include <cerrno>
#include <sys/stat.h>

namespace {

// libgpiod 2.x: a request is built from line settings (one per line, for its starting level), a
// line config and a request config; gpiod_line_request_set_values sets all its lines at once.
class GpioChipV2 : public GpioChip {
public:
    GpioChipV2(gpiod_chip* chip, gpiod_chip_info* info)
        : m_chip(chip), m_label(QString::fromUtf8(gpiod_chip_info_get_label(info))),
          m_lineCount(int(gpiod_chip_info_get_num_lines(info))) {}
    ~GpioChipV2() override {
        release();
        gpiod_chip_close(m_chip);
    }

    QString label() const override { return m_label; }
    int lineCount() const override { return m_lineCount; }

    QString consumer(unsigned offset) const override {
        gpiod_line_info* info = gpiod_chip_get_line_info(m_chip, offset);
        if (!info)
            return {};
        const char* name = gpiod_line_info_is_used(info) ? gpiod_line_info_get_consumer(info) : nullptr;
        const QString result = QString::fromUtf8(name ? name : "");
        gpiod_line_info_free(info);
        return result;
    }

    bool request(const std::vector<unsigned>& offsets, const std::vector<int>& levels) override {
        release();
        gpiod_line_settings* settings = gpiod_line_settings_new();
        gpiod_line_config* lineConfig = gpiod_line_config_new();
        gpiod_request_config* requestConfig = gpiod_request_config_new();
        bool ok = settings && lineConfig && requestConfig &&
                  gpiod_line_settings_set_direction(settings, GPIOD_LINE_DIRECTION_OUTPUT) == 0;
        for (std::size_t i = 0; ok && i < offsets.size(); ++i) {
            ok = gpiod_line_settings_set_output_value(settings, value(levels[i])) == 0 &&
                 gpiod_line_config_add_line_settings(lineConfig, &offsets[i], 1, settings) == 0;
        }
        if (ok) {
            gpiod_request_config_set_consumer(requestConfig, "ktr");
            m_request = gpiod_chip_request_lines(m_chip, requestConfig, lineConfig);
            ok = m_request != nullptr;
        }
        const int error = errno;
        gpiod_request_config_free(requestConfig);
        gpiod_line_config_free(lineConfig);
        gpiod_line_settings_free(settings);
        errno = error;
        return ok;
    }

    bool setLevels(const std::vector<int>& levels) override {
        if (!m_request) {
            errno = EPERM;
            return false;
        }
        std::vector<gpiod_line_value> values;
        values.reserve(levels.size());
        for (const int level : levels)
            values.push_back(value(level));
        return gpiod_line_request_set_values(m_request, values.data()) == 0;
    }

    void release() override {
        if (m_request)
            gpiod_line_request_release(m_request);
        m_request = nullptr;
    }

private:
    static gpiod_line_value value(int level) {
        return level ? GPIOD_LINE_VALUE_ACTIVE : GPIOD_LINE_VALUE_INACTIVE;
    }

    gpiod_chip* m_chip;
    QString m_label;
    int m_lineCount;
    gpiod_line_request* m_request = nullptr;
};

} // namespace

std::unique_ptr<GpioChip> GpioChip::open(const QString& path) {
    const QByteArray device = path.toLocal8Bit();
    gpiod_chip* chip = gpiod_chip_open(device.constData());
    if (!chip) {
        // libgpiod 2 gives ENOENT also for a device node whose sysfs entry does not say GPIO;
        // libgpiod 1.6 says ENOTTY there, and so do we.
        struct stat node;
        if (errno == ENOENT && ::stat(device.constData(), &node) == 0 && S_ISCHR(node.st_mode))
            errno = ENOTTY;
        return nullptr;
    }
    gpiod_chip_info* info = gpiod_chip_get_info(chip);
    if (!info) {
        const int error = errno;
        gpiod_chip_close(chip);
        errno = error;
        return nullptr;
    }
    auto result = std::make_unique<GpioChipV2>(chip, info);
    gpiod_chip_info_free(info);
    return result;
}

QString GpioChip::libraryVersion() {
    return QStringLiteral("libgpiod %1").arg(QString::fromLatin1(gpiod_api_version()));
}
