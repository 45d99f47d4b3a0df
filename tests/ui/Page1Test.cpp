// The "Common" options page: what it shows, how it checks the fields and what it writes to
// the settings file.
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

    std::string ById() const { return m_dir.File("dev/serial/by-id"); }
    std::string Dev() const { return m_dir.File("dev"); }
    std::string SettingsText() const { return TempDir::Read(m_store.Path()); }

    // A page shown on its own, whose devices are looked for under the test's folder.
    CPage1& MakePage() {
        m_page = std::make_unique<CPage1>(m_store, m_prompter, [this] { return m_linkOpen; });
        m_page->SetDeviceFolders({ById(), Dev()});
        m_page->show();
        EXPECT_TRUE(QTest::qWaitForWindowActive(m_page.get()));
        return *m_page;
    }
    template <typename T = QWidget> T* Field(const char* name) const {
        T* field = m_page->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(field, nullptr) << name;
        return field;
    }
    // Every field as the user sees it, top to bottom.
    QString Shown() const {
        QStringList texts;
        for (const char* name : {"port", "device", "speed", "rxTimeout", "log", "freqLine",
                                 "freqFrame", "dacDigits", "maxPhase", "elements", "aperture"}) {
            auto* box = qobject_cast<QCheckBox*>(Field(name));
            texts << (box ? (box->isChecked() ? "on" : "off") : FormExchange::Text(Field(name)));
        }
        return texts.join('|');
    }
    // Types into a line edit as the user does: the old text is selected and replaced.
    void Type(const char* name, const QString& text) {
        Field<QLineEdit>(name)->selectAll();
        QTest::keyClicks(Field(name), text);
    }

    TempDir m_dir;
    SettingsStore m_store;
    FakePrompter m_prompter;
    bool m_linkOpen = false;
    std::unique_ptr<CPage1> m_page;
};

TEST_F(Page1Test, ShowsTheSettingsOfTheFileOrTheDefaults) {
    const std::pair<const char*, QString> cases[] = {
        {nullptr, "COM1 (/dev/ttyS0)||9600|5000|off|1|1|16|8|256|0.01"},
        {"[Settings]\nCOM_Port=2\nCOM_Speed=9\nCOM RxTimeout=250\nProtocol Log=5\nFreq Line=1\n"
         "Freq Frame=3\nDAC Digit=12\nNumber of elements=100\nAperture=0.500000\n"
         "Max faze Pi=12.250000\nCOM_Device= /dev/ttyUSB7 \n",
         "COM3 (/dev/ttyS2)|/dev/ttyUSB7|115200|250|on|2|8|12|12.25|100|0.5"},
        // List indexes outside their lists show the default item; numbers show as they are,
        // to be checked when the page is confirmed; a fraction that is no number, its default.
        {"[Settings]\nCOM_Port=4\nCOM_Speed=-1\nFreq Line=9\nFreq Frame=-3\nCOM RxTimeout=0\n"
         "DAC Digit=40\nAperture=wide\nMax faze Pi=1e3\n",
         "COM1 (/dev/ttyS0)||9600|0|off|1|1|40|1000|256|0.01"},
        {"[Settings]\nCOM_Port=-1\nCOM_Speed=4\n",
         "COM1 (/dev/ttyS0)||14400 |5000|off|1|1|16|8|256|0.01"},
    };
    for (const auto& [file, shown] : cases) {
        if (file != nullptr) {
            TempDir::Write(m_store.Path(), file);
        }
        EXPECT_EQ(MakePage().windowTitle(), "Common");
        EXPECT_EQ(Shown(), shown) << (file ? file : "no file");
        EXPECT_FALSE(m_page->IsModified());
    }
}

