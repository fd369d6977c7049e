#include "MainDialogLogic.h"

#include "ControlIds.h"
#include "UiBridge.h"

namespace {

const QString SelectProgramCardFirmwarePrompt = QStringLiteral("Select Program Card Firmware");
const QString SelectEscModelPrompt = QStringLiteral("Select ESC Model");
const QString SelectEscFirmwarePrompt = QStringLiteral("Select ESC Firmware");
const QString SelectDevicePrompt = QStringLiteral("Please select a device from the menu");
const QString Disconnected = QStringLiteral("Disconnected");
const QString NoneSelected = QStringLiteral("None Selected");

} // namespace

MainDialogLogic::MainDialogLogic(DialogView& view, UiBridge& bridge, PortSource& ports, QString exeDirectory)
    : view(view), bridge(bridge), monitor(state, catalogue, ports, [this] { RefreshDeviceDisplay(); }),
      // The transfer protocols arrive with the update work; until then a
      // started update runs nothing and ends at once.
      updateWorker(state, {}) {
    state.exeDirectory = std::move(exeDirectory);
}

MainDialogLogic::~MainDialogLogic() { Teardown(); }

bool MainDialogLogic::InitDialog() {
    switch (catalogue.OpenCatalogue(state.exeDirectory)) {
    case CatalogueOpenResult::Opened:
        break;
    case CatalogueOpenResult::FileMissing:
        view.MessageBox(QStringLiteral("The database is lost, please reinstall the program!"), QStringLiteral("Error"),
                        MessageIcon::Error, MessageButtons::Ok);
        return false;
    case CatalogueOpenResult::OpenFailed:
        view.MessageBox(QStringLiteral("Failed to open the database!"), QStringLiteral("Error"), MessageIcon::Error,
                        MessageButtons::Ok);
        return false;
    }

    catalogue.ReadCatalogueVersion(state.catalogueVersion);
    view.SetWindowTitle(QString::fromLatin1(Title));
    view.CreateFonts();
    BuildUserInterface();
    for (const QString& model : catalogue.ListEscModels()) {
        view.AddString(ControlId::EscModelCombo, model);
    }
    monitor.Start();
    return true;
}

void MainDialogLogic::BuildUserInterface() {
    view.ApplyWindowSizeAndBackground();
    view.ApplyControlLayout();
    view.SetControlText(ControlId::ProgramCardFirmwareCombo, SelectProgramCardFirmwarePrompt);
    view.SetControlText(ControlId::EscModelCombo, SelectEscModelPrompt);
    view.SetControlText(ControlId::EscFirmwareCombo, SelectEscFirmwarePrompt);
    view.SetControlText(ControlId::StatusLabel, SelectDevicePrompt);
    view.ApplyButtonSkins();
    for (const QString& file : catalogue.ListProgramCardFirmware()) {
        view.AddString(ControlId::ProgramCardFirmwareCombo, file);
    }
}

void MainDialogLogic::Teardown() {
    if (tornDown) {
        return;
    }
    tornDown = true;
    // Nothing may wait on the window any more: a monitor in the middle of a
    // refresh returns at once instead of blocking the joins below.
    bridge.Shutdown();
    // The worker first: it resumes the monitor when it ends, so stopping the
    // monitor before it would leave a new monitor running.
    updateWorker.WaitUntilEnded();
    monitor.Stop();
    catalogue.CloseCatalogue();
    state.ClosePort();
}

void MainDialogLogic::RefreshDeviceDisplay() {
    if (bridge.OnWindowThread()) {
        RefreshOnWindowThread();
    } else {
        // One request for the whole refresh: it then reads the mode and state
        // as they are when it runs, and never interleaves with a menu command.
        bridge.Run([this] { RefreshOnWindowThread(); });
    }
}

