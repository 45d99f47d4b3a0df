// The "Common" options page: what it shows, how it checks fields and what it writes.
#include "shell/Page1.h"

#include "framework/SettingsStore.h"
#include "support/FakePrompter.h"
#include "support/TempDir.h"
#include "ui/FormExchange.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>

namespace {

namespace fs = std::filesystem;

class Page1Test : public ::testing::Test {
protected:
    Page1Test() : m_store(m_dir.File("tessaron.ini")) { fs::create_directories(ById()); }

    std::string Dev() const { return m_dir.File("dev"); }
    std::string ById() const { return Dev() + "/serial/by-id"; }
    std::string SettingsText() const { return TempDir::Read(m_store.Path()); }

    // A page behind another tab of a sheet, brought to the front when `show` says so; its
    // devices are looked for under the test's folder.
    CPage1& MakePage(const char* settings = nullptr, bool show = true) {
        if (settings != nullptr) {
            TempDir::Write(m_store.Path(), settings);
        }
        m_sheet = std::make_unique<QTabWidget>();
        m_sheet->addTab(new QWidget, "Toolbars");
        m_page = new CPage1(m_store, m_prompter, [this] { return m_linkOpen; });
        m_page->SetDeviceFolders({ById(), Dev()});
        m_sheet->addTab(m_page, m_page->windowTitle());
        m_sheet->show();
        EXPECT_TRUE(QTest::qWaitForWindowActive(m_sheet.get()));
        m_sheet->setCurrentIndex(show ? 1 : 0);
        return *m_page;
    }
    template <typename T = QWidget> T* Field(const char* name) {
        return m_page->findChild<T*>(name);
    }
    // Every field as the user sees it, top to bottom.
    QString Shown() {
        QStringList texts;
        for (const char* name : {"port", "device", "speed", "rxTimeout", "log", "freqLine",
                                 "freqFrame", "dacDigits", "maxPhase", "elements", "aperture"}) {
            auto* box = qobject_cast<QCheckBox*>(Field(name));
            texts << (box ? (box->isChecked() ? "on" : "off") : FormExchange::Text(Field(name)));
        }
        return texts.join('|');
    }

