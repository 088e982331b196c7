#include <QJsonDocument>
#include <QTest>
#include <QUrl>

#include "json.h"

using Type = JSON::Type;

Q_DECLARE_METATYPE(JSONError)
Q_DECLARE_METATYPE(std::optional<JSONError>)
Q_DECLARE_METATYPE(std::optional<qint64>)

namespace {

JSON parsed(const char *text)
{
    const std::optional<JSON> value = JSON::fromData(QByteArray(text));
    if (!value)
        qFatal("test input is not JSON: %s", text);
    return *value;
}

const QString key(const char *name)
{
    return QString::fromLatin1(name);
}

} // namespace

class TestJson : public QObject
{
    Q_OBJECT

private slots:
    void parsing_data();
    void parsing();
    void malformedBytesReportTheParserError();
    void accessors_data();
    void accessors();
    void missingKeyDiffersFromJsonNull();
    void lookupErrors_data();
    void lookupErrors();
    void firstErrorIsHandedOnAlongTheChain();
    void dictionaryObjectGivesTheRawEntries();
    void equality_data();
    void equality();
    void unknownValuesAreNeverEqual();
    void fromObject_data();
    void fromObject();
    void jsonValuesInsideContainersAreUnwrapped();
    void rawValuesConvertBack();
};

void TestJson::parsing_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("parses");
    QTest::addColumn<Type>("type"); // when it parses

    QTest::newRow("object") << QByteArray(R"({"a": 1})") << true << Type::dictionary;
    QTest::newRow("array") << QByteArray("[1, 2]") << true << Type::array;
    QTest::newRow("scalar number") << QByteArray("12") << true << Type::number;
    QTest::newRow("scalar text") << QByteArray(R"("x")") << true << Type::string;
    QTest::newRow("scalar true") << QByteArray("true") << true << Type::boolean;
    QTest::newRow("scalar null") << QByteArray("null") << true << Type::null;
    QTest::newRow("scalar with blanks") << QByteArray(" \n 12 \t") << true << Type::number;
    QTest::newRow("empty") << QByteArray() << false << Type::null;
    QTest::newRow("blanks only") << QByteArray("  \n") << false << Type::null;
    QTest::newRow("two scalars") << QByteArray("1,2") << false << Type::null;
    QTest::newRow("two scalars with blank") << QByteArray("1 2") << false << Type::null;
    QTest::newRow("closing bracket") << QByteArray("]") << false << Type::null;
    QTest::newRow("bracket games") << QByteArray("1],[2") << false << Type::null;
    QTest::newRow("trailing comma") << QByteArray("[1,]") << false << Type::null;
    QTest::newRow("truncated object") << QByteArray(R"({"streams": [)") << false << Type::null;
    QTest::newRow("unterminated text") << QByteArray(R"("abc)") << false << Type::null;
    QTest::newRow("garbage after object") << QByteArray("{} x") << false << Type::null;
    QTest::newRow("words") << QByteArray("hello") << false << Type::null;
    QTest::newRow("invalid UTF-8") << QByteArray("[\"\xff\xfe\"]") << false << Type::null;
    QTest::newRow("too deep") << QByteArray(5000, '[') + QByteArray(5000, ']') << false << Type::null;
}

void TestJson::parsing()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, parses);
    QFETCH(Type, type);

    QJsonParseError error{-1, QJsonParseError::NoError};
    const std::optional<JSON> value = JSON::fromData(text, &error);
    QCOMPARE(value.has_value(), parses);
    if (parses) {
        QCOMPARE(value->type(), type);
        QVERIFY(value->exists());
        QCOMPARE(error.error, QJsonParseError::NoError);
    } else {
        QVERIFY(error.error != QJsonParseError::NoError);
        QVERIFY(!error.errorString().isEmpty());
        QVERIFY(error.offset >= 0 && error.offset <= text.size());
    }
}

