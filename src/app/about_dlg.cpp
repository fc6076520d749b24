#include "app/about_dlg.h"

#include <QApplication>

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPixmap>

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("О программе velmora"));
    auto* grid = new QGridLayout(this);
    auto* icon = new QLabel(this);
    icon->setPixmap(QApplication::windowIcon().pixmap(32, 32));
    grid->addWidget(icon, 0, 0, 2, 1, Qt::AlignTop);
    // The number is the project's (CMakeLists.txt), the one --version prints and the package
    // carries.
    grid->addWidget(new QLabel(tr("velmora, версия %1").arg(QStringLiteral(VELMORA_VERSION)), this),
                    0, 1);
    grid->addWidget(
        new QLabel(tr("Программа приема и передачи ЭКГ портативного кардиографа"), this), 1, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    grid->addWidget(buttons, 2, 0, 1, 2);
}
