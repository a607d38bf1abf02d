#pragma once

// Answers the modal windows a test opens: every message box is closed as it appears (by the button
// `answer` names, when the box has it) and its title and text kept; `onNextDialog` runs a step on
// the next other modal dialog.

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QTimer>

#include <functional>

class BoxCollector
{
public:
    BoxCollector()
    {
        QObject::connect(&timer, &QTimer::timeout, [this] {
            for (QWidget *widget : QApplication::topLevelWidgets()) {
                if (!widget->isVisible())
                    continue;
                if (auto *box = qobject_cast<QMessageBox *>(widget)) {
                    texts << box->windowTitle() + ": " + box->text();
                    if (QAbstractButton *button = box->button(answer))
                        button->click();
                    else
                        box->done(0);
                } else if (auto *dialog = qobject_cast<QDialog *>(widget); dialog && step && dialog->isModal()) {
                    const auto run = std::exchange(step, nullptr);
                    run(dialog);
                }
            }
        });
        timer.start(20);
    }
    // Runs `run` on the next modal dialog that is no message box.
    void onNextDialog(std::function<void(QDialog *)> run) { step = std::move(run); }

    QStringList texts;
    QMessageBox::StandardButton answer = QMessageBox::NoButton;

private:
    QTimer timer;
    std::function<void(QDialog *)> step;
};
