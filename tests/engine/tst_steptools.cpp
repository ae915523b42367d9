#include "FakeStepPattern.h"
#include "editing/StepTools.h"

#include <QtTest>

#include <initializer_list>
#include <utility>

namespace {

// The whole pattern as 22 texts: 12 channels as "x"/"0", then "e" for an enabled step or "-".
using Grid = QStringList;

Grid grid(std::initializer_list<std::pair<int, const char*>> rows) {
    Grid result(StepCount, QStringLiteral("000000000000-"));
    for (const auto& [step, text] : rows)
        result[step - 1] = QString::fromLatin1(text);
    return result;
}

void load(FakeStepPattern& boxes, const Grid& rows) {
    for (int step = 1; step <= StepCount; ++step) {
        boxes.setRow(step, rows[step - 1].left(ChannelCount));
        boxes.setEnableBox(step, rows[step - 1].at(ChannelCount) == u'e' ? 1 : 0);
    }
}

Grid read(const FakeStepPattern& boxes) {
    Grid rows;
    for (int step = 1; step <= StepCount; ++step) {
        QString row;
        for (int channel = 1; channel <= ChannelCount; ++channel)
            row += boxes.channelBox(step, channel) == 1 ? u'x' : u'0';
        rows << row + (boxes.enableBox(step) == 1 ? u'e' : u'-');
    }
    return rows;
}

} // namespace

class StepToolsTest : public QObject {
    Q_OBJECT
private slots:
    void tools_data();
    void tools();
    void grayedBoxCountsAsOffAndIsLeftAlone();
};

void StepToolsTest::tools_data() {
    QTest::addColumn<QString>("tool");
    QTest::addColumn<int>("target"); // a step, or a channel for the column tools
    QTest::addColumn<Grid>("before");
    QTest::addColumn<Grid>("after");

    QTest::newRow("all on") << "allOn" << 5 << grid({{5, "x00000000000-"}}) << grid({{5, "xxxxxxxxxxxx-"}});
    QTest::newRow("all off, last step")
        << "allOff" << 22 << grid({{21, "x00000000000e"}, {22, "xx000000000xe"}})
        << grid({{21, "x00000000000e"}, {22, "000000000000e"}});
    QTest::newRow("invert keeps the enable box")
        << "invert" << 1 << grid({{1, "x0x000000000e"}}) << grid({{1, "0x0xxxxxxxxxe"}});
    QTest::newRow("paste onto another step, its enable box stays")
        << "paste" << 9 << grid({{1, "xx00x0000000e"}, {9, "000000000xxx-"}})
        << grid({{1, "xx00x0000000e"}, {9, "xx00x0000000-"}});
    QTest::newRow("shift left wraps channel 1 to 12")
        << "shiftLeft" << 3 << grid({{3, "x0000000000x-"}}) << grid({{3, "0000000000xx-"}});
    QTest::newRow("shift right wraps channel 12 to 1")
        << "shiftRight" << 3 << grid({{3, "x0000000000x-"}}) << grid({{3, "xx0000000000-"}});
    QTest::newRow("insert at the first step drops the last row")
        << "insert" << 1
        << grid({{1, "x00000000000e"}, {2, "0x0000000000-"}, {21, "00x000000000e"}, {22, "000x00000000e"}})
        << grid({{2, "x00000000000e"}, {3, "0x0000000000-"}, {22, "00x000000000e"}});
    QTest::newRow("insert at the last step")
        << "insert" << 22 << grid({{21, "00x000000000e"}, {22, "000x00000000e"}})
        << grid({{21, "00x000000000e"}});
    QTest::newRow("delete the first step, an empty row comes in at the bottom")
        << "delete" << 1 << grid({{1, "x00000000000e"}, {2, "0x0000000000-"}, {22, "000x00000000e"}})
        << grid({{1, "0x0000000000-"}, {21, "000x00000000e"}});
    QTest::newRow("delete the last step")
        << "delete" << 22 << grid({{21, "00x000000000e"}, {22, "000x00000000e"}})
        << grid({{21, "00x000000000e"}});
    QTest::newRow("channel all on") << "channelAllOn" << 12 << grid({{4, "000000000000e"}}) << [] {
        Grid g = grid({{4, "00000000000xe"}});
        for (QString& row : g)
            row[11] = u'x';
        return g;
    }();
    QTest::newRow("channel all off") << "channelAllOff" << 1
                                     << grid({{4, "xx0000000000e"}, {22, "x00000000000-"}})
                                     << grid({{4, "0x0000000000e"}});
    QTest::newRow("channel invert") << "channelInvert" << 7 << grid({{2, "000000x00000e"}}) << [] {
        Grid g = grid({{2, "000000000000e"}});
        for (int step = 1; step <= StepCount; ++step) {
            if (step != 2)
                g[step - 1][6] = u'x';
        }
        return g;
    }();
}

void StepToolsTest::tools() {
    QFETCH(QString, tool);
    QFETCH(int, target);
    QFETCH(Grid, before);
    QFETCH(Grid, after);
    FakeStepPattern boxes;
    load(boxes, before);
    if (tool == "allOn")
        StepTools::setAllChannels(boxes, target, true);
    else if (tool == "allOff")
        StepTools::setAllChannels(boxes, target, false);
    else if (tool == "invert")
        StepTools::invertStep(boxes, target);
    else if (tool == "paste")
        StepTools::pasteStep(boxes, target, StepTools::copyStep(boxes, 1));
    else if (tool == "shiftLeft")
        StepTools::shiftLeft(boxes, target);
    else if (tool == "shiftRight")
        StepTools::shiftRight(boxes, target);
    else if (tool == "insert")
        StepTools::insertStep(boxes, target);
    else if (tool == "delete")
        StepTools::deleteStep(boxes, target);
    else if (tool == "channelAllOn")
        StepTools::setAllSteps(boxes, target, true);
    else if (tool == "channelAllOff")
        StepTools::setAllSteps(boxes, target, false);
    else if (tool == "channelInvert")
        StepTools::invertChannel(boxes, target);
    else
        QFAIL("unknown tool");
    QCOMPARE(read(boxes), after);
    QVERIFY(boxes.redSteps().isEmpty()); // the tools never touch the step marker
}

void StepToolsTest::grayedBoxCountsAsOffAndIsLeftAlone() {
    FakeStepPattern boxes;
    boxes.setChannelBox(1, 1, 2);
    StepTools::setAllChannels(boxes, 1, false);
    QCOMPARE(boxes.channelBox(1, 1), 2); // already off as far as anyone reads it
    StepTools::shiftRight(boxes, 1);
    QCOMPARE(boxes.channelBox(1, 2), 0);
    StepTools::invertStep(boxes, 1);
    const StepTools::StepRow allOn = EffectGrid::AllChannels;
    QCOMPARE(StepTools::copyStep(boxes, 1), allOn);
    QCOMPARE(boxes.channelBox(1, 1), 1);
}

QTEST_MAIN(StepToolsTest)
#include "tst_steptools.moc"
