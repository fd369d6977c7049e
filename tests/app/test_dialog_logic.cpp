#include "CatalogueFixture.h"
#include "ControlIds.h"
#include "DeviceSimulator.h"
#include "MainDialogLogic.h"
#include "PortSource.h"
#include "RecordingView.h"
#include "SimulatedDevice.h"
#include "UiBridge.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <future>
#include <memory>
#include <thread>

using namespace std::chrono_literals;

namespace {

const QString SelectDevice = QStringLiteral("Please select a device from the menu");
const QString ConnectEsc = QStringLiteral("Please Connect to Program Card + ESC");
const QString SelectEscFirmware = QStringLiteral("Please Select ESC Firmware");
const QString ConnectCard = QStringLiteral("Please Connect to Program Card");
const QString SelectCardFirmware = QStringLiteral("Please Select Program Card Firmware");
const QString MismatchWarning =
    QStringLiteral("The selected firmware does not match the current device model, are "
                   "you sure you want to update this firmware?");

// Rows in an order no sort would give, a disabled model, a model whose name
// differs from another only in case, and a model name and a file name that
// each appear twice. The simulated ESC (hardware 0x31 0x0A 0x02 0x01,
// software 1.2.0.5) is "Zeta 120" running "Zeta_20". A function, not a
// constant: the schema is another file's static.
QByteArray CatalogueSql() {
    return CatalogueFixture::Schema + R"(
INSERT INTO DeviceList VALUES ('Zeta 120', 1, 49, 10, 2, 1, '1', 1);
INSERT INTO DeviceList VALUES ('Alpha 60', 1, 49, 11, 0, 0, '2', 1);
INSERT INTO DeviceList VALUES ('Retired 10', 1, 49, 13, 0, 0, '1', 0);
INSERT INTO DeviceList VALUES ('alpha 60', 1, 49, 12, 0, 0, '1', 1);
INSERT INTO DeviceList VALUES ('Card Pro', 0, 80, 67, 1, 2, NULL, 1);
INSERT INTO DeviceList VALUES ('Twin 30', 1, 49, 14, 0, 0, '1', 1);
INSERT INTO DeviceList VALUES ('Twin 30', 1, 49, 14, 0, 1, '1', 1);
INSERT INTO FirmwareList VALUES ('Zeta FW 1.0', 'Zeta_10', 'Zeta 120', 1, 0, 0, 0, 1);
INSERT INTO FirmwareList VALUES ('Zeta FW 2.0', 'Zeta_20', 'Zeta 120', 1, 2, 0, 5, 1);
INSERT INTO FirmwareList VALUES ('Alpha FW 1.0', 'Alpha_10', 'Alpha 60', 2, 0, 0, 0, 1);
INSERT INTO FirmwareList VALUES ('Alpha FW 1.1', 'Alpha_11', 'Alpha 60', 2, 1, 0, 0, 1);
INSERT INTO FirmwareList VALUES ('alpha FW', 'alpha_lower', 'alpha 60', 3, 0, 0, 0, 1);
INSERT INTO FirmwareList VALUES ('Twin FW A', 'Twin_A', 'Twin 30', 4, 0, 0, 0, 1);
INSERT INTO FirmwareList VALUES ('Twin FW B', 'Twin_B', 'Twin 30', 4, 1, 0, 0, 1);
INSERT INTO FirmwareList VALUES ('Twin FW A2', 'Twin_A', 'Twin 30', 4, 2, 0, 0, 1);
INSERT INTO FirmwareList VALUES ('Card FW 3', 'Card_v3', 'Card Pro', 9, 3, 0, 0, 1);
INSERT INTO FirmwareList VALUES ('Card FW 1', 'Card_v1', 'Card Pro', 9, 1, 0, 0, 1);
INSERT INTO FirmwareList VALUES ('Card FW 2', 'Card_v2', 'Card Pro', 9, 2, 0, 0, 1);
INSERT INTO DBVerInfo VALUES (1, 'Products', '', '2024-05-01', '7.1');
)";
}

const QStringList EscModels{"Zeta 120", "Alpha 60", "alpha 60", "Twin 30", "Twin 30"};
const QStringList CardFiles{"Card_v3", "Card_v1", "Card_v2"};

// hardwareModel, firmwareModel, firmwareName, firmwareFileName.
QStringList Found(const QString& hardwareModel, const QString& firmwareModel, const QString& firmwareName,
                  const QString& firmwareFileName) {
    return {hardwareModel, firmwareModel, firmwareName, firmwareFileName};
}

const QStringList ZetaRunning = Found("Zeta 120", "Zeta 120", "Zeta FW 2.0", "Zeta_20");
const QStringList CardRunning = Found("Card Pro", "Card Pro", "Card FW 1", "Card_v1");

Identification ToIdentification(const QStringList& found) {
    Identification results;
    results.hardwareModel = found.value(0);
    results.firmwareModel = found.value(1);
    results.firmwareName = found.value(2);
    results.firmwareFileName = found.value(3);
    return results;
}

int CommandFor(DeviceMode mode) {
    return mode == DeviceMode::Esc ? CommandId::DeviceEsc : CommandId::DeviceProgramCard;
}

