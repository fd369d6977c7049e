#pragma once

#include "DialogView.h"
#include "MainDialogLogic.h"
#include "UiBridge.h"

#include <QDialog>
#include <QFont>
#include <QPointer>

#include <map>

class CxSkinButton;
class PortSource;
class QAction;
class QComboBox;
class QLabel;
class QMenuBar;
class QMessageBox;

// The main window: a fixed-size dialog of three rows and a status line over
// a background picture, with the File, Device and Help menus. Its behaviour
// lives in MainDialogLogic; this class draws and forwards.
class CZelvonarRirovaTARVOUSBLinkDlg : public QDialog, public DialogView {
public:
    CZelvonarRirovaTARVOUSBLinkDlg(PortSource& ports, const QString& exeDirectory);
    ~CZelvonarRirovaTARVOUSBLinkDlg() override;

    // False when the catalogue could not be opened: the box has been shown
    // and the window must not be shown.
    bool OnInitDialog();
    // After the modal run: stops the threads, closes the catalogue and port.
    void Teardown();

    MainDialogLogic& Logic() { return logic; }
    UiBridge& Bridge() { return bridge; }
    QMenuBar* MenuBar() const { return menuBar; }
    QAction* MenuAction(int commandId) const;
    int ShownPicture(int indicatorId) const;
    QColor LabelTextColour(int labelId) const;

    // DialogView
    void SetWindowTitle(const QString& title) override;
    void CreateFonts() override;
    void ApplyWindowSizeAndBackground() override;
    void ApplyControlLayout() override;
    void ApplyButtonSkins() override;
    void SetControlText(int controlId, const QString& text) override;
    void ShowPicture(int indicatorId, int pictureId) override;
    void ResetContent(int listId) override;
    void AddString(int listId, const QString& text) override;
    int ItemCount(int listId) override;
    QString ItemText(int listId, int index) override;
    int SelectedIndex(int listId) override;
    void SetCurrentSelection(int listId, int index) override;
    bool IsMenuChecked(int commandId) override;
    void SetMenuChecked(int commandId, bool checked) override;
    MessageAnswer MessageBox(const QString& text, const QString& caption, MessageIcon icon,
                             MessageButtons buttons) override;
    void ShowAboutBox() override;
    void EndDialog() override;

    void done(int result) override;

private:
    void CreateControls();
    void CreateMenus();
    QAction* AddMenuCommand(class QMenu* menu, const QString& text, int commandId, bool checkable);
    void RunCommand(int commandId);
    void UpdateLabelColours();
    void RejectOpenBoxes();
    QComboBox* Combo(int listId) const;
    QLabel* Label(int controlId) const;

    UiBridge bridge;
    QMenuBar* menuBar = nullptr;
    QWidget* client = nullptr;
    QLabel* background = nullptr;
    std::map<int, QLabel*> labels;
    std::map<int, QComboBox*> combos;
    std::map<int, CxSkinButton*> buttons;
    std::map<int, int> shownPictures;
    std::map<int, QAction*> actions;
    std::map<int, bool> menuChecks;
    std::vector<QPointer<QMessageBox>> openBoxes;
    QFont labelFont;
    QFont comboFont;
    MainDialogLogic logic;
};
