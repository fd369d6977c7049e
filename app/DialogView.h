#pragma once

#include <QString>

enum class MessageIcon { None, Error, Warning };
enum class MessageButtons { Ok, YesNo };
// Cancelled: the window went away while the box was open or waiting to open.
enum class MessageAnswer { Ok, Yes, No, Cancelled };

// What the main window's logic needs of the window. The Qt dialog implements
// it; tests implement it with a recording fake. Called on the window's thread
// only: work from other threads comes over through the UiBridge.
class DialogView {
public:
    virtual ~DialogView() = default;

    // Start-up steps that belong to the window itself.
    virtual void SetWindowTitle(const QString& title) = 0;
    virtual void CreateFonts() = 0;
    virtual void ApplyWindowSizeAndBackground() = 0;
    virtual void ApplyControlLayout() = 0;
    virtual void ApplyButtonSkins() = 0;

    virtual void SetControlText(int controlId, const QString& text) = 0;
    virtual void ShowPicture(int indicatorId, int pictureId) = 0;

    // The list operations. Removing all items also empties the field;
    // SetCurrentSelection(-1) clears the selection and the field.
    virtual void ResetContent(int listId) = 0;
    virtual void AddString(int listId, const QString& text) = 0;
    virtual int ItemCount(int listId) = 0;
    virtual QString ItemText(int listId, int index) = 0;
    virtual int SelectedIndex(int listId) = 0;
    virtual void SetCurrentSelection(int listId, int index) = 0;

    virtual bool IsMenuChecked(int commandId) = 0;
    virtual void SetMenuChecked(int commandId, bool checked) = 0;

    virtual MessageAnswer MessageBox(const QString& text, const QString& caption, MessageIcon icon,
                                     MessageButtons buttons) = 0;
    virtual void ShowAboutBox() = 0;
    // Ends the modal run; the teardown follows.
    virtual void EndDialog() = 0;
};
