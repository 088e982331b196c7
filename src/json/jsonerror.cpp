// SPDX-License-Identifier: GPL-3.0-or-later
#include "jsonerror.h"

#include <array>

std::optional<JSONError> jsonErrorFromCode(int code)
{
    static constexpr std::array all{JSONError::unsupportedType, JSONError::indexOutOfBounds,
                                    JSONError::elementTooDeep,  JSONError::wrongType,
                                    JSONError::notExist,        JSONError::invalidJSON};
    for (const JSONError error : all) {
        if (static_cast<int>(error) == code)
            return error;
    }
    return std::nullopt;
}