// What the window shows, one "key=value" line per thing the user sees, so a
// table row names only what it expects to change.
QStringList Shown(RecordingView& view) {
    QStringList lines;
    const auto row = [&](const QString& name, int indicator, int label, int listId) {
        const RecordingView::List list = view.ListState(listId);
        lines << name + "Picture=" + QString::number(view.Picture(indicator))
              << name + "Label=" + view.Text(label) << name + "Items=" + list.items.join('|')
              << name + "Selected=" + QString::number(list.selected) << name + "Field=" + list.field;
    };
    row("card", ControlId::ProgramCardIndicator, ControlId::ProgramCardStateLabel,
        ControlId::ProgramCardFirmwareCombo);
    row("model", ControlId::EscModelIndicator, ControlId::EscModelLabel, ControlId::EscModelCombo);
    row("esc", ControlId::EscIndicator, ControlId::EscStateLabel, ControlId::EscFirmwareCombo);
    lines << "status=" + view.Text(ControlId::StatusLabel);
    return lines;
}

// lines with each change put in place of the line of the same key; a change
// with an unknown key is appended, so a typo fails the comparison.
QStringList With(QStringList lines, const QStringList& changes) {
    for (const QString& change : changes) {
        const QString key = change.section('=', 0, 0) + '=';
        const auto at = std::find_if(lines.begin(), lines.end(),
                                     [&](const QString& line) { return line.startsWith(key); });
        if (at == lines.end()) {
            lines << change;
        } else {
            *at = change;
        }
    }
    return lines;
}

const QStringList EscRowsReset{"modelPicture=133",
                               "modelLabel=None Selected",
                               "modelSelected=-1",
                               "modelField=Select ESC Model",
                               "escPicture=133",
                               "escLabel=Disconnected",
                               "escItems=",
                               "escSelected=-1",
                               "escField=Select ESC Firmware"};
const QStringList CardRowReset{"cardPicture=135", "cardLabel=Disconnected", "cardSelected=-1",
                               "cardField=Select Program Card Firmware"};
const QStringList ZetaPreselected{"modelPicture=142",    "modelLabel=Zeta 120",      "modelSelected=0",
                                  "modelField=Zeta 120", "escItems=Zeta_10|Zeta_20", "escSelected=1",
                                  "escField=Zeta_20",    "escPicture=136",           "escLabel=Zeta FW 2.0"};

// Looks that no outcome shares (no picture yet, labels and typed text of an
// earlier moment), so that every change shows and every untouched control
// keeps its mark. escModelSelected is the model picked before, or -1.
void SeedEarlierLooks(RecordingView& view, int escModelSelected) {
    view.SetControlText(ControlId::ProgramCardStateLabel, "earlier card label");
    view.SetItems(ControlId::ProgramCardFirmwareCombo, CardFiles, 2);
    view.SetControlText(ControlId::EscModelLabel, "earlier model label");
    view.SetItems(ControlId::EscModelCombo, EscModels, escModelSelected);
    if (escModelSelected < 0) {
        view.SetControlText(ControlId::EscModelCombo, "typed");
    }
    view.SetControlText(ControlId::EscStateLabel, "earlier ESC label");
    view.SetItems(ControlId::EscFirmwareCombo, {"Old_1", "Old_2"}, 1);
    view.SetControlText(ControlId::StatusLabel, "earlier status");
    view.ClearCalls();
}

// The control a logged call addresses ("text:1004:..." gives 1004), or -1.
int ControlOf(const QString& call) {
    bool number = false;
    const int id = call.section(':', 1, 1).toInt(&number);
    return number ? id : -1;
}

// Waits without handling the window thread's events, so that work sent over
// the bridge stays waiting.
template <typename Condition> bool WaitWithoutEvents(Condition condition, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

// When the window closes, for the teardown tests.
enum class Moment { RefreshWaiting, RightAfterChoosing, WhileCableFound, AfterIdentification };

// The window's logic on the test's thread, with a simulated ESC on a cable
// that the monitor (when it runs) finds through ports.
struct Rig {
    explicit Rig(const QString& exeDirectory) : device(devicesim::SimulatedDevice::Kind::Esc) {
        simulator.SetResponder(device.MakeResponder());
        ports.SetEntries({simulator.PortEntry()});
        logic = std::make_unique<MainDialogLogic>(view, bridge, ports, exeDirectory);
    }

    // Started as the program starts, then with the monitor stopped so that the
    // test alone moves the link state.
    bool StartWithoutMonitor() {
        if (!logic->InitDialog()) {
            return false;
        }
        logic->Monitor().Stop();
        view.ClearCalls();
        return true;
    }

    // The device chosen from the menu, its cable open and the device
    // identified as found says, with the display refreshed.
    bool Identified(DeviceMode mode, const QStringList& found) {
        logic->OnCommand(CommandFor(mode));
        if (!State().DiscoverLink(ports)) {
            return false;
        }
        State().WriteIdentification(ToIdentification(found));
        State().connectionState = ConnectionState::Device;
        logic->RefreshDeviceDisplay();
        return true;
    }

    LinkState& State() { return logic->State(); }

    RecordingView view;
    UiBridge bridge;
    devicesim::DeviceSimulator simulator;
    devicesim::SimulatedDevice device;
    FixedPortSource ports;
    std::unique_ptr<MainDialogLogic> logic;
};

} // namespace