void TestJson::malformedBytesReportTheParserError()
{
    QJsonParseError error;
    QVERIFY(!JSON::fromData(QByteArray(R"({"a": })"), &error));
    QVERIFY(error.error != QJsonParseError::NoError);

    // The same bytes handed over as an object give a plain null, no error.
    const JSON fromBytes = JSON::fromObject(QVariant(QByteArray(R"({"a": })")));
    QCOMPARE(fromBytes.type(), Type::null);
    QVERIFY(fromBytes.exists());
    QCOMPARE(fromBytes.error(), std::nullopt);
}

void TestJson::accessors_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<Type>("type");
    QTest::addColumn<QString>("string");
    QTest::addColumn<double>("number");
    QTest::addColumn<qint64>("integer");
    QTest::addColumn<std::optional<qint64>>("optionalInteger");
    QTest::addColumn<qsizetype>("count");

    const std::optional<qint64> none;
    QTest::newRow("true") << QByteArray("true") << Type::boolean << key("true") << 1.0 << qint64(1) << std::optional<qint64>(1) << qsizetype(0);
    QTest::newRow("false") << QByteArray("false") << Type::boolean << key("false") << 0.0 << qint64(0) << std::optional<qint64>(0) << qsizetype(0);
    QTest::newRow("one") << QByteArray("1") << Type::number << key("1") << 1.0 << qint64(1) << std::optional<qint64>(1) << qsizetype(0);
    QTest::newRow("two point zero") << QByteArray("2.0") << Type::number << key("2") << 2.0 << qint64(2) << std::optional<qint64>(2) << qsizetype(0);
    QTest::newRow("fraction") << QByteArray("12.5") << Type::number << key("12.5") << 12.5 << qint64(12) << std::optional<qint64>(12) << qsizetype(0);
    QTest::newRow("negative fraction truncates") << QByteArray("-7.9") << Type::number << key("-7.9") << -7.9 << qint64(-7) << std::optional<qint64>(-7) << qsizetype(0);
    QTest::newRow("beyond 2^53 stays exact") << QByteArray("9007199254740993") << Type::number << key("9007199254740993") << 9007199254740992.0 << qint64(9007199254740993) << std::optional<qint64>(9007199254740993) << qsizetype(0);
    QTest::newRow("beyond 64 bits saturates") << QByteArray("1e300") << Type::number << key("1e+300") << 1e300 << std::numeric_limits<qint64>::max() << std::optional<qint64>(std::numeric_limits<qint64>::max()) << qsizetype(0);
    QTest::newRow("decimal text") << QByteArray(R"("12.5")") << Type::string << key("12.5") << 12.5 << qint64(12) << none << qsizetype(0);
    QTest::newRow("whole text") << QByteArray(R"("90")") << Type::string << key("90") << 90.0 << qint64(90) << none << qsizetype(0);
    QTest::newRow("text with blanks") << QByteArray(R"(" 42 ")") << Type::string << key(" 42 ") << 42.0 << qint64(42) << none << qsizetype(0);
    QTest::newRow("negative text") << QByteArray(R"("-90")") << Type::string << key("-90") << -90.0 << qint64(-90) << none << qsizetype(0);
    QTest::newRow("exponent text") << QByteArray(R"("1e3")") << Type::string << key("1e3") << 1000.0 << qint64(1000) << none << qsizetype(0);
    QTest::newRow("long whole text") << QByteArray(R"("9007199254740993")") << Type::string << key("9007199254740993") << 9007199254740992.0 << qint64(9007199254740993) << none << qsizetype(0);
    QTest::newRow("word text") << QByteArray(R"("abc")") << Type::string << key("abc") << 0.0 << qint64(0) << none << qsizetype(0);
    QTest::newRow("number then letters") << QByteArray(R"("12abc")") << Type::string << key("12abc") << 0.0 << qint64(0) << none << qsizetype(0);
    QTest::newRow("infinity text") << QByteArray(R"("inf")") << Type::string << key("inf") << 0.0 << qint64(0) << none << qsizetype(0);
    QTest::newRow("not-a-number text") << QByteArray(R"("nan")") << Type::string << key("nan") << 0.0 << qint64(0) << none << qsizetype(0);
    QTest::newRow("grouped text") << QByteArray(R"("1,000")") << Type::string << key("1,000") << 0.0 << qint64(0) << none << qsizetype(0);
    QTest::newRow("frame rate text") << QByteArray(R"("25/1")") << Type::string << key("25/1") << 0.0 << qint64(0) << none << qsizetype(0);
    QTest::newRow("empty text") << QByteArray(R"("")") << Type::string << QString() << 0.0 << qint64(0) << none << qsizetype(0);
    QTest::newRow("null") << QByteArray("null") << Type::null << QString() << 0.0 << qint64(0) << none << qsizetype(0);
    QTest::newRow("empty array") << QByteArray("[]") << Type::array << QString() << 0.0 << qint64(0) << none << qsizetype(0);
    QTest::newRow("array") << QByteArray("[1, [2, 3], 4]") << Type::array << QString() << 0.0 << qint64(0) << none << qsizetype(3);
    QTest::newRow("empty dictionary") << QByteArray("{}") << Type::dictionary << QString() << 0.0 << qint64(0) << none << qsizetype(0);
    QTest::newRow("dictionary") << QByteArray(R"({"a": 1, "b": {"c": 2}})") << Type::dictionary << QString() << 0.0 << qint64(0) << none << qsizetype(2);
}

