// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

// Why a JSON value is null: the reason left by a failed lookup step or by a
// construction from an object of an unsupported kind.
enum class JSONError {
    unsupportedType = 999,
    indexOutOfBounds = 900,
    // Never produced; kept so the codes stay complete.
    elementTooDeep = 902,
    wrongType = 901,
    notExist = 500,
    // Never produced; a parse failure is reported as the parser's own error.
    invalidJSON = 490,
};

std::optional<JSONError> jsonErrorFromCode(int code);