class TestDialogLogic : public QObject {
    Q_OBJECT

    CatalogueFixture catalogue;

private slots:
    void initTestCase() { QVERIFY2(catalogue.Write(CatalogueSql()), qPrintable(catalogue.Failure())); }

    // ---- Start-up ----

    void startUpWithoutACatalogue_data() {
        QTest::addColumn<bool>("folderInItsPlace");
        QTest::addColumn<QString>("message");
        QTest::newRow("no catalogue") << false << "The database is lost, please reinstall the program!";
        QTest::newRow("a folder in its place") << true << "Failed to open the database!";
    }

    void startUpWithoutACatalogue() {
        QFETCH(bool, folderInItsPlace);
        QFETCH(QString, message);
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        if (folderInItsPlace) {
            QVERIFY(QDir(folder.path()).mkdir(ProductCatalogue::FileName));
        }
        Rig rig(folder.path() + '/');

        QVERIFY(!rig.logic->InitDialog());

        QCOMPARE(rig.view.Calls(), QStringList{"box:" + message});
        const auto boxes = rig.view.Boxes();
        QCOMPARE(boxes.size(), std::size_t{1});
        QCOMPARE(boxes[0].caption, QStringLiteral("Error"));
        QCOMPARE(boxes[0].icon, MessageIcon::Error);
        QCOMPARE(boxes[0].buttons, MessageButtons::Ok);
        QVERIFY(rig.view.windowTitle.isEmpty());
        QVERIFY(!rig.logic->Monitor().HasThread());
        rig.logic->Teardown();
        QVERIFY(!rig.logic->Catalogue().IsOpen());
    }

    // Title, fonts, window, prompts, skins, then the two lists in the
    // catalogue's row order; a catalogue that opens but cannot be read with
    // the key gives the same window with empty lists and no box.
    void startUpBuildsTheWindowInOrder_data() {
        QTest::addColumn<bool>("readable");
        QTest::addColumn<QStringList>("cardFiles");
        QTest::addColumn<QStringList>("escModels");
        QTest::addColumn<QString>("version");
        QTest::newRow("catalogue") << true << CardFiles << EscModels << "7.1";
        QTest::newRow("catalogue with another key") << false << QStringList() << QStringList() << "";
    }

    void startUpBuildsTheWindowInOrder() {
        QFETCH(bool, readable);
        QFETCH(QStringList, cardFiles);
        QFETCH(QStringList, escModels);
        QFETCH(QString, version);
        CatalogueFixture unreadable;
        if (!readable) {
            QVERIFY2(unreadable.Write(CatalogueSql(), "not the program's key"),
                     qPrintable(unreadable.Failure()));
        }
        Rig rig(readable ? catalogue.Directory() : unreadable.Directory());

        QVERIFY(rig.logic->InitDialog());

        QStringList expected{"title:Zelvonar Zadere TARVO USB Zuda",
                             "fonts",
                             "size",
                             "layout",
                             "text:1005:Select Program Card Firmware",
                             "text:1006:Select ESC Model",
                             "text:1007:Select ESC Firmware",
                             "text:1004:" + SelectDevice,
                             "skins"};
        for (const QString& file : cardFiles) {
            expected << "add:1005:" + file;
        }
        for (const QString& model : escModels) {
            expected << "add:1006:" + model;
        }
        QCOMPARE(rig.view.Calls(), expected);
        QVERIFY(rig.view.Boxes().empty());
        QCOMPARE(rig.view.windowTitle, QString::fromLatin1(MainDialogLogic::Title));
        QCOMPARE(rig.State().catalogueVersion, version);
        const QStringList shown = Shown(rig.view);
        QVERIFY(shown.contains("cardSelected=-1"));
        QVERIFY(shown.contains("cardField=Select Program Card Firmware"));
        QVERIFY(shown.contains("modelSelected=-1"));
        QVERIFY(shown.contains("modelField=Select ESC Model"));
        QVERIFY(shown.contains("escField=Select ESC Firmware"));
        QVERIFY(shown.contains("status=" + SelectDevice));
        QVERIFY(rig.logic->Monitor().HasThread());
        rig.logic->Teardown();
        QVERIFY(!rig.logic->Monitor().HasThread());
    }

    void commandsThatBelongToTheWindow_data() {
        QTest::addColumn<int>("command");
        QTest::addColumn<QStringList>("calls");
        QTest::newRow("File > Exit") << CommandId::FileExit << QStringList{"end"};
        QTest::newRow("Help > About") << CommandId::HelpAbout << QStringList{"about"};
        QTest::newRow("system menu About") << CommandId::SystemAbout << QStringList{"about"};
        QTest::newRow("unknown command") << 4242 << QStringList();
    }

    void commandsThatBelongToTheWindow() {
        QFETCH(int, command);
        QFETCH(QStringList, calls);
        Rig rig(catalogue.Directory());
        rig.logic->OnCommand(command);
        QCOMPARE(rig.view.Calls(), calls);
    }

    // ---- The display for each device mode and connection state ----

    void refreshShowsModeAndState_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("state");
        QTest::addColumn<QStringList>("found");
        QTest::addColumn<int>("earlierModel");
        QTest::addColumn<QStringList>("changes");

        const QStringList selectEsc{"escPicture=136", "status=" + SelectEscFirmware};