void MainDialogLogic::RefreshOnWindowThread() {
    const DeviceMode mode = state.deviceMode;
    const bool identified = state.connectionState == ConnectionState::Device;
    const Identification found = state.ReadIdentification();

    switch (mode) {
    case DeviceMode::None:
        return;
    case DeviceMode::Esc:
        if (!identified) {
            ResetEscDisplay();
            view.SetControlText(ControlId::StatusLabel, QStringLiteral("Please Connect to Program Card + ESC"));
            return;
        }
        // The model the running firmware belongs to wins over the one found by
        // the hardware version.
        if (!found.firmwareModel.isEmpty() || !found.hardwareModel.isEmpty()) {
            const QString wanted = !found.firmwareModel.isEmpty() ? found.firmwareModel : found.hardwareModel;
            SelectByText(ControlId::EscModelCombo, wanted);
            const QString model = ReadEscModelSelection();
            if (!model.isEmpty()) {
                FillEscFirmwareList(model);
            }
        } else {
            ResetEscDisplay();
        }
        view.ShowPicture(ControlId::EscIndicator, PictureId::EscActive);
        view.SetControlText(ControlId::EscStateLabel, found.firmwareName);
        view.SetControlText(ControlId::StatusLabel, QStringLiteral("Please Select ESC Firmware"));
        return;
    case DeviceMode::ProgramCard:
        if (!identified) {
            ResetProgramCardDisplay();
            view.SetControlText(ControlId::StatusLabel, QStringLiteral("Please Connect to Program Card"));
            return;
        }
        SelectByText(ControlId::ProgramCardFirmwareCombo, found.firmwareFileName);
        view.ShowPicture(ControlId::ProgramCardIndicator, PictureId::ProgramCardActive);
        view.SetControlText(ControlId::ProgramCardStateLabel, found.firmwareName);
        view.SetControlText(ControlId::StatusLabel, QStringLiteral("Please Select Program Card Firmware"));
        return;
    }
}

// Exact, case-sensitive, first match; the count is read again before each
// item. Without a match the selection stays as it was.
void MainDialogLogic::SelectByText(int listId, const QString& wanted) {
    for (int index = 0; index < view.ItemCount(listId); ++index) {
        if (view.ItemText(listId, index) == wanted) {
            view.SetCurrentSelection(listId, index);
            return;
        }
    }
}

QString MainDialogLogic::ReadEscModelSelection() {
    const int selected = view.SelectedIndex(ControlId::EscModelCombo);
    if (selected < 0) {
        return {};
    }
    const QString model = view.ItemText(ControlId::EscModelCombo, selected);
    escModelChosen = 1;
    view.ShowPicture(ControlId::EscModelIndicator, PictureId::EscModelActive);
    view.SetControlText(ControlId::EscModelLabel, model);
    return model;
}

void MainDialogLogic::ResetEscDisplay() {
    escModelChosen = 0;
    view.ShowPicture(ControlId::EscModelIndicator, PictureId::EscInactive);
    view.SetControlText(ControlId::EscModelLabel, NoneSelected);
    view.SetCurrentSelection(ControlId::EscModelCombo, -1);
    view.SetControlText(ControlId::EscModelCombo, SelectEscModelPrompt);
    view.ShowPicture(ControlId::EscIndicator, PictureId::EscInactive);
    view.SetControlText(ControlId::EscStateLabel, Disconnected);
    view.ResetContent(ControlId::EscFirmwareCombo);
    view.SetControlText(ControlId::EscFirmwareCombo, SelectEscFirmwarePrompt);
}

void MainDialogLogic::ResetProgramCardDisplay() {
    view.ShowPicture(ControlId::ProgramCardIndicator, PictureId::ProgramCardInactive);
    view.SetControlText(ControlId::ProgramCardStateLabel, Disconnected);
    view.SetCurrentSelection(ControlId::ProgramCardFirmwareCombo, -1);
    view.SetControlText(ControlId::ProgramCardFirmwareCombo, SelectProgramCardFirmwarePrompt);
}

