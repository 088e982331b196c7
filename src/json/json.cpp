// SPDX-License-Identifier: GPL-3.0-or-later
#include "json.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include <QJsonDocument>
#include <QLocale>
#include <QStringList>
#include <QVariantHash>
#include <QVariantList>
#include <QVariantMap>

namespace {

bool startsWithContainer(const QByteArray &data)
{
    for (const char c : data) {
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r')
            continue;
        return c == '[' || c == '{';
    }
    return false;
}

// Qt only accepts an array or an object at top level. A lone scalar is read
// as the single element of an array around it: the brackets add nothing that
// could make a text that is not one JSON value parse.
std::optional<QJsonValue> parseTopLevelScalar(const QByteArray &data, QJsonParseError *error)
{
    QJsonParseError wrappedError;
    const QJsonDocument wrapped = QJsonDocument::fromJson('[' + data + ']', &wrappedError);
    if (wrappedError.error != QJsonParseError::NoError) {
        // Offsets of the wrapped text are one past those of the caller's.
        wrappedError.offset = std::clamp(wrappedError.offset - 1, 0, static_cast<int>(data.size()));
        *error = wrappedError;
        return std::nullopt;
    }
    const QJsonArray elements = wrapped.array();
    if (elements.size() != 1)
        return std::nullopt;
    return elements.first();
}

qint64 truncatedToInteger(double value)
{
    constexpr double limit = 9223372036854775808.0; // 2^63
    if (std::isnan(value))
        return 0;
    if (value >= limit)
        return std::numeric_limits<qint64>::max();
    if (value <= -limit)
        return std::numeric_limits<qint64>::min();
    return static_cast<qint64>(value);
}

bool isNumberType(int typeId)
{
    switch (typeId) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::Float:
    case QMetaType::Double:
        return true;
    default:
        return false;
    }
}

QJsonValue numberFromVariant(const QVariant &number)
{
    switch (number.typeId()) {
    case QMetaType::Float:
    case QMetaType::Double:
        return QJsonValue(number.toDouble());
    case QMetaType::ULongLong:
    case QMetaType::ULong: {
        const qulonglong value = number.toULongLong();
        if (value > static_cast<qulonglong>(std::numeric_limits<qint64>::max()))
            return QJsonValue(static_cast<double>(value));
        return QJsonValue(static_cast<qint64>(value));
    }
    default:
        return QJsonValue(number.toLongLong());
    }
}

std::optional<QJsonValue> parsedObjectFrom(const QVariant &object);

// Inside a container there is no place to record an unsupported element, so
// it becomes a JSON null there.
QJsonValue elementFrom(const QVariant &object)
{
    return parsedObjectFrom(object).value_or(QJsonValue(QJsonValue::Null));
}

template <typename Map>
QJsonObject dictionaryFrom(const Map &map)
{
    QJsonObject dictionary;
    for (auto it = map.constBegin(); it != map.constEnd(); ++it)
        dictionary.insert(it.key(), elementFrom(it.value()));
    return dictionary;
}

template <typename List>
QJsonArray arrayFrom(const List &list)
{
    QJsonArray array;
    for (const auto &element : list)
        array.append(elementFrom(QVariant(element)));
    return array;
}

// The Qt JSON value for an object handed in, or nothing when its kind has no
// place in JSON. JSON values are replaced by what they hold, at any depth.
std::optional<QJsonValue> parsedObjectFrom(const QVariant &object)
{
    if (!object.isValid())
        return QJsonValue(QJsonValue::Null);
    const QMetaType metaType = object.metaType();
    if (metaType == QMetaType::fromType<JSON>())
        return object.value<JSON>().heldValue();
    if (metaType == QMetaType::fromType<QJsonValue>())
        return object.toJsonValue();
    if (metaType == QMetaType::fromType<QJsonObject>())
        return QJsonValue(object.toJsonObject());
    if (metaType == QMetaType::fromType<QJsonArray>())
        return QJsonValue(object.toJsonArray());
    if (metaType == QMetaType::fromType<QJsonDocument>()) {
        const QJsonDocument document = object.toJsonDocument();
        if (document.isArray())
            return QJsonValue(document.array());
        if (document.isObject())
            return QJsonValue(document.object());
        return QJsonValue(QJsonValue::Null);
    }
    const int typeId = metaType.id();
    if (typeId == QMetaType::Nullptr)
        return QJsonValue(QJsonValue::Null);
    if (typeId == QMetaType::Bool)
        return QJsonValue(object.toBool());
    if (isNumberType(typeId))
        return numberFromVariant(object);
    if (typeId == QMetaType::QString)
        return QJsonValue(object.toString());
    if (typeId == QMetaType::QVariantMap)
        return QJsonValue(dictionaryFrom(object.toMap()));
    if (typeId == QMetaType::QVariantHash)
        return QJsonValue(dictionaryFrom(object.toHash()));
    if (typeId == QMetaType::QVariantList)
        return QJsonValue(arrayFrom(object.toList()));
    if (typeId == QMetaType::QStringList)
        return QJsonValue(arrayFrom(object.toStringList()));
    return std::nullopt;
}

} // namespace

std::optional<JSON::Type> JSON::typeFromRawValue(int rawValue)
{
    if (rawValue < static_cast<int>(Type::number) || rawValue > static_cast<int>(Type::unknown))
        return std::nullopt;
    return static_cast<Type>(rawValue);
}

std::optional<JSON> JSON::fromData(const QByteArray &data, QJsonParseError *error)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(data, &parseError);
    if (parseError.error == QJsonParseError::NoError)
        return JSON(document.isArray() ? QJsonValue(document.array()) : QJsonValue(document.object()));
    if (!startsWithContainer(data)) {
        if (const std::optional<QJsonValue> scalar = parseTopLevelScalar(data, &parseError))
            return JSON(*scalar);
    }
    if (error)
        *error = parseError;
    return std::nullopt;
}

