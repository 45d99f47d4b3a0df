// The profile document: everything that describes one liquid-crystal modulator profile.
//
// It owns the geometry (elements, aperture), the DAC width, the phase window (maximum phase,
// low and high limit), the generation wizard's parameters and the profile data themselves:
// one phase per element, in parts of PI (2.0 is one period of 2*PI).
//
// The state is read through const accessors and changed only through the operations below,
// which carry the checks and messages of every caller (the editor, the command line tool).
#pragma once

#include "framework/ControllerHost.h"
#include "framework/Document.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class SettingsStore;

// Program-wide limits of a document, shared by the forms, the options and the tools.
namespace limits {
inline constexpr int kMinDacDigits = 10;
inline constexpr int kMaxDacDigits = 16;
inline constexpr int kMinElements = 1;
inline constexpr int kMaxElements = 512;
inline constexpr double kMinAperture = 0.0;
inline constexpr double kMaxAperture = 10.0;
inline constexpr double kMinMaxPhase = 0.0;
inline constexpr double kMaxMaxPhase = 100.0;
inline constexpr double kMinLimit = 0.0;
inline constexpr double kMaxLimit = 100.0;
// A limit given in DAC digits is a 16-bit code.
inline constexpr int kMinLimitCode = 0;
inline constexpr int kMaxLimitCode = 65535;
// The polynomial's coefficients a0..a3 lie in [-bound, bound].
inline constexpr std::array<double, 4> kCoeffBounds{63.0, 5.0, 0.1, 5e-05};

// The DAC digits and element count of a new document (profile or volt-phase table) from the
// settings. A DAC of 20 bits or an element count of -1 would make a document whose codes do
// not fit the controller's words or whose data cannot exist; such settings count as absent.
struct NewDocumentSize {
    std::int32_t dacDigits;
    std::int32_t elements;
};
NewDocumentSize NewDocumentSizeFrom(const SettingsStore& store);
} // namespace limits

// What a profile document asks of its views beyond OnUpdate.
class ProfileDocView : public DocumentView {
public:
    // Show the wizard page of the current creation mode and the jump options.
    virtual void RefreshWizardControls() = 0;
    // Refresh the "Distance to center" and "Current el" read-outs.
    virtual void RefreshElementReadouts() = 0;
    // Show the document's note (without it counting as an edit).
    virtual void SetNoteText(const std::string& note) = 0;
};

// The parameters that the editor's "&Apply" writes into the document.
struct ProfileParameters {
    int dacDigits = 16;
    int elements = 256;
    double aperture = 0.01;
    double maxPhase = 8.0;
    double lowLimit = 0.0;  // parts of PI
    double highLimit = 8.0; // parts of PI
    // While the correction table is used the limits are entered as DAC digits instead.
    bool limitsInDigits = false;
    int lowCode = 0;
    int highCode = 0;
};

class CTessaronDoc : public Document {
public:
    // Creation modes of the generation wizard.
    enum { MODE_DIOPTERS = 0, MODE_POLYNOMIAL = 1 };

    explicit CTessaronDoc(AppContext& context);

    // Document overrides.
    bool OnNewDocument() override;
    bool OnOpenDocument(const std::string& path) override;
    void Serialize(Archive& ar) override;
    // The save prompt, then the send guard: the window stays open while a send runs.
    bool CanCloseFrame() override;

    // The state. Flags are 32-bit values as stored in the file: 0 is off, anything else on.
    std::int32_t CreationMode() const { return m_nCreationMode; }
    std::int32_t UseCorrection() const { return m_bUseCorrection; }
    double Aperture() const { return m_dAperture; } // metres
    const std::string& CorrectionPath() const { return m_strCorrectionPath; }
    std::int32_t DacDigits() const { return m_nDacDigits; }
    std::int32_t Elements() const { return m_nElements; }
    double MaxPhase() const { return m_dMaxPhase; }
    std::int32_t LimitJumps() const { return m_bLimitJumps; }
    std::int32_t MinVoltage() const { return m_bMinVoltage; }
    std::int32_t MaxJumps() const { return m_nMaxJumps; }
    // One value per element in parts of PI; a loaded file may hold another count.
    const std::vector<double>& Phase() const { return m_phase; }
    // The codes of the last ComputeDacCodes: two per value.
    const std::vector<std::uint16_t>& Codes() const { return m_codes; }
    // The loaded correction table; used only while UseCorrection() is on.
    const std::vector<std::uint16_t>& Correction() const { return m_correction; }
    const std::string& Note() const { return m_strNote; }
    double LowLimit() const { return m_dLowLimit; }
    double HighLimit() const { return m_dHighLimit; }
    double Diopters() const { return m_dDiopters; }
    double WaveLength() const { return m_dWaveLength; } // metres
    const std::array<double, 4>& Coeff() const { return m_dCoeff; }
    std::int32_t UseAperture() const { return m_bUseAperture; }
    // The spin steps of the wizard pages, valid after the first generation of their mode.
    bool DioptersStepValid() const { return m_bDioptersStepValid; }
    double DioptersStep() const { return m_dDioptersStep; }
    bool CoeffStepValid() const { return m_bCoeffStepValid; }
    const std::array<double, 4>& CoeffStep() const { return m_dCoeffStep; }

