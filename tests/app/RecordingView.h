#pragma once

#include "DialogView.h"

#include <QString>
#include <QStringList>
#include <atomic>
#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

// A window made of plain values: records what the logic shows and answers
// message boxes from a script. Behaves like the real lists: appending never
// selects, clearing the selection or the items empties the field. Every call
// that changes something is logged in order, and calls that arrive on another
// thread than the one that made the view are counted: the window may only be
// used on its own thread.
class RecordingView : public DialogView {
public:
    struct List {
        QStringList items;
        int selected = -1;
        QString field;
    };
    struct Box {
        QString text;
        QString caption;
        MessageIcon icon;
        MessageButtons buttons;
    };

    void SetWindowTitle(const QString& title) override {
        Log(QStringLiteral("title:") + title);
        std::lock_guard lock(mutex);
        windowTitle = title;
    }
    void CreateFonts() override { Log(QStringLiteral("fonts")); }
    void ApplyWindowSizeAndBackground() override { Log(QStringLiteral("size")); }
    void ApplyControlLayout() override { Log(QStringLiteral("layout")); }
    void ApplyButtonSkins() override { Log(QStringLiteral("skins")); }

    void SetControlText(int controlId, const QString& text) override {
        Log(QStringLiteral("text:%1:%2").arg(controlId).arg(text));
        std::lock_guard lock(mutex);
        if (lists.count(controlId)) {
            lists[controlId].field = text;
        } else {
            texts[controlId] = text;
        }
    }
    void ShowPicture(int indicatorId, int pictureId) override {
        Log(QStringLiteral("picture:%1:%2").arg(indicatorId).arg(pictureId));
        std::lock_guard lock(mutex);
        pictures[indicatorId] = pictureId;
    }
    void ResetContent(int listId) override {
        Log(QStringLiteral("reset:%1").arg(listId));
        std::lock_guard lock(mutex);
        lists[listId] = List{};
    }
    void AddString(int listId, const QString& text) override {
        Log(QStringLiteral("add:%1:%2").arg(listId).arg(text));
        std::lock_guard lock(mutex);
        lists[listId].items.append(text);
    }
    int ItemCount(int listId) override {
        NoteThread();
        std::lock_guard lock(mutex);
        return static_cast<int>(lists[listId].items.size());
    }
    QString ItemText(int listId, int index) override {
        NoteThread();
        std::lock_guard lock(mutex);
        const List& list = lists[listId];
        return index >= 0 && index < list.items.size() ? list.items[index] : QString();
    }
    int SelectedIndex(int listId) override {
        NoteThread();
        std::lock_guard lock(mutex);
        return lists[listId].selected;
    }
    void SetCurrentSelection(int listId, int index) override {
        Log(QStringLiteral("select:%1:%2").arg(listId).arg(index));
        std::lock_guard lock(mutex);
        List& list = lists[listId];
        if (index >= 0 && index < list.items.size()) {
            list.selected = index;
            list.field = list.items[index];
        } else {
            list.selected = -1;
            list.field.clear();
        }
    }
    bool IsMenuChecked(int commandId) override {
        NoteThread();
        std::lock_guard lock(mutex);
        return menuChecks[commandId];
    }
    void SetMenuChecked(int commandId, bool checked) override {
        Log(QStringLiteral("check:%1:%2").arg(commandId).arg(checked ? 1 : 0));
        std::lock_guard lock(mutex);
        menuChecks[commandId] = checked;
    }
    MessageAnswer MessageBox(const QString& text, const QString& caption, MessageIcon icon,
                             MessageButtons buttons) override {
        Log(QStringLiteral("box:") + text);
        std::lock_guard lock(mutex);
        boxes.push_back({text, caption, icon, buttons});
        if (answers.empty()) {
            return buttons == MessageButtons::YesNo ? MessageAnswer::Yes : MessageAnswer::Ok;
        }
        const MessageAnswer answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void ShowAboutBox() override { Log(QStringLiteral("about")); }
    void EndDialog() override { Log(QStringLiteral("end")); }

    // Reading what was shown, from the test.
    QString Text(int controlId) {
        std::lock_guard lock(mutex);
        return lists.count(controlId) ? lists[controlId].field : texts[controlId];
    }
    int Picture(int indicatorId) {
        std::lock_guard lock(mutex);
        return pictures[indicatorId];
    }
    List ListState(int listId) {
        std::lock_guard lock(mutex);
        return lists[listId];
    }
    std::vector<Box> Boxes() {
        std::lock_guard lock(mutex);
        return boxes;
    }
    QStringList Calls() {
        std::lock_guard lock(mutex);
        return calls;
    }
    void ClearCalls() {
        std::lock_guard lock(mutex);
        calls.clear();
    }
    void AnswerNextBox(MessageAnswer answer) {
        std::lock_guard lock(mutex);
        answers.push_back(answer);
    }
    void SetItems(int listId, const QStringList& items, int selected = -1) {
        std::lock_guard lock(mutex);
        lists[listId] = List{items, selected, selected >= 0 ? items[selected] : QString()};
    }
    bool MenuChecked(int commandId) {
        std::lock_guard lock(mutex);
        return menuChecks[commandId];
    }
    int CallsFromOtherThreads() const { return callsFromOtherThreads; }

    QString windowTitle;

private:
    void Log(const QString& call) {
        NoteThread();
        std::lock_guard lock(mutex);
        calls.append(call);
    }
    void NoteThread() {
        if (std::this_thread::get_id() != windowThread) {
            ++callsFromOtherThreads;
        }
    }

    const std::thread::id windowThread = std::this_thread::get_id();
    std::atomic<int> callsFromOtherThreads{0};
    std::mutex mutex;
    QStringList calls;
    std::map<int, QString> texts;
    std::map<int, int> pictures;
    std::map<int, List> lists{{1005, {}}, {1006, {}}, {1007, {}}};
    std::map<int, bool> menuChecks;
    std::vector<Box> boxes;
    std::deque<MessageAnswer> answers;
};
