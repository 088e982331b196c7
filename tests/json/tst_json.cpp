#include <QJsonDocument>
#include <QTest>
#include <QUrl>

#include "json.h"

using Type = JSON::Type;
using OptionalError = std::optional<JSONError>;
using OptionalInt = std::optional<qint64>;

Q_DECLARE_METATYPE(OptionalError)
Q_DECLARE_METATYPE(OptionalInt)

namespace {

JSON parsed(const char *text)
{
    const std::optional<JSON> value = JSON::fromData(QByteArray(text));
    if (!value)
        qFatal("test input is not JSON: %s", text);
    return *value;
}

QString key(const char *name)
{
    return QString::fromLatin1(name);
}

JSON unsupported()
{
    return JSON::fromObject(QVariant(QUrl(key("file:///a"))));
}

} // namespace

class TestJson : public QObject
{
    Q_OBJECT

private slots:
    void malformedText_data();
    void malformedText();
    void accessors_data();
    void accessors();
    void containers();
    void lookupErrors_data();
    void lookupErrors();
    void firstErrorIsHandedOnAlongTheChain();
    void equality_data();
    void equality();
    void unknownValuesAreNeverEqual();
    void fromObject_data();
    void fromObject();
    void rawValuesConvertBack();
};

// Top-level scalars are accepted: the accessor rows parse them.
void TestJson::malformedText_data()
{
    QTest::addColumn<QByteArray>("text");

    QTest::newRow("empty") << QByteArray();
    QTest::newRow("two scalars") << QByteArray("1,2");
    QTest::newRow("bracket games") << QByteArray("1],[2");
    QTest::newRow("garbage after object") << QByteArray("{} x");
    QTest::newRow("truncated object") << QByteArray(R"({"streams": [)");
    QTest::newRow("invalid UTF-8") << QByteArray("[\"\xff\xfe\"]");
}

void TestJson::malformedText()
{
    QFETCH(QByteArray, text);

    QJsonParseError error{-1, QJsonParseError::NoError};
    QCOMPARE(JSON::fromData(text, &error).has_value(), false);
    QVERIFY(error.error != QJsonParseError::NoError);
    QVERIFY(error.offset >= 0 && error.offset <= text.size());
}

void TestJson::accessors_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<Type>("type");
    QTest::addColumn<QString>("string");
    QTest::addColumn<double>("number");
    QTest::addColumn<qint64>("integer");
    QTest::addColumn<OptionalInt>("optionalInteger");

    constexpr qint64 large = 9007199254740993; // 2^53 + 1, no double
    constexpr qint64 largest = std::numeric_limits<qint64>::max();
    const OptionalInt none;
    QTest::newRow("true") << QByteArray("true") << Type::boolean << key("true") << 1.0 << 1ll << OptionalInt(1);
    QTest::newRow("two point zero") << QByteArray("2.0") << Type::number << key("2") << 2.0 << 2ll << OptionalInt(2);
    QTest::newRow("fraction") << QByteArray("12.5") << Type::number << key("12.5") << 12.5 << 12ll << OptionalInt(12);
    QTest::newRow("negative truncates") << QByteArray("-7.9") << Type::number << key("-7.9") << -7.9 << -7ll
                                        << OptionalInt(-7);
    QTest::newRow("beyond 2^53 stays exact") << QByteArray("9007199254740993") << Type::number
                                             << key("9007199254740993") << double(large) << large << OptionalInt(large);
    QTest::newRow("beyond 64 bits saturates") << QByteArray("1e300") << Type::number << key("1e+300") << 1e300
                                              << largest << OptionalInt(largest);
    // Numbers given as texts: read by intValue and doubleValue, never by optionalInt.
    QTest::newRow("decimal text") << QByteArray(R"("12.5")") << Type::string << key("12.5") << 12.5 << 12ll << none;
    QTest::newRow("negative text") << QByteArray(R"("-90")") << Type::string << key("-90") << -90.0 << -90ll << none;
    QTest::newRow("text with blanks") << QByteArray(R"(" 42 ")") << Type::string << key(" 42 ") << 42.0 << 42ll << none;
    QTest::newRow("long whole text") << QByteArray(R"("9007199254740993")") << Type::string << key("9007199254740993")
                                     << double(large) << large << none;
    QTest::newRow("number then letters") << QByteArray(R"("12abc")") << Type::string << key("12abc") << 0.0 << 0ll << none;
    QTest::newRow("infinity text") << QByteArray(R"("inf")") << Type::string << key("inf") << 0.0 << 0ll << none;
    QTest::newRow("grouped text") << QByteArray(R"("1,000")") << Type::string << key("1,000") << 0.0 << 0ll << none;
    QTest::newRow("null") << QByteArray("null") << Type::null << QString() << 0.0 << 0ll << none;
    QTest::newRow("array") << QByteArray("[1]") << Type::array << QString() << 0.0 << 0ll << none;
    QTest::newRow("dictionary") << QByteArray(R"({"a": 1})") << Type::dictionary << QString() << 0.0 << 0ll << none;
}

