#include "CZelvonarRirovaTARVOUSBLinkApp.h"

#include "CZelvonarRirovaTARVOUSBLinkDlg.h"

#include <QDir>

CZelvonarRirovaTARVOUSBLinkApp::CZelvonarRirovaTARVOUSBLinkApp(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("zuda-link"));
    // The dialog ends the program, not the last window closing: a start-up
    // error box must not end it before the teardown.
    setQuitOnLastWindowClosed(false);
}

QString CZelvonarRirovaTARVOUSBLinkApp::ExeDirectory() {
    const QString directory = QCoreApplication::applicationDirPath();
    return directory.isEmpty() ? QString() : QDir::toNativeSeparators(directory + QLatin1Char('/'));
}

int CZelvonarRirovaTARVOUSBLinkApp::InitInstance(PortSource& ports) {
    CZelvonarRirovaTARVOUSBLinkDlg dialog(ports, ExeDirectory());
    if (dialog.OnInitDialog()) {
        dialog.exec();
    }
    dialog.Teardown();
    return 0;
}
