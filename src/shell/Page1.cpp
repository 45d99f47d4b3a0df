#include "shell/Page1.h"

#include "comm/LC_Protocol.h"
#include "framework/Prompter.h"
#include "framework/SettingsStore.h"
#include "framework/StringTable.h"
#include "profile/TessaronDoc.h"
#include "ui/DialogUnits.h"
#include "ui/FormExchange.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QStyle>
#include <algorithm>
#include <filesystem>
#include <optional>
#include <string_view>
#include <utility>

namespace {

// The whole page in dialog units: the COM group has a row for the Device field, and the
// document group is wide enough for its long labels beside their fields.
constexpr int kPageWidth = 250;
constexpr int kPageHeight = 184;

// The height of a field, in dialog units.
constexpr int kFieldHeight = 12;

// The receive time-out the page accepts, in ms.
constexpr int kMinRxTimeout = 1, kMaxRxTimeout = 10000;

// The speed the page shows for a file without one: 9600 baud, while the link itself falls
// back to settings::kDefaultComSpeed (1200 baud) until the page has been confirmed once.
constexpr int kShownComSpeed = 3;

// The list items; an item's index is the stored setting. The speeds are the link's table.
const char* const kPorts[] = {"COM1 (/dev/ttyS0)", "COM2 (/dev/ttyS1)", "COM3 (/dev/ttyS2)",
                              "COM4 (/dev/ttyS3)"};
const char* const kDivisors[] = {"1", "2", "4", "8"};

QStringList SpeedItems() {
    QStringList items;
    for (int index = 0; const std::optional<int> baud = BaudFromIndex(index); ++index) {
        // The item of 14400 baud has always had a blank after the number.
        items << QString::number(*baud) + (*baud == 14400 ? " " : "");
    }
    return items;
}

// Less-than with digit runs compared as numbers: ttyUSB2 before ttyUSB10.
bool NaturalLess(const std::string& a, const std::string& b) {
    const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            std::size_t endA = i, endB = j;
            while (endA < a.size() && isDigit(a[endA])) {
                ++endA;
            }
            while (endB < b.size() && isDigit(b[endB])) {
                ++endB;
            }
            // Leading zeros aside, the longer run is the larger number.
            const auto runA = std::string_view(a).substr(i, endA - i);
            const auto runB = std::string_view(b).substr(j, endB - j);
            const auto trimA = runA.substr(std::min(runA.find_first_not_of('0'), runA.size()));
            const auto trimB = runB.substr(std::min(runB.find_first_not_of('0'), runB.size()));
            if (trimA.size() != trimB.size()) {
                return trimA.size() < trimB.size();
            }
            if (trimA != trimB) {
                return trimA < trimB;
            }
            i = endA;
            j = endB;
        } else {
            if (a[i] != b[j]) {
                return a[i] < b[j];
            }
            ++i;
            ++j;
        }
    }
    return a.size() - i < b.size() - j || (a.size() - i == b.size() - j && a < b);
}

// The entries of `folder` whose names start with one of `prefixes` (all entries for none)
// and that exist, following links; sorted naturally.
std::vector<std::string> ListDevices(const std::string& folder,
                                     std::initializer_list<std::string_view> prefixes) {
    namespace fs = std::filesystem;
    std::vector<std::string> found;
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        const std::string name = it->path().filename().string();
        const bool wanted = prefixes.size() == 0 ||
                            std::any_of(prefixes.begin(), prefixes.end(),
                                        [&](std::string_view p) { return name.starts_with(p); });
        std::error_code statError;
        const auto status = fs::status(it->path(), statError);
        if (wanted && !statError && fs::exists(status) && !fs::is_directory(status)) {
            found.push_back(it->path().string());
        }
    }
    std::sort(found.begin(), found.end(), NaturalLess);
    return found;
}

// The Device field: an editable list that looks for devices again each time it opens, so
// an adapter plugged in while the sheet is open shows up.
class DeviceComboBox : public QComboBox {
public:
    DeviceComboBox(std::function<void()> refresh, QWidget* parent)
        : QComboBox(parent), m_refresh(std::move(refresh)) {}

    void showPopup() override {
        m_refresh();
        QComboBox::showPopup();
    }

private:
    std::function<void()> m_refresh;
};

} // namespace

