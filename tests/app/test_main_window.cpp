#include "CZelvonarRirovaTARVOUSBLinkDlg.h"
#include "CatalogueFixture.h"
#include "ControlIds.h"
#include "DeviceSimulator.h"
#include "PortSource.h"
#include "SimulatedDevice.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QElapsedTimer>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using devicesim::SimulatedDevice;

namespace {

// Knows the simulated ESC: hardware 0x31 0x0A 0x02 0x01, software 1.2.0.5.
const QByteArray CatalogueRows = R"(
INSERT INTO DeviceList VALUES ('Window ESC A', 1, 1, 1, 1, 1, '1', 1);
INSERT INTO DeviceList VALUES ('Window ESC B', 1, 49, 10, 2, 1, '1', 1);
INSERT INTO DeviceList VALUES ('Window Card', 0, 80, 67, 1, 2, NULL, 1);
INSERT INTO FirmwareList VALUES ('ESC B 1.0', 'EscB_10', 'Window ESC B', 1, 2, 0, 4, 1);
INSERT INTO FirmwareList VALUES ('ESC B 1.2.0.5', 'EscB_1205', 'Window ESC B', 1, 2, 0, 5, 1);
INSERT INTO FirmwareList VALUES ('Card 1', 'Card_1', 'Window Card', 9, 9, 9, 9, 1);
INSERT INTO DBVerInfo VALUES (1, 2, 3, 4, 'window-test');
)";

template <typename Widget> Widget* Find(QWidget& dialog, const char* name) {
    return dialog.findChild<Widget*>(QString::fromLatin1(name));
}

// Presses the default button of the first message box that shows up.
void AnswerNextBox(QStringList& seen) {
    QTimer::singleShot(20, [&seen] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible()) {
                seen.append(box->windowTitle() + QStringLiteral("|") + box->text());
                box->accept();
                return;
            }
        }
        AnswerNextBox(seen);
    });
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

