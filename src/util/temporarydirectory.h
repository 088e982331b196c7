// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>

#include <QString>

class QLockFile;

// The app's private temporary directory. Linux has no per-application one,
// so each running instance gets its own folder (mode 0700) inside a base
// folder that belongs to this user and this app alone. A lock file beside
// the folder marks it as in use; folders of instances that are no longer
// running are swept away when a new instance makes its own. That happens on
// first use, not on construction, so that it never delays the window.
class TemporaryDirectory
{
public:
    // The base folder: under $XDG_RUNTIME_DIR when set, else under the
    // user's cache folder; never the shared top level of /tmp.
    static QString defaultBaseFolder();

    explicit TemporaryDirectory(const QString &baseFolder = defaultBaseFolder());
    ~TemporaryDirectory();
    TemporaryDirectory(const TemporaryDirectory &) = delete;
    TemporaryDirectory &operator=(const TemporaryDirectory &) = delete;

    // Both make the folder when it has not been made yet.
    bool isValid() const;
    // The instance folder, ending in a separator so names can be appended;
    // empty when no private folder could be made.
    QString path() const;

    // Removes everything inside the folder; links are removed, never
    // followed, and the folder itself stays. A folder never made stays unmade.
    void clear() const;

    // Removes the whole instance folder and releases its lock.
    void release();

private:
    static bool prepareBaseFolder(const QString &baseFolder);
    void makeOnFirstUse() const;
    void sweepLeftovers() const;
    void createInstanceFolder() const;

    const QString m_baseFolder;
    // Made on first use, which may come through a const accessor.
    mutable bool m_made = false;
    mutable QString m_path;
    mutable std::unique_ptr<QLockFile> m_lock;
};
