// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLineEdit>
#include <QPointer>

// A time a person reads and may type over: the field shows its label and a
// time ("Start Time: 0:00:02.500"). Focus selects the time alone, so that
// typing replaces it. Enter or leaving the field hands over what was typed,
// without the label; Escape restores the time shown. A time refused stays
// typed, with an outline and a tooltip, also read by a screen reader, that
// says why, until it is typed again, restored or replaced by a new time.
// Enter (a time taken) and Escape give the keyboard back to the widget that
// had it before the field, or else to the fallback, so that the player's
// letter keys never type into a time. A text set through the accessibility
// interface applies as typed text does.
class TimeField : public QLineEdit
{
    Q_OBJECT

public:
    explicit TimeField(QWidget *parent = nullptr);

    // `label` ends in a blank; while a person types, the new time waits
    // until the typing is handed over or given up.
    void showTime(const QString &label, const QString &time);
    void refuse(const QString &reason);
    bool isRefused() const { return !m_refusal.isEmpty(); }
    void setFocusFallback(QWidget *widget) { m_fallback = widget; }

signals:
    // Without the label, when the text was changed since the time was shown.
    void timeTyped(const QString &text);

protected:
    void focusInEvent(QFocusEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void handOver();
    void restore();
    void clearRefusal();
    void giveFocusBack();
    void showText(const QString &text);
    bool isBeingTyped() const { return hasFocus() && isModified(); }

    QString m_label;
    QString m_time;
    QString m_refusal;
    QPointer<QWidget> m_previousFocus;
    bool m_showing = false; // while the field sets its own text
    QPointer<QWidget> m_fallback;
};
