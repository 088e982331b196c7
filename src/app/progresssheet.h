// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>

#include <QDialog>
#include <QElapsedTimer>

class QLabel;
class QProgressBar;
class QPushButton;

namespace Ui {
class ProgressSheet;
}

// The window-modal sheet shown while the encoder runs. It never closes by
// itself: Escape or the window's close button ask for a cancel like the
// button does, and the owner hides the sheet once the encoder has exited.
class ProgressSheet : public QDialog
{
    Q_OBJECT

public:
    explicit ProgressSheet(QWidget *parent = nullptr);
    ~ProgressSheet() override;

    QLabel *title() const;
    QProgressBar *bar() const;
    QPushButton *cancelButton() const;

    // A new trim: the bar at 0, no step named, the clock started.
    void begin();
    // 0 to 100, never backwards; the time left shows once it can be estimated.
    void setProgress(double percent);
    void setStep(const QString &step);
    // "About 40 seconds left" once a twentieth is done and two seconds have passed, by the pace so far;
    // empty before.
    static QString timeLeftText(double percent, double elapsedSeconds);

public slots:
    void reject() override;

signals:
    void cancelRequested();

private:
    const std::unique_ptr<Ui::ProgressSheet> m_ui;
    QElapsedTimer m_clock;
};