    // The wizard's settings, taken for the next generation. They do not mark the document
    // modified and leave the views' fields alone (the generation updates both).
    // The creation mode: every view shows the wizard page of the mode. False, and nothing
    // changes, for a mode other than MODE_DIOPTERS and MODE_POLYNOMIAL.
    bool SetCreationMode(int mode);
    // The thin lens: optical power in diopters and wave length in metres, unchecked.
    void SetLensParameters(double diopters, double waveLength);
    // The polynomial's coefficients, each within limits::kCoeffBounds, and whether it runs
    // over metres (the aperture) instead of element steps. A coefficient out of its range
    // shows the range message; then nothing is taken and false is returned.
    bool SetPolynomialParameters(const std::array<double, 4>& coeff, bool useAperture);
    // "Max. jumping" (with the number of periods, any integer) and "Try minimum voltage".
    void SetJumpOptions(bool limitJumps, int maxJumps, bool minVoltage);

    // The note, as typed in `sender` (which already shows it): every other view shows it and
    // the document is marked modified.
    void SetNote(const std::string& note, DocumentView* sender = nullptr);

    // One value of the data: it must lie in [0, maximum phase]; otherwise the data list's
    // message is shown and the value stays. A stored value marks the document modified. Every
    // view is updated (HINT_FULL) in any case. False for an index beyond the data.
    bool SetValue(std::size_t index, double value);
    // The same from the data list's entry: trailing blanks are dropped, an empty entry is 0,
    // the leading number counts ("1.5 mm" is 1.5); text that does not begin with a number,
    // "nan" and "inf" get the message. An entry equal to the value's ValueText keeps the
    // value unrounded and stores nothing.
    bool SetValueText(std::size_t index, std::string_view text);
    // A value as the data list shows it for editing: "%e" with a three-digit exponent.
    static std::string ValueText(double value);
    // All values at once, as an import: exactly Elements() values, all in [0, maximum
    // phase], or a message and nothing changes. Marks the document modified on success;
    // updates every view (HINT_PARAMS) in any case.
    bool SetValues(std::vector<double> values);

    // "Send": computes the DAC codes (through the correction table when it is used) and hands
    // a copy of them to the controller's worker. False when Send is unavailable or the codes
    // cannot be computed (that has been reported).
    bool OnSend();
    CommandState OnUpdateSend() const;
    // What a Send hands to the worker: the codes (through the correction table when it is
    // used) with the document's description for the record of loads. Nothing when the codes
    // cannot be computed (that has been reported).
    std::unique_ptr<ProfileTransfer> PrepareSend();
    // The parameters by the names of the listings and records: elements, dac_digits,
    // aperture, max_phase, low_limit, high_limit, creation_mode, diopters, wavelength, a0..a3,
    // use_aperture, limit_jumps, max_jumps, min_voltage, use_correction, correction_path, note.
    FieldList Parameters() const;

    // "Clear all data": asks first; on OK every value becomes 0.0 (the count stays).
    void OnClearData();

    // True when every value lies in [0, maxPhase]; otherwise shows the list of bad values.
    bool CheckPhaseArray(const double* values, int count, double maxPhase);

    void UpdateElementReadouts();
    void UpdateWizardControls();
    void UpdateNoteInViews(DocumentView* sender);

    // "&Apply" of the editor: checks every parameter against its range (in the form's order:
    // aperture, maximum phase, digits, elements, low and high limit; the range message of the
    // first bad one), then the present data against the new maximum phase, then the limits;
    // on success writes everything, resizes the data, updates the views and marks the
    // document modified. Nothing is written when a check fails.
    enum class ApplyResult {
        Applied,
        BadAperture,
        BadMaxPhase,
        BadDacDigits,
        BadElements,
        BadLowLimit,
        BadHighLimit,
        DataOutOfRange,
        BadLimits,
    };
    ApplyResult ApplyParameters(const ProfileParameters& params);