void TestJson::accessors()
{
    QFETCH(QByteArray, text);
    QFETCH(Type, type);
    QFETCH(QString, string);
    QFETCH(double, number);
    QFETCH(qint64, integer);
    QFETCH(OptionalInt, optionalInteger);

    const JSON value = parsed(text.constData());
    QCOMPARE(value.type(), type);
    QCOMPARE(value.stringValue(), string);
    QCOMPARE(value.numberValue(), number);
    QCOMPARE(value.doubleValue(), number);
    QCOMPARE(value.intValue(), integer);
    QCOMPARE(value.optionalInt(), optionalInteger);
}

void TestJson::containers()
{
    const QByteArray stream = R"({"width": 64, "tags": {"language": "eng"}})";
    QCOMPARE(parsed(stream).count(), 2);
    QCOMPARE(parsed("[1, [2, 3], 4]").count(), 3);
    QCOMPARE(parsed(R"("abc")").count(), 0);
    QCOMPARE(parsed(stream).dictionaryObject(), std::optional(QJsonDocument::fromJson(stream).object()));
    QCOMPARE(parsed("[]").dictionaryObject(), std::nullopt);
}

void TestJson::lookupErrors_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QVariant>("step"); // an index (qsizetype) or a key (QString)
    QTest::addColumn<OptionalError>("error");
    QTest::addColumn<QString>("found"); // stringValue of the result

    const auto index = [](qsizetype i) { return QVariant::fromValue(i); };
    const QVariant a(key("a"));
    const OptionalError none;
    QTest::newRow("first element") << QByteArray("[7, 8, 9]") << index(0) << none << key("7");
    QTest::newRow("last element") << QByteArray("[7, 8, 9]") << index(2) << none << key("9");
    QTest::newRow("index -1") << QByteArray("[7, 8, 9]") << index(-1) << OptionalError(JSONError::indexOutOfBounds)
                              << QString();
    QTest::newRow("index equal to count") << QByteArray("[7, 8, 9]") << index(3)
                                          << OptionalError(JSONError::indexOutOfBounds) << QString();
    QTest::newRow("index on text") << QByteArray(R"("abc")") << index(0) << OptionalError(JSONError::wrongType)
                                   << QString();
    QTest::newRow("key on array") << QByteArray(R"([{"a": 1}])") << a << OptionalError(JSONError::wrongType) << QString();
    QTest::newRow("key present") << QByteArray(R"({"a": "x"})") << a << none << key("x");
    // A missing key is not the same as one present with JSON null.
    QTest::newRow("key with JSON null") << QByteArray(R"({"a": null})") << a << none << QString();
    QTest::newRow("key letter case counts") << QByteArray(R"({"A": "x"})") << a << OptionalError(JSONError::notExist)
                                            << QString();
}

void TestJson::lookupErrors()
{
    QFETCH(QByteArray, text);
    QFETCH(QVariant, step);
    QFETCH(OptionalError, error);
    QFETCH(QString, found);

    const JSON value = parsed(text.constData());
    const JSON result = step.typeId() == QMetaType::QString ? value[step.toString()]
                                                            : value[step.value<qsizetype>()];
    QCOMPARE(result.error(), error);
    QCOMPARE(result.exists(), !error.has_value());
    QCOMPARE(result.stringValue(), found);
    if (error) {
        QCOMPARE(result.type(), Type::null);
        QCOMPARE(result.optionalInt(), std::nullopt);
        // The comparison ignores errors: null is null.
        QVERIFY(result == parsed("null"));
    }
}

void TestJson::firstErrorIsHandedOnAlongTheChain()
{
    const JSON report = parsed(R"({"streams": [{"tags": {"rotate": "90"}}], "name": "x"})");

    QCOMPARE(report[key("format")][key("tags")][key("title")].error(), JSONError::notExist);
    QCOMPARE(report[key("streams")][5][key("tags")][key("rotate")].error(), JSONError::indexOutOfBounds);
    QCOMPARE(report[key("name")][0][key("x")][3].error(), JSONError::wrongType);
    QCOMPARE(report[QLatin1String("streams")][0u][QLatin1String("tags")][QLatin1String("rotate")].intValue(), 90);
    QCOMPARE(unsupported()[key("a")][1].error(), JSONError::unsupportedType);
}