std::vector<std::string> FindSerialDevices(const SerialDeviceFolders& folders) {
    std::vector<std::string> devices = ListDevices(folders.byIdDir, {});
    const auto adapters = ListDevices(folders.devDir, {"ttyUSB", "ttyACM"});
    devices.insert(devices.end(), adapters.begin(), adapters.end());
    return devices;
}

CPage1::CPage1(SettingsStore& settings, Prompter& prompter, std::function<bool()> isLinkOpen,
               QWidget* parent)
    : FormView(kPageWidth, kPageHeight, parent), m_settings(settings), m_prompter(prompter),
      m_isLinkOpen(std::move(isLinkOpen)) {
    setWindowTitle(QStringLiteral("Common"));
    CreateControls();
}

void CPage1::CreateControls() {
    const DialogUnits units(font());
    const auto group = [&](const char* title, int x, int y, int width, int height) {
        units.Place(new QGroupBox(QString::fromLatin1(title), this), x, y, width, height);
    };
    const auto label = [&](const char* text, int x, int fieldY, int width) {
        units.Place(new QLabel(QString::fromLatin1(text), this), x,
                    fieldY + DialogUnits::kLabelDrop, width, DialogUnits::kLabelHeight);
    };
    const auto list = [&](const char* name, const QStringList& items, int x, int y, int width) {
        auto* combo = new QComboBox(this);
        combo->setObjectName(QString::fromLatin1(name));
        combo->addItems(items);
        units.Place(combo, x, y, width, kFieldHeight);
        connect(combo, &QComboBox::currentIndexChanged, this, &CPage1::OnChangeSetting);
        return combo;
    };
    const auto edit = [&](const char* name, bool digitsOnly, int x, int y, int width) {
        auto* field = new QLineEdit(this);
        field->setObjectName(QString::fromLatin1(name));
        if (digitsOnly) {
            field->setValidator(new QRegularExpressionValidator(
                QRegularExpression(QStringLiteral("[0-9]*")), field));
        }
        units.Place(field, x, y, width, kFieldHeight);
        connect(field, &QLineEdit::textChanged, this, &CPage1::OnChangeSetting);
        return field;
    };

    // Created in the order the Tab key visits them.
    group("COM-Port Settings", 7, 7, 188, 80);
    label("Port:", 14, 18, 74);
    const auto texts = [](const auto& table) {
        QStringList items;
        for (const char* item : table) {
            items << QString::fromLatin1(item);
        }
        return items;
    };
    m_comboPort = list("port", texts(kPorts), 90, 18, 98);

    label("Device:", 14, 32, 74);
    m_comboDevice = new DeviceComboBox([this] { FillDeviceList(); }, this);
    m_comboDevice->setObjectName(QStringLiteral("device"));
    m_comboDevice->setEditable(true);
    // Enter confirms the sheet; it does not add what was typed to the list.
    m_comboDevice->setInsertPolicy(QComboBox::NoInsert);
    units.Place(m_comboDevice, 90, 32, 98, kFieldHeight);
    connect(m_comboDevice, &QComboBox::currentTextChanged, this, &CPage1::OnChangeSetting);
    // A long path does not fit the field; its tip shows it whole.
    connect(m_comboDevice, &QComboBox::currentTextChanged, m_comboDevice, &QComboBox::setToolTip);

    label("Speed:", 14, 46, 74);
    m_comboSpeed = list("speed", SpeedItems(), 90, 46, 50);
    label("Receive timeout in ms:", 14, 60, 74);
    m_editRxTimeout = edit("rxTimeout", true, 90, 60, 50);

    // The text stands left of the box and starts where the labels above start; the
    // control is as wide as both.
    m_checkLog = new QCheckBox(QStringLiteral("Log protocol data to a file"), this);
    m_checkLog->setObjectName(QStringLiteral("log"));
    m_checkLog->setLayoutDirection(Qt::RightToLeft);
    const int boxAndText = m_checkLog->style()->pixelMetric(QStyle::PM_IndicatorWidth) +
                           m_checkLog->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing) +
                           m_checkLog->fontMetrics().horizontalAdvance(m_checkLog->text());
    const int margin = std::max(0, m_checkLog->sizeHint().width() - boxAndText);
    m_checkLog->setGeometry(units.ToPixelsX(14) - margin, units.ToPixelsY(74),
                            m_checkLog->sizeHint().width(), units.ToPixelsY(10));
    connect(m_checkLog, &QCheckBox::toggled, this, &CPage1::OnChangeSetting);

    group("Frequency divisors", 7, 89, 188, 30);
    label("Line:", 14, 101, 22);
    m_comboLine = list("freqLine", texts(kDivisors), 38, 101, 40);
    label("Frame:", 100, 101, 26);
    m_comboFrame = list("freqFrame", texts(kDivisors), 128, 101, 40);

    group("Default Document Settings", 7, 121, 236, 56);
    label("Digits in DAC:", 14, 135, 68);
    m_editDacDigits = edit("dacDigits", true, 84, 135, 26);
    label("Maximum phase (in parts pi):", 116, 135, 94);
    m_editMaxPhase = edit("maxPhase", false, 212, 135, 26);
    label("Number of Elements:", 14, 155, 68);
    m_editElements = edit("elements", true, 84, 155, 26);
    label("Aperture, m:", 116, 155, 94);
    m_editAperture = edit("aperture", false, 212, 155, 26);
}

