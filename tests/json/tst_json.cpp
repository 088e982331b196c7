// SPDX-License-Identifier: GPL-3.0-or-later
#include <QTest>

#include "json.h"

using namespace Qt::StringLiterals;

namespace {

// Malformed test input fails loudly.
JSON parsed(const QByteArray &text)
{
    return JSON::fromData(text).value();
}

// What the readers give, as "text|number|integer|optional integer|count", then whether the value equals null,
// does not exist, and is a dictionary.
QString readingsOf(const JSON &value)
{
    const std::optional<qint64> optional = value.optionalInt();
    QStringList facts{value.stringValue(), QString::number(value.numberValue(), 'g', QLocale::FloatingPointShortest),
                      QString::number(value.intValue()), optional ? QString::number(*optional) : u"-"_s,
                      QString::number(value.count())};
    if (value == JSON())
        facts << u"null"_s;
    if (!value.exists())
        facts << u"missing"_s;
    if (value.dictionaryObject())
        facts << u"dictionary"_s;
    return facts.join(u'|');
}

} // namespace

class TestJson : public QObject
{
    Q_OBJECT

private slots:
    // Top-level scalars are accepted, but nothing that is not one JSON value.
    void malformedText()
    {
        for (const char *text : {"", "1,2", "1],[2", R"({"streams": [)", "[\"\xff\xfe\"]"}) {
            QJsonParseError error{-1, QJsonParseError::NoError};
            QVERIFY2(!JSON::fromData(text, &error) && error.error != QJsonParseError::NoError, text);
        }
    }

    // Each step of a path is an index when it reads as a number, else a key.
    void readings_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char *name, const char *text, const char *path, const char *expected) {
            QTest::newRow(name) << QByteArray(text) << QString::fromLatin1(path) << QString::fromLatin1(expected);
        };
        const char *report = R"({"streams": [{"tags": {"rotate": "90"}}], "name": "x", "a": null})";
        row("true", "true", "", "true|1|1|1|0");
        row("number text", R"("-12.5")", "", "-12.5|-12.5|-12|-|0");
        row("text not a number", R"("12abc")", "", "12abc|0|0|-|0");
        row("array", "[1, [2, 3]]", "", "|0|0|-|2");
        row("dictionary", R"({"a": 1, "b": {"c": 2}})", "", "|0|0|-|2|dictionary");
        // A fraction is cut towards zero, never read as a whole number.
        row("fraction at an index", "[7, 8, -9.5]", "2", "-9.5|-9.5|-9|-9|0");
        // A missing key is not the same as one present with JSON null.
        row("key with JSON null", report, "a", "|0|0|-|0|null");
        row("chain to a value", report, "streams/0/tags/rotate", "90|90|90|-|0");
        // A failed step is handed on along the chain.
        row("chain past a missing key", report, "format/tags/title", "|0|0|-|0|null|missing");
        row("chain past a wrong step", report, "name/0/x", "|0|0|-|0|null|missing");
    }
    void readings()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, path);
        QFETCH(QString, expected);
        JSON value = parsed(text);
        for (const QString &step : path.split(u'/', Qt::SkipEmptyParts)) {
            bool isIndex = false;
            const int index = step.toInt(&isIndex);
            value = isIndex ? value[index] : value[step];
        }
        QCOMPARE(readingsOf(value), expected);
    }

    // Kinds never mix, and nothing is converted; an object is made into the JSON it equals.
    void equality_data()
    {
        QTest::addColumn<QVariant>("object"); // bytes are parsed
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<bool>("equal");
        const auto row = [](const char *name, const QVariant &object, const char *json, bool equal) {
            QTest::newRow(name) << object << QByteArray(json) << equal;
        };
        row("false vs 0", QByteArray("false"), "0", false);
        row("1 vs 1.0", QByteArray("1"), "1.0", true);
        row("large numbers apart", QByteArray("9007199254740993"), "9007199254740992", false);
        row("0 vs 0.5", QByteArray("0"), "0.5", false);
        row("number vs its text", QByteArray("90"), R"("90")", false);
        row("object", QJsonObject{{u"a"_s, 1}}, R"({"a": 1})", true);
    }
    void equality()
    {
        QFETCH(QVariant, object);
        QFETCH(QByteArray, json);
        QFETCH(bool, equal);
        const JSON value = JSON::fromObject(object);
        QCOMPARE(value == parsed(json), equal);
        QCOMPARE(parsed(json) == value, equal);
    }
};

QTEST_GUILESS_MAIN(TestJson)
#include "tst_json.moc"
