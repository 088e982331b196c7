// SPDX-License-Identifier: GPL-3.0-or-later
// The selection's rules on the model alone: every move at its edges, what it
// tells, the presets and the keyframe snaps.

#include <QSignalSpy>
#include <QTest>

#include "packetlist.h"
#include "selection.h"

using namespace Qt::StringLiterals;
using Knob = Selection::Knob;
using Step = Selection::Step;

namespace {

QString knobNames(const QSignalSpy &spy)
{
    QStringList names;
    for (const QList<QVariant> &signal : spy)
        names << (signal.at(0).value<Knob>() == Knob::Start ? u"start"_s : u"end"_s);
    return names.join(u' ');
}

// "start-1s", "end+1f": a nudge; "preset:<index>"; "centred"; "keyframe-" or "keyframe+";
// "drag:<start fraction>:<end fraction>" as the slider reports it.
void perform(Selection &selection, const QString &move, const PacketList &packets)
{
    const QStringList parts = move.split(u':');
    if (parts.first() == "preset"_L1) {
        selection.choosePreset(parts.at(1).toInt());
    } else if (parts.first() == "centred"_L1) {
        selection.selectCentred();
    } else if (parts.first() == "drag"_L1) {
        selection.follow(parts.at(1).toDouble(), parts.at(2).toDouble(), Knob::End);
    } else if (move.startsWith(u"keyframe"_s)) {
        selection.moveStartToKeyframe(packets, move.endsWith(u'-') ? -1 : 1);
    } else {
        const Knob knob = move.startsWith(u"start"_s) ? Knob::Start : Knob::End;
        const QChar sign = move.at(knob == Knob::Start ? 5 : 3);
        selection.nudge(knob, move.endsWith(u'f') ? Step::Frame : Step::Second, sign == u'-' ? -1 : 1);
    }
}

} // namespace

