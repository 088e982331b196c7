// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

#include <QObject>
#include <QString>

class AlertSheets;

// What is said of an output file a person chose, before anything is written,
// in this order: what OutputCheck refuses is refused, and an existing file is replaced only once the person agrees.
// The save dialog's own overwrite question stays off, or it would come first.
class OutputConfirmation : public QObject
{
    Q_OBJECT

public:
    explicit OutputConfirmation(AlertSheets *alerts, QObject *parent = nullptr);

    // Whether `output` may be written for `input`; otherwise the refusal has been shown.
    bool accepts(const QString &input, const QString &output) const;
    // accepts(), then the replace question where `output` exists; `confirmed` runs once all is agreed.
    void confirm(const QString &input, const QString &output, const std::function<void()> &confirmed);

private:
    AlertSheets *const m_alerts;
};