void TestJson::equality_data()
{
    QTest::addColumn<QByteArray>("left");
    QTest::addColumn<QByteArray>("right");
    QTest::addColumn<bool>("equal");

    QTest::newRow("true vs 1") << QByteArray("true") << QByteArray("1") << false;
    QTest::newRow("false vs 0") << QByteArray("false") << QByteArray("0") << false;
    QTest::newRow("true vs false") << QByteArray("true") << QByteArray("false") << false;
    QTest::newRow("1 vs 1.0") << QByteArray("1") << QByteArray("1.0") << true;
    QTest::newRow("0 vs 0.5") << QByteArray("0") << QByteArray("0.5") << false;
    QTest::newRow("large whole numbers apart") << QByteArray("9007199254740993") << QByteArray("9007199254740992") << false;
    QTest::newRow("number vs its text") << QByteArray("90") << QByteArray(R"("90")") << false;
    QTest::newRow("same text") << QByteArray(R"("video")") << QByteArray(R"("video")") << true;
    QTest::newRow("letter case") << QByteArray(R"("video")") << QByteArray(R"("Video")") << false;
    QTest::newRow("empty text vs null") << QByteArray(R"("")") << QByteArray("null") << false;
    QTest::newRow("null vs null") << QByteArray("null") << QByteArray("null") << true;
    QTest::newRow("nested bool vs number") << QByteArray("[[true]]") << QByteArray("[[1]]") << false;
    QTest::newRow("dictionaries key order") << QByteArray(R"({"a": 1, "b": 2})") << QByteArray(R"({"b": 2, "a": 1})")
                                            << true;
}

void TestJson::equality()
{
    QFETCH(QByteArray, left);
    QFETCH(QByteArray, right);
    QFETCH(bool, equal);

    QCOMPARE(parsed(left.constData()) == parsed(right.constData()), equal);
    QCOMPARE(parsed(right.constData()) == parsed(left.constData()), equal);
}

void TestJson::unknownValuesAreNeverEqual()
{
    const JSON first = unsupported();
    QCOMPARE(first.type(), Type::unknown);
    QCOMPARE(first.error(), JSONError::unsupportedType);
    QVERIFY(!(first == unsupported()));
    QVERIFY(!(first == first));
    QVERIFY(!(JSON() == first));
}

void TestJson::fromObject_data()
{
    QTest::addColumn<QVariant>("object");
    QTest::addColumn<QByteArray>("json"); // what it equals

    const QVariantMap withJsonValues{
        {key("list"), QVariantList{QVariant::fromValue(JSON(key("x"))), QVariant::fromValue(parsed("[true]"))}},
        {key("odd"), QVariant(QUrl(key("file:///x")))}};
    QTest::newRow("bytes") << QVariant(QByteArray(R"({"a": 1})")) << QByteArray(R"({"a": 1})");
    QTest::newRow("malformed bytes") << QVariant(QByteArray("{")) << QByteArray("null");
    QTest::newRow("text that looks like JSON") << QVariant(key("[1]")) << QByteArray(R"("[1]")");
    QTest::newRow("int") << QVariant(90) << QByteArray("90");
    QTest::newRow("unsigned 64 bits") << QVariant(18446744073709551615ULL) << QByteArray("18446744073709551615");
    QTest::newRow("double") << QVariant(0.5) << QByteArray("0.5");
    QTest::newRow("bool") << QVariant(true) << QByteArray("true");
    QTest::newRow("invalid variant") << QVariant() << QByteArray("null");
    QTest::newRow("null pointer") << QVariant::fromValue(nullptr) << QByteArray("null");
    QTest::newRow("Qt object") << QVariant(QJsonObject{{key("a"), 1}}) << QByteArray(R"({"a": 1})");
    QTest::newRow("string list") << QVariant(QStringList{key("x")}) << QByteArray(R"(["x"])");
    QTest::newRow("wrapped JSON text") << QVariant::fromValue(JSON(key("x"))) << QByteArray(R"("x")");
    // JSON values inside are unwrapped; an unsupported element has no place in JSON and becomes null.
    QTest::newRow("map") << QVariant(withJsonValues) << QByteArray(R"({"list": ["x", [true]], "odd": null})");
}

void TestJson::fromObject()
{
    QFETCH(QVariant, object);
    QFETCH(QByteArray, json);

    const JSON value = JSON::fromObject(object);
    QVERIFY(value == parsed(json.constData()));
    QCOMPARE(value.error(), std::nullopt);
}

void TestJson::rawValuesConvertBack()
{
    for (int raw = 0; raw <= 6; ++raw)
        QCOMPARE(static_cast<int>(JSON::typeFromRawValue(raw).value()), raw);
    QCOMPARE(JSON::typeFromRawValue(2), Type::boolean);
    QCOMPARE(JSON::typeFromRawValue(-1), std::nullopt);
    QCOMPARE(JSON::typeFromRawValue(7), std::nullopt);

    const std::pair<int, JSONError> codes[] = {
        {999, JSONError::unsupportedType}, {900, JSONError::indexOutOfBounds}, {902, JSONError::elementTooDeep},
        {901, JSONError::wrongType},       {500, JSONError::notExist},         {490, JSONError::invalidJSON}};
    for (const auto &[code, error] : codes)
        QCOMPARE(jsonErrorFromCode(code), error);
    QCOMPARE(jsonErrorFromCode(0), std::nullopt);
    QCOMPARE(jsonErrorFromCode(903), std::nullopt);
}

QTEST_GUILESS_MAIN(TestJson)
#include "tst_json.moc"