class TestSelection : public QObject
{
    Q_OBJECT

private slots:
    void moves_data()
    {
        QTest::addColumn<double>("duration");
        QTest::addColumn<QString>("rate"); // numerator/denominator; empty tells none after a video of 50/1
        QTest::addColumn<QList<double>>("from"); // start, end in seconds
        QTest::addColumn<QList<double>>("keyframes");
        QTest::addColumn<QString>("move"); // see perform()
        QTest::addColumn<QList<double>>("to");
        QTest::addColumn<QString>("told"); // the knobs set | the knobs that changed

        const QList<double> none;
        const QList<double> every2s{0, 2, 4, 6, 8};
        const auto row = [](const char *name, double duration, const char *rate, QList<double> from,
                            QList<double> keyframes, const char *move, QList<double> to, const char *told) {
            QTest::newRow(name) << duration << QString::fromLatin1(rate) << from << keyframes
                                << QString::fromLatin1(move) << to << QString::fromLatin1(told);
        };
        row("start a second earlier", 12, "5/1", {3, 11}, none, "start-1s", {2, 11}, "start|start");
        row("start a second earlier stops at 0", 12, "5/1", {0.4, 11}, none, "start-1s", {0, 11}, "start|start");
        row("start at 0 earlier: set, unchanged", 12, "5/1", {0, 11}, none, "start-1f", {0, 11}, "start|");
        row("start a frame earlier stops at 0", 12, "5/1", {0.1, 11}, none, "start-1f", {0, 11}, "start|start");
        row("start a frame later at 25/s", 12, "25/1", {1, 11}, none, "start+1f", {1.04, 11}, "start|start");
        row("start a frame later at 30000/1001", 12, "30000/1001", {1, 11}, none, "start+1f", {1 + 1001.0 / 30000, 11},
            "start|start");
        row("no rate: the one before stays", 12, "", {1, 11}, none, "start+1f", {1.02, 11}, "start|start");
        row("start a second later stops at the input's end", 12, "5/1", {11.5, 12}, none, "start+1s", {12, 12},
            "start|start");
        row("start pushed past the end", 12, "5/1", {10.5, 11}, none, "start+1s", {11.5, 11}, "start|start");
        row("end a second earlier stops at 0", 12, "5/1", {0, 0.5}, none, "end-1s", {0, 0}, "end|end");
        row("end pulled before the start", 12, "5/1", {5, 5.5}, none, "end-1s", {5, 4.5}, "end|end");
        row("end a frame earlier", 12, "5/1", {1, 11}, none, "end-1f", {1, 10.8}, "end|end");
        row("end a second later stops at the input's end", 12, "5/1", {1, 11.5}, none, "end+1s", {1, 12},
            "end|end");
        row("end at the input's end later: set, unchanged", 12, "5/1", {1, 12}, none, "end+1f", {1, 12}, "end|");
        row("no duration: nothing moves", 0, "5/1", {0, 0}, none, "start+1s", {0, 0}, "|");
        row("preset from the start", 125, "", {50, 60}, none, "preset:2", {50, 80}, "start end|end");
        row("preset stops at the input's end", 110, "", {100, 105}, none, "preset:2", {100, 110}, "start end|end");
        row("centred: the longest preset shorter", 125, "", {0, 125}, none, "centred", {2.5, 122.5},
            "end start|end start");
        row("centred: a preset as long is not shorter", 60, "", {0, 60}, none, "centred", {7.5, 52.5},
            "end start|end start");
        row("centred: no preset shorter, all of it", 10, "", {2, 3}, none, "centred", {0, 10},
            "end start|end start");
        row("a drag", 10, "", {2, 3}, none, "drag:0.1:0.5", {1, 5}, "|end");
        row("keyframe before the start", 10, "", {3, 9}, every2s, "keyframe-", {2, 9}, "start|start");
        row("keyframe before: one within a millisecond is passed", 10, "", {2.0004, 9}, every2s, "keyframe-",
            {0, 9}, "start|start");
        row("keyframe after the start", 10, "", {3, 9}, every2s, "keyframe+", {4, 9}, "start|start");
        row("keyframe after, not onto the end", 10, "", {3, 4}, every2s, "keyframe+", {3, 4}, "|");
        row("no keyframes known: nothing moves", 10, "", {3, 9}, none, "keyframe-", {3, 9}, "|");
    }

    void moves()
    {
        QFETCH(double, duration);
        QFETCH(QString, rate);
        QFETCH(QList<double>, from);
        QFETCH(QList<double>, keyframes);
        QByteArray listing;
        for (const double keyframe : keyframes)
            listing += QByteArray::number(keyframe, 'f', 6) + ",K_\n";

        Selection selection;
        selection.setInput(duration, 50.0);
        const double numerator = rate.section(u'/', 0, 0).toDouble(), denominator = rate.section(u'/', 1).toDouble();
        selection.setInput(duration, rate.isEmpty() ? std::nullopt : std::optional(numerator / denominator));
        selection.moveTo(Knob::Start, from.at(0));
        selection.moveTo(Knob::End, from.at(1));
        QSignalSpy set(&selection, &Selection::knobSet);
        QSignalSpy changed(&selection, &Selection::changed);
        QFETCH(QString, move);
        perform(selection, move, PacketList::parse(listing));

        QFETCH(QList<double>, to);
        QVERIFY2(qAbs(selection.startSeconds() - to.at(0)) < 1e-9, qPrintable(QString::number(selection.startSeconds())));
        QVERIFY2(qAbs(selection.endSeconds() - to.at(1)) < 1e-9, qPrintable(QString::number(selection.endSeconds())));
        QCOMPARE(selection.isTrimmable(), to.at(1) > to.at(0));
        QTEST(knobNames(set) + u'|' + knobNames(changed), "told");
    }
};

QTEST_GUILESS_MAIN(TestSelection)
#include "tst_selection.moc"
