#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// What the tests that drive the app controller share: the result alerts'
// texts, a resource folder whose encoder misbehaves only for trims, and a
// look at a folder's files before and after.
namespace AppTesting {

inline const QString successMessage = QStringLiteral("Video Trimmed Successfully!");
inline const QString failureMessage = QStringLiteral("The video could not be trimmed.");

// A resource folder with the real prober and a dispatcher for `creator`:
// poster frames come from the real encoder, trims from `trimCommand`, a
// shell word list that receives the trim's arguments after it. With an
// empty command the folder has no encoder at all.
QString resourceFolderWith(const QString &folder, const QByteArray &trimCommand);

// The shell word that runs a fake encoder of tests/support/faketools.
QByteArray fakeEncoderCommand(const QString &scenario);

// The names in a folder, hidden ones included, sorted.
QStringList folderListing(const QString &folder);

QByteArray fileContents(const QString &path);

} // namespace AppTesting