void CPage1::showEvent(QShowEvent* event) {
    // The settings are read once, when the sheet first shows the page; coming back to the
    // page keeps what the user has typed.
    if (!m_bInitialized) {
        OnInitDialog();
    }
    QWidget::showEvent(event);
}

void CPage1::OnInitDialog() {
    using namespace settings;
    const SettingsStore& store = m_settings;
    // A list index outside its list would select nothing and be written back as -1, so
    // such a value shows the default instead.
    m_nPort = store.GetIntInRange(kSection, kComPort, kDefaultComPort, 0,
                                  static_cast<int>(std::size(kPorts)) - 1);
    m_nSpeed =
        store.GetIntInRange(kSection, kComSpeed, kShownComSpeed, 0, m_comboSpeed->count() - 1);
    m_nRxTimeout = store.GetInt(kSection, kRxTimeout, kDefaultRxTimeout);
    m_bLog = store.GetInt(kSection, kProtocolLog, kDefaultProtocolLog) != 0;
    m_nLine = store.GetIntInRange(kSection, kFreqLine, kDefaultFreqDivisor, 0,
                                  static_cast<int>(std::size(kDivisors)) - 1);
    m_nFrame = store.GetIntInRange(kSection, kFreqFrame, kDefaultFreqDivisor, 0,
                                   static_cast<int>(std::size(kDivisors)) - 1);
    m_nDacDigits = store.GetInt(kSection, kDacDigit, kDefaultDacDigit);
    m_nElements = store.GetInt(kSection, kElements, kDefaultElements);
    m_dAperture = store.GetNumber(kSection, kAperture, kDefaultAperture);
    m_dMaxPhase = store.GetNumber(kSection, kMaxPhase, kDefaultMaxPhase);
    m_strDevice = QString::fromStdString(store.GetString(kSection, kComDevice, "")).trimmed();

    m_bFilling = true;
    m_comboPort->setCurrentIndex(m_nPort);
    m_comboSpeed->setCurrentIndex(m_nSpeed);
    FormExchange::WriteInt(m_editRxTimeout, m_nRxTimeout);
    m_comboFrame->setCurrentIndex(m_nFrame);
    m_comboLine->setCurrentIndex(m_nLine);
    m_checkLog->setChecked(m_bLog);
    FormExchange::WriteDouble(m_editAperture, m_dAperture);
    FormExchange::WriteDouble(m_editMaxPhase, m_dMaxPhase);
    FormExchange::WriteInt(m_editDacDigits, m_nDacDigits);
    FormExchange::WriteInt(m_editElements, m_nElements);
    m_comboDevice->setEditText(m_strDevice);
    FillDeviceList();
    m_bFilling = false;
    m_bInitialized = true;
}

