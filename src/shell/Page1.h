// The options page "Common" of the Customize sheet: every setting of the settings file, the
// serial link's (port, device, speed, receive time-out, protocol logging, frequency
// divisors) and the defaults of a new document (DAC digits, number of elements, aperture,
// maximum phase).
//
// The page reads the settings the first time it is shown and writes all of them when the
// sheet is confirmed with OK or Apply; a page that was never shown writes nothing. The link
// and new documents read the settings each time they need them, so what is written here
// takes effect at the next connect and the next new document.
#pragma once

#include "ui/FormView.h"

#include <functional>
#include <string>
#include <vector>

class Prompter;
class QCheckBox;
class QComboBox;
class QLineEdit;
class SettingsStore;

// Where the serial devices the page offers are looked for: every entry of `byIdDir` (the
// stable names udev makes for USB adapters), then the entries of `devDir` named ttyUSB* or
// ttyACM*. Tests point these at a folder of their own.
struct SerialDeviceFolders {
    std::string byIdDir = "/dev/serial/by-id";
    std::string devDir = "/dev";
};

// The paths of the devices found in `folders` that exist (a by-id link whose device has
// gone is left out), each group in natural order (ttyUSB2 before ttyUSB10).
std::vector<std::string> FindSerialDevices(const SerialDeviceFolders& folders);

class CPage1 : public FormView {
    Q_OBJECT

public:
    // `isLinkOpen` tells whether the link to the controller is open at the moment; an empty
    // function counts as a closed link.
    CPage1(SettingsStore& settings, Prompter& prompter, std::function<bool()> isLinkOpen,
           QWidget* parent = nullptr);

    // Where the Device list looks for devices; takes effect the next time the list is filled.
    void SetDeviceFolders(SerialDeviceFolders folders) { m_deviceFolders = std::move(folders); }

    // Run by the sheet for OK and for Apply: takes the fields over (the first bad field shows
    // its message, gets the focus and nothing is written), writes every setting and, when
    // something was changed while the link is open, says that the changes need a reconnect.
    // False keeps the sheet open.
    bool OnOk();
    bool OnApply() { return OnOk(); }
    // Run by the sheet before it leaves the page for another: only the checks of the fields.
    bool OnKillActive();

    // Whether the page has changes that Apply has not written yet (Apply is available).
    bool IsModified() const { return m_bModified; }

signals:
    // The page's modified state changed; the sheet enables Apply while any page is modified.
    void modifiedChanged(bool modified);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void CreateControls();
    void OnInitDialog();
    void FillDeviceList();
    bool TakeFields();
    bool WriteSettings();
    void OnChangeSetting();
    void SetModified(bool modified);

    SettingsStore& m_settings;
    Prompter& m_prompter;
    std::function<bool()> m_isLinkOpen;
    SerialDeviceFolders m_deviceFolders;

    // The settings as the page holds them, read when it is first shown; the controls show
    // them.
    int m_nPort = 0;
    int m_nSpeed = 0;
    int m_nRxTimeout = 0;
    int m_nFrame = 0;
    int m_nLine = 0;
    bool m_bLog = false;
    double m_dAperture = 0.0;
    double m_dMaxPhase = 0.0;
    int m_nDacDigits = 0;
    int m_nElements = 0;
    QString m_strDevice;

    // Set by any change the user makes; stays set for the life of the page, so every later
    // OK or Apply while the link is open repeats the reconnect note.
    bool m_bChanged = false;
    bool m_bModified = false;
    bool m_bInitialized = false;
    // Set while the page itself fills the controls, which is no change of the user's.
    bool m_bFilling = false;

    QComboBox* m_comboPort = nullptr;
    QComboBox* m_comboDevice = nullptr;
    QComboBox* m_comboSpeed = nullptr;
    QLineEdit* m_editRxTimeout = nullptr;
    QCheckBox* m_checkLog = nullptr;
    QComboBox* m_comboLine = nullptr;
    QComboBox* m_comboFrame = nullptr;
    QLineEdit* m_editDacDigits = nullptr;
    QLineEdit* m_editMaxPhase = nullptr;
    QLineEdit* m_editElements = nullptr;
    QLineEdit* m_editAperture = nullptr;
};
