// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <optional>

#include <QLabel>
#include <QMainWindow>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTemporaryDir>

#include "appdelegate.h"
#include "diagnosticlog.h"
#include "encoderrun.h"
#include "mediafactory.h"
#include "rangeslider.h"
#include "testfiles.h"

// The texts the app must show word for word.
namespace AppTexts {
inline const QString trimmed = QStringLiteral("Video Trimmed Successfully!");
inline const QString notTrimmed = QStringLiteral("The video could not be trimmed.");
inline const QString contact = QStringLiteral("Please try opening some other file or contact : ");
inline const QString vob = QStringLiteral("Kestrel cannot open .VOB files.");
inline const QString sameFile = QStringLiteral("Input file name is same as the output file name!");
inline const QString emptySelection = QStringLiteral("The selection is empty.");
inline const QString trimming = QStringLiteral("Trimming Video...");
inline const QString stopAndQuit = QStringLiteral("Stop and Quit");
inline const QString keepTrimming = QStringLiteral("Keep Trimming");
} // namespace AppTexts

// The controller as the app starts it, with its own temporary base, and a
// record of the alerts it shows and of how its trims end.
class AppHarness
{
public:
    // `launchFile` as the command line gives it.
    explicit AppHarness(const QString &resourceFolder = MediaFactory::toolsFolder(), const QString &launchFile = {});

    AppDelegate &app() const { return *m_app; }
    template<class T>
    T *find(const QString &objectName) const { return m_app->window()->findChild<T *>(objectName); }
    QString text(const QString &name) const { return find<QWidget>(name)->property("text").toString(); }
    // Opens as the Open dialog does and waits for the answer; true when no alert came.
    bool open(const QString &path)
    {
        const qsizetype before = m_alerts.count();
        m_app->openVideo(QUrl::fromLocalFile(path));
        return waitForOpen() && m_alerts.count() == before;
    }
    // Until the file being opened has been accepted or refused.
    bool waitForOpen() const;
    // The window's controls that show less than their text needs, or overlap another, by name.
    QString clippedControls() const;
    void select(double start, double end) const
    {
        find<RangeSlider>(QStringLiteral("myRangeSlider"))->setEnd(end);
        find<RangeSlider>(QStringLiteral("myRangeSlider"))->setStart(start);
    }
    // Until no poster frame is being extracted or waits to be.
    bool waitForPosters() const;

    // Confirms `output` as the save dialog does; false when no trim started.
    bool startTrim(const QString &output);
    // Trims through the save dialog, confirming `typed` or else what it
    // proposes, which goes to `proposed`; false when no trim started.
    bool startTrimThroughDialog(const QString &typed, QString *proposed);
    bool startAndAwaitProgress(const QString &output);
    // What the app asked before replacing a file chosen in the dialog, if it asked.
    QString replaceQuestion() const { return m_replaceQuestion; }
    bool waitForEnd() { return !m_ends.isEmpty() || m_ends.wait(120000); }
    QStringList encoderArguments() const { return m_arguments; }

    std::optional<EncoderRun::Outcome> outcome() const
    {
        return m_ends.isEmpty() ? std::nullopt : std::optional(m_ends.last().first().value<EncoderRun::Outcome>());
    }
    QList<QMessageBox *> alerts() const;
    QMessageBox *lastAlert() const { return alerts().value(alerts().size() - 1); }
    void clearRecords() { m_alerts.clear(), m_ends.clear(); }

private:
    QList<TrimRun *> trimRuns() const;
    bool recordNewRun(const QList<TrimRun *> &before);

    // The app's diagnostics stay off the test's output unless a test captures them.
    DiagnosticLog::Capture m_quiet;
    QTemporaryDir m_temporaryBase;
    std::unique_ptr<AppDelegate> m_app;
    QSignalSpy m_alerts;
    QSignalSpy m_ends;
    QStringList m_arguments;
    QString m_replaceQuestion;
};

namespace AppTest {
// A resource folder made in `folder`, with the real prober and an encoder
// that makes poster frames as the real one does and trims with `encoder`:
// the real one when empty, "paced" for the real one reading at the input's
// own pace, "missing" for none, else a fake of tests/support/faketools.
QString resourceFolder(const QString &encoder, const QString &folder);

// What a trim must never leave: partial files in `folder`, running or
// unreaped children. Empty when there is nothing.
QString leftBehind(const QString &folder);

struct Media
{
    bool isVideo = false; // a video track and a length
    double duration = 0;
    double length = 0; // the video's, where the prober tells it
    QString tracks; // "a<channels>:<language>" for audio, "s:<language>" for subtitles, in order; no data
};
Media describe(const QString &path);
} // namespace AppTest
