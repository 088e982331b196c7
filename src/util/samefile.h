// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Whether two paths name the same file, also when the texts differ: another
// Unicode form of the same characters, `.` and `..` steps, symbolic links
// (of the file or of a folder on the way), hard links, or another letter
// case on a disk that ignores case. The second path need not exist yet.
bool isSameFile(const QString &existing, const QString &candidate);
