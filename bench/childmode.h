// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The benchmark program run again as a child process, so that start-up and
// memory are those of a fresh process. It writes one line per milestone on
// standard output: a word, then its figures separated by spaces.
//
//   kestrel_bench --child app <work folder> [<clip> <output>]
//       the app's controller and window; "shown <peak KiB>", then with a
//       clip "opened <peak KiB> <largest tool's peak KiB>" and, after a trim
//       of the centred selection by stream copy, "trimmed <peak KiB>
//       <largest tool's peak KiB> <1 when it succeeded>"
//   kestrel_bench --child play <work folder> <clip> <seconds>
//       the app, with the clip open, playing its first `seconds` from the
//       first Play; "played <peak KiB> <CPU ms from Play to the end>
//       <frames dropped> <video width> <video height> <1 with OpenGL>"
class ChildMode
{
public:
    static inline const QString flag = QStringLiteral("--child");
    static inline const QString appWindow = QStringLiteral("app");
    static inline const QString playWindow = QStringLiteral("play");

    static bool isRequested(int argc, char *argv[]);
    static int run(int argc, char *argv[]);

private:
    static int runApp(const QString &workFolder, const QString &clip, const QString &output);
    static int runPlayback(const QString &workFolder, const QString &clip, double seconds);
    static void printMilestone(const QString &word, const QString &extra = QString());
};
