#include "dialogs/dialog_buttons.h"

#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QStyle>

QDialogButtonBox* MakeApplyCancelButtons(QDialog* dialog) {
    QStyle* style = dialog->style();
    auto* ok = new QPushButton(style->standardIcon(QStyle::SP_DialogApplyButton),
                               QCoreApplication::translate("DialogButtons", "Применить"), dialog);
    auto* cancel = new QPushButton(style->standardIcon(QStyle::SP_DialogCancelButton),
                                   QCoreApplication::translate("DialogButtons", "Отмена"), dialog);
    ok->setObjectName(QStringLiteral("IDOK"));
    cancel->setObjectName(QStringLiteral("IDCANCEL"));
    ok->setDefault(true);
    auto* buttons = new QDialogButtonBox(dialog);
    buttons->addButton(ok, QDialogButtonBox::AcceptRole);
    buttons->addButton(cancel, QDialogButtonBox::RejectRole);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}