        QTest::newRow("no device, no link") << 0 << 0 << ZetaRunning << 1 << QStringList();
        QTest::newRow("no device, identified") << 0 << 2 << ZetaRunning << 1 << QStringList();
        QTest::newRow("ESC, no link")
            << 1 << 0 << ZetaRunning << 1 << EscRowsReset + QStringList{"status=" + ConnectEsc};
        QTest::newRow("ESC, link") << 1 << 1 << ZetaRunning << 1
                                   << EscRowsReset + QStringList{"status=" + ConnectEsc};
        QTest::newRow("ESC, identified") << 1 << 2 << ZetaRunning << 1 << ZetaPreselected + selectEsc;
        QTest::newRow("card, no link")
            << 2 << 0 << CardRunning << 1 << CardRowReset + QStringList{"status=" + ConnectCard};
        QTest::newRow("card, link") << 2 << 1 << CardRunning << 1
                                    << CardRowReset + QStringList{"status=" + ConnectCard};
        QTest::newRow("card, identified")
            << 2 << 2 << CardRunning << 1
            << QStringList{"cardPicture=138", "cardLabel=Card FW 1", "cardSelected=1", "cardField=Card_v1",
                           "status=" + SelectCardFirmware};
        const QStringList cardKeepsSelection{"cardPicture=138", "cardLabel=Card FW 9",
                                             "status=" + SelectCardFirmware};
        QTest::newRow("card, identified, file not in the list")
            << 2 << 2 << Found("Card Pro", "Card Pro", "Card FW 9", "Card_v9") << 1 << cardKeepsSelection;
        QTest::newRow("card, identified, no file name")
            << 2 << 2 << Found("Card Pro", "", "Card FW 9", "") << 1 << cardKeepsSelection;

