// SPDX-License-Identifier: GPL-3.0-or-later
#include "cutprogress.h"

#include <algorithm>
#include <cmath>

#include <sys/ioctl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QTextStream>

namespace {

// A terminal is redrawn at most this often: each redraw costs the terminal more than the cut gains from it.
constexpr qint64 redrawMilliseconds = 200;

} // namespace

CutProgress::CutProgress(QTextStream &err, Style style, int width)
    : m_err(err)
    , m_style(style)
    , m_width(std::max(width, 40))
{
}

int CutProgress::terminalWidth()
{
    if (!::isatty(STDERR_FILENO))
        return 0;
    winsize size{};
    return ::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 ? size.ws_col : 80;
}

std::vector<CutProgress::Bar>::iterator CutProgress::find(const void *key)
{
    return std::find_if(m_bars.begin(), m_bars.end(), [key](const Bar &bar) { return bar.key == key; });
}

void CutProgress::begin(const void *key, const QString &name)
{
    if (m_style == Style::None)
        return;
    Bar bar;
    bar.key = key;
    bar.name = QFileInfo(name).fileName();
    bar.clock.start();
    m_bars.push_back(bar);
    if (m_style == Style::Terminal) {
        hide();
        show();
    }
}

void CutProgress::update(const void *key, double percent)
{
    const auto bar = find(key);
    if (bar == m_bars.end())
        return;
    const double before = std::exchange(bar->percent, std::clamp(percent, 0.0, 100.0));
    if (m_style == Style::Lines) {
        if (std::floor(bar->percent / 10.0) > std::floor(before / 10.0)) {
            m_err << line(*bar) << '\n';
            m_err.flush();
        }
    } else if (!m_sinceDrawn.isValid() || m_sinceDrawn.elapsed() >= redrawMilliseconds) {
        hide();
        show();
    }
}

void CutProgress::end(const void *key)
{
    const auto found = find(key);
    if (found == m_bars.end())
        return;
    hide();
    m_bars.erase(found);
    show();
}

// Up to the first bar's line, cleared to the end of the screen.
void CutProgress::hide()
{
    if (m_style != Style::Terminal || m_drawnLines == 0)
        return;
    m_err << QStringLiteral("\x1b[%1A\r\x1b[J").arg(m_drawnLines);
    m_drawnLines = 0;
    m_err.flush();
}

void CutProgress::show()
{
    if (m_style != Style::Terminal || m_drawnLines > 0)
        return;
    for (const Bar &bar : m_bars)
        m_err << line(bar) << '\n';
    m_drawnLines = int(m_bars.size());
    m_sinceDrawn.start();
    m_err.flush();
}

// "clip.mp4  [#########...............]  37%  0:42 left", the name elided to fit the terminal.
QString CutProgress::line(const Bar &bar) const
{
    const QString percent = QStringLiteral("%1%").arg(int(bar.percent), 3);
    const QString left = timeLeft(bar);
    const QString rest = left.isEmpty() ? percent : percent + QStringLiteral("  ") + left;
    if (m_style == Style::Lines)
        return bar.name + QStringLiteral(": ") + rest.trimmed();
    // A narrow terminal narrows the bar first: a line that wraps would not be redrawn in place.
    const int barColumns = std::clamp(m_width - 60, 8, 24);
    const int filled = int(barColumns * bar.percent / 100.0);
    const QString gauge = QLatin1Char('[') + QString(filled, QLatin1Char('#'))
                        + QString(barColumns - filled, QLatin1Char('.')) + QLatin1Char(']');
    // The longest tail of the line, so that the bars line up as their times come and go.
    const qsizetype nameColumns = m_width - 1 - 2 - gauge.size() - 2 - 4 - 2 - 10 - 2;
    QString name = bar.name;
    if (name.size() > nameColumns)
        name = name.left(std::max<qsizetype>(nameColumns - 1, 1)) + QChar(0x2026);
    return name.leftJustified(nameColumns) + QStringLiteral("  ") + gauge + QStringLiteral("  ") + rest;
}

// Once a little of the cut is done, at its pace so far.
QString CutProgress::timeLeft(const Bar &bar)
{
    const qint64 elapsed = bar.clock.elapsed();
    if (bar.percent < 1.0 || elapsed < 1000)
        return {};
    const qint64 seconds = qRound64(elapsed / 1000.0 * (100.0 - bar.percent) / bar.percent);
    const QString time = seconds >= 3600
        ? QStringLiteral("%1:%2:%3").arg(seconds / 3600).arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
              .arg(seconds % 60, 2, 10, QLatin1Char('0'))
        : QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
    return QCoreApplication::translate("CutProgress", "%1 left").arg(time);
}