void TestJson::accessors()
{
    QFETCH(QByteArray, text);
    QFETCH(Type, type);
    QFETCH(QString, string);
    QFETCH(double, number);
    QFETCH(qint64, integer);
    QFETCH(std::optional<qint64>, optionalInteger);
    QFETCH(qsizetype, count);

    const JSON value = parsed(text.constData());
    QCOMPARE(value.type(), type);
    QCOMPARE(value.stringValue(), string);
    QCOMPARE(value.numberValue(), number);
    QCOMPARE(value.doubleValue(), number);
    QCOMPARE(value.intValue(), integer);
    QCOMPARE(value.optionalInt(), optionalInteger);
    QCOMPARE(value.count(), count);
    QCOMPARE(value.dictionaryObject().has_value(), type == Type::dictionary);
    QVERIFY(value.exists());
}

void TestJson::missingKeyDiffersFromJsonNull()
{
    const JSON document = parsed(R"({"present": null})");

    const JSON missing = document[key("absent")];
    QCOMPARE(missing.type(), Type::null);
    QCOMPARE(missing.error(), JSONError::notExist);
    QVERIFY(!missing.exists());
    QCOMPARE(missing.stringValue(), QString());
    QCOMPARE(missing.intValue(), 0);
    QCOMPARE(missing.doubleValue(), 0.0);
    QCOMPARE(missing.optionalInt(), std::nullopt);
    QCOMPARE(missing.count(), 0);
    QCOMPARE(missing.dictionaryObject(), std::nullopt);

    const JSON present = document[key("present")];
    QCOMPARE(present.type(), Type::null);
    QCOMPARE(present.error(), std::nullopt);
    QVERIFY(present.exists());

    // Both are null to the comparison, which ignores errors.
    QVERIFY(missing == JSON());
    QVERIFY(present == JSON(QJsonValue(QJsonValue::Null)));
    QVERIFY(missing == present);
}

