// SPDX-License-Identifier: GPL-3.0-or-later
#include "timefield.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTimer>

TimeField::TimeField(QWidget *parent)
    : QLineEdit(parent)
{
    connect(this, &QLineEdit::editingFinished, this, &TimeField::handOver);
    // A text set from outside, as a screen reader's or voice control's value is, applies as typed text does.
    connect(this, &QLineEdit::textChanged, this, [this] {
        if (m_showing || hasFocus())
            return;
        setModified(true);
        handOver();
    });
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget *old, QWidget *now) {
        if (now == this && !qobject_cast<TimeField *>(old))
            m_previousFocus = old;
    });
}

void TimeField::giveFocusBack()
{
    QWidget *const target = m_previousFocus && m_previousFocus->isEnabled() && m_previousFocus->isVisible()
                                ? m_previousFocus.data()
                                : m_fallback.data();
    if (target)
        target->setFocus(Qt::OtherFocusReason);
}

void TimeField::showTime(const QString &label, const QString &time)
{
    m_label = label;
    m_time = time;
    if (isBeingTyped())
        return;
    clearRefusal();
    showText(label + time);
}

void TimeField::showText(const QString &text)
{
    m_showing = true;
    setText(text);
    m_showing = false;
    setModified(false);
}

void TimeField::refuse(const QString &reason)
{
    m_refusal = reason;
    setStyleSheet(QStringLiteral("TimeField { border: 2px solid #c62828; border-radius: 3px; }"));
    setToolTip(reason);
    setAccessibleDescription(reason);
}

void TimeField::clearRefusal()
{
    if (m_refusal.isEmpty())
        return;
    m_refusal.clear();
    setStyleSheet(QString());
    setToolTip(QString());
    setAccessibleDescription(QString());
}

void TimeField::handOver()
{
    if (!isModified())
        return;
    setModified(false);
    QString typed = text();
    if (typed.startsWith(m_label.trimmed()))
        typed.remove(0, m_label.trimmed().size());
    emit timeTyped(typed.trimmed());
}

void TimeField::restore()
{
    clearRefusal();
    showText(m_label + m_time);
    setSelection(static_cast<int>(m_label.size()), static_cast<int>(m_time.size()));
}

void TimeField::focusInEvent(QFocusEvent *event)
{
    QLineEdit::focusInEvent(event);
    // After the line edit's own handling of the click or the Tab, which sets the cursor.
    if (text().startsWith(m_label) && !isModified()) {
        QTimer::singleShot(0, this, [this] {
            if (!isModified())
                setSelection(static_cast<int>(m_label.size()), static_cast<int>(text().size() - m_label.size()));
        });
    }
}

// A time refused keeps the keyboard, to be typed again.
void TimeField::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        restore();
        giveFocusBack();
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && !isRefused())
        giveFocusBack();
}
