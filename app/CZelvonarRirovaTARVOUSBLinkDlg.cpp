#include "CZelvonarRirovaTARVOUSBLinkDlg.h"

#include "Artwork.h"
#include "ControlIds.h"
#include "CxSkinButton.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>

namespace {

struct Place {
    int controlId;
    QRect rect;
};

// Client-area pixels of every control.
const Place Layout[] = {
    {ControlId::VersionLabel, {368, 101, 60, 20}},
    {ControlId::ProgramCardIndicator, {47, 167, 143, 33}},
    {ControlId::EscModelIndicator, {47, 242, 143, 33}},
    {ControlId::EscIndicator, {47, 312, 143, 33}},
    {ControlId::ProgramCardStateLabel, {59, 175, 120, 20}},
    {ControlId::EscModelLabel, {59, 250, 120, 20}},
    {ControlId::EscStateLabel, {59, 320, 120, 20}},
    {ControlId::StatusLabel, {63, 365, 465, 50}},
    {ControlId::ProgramCardFirmwareCombo, {210, 171, 220, 5}},
    {ControlId::EscModelCombo, {210, 247, 220, 5}},
    {ControlId::EscFirmwareCombo, {210, 317, 220, 5}},
    {ControlId::ProgramCardSaveButton, {453, 167, 93, 33}},
    {ControlId::EscModelSelectButton, {453, 242, 93, 33}},
    {ControlId::EscFirmwareSaveButton, {453, 312, 93, 33}},
};

struct Skin {
    int buttonId;
    int normal, down, over, disabled;
};

const Skin Skins[] = {
    {ControlId::ProgramCardSaveButton, PictureId::ProgramCardSave, PictureId::ProgramCardSave,
     PictureId::ProgramCardSaveOver, PictureId::ProgramCardSave},
    {ControlId::EscModelSelectButton, PictureId::SelectButton, PictureId::SelectButton, PictureId::SelectButtonOver,
     PictureId::SelectButton},
    {ControlId::EscFirmwareSaveButton, PictureId::EscSave, PictureId::EscSave, PictureId::EscSaveOver,
     PictureId::EscSave},
};

const QColor DarkText(1, 1, 0);
const QColor YellowText(255, 242, 0);
const QColor PanelText(8, 22, 29);

QRect PlaceOf(int controlId) {
    for (const Place& place : Layout) {
        if (place.controlId == controlId) {
            return place.rect;
        }
    }
    return {};
}

} // namespace