void TestJson::lookupErrors_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QVariant>("step"); // an index (qsizetype) or a key (QString)
    QTest::addColumn<std::optional<JSONError>>("error");
    QTest::addColumn<QString>("found"); // stringValue of the result

    const auto index = [](qsizetype i) { return QVariant::fromValue(i); };
    const auto name = [](const char *k) { return QVariant(QString::fromLatin1(k)); };
    const std::optional<JSONError> none;
    QTest::newRow("first element") << QByteArray("[7, 8, 9]") << index(0) << none << key("7");
    QTest::newRow("last element") << QByteArray("[7, 8, 9]") << index(2) << none << key("9");
    QTest::newRow("index -1") << QByteArray("[7, 8, 9]") << index(-1) << std::optional(JSONError::indexOutOfBounds) << QString();
    QTest::newRow("index equal to count") << QByteArray("[7, 8, 9]") << index(3) << std::optional(JSONError::indexOutOfBounds) << QString();
    QTest::newRow("index on empty array") << QByteArray("[]") << index(0) << std::optional(JSONError::indexOutOfBounds) << QString();
    QTest::newRow("index on text") << QByteArray(R"("abc")") << index(0) << std::optional(JSONError::wrongType) << QString();
    QTest::newRow("index on dictionary") << QByteArray(R"({"0": 1})") << index(0) << std::optional(JSONError::wrongType) << QString();
    QTest::newRow("index on null") << QByteArray("null") << index(0) << std::optional(JSONError::wrongType) << QString();
    QTest::newRow("key on array") << QByteArray(R"([{"a": 1}])") << name("a") << std::optional(JSONError::wrongType) << QString();
    QTest::newRow("key on number") << QByteArray("5") << name("a") << std::optional(JSONError::wrongType) << QString();
    QTest::newRow("key present") << QByteArray(R"({"a": "x"})") << name("a") << none << key("x");
    QTest::newRow("key letter case counts") << QByteArray(R"({"a": "x"})") << name("A") << std::optional(JSONError::notExist) << QString();
}

void TestJson::lookupErrors()
{
    QFETCH(QByteArray, text);
    QFETCH(QVariant, step);
    QFETCH(std::optional<JSONError>, error);
    QFETCH(QString, found);

    const JSON value = parsed(text.constData());
    const JSON result = step.typeId() == QMetaType::QString ? value[step.toString()]
                                                            : value[step.value<qsizetype>()];
    QCOMPARE(result.error(), error);
    QCOMPARE(result.exists(), !error.has_value());
    QCOMPARE(result.stringValue(), found);
    if (error)
        QCOMPARE(result.type(), Type::null);
}

void TestJson::firstErrorIsHandedOnAlongTheChain()
{
    const JSON report = parsed(R"({"streams": [{"tags": {"rotate": "90"}}], "name": "x"})");

    QCOMPARE(report[key("format")][key("tags")][key("title")].error(), JSONError::notExist);
    QCOMPARE(report[key("streams")][5][key("tags")][key("rotate")].error(), JSONError::indexOutOfBounds);
    QCOMPARE(report[key("name")][0][key("x")][3].error(), JSONError::wrongType);
    QCOMPARE(report[key("streams")][key("x")][0].error(), JSONError::wrongType);
    QCOMPARE(report[key("streams")][0][key("tags")][key("rotate")].intValue(), 90);
    QCOMPARE(report[QLatin1String("streams")][0u][QLatin1String("tags")][QLatin1String("rotate")].stringValue(),
             key("90"));

    const JSON unsupported = JSON::fromObject(QVariant(QUrl(key("file:///x"))));
    QCOMPARE(unsupported[key("a")][1].error(), JSONError::unsupportedType);
}

void TestJson::dictionaryObjectGivesTheRawEntries()
{
    const JSON stream = parsed(R"({"r_frame_rate": "25/1", "width": 64, "tags": {"language": "eng"}})");
    const std::optional<QJsonObject> dictionary = stream.dictionaryObject();
    QVERIFY(dictionary);
    QCOMPARE(dictionary->size(), 3);
    QCOMPARE(dictionary->value(key("r_frame_rate")).toString(), key("25/1"));
    QCOMPARE(dictionary->value(key("width")).toInteger(), 64);
    QCOMPARE(dictionary->value(key("tags")).toObject().value(key("language")).toString(), key("eng"));

    QCOMPARE(parsed("{}").dictionaryObject(), std::optional(QJsonObject()));
    QCOMPARE(parsed("[]").dictionaryObject(), std::nullopt);
}

