#include <QtTest>

#include "trimcommand.h"

namespace {

QString s(const char *text)
{
    return QString::fromUtf8(text);
}

const QString input = s("/videos/in.mov");
const QString partial = s("/videos/.Trimmed.kestrel-partial-1a2b3c4d.mov");

TrimParameters parameters(double duration, double start, double end, bool forceEncode = false,
                          bool hasAudio = true, bool moreThanTwoChannels = false)
{
    return {.duration = duration, .selectionStart = start, .selectionEnd = end, .forceEncode = forceEncode,
            .hasAudioTrack = hasAudio, .hasAudioTrackWhichHasMoreThanTwoChannels = moreThanTwoChannels,
            .inputPath = input, .outputPath = partial};
}

QStringList streamCopy(const char *start, const char *duration, const QString &in = input,
                       const QString &out = partial)
{
    return {s("-ss"), s(start), s("-i"), in, s("-t"), s(duration), s("-c"), s("copy"),
            s("-avoid_negative_ts"), s("1"), s("-y"), out};
}

// Of the middle half of 100 seconds.
QStringList reencode(bool downmix)
{
    return QStringList{s("-ss"), s("0:00:25.000"), s("-i"), input, s("-t"), s("50.0"), s("-sn"), s("-dn"),
                       s("-map_chapters"), s("-1"), s("-map_metadata"), s("-1"), s("-pix_fmt"), s("yuv420p")}
        + (downmix ? QStringList{s("-ac"), s("2")} : QStringList())
        + QStringList{s("-avoid_negative_ts"), s("1"), s("-y"), partial};
}

} // namespace

class TestTrimCommand : public QObject
{
    Q_OBJECT

private slots:
    void arguments_data();
    void arguments();
    void secondsUseTheSliderRange();
    void diagnosticLine_data();
    void diagnosticLine();
};

void TestTrimCommand::arguments_data()
{
    QTest::addColumn<TrimParameters>("parameters");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("whole input") << parameters(62.5, 0.0, 1.0) << streamCopy("0:00:00.000", "62.5");
    QTest::newRow("middle half") << parameters(100.0, 0.25, 0.75) << streamCopy("0:00:25.000", "50.0");
    QTest::newRow("six channels re-encoded") << parameters(100.0, 0.25, 0.75, true, true, true) << reencode(true);
    QTest::newRow("six channels stream copy") << parameters(100.0, 0.25, 0.75, false, true, true)
                                              << streamCopy("0:00:25.000", "50.0");
    QTest::newRow("stereo re-encoded") << parameters(100.0, 0.25, 0.75, true, true, false) << reencode(false);
    QTest::newRow("no audio re-encoded") << parameters(100.0, 0.25, 0.75, true, false, false) << reencode(false);
    // Only both facts together ask for a down-mix.
    QTest::newRow("channel fact without audio track") << parameters(100.0, 0.25, 0.75, true, false, true)
                                                      << reencode(false);
    QTest::newRow("start equals end") << parameters(100.0, 0.5, 0.5) << streamCopy("0:00:50.000", "0.0");
    QTest::newRow("start after end") << parameters(100.0, 0.5, 0.45) << streamCopy("0:00:50.000", "-5.0");

    TrimParameters blanks = parameters(10.0, 0.0, 1.0);
    blanks.inputPath = s("/my videos/holiday \"best\" cut.mp4");
    blanks.outputPath = s("/my videos/.Trimmed copy.kestrel-partial-00ff00ff.mp4");
    QTest::newRow("paths with blanks and quotes")
        << blanks << streamCopy("0:00:00.000", "10.0", blanks.inputPath, blanks.outputPath);
}

void TestTrimCommand::arguments()
{
    QFETCH(TrimParameters, parameters);
    QFETCH(QStringList, expected);
    QCOMPARE(TrimCommand::trimArguments(parameters), expected);
}

void TestTrimCommand::secondsUseTheSliderRange()
{
    TrimParameters p = parameters(100.0, 0.5, 1.0);
    p.minValue = 0.2;
    p.maxValue = 0.6;
    QCOMPARE(p.endSeconds(), 60.0);
    QCOMPARE(TrimCommand::trimArguments(p).mid(0, 6),
             (QStringList{s("-ss"), s("0:00:40.000"), s("-i"), p.inputPath, s("-t"), s("20.0")}));
}

void TestTrimCommand::diagnosticLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("line");

    QTest::newRow("plain") << QStringList{s("-ss"), s("0:00:02.500"), s("-y")}
                           << s(R"(["-ss", "0:00:02.500", "-y"])");
    QTest::newRow("quote") << QStringList{s("a \"b\".mp4")} << s(R"(["a \"b\".mp4"])");
    QTest::newRow("backslash") << QStringList{s("a\\b")} << s(R"(["a\\b"])");
    QTest::newRow("newline, tab, return") << QStringList{s("a\nb\tc\rd")} << s(R"(["a\nb\tc\rd"])");
    QTest::newRow("other control") << QStringList{s("a\x1b" "b")} << s(R"(["a\u{1B}b"])");
    QTest::newRow("non-ASCII kept") << QStringList{s("Vidéo 東京.mp4")} << s(R"(["Vidéo 東京.mp4"])");
}

void TestTrimCommand::diagnosticLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, line);
    QCOMPARE(TrimCommand::diagnosticLine(arguments), line);
}

QTEST_GUILESS_MAIN(TestTrimCommand)
#include "tst_trimcommand.moc"
