// A bare Qt program that opens a window and quits: the floor of any start-up.
#include <QApplication>
#include <QMainWindow>
#include <QTimer>
#include <cstdio>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QMainWindow w;
    w.resize(1000, 640);
    w.show();
    QTimer::singleShot(0, &app, [] {
        std::printf("JANELA-ABERTA\n");
        std::fflush(stdout);
        QCoreApplication::quit();
    });
    return QApplication::exec();
}
