// SPDX-License-Identifier: GPL-3.0-or-later
#include "trackchooser.h"

#include <algorithm>

#include <QCheckBox>
#include <QListWidget>

namespace {

bool isListed(const MediaTrack &track)
{
    return track.kind != MediaTrack::Kind::Data;
}

QString kindText(const MediaTrack &track)
{
    return track.kind == MediaTrack::Kind::Audio ? QObject::tr("Audio") : QObject::tr("Subtitles");
}

} // namespace

TrackChooser::TrackChooser(QListWidget *list, QCheckBox *keepAudio, QObject *parent)
    : QObject(parent)
    , m_list(list)
    , m_keepAudio(keepAudio)
{
    connect(m_list, &QListWidget::itemChanged, this, &TrackChooser::remember);
    connect(m_keepAudio, &QCheckBox::toggled, this, &TrackChooser::remember);
    showTracks();
}

void TrackChooser::setTracks(const QList<MediaTrack> &tracks)
{
    m_tracks = tracks;
    m_wanted = QList<bool>(listedTracks().size(), true);
    showTracks();
}

void TrackChooser::setOutput(const QString &suffix, TrackMap::Mode mode)
{
    m_suffix = suffix;
    m_mode = mode;
    showTracks();
}

QList<MediaTrack> TrackChooser::listedTracks() const
{
    QList<MediaTrack> listed;
    std::copy_if(m_tracks.cbegin(), m_tracks.cend(), std::back_inserter(listed), isListed);
    return listed;
}

QList<MediaTrack> TrackChooser::unlistedTracks() const
{
    QList<MediaTrack> unlisted;
    std::copy_if(m_tracks.cbegin(), m_tracks.cend(), std::back_inserter(unlisted),
                 [](const MediaTrack &track) { return !isListed(track); });
    return unlisted;
}

bool TrackChooser::isLoneAudio() const
{
    const QList<MediaTrack> listed = listedTracks();
    return listed.size() == 1 && listed.first().kind == MediaTrack::Kind::Audio;
}

QList<MediaTrack> TrackChooser::keptTracks() const
{
    QList<MediaTrack> wanted;
    const QList<MediaTrack> listed = listedTracks();
    for (qsizetype i = 0; i < listed.size(); ++i) {
        if (m_wanted.value(i))
            wanted.append(listed.at(i));
    }
    return TrackMap::heldOf(wanted, m_suffix, m_mode);
}

void TrackChooser::showTracks()
{
    const QSignalBlocker listBlocker(m_list);
    const QSignalBlocker boxBlocker(m_keepAudio);
    const QList<MediaTrack> listed = listedTracks();
    m_keepAudio->setVisible(isLoneAudio());
    m_keepAudio->setChecked(m_wanted.value(0));
    m_list->clear();
    m_list->setVisible(!listed.isEmpty() && !isLoneAudio());
    for (qsizetype i = 0; i < listed.size(); ++i) {
        const MediaTrack &track = listed.at(i);
        auto *item = new QListWidgetItem(tr("%1: %2").arg(kindText(track), track.description()), m_list);
        const QString reason = TrackMap::unavailableReason(track, m_suffix, m_mode);
        item->setFlags(reason.isEmpty() ? Qt::ItemIsUserCheckable | Qt::ItemIsEnabled : Qt::ItemIsUserCheckable);
        item->setCheckState(m_wanted.value(i) && reason.isEmpty() ? Qt::Checked : Qt::Unchecked);
        // What the row has no room for, then why the track cannot be kept or is not clipped to the selection.
        QStringList tip = detailsOf(track);
        tip << (reason.isEmpty() ? TrackMap::unclippedReason(track, m_suffix, m_mode) : reason);
        tip.removeAll(QString());
        item->setToolTip(tip.join(QLatin1Char('\n')));
        item->setData(Qt::AccessibleDescriptionRole, reason);
    }
    fitHeight();
}

QStringList TrackChooser::detailsOf(const MediaTrack &track)
{
    QStringList details;
    if (!track.title.isEmpty())
        details << tr("Title: %1").arg(track.title);
    if (!track.codecLongName.isEmpty())
        details << tr("Format: %1").arg(track.codecLongName);
    if (track.channels > 0) {
        // No translation is loaded to choose a plural, so the English one is chosen here.
        const QString count = track.channels == 1 ? tr("1 channel") : tr("%1 channels").arg(track.channels);
        details << tr("Channels: %1").arg(track.channelLayout.isEmpty() ? count : tr("%1, %2").arg(track.channelLayout, count));
    }
    return details;
}

// As tall as its rows, up to three, scrolling beyond: the video keeps the space.
void TrackChooser::fitHeight()
{
    constexpr int rowsShown = 3;
    const int rows = std::clamp(m_list->count(), 1, rowsShown);
    m_list->setFixedHeight(rows * m_list->sizeHintForRow(0) + 2 * m_list->frameWidth());
}

// Only a person's own checks change what is wanted; a track the output cannot hold keeps its wish.
void TrackChooser::remember()
{
    if (isLoneAudio()) {
        m_wanted = {m_keepAudio->isChecked()};
        return;
    }
    for (int i = 0; i < m_list->count(); ++i) {
        const QListWidgetItem *item = m_list->item(i);
        if (item->flags().testFlag(Qt::ItemIsEnabled))
            m_wanted[i] = item->checkState() == Qt::Checked;
    }
}
