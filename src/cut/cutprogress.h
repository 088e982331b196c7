// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <vector>

#include <QElapsedTimer>
#include <QString>

class QTextStream;

// The progress of the inputs being cut, on standard error. On a terminal,
// a bar an input with the time left, redrawn in place; where standard error
// is no terminal, a line an input at each tenth done, only when asked.
// Results written to the same terminal go around the bars: hide() before,
// show() after.
class CutProgress
{
public:
    enum class Style { None, Terminal, Lines };

    // `width`: the terminal's columns.
    CutProgress(QTextStream &err, Style style, int width = 80);

    void begin(const void *key, const QString &name);
    void update(const void *key, double percent);
    void end(const void *key);
    void hide();
    void show();

    // The columns of the terminal on standard error; 0 when it is none.
    static int terminalWidth();

private:
    struct Bar
    {
        const void *key = nullptr;
        QString name;
        double percent = 0.0;
        QElapsedTimer clock;
    };

    std::vector<Bar>::iterator find(const void *key);
    QString line(const Bar &bar) const;
    static QString timeLeft(const Bar &bar);

    QTextStream &m_err;
    const Style m_style;
    const int m_width;
    std::vector<Bar> m_bars;
    int m_drawnLines = 0;
    QElapsedTimer m_sinceDrawn;
};