void TestJson::equality_data()
{
    QTest::addColumn<QByteArray>("left");
    QTest::addColumn<QByteArray>("right");
    QTest::addColumn<bool>("equal");

    QTest::newRow("true vs 1") << QByteArray("true") << QByteArray("1") << false;
    QTest::newRow("false vs 0") << QByteArray("false") << QByteArray("0") << false;
    QTest::newRow("true vs true") << QByteArray("true") << QByteArray("true") << true;
    QTest::newRow("true vs false") << QByteArray("true") << QByteArray("false") << false;
    QTest::newRow("1 vs 1.0") << QByteArray("1") << QByteArray("1.0") << true;
    QTest::newRow("1 vs 1.5") << QByteArray("1") << QByteArray("1.5") << false;
    QTest::newRow("large whole numbers apart") << QByteArray("9007199254740993") << QByteArray("9007199254740992") << false;
    QTest::newRow("number vs its text") << QByteArray("90") << QByteArray(R"("90")") << false;
    QTest::newRow("text vs its number") << QByteArray(R"("90")") << QByteArray("90") << false;
    QTest::newRow("same text") << QByteArray(R"("video")") << QByteArray(R"("video")") << true;
    QTest::newRow("letter case") << QByteArray(R"("video")") << QByteArray(R"("Video")") << false;
    QTest::newRow("empty text vs null") << QByteArray(R"("")") << QByteArray("null") << false;
    QTest::newRow("null vs null") << QByteArray("null") << QByteArray("null") << true;
    QTest::newRow("arrays deep equal") << QByteArray(R"([1, {"a": [true]}])") << QByteArray(R"([1, {"a": [true]}])") << true;
    QTest::newRow("arrays order") << QByteArray("[1, 2]") << QByteArray("[2, 1]") << false;
    QTest::newRow("arrays nested bool vs number") << QByteArray("[[true]]") << QByteArray("[[1]]") << false;
    QTest::newRow("dictionaries key order") << QByteArray(R"({"a": 1, "b": 2})") << QByteArray(R"({"b": 2, "a": 1})") << true;
    QTest::newRow("dictionaries value differs") << QByteArray(R"({"a": {"b": 1}})") << QByteArray(R"({"a": {"b": 2}})") << false;
    QTest::newRow("dictionary vs array") << QByteArray("{}") << QByteArray("[]") << false;
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
    const JSON first = JSON::fromObject(QVariant(QUrl(key("file:///a"))));
    const JSON second = JSON::fromObject(QVariant(QUrl(key("file:///a"))));
    QCOMPARE(first.type(), Type::unknown);
    QVERIFY(!(first == second));
    QVERIFY(!(first == first));
    QVERIFY(!(first == JSON()));
    QVERIFY(!(JSON() == first));
}

