#include "EffectFile.h"

#include "sequencer/IntervalTimer.h"
#include "sequencer/SpeedControl.h"
#include <QByteArrayView>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>

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

// Lines end in CR LF, LF or a lone CR; CR CR LF, left by a second LF to CR LF conversion, is one
// line end too. A last line without an end still counts.
QList<QByteArrayView> firstLines(const QByteArray& bytes, int count) {
    QList<QByteArrayView> lines;
    const qsizetype size = bytes.size();
    qsizetype start = 0;
    while (lines.size() < count && start < size) {
        qsizetype end = start;
        while (end < size && bytes[end] != '\r' && bytes[end] != '\n')
            ++end;
        lines.append(QByteArrayView(bytes.constData() + start, end - start));
        if (end + 2 < size && bytes[end] == '\r' && bytes[end + 1] == '\r' && bytes[end + 2] == '\n')
            start = end + 3;
        else if (end + 1 < size && bytes[end] == '\r' && bytes[end + 1] == '\n')
            start = end + 2;
        else
            start = end + 1;
    }
    return lines;
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

QByteArray writeEffect(const StepPattern& boxes, std::optional<qint16> speed, Module1& module) {
    QByteArray out;
    out.reserve(StepCount * (ChannelCount + 2) + 8 + StepCount + 2);
    module.rowPattern = EmptyRow;
    for (int step = 1; step <= StepCount; ++step) {
        for (int channel = 1; channel <= ChannelCount; ++channel) {
            if (boxes.channelBox(step, channel) == 1)
                module.rowPattern[channel - 1] = u'x';
        }
        out += module.rowPattern.toLatin1() + "\r\n";
        module.rowPattern = EmptyRow;
    }
    if (speed)
        out += QByteArray::number(*speed);
    out += "\r\n";
    module.enablePattern.clear();
    for (int step = 1; step <= StepCount; ++step)
        module.enablePattern += boxes.enableBox(step) == 1 ? u'x' : u'0';
    out += module.enablePattern.toLatin1() + "\r\n";
    return out;
}

EffectParseResult parseEffect(const QByteArray& bytes, const QString& fileName) {
    if (bytes.size() > MaxEffectFileSize) {
        return {std::nullopt,
                refusal(fileName,
                        QStringLiteral("A fájl nagyobb %1 KiB-nál, pedig egy effektfájl néhány száz bájt.")
                            .arg(MaxEffectFileSize / 1024))};
    }
    const QList<QByteArrayView> lines = firstLines(bytes, EffectLineCount);
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
            effect.channels[step - 1][channel - 1] = isOn(lines[step - 1], channel - 1);
    }

    const QByteArrayView speedText = trimmed(lines[SpeedLine - 1]);
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
        effect.speed = static_cast<qint16>(value);
    }

    const QByteArrayView enables = lines[EnableLine - 1];
    effect.enableLine = QString::fromLatin1(enables);
    for (int step = 1; step <= StepCount; ++step)
        effect.enables[step - 1] = isOn(enables, step - 1);
    return {effect, QString()};
}

bool loadEffectBytes(const QString& path, QByteArray& bytes, QString& error) {
    const QString heading = QStringLiteral("Nem sikerült megnyitni: %1\n").arg(shownName(path));
    const QFileInfo info(path);
    // Only a regular file: opening a pipe or a device could block or never end.
    if (!info.exists()) {
        error = heading + QStringLiteral("A fájl nem létezik.");
        return false;
    }
    if (info.isDir()) {
        error = heading + QStringLiteral("Ez egy mappa, nem fájl.");
        return false;
    }
    if (!info.isFile()) {
        error = heading + QStringLiteral("Ez nem közönséges fájl.");
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = heading + QStringLiteral("A fájl nem olvasható (%1).").arg(file.errorString());
        return false;
    }
    bytes = file.read(MaxEffectFileSize + 1);
    if (file.error() != QFileDevice::NoError) {
        error = heading + QStringLiteral("Olvasási hiba (%1).").arg(file.errorString());
        return false;
    }
    return true;
}

void applyEffect(const Effect& effect, StepPattern& boxes, SpeedControl& speedBar, IntervalTimer& timer,
                 Module1& module) {
    for (int step = 1; step <= StepCount; ++step) {
        for (int channel = 1; channel <= ChannelCount; ++channel)
            boxes.setChannelBox(step, channel, effect.channels[step - 1][channel - 1] ? 1 : 0);
    }
    if (effect.speed) {
        // The bar runs its change handler only for a new value; the interval follows it anyway.
        speedBar.setValue(*effect.speed);
        timer.setInterval(speedBar.value());
    }
    module.enablePattern = effect.enableLine;
    for (int step = 1; step <= StepCount; ++step)
        boxes.setEnableBox(step, effect.enables[step - 1] ? 1 : 0);
}
