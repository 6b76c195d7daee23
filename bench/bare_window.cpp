// The yardstick of bench_startup: a bare Qt Widgets main window of Kalmo's
// size, shown and left to the event loop. With --text it shows one line of
// Chinese text, which is what it takes to load and draw a CJK font at all.
#include <QApplication>
#include <QLabel>
#include <QMainWindow>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("bare window"));
    window.resize(1300, 640);
    if (app.arguments().contains(QStringLiteral("--text")))
        window.setCentralWidget(
            new QLabel(QStringLiteral("连接设备，选择通信方式后点击“通讯”按钮开始通讯")));
    window.show();
    return app.exec();
}