void TestJson::fromObject_data()
{
    QTest::addColumn<QVariant>("object");
    QTest::addColumn<Type>("type");
    QTest::addColumn<std::optional<JSONError>>("error");
    QTest::addColumn<QString>("string");

    const std::optional<JSONError> none;
    QTest::newRow("bytes") << QVariant(QByteArray(R"({"a": 1})")) << Type::dictionary << none << QString();
    QTest::newRow("scalar bytes") << QVariant(QByteArray("12")) << Type::number << none << key("12");
    QTest::newRow("malformed bytes") << QVariant(QByteArray("{")) << Type::null << none << QString();
    QTest::newRow("text") << QVariant(key("video")) << Type::string << none << key("video");
    QTest::newRow("text that looks like JSON") << QVariant(key("[1]")) << Type::string << none << key("[1]");
    QTest::newRow("int") << QVariant(90) << Type::number << none << key("90");
    QTest::newRow("unsigned 64 bits") << QVariant(qulonglong(18446744073709551615ULL)) << Type::number << none << key("18446744073709552000");
    QTest::newRow("double") << QVariant(0.5) << Type::number << none << key("0.5");
    QTest::newRow("bool") << QVariant(true) << Type::boolean << none << key("true");
    QTest::newRow("invalid variant") << QVariant() << Type::null << none << QString();
    QTest::newRow("null pointer") << QVariant::fromValue(nullptr) << Type::null << none << QString();
    QTest::newRow("Qt null") << QVariant(QJsonValue(QJsonValue::Null)) << Type::null << none << QString();
    QTest::newRow("Qt undefined") << QVariant(QJsonValue(QJsonValue::Undefined)) << Type::null << none << QString();
    QTest::newRow("Qt object") << QVariant(QJsonObject{{key("a"), 1}}) << Type::dictionary << none << QString();
    QTest::newRow("Qt array") << QVariant(QJsonArray{1, 2}) << Type::array << none << QString();
    QTest::newRow("variant map") << QVariant(QVariantMap{{key("a"), 1}}) << Type::dictionary << none << QString();
    QTest::newRow("variant list") << QVariant(QVariantList{1, key("x")}) << Type::array << none << QString();
    QTest::newRow("string list") << QVariant(QStringList{key("x")}) << Type::array << none << QString();
    QTest::newRow("wrapped JSON text") << QVariant::fromValue(JSON(key("x"))) << Type::string << none << key("x");
    QTest::newRow("url") << QVariant(QUrl(key("file:///x"))) << Type::unknown << std::optional(JSONError::unsupportedType) << QString();
    QTest::newRow("point") << QVariant(QPoint(1, 2)) << Type::unknown << std::optional(JSONError::unsupportedType) << QString();
}

void TestJson::fromObject()
{
    QFETCH(QVariant, object);
    QFETCH(Type, type);
    QFETCH(std::optional<JSONError>, error);
    QFETCH(QString, string);

    const JSON value = JSON::fromObject(object);
    QCOMPARE(value.type(), type);
    QCOMPARE(value.error(), error);
    QCOMPARE(value.stringValue(), string);
}

void TestJson::jsonValuesInsideContainersAreUnwrapped()
{
    const QVariantMap map{
        {key("list"), QVariantList{QVariant::fromValue(JSON(key("x"))), QVariant::fromValue(parsed("[true]"))}},
        {key("number"), QVariant::fromValue(parsed("3"))},
        {key("odd"), QVariant(QUrl(key("file:///x")))},
    };
    const JSON value = JSON::fromObject(QVariant(map));
    QCOMPARE(value.type(), Type::dictionary);
    QVERIFY(value[key("list")] == parsed(R"(["x", [true]])"));
    QVERIFY(value[key("number")] == parsed("3"));
    QCOMPARE(value[key("number")].optionalInt(), 3);
    // No place in JSON for an unsupported element: it reads as null.
    QCOMPARE(value[key("odd")].type(), Type::null);
    QVERIFY(value[key("odd")].exists());
}

void TestJson::rawValuesConvertBack()
{
    for (int raw = 0; raw <= 6; ++raw)
        QCOMPARE(static_cast<int>(JSON::typeFromRawValue(raw).value()), raw);
    QCOMPARE(JSON::typeFromRawValue(2), Type::boolean);
    QCOMPARE(JSON::typeFromRawValue(-1), std::nullopt);
    QCOMPARE(JSON::typeFromRawValue(7), std::nullopt);

    QCOMPARE(jsonErrorFromCode(999), JSONError::unsupportedType);
    QCOMPARE(jsonErrorFromCode(900), JSONError::indexOutOfBounds);
    QCOMPARE(jsonErrorFromCode(902), JSONError::elementTooDeep);
    QCOMPARE(jsonErrorFromCode(901), JSONError::wrongType);
    QCOMPARE(jsonErrorFromCode(500), JSONError::notExist);
    QCOMPARE(jsonErrorFromCode(490), JSONError::invalidJSON);
    QCOMPARE(jsonErrorFromCode(0), std::nullopt);
    QCOMPARE(jsonErrorFromCode(903), std::nullopt);
}

QTEST_GUILESS_MAIN(TestJson)
#include "tst_json.moc"
