#include "EffectFile.h"

#include "sequencer/SpeedControl.h"
#include <QByteArrayView>
#include <QDir>
#include <QFile>
#include <QList>
#include <QScopeGuard>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString EmptyRow = QStringLiteral("000000000000");

QString shownName(const QString& fileName) {
    return QStringLiteral("„%1”").arg(QDir::toNativeSeparators(fileName));
}

QString refusal(const QString& fileName, const QString& detail) {
    return QStringLiteral("Hibás effektfájl: %1\n%2").arg(shownName(fileName), detail);
}

QString lineFault(const QString& fileName, int line, const QString& what) {
    return refusal(fileName, QStringLiteral("%1. sor: %2").arg(line).arg(what));
}

// A bad speed line may hold anything; show a short, printable piece of it.
QString shownText(QByteArrayView text) {
    constexpr int Shown = 20;
    QString shown;
    for (qsizetype i = 0; i < text.size() && i < Shown; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        shown += (c < 0x20 || c == 0x7f) ? QChar(u'?') : QChar(c);
    }
    if (text.size() > Shown)
        shown += QChar(u'…');
    return shown;
}

struct Line {
    QByteArrayView text;
};

// Lines end in CR LF, LF or a lone CR; CR CR LF, left by a second LF to CR LF conversion, is one
// line end too. A last line without an end still counts. LF followed by a CR that does not start
// a CR LF is the reversed pair, LF CR: read as two ends it would shift every later line, so
// lfCrLine gets the number of the first line that ends so.
QList<Line> firstLines(QByteArrayView bytes, int count, int& lfCrLine) {
    QList<Line> lines;
    lfCrLine = 0;
    const qsizetype size = bytes.size();
    qsizetype start = 0;
    while (lines.size() < count && start < size) {
        qsizetype end = start;
        while (end < size && bytes[end] != '\r' && bytes[end] != '\n')
            ++end;
        lines.append({bytes.sliced(start, end - start)});
        if (!lfCrLine && end + 1 < size && bytes[end] == '\n' && bytes[end + 1] == '\r' &&
            (end + 2 == size || bytes[end + 2] != '\n'))
            lfCrLine = int(lines.size());
        if (end + 2 < size && bytes[end] == '\r' && bytes[end + 1] == '\r' && bytes[end + 2] == '\n')
            start = end + 3;
        else if (end + 1 < size && bytes[end] == '\r' && bytes[end + 1] == '\n')
            start = end + 2;
        else
            start = end + 1;
    }
    return lines;
}

// An effect file is single-byte text. A file saved as UTF-16 or UTF-32 (Windows' "Unicode") has
// zero bytes beside every character and would read as shifted or empty lines: name its encoding.
QString wideEncoding(QByteArrayView bytes) {
    const auto startsWith = [&](QByteArrayView mark) { return bytes.startsWith(mark); };
    if (startsWith(QByteArrayView("\xFF\xFE\0\0", 4)))
        return QStringLiteral("UTF-32 (little-endian)");
    if (startsWith(QByteArrayView("\0\0\xFE\xFF", 4)))
        return QStringLiteral("UTF-32 (big-endian)");
    const bool twoBytes = bytes.size() >= 2;
    if (startsWith("\xFF\xFE") || (twoBytes && bytes[0] != '\0' && bytes[1] == '\0'))
        return QStringLiteral("UTF-16 (little-endian)");
    if (startsWith("\xFE\xFF") || (twoBytes && bytes[0] == '\0' && bytes[1] != '\0'))
        return QStringLiteral("UTF-16 (big-endian)");
    return {};
}

bool isOn(QByteArrayView line, qsizetype position) {
    return position < line.size() && line[position] == 'x';
}

QByteArrayView trimmed(QByteArrayView text) {
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && blank(text[begin]))
        ++begin;
    while (end > begin && blank(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin);
}

bool isWholeNumber(QByteArrayView text) {
    qsizetype i = (!text.isEmpty() && (text[0] == '+' || text[0] == '-')) ? 1 : 0;
    if (i == text.size())
        return false;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
    }
    return true;
}

} // namespace

QByteArray writeEffect(const EffectGrid& grid, Module1& module) {
    QByteArray out;
    out.reserve(StepCount * (ChannelCount + 2) + 8 + StepCount + 2);
    for (int step = 1; step <= StepCount; ++step) {
        module.rowPattern = EffectGrid::channelText(grid.channels(step));
        out += module.rowPattern.toLatin1() + "\r\n";
    }
    module.rowPattern = EmptyRow;
    if (grid.speed())
        out += QByteArray::number(*grid.speed());
    out += "\r\n";
    module.enablePattern = grid.enableText();
    out += module.enablePattern.toLatin1() + "\r\n";
    return out;
}

QByteArray writeEffect(const StepPattern& boxes, std::optional<qint16> speed, Module1& module) {
    EffectGrid grid = EffectGrid::fromBoxes(boxes);
    grid.setSpeed(speed);
    return writeEffect(grid, module);
}