CZelvonarRirovaTARVOUSBLinkDlg::CZelvonarRirovaTARVOUSBLinkDlg(PortSource& ports, const QString& exeDirectory)
    : QDialog(nullptr, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                           Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      logic(*this, bridge, ports, exeDirectory) {
    setObjectName(QStringLiteral("mainDialog"));
    bridge.SetShutdownHook([this] { RejectOpenBoxes(); });
    QFont dialogFont(QStringLiteral("Segoe UI"));
    dialogFont.setPointSize(12);
    setFont(dialogFont);
    CreateMenus();
    CreateControls();
}

CZelvonarRirovaTARVOUSBLinkDlg::~CZelvonarRirovaTARVOUSBLinkDlg() { Teardown(); }

void CZelvonarRirovaTARVOUSBLinkDlg::CreateMenus() {
    menuBar = new QMenuBar(this);
    menuBar->setNativeMenuBar(false);
    QMenu* file = menuBar->addMenu(QStringLiteral("&File"));
    AddMenuCommand(file, QStringLiteral("E&xit"), CommandId::FileExit, false);
    QMenu* device = menuBar->addMenu(QStringLiteral("&Device"));
    AddMenuCommand(device, QStringLiteral("&ESC"), CommandId::DeviceEsc, true);
    AddMenuCommand(device, QStringLiteral("&Program Card"), CommandId::DeviceProgramCard, true);
    AddMenuCommand(device, QStringLiteral("&Fix Mode"), CommandId::DeviceFixMode, true);
    QMenu* help = menuBar->addMenu(QStringLiteral("&Help"));
    AddMenuCommand(help, QStringLiteral("&About"), CommandId::HelpAbout, false);
}

QAction* CZelvonarRirovaTARVOUSBLinkDlg::AddMenuCommand(QMenu* menu, const QString& text, int commandId,
                                                      bool checkable) {
    QAction* action = menu->addAction(text);
    action->setData(commandId);
    action->setCheckable(checkable);
    connect(action, &QAction::triggered, this, [this, commandId] { RunCommand(commandId); });
    actions[commandId] = action;
    return action;
}

void CZelvonarRirovaTARVOUSBLinkDlg::CreateControls() {
    client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    background = new QLabel(client);
    background->setObjectName(QStringLiteral("background"));

    struct StaticText {
        int id;
        const char* name;
        const char* text;
        Qt::Alignment alignment;
    };
    const StaticText statics[] = {
        {ControlId::VersionLabel, "versionLabel", "V3.1", Qt::AlignCenter},
        {ControlId::ProgramCardIndicator, "programCardIndicator", "", Qt::AlignLeft},
        {ControlId::EscModelIndicator, "escModelIndicator", "", Qt::AlignLeft},
        {ControlId::EscIndicator, "escIndicator", "", Qt::AlignLeft},
        {ControlId::ProgramCardStateLabel, "programCardStateLabel", "Disconnected", Qt::AlignHCenter | Qt::AlignTop},
        {ControlId::EscModelLabel, "escModelLabel", "None Selected", Qt::AlignHCenter | Qt::AlignTop},
        {ControlId::EscStateLabel, "escStateLabel", "Disconnected", Qt::AlignHCenter | Qt::AlignTop},
        {ControlId::StatusLabel, "statusLabel", "Status Message", Qt::AlignLeft | Qt::AlignTop},
    };
    for (const StaticText& entry : statics) {
        auto* label = new QLabel(QString::fromLatin1(entry.text), client);
        label->setObjectName(QString::fromLatin1(entry.name));
        label->setProperty("controlId", entry.id);
        label->setAlignment(entry.alignment);
        labels[entry.id] = label;
    }
    labels[ControlId::StatusLabel]->setWordWrap(true);
    ShowPicture(ControlId::ProgramCardIndicator, PictureId::ProgramCardInactive);
    ShowPicture(ControlId::EscModelIndicator, PictureId::EscModelInitial);
    ShowPicture(ControlId::EscIndicator, PictureId::EscInactive);
    // The row labels lie on their indicator pictures.
    for (int id : {ControlId::ProgramCardStateLabel, ControlId::EscModelLabel, ControlId::EscStateLabel}) {
        labels[id]->raise();
    }

    const std::pair<int, const char*> lists[] = {
        {ControlId::ProgramCardFirmwareCombo, "programCardFirmwareCombo"},
        {ControlId::EscModelCombo, "escModelCombo"},
        {ControlId::EscFirmwareCombo, "escFirmwareCombo"},
    };
    for (const auto& [id, name] : lists) {
        auto* combo = new QComboBox(client);
        combo->setObjectName(QString::fromLatin1(name));
        combo->setProperty("controlId", id);
        combo->setEditable(true);
        // Typed text is never read and never becomes an item.
        combo->setInsertPolicy(QComboBox::NoInsert);
        combo->setCurrentIndex(-1);
        combos[id] = combo;
    }

    const std::pair<int, const char*> pushButtons[] = {
        {ControlId::ProgramCardSaveButton, "programCardSaveButton"},
        {ControlId::EscModelSelectButton, "escModelSelectButton"},
        {ControlId::EscFirmwareSaveButton, "escFirmwareSaveButton"},
    };
    for (const auto& [id, name] : pushButtons) {
        auto* button = new CxSkinButton(client);
        button->setObjectName(QString::fromLatin1(name));
        button->setProperty("controlId", id);
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, [this, id = id] { RunCommand(id); });
        buttons[id] = button;
    }
    buttons[ControlId::ProgramCardSaveButton]->setDefault(true);
    UpdateLabelColours();
}

bool CZelvonarRirovaTARVOUSBLinkDlg::OnInitDialog() {
    setWindowIcon(QIcon(Artwork::Picture(PictureId::EscActive)));
    return logic.InitDialog();
}

void CZelvonarRirovaTARVOUSBLinkDlg::Teardown() {
    bridge.Shutdown();
    logic.Teardown();
}

void CZelvonarRirovaTARVOUSBLinkDlg::done(int result) {
    // The window is going: whatever a background thread still asks of it must
    // not wait for it any more.
    bridge.Shutdown();
    QDialog::done(result);
}

QAction* CZelvonarRirovaTARVOUSBLinkDlg::MenuAction(int commandId) const {
    const auto found = actions.find(commandId);
    return found == actions.end() ? nullptr : found->second;
}

int CZelvonarRirovaTARVOUSBLinkDlg::ShownPicture(int indicatorId) const {
    const auto found = shownPictures.find(indicatorId);
    return found == shownPictures.end() ? 0 : found->second;
}

void CZelvonarRirovaTARVOUSBLinkDlg::RunCommand(int commandId) {
    logic.OnCommand(commandId);
    // A checkable action flips its own mark when triggered; the marks follow
    // the logic's word alone.
    for (const auto& [id, action] : actions) {
        if (action->isCheckable()) {
            action->setChecked(menuChecks[id]);
        }
    }
}

