// SPDX-License-Identifier: GPL-3.0-or-later
#include "diagnosticlog.h"

#include <cstdio>

#include <QMutex>
#include <QMutexLocker>

namespace {
QMutex s_mutex;
DiagnosticLog::Capture *s_capture = nullptr;
}

void DiagnosticLog::print(const QString &line)
{
    QMutexLocker locker(&s_mutex);
    if (s_capture) {
        s_capture->m_lines.append(line);
        return;
    }
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fflush(stdout);
}

DiagnosticLog::Capture::Capture()
{
    QMutexLocker locker(&s_mutex);
    m_previous = s_capture;
    s_capture = this;
}

DiagnosticLog::Capture::~Capture()
{
    QMutexLocker locker(&s_mutex);
    s_capture = m_previous;
}

QStringList DiagnosticLog::Capture::lines() const
{
    QMutexLocker locker(&s_mutex);
    return m_lines;
}

void DiagnosticLog::Capture::clear()
{
    QMutexLocker locker(&s_mutex);
    m_lines.clear();
}
