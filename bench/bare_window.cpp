// The yardstick of bench_startup: a bare Qt Widgets main window of Kalmo's
// size, shown and left to the event loop.
#include <QApplication>
#include <QMainWindow>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("bare window"));
    window.resize(1300, 640);
    window.show();
    return app.exec();
}