QComboBox* CZelvonarRirovaTARVOUSBLinkDlg::Combo(int listId) const {
    const auto found = combos.find(listId);
    return found == combos.end() ? nullptr : found->second;
}

QLabel* CZelvonarRirovaTARVOUSBLinkDlg::Label(int controlId) const {
    const auto found = labels.find(controlId);
    return found == labels.end() ? nullptr : found->second;
}

void CZelvonarRirovaTARVOUSBLinkDlg::SetWindowTitle(const QString& title) { setWindowTitle(title); }

void CZelvonarRirovaTARVOUSBLinkDlg::CreateFonts() {
    // Arial's metrics; Liberation Sans stands in where Arial is not installed.
    for (QFont* font : {&labelFont, &comboFont}) {
        *font = QFont(QStringLiteral("Arial"));
        font->setStyleHint(QFont::SansSerif);
        font->setWeight(QFont::Normal);
    }
    labelFont.setPixelSize(16);
    comboFont.setPixelSize(15);
}

void CZelvonarRirovaTARVOUSBLinkDlg::ApplyWindowSizeAndBackground() {
    const QPixmap picture = Artwork::Picture(PictureId::Background);
    background->setPixmap(picture);
    background->setGeometry(0, 0, picture.width(), picture.height());
    background->lower();
    const int menuHeight = menuBar->sizeHint().height();
    menuBar->setGeometry(0, 0, picture.width(), menuHeight);
    client->setGeometry(0, menuHeight, picture.width(), picture.height());
    setFixedSize(picture.width(), picture.height() + menuHeight);
}

void CZelvonarRirovaTARVOUSBLinkDlg::ApplyControlLayout() {
    for (int id : {ControlId::VersionLabel, ControlId::ProgramCardStateLabel, ControlId::EscModelLabel,
                   ControlId::EscStateLabel}) {
        labels[id]->setFont(labelFont);
    }
    for (const auto& [id, combo] : combos) {
        combo->setFont(comboFont);
    }
    for (const Place& place : Layout) {
        if (QLabel* label = Label(place.controlId)) {
            label->setGeometry(place.rect);
        } else if (QComboBox* combo = Combo(place.controlId)) {
            // The given height counts the opened list too; the field takes
            // its own height from the font.
            combo->setGeometry(place.rect.x(), place.rect.y(), place.rect.width(), combo->sizeHint().height());
        }
    }
}

void CZelvonarRirovaTARVOUSBLinkDlg::ApplyButtonSkins() {
    for (const Skin& skin : Skins) {
        CxSkinButton* button = buttons[skin.buttonId];
        button->SetBitmaps(Artwork::Picture(skin.normal), Artwork::Picture(skin.down), Artwork::Picture(skin.over),
                           Artwork::Picture(skin.disabled));
        button->setGeometry(PlaceOf(skin.buttonId));
    }
}

void CZelvonarRirovaTARVOUSBLinkDlg::SetControlText(int controlId, const QString& text) {
    if (QLabel* label = Label(controlId)) {
        label->setText(text);
        UpdateLabelColours();
    } else if (QComboBox* combo = Combo(controlId)) {
        combo->setEditText(text);
        // Show a prompt from its start even when it is wider than the field.
        combo->lineEdit()->setCursorPosition(0);
    }
}

void CZelvonarRirovaTARVOUSBLinkDlg::ShowPicture(int indicatorId, int pictureId) {
    if (QLabel* indicator = Label(indicatorId)) {
        indicator->setPixmap(Artwork::Picture(pictureId));
        shownPictures[indicatorId] = pictureId;
        UpdateLabelColours();
    }
}

void CZelvonarRirovaTARVOUSBLinkDlg::ResetContent(int listId) {
    if (QComboBox* combo = Combo(listId)) {
        combo->clear();
        combo->setEditText(QString());
    }
}

void CZelvonarRirovaTARVOUSBLinkDlg::AddString(int listId, const QString& text) {
    QComboBox* combo = Combo(listId);
    if (!combo) {
        return;
    }
    // Appending never selects: the field keeps its prompt until an item is
    // chosen.
    const int selected = combo->currentIndex();
    const QString field = combo->currentText();
    combo->addItem(text);
    if (combo->currentIndex() != selected) {
        combo->setCurrentIndex(selected);
        combo->setEditText(field);
    }
}

int CZelvonarRirovaTARVOUSBLinkDlg::ItemCount(int listId) {
    QComboBox* combo = Combo(listId);
    return combo ? combo->count() : 0;
}

QString CZelvonarRirovaTARVOUSBLinkDlg::ItemText(int listId, int index) {
    QComboBox* combo = Combo(listId);
    return combo ? combo->itemText(index) : QString();
}

