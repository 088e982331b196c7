// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// One generated clip the benchmark measures on.
struct BenchClip {
    QString label;
    QString path;
    double generationSeconds = 0.0;   // 0 when it came from the cache
};

// Makes the benchmark's clips once with the real encoder and keeps them in a
// cache folder, where later runs find them. A clip is written under a
// temporary name and renamed when complete, so an interrupted run leaves no
// clip that looks finished. A clip that cannot be made is left out, and the
// benchmark goes on with the others.
class BenchClips
{
public:
    enum class Kind { FullHd, HdSurround, UltraHdHevc, FullHdSparseKeyframes, FullHdVp9, FullHdAv1 };

    // With `only` empty, every clip; otherwise the clips whose file name
    // holds one of its words, the others being neither made nor measured.
    explicit BenchClips(const QString &folder, const QStringList &only = {});

    // Generates every clip not in the cache yet; false when none could be had.
    bool prepare();

    // An empty clip, without a path, when that one could not be made.
    BenchClip clip(Kind kind) const;
    QList<BenchClip> all() const;
    // The labels of the clips that could not be made.
    QStringList missing() const;

private:
    struct Recipe {
        Kind kind;
        QString label;
        QString fileName;
        // The encoder's arguments for the clip itself, or for a part of it
        // that is then joined to itself `repeats` times without re-encoding,
        // which divides the encoding time of a long clip, or of a large one
        // in HEVC, by `repeats`.
        QStringList arguments;
        int repeats = 1;
    };

    static QList<Recipe> recipes();
    bool isWanted(const Recipe &recipe) const;
    bool make(const Recipe &recipe);
    bool joinRepeats(const Recipe &recipe, const QString &partName, const QString &outputName) const;
    bool generate(const QString &fileName, const QStringList &arguments) const;

    const QString m_folder;
    const QStringList m_only;
    QList<BenchClip> m_clips;
    QList<Kind> m_kinds;
    QStringList m_missing;
};