void CPage1::FillDeviceList() {
    const bool wasFilling = std::exchange(m_bFilling, true);
    const QString text = m_comboDevice->currentText();
    m_comboDevice->clear();
    for (const auto& device : FindSerialDevices(m_deviceFolders)) {
        m_comboDevice->addItem(QString::fromStdString(device));
    }
    // Choosing from the list never changes the text by itself; the field keeps what it had.
    m_comboDevice->setCurrentIndex(m_comboDevice->findText(text));
    m_comboDevice->setEditText(text);
    // Long by-id names are shown in full in the open list.
    QAbstractItemView* view = m_comboDevice->view();
    view->setMinimumWidth(std::max(m_comboDevice->width(), view->sizeHintForColumn(0) + 8));
    m_bFilling = wasFilling;
}

void CPage1::OnChangeSetting() {
    if (m_bFilling) {
        return;
    }
    SetModified(true);
    m_bChanged = true;
}

void CPage1::SetModified(bool modified) {
    if (m_bModified != modified) {
        m_bModified = modified;
        emit modifiedChanged(modified);
    }
}

bool CPage1::TakeFields() {
    // The fields are checked in this order, and the first bad one stops the rest.
    FormExchange dx(m_prompter);
    m_nPort = m_comboPort->currentIndex();
    m_nSpeed = m_comboSpeed->currentIndex();
    if (!dx.ReadInt(m_editRxTimeout, m_nRxTimeout, kMinRxTimeout, kMaxRxTimeout)) {
        return false;
    }
    m_nFrame = m_comboFrame->currentIndex();
    m_nLine = m_comboLine->currentIndex();
    m_bLog = m_checkLog->isChecked();
    // The defaults of new documents, within the limits of every document.
    if (!dx.ReadDouble(m_editAperture, m_dAperture, limits::kMinAperture, limits::kMaxAperture) ||
        !dx.ReadDouble(m_editMaxPhase, m_dMaxPhase, limits::kMinMaxPhase, limits::kMaxMaxPhase) ||
        !dx.ReadInt(m_editDacDigits, m_nDacDigits, limits::kMinDacDigits, limits::kMaxDacDigits) ||
        !dx.ReadInt(m_editElements, m_nElements, limits::kMinElements, limits::kMaxElements)) {
        return false;
    }
    m_strDevice = m_comboDevice->currentText().trimmed();
    return true;
}

bool CPage1::WriteSettings() {
    using namespace settings;
    // Every setting is written, changed or not; a write that fails does not stop the others.
    bool ok = true;
    ok &= m_settings.WriteInt(kSection, kComPort, m_nPort);
    ok &= m_settings.WriteInt(kSection, kFreqLine, m_nLine);
    ok &= m_settings.WriteInt(kSection, kFreqFrame, m_nFrame);
    ok &= m_settings.WriteInt(kSection, kDacDigit, m_nDacDigits);
    ok &= m_settings.WriteInt(kSection, kComSpeed, m_nSpeed);
    ok &= m_settings.WriteInt(kSection, kRxTimeout, m_nRxTimeout);
    ok &= m_settings.WriteInt(kSection, kElements, m_nElements);
    ok &= m_settings.WriteInt(kSection, kProtocolLog, m_bLog ? 1 : 0);
    ok &= m_settings.WriteNumber(kSection, kAperture, m_dAperture);
    ok &= m_settings.WriteNumber(kSection, kMaxPhase, m_dMaxPhase);
    ok &= m_settings.WriteString(kSection, kComDevice, m_strDevice.toStdString());
    return ok;
}

bool CPage1::OnKillActive() {
    return !m_bInitialized || TakeFields();
}

bool CPage1::OnOk() {
    // A page the sheet never showed has nothing of the user's to write.
    if (!m_bInitialized) {
        return true;
    }
    if (!TakeFields()) {
        return false;
    }
    if (!WriteSettings()) {
        // The sheet stays open: the settings were not saved, and the user should know.
        m_prompter.MessageBox(LoadString(IDS_CANT_OPEN_FILE) + "\n" + m_settings.Path(),
                              MB_OK | MB_ICONSTOP);
        return false;
    }
    if (m_bChanged && m_isLinkOpen && m_isLinkOpen()) {
        m_prompter.Message(IDS_CHANGES_AFTER_RECONNECT, MB_OK);
    }
    SetModified(false);
    return true;
}