    TempDir m_dir;
    SettingsStore m_store;
    FakePrompter m_prompter;
    bool m_linkOpen = false;
    std::unique_ptr<QTabWidget> m_sheet;
    CPage1* m_page = nullptr;
};

TEST_F(Page1Test, ShowsTheSettingsOfTheFileOrTheDefaults) {
    const std::pair<const char*, QString> cases[] = {
        {"", "COM1 (/dev/ttyS0)||9600|5000|off|1|1|16|8|256|0.01"},
        {"[Settings]\nCOM_Port=3\nCOM_Speed=9\nCOM RxTimeout=250\nProtocol Log=5\nFreq Line=1\n"
         "Freq Frame=3\nDAC Digit=12\nNumber of elements=100\nAperture=0.123456789012345\n"
         "Max faze Pi=12.250000\nCOM_Device= /dev/ttyUSB7 \n",
         "COM4 (/dev/ttyS3)|/dev/ttyUSB7|115200|250|on|2|8|12|12.25|100|0.123456789012345"},
        // List indexes outside their lists show the default item; numbers show as they are,
        // to be checked when the page is confirmed; a fraction that is no number, its default.
        {"[Settings]\nCOM_Port=4\nCOM_Speed=-1\nFreq Line=9\nFreq Frame=-3\nCOM RxTimeout=0\n"
         "DAC Digit=40\nAperture=wide\nMax faze Pi=1e3\n",
         "COM1 (/dev/ttyS0)||9600|0|off|1|1|40|1000|256|0.01"},
        {"[Settings]\nCOM_Port=-1\nCOM_Speed=4\n",
         "COM1 (/dev/ttyS0)||14400 |5000|off|1|1|16|8|256|0.01"},
    };
    for (const auto& [file, shown] : cases) {
        EXPECT_TRUE(MakePage(file, false).OnOk());
        EXPECT_EQ(SettingsText(), file) << "a page never shown writes nothing";
        m_sheet->setCurrentIndex(1);
        EXPECT_EQ(Shown(), shown) << file;
        EXPECT_FALSE(m_page->IsModified());
    }
}

TEST_F(Page1Test, FirstBadFieldShowsItsMessageTakesTheFocusAndNothingIsWritten) {
    // Field and text, a field checked later and its bad text (not reported), the message.
    const std::tuple<const char*, const char*, const char*, const char*, const char*> cases[] = {
        {"rxTimeout", "0", "aperture", "11", "an integer between 1 and 10000"},
        {"aperture", "10.000001", "maxPhase", "-1", "a number between 0 and 10"},
        {"maxPhase", "100.5", "dacDigits", "9", "a number between 0 and 100"},
        {"dacDigits", "17", "elements", "0", "an integer between 10 and 16"},
        {"elements", "513", "elements", "513", "an integer between 1 and 512"},
    };
    const char* const before = "[Settings]\nCOM_Port=1\n";
    m_linkOpen = true;
    m_prompter.ExpectMessages();
    for (const auto& [field, text, later, laterText, message] : cases) {
        SCOPED_TRACE(field);
        m_prompter.shown.clear();
        MakePage(before);
        QTest::keyClick(Field("port"), Qt::Key_Down);
        FormExchange::SetText(Field(later), laterText);
        FormExchange::SetText(Field(field), text);
        m_sheet->setCurrentIndex(0);
        EXPECT_FALSE(m_page->OnOk());
        EXPECT_EQ(m_sheet->currentIndex(), 1) << "the bad field's tab comes to the front";
        ASSERT_EQ(m_prompter.shown.size(), 1u) << "no reconnect note after a bad field";
        EXPECT_EQ(m_prompter.shown[0].text, "Please enter " + std::string(message) + ".");
        EXPECT_TRUE(Field(field)->hasFocus());
        EXPECT_EQ(Field<QLineEdit>(field)->selectedText(), text) << "and keeps what was typed";
        EXPECT_EQ(SettingsText(), before);
        EXPECT_FALSE(m_page->OnKillActive()) << "leaving the page checks the same fields";
    }
}

TEST_F(Page1Test, ConfirmedPageWritesEverySettingChangedOrNot) {
    const std::string others = "[Recent File List]\nFile1=/tmp/a.lcp\n\n";
    MakePage((others + "[Settings]\nCOM_Speed=1\nUnknown=kept\n").c_str());
    // Typed as the user does: the integer fields drop what is not a digit.
    const std::pair<const char*, const char*> typed[] = {{"port", "COM4 (/dev/ttyS3)"},
                                                         {"speed", "115200"},
                                                         {"freqLine", "2"},
                                                         {"freqFrame", "4"},
                                                         {"rxTimeout", "1-0.000"},
                                                         {"dacDigits", "1e0"},
                                                         {"elements", "5,1 2"},
                                                         {"aperture", "0.5"},
                                                         {"maxPhase", "1e2"}};
    for (const auto& [name, text] : typed) {
        if (auto* edit = Field<QLineEdit>(name)) {
            edit->clear();
            QTest::keyClicks(edit, text);
        } else {
            FormExchange::SetText(Field(name), text); // the lists
        }
    }
    Field<QCheckBox>("log")->click();
    Field<QComboBox>("device")->setEditText("  /dev/pts/4 ");
    EXPECT_TRUE(m_page->OnOk());
    EXPECT_EQ(SettingsText(), others + "[Settings]\nCOM_Speed=9\nUnknown=kept\nCOM_Port=3\n"
                                       "Freq Line=1\nFreq Frame=2\nDAC Digit=10\n"
                                       "COM RxTimeout=10000\nNumber of elements=512\n"
                                       "Protocol Log=1\nAperture=0.500000\n"
                                       "Max faze Pi=100.000000\nCOM_Device=/dev/pts/4\n");

    fs::remove(m_store.Path());
    m_linkOpen = true; // nothing changed: no note (the prompter fails on any message)
    EXPECT_TRUE(MakePage().OnOk());
    EXPECT_EQ(SettingsText(), "[Settings]\nCOM_Port=0\nFreq Line=0\nFreq Frame=0\n"
                              "DAC Digit=16\nCOM_Speed=3\nCOM RxTimeout=5000\n"
                              "Number of elements=256\nProtocol Log=0\nAperture=0.010000\n"
                              "Max faze Pi=8.000000\nCOM_Device=\n");

    // A settings file that cannot be written is reported and keeps the sheet open.
    fs::remove(m_store.Path());
    fs::create_directory(m_store.Path());
    m_prompter.ExpectMessages();
    QTest::keyClick(Field("speed"), Qt::Key_Down);
    EXPECT_FALSE(m_page->OnOk());
    ASSERT_EQ(m_prompter.shown.size(), 1u) << "no reconnect note for settings not saved";
    EXPECT_EQ(m_prompter.shown[0].text, "Can't open a file\n" + m_store.Path());
    EXPECT_TRUE(m_page->IsModified());
}

TEST_F(Page1Test, ChangesMarkThePageModifiedAndNeedAReconnectWhileTheLinkIsOpen) {
    m_prompter.ExpectMessages();
    m_linkOpen = true;
    MakePage();
    QSignalSpy modified(m_page, &CPage1::modifiedChanged);
    const std::function<void()> changes[] = {
        [&] { QTest::keyClick(Field("freqFrame"), Qt::Key_End); },
        [&] { QTest::mouseClick(Field<QCheckBox>("log"), Qt::LeftButton); },
        [&] { QTest::keyClick(Field("elements"), Qt::Key_Backspace); },
        [&] { QTest::keyClicks(Field<QComboBox>("device")->lineEdit(), "/dev/x"); },
        nullptr, // a change stays one until the page closes: every later Apply repeats the note
    };
    for (const auto& change : changes) {
        if (change) {
            change();
        }
        EXPECT_EQ(m_page->IsModified(), static_cast<bool>(change));
        EXPECT_TRUE(m_page->OnApply());
        EXPECT_FALSE(m_page->IsModified());
    }
    EXPECT_EQ(modified.count(), 8);
    ASSERT_EQ(m_prompter.shown.size(), 5u);
    EXPECT_EQ(m_prompter.shown[4].text,
              "All changes are made up after reconnecting to a controller");
    EXPECT_EQ(m_prompter.shown[4].type, MB_OK);
    m_linkOpen = false;
    EXPECT_TRUE(m_page->OnApply());
    EXPECT_EQ(m_prompter.shown.size(), 5u) << "no note while the link is closed";
}

TEST_F(Page1Test, DeviceListOffersTheSerialDevicesThatExist) {
    for (const char* name : {"ttyUSB10", "ttyUSB2", "ttyACM0", "ttyS0", "tty1", "console"}) {
        TempDir::Write(Dev() + "/" + name, "");
    }
    fs::create_directory(Dev() + "/ttyUSB_folder");
    fs::create_symlink("../../ttyUSB10", ById() + "/usb-FTDI_FT232R_A1-if00-port0");
    fs::create_symlink("../../ttyUSB9", ById() + "/usb-gone-if00-port0");
    auto* device = MakePage("[Settings]\nCOM_Device=/dev/pts/3\n").findChild<QComboBox*>("device");
    // A device plugged in later shows up when the list is opened; the text stays.
    TempDir::Write(Dev() + "/ttyACM1", "");
    device->showPopup();
    device->hidePopup();
    QStringList items{device->currentText()};
    for (int i = 0; i < device->count(); ++i) {
        items << device->itemText(i).remove(QString::fromStdString(Dev()));
    }
    EXPECT_EQ(items.join(' '), "/dev/pts/3 /serial/by-id/usb-FTDI_FT232R_A1-if00-port0 /ttyACM0 "
                               "/ttyACM1 /ttyUSB2 /ttyUSB10");
    EXPECT_FALSE(m_page->IsModified());
    device->setCurrentIndex(3);
    EXPECT_TRUE(m_page->OnOk());
    EXPECT_EQ(m_store.GetString("Settings", "COM_Device", "?"), Dev() + "/ttyUSB2");
}

} // namespace