TEST_F(Page1Test, BadFieldShowsItsMessageTakesTheFocusAndNothingIsWritten) {
    const std::string timeout = "Please enter an integer between 1 and 10000.";
    const std::string digits = "Please enter an integer between 10 and 16.";
    const std::string aperture = "Please enter a number between 0 and 10.";
    const struct {
        std::vector<std::pair<const char*, const char*>> entered;
        const char* failing;
        std::string message;
    } cases[] = {
        {{{"rxTimeout", ""}}, "rxTimeout", "Please enter an integer."},
        {{{"rxTimeout", "10001"}}, "rxTimeout", timeout},
        {{{"aperture", "0,5"}}, "aperture", "Please enter a number."},
        {{{"aperture", "10.000001"}}, "aperture", aperture},
        {{{"maxPhase", "-0.1"}}, "maxPhase", "Please enter a number between 0 and 100."},
        {{{"dacDigits", "9"}}, "dacDigits", digits},
        {{{"elements", "513"}}, "elements", "Please enter an integer between 1 and 512."},
        // The fields are checked in a fixed order, and only the first bad one is reported.
        {{{"elements", ""}, {"rxTimeout", "0"}}, "rxTimeout", timeout},
        {{{"dacDigits", "1"}, {"maxPhase", "-1"}, {"aperture", "11"}}, "aperture", aperture},
        {{{"elements", "600"}, {"dacDigits", "8"}}, "dacDigits", digits},
    };
    const std::string before = "[Settings]\nCOM_Port=1\n";
    m_linkOpen = true;
    m_prompter.ExpectMessages();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.failing + std::string(" ") + c.message);
        TempDir::Write(m_store.Path(), before);
        m_prompter.shown.clear();
        MakePage();
        QTest::keyClick(Field("port"), Qt::Key_Down);
        for (const auto& [name, text] : c.entered) {
            FormExchange::SetText(Field(name), QString::fromLatin1(text));
        }
        EXPECT_FALSE(m_page->OnOk());
        ASSERT_EQ(m_prompter.shown.size(), 1u) << "no reconnect note after a bad field";
        EXPECT_EQ(m_prompter.shown[0].text, c.message);
        auto* failing = Field<QLineEdit>(c.failing);
        EXPECT_TRUE(failing->hasFocus());
        EXPECT_EQ(failing->selectedText(), failing->text());
        EXPECT_EQ(SettingsText(), before);
        EXPECT_FALSE(m_page->OnKillActive()) << "leaving the page checks the same fields";
    }
}

TEST_F(Page1Test, DigitFieldsTakeOnlyDigits) {
    MakePage();
    for (const char* name : {"rxTimeout", "dacDigits", "elements", "aperture"}) {
        Type(name, "1-2.e3");
    }
    EXPECT_EQ(Shown(), "COM1 (/dev/ttyS0)||9600|123|off|1|1|123|8|123|1-2.e3");
}

TEST_F(Page1Test, ConfirmedPageWritesEverySettingChangedOrNot) {
    const std::string others = "[Recent File List]\nFile1=/tmp/a.lcp\n\n";
    TempDir::Write(m_store.Path(), others + "[Settings]\nCOM_Speed=1\nUnknown=kept\n");
    MakePage();
    for (const auto& [name, index] :
         {std::pair{"port", 3}, {"speed", 9}, {"freqLine", 1}, {"freqFrame", 2}}) {
        Field<QComboBox>(name)->setCurrentIndex(index);
    }
    Field<QCheckBox>("log")->click();
    for (const auto& [name, text] : {std::pair{"rxTimeout", "10000"},
                                     {"dacDigits", "10"},
                                     {"elements", "512"},
                                     {"aperture", "0.5"},
                                     {"maxPhase", "100"}}) {
        Type(name, text);
    }
    Field<QComboBox>("device")->setEditText("  /dev/pts/4 ");
    EXPECT_TRUE(m_page->OnOk());
    EXPECT_EQ(SettingsText(), others + "[Settings]\nCOM_Speed=9\nUnknown=kept\nCOM_Port=3\n"
                                       "Freq Line=1\nFreq Frame=2\nDAC Digit=10\n"
                                       "COM RxTimeout=10000\nNumber of elements=512\n"
                                       "Protocol Log=1\nAperture=0.500000\n"
                                       "Max faze Pi=100.000000\nCOM_Device=/dev/pts/4\n");

    fs::remove(m_store.Path());
    m_linkOpen = true;
    EXPECT_TRUE(MakePage().OnOk());
    EXPECT_TRUE(m_prompter.shown.empty()) << "no reconnect note: nothing was changed";
    EXPECT_EQ(SettingsText(), "[Settings]\nCOM_Port=0\nFreq Line=0\nFreq Frame=0\n"
                              "DAC Digit=16\nCOM_Speed=3\nCOM RxTimeout=5000\n"
                              "Number of elements=256\nProtocol Log=0\nAperture=0.010000\n"
                              "Max faze Pi=8.000000\nCOM_Device=\n");
}

TEST_F(Page1Test, ReconnectNoteAtEveryApplyOfChangesWhileTheLinkIsOpen) {
    m_prompter.ExpectMessages();
    for (const auto& [change, linkOpen] : {std::pair{false, true}, {true, false}, {true, true}}) {
        SCOPED_TRACE(testing::Message() << "change " << change << ", link " << linkOpen);
        fs::remove(m_store.Path());
        m_prompter.shown.clear();
        m_linkOpen = linkOpen;
        MakePage();
        if (change) {
            QTest::keyClick(Field("speed"), Qt::Key_Down);
        }
        EXPECT_TRUE(m_page->OnApply());
        EXPECT_TRUE(m_page->OnApply());
        ASSERT_EQ(m_prompter.shown.size(), change && linkOpen ? 2u : 0u);
        for (const auto& shown : m_prompter.shown) {
            EXPECT_EQ(shown.text, "All changes are made up after reconnecting to a controller");
            EXPECT_EQ(shown.type, MB_OK);
        }
        EXPECT_EQ(m_store.GetInt("Settings", "COM_Speed", -1), change ? 4 : 3);
    }
}