        // The ESC preselection.
        QTest::newRow("firmware model wins over hardware model")
            << 1 << 2 << Found("Alpha 60", "Zeta 120", "Zeta FW 2.0", "Zeta_20") << 3
            << ZetaPreselected + selectEsc;
        QTest::newRow("hardware model alone")
            << 1 << 2 << Found("Alpha 60", "", "Unknown Version", "") << -1
            << QStringList{"modelPicture=142",    "modelLabel=Alpha 60",        "modelSelected=1",
                           "modelField=Alpha 60", "escItems=Alpha_10|Alpha_11", "escSelected=-1",
                           "escField=",           "escLabel=Unknown Version"} +
                   selectEsc;
        QTest::newRow("neither model: rows reset, firmware row active")
            << 1 << 2 << Found("", "", "Unknown Version", "") << 1
            << EscRowsReset + QStringList{"escLabel=Unknown Version"} + selectEsc;
        QTest::newRow("firmware model not listed: earlier selection used")
            << 1 << 2 << Found("Zeta 120", "Gone 99", "Gone FW", "Alpha_11") << 1
            << QStringList{"modelPicture=142", "modelLabel=Alpha 60", "escItems=Alpha_10|Alpha_11",
                           "escSelected=1",    "escField=Alpha_11",   "escLabel=Gone FW"} +
                   selectEsc;
        const QStringList onlyFirmwareRow = QStringList{"escLabel=Gone FW"} + selectEsc;
        QTest::newRow("firmware model not listed, nothing selected before")
            << 1 << 2 << Found("Zeta 120", "Gone 99", "Gone FW", "Zeta_20") << -1 << onlyFirmwareRow;
        QTest::newRow("hardware model not listed, nothing selected before")
            << 1 << 2 << Found("Gone 99", "", "Gone FW", "") << -1 << onlyFirmwareRow;
        QTest::newRow("model names match whole, not as a prefix")
            << 1 << 2 << Found("", "Zeta 12", "Gone FW", "Zeta_20") << -1 << onlyFirmwareRow;
        QTest::newRow("model names match case-sensitively")
            << 1 << 2 << Found("", "alpha 60", "alpha FW", "alpha_lower") << -1
            << QStringList{"modelPicture=142",     "modelLabel=alpha 60",  "modelSelected=2",
                           "modelField=alpha 60",  "escItems=alpha_lower", "escSelected=0",
                           "escField=alpha_lower", "escLabel=alpha FW"} +
                   selectEsc;
        QTest::newRow("first of equal model and file names")
            << 1 << 2 << Found("", "Twin 30", "Twin FW A", "Twin_A") << -1
            << QStringList{"modelPicture=142",
                           "modelLabel=Twin 30",
                           "modelSelected=3",
                           "modelField=Twin 30",
                           "escItems=Twin_A|Twin_B|Twin_A",
                           "escSelected=0",
                           "escField=Twin_A",
                           "escLabel=Twin FW A"} +
                   selectEsc;
        const QStringList zetaWithoutFile =
            ZetaPreselected + QStringList{"escSelected=-1", "escField="} + selectEsc;
        QTest::newRow("file names match case-sensitively")
            << 1 << 2 << Found("Zeta 120", "Zeta 120", "Zeta FW 2.0", "zeta_20") << 1 << zetaWithoutFile;
        QTest::newRow("running file not among the model's files")
            << 1 << 2 << Found("Zeta 120", "Zeta 120", "Zeta FW 2.0", "Alpha_10") << 1 << zetaWithoutFile;
        QTest::newRow("no running file")
            << 1 << 2 << Found("Zeta 120", "Zeta 120", "Zeta FW 2.0", "") << 1 << zetaWithoutFile;
    }

    void refreshShowsModeAndState() {
        QFETCH(int, mode);
        QFETCH(int, state);
        QFETCH(QStringList, found);
        QFETCH(int, earlierModel);
        QFETCH(QStringList, changes);
        Rig rig(catalogue.Directory());
        QVERIFY(rig.StartWithoutMonitor());
        rig.State().deviceMode = static_cast<DeviceMode>(mode);
        rig.State().connectionState = static_cast<ConnectionState>(state);
        rig.State().WriteIdentification(ToIdentification(found));
        SeedEarlierLooks(rig.view, earlierModel);
        const QStringList before = Shown(rig.view);

        rig.logic->RefreshDeviceDisplay();

        QCOMPARE(Shown(rig.view), With(before, changes));
        const QStringList calls = rig.view.Calls();
        if (mode == 0) {
            QCOMPARE(calls, QStringList());
            return;
        }
        // The status line last, once; the other device's row not touched at all.
        QCOMPARE(calls.filter(QStringLiteral("text:1004:")).size(), 1);
        QVERIFY(calls.last().startsWith(QStringLiteral("text:1004:")));
        const QList<int> otherRow =
            mode == 1 ? QList<int>{1000, 1005, 1008} : QList<int>{1002, 1003, 1006, 1007, 1009, 1010};
        for (const QString& call : calls) {
            QVERIFY2(!otherRow.contains(ControlOf(call)), qPrintable(call));
        }
        QCOMPARE(rig.logic->EscModelChosen(), Shown(rig.view).contains("modelPicture=142"));
    }

    // Refreshes asked for by another thread run on the window's thread while
    // the caller waits, and return at once, doing nothing, after the teardown.
    void refreshFromAnotherThread() {
        Rig rig(catalogue.Directory());
        QVERIFY(rig.StartWithoutMonitor());
        rig.State().deviceMode = DeviceMode::Esc;
        rig.State().connectionState = ConnectionState::Link;

        auto refresh = std::async(std::launch::async, [&] { rig.logic->RefreshDeviceDisplay(); });
        QCOMPARE(refresh.wait_for(50ms), std::future_status::timeout);
        QCOMPARE(rig.view.Text(ControlId::StatusLabel), SelectDevice);
        QTRY_COMPARE(refresh.wait_for(0ms), std::future_status::ready);
        QCOMPARE(rig.view.Text(ControlId::StatusLabel), ConnectEsc);
        QCOMPARE(rig.view.CallsFromOtherThreads(), 0);

        rig.logic->Teardown();
        rig.view.ClearCalls();
        rig.State().connectionState = ConnectionState::Device;
        auto late = std::async(std::launch::async, [&] { rig.logic->RefreshDeviceDisplay(); });
        QCOMPARE(late.wait_for(5s), std::future_status::ready);
        QCoreApplication::processEvents();
        QCOMPARE(rig.view.Calls(), QStringList());
    }

    // ---- The Device menu ----

    void chosenDeviceAgainChangesNothing_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QStringList>("found");
        QTest::newRow("ESC") << int(DeviceMode::Esc) << ZetaRunning;
        QTest::newRow("Program Card") << int(DeviceMode::ProgramCard) << CardRunning;
    }

    void chosenDeviceAgainChangesNothing() {
        QFETCH(int, mode);
        QFETCH(QStringList, found);
        Rig rig(catalogue.Directory());
        QVERIFY(rig.StartWithoutMonitor());
        QVERIFY(rig.Identified(static_cast<DeviceMode>(mode), found));
        rig.view.ClearCalls();
        const QStringList before = Shown(rig.view);

        rig.logic->OnCommand(CommandFor(static_cast<DeviceMode>(mode)));

        QCOMPARE(rig.view.Calls(), QStringList());
        QCOMPARE(Shown(rig.view), before);
        QVERIFY(rig.State().IsPortOpen());
        QCOMPARE(rig.State().connectionState.load(), ConnectionState::Device);
        QCOMPARE(rig.State().deviceMode.load(), static_cast<DeviceMode>(mode));
    }

    // From an identified device with a model picked by hand, to the other
    // device: both devices' rows show their inactive looks, the lists keep
    // their items but lose their selections, and the port is closed.
    void switchingDeviceResetsBothRows_data() {
        QTest::addColumn<int>("from");
        QTest::addColumn<QStringList>("found");
        QTest::addColumn<int>("to");
        QTest::addColumn<QString>("status");
        QTest::newRow("identified Program Card to ESC")
            << int(DeviceMode::ProgramCard) << CardRunning << int(DeviceMode::Esc) << ConnectEsc;
        QTest::newRow("identified ESC to Program Card")
            << int(DeviceMode::Esc) << ZetaRunning << int(DeviceMode::ProgramCard) << ConnectCard;
    }

    void switchingDeviceResetsBothRows() {
        QFETCH(int, from);
        QFETCH(QStringList, found);
        QFETCH(int, to);
        QFETCH(QString, status);
        Rig rig(catalogue.Directory());
        QVERIFY(rig.StartWithoutMonitor());
        QVERIFY(rig.Identified(static_cast<DeviceMode>(from), found));
        rig.view.SetCurrentSelection(ControlId::EscModelCombo, 1);
        rig.logic->OnCommand(ControlId::EscModelSelectButton);
        QVERIFY(rig.logic->EscModelChosen());
        const QStringList before = Shown(rig.view);

        rig.logic->OnCommand(CommandFor(static_cast<DeviceMode>(to)));

        QCOMPARE(Shown(rig.view),
                 With(before, CardRowReset + EscRowsReset + QStringList{"status=" + status}));
        QVERIFY(Shown(rig.view).contains("cardItems=" + CardFiles.join('|')));
        QVERIFY(Shown(rig.view).contains("modelItems=" + EscModels.join('|')));
        QVERIFY(!rig.State().IsPortOpen());
        QCOMPARE(rig.State().connectionState.load(), ConnectionState::NoLink);
        QCOMPARE(rig.State().deviceMode.load(), static_cast<DeviceMode>(to));
        QVERIFY(!rig.logic->EscModelChosen());
        const bool toEsc = static_cast<DeviceMode>(to) == DeviceMode::Esc;
        QCOMPARE(rig.view.MenuChecked(CommandId::DeviceEsc), toEsc);
        QCOMPARE(rig.view.MenuChecked(CommandId::DeviceProgramCard), !toEsc);
    }

    // Fix Mode closes the port and restarts the link in every mode; before a
    // device is chosen it changes nothing else on screen.
    void fixModeRestartsTheLink_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QStringList>("found");
        QTest::addColumn<QStringList>("changes");
        QTest::newRow("no device chosen") << 0 << ZetaRunning << QStringList();
        QTest::newRow("ESC identified")
            << 1 << ZetaRunning << EscRowsReset + QStringList{"status=" + ConnectEsc};
        QTest::newRow("Program Card identified")
            << 2 << CardRunning << CardRowReset + QStringList{"status=" + ConnectCard};
    }

    void fixModeRestartsTheLink() {
        QFETCH(int, mode);
        QFETCH(QStringList, found);
        QFETCH(QStringList, changes);
        Rig rig(catalogue.Directory());
        QVERIFY(rig.StartWithoutMonitor());
        const auto deviceMode = static_cast<DeviceMode>(mode);
        if (deviceMode == DeviceMode::None) {
            QVERIFY(rig.State().DiscoverLink(rig.ports));
        } else {
            QVERIFY(rig.Identified(deviceMode, found));
        }
        rig.view.ClearCalls();
        const QStringList before = Shown(rig.view);

        rig.logic->OnCommand(CommandId::DeviceFixMode);

        QCOMPARE(Shown(rig.view), With(before, changes));
        if (deviceMode == DeviceMode::None) {
            QCOMPARE(rig.view.Calls(), QStringList{"check:32776:1"});
            QCOMPARE(rig.view.Text(ControlId::StatusLabel), SelectDevice);
        }
        QCOMPARE(rig.view.Calls().last(), QStringLiteral("check:32776:1"));
        QCOMPARE(rig.State().fixMode.load(), 1);
        QCOMPARE(rig.State().deviceMode.load(), deviceMode);
        QCOMPARE(rig.State().connectionState.load(), ConnectionState::NoLink);
        QVERIFY(!rig.State().IsPortOpen());

        rig.logic->OnCommand(CommandId::DeviceFixMode);
        QCOMPARE(rig.State().fixMode.load(), 0);
        QVERIFY(!rig.view.MenuChecked(CommandId::DeviceFixMode));
    }

    void checkMarksMirrorTheModes_data() {
        QTest::addColumn<QList<int>>("commands");
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("fixMode");
        const int esc = CommandId::DeviceEsc;
        const int card = CommandId::DeviceProgramCard;
        const int fix = CommandId::DeviceFixMode;
        QTest::newRow("nothing chosen") << QList<int>{} << 0 << 0;
        QTest::newRow("ESC") << QList<int>{esc} << 1 << 0;
        QTest::newRow("Program Card") << QList<int>{card} << 2 << 0;
        QTest::newRow("ESC, Program Card") << QList<int>{esc, card} << 2 << 0;
        QTest::newRow("Program Card, ESC") << QList<int>{card, esc} << 1 << 0;
        QTest::newRow("ESC twice") << QList<int>{esc, esc} << 1 << 0;
        QTest::newRow("Fix Mode") << QList<int>{fix} << 0 << 1;
        QTest::newRow("Fix Mode twice") << QList<int>{fix, fix} << 0 << 0;
        QTest::newRow("ESC, Fix Mode, Program Card") << QList<int>{esc, fix, card} << 2 << 1;
        QTest::newRow("Fix Mode, Program Card, ESC, Fix Mode") << QList<int>{fix, card, esc, fix} << 1 << 0;
    }

    void checkMarksMirrorTheModes() {
        QFETCH(QList<int>, commands);
        QFETCH(int, mode);
        QFETCH(int, fixMode);
        Rig rig(catalogue.Directory());
        for (int command : commands) {
            rig.logic->OnCommand(command);
        }
        QCOMPARE(static_cast<int>(rig.State().deviceMode.load()), mode);
        QCOMPARE(rig.State().fixMode.load(), fixMode);
        QCOMPARE(rig.view.MenuChecked(CommandId::DeviceEsc), mode == 1);
        QCOMPARE(rig.view.MenuChecked(CommandId::DeviceProgramCard), mode == 2);
        QCOMPARE(rig.view.MenuChecked(CommandId::DeviceFixMode), fixMode == 1);
    }

    // ---- The three buttons ----

    // Models that differ, so a warning would show if the ESC Save button
    // went past its mode check; nothing selected in the model list.
    void buttonsThatDoNothing_data() {
        QTest::addColumn<int>("button");
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("updateIdle");
        QTest::newRow("Program Card Save, no device chosen") << ControlId::ProgramCardSaveButton << 0 << 1;
        QTest::newRow("Program Card Save in ESC mode") << ControlId::ProgramCardSaveButton << 1 << 1;
        QTest::newRow("Program Card Save while an update runs") << ControlId::ProgramCardSaveButton << 2 << 0;
        QTest::newRow("ESC Save, no device chosen") << ControlId::EscFirmwareSaveButton << 0 << 1;
        QTest::newRow("ESC Save in Program Card mode") << ControlId::EscFirmwareSaveButton << 2 << 1;
        QTest::newRow("ESC model Select without a chosen model") << ControlId::EscModelSelectButton << 1 << 1;
    }

    void buttonsThatDoNothing() {
        QFETCH(int, button);
        QFETCH(int, mode);
        QFETCH(int, updateIdle);
        Rig rig(catalogue.Directory());
        rig.view.SetItems(ControlId::EscModelCombo, EscModels);
        rig.State().deviceMode = static_cast<DeviceMode>(mode);
        rig.State().connectionState = ConnectionState::Device;
        rig.State().WriteIdentification(
            ToIdentification(Found("Alpha 60", "Zeta 120", "Zeta FW 2.0", "Zeta_20")));
        rig.State().updateIdle = updateIdle;

        // A started worker takes updateIdle to 0 before the press returns, but
        // with no transfer to run it may give it back before the test looks;
        // a few presses make a start that slipped through show.
        for (int press = 0; press < 10; ++press) {
            rig.logic->OnCommand(button);
            QCOMPARE(rig.State().updateIdle.load(), updateIdle);
        }
        QCOMPARE(rig.view.Calls(), QStringList());
        QVERIFY(rig.view.Boxes().empty());
    }

    // The warning compares the two identification results exactly; without
    // a Yes nothing starts. The ESC need not be connected for it.
    void escSaveWarnsWhenModelsDiffer_data() {
        QTest::addColumn<QString>("hardwareModel");
        QTest::addColumn<QString>("firmwareModel");
        QTest::addColumn<int>("updateIdle");
        QTest::addColumn<MessageAnswer>("answer");
        QTest::addColumn<bool>("warned");
        QTest::addColumn<bool>("starts");
        QTest::newRow("differ only in case, Yes") << "Zeta 120"
                                                  << "zeta 120" << 1 << MessageAnswer::Yes << true << true;
        QTest::newRow("differ, No") << "Alpha 60"
                                    << "Zeta 120" << 1 << MessageAnswer::No << true << false;
        QTest::newRow("differ, window closed while asking")
            << "Alpha 60"
            << "Zeta 120" << 1 << MessageAnswer::Cancelled << true << false;
        QTest::newRow("differ, Yes while an update runs")
            << "Alpha 60"
            << "Zeta 120" << 0 << MessageAnswer::Yes << true << false;
        QTest::newRow("same model") << "Zeta 120"
                                    << "Zeta 120" << 1 << MessageAnswer::No << false << true;
        QTest::newRow("hardware model empty") << ""
                                              << "Zeta 120" << 1 << MessageAnswer::No << false << true;
        QTest::newRow("firmware model empty") << "Zeta 120"
                                              << "" << 1 << MessageAnswer::No << false << true;
        QTest::newRow("both empty") << ""
                                    << "" << 1 << MessageAnswer::No << false << true;
    }

    void escSaveWarnsWhenModelsDiffer() {
        QFETCH(QString, hardwareModel);
        QFETCH(QString, firmwareModel);
        QFETCH(int, updateIdle);
        QFETCH(MessageAnswer, answer);
        QFETCH(bool, warned);
        QFETCH(bool, starts);
        Rig rig(catalogue.Directory());
        rig.logic->OnCommand(CommandId::DeviceEsc);
        rig.State().WriteIdentification(
            ToIdentification(Found(hardwareModel, firmwareModel, "FW", "Zeta_20")));
        rig.State().updateIdle = updateIdle;
        rig.view.AnswerNextBox(answer);

        rig.logic->OnCommand(ControlId::EscFirmwareSaveButton);

        if (!starts) {
            QCOMPARE(rig.State().updateIdle.load(), updateIdle);
        }
        const auto boxes = rig.view.Boxes();
        QCOMPARE(boxes.size(), std::size_t{warned ? 1u : 0u});
        if (warned) {
            QCOMPARE(boxes[0].text, MismatchWarning);
            QCOMPARE(boxes[0].caption, QStringLiteral("Warning"));
            QCOMPARE(boxes[0].icon, MessageIcon::Warning);
            QCOMPARE(boxes[0].buttons, MessageButtons::YesNo);
        }
        // Until the protocols are plugged in a started worker ends at once and
        // gives updateIdle back; the teardown waits for it.
        rig.logic->Teardown();
        QCOMPARE(rig.State().updateIdle.load(), updateIdle);
    }

    // The Select button works in every mode and state: the model row becomes
    // active and the firmware list is filled, with the running file chosen.
    void escModelSelectFillsTheFirmwareList_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("state");
        QTest::newRow("no device chosen") << 0 << 0;
        QTest::newRow("ESC, no link") << 1 << 0;
        QTest::newRow("Program Card identified") << 2 << 2;
    }

    void escModelSelectFillsTheFirmwareList() {
        QFETCH(int, mode);
        QFETCH(int, state);
        Rig rig(catalogue.Directory());
        QVERIFY(rig.StartWithoutMonitor());
        rig.State().deviceMode = static_cast<DeviceMode>(mode);
        rig.State().connectionState = static_cast<ConnectionState>(state);
        rig.State().WriteIdentification(ToIdentification(Found("", "", "Card FW 1", "Alpha_11")));
        SeedEarlierLooks(rig.view, -1);
        rig.view.SetCurrentSelection(ControlId::EscModelCombo, 1); // the user's pick
        rig.view.ClearCalls();
        const QStringList before = Shown(rig.view);

        rig.logic->OnCommand(ControlId::EscModelSelectButton);

        QCOMPARE(Shown(rig.view),
                 With(before, {"modelPicture=142", "modelLabel=Alpha 60", "escItems=Alpha_10|Alpha_11",
                               "escSelected=1", "escField=Alpha_11"}));
        QVERIFY(rig.logic->EscModelChosen());
        QCOMPARE(rig.State().updateIdle.load(), 1);
    }

    // ---- With the monitor thread and the simulated ESC ----

    void monitorFollowsTheEscOnTheCable() {
        Rig rig(catalogue.Directory());
        QVERIFY(rig.logic->InitDialog());
        rig.logic->OnCommand(CommandId::DeviceEsc);
        const QStringList waiting = Shown(rig.view);
        QVERIFY(waiting.contains("status=" + ConnectEsc));

        QTRY_COMPARE_WITH_TIMEOUT(rig.view.Text(ControlId::StatusLabel), SelectEscFirmware, 5000);
        QCOMPARE(Shown(rig.view),
                 With(waiting, ZetaPreselected + QStringList{"status=" + SelectEscFirmware}));
        QVERIFY(rig.device.CommandCount(0xD7) > 0);
        QCOMPARE(rig.State().ReadIdentification().firmwareFileName, QStringLiteral("Zeta_20"));

        rig.simulator.HangUp();
        QTRY_COMPARE_WITH_TIMEOUT(rig.view.Text(ControlId::StatusLabel), ConnectEsc, 5000);
        QCOMPARE(Shown(rig.view), waiting);
        QVERIFY(!rig.logic->EscModelChosen());
        QCOMPARE(rig.view.CallsFromOtherThreads(), 0);

        rig.logic->Teardown();
        QVERIFY(!rig.logic->Monitor().HasThread());
    }

    // The window closes at various moments of the monitor's work; the
    // teardown must return at once, also while a refresh waits on the bridge
    // for a window thread that no longer handles events.
    void teardownNeverHangs_data() {
        QTest::addColumn<Moment>("moment");
        QTest::newRow("refresh waiting on the bridge") << Moment::RefreshWaiting;
        QTest::newRow("right after choosing ESC") << Moment::RightAfterChoosing;
        QTest::newRow("while the cable is found") << Moment::WhileCableFound;
        QTest::newRow("after identification") << Moment::AfterIdentification;
    }

    void teardownNeverHangs() {
        QFETCH(Moment, moment);
        Rig rig(catalogue.Directory());
        QVERIFY(rig.logic->InitDialog());
        rig.logic->OnCommand(CommandId::DeviceEsc);
        switch (moment) {
        case Moment::RefreshWaiting:
            // No events handled from here on. The monitor sets the state just
            // before it asks for the refresh.
            QVERIFY(WaitWithoutEvents(
                [&] { return rig.State().connectionState.load() == ConnectionState::Device; }, 5000ms));
            std::this_thread::sleep_for(50ms);
            break;
        case Moment::RightAfterChoosing:
            break;
        case Moment::WhileCableFound:
            QTest::qWait(100);
            break;
        case Moment::AfterIdentification:
            QTRY_COMPARE_WITH_TIMEOUT(rig.view.Text(ControlId::StatusLabel), SelectEscFirmware, 5000);
            break;
        }

        QElapsedTimer closing;
        closing.start();
        rig.logic->Teardown();
        QVERIFY2(closing.elapsed() < 3000, "the teardown hung");

        QVERIFY(!rig.logic->Monitor().HasThread());
        QVERIFY(!rig.State().IsPortOpen());
        QVERIFY(!rig.logic->Catalogue().IsOpen());
        // Work dropped at the teardown never runs later.
        QCoreApplication::processEvents();
        if (moment == Moment::RefreshWaiting) {
            QCOMPARE(rig.view.Text(ControlId::StatusLabel), ConnectEsc);
        }
        QCOMPARE(rig.view.CallsFromOtherThreads(), 0);
    }
};

QTEST_GUILESS_MAIN(TestDialogLogic)
#include "test_dialog_logic.moc"
