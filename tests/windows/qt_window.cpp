// The smallest Qt Widgets program: one titled window that stays until it is closed.
#include <QApplication>
#include <QLabel>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QLabel window(QStringLiteral("Qt läuft."));
    window.setWindowTitle(QStringLiteral("Qt-Probe"));
    window.resize(240, 80);
    window.show();
    return QApplication::exec();
}