JSON JSON::fromObject(const QVariant &object)
{
    if (object.metaType() == QMetaType::fromType<QByteArray>())
        return fromData(object.toByteArray()).value_or(JSON());
    if (const std::optional<QJsonValue> parsed = parsedObjectFrom(object))
        return JSON(*parsed);
    JSON unsupported;
    unsupported.m_type = Type::unknown;
    unsupported.m_error = JSONError::unsupportedType;
    return unsupported;
}

JSON::JSON(const QJsonValue &parsed)
{
    switch (parsed.type()) {
    case QJsonValue::Bool:
        m_type = Type::boolean;
        break;
    case QJsonValue::Double:
        m_type = Type::number;
        break;
    case QJsonValue::String:
        m_type = Type::string;
        break;
    case QJsonValue::Array:
        m_type = Type::array;
        break;
    case QJsonValue::Object:
        m_type = Type::dictionary;
        break;
    case QJsonValue::Null:
    case QJsonValue::Undefined:
        m_type = Type::null;
        return;
    }
    m_raw = parsed;
}

JSON::JSON(const QString &text)
    : m_raw(text)
    , m_type(Type::string)
{
}

JSON JSON::withError(JSONError error)
{
    JSON value;
    value.m_error = error;
    return value;
}

JSON JSON::errorForWrongStep() const
{
    return withError(m_error.value_or(JSONError::wrongType));
}

JSON JSON::operator[](const QString &key) const
{
    if (m_type != Type::dictionary)
        return errorForWrongStep();
    const QJsonObject dictionary = m_raw.toObject();
    const auto entry = dictionary.constFind(key);
    if (entry == dictionary.constEnd())
        return withError(JSONError::notExist);
    return JSON(entry.value());
}

JSON JSON::operator[](QLatin1String key) const
{
    return (*this)[QString(key)];
}

JSON JSON::operator[](qsizetype index) const
{
    return atIndex(index);
}

JSON JSON::atIndex(qsizetype index) const
{
    if (m_type != Type::array)
        return errorForWrongStep();
    const QJsonArray elements = m_raw.toArray();
    if (index < 0 || index >= elements.size())
        return withError(JSONError::indexOutOfBounds);
    return JSON(elements.at(index));
}

bool JSON::holdsInteger() const
{
    return m_raw.toVariant().typeId() == QMetaType::LongLong;
}

qint64 JSON::numberAsInteger() const
{
    return holdsInteger() ? m_raw.toInteger() : truncatedToInteger(m_raw.toDouble());
}

// A text that begins with a number and goes on with other characters is not
// a number, nor is a non-finite reading such as "inf".
double JSON::decimalReadingOfText() const
{
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    const double value = c.toDouble(m_raw.toString(), &ok);
    return ok && std::isfinite(value) ? value : 0.0;
}

// Whole numbers beyond 2^53 would lose digits on the way through a double.
qint64 JSON::integerReadingOfText() const
{
    bool ok = false;
    const qint64 whole = m_raw.toString().trimmed().toLongLong(&ok);
    return ok ? whole : truncatedToInteger(decimalReadingOfText());
}

QString JSON::stringValue() const
{
    switch (m_type) {
    case Type::number:
        return holdsInteger() ? QString::number(m_raw.toInteger())
                              : QString::number(m_raw.toDouble(), 'g', QLocale::FloatingPointShortest);
    case Type::string:
        return m_raw.toString();
    case Type::boolean:
        return m_raw.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    default:
        return {};
    }
}

double JSON::numberValue() const
{
    switch (m_type) {
    case Type::number:
        return m_raw.toDouble();
    case Type::string:
        return decimalReadingOfText();
    case Type::boolean:
        return m_raw.toBool() ? 1.0 : 0.0;
    default:
        return 0.0;
    }
}

double JSON::doubleValue() const
{
    return numberValue();
}

qint64 JSON::intValue() const
{
    switch (m_type) {
    case Type::number:
        return numberAsInteger();
    case Type::string:
        return integerReadingOfText();
    case Type::boolean:
        return m_raw.toBool() ? 1 : 0;
    default:
        return 0;
    }
}

std::optional<qint64> JSON::optionalInt() const
{
    switch (m_type) {
    case Type::number:
        return numberAsInteger();
    case Type::boolean:
        return m_raw.toBool() ? 1 : 0;
    default:
        return std::nullopt;
    }
}

qsizetype JSON::count() const
{
    switch (m_type) {
    case Type::array:
        return m_raw.toArray().size();
    case Type::dictionary:
        return m_raw.toObject().size();
    default:
        return 0;
    }
}

std::optional<QJsonObject> JSON::dictionaryObject() const
{
    if (m_type != Type::dictionary)
        return std::nullopt;
    return m_raw.toObject();
}

QJsonValue JSON::heldValue() const
{
    return m_raw;
}

bool JSON::operator==(const JSON &other) const
{
    if (m_type != other.m_type)
        return false;
    switch (m_type) {
    case Type::number:
        if (holdsInteger() && other.holdsInteger())
            return m_raw.toInteger() == other.m_raw.toInteger();
        return m_raw.toDouble() == other.m_raw.toDouble();
    case Type::string:
        return m_raw.toString() == other.m_raw.toString();
    case Type::boolean:
        return m_raw.toBool() == other.m_raw.toBool();
    case Type::array:
        return m_raw.toArray() == other.m_raw.toArray();
    case Type::dictionary:
        return m_raw.toObject() == other.m_raw.toObject();
    case Type::null:
        return true;
    case Type::unknown:
        return false;
    }
    return false;
}