EffectParseResult parseEffect(const QByteArray& file, const QString& fileName) {
    if (file.size() > MaxEffectFileSize) {
        return {std::nullopt,
                refusal(fileName,
                        QStringLiteral("A fájl nagyobb %1 KiB-nál, pedig egy effektfájl néhány száz bájt.")
                            .arg(MaxEffectFileSize / 1024))};
    }
    QByteArrayView bytes(file);
    // The mark some editors put before UTF-8 text: not part of the first step line.
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes = bytes.sliced(3);
    const QString encoding = wideEncoding(bytes);
    if (!encoding.isEmpty()) {
        return {std::nullopt,
                refusal(fileName, QStringLiteral("A fájl %1 kódolású, egy effektfájl pedig egybájtos szöveg. "
                                                 "Mentse el újra ASCII vagy UTF-8 kódolással.")
                                      .arg(encoding))};
    }
    int lfCrLine = 0;
    const QList<Line> lines = firstLines(bytes, EffectLineCount, lfCrLine);
    if (lfCrLine) {
        return {
            std::nullopt,
            lineFault(fileName, lfCrLine,
                      QStringLiteral("LF CR sorvég (a CR LF fordítottja), így a sorok nem választhatók szét "
                                     "biztosan. Mentse el újra CR LF vagy LF sorvéggel."))};
    }
    if (lines.size() < EffectLineCount) {
        return {std::nullopt,
                lineFault(fileName, int(lines.size()) + 1,
                          QStringLiteral("hiányzik; a fájl %1 sorból áll, egy effektfájl %2 sorból.")
                              .arg(lines.size())
                              .arg(EffectLineCount))};
    }

    Effect effect;
    for (int step = 1; step <= StepCount; ++step) {
        for (int channel = 1; channel <= ChannelCount; ++channel)
            effect.grid.setChannel(step, channel, isOn(lines[step - 1].text, channel - 1));
    }

    const QByteArrayView speedText = trimmed(lines[SpeedLine - 1].text);
    if (!speedText.isEmpty()) {
        if (!isWholeNumber(speedText)) {
            return {std::nullopt,
                    lineFault(fileName, SpeedLine,
                              QStringLiteral("a sebesség („%1”) nem egész szám.").arg(shownText(speedText)))};
        }
        bool fits = false;
        const qlonglong value = speedText.toByteArray().toLongLong(&fits);
        if (!fits || value < SpeedMin || value > SpeedMax) {
            return {std::nullopt, lineFault(fileName, SpeedLine,
                                            QStringLiteral("a sebesség („%1”) nincs %2 és %3 között.")
                                                .arg(shownText(speedText))
                                                .arg(SpeedMin)
                                                .arg(SpeedMax))};
        }
        effect.grid.setSpeed(static_cast<qint16>(value));
    }

    const QByteArrayView enables = lines[EnableLine - 1].text;
    effect.enableLine = QString::fromLatin1(enables);
    for (int step = 1; step <= StepCount; ++step)
        effect.grid.setEnabled(step, isOn(enables, step - 1));
    return {effect, QString()};
}

bool loadEffectBytes(const QString& path, QByteArray& bytes, QString& error) {
    const QString heading = QStringLiteral("Nem sikerült megnyitni: %1\n").arg(shownName(path));
    const auto systemError = [] { return QString::fromLocal8Bit(strerror(errno)); };
    const auto refuseKind = [&](const struct stat& status) {
        if (S_ISDIR(status.st_mode))
            error = heading + QStringLiteral("Ez egy mappa, nem fájl.");
        else
            error = heading + QStringLiteral("Ez nem közönséges fájl.");
        return false;
    };
    const QByteArray name = QFile::encodeName(path);
    // Only a regular file: opening a pipe or a device could block or never end, and opening some
    // devices already acts. The node may be swapped between the check and the open, so the open
    // itself cannot block (O_NONBLOCK) and what was opened is checked again.
    struct stat status {};
    if (::stat(name.constData(), &status) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            error = heading + QStringLiteral("A fájl nem létezik.");
        else
            error = heading + QStringLiteral("A fájl nem olvasható (%1).").arg(systemError());
        return false;
    }
    if (!S_ISREG(status.st_mode))
        return refuseKind(status);
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        error = heading + QStringLiteral("A fájl nem olvasható (%1).").arg(systemError());
        return false;
    }
    const auto closing = qScopeGuard([fd] { ::close(fd); });
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode))
        return refuseKind(status);
    bytes.resize(MaxEffectFileSize + 1);
    qsizetype got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + got, size_t(bytes.size() - got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            error = heading + QStringLiteral("Olvasási hiba (%1).").arg(systemError());
            bytes.clear();
            return false;
        }
        if (n == 0)
            break;
        got += n;
    }
    bytes.resize(got);
    return true;
}

void applyEffect(const Effect& effect, StepPattern& boxes, SpeedControl& speedBar,
                 const std::function<void(int milliseconds)>& setInterval, Module1& module) {
    const EffectGrid& grid = effect.grid;
    for (int step = 1; step <= StepCount; ++step) {
        for (int channel = 1; channel <= ChannelCount; ++channel)
            boxes.setChannelBox(step, channel, grid.channel(step, channel) ? 1 : 0);
    }
    if (grid.speed()) {
        // The bar runs its change handler only for a new value; the interval follows it anyway.
        speedBar.setValue(*grid.speed());
        setInterval(speedBar.value());
    }
    module.enablePattern = effect.enableLine;
    for (int step = 1; step <= StepCount; ++step)
        boxes.setEnableBox(step, grid.enabled(step) ? 1 : 0);
}