int CZelvonarRirovaTARVOUSBLinkDlg::SelectedIndex(int listId) {
    QComboBox* combo = Combo(listId);
    return combo ? combo->currentIndex() : -1;
}

void CZelvonarRirovaTARVOUSBLinkDlg::SetCurrentSelection(int listId, int index) {
    if (QComboBox* combo = Combo(listId)) {
        combo->setCurrentIndex(index);
        if (index < 0) {
            combo->setEditText(QString());
        }
    }
}

bool CZelvonarRirovaTARVOUSBLinkDlg::IsMenuChecked(int commandId) { return menuChecks[commandId]; }

void CZelvonarRirovaTARVOUSBLinkDlg::SetMenuChecked(int commandId, bool checked) {
    menuChecks[commandId] = checked;
    if (QAction* action = MenuAction(commandId)) {
        action->setChecked(checked);
    }
}

MessageAnswer CZelvonarRirovaTARVOUSBLinkDlg::MessageBox(const QString& text, const QString& caption,
                                                         MessageIcon icon, MessageButtons buttonsShown) {
    if (bridge.IsShut()) {
        return MessageAnswer::Cancelled;
    }
    const QMessageBox::Icon boxIcon = icon == MessageIcon::Error     ? QMessageBox::Critical
                                      : icon == MessageIcon::Warning ? QMessageBox::Warning
                                                                     : QMessageBox::NoIcon;
    const QMessageBox::StandardButtons standard =
        buttonsShown == MessageButtons::YesNo ? (QMessageBox::Yes | QMessageBox::No) : QMessageBox::Ok;
    // Owned by the window while it is shown, so it stays on top of it; before
    // the window is shown (start-up failures) it stands alone.
    QPointer<QMessageBox> box = new QMessageBox(boxIcon, caption, text, standard, isVisible() ? this : nullptr);
    box->setObjectName(QStringLiteral("messageBox"));
    box->setDefaultButton(buttonsShown == MessageButtons::YesNo ? QMessageBox::Yes : QMessageBox::Ok);
    openBoxes.push_back(box);
    const int pressed = box->exec();
    const bool cancelled = bridge.IsShut();
    std::erase(openBoxes, box);
    delete box;
    if (cancelled) {
        return MessageAnswer::Cancelled;
    }
    switch (pressed) {
    case QMessageBox::Yes:
        return MessageAnswer::Yes;
    case QMessageBox::No:
        return MessageAnswer::No;
    case QMessageBox::Ok:
        return MessageAnswer::Ok;
    default:
        return MessageAnswer::Cancelled;
    }
}

void CZelvonarRirovaTARVOUSBLinkDlg::RejectOpenBoxes() {
    for (const QPointer<QMessageBox>& box : openBoxes) {
        if (box) {
            box->reject();
        }
    }
}

void CZelvonarRirovaTARVOUSBLinkDlg::ShowAboutBox() {
    QMessageBox about(QMessageBox::Information, QStringLiteral("About ") + QString::fromLatin1(MainDialogLogic::Title),
                      QString::fromLatin1(MainDialogLogic::Title) + QStringLiteral(", version 1.0\nDatabase : ") +
                          logic.State().catalogueVersion,
                      QMessageBox::Ok, this);
    about.exec();
}

void CZelvonarRirovaTARVOUSBLinkDlg::EndDialog() { accept(); }

QColor CZelvonarRirovaTARVOUSBLinkDlg::LabelTextColour(int labelId) const {
    const LinkState& state = logic.State();
    const bool identified = state.connectionState == ConnectionState::Device;
    switch (labelId) {
    case ControlId::ProgramCardStateLabel:
        return identified && state.deviceMode == DeviceMode::ProgramCard ? DarkText : YellowText;
    case ControlId::EscModelLabel:
        return logic.EscModelChosen() ? DarkText : YellowText;
    case ControlId::EscStateLabel:
        return identified && state.deviceMode == DeviceMode::Esc ? DarkText : YellowText;
    default:
        return PanelText;
    }
}

void CZelvonarRirovaTARVOUSBLinkDlg::UpdateLabelColours() {
    for (int id : {ControlId::ProgramCardStateLabel, ControlId::EscModelLabel, ControlId::EscStateLabel}) {
        labels[id]->setStyleSheet(
            QStringLiteral("color: %1; background: transparent;").arg(LabelTextColour(id).name()));
    }
    for (int id : {ControlId::VersionLabel, ControlId::StatusLabel}) {
        labels[id]->setStyleSheet(QStringLiteral("color: %1; background: white;").arg(PanelText.name()));
    }
}
