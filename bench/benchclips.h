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
// clip that looks finished.
class BenchClips
{
public:
    enum class Kind { FullHd, HdSurround, UltraHdHevc };

    explicit BenchClips(const QString &folder);

    // Generates every clip not in the cache yet; false when the encoder failed.
    bool prepare();

    BenchClip clip(Kind kind) const;
    QList<BenchClip> all() const;

private:
    struct Recipe {
        Kind kind;
        QString label;
        QString fileName;
        // The encoder's arguments for the clip itself, or for a part of it
        // that is then joined to itself `repeats` times without re-encoding:
        // the encoder may run two minutes at most, and a long clip, or a
        // large one in HEVC, would not be done in time on a slow machine.
        QStringList arguments;
        int repeats = 1;
    };

    static QList<Recipe> recipes();
    bool make(const Recipe &recipe);
    bool joinRepeats(const Recipe &recipe, const QString &partName, const QString &outputName) const;

    const QString m_folder;
    QList<BenchClip> m_clips;
    QList<Kind> m_kinds;
};
