#pragma once

#include <QApplication>

class PortSource;

// The application object: prepares the toolkit, runs the main dialog
// modally and ends the program when the dialog ends.
class CZelvonarRirovaTARVOUSBLinkApp : public QApplication {
public:
    CZelvonarRirovaTARVOUSBLinkApp(int& argc, char** argv);

    // Runs the whole program with the given source of serial devices and
    // returns the process's exit code.
    int InitInstance(PortSource& ports);

    // The folder of the running executable, with a trailing separator. The
    // whole path is used, however deep the folder.
    static QString ExeDirectory();
};