    // The correction table (see TessaronDocCodes.cpp). Each of these marks the document
    // modified and updates the views; a table that does not load has shown its message (218,
    // 219 or 212) and leaves the correction switched off.
    // "Use Correction Table": off; or on with the table of CorrectionPath() when that names a
    // file that loads, else with a table file the person chooses (cancel leaves it off).
    // Returns whether the correction is on.
    bool SetUseCorrection(bool use);
    // Switches the correction on with the table file `path`. Returns whether it loaded.
    bool UseCorrectionTable(const std::string& path);
    // "Browse": the table file `path` replaces the present one; the switch stays as it is
    // when it loads. Returns whether it loaded.
    bool SetCorrectionPath(const std::string& path);
    // Asks for a table file, then SetCorrectionPath; false when cancelled.
    bool BrowseCorrectionTable();

    // Fills Codes() with two codes per phase value. When the loaded table no longer matches
    // the DAC digits it is reloaded first; if that fails the correction is switched off and
    // false is returned (nothing to send or export then).
    bool ComputeDacCodes(bool useCorrection);
    // A limit given in digits (a table entry value) as a phase, through the loaded table.
    bool DigitsToPhase(int digits, double& phase) const;
    // The digits shown for a limit in parts of PI while the table is used: the entry of the
    // limit's level, kept inside the table for any loaded values; -1 when no table is loaded.
    int PhaseToDigits(double limit) const;

    // Import and export of the data as text files (see TessaronDocTransfer.cpp).
    enum class DataFormat { Phases, Codes, CorrectedCodes };
    // The editor's "&Import": asks for a file, then ImportFrom.
    void ImportData();
    // The editor's "&Export": asks for a file, then ExportTo.
    void ExportData();
    // Reads the data from a file of phases or of codes (not CorrectedCodes), then SetValues.
    bool ImportFrom(const std::string& path, DataFormat format);
    // Writes the phases or the codes to a file, replacing it atomically.
    bool ExportTo(const std::string& path, DataFormat format);

    // Generation (see TessaronDocGenerate.cpp). GenerateData returns whether data were made.
    bool GenerateData(bool computeSteps);
    double DistanceToCentre(int index) const;
    bool WrapPhase(bool firstElement, double& value, double& offset) const;
    static double DecimalStep(double value);

private:
    // Tests reach the fields directly, to set up states no operation makes (damaged files).
    friend struct DocTestAccess;

    bool ElementCountUsable() const;
    bool GenerateFromDiopters();
    bool GenerateFromPolynomial();
    template <typename F> void ForEachProfileView(F&& f);
    // Reads the table file m_strCorrectionPath into m_correction; shows 218, 219 or 212 and
    // returns false when it cannot (the entries read so far stay, unused).
    bool LoadCorrectionTable();
    // OnOpenDocument's step after loading: reloads the correction table when the profile uses
    // one; a failed reload switches the correction off and marks the document modified.
    void ReloadCorrectionAfterOpen();
    // Takes `path` as the table file and loads it; the correction is on exactly when it loaded.
    bool TakeCorrectionTable(const std::string& path);
    // The end of every change of the correction: modified, views updated with `hint`.
    void CorrectionChanged(int hint);

    // Fields, in their declared order.
    std::int32_t m_nCreationMode = 0;
    std::int32_t m_bUseCorrection = 0; // 32-bit boolean, as stored in the file
    double m_dAperture = 0.0;
    std::string m_strCorrectionPath;
    std::int32_t m_nDacDigits = 0;
    std::int32_t m_nElements = 0;
    double m_dMaxPhase = 0.0;
    std::int32_t m_bLimitJumps = 0;
    std::int32_t m_bMinVoltage = 0;
    std::int32_t m_nMaxJumps = 0;
    std::vector<double> m_phase;
    std::vector<std::uint16_t> m_codes;
    std::vector<std::uint16_t> m_correction;
    std::string m_strNote;
    double m_dLowLimit = 0.0;
    double m_dHighLimit = 0.0;
    double m_dDiopters = 0.0;
    double m_dWaveLength = 0.0;
    std::array<double, 4> m_dCoeff{};
    std::int32_t m_bUseAperture = 0;
    bool m_bDioptersStepValid = false;
    double m_dDioptersStep = 0.0;
    bool m_bCoeffStepValid = false;
    std::array<double, 4> m_dCoeffStep{};
};