private slots:
    void init() { QVERIFY(catalogue.Write(CatalogueFixture::Schema + CatalogueRows)); }

    void startsWithTemplateTextsAndPrompts() {
        FixedPortSource ports;
        CZelvonarRirovaTARVOUSBLinkDlg dialog(ports, catalogue.Directory());
        QVERIFY(dialog.OnInitDialog());
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));

        QCOMPARE(dialog.windowTitle(), QStringLiteral("Zelvonar Zadere TARVO USB Zuda"));
        QCOMPARE(Find<QLabel>(dialog, "versionLabel")->text(), QStringLiteral("V3.1"));
        QCOMPARE(Find<QLabel>(dialog, "programCardStateLabel")->text(), QStringLiteral("Disconnected"));
        QCOMPARE(Find<QLabel>(dialog, "escModelLabel")->text(), QStringLiteral("None Selected"));
        QCOMPARE(Find<QLabel>(dialog, "escStateLabel")->text(), QStringLiteral("Disconnected"));
        QCOMPARE(Find<QLabel>(dialog, "statusLabel")->text(), QStringLiteral("Please select a device from the menu"));
        QCOMPARE(dialog.ShownPicture(ControlId::ProgramCardIndicator), 135);
        QCOMPARE(dialog.ShownPicture(ControlId::EscModelIndicator), 134);
        QCOMPARE(dialog.ShownPicture(ControlId::EscIndicator), 133);

        auto* cardList = Find<QComboBox>(dialog, "programCardFirmwareCombo");
        auto* modelList = Find<QComboBox>(dialog, "escModelCombo");
        auto* firmwareList = Find<QComboBox>(dialog, "escFirmwareCombo");
        QCOMPARE(cardList->currentText(), QStringLiteral("Select Program Card Firmware"));
        QCOMPARE(modelList->currentText(), QStringLiteral("Select ESC Model"));
        QCOMPARE(firmwareList->currentText(), QStringLiteral("Select ESC Firmware"));
        // Filled in catalogue order, nothing selected.
        QCOMPARE(modelList->count(), 2);
        QCOMPARE(modelList->itemText(0), QStringLiteral("Window ESC A"));
        QCOMPARE(modelList->currentIndex(), -1);
        QCOMPARE(cardList->count(), 1);
        QCOMPARE(cardList->currentIndex(), -1);

        QCOMPARE(dialog.Logic().State().catalogueVersion, QStringLiteral("window-test"));
        QCOMPARE(Find<QWidget>(dialog, "client")->size(), QSize(600, 505));
        QCOMPARE(Find<QPushButton>(dialog, "escFirmwareSaveButton")->geometry(), QRect(453, 312, 93, 33));
        QCOMPARE(Find<QLabel>(dialog, "statusLabel")->geometry(), QRect(63, 365, 465, 50));

        const std::pair<int, const char*> commands[] = {
            {CommandId::FileExit, "Exit"},           {CommandId::DeviceEsc, "ESC"},
            {CommandId::DeviceProgramCard, "Program Card"}, {CommandId::DeviceFixMode, "Fix Mode"},
            {CommandId::HelpAbout, "About"},
        };
        for (const auto& [id, text] : commands) {
            QAction* action = dialog.MenuAction(id);
            QVERIFY(action);
            QCOMPARE(action->text().remove(QLatin1Char('&')), QString::fromLatin1(text));
            QVERIFY(!action->isChecked());
        }

        QVERIFY(dialog.Logic().Monitor().HasThread());
        dialog.MenuAction(CommandId::FileExit)->trigger();
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QElapsedTimer teardown;
        teardown.start();
        dialog.Teardown();
        QVERIFY(!dialog.Logic().Monitor().HasThread());
        QVERIFY2(teardown.elapsed() < 1000, "the monitor took more than a pause to end");
    }

    void escapeAndTheCloseButtonEndTheModalRun_data() {
        QTest::addColumn<bool>("escape");
        QTest::newRow("Esc key") << true;
        QTest::newRow("close button") << false;
    }
    void escapeAndTheCloseButtonEndTheModalRun() {
        QFETCH(bool, escape);
        FixedPortSource ports;
        CZelvonarRirovaTARVOUSBLinkDlg dialog(ports, catalogue.Directory());
        QVERIFY(dialog.OnInitDialog());
        QTimer::singleShot(50, &dialog, [&dialog, escape] {
            if (escape) {
                QTest::keyClick(&dialog, Qt::Key_Escape);
            } else {
                dialog.close();
            }
        });
        QTimer::singleShot(5000, &dialog, [&dialog] { dialog.done(-1); }); // keeps a failure from hanging
        QCOMPARE(dialog.exec(), int(QDialog::Rejected));
        dialog.Teardown();
        QVERIFY(!dialog.Logic().Monitor().HasThread());
    }

    void missingCatalogueShowsOneBoxAndNoWindow() {
        QTemporaryDir empty;
        FixedPortSource ports;
        CZelvonarRirovaTARVOUSBLinkDlg dialog(ports, empty.path() + QLatin1Char('/'));
        QStringList boxes;
        AnswerNextBox(boxes);
        QVERIFY(!dialog.OnInitDialog());
        QCOMPARE(boxes, QStringList{QStringLiteral("Error|The database is lost, please reinstall the program!")});
        QVERIFY(!dialog.isVisible());
        QVERIFY(!dialog.Logic().Monitor().HasThread());
        QVERIFY(dialog.windowTitle().isEmpty());
        dialog.Teardown();
    }

    // A program installed deep in the folder tree finds its catalogue: the
    // whole path is used, never a cut one.
    void deepFolderFindsItsCatalogue() {
        QTemporaryDir root;
        QString deep = root.path();
        while (deep.size() < 320) {
            deep += QStringLiteral("/a-rather-long-folder-name");
        }
        QVERIFY(QDir().mkpath(deep));
        QVERIFY(QFile::copy(catalogue.CataloguePath(), deep + QStringLiteral("/ProductData.db")));
        FixedPortSource ports;
        CZelvonarRirovaTARVOUSBLinkDlg dialog(ports, deep + QLatin1Char('/'));
        QVERIFY(dialog.OnInitDialog());
        QCOMPARE(Find<QComboBox>(dialog, "escModelCombo")->count(), 2);
        dialog.Teardown();
    }

    // The whole road from the menu to an identified ESC and back, through the
    // real window and the simulator.
    void findsAndIdentifiesTheSimulatedEscAndNoticesThePull() {
        devicesim::DeviceSimulator simulator;
        SimulatedDevice esc(SimulatedDevice::Kind::Esc);
        simulator.SetResponder(esc.MakeResponder());
        FixedPortSource ports({simulator.PortEntry()});
        CZelvonarRirovaTARVOUSBLinkDlg dialog(ports, catalogue.Directory());
        QVERIFY(dialog.OnInitDialog());
        dialog.show();

        dialog.MenuAction(CommandId::DeviceEsc)->trigger();
        QVERIFY(dialog.MenuAction(CommandId::DeviceEsc)->isChecked());
        auto* status = Find<QLabel>(dialog, "statusLabel");
        QCOMPARE(status->text(), QStringLiteral("Please Connect to Program Card + ESC"));

        QTRY_COMPARE_WITH_TIMEOUT(status->text(), QStringLiteral("Please Select ESC Firmware"), 5000);
        QCOMPARE(Find<QComboBox>(dialog, "escModelCombo")->currentText(), QStringLiteral("Window ESC B"));
        QCOMPARE(Find<QLabel>(dialog, "escModelLabel")->text(), QStringLiteral("Window ESC B"));
        auto* firmware = Find<QComboBox>(dialog, "escFirmwareCombo");
        QCOMPARE(firmware->count(), 2);
        QCOMPARE(firmware->currentText(), QStringLiteral("EscB_1205"));
        QCOMPARE(Find<QLabel>(dialog, "escStateLabel")->text(), QStringLiteral("ESC B 1.2.0.5"));
        QCOMPARE(dialog.ShownPicture(ControlId::EscIndicator), 136);
        QCOMPARE(dialog.ShownPicture(ControlId::EscModelIndicator), 142);
        QCOMPARE(dialog.LabelTextColour(ControlId::EscStateLabel), QColor(1, 1, 0));
        QCOMPARE(dialog.LabelTextColour(ControlId::ProgramCardStateLabel), QColor(255, 242, 0));
        // For reviewing the look: ZUDA_SCREENSHOT_DIR=/some/folder keeps a picture.
        if (const QString folder = qEnvironmentVariable("ZUDA_SCREENSHOT_DIR"); !folder.isEmpty()) {
            dialog.grab().save(folder + QStringLiteral("/esc-identified.png"));
        }

        simulator.HangUp();
        QTRY_COMPARE_WITH_TIMEOUT(status->text(), QStringLiteral("Please Connect to Program Card + ESC"), 5000);
        QCOMPARE(Find<QLabel>(dialog, "escStateLabel")->text(), QStringLiteral("Disconnected"));
        QCOMPARE(firmware->count(), 0);
        QCOMPARE(firmware->currentText(), QStringLiteral("Select ESC Firmware"));

        dialog.done(QDialog::Accepted);
        dialog.Teardown();
    }

    // The window closes while the monitor keeps asking it for refreshes: the
    // teardown must not wait for the window that is gone.
    void closingWhileTheMonitorRefreshesNeverHangs() {
        devicesim::DeviceSimulator simulator;
        SimulatedDevice esc(SimulatedDevice::Kind::Esc);
        simulator.SetResponder(esc.MakeResponder());
        FixedPortSource ports({simulator.PortEntry()});
        for (int round = 0; round < 5; ++round) {
            CZelvonarRirovaTARVOUSBLinkDlg dialog(ports, catalogue.Directory());
            QVERIFY(dialog.OnInitDialog());
            dialog.show();
            dialog.MenuAction(CommandId::DeviceEsc)->trigger();
            // Flip the answer so that almost every cycle refreshes.
            for (int cycle = 0; cycle < 6; ++cycle) {
                esc.SetAnswer(0xD5, cycle % 2 ? std::optional<devicesim::Reply>() : devicesim::Reply{{0x26}, {}});
                QTest::qWait(40 + round * 10);
            }
            // No event processing from here on: a refresh the monitor asks
            // for now can only end through the shut bridge.
            dialog.done(QDialog::Accepted);
            QElapsedTimer teardown;
            teardown.start();
            dialog.Teardown();
            QVERIFY2(teardown.elapsed() < 3000, "teardown waited for the window");
        }
    }

private:
    CatalogueFixture catalogue;
};

QTEST_MAIN(TestMainWindow)
#include "test_main_window.moc"
