// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include "mediatrack.h"
#include "trackmap.h"

class QCheckBox;
class QListWidget;

// The audio and subtitle tracks of the open file, each with a check box:
// every one the output can hold is kept unless a person unchecks it; one
// it cannot hold is unchecked and disabled, with a tooltip saying why, and
// comes back as it was chosen when the output can hold it again. A kept
// subtitle track that cannot be clipped to the selection says why in its
// tooltip. A file with one audio track and no subtitles shows no list, only
// "Keep audio".
class TrackChooser : public QObject
{
    Q_OBJECT

public:
    TrackChooser(QListWidget *list, QCheckBox *keepAudio, QObject *parent = nullptr);

    // The tracks of a new input; none without one.
    void setTracks(const QList<MediaTrack> &tracks);
    // What the output will be, which decides what it holds.
    void setOutput(const QString &suffix, TrackMap::Mode mode);

    // Checked and held by the output, in the file's order.
    QList<MediaTrack> keptTracks() const;
    // The tracks no trim keeps, whatever is checked (data tracks).
    QList<MediaTrack> unlistedTracks() const;

private:
    void showTracks();
    void fitHeight();
    // The whole title, the format's long name and the channels, for the tooltip.
    static QStringList detailsOf(const MediaTrack &track);
    bool isLoneAudio() const;
    QList<MediaTrack> listedTracks() const;
    void remember();

    QListWidget *const m_list;
    QCheckBox *const m_keepAudio;
    QList<MediaTrack> m_tracks;
    QList<bool> m_wanted; // per listed track, what a person chose
    QString m_suffix;
    TrackMap::Mode m_mode = TrackMap::Mode::Copy;
};
