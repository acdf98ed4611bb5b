// Runs the single-instance guard with the key given as argv[1]. Prints "ready" as the running
// instance, and "knock minimized=<0|1> active=<0|1>" for each second start it hears. Input
// on stdin ends it cleanly.
#include "shell/SingleApplication.h"

#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    const QString key = QString::fromLocal8Bit(argv[1]);
    SingleApplication app(argc, argv, key);
    if (app.isSecondInstance())
        return 0;
    QWidget window;
    window.showMinimized();
    app.setActivationWindow(&window);
    QObject::connect(&app, &SingleApplication::secondInstanceDetected, &app, [&window]() {
        QTimer::singleShot(0, &window, [&window]() {
            std::printf("knock minimized=%d active=%d\n", window.windowState().testFlag(Qt::WindowMinimized) ? 1 : 0,
                        window.windowState().testFlag(Qt::WindowActive) ? 1 : 0);
            std::fflush(stdout);
        });
    });
    std::printf("ready\n");
    std::fflush(stdout);
    // Any input or its end asks for a clean exit, which removes the segment.
    QSocketNotifier input(0, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    // Never outlive a test that died.
    QTimer::singleShot(30000, &app, &QCoreApplication::quit);
    return app.exec();
}
