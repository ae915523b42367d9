#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The show's key: 128 random bits written as 32 lower-case hex digits. Every request of the web
// page and the API carries it; it is made on first use and kept in a file only its owner may read.
class WebKey {
public:
    static constexpr int Bits = 128;

    // Reads the key from path, or makes a new one there when the file does not exist: the file is
    // created with mode 0600 under a temporary name and linked into place, so that a reader never
    // sees it half written and two programs starting together end up with the same key. Refuses
    // (no value, a Hungarian message in error) a file that is not a regular file, that others may
    // read, or that holds anything but a key.
    static std::optional<WebKey> loadOrCreate(const QString& path, QString& error);
    // A key from its text (tests, and the file's content); 32 hex digits, else no value.
    static std::optional<WebKey> fromText(QByteArrayView text);

    QByteArray text() const { return m_text; }

    // Whether candidate is this key. Takes the same time wherever the first difference is, so
    // that timing the answers tells an attacker nothing about the key.
    bool matches(QByteArrayView candidate) const;

    // Where the window keeps its key (beside ktr.ini) and where the player keeps its own: the
    // unit's state directory ($STATE_DIRECTORY), else ~/.local/state/ktr.
    static QString windowKeyPath();
    static QString playerKeyPath();

private:
    explicit WebKey(QByteArray text) : m_text(std::move(text)) {}
    QByteArray m_text;
};
