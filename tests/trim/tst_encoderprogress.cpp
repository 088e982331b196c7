#include <QtTest>

#include "encoderprogress.h"

using Chunks = QList<QByteArray>;
// One expected value per chunk; a negative one stands for "no value".
using Values = QList<double>;

class TestEncoderProgress : public QObject
{
    Q_OBJECT

private slots:
    void feed_data();
    void feed();
    void errorTail();
};

void TestEncoderProgress::feed_data()
{
    QTest::addColumn<double>("outputDuration");
    QTest::addColumn<Chunks>("chunks");
    QTest::addColumn<Values>("values");

    QTest::newRow("half way")
        << 20.0 << Chunks{"frame=  50 fps=0.0 q=-1.0 size=  256kB time=00:00:10.00 bitrate= 209.7kbits/s speed=20x    \r"}
        << Values{50.0};
    QTest::newRow("two progress lines in one chunk, the first counts")
        << 20.0 << Chunks{"frame=1 time=00:00:05.00 bitrate=N/A\rframe=2 time=00:00:06.00 bitrate=N/A\r"} << Values{25.0};
    QTest::newRow("header and first progress line in one chunk")
        << 20.0 << Chunks{"  Duration: 00:00:20.00, start: 0.000000\nframe=1 time=00:00:02.00 bitrate=N/A\r"}
        << Values{10.0};
    QTest::newRow("time code without time=") << 20.0 << Chunks{"  Duration: 00:00:20.00, start: 0.000000\n"}
                                             << Values{-1};
    QTest::newRow("time code further on") << 20.0 << Chunks{"frame=0 time=N/A note 00:00:10.00\r"} << Values{-1};
    QTest::newRow("invalid UTF-8") << 20.0 << Chunks{"frame=1 \xff\xfe time=00:00:10.00 bitrate=N/A\r"} << Values{-1};
    QTest::newRow("comma in place of the point") << 20.0 << Chunks{"frame=1 time=00:00:10,00 bitrate=N/A\r"}
                                                 << Values{-1};
    QTest::newRow("no output duration") << 0.0 << Chunks{"time=00:00:10.00\r"} << Values{-1};
    // A selection whose start is after its end.
    QTest::newRow("negative output duration") << -5.0 << Chunks{"time=00:00:10.00\r"} << Values{-1};
    QTest::newRow("past the end is full") << 20.0 << Chunks{"time=00:00:30.00\r"} << Values{100.0};
    // Lines cut by the chunking.
    QTest::newRow("split inside the time code")
        << 20.0 << Chunks{"frame=5 time=00:00:1", "5.00 bitrate=N/A\r"} << Values{-1, 75.0};
    QTest::newRow("a line read whole is not read again")
        << 20.0 << Chunks{"frame=5 time=00:00:05.00 bitrate=", "N/A\rframe=6 time=00:00:06.00 bitrate=N/A\r"}
        << Values{25.0, 30.0};
    QTest::newRow("a line after one already read")
        << 20.0 << Chunks{"time=00:00:05.00 bitrate=", "N/A\rframe=6 ti", "me=00:00:06.00\r"} << Values{25.0, -1, 30.0};
    QTest::newRow("a split line after a complete one")
        << 20.0 << Chunks{"frame=5 time=00:00:05.00\rframe=6 time=00:00:0", "6.00\r"} << Values{25.0, 30.0};
}

void TestEncoderProgress::feed()
{
    QFETCH(double, outputDuration);
    QFETCH(Chunks, chunks);
    QFETCH(Values, values);
    QCOMPARE(chunks.size(), values.size());

    EncoderProgress progress(outputDuration);
    for (qsizetype i = 0; i < chunks.size(); ++i) {
        const std::optional<double> value = progress.feed(chunks.at(i));
        QVERIFY2(value.has_value() == (values.at(i) >= 0), qPrintable(QStringLiteral("chunk %1").arg(i)));
        if (value)
            QCOMPARE(*value, values.at(i));
    }
}

// The last lines of the error stream, for the message of a failed run.
void TestEncoderProgress::errorTail()
{
    EncoderProgress progress(10.0);
    QCOMPARE(progress.errorTail(), QString());
    progress.feed("Input #0, mov,mp4, from 'in.mp4':\n \n  Duration: 00:00:10.00\r\n");
    progress.feed("frame=1 time=00:00:01.00\rframe=2 time=00:00:02.00\r");
    progress.feed("[mp4 @ 0x1] Could not write hea");
    progress.feed("der\nConversion failed!\nlast words without an end");

    QCOMPARE(progress.errorTail(3),
             QStringLiteral("[mp4 @ 0x1] Could not write header\nConversion failed!\nlast words without an end"));
    QCOMPARE(progress.errorTail(4).split(QLatin1Char('\n')).first(), QStringLiteral("frame=2 time=00:00:02.00"));
    QCOMPARE(progress.errorTail(100).split(QLatin1Char('\n')).size(), 7);
    QCOMPARE(progress.errorTail(0), QString());
}

QTEST_GUILESS_MAIN(TestEncoderProgress)
#include "tst_encoderprogress.moc"
