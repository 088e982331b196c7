// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

#include <QString>

// Whether a new file can be made in a folder, found by making one: a test
// of the permissions alone passes where the file system refuses all the same
// (/proc, a read-only mount, a full disk's inode table). The file made for
// the test is removed at once.
namespace WritableFolder {

// Why no file can be made in `folder`, as one clause ("Permission denied");
// nothing when one can.
std::optional<QString> whyNot(const QString &folder);

} // namespace WritableFolder
