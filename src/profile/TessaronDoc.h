// The profile document: everything that describes one liquid-crystal modulator profile.
//
// It owns the geometry (elements, aperture), the DAC width, the phase window (maximum phase,
// low and high limit), the generation wizard's parameters and the profile data themselves:
// one phase per element, in parts of PI (2.0 is one period of 2*PI).
#pragma once

#include "framework/ControllerHost.h"
#include "framework/Document.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

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

// The parameters that the editor's "&Apply" writes into the document, already read and
// range-checked field by field.
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

    // "Send": computes the DAC codes (through the correction table when it is used) and hands
    // a copy of them to the controller's worker. False when Send is unavailable or the codes
    // cannot be computed (that has been reported).
    bool OnSend();
    CommandState OnUpdateSend() const;

    // "Clear all data": asks first; on OK every value becomes 0.0 (the count stays).
    void OnClearData();

    // True when every value lies in [0, maxPhase]; otherwise shows the list of bad values.
    bool CheckPhaseArray(const double* values, int count, double maxPhase);

    void UpdateElementReadouts();
    void UpdateWizardControls();
    void UpdateNoteInViews(DocumentView* sender);

    // "&Apply" of the editor after its fields were read: checks the present data against the
    // new maximum phase, then the limits; on success writes everything, resizes the data,
    // updates the views and marks the document modified.
    enum class ApplyResult { Applied, DataOutOfRange, BadLimits };
    ApplyResult ApplyParameters(const ProfileParameters& params);

    // OnOpenDocument's step after loading: reloads the correction table when the profile uses
    // one; a failed reload switches the correction off and marks the document modified.
    void ReloadCorrectionAfterOpen();

    // Correction table and DAC codes (see TessaronDocCodes.cpp).
    // Reads the table file m_strCorrectionPath into m_correction; shows 218, 219 or 212 and
    // returns false when it cannot.
    bool LoadCorrectionTable();
    // Fills m_codes with two codes per phase value. When the loaded table no longer matches
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
    // Reads the data from a file of phases or of codes (not CorrectedCodes); on success
    // replaces m_phase and marks the document modified. Views are updated either way.
    bool ImportFrom(const std::string& path, DataFormat format);
    // Writes the phases or the codes to a file, replacing it atomically.
    bool ExportTo(const std::string& path, DataFormat format);

    // Generation (see TessaronDocGenerate.cpp). GenerateData returns whether data were made.
    bool GenerateData(bool computeSteps);
    bool GenerateFromDiopters();
    bool GenerateFromPolynomial();
    double DistanceToCentre(int index) const;
    bool WrapPhase(bool firstElement, double& value, double& offset) const;
    static double DecimalStep(double value);

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

private:
    bool ElementCountUsable() const;
    template <typename F> void ForEachProfileView(F&& f);
};
