// The smallest Qt Widgets program with a main window: the baseline for velmora's start-up time.

#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QMainWindow w;
    w.setWindowTitle(QStringLiteral("minimal"));
    w.resize(1200, 800);
    w.show();
    return QApplication::exec();
}