void MainDialogLogic::FillEscFirmwareList(const QString& model) {
    view.ResetContent(ControlId::EscFirmwareCombo);
    for (const QString& file : catalogue.ListFirmwareFiles(model)) {
        view.AddString(ControlId::EscFirmwareCombo, file);
    }
    const QString running = state.ReadIdentification().firmwareFileName;
    if (!running.isEmpty() && view.ItemCount(ControlId::EscFirmwareCombo) > 0) {
        SelectByText(ControlId::EscFirmwareCombo, running);
    }
}

void MainDialogLogic::OnCommand(int commandId) {
    switch (commandId) {
    case CommandId::FileExit:
        view.EndDialog();
        break;
    case CommandId::DeviceEsc:
        OnDeviceEsc();
        break;
    case CommandId::DeviceProgramCard:
        OnDeviceProgramCard();
        break;
    case CommandId::DeviceFixMode:
        OnDeviceFixMode();
        break;
    case CommandId::HelpAbout:
    case CommandId::SystemAbout:
        view.ShowAboutBox();
        break;
    case ControlId::ProgramCardSaveButton:
        OnProgramCardSave();
        break;
    case ControlId::EscModelSelectButton:
        OnEscModelSelect();
        break;
    case ControlId::EscFirmwareSaveButton:
        OnEscFirmwareSave();
        break;
    default:
        break;
    }
}

void MainDialogLogic::OnDeviceEsc() { SwitchDevice(DeviceMode::Esc); }

void MainDialogLogic::OnDeviceProgramCard() { SwitchDevice(DeviceMode::ProgramCard); }

void MainDialogLogic::SwitchDevice(DeviceMode mode) {
    const bool toEsc = mode == DeviceMode::Esc;
    const int item = toEsc ? CommandId::DeviceEsc : CommandId::DeviceProgramCard;
    const int otherItem = toEsc ? CommandId::DeviceProgramCard : CommandId::DeviceEsc;
    if (view.IsMenuChecked(item)) {
        return;
    }
    state.connectionState = ConnectionState::NoLink;
    if (toEsc) {
        ResetProgramCardDisplay();
    } else {
        ResetEscDisplay();
    }
    state.deviceMode = mode;
    RefreshDeviceDisplay();
    state.ClosePort();
    view.SetMenuChecked(item, true);
    view.SetMenuChecked(otherItem, false);
}

void MainDialogLogic::OnDeviceFixMode() {
    const bool wasChecked = view.IsMenuChecked(CommandId::DeviceFixMode);
    state.ClosePort();
    state.fixMode = wasChecked ? 0 : 1;
    state.connectionState = ConnectionState::NoLink;
    RefreshDeviceDisplay();
    view.SetMenuChecked(CommandId::DeviceFixMode, !wasChecked);
}

void MainDialogLogic::OnProgramCardSave() {
    if (state.deviceMode == DeviceMode::ProgramCard) {
        StartUpdate();
    }
}

void MainDialogLogic::OnEscModelSelect() {
    const QString model = ReadEscModelSelection();
    if (!model.isEmpty()) {
        FillEscFirmwareList(model);
    }
}

void MainDialogLogic::OnEscFirmwareSave() {
    if (state.deviceMode != DeviceMode::Esc) {
        return;
    }
    const Identification found = state.ReadIdentification();
    if (!found.hardwareModel.isEmpty() && !found.firmwareModel.isEmpty() &&
        found.hardwareModel != found.firmwareModel) {
        const MessageAnswer answer =
            view.MessageBox(QStringLiteral("The selected firmware does not match the current device model, are you "
                                           "sure you want to update this firmware?"),
                            QStringLiteral("Warning"), MessageIcon::Warning, MessageButtons::YesNo);
        if (answer != MessageAnswer::Yes) {
            return;
        }
    }
    StartUpdate();
}

void MainDialogLogic::StartUpdate() { updateWorker.StartUpdate(); }
