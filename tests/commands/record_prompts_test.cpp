// The program's own answers to the record commands' questions: the save dialog asks before it
// replaces a file (the proposed name is the same for every record of one cardiograph).

#include "commands/record_prompts.h"
#include "support/gui_app.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// Runs `act` on the first visible top-level widget of type T once it shows.
template <typename T> void WhenShown(std::function<void(T*)> act) {
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* t = qobject_cast<T*>(w); t && t->isVisible()) {
                timer->stop();
                timer->deleteLater();
                act(t);
                return;
            }
        }
    });
    timer->start(20);
}

TEST(DialogPrompts, SaveDialogAsksBeforeReplacingAFile) {
    EnsureApp();
    QTemporaryDir dir;
    const QString existing = dir.filePath(QStringLiteral("K.107.18641.5752.ecg"));
    QFile(existing).open(QIODevice::WriteOnly);
    QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);

    bool asked = false;
    WhenShown<QFileDialog>([&](QFileDialog* dlg) {
        WhenShown<QMessageBox>([&, dlg](QMessageBox* box) {
            asked = box->text().contains(QStringLiteral("K.107.18641.5752.ecg"));
            if (QAbstractButton* no = box->button(QMessageBox::No))
                no->click();
            else
                box->reject();
            QTimer::singleShot(50, dlg, &QDialog::reject); // "No": the dialog stays; cancel it
        });
        dlg->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))
            ->setText(QStringLiteral("K.107.18641.5752.ecg"));
        QMetaObject::invokeMethod(dlg, "accept", Qt::QueuedConnection);
    });
    CDialogPrompts prompts;
    const QString chosen =
        prompts.ChooseSavePath(nullptr, existing, QStringLiteral("Пакеты экспорта (*.ecg)"));
    EXPECT_TRUE(asked) << "the overwrite question names the file";
    EXPECT_TRUE(chosen.isEmpty()) << "answering no replaces nothing";
}

} // namespace
