// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <concepts>
#include <limits>
#include <optional>
#include <type_traits>

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>
#include <QLatin1String>
#include <QMetaType>
#include <QString>
#include <QVariant>

#include "jsonerror.h"

// A JSON value that can be read without ever failing. A lookup that cannot
// be satisfied gives a null value carrying the reason (error()), later steps
// of a chain hand that first reason on, and the typed accessors fall back to
// fixed defaults (empty text, 0, absent). So a caller can write
//     report[QStringLiteral("streams")][0][QStringLiteral("tags")][QStringLiteral("rotate")].intValue()
// and test only the end.
//
// Parsing is Qt's (QJsonDocument). Qt keeps JSON true/false apart from
// numbers, and keeps whole numbers that fit 64 bits exactly; a whole number
// beyond that range is read as a double and loses precision.
class JSON
{
public:
    enum class Type {
        number = 0,
        string,
        boolean,
        array,
        dictionary,
        null,
        unknown,
    };
    static std::optional<Type> typeFromRawValue(int rawValue);

    // Parses UTF-8 JSON text. Unlike QJsonDocument, a text holding a single
    // scalar at top level ("12", "\"x\"", "true", "null") is accepted too.
    // On failure there is no value and `error` receives the parser's error.
    static std::optional<JSON> fromData(const QByteArray &data, QJsonParseError *error = nullptr);

    // Bytes are parsed (a plain null value, without error, when they are not
    // JSON); texts, numbers, booleans, Qt JSON values, QVariantMap/Hash/List,
    // QStringList and JSON values become the matching kind; an invalid
    // QVariant or a null pointer becomes null; anything else gives an
    // `unknown` value with `unsupportedType`.
    static JSON fromObject(const QVariant &object);

    // A null value without error.
    JSON() = default;
    explicit JSON(const QJsonValue &parsed);
    explicit JSON(const QString &text);

    JSON operator[](const QString &key) const;
    JSON operator[](QLatin1String key) const;
    JSON operator[](qsizetype index) const;
    // Lets an int literal or any other integer pick the index step.
    template <std::integral Index>
    JSON operator[](Index index) const
    {
        if constexpr (std::unsigned_integral<Index>) {
            if (index > static_cast<std::make_unsigned_t<qsizetype>>(std::numeric_limits<qsizetype>::max()))
                return atIndex(-1);
        }
        return atIndex(static_cast<qsizetype>(index));
    }

    QString stringValue() const;
    double numberValue() const;
    double doubleValue() const;
    qint64 intValue() const;
    // Unlike intValue(), never reads a text: "90" gives no value.
    std::optional<qint64> optionalInt() const;
    qsizetype count() const;
    std::optional<QJsonObject> dictionaryObject() const;

    // True when the value carries no error: a member present with JSON null
    // content exists, the result of a failed lookup does not.
    bool exists() const { return !m_error.has_value(); }
    Type type() const { return m_type; }
    std::optional<JSONError> error() const { return m_error; }

    // What the value holds, as Qt's JSON value (null for null and unknown).
    QJsonValue heldValue() const;

    // Values of different kinds never compare equal and nothing is
    // converted; two nulls are equal whatever their errors; an unknown value
    // equals nothing, not even itself.
    bool operator==(const JSON &other) const;

private:
    static JSON withError(JSONError error);
    JSON atKey(const QJsonValue &entry, bool found) const;
    JSON atIndex(qsizetype index) const;
    JSON errorForWrongStep() const;
    bool holdsInteger() const;
    qint64 numberAsInteger() const;
    double decimalReadingOfText() const;
    qint64 integerReadingOfText() const;

    QJsonValue m_raw;
    Type m_type = Type::null;
    std::optional<JSONError> m_error;
};

Q_DECLARE_METATYPE(JSON)
