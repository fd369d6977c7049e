#pragma once

#include "ConnectionMonitor.h"
#include "DialogView.h"
#include "LinkState.h"
#include "ProductCatalogue.h"
#include "UpdateWorker.h"

#include <QString>

#include <atomic>

class PortSource;
class UiBridge;

// The main window's behaviour, apart from how it is drawn: start-up and
// teardown, the Device menu, the three rows and the status line. It owns the
// link state, the catalogue and the two background threads, and reaches the
// window only through DialogView, on the window's thread.
class MainDialogLogic {
public:
    static constexpr const char* Title = "Zelvonar Zadere TARVO USB Zuda";

    MainDialogLogic(DialogView& view, UiBridge& bridge, PortSource& ports, QString exeDirectory);
    ~MainDialogLogic();
    MainDialogLogic(const MainDialogLogic&) = delete;
    MainDialogLogic& operator=(const MainDialogLogic&) = delete;

    // The window's start-up from the catalogue on. False when the catalogue
    // is missing or cannot be opened: the box has been shown, nothing else has
    // been set up, no thread runs, and the dialog is to end.
    bool InitDialog();
    void BuildUserInterface();
    // After the window has closed: ends the threads, closes the catalogue and
    // the port. Safe to call more than once.
    void Teardown();

    // Brings the rows and the status line in line with the device mode and the
    // connection state. Callable from any thread: from another thread the whole
    // refresh is carried out on the window's thread while the caller waits.
    void RefreshDeviceDisplay();
    QString ReadEscModelSelection();
    void ResetEscDisplay();
    void ResetProgramCardDisplay();
    void FillEscFirmwareList(const QString& model);

    // Menu commands and buttons, on the window's thread.
    void OnCommand(int commandId);
    void OnDeviceEsc();
    void OnDeviceProgramCard();
    void OnDeviceFixMode();
    void OnProgramCardSave();
    void OnEscModelSelect();
    void OnEscFirmwareSave();
    void StartUpdate();

    LinkState& State() { return state; }
    const LinkState& State() const { return state; }
    ProductCatalogue& Catalogue() { return catalogue; }
    ConnectionMonitor& Monitor() { return monitor; }
    bool EscModelChosen() const { return escModelChosen != 0; }

private:
    void RefreshOnWindowThread();
    void SwitchDevice(DeviceMode mode);
    void SelectByText(int listId, const QString& wanted);

    DialogView& view;
    UiBridge& bridge;
    LinkState state;
    ProductCatalogue catalogue;
    ConnectionMonitor monitor;
    UpdateWorker updateWorker;
    std::atomic<int> escModelChosen{0};
    bool tornDown = false;
};
