// A Wayland window for tests: its app_id and title from the command line
// (vext_wayland_window APP_ID TITLE), run with QT_QPA_PLATFORM=wayland. It stays until ended.

#include <QGuiApplication>
#include <QPainter>
#include <QRasterWindow>

namespace {

class Window : public QRasterWindow {
protected:
    void paintEvent(QPaintEvent*) override {
        QPainter(this).fillRect(QRect(QPoint(), size()), Qt::darkCyan);
    }
};

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 3) {
        return 2;
    }
    // Qt gives the desktop file name to the compositor as the window's app_id.
    QGuiApplication::setDesktopFileName(QString::fromUtf8(argv[1]));
    Window window;
    window.setTitle(QString::fromUtf8(argv[2]));
    window.resize(200, 120);
    window.show();
    return QGuiApplication::exec();
}