TEST_F(Page1Test, UserChangesMarkThePageModifiedUntilApplied) {
    MakePage();
    QSignalSpy modified(m_page.get(), &CPage1::modifiedChanged);
    const std::function<void()> changes[] = {
        [&] { QTest::keyClick(Field("freqFrame"), Qt::Key_End); },
        [&] { QTest::mouseClick(Field<QCheckBox>("log"), Qt::LeftButton); },
        [&] { Type("elements", "12"); },
        [&] { QTest::keyClicks(Field<QComboBox>("device")->lineEdit(), "/dev/x"); },
    };
    for (const auto& change : changes) {
        change();
        EXPECT_TRUE(m_page->IsModified());
        EXPECT_TRUE(m_page->OnApply());
        EXPECT_FALSE(m_page->IsModified());
    }
    ASSERT_EQ(modified.count(), 8);
    EXPECT_TRUE(modified.first()[0].toBool());
}

TEST_F(Page1Test, FailedWriteIsReportedAndKeepsTheSheetOpen) {
    SettingsStore unwritable(m_dir.File("missing/folder/tessaron.ini"));
    m_prompter.ExpectMessages();
    CPage1 page(unwritable, m_prompter, [] { return true; });
    page.show();
    QTest::keyClick(page.findChild<QWidget*>("speed"), Qt::Key_Down);
    EXPECT_FALSE(page.OnOk());
    ASSERT_EQ(m_prompter.shown.size(), 1u) << "no reconnect note for settings not saved";
    EXPECT_EQ(m_prompter.shown[0].text, "Can't open a file\n" + unwritable.Path());
    EXPECT_TRUE(page.IsModified());
}

TEST_F(Page1Test, DeviceListOffersTheSerialDevicesThatExist) {
    for (const char* name : {"ttyUSB10", "ttyUSB2", "ttyACM0", "ttyS0", "tty1", "console"}) {
        TempDir::Write(Dev() + "/" + name, "");
    }
    fs::create_directory(Dev() + "/ttyUSB_folder");
    fs::create_symlink("../../ttyUSB10", ById() + "/usb-FTDI_FT232R_A1-if00-port0");
    fs::create_symlink("../../ttyUSB9", ById() + "/usb-gone-if00-port0");
    TempDir::Write(m_store.Path(), "[Settings]\nCOM_Device=/dev/pts/3\n");
    auto* device = MakePage().findChild<QComboBox*>("device");
    const auto items = [&] {
        QStringList list;
        for (int i = 0; i < device->count(); ++i) {
            list << device->itemText(i).remove(QString::fromStdString(Dev()));
        }
        return list.join(' ') + " / " + device->currentText(); // the settings' path stays
    };
    EXPECT_EQ(items(), "/serial/by-id/usb-FTDI_FT232R_A1-if00-port0 /ttyACM0 /ttyUSB2 /ttyUSB10 "
                       "/ /dev/pts/3");
    // A device plugged in later shows up when the list is opened.
    TempDir::Write(Dev() + "/ttyACM1", "");
    device->showPopup();
    device->hidePopup();
    EXPECT_EQ(items(), "/serial/by-id/usb-FTDI_FT232R_A1-if00-port0 /ttyACM0 /ttyACM1 /ttyUSB2 "
                       "/ttyUSB10 / /dev/pts/3");
    EXPECT_FALSE(m_page->IsModified());
    device->setCurrentIndex(3);
    EXPECT_TRUE(m_page->OnOk());
    EXPECT_EQ(m_store.GetString("Settings", "COM_Device", "?"), Dev() + "/ttyUSB2");
}

TEST_F(Page1Test, PageInASheetIsReadWhenItsTabIsFirstShown) {
    TempDir::Write(m_store.Path(), "[Settings]\nDAC Digit=14\n");
    QTabWidget sheet;
    sheet.addTab(new QWidget, "Toolbars");
    auto* page = new CPage1(m_store, m_prompter, {});
    sheet.addTab(page, page->windowTitle());
    sheet.show();
    EXPECT_TRUE(page->OnOk());
    EXPECT_EQ(SettingsText(), "[Settings]\nDAC Digit=14\n") << "never shown: nothing written";
    sheet.setCurrentWidget(page);
    auto* digits = page->findChild<QLineEdit*>("dacDigits");
    EXPECT_EQ(digits->text(), "14");
    digits->setText("99");
    sheet.setCurrentIndex(0);
    m_prompter.ExpectMessages();
    EXPECT_FALSE(page->OnOk());
    EXPECT_EQ(sheet.currentWidget(), page) << "the bad field's page comes to the front";
    EXPECT_EQ(m_prompter.shown.at(0).text, "Please enter an integer between 10 and 16.");
}

} // namespace
