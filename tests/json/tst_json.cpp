#include <QJsonDocument>
#include <QTest>
#include <QUrl>

#include "json.h"

using Type = JSON::Type;

namespace {

// Everything read from a value, or from where a path of lookups leads.
struct Readings
{
    Type type;
    const char *string;
    std::optional<JSONError> error = {};
    double number = 0;
    qint64 integer = 0;
    std::optional<qint64> optionalInteger = {}; // never read from a text
    qsizetype count = 0;
};

// Malformed test input fails loudly.
JSON parsed(const QByteArray &text)
{
    return JSON::fromData(text).value();
}

} // namespace

Q_DECLARE_METATYPE(Readings)

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
        QTest::addColumn<Readings>("readings");
        const auto value = [](const char *text, const Readings &readings) {
            QTest::newRow(text) << QByteArray(text) << QString() << readings;
        };
        const auto lookup = [](const char *name, const char *text, const char *path, const Readings &readings) {
            QTest::newRow(name) << QByteArray(text) << QString::fromLatin1(path) << readings;
        };
        constexpr qint64 large = 9007199254740993; // 2^53 + 1, no double
        value("true", {Type::boolean, "true", {}, 1, 1, 1});
        value("-7.123456789", {Type::number, "-7.123456789", {}, -7.123456789, -7, -7});
        value("9007199254740993", {Type::number, "9007199254740993", {}, double(large), large, large});
        value(R"("-12.5")", {Type::string, "-12.5", {}, -12.5, -12});
        value(R"("9007199254740993")", {Type::string, "9007199254740993", {}, double(large), large});
        value(R"("12abc")", {Type::string, "12abc"});
        value("[1, [2, 3]]", {Type::array, "", {}, 0, 0, {}, 2});
        value(R"({"a": 1, "b": {"c": 2}})", {Type::dictionary, "", {}, 0, 0, {}, 2});
        const char *report = R"({"streams": [{"tags": {"rotate": "90"}}], "name": "x", "a": null})";
        lookup("last element", "[7, 8, 9.5]", "2", {Type::number, "9.5", {}, 9.5, 9, 9});
        lookup("index -1", "[7, 8, 9]", "-1", {Type::null, "", JSONError::indexOutOfBounds});
        lookup("index equal to count", "[7, 8, 9]", "3", {Type::null, "", JSONError::indexOutOfBounds});
        // A missing key is not the same as one present with JSON null.
        lookup("key with JSON null", report, "a", {Type::null, ""});
        lookup("key letter case counts", report, "NAME", {Type::null, "", JSONError::notExist});
        // The first error is handed on along the chain.
        lookup("chain to a value", report, "streams/0/tags/rotate", {Type::string, "90", {}, 90, 90});
        lookup("chain past a missing key", report, "format/tags/title", {Type::null, "", JSONError::notExist});
        lookup("chain past a missing index", report, "streams/5/tags", {Type::null, "", JSONError::indexOutOfBounds});
        lookup("chain past a wrong step", report, "name/0/x/3", {Type::null, "", JSONError::wrongType});
    }
    void readings()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, path);
        QFETCH(Readings, readings);
        JSON value = parsed(text);
        for (const QString &step : path.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
            bool isIndex = false;
            const int index = step.toInt(&isIndex);
            value = isIndex ? value[index] : value[step];
        }
        QCOMPARE(value.type(), readings.type);
        QCOMPARE(value.error(), readings.error);
        QCOMPARE(value.exists(), !readings.error.has_value());
        // The comparison ignores errors: null is null.
        QCOMPARE(value == JSON(), readings.type == Type::null);
        QCOMPARE(value.stringValue(), QString::fromLatin1(readings.string));
        QCOMPARE(value.numberValue(), readings.number);
        QCOMPARE(value.intValue(), readings.integer);
        QCOMPARE(value.optionalInt(), readings.optionalInteger);
        QCOMPARE(value.count(), readings.count);
        QCOMPARE(value.dictionaryObject().has_value(), readings.type == Type::dictionary);
    }

    // Kinds never mix, and nothing is converted; objects are made into the JSON they equal.
    void equality_data()
    {
        QTest::addColumn<QVariant>("object"); // bytes are parsed
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<bool>("equal");
        const auto text = [](const char *json) { return QVariant(QByteArray(json)); };
        QTest::newRow("true vs 1") << text("true") << QByteArray("1") << false;
        QTest::newRow("false vs 0") << text("false") << QByteArray("0") << false;
        QTest::newRow("true vs false") << text("true") << QByteArray("false") << false;
        QTest::newRow("1 vs 1.0") << text("1") << QByteArray("1.0") << true;
        QTest::newRow("0 vs 0.5") << text("0") << QByteArray("0.5") << false;
        QTest::newRow("large numbers apart") << text("9007199254740993") << QByteArray("9007199254740992") << false;
        QTest::newRow("number vs its text") << text("90") << QByteArray(R"("90")") << false;
        QTest::newRow("nested bool vs number") << text("[[true]]") << QByteArray("[[1]]") << false;
        QTest::newRow("key order") << text(R"({"a": 1, "b": 2})") << QByteArray(R"({"b": 2, "a": 1})") << true;
        QTest::newRow("double") << QVariant(0.5) << QByteArray("0.5") << true;
        QTest::newRow("object") << QVariant(QJsonObject{{QStringLiteral("a"), 1}}) << QByteArray(R"({"a":1})") << true;
        // JSON values inside are unwrapped; an element of no JSON kind becomes null.
        const QVariant odd(QUrl(QStringLiteral("file:///x")));
        const QVariantList wrapped{QVariant::fromValue(JSON(QStringLiteral("x")))};
        const QVariantMap map{{QStringLiteral("list"), wrapped}, {QStringLiteral("odd"), odd}};
        QTest::newRow("map") << QVariant(map) << QByteArray(R"({"list": ["x"], "odd": null})") << true;
        QTest::newRow("no JSON kind") << odd << QByteArray("null") << false;
    }
    void equality()
    {
        QFETCH(QVariant, object);
        QFETCH(QByteArray, json);
        QFETCH(bool, equal);
        const JSON value = JSON::fromObject(object);
        QCOMPARE(value == parsed(json), equal);
        QCOMPARE(parsed(json) == value, equal);
        // A value of no JSON kind carries the reason and equals nothing, not even itself.
        QCOMPARE(value.exists(), value.type() != Type::unknown);
        QCOMPARE(value == value, value.exists());
    }
};

QTEST_GUILESS_MAIN(TestJson)
#include "tst_json.moc"
