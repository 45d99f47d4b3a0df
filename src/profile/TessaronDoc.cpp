#include "profile/TessaronDoc.h"

#include "framework/FieldExchange.h"
#include "framework/NumberText.h"
#include "framework/Prompter.h"
#include "framework/SettingsStore.h"
#include "framework/StringTable.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

// The wave length of a new profile's lens.
constexpr double kDefaultWaveLength = 7.8e-07;

// The bad-value list of CheckPhaseArray stops after this many entries.
constexpr int kMaxListedValues = 28;

// White space as the C library's isspace() sees it in the "C" locale.
bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

} // namespace

limits::NewDocumentSize limits::NewDocumentSizeFrom(const SettingsStore& store) {
    return {store.GetIntInRange(settings::kSection, settings::kDacDigit, settings::kDefaultDacDigit,
                                kMinDacDigits, kMaxDacDigits),
            store.GetIntInRange(settings::kSection, settings::kElements, settings::kDefaultElements,
                                kMinElements, kMaxElements)};
}

CTessaronDoc::CTessaronDoc(AppContext& context) : Document(context) {}

template <typename F> void CTessaronDoc::ForEachProfileView(F&& f) {
    const auto views = Views();
    for (DocumentView* view : views) {
        if (auto* profileView = dynamic_cast<ProfileDocView*>(view)) {
            f(*profileView);
        }
    }
}

bool CTessaronDoc::OnNewDocument() {
    if (!Document::OnNewDocument()) {
        return false;
    }
    const SettingsStore& store = Settings();
    m_nCreationMode = MODE_DIOPTERS;
    m_bUseCorrection = 0;
    m_dAperture =
        store.GetNumber(settings::kSection, settings::kAperture, settings::kDefaultAperture);
    m_strCorrectionPath.clear();
    const limits::NewDocumentSize size = limits::NewDocumentSizeFrom(store);
    m_nDacDigits = size.dacDigits;
    m_nElements = size.elements;
    m_dMaxPhase =
        store.GetNumber(settings::kSection, settings::kMaxPhase, settings::kDefaultMaxPhase);
    m_bLimitJumps = 0;
    m_bMinVoltage = 0;
    m_nMaxJumps = 1;
    m_phase.assign(static_cast<std::size_t>(m_nElements), 0.0);
    m_codes.clear();
    m_correction.clear();
    m_strNote.clear();
    m_dLowLimit = 0.0;
    m_dHighLimit = m_dMaxPhase;
    m_dDiopters = 0.0;
    m_dWaveLength = kDefaultWaveLength;
    m_dCoeff = {0.0, 0.0, 0.0, 0.0};
    m_bUseAperture = 0;
    return true;
}

bool CTessaronDoc::OnOpenDocument(const std::string& path) {
    if (!Document::OnOpenDocument(path)) {
        return false;
    }
    ReloadCorrectionAfterOpen();
    return true;
}

bool CTessaronDoc::CanCloseFrame() {
    return Document::CanCloseFrame() &&
           controller::AllowsClose(Context().controller, GetPrompter());
}

bool CTessaronDoc::OnSend() {
    if (!OnUpdateSend().enabled) {
        return false;
    }
    return controller::PostSend(Context().controller, PrepareSend());
}

std::unique_ptr<ProfileTransfer> CTessaronDoc::PrepareSend() {
    if (!ComputeDacCodes(m_bUseCorrection != 0)) {
        return nullptr;
    }
    auto transfer = std::make_unique<ProfileTransfer>();
    transfer->codes = m_codes;
    // The controller is told the low 16 bits of the element count.
    transfer->elements = static_cast<std::uint16_t>(m_nElements & 0xFFFF);
    transfer->load = controller::Describe(*this, "profile", Parameters(),
                                          m_bUseCorrection != 0 ? m_strCorrectionPath : "");
    return transfer;
}

FieldList CTessaronDoc::Parameters() const {
    const auto flag = [](std::int32_t value) { return FieldValue(value != 0); };
    const auto integer = [](std::int32_t value) { return FieldValue(std::int64_t{value}); };
    return {
        {"elements", integer(m_nElements)},
        {"dac_digits", integer(m_nDacDigits)},
        {"aperture", m_dAperture},
        {"max_phase", m_dMaxPhase},
        {"low_limit", m_dLowLimit},
        {"high_limit", m_dHighLimit},
        {"creation_mode", integer(m_nCreationMode)},
        {"diopters", m_dDiopters},
        {"wavelength", m_dWaveLength},
        {"a0", m_dCoeff[0]},
        {"a1", m_dCoeff[1]},
        {"a2", m_dCoeff[2]},
        {"a3", m_dCoeff[3]},
        {"use_aperture", flag(m_bUseAperture)},
        {"limit_jumps", flag(m_bLimitJumps)},
        {"max_jumps", integer(m_nMaxJumps)},
        {"min_voltage", flag(m_bMinVoltage)},
        {"use_correction", flag(m_bUseCorrection)},
        {"correction_path", m_strCorrectionPath},
        {"note", m_strNote},
    };
}

CommandState CTessaronDoc::OnUpdateSend() const {
    return controller::SendState(Context().controller);
}

void CTessaronDoc::OnClearData() {
    if (GetPrompter().Message(IDS_CLEAR_CONFIRM, MB_OKCANCEL | MB_ICONQUESTION) != IDOK) {
        return;
    }
    std::fill(m_phase.begin(), m_phase.end(), 0.0);
    // The file no longer holds what the window shows: closing must ask before the cleared
    // data are thrown away.
    SetModifiedFlag();
    UpdateAllViews(nullptr, HINT_FULL);
}

bool CTessaronDoc::CheckPhaseArray(const double* values, int count, double maxPhase) {
    std::string message = LoadString(IDS_BAD_PHASES);
    const auto placeholder = message.find("%e");
    if (placeholder != std::string::npos) {
        message.replace(placeholder, 2, numtext::FormatExp(maxPhase, 6, 3));
    }
    int listed = 0;
    for (int i = 0; i < count; ++i) {
        const double value = values[i];
        // A value that does not compare (NaN) is as bad as one above the maximum.
        const bool bad = !(value <= maxPhase) || value < 0.0;
        if (!bad) {
            continue;
        }
        if (listed > 0) {
            message += ", \t";
            if (listed % 4 == 0) {
                message += '\n';
            }
        }
        message += numtext::FormatIndex(i) + ": " + numtext::FormatExp(value, 6, 3);
        ++listed;
        if (listed == kMaxListedValues) {
            message += "...";
            break;
        }
    }
    if (listed == 0) {
        return true;
    }
    GetPrompter().MessageBox(message, MB_OK | MB_ICONSTOP);
    return false;
}

void CTessaronDoc::UpdateElementReadouts() {
    ForEachProfileView([](ProfileDocView& view) { view.RefreshElementReadouts(); });
}

void CTessaronDoc::UpdateWizardControls() {
    ForEachProfileView([](ProfileDocView& view) { view.RefreshWizardControls(); });
}

void CTessaronDoc::UpdateNoteInViews(DocumentView* sender) {
    ForEachProfileView([&](ProfileDocView& view) {
        if (&view != sender) {
            view.SetNoteText(m_strNote);
        }
    });
}

CTessaronDoc::ApplyResult CTessaronDoc::ApplyParameters(const ProfileParameters& params) {
    using namespace limits;
    // The range of every field, in the form's order; the first one out of range is reported.
    const bool inDigits = params.limitsInDigits;
    const std::pair<std::string, ApplyResult> ranges[] = {
        {ddx::CheckDouble(params.aperture, kMinAperture, kMaxAperture).error,
         ApplyResult::BadAperture},
        {ddx::CheckDouble(params.maxPhase, kMinMaxPhase, kMaxMaxPhase).error,
         ApplyResult::BadMaxPhase},
        {ddx::CheckInt(params.dacDigits, kMinDacDigits, kMaxDacDigits).error,
         ApplyResult::BadDacDigits},
        {ddx::CheckInt(params.elements, kMinElements, kMaxElements).error,
         ApplyResult::BadElements},
        {inDigits ? ddx::CheckInt(params.lowCode, kMinLimitCode, kMaxLimitCode).error
                  : ddx::CheckDouble(params.lowLimit, kMinLimit, kMaxLimit).error,
         ApplyResult::BadLowLimit},
        {inDigits ? ddx::CheckInt(params.highCode, kMinLimitCode, kMaxLimitCode).error
                  : ddx::CheckDouble(params.highLimit, kMinLimit, kMaxLimit).error,
         ApplyResult::BadHighLimit}};
    for (const auto& [error, failure] : ranges) {
        if (!error.empty()) {
            GetPrompter().MessageBox(error, MB_OK);
            return failure;
        }
    }
    if (!CheckPhaseArray(m_phase.data(), static_cast<int>(m_phase.size()), params.maxPhase)) {
        return ApplyResult::DataOutOfRange;
    }
    double low = params.lowLimit;
    double high = params.highLimit;
    // While the correction table is used the limits are given in DAC digits.
    if (params.limitsInDigits &&
        !(DigitsToPhase(params.lowCode, low) && DigitsToPhase(params.highCode, high))) {
        GetPrompter().Message(IDS_LIMITS_TABLE, MB_OK);
        return ApplyResult::BadLimits;
    }
    if (!(low < high && high <= params.maxPhase)) {
        GetPrompter().Message(params.limitsInDigits ? IDS_LIMITS_DAC : IDS_LIMITS_PHASE, MB_OK);
        return ApplyResult::BadLimits;
    }
    const bool digitsChanged = params.dacDigits != m_nDacDigits;
    m_dLowLimit = low;
    m_dHighLimit = high;
    m_dAperture = params.aperture;
    m_dMaxPhase = params.maxPhase;
    m_nDacDigits = params.dacDigits;
    m_nElements = params.elements;
    m_phase.resize(static_cast<std::size_t>(m_nElements), 0.0);
    // A table has one entry per level of the DAC; new digits need the table read again.
    if (digitsChanged && m_bUseCorrection != 0 && !LoadCorrectionTable()) {
        m_bUseCorrection = 0;
    }
    UpdateAllViews(nullptr, HINT_PARAMS);
    UpdateElementReadouts();
    SetModifiedFlag();
    return ApplyResult::Applied;
}

bool CTessaronDoc::SetCreationMode(int mode) {
    if (mode != MODE_DIOPTERS && mode != MODE_POLYNOMIAL) {
        return false;
    }
    m_nCreationMode = mode;
    // Every view shows the page of the mode; the document is not modified by it.
    UpdateWizardControls();
    return true;
}

void CTessaronDoc::SetLensParameters(double diopters, double waveLength) {
    m_dDiopters = diopters;
    m_dWaveLength = waveLength;
}

bool CTessaronDoc::SetPolynomialParameters(const std::array<double, 4>& coeff, bool useAperture) {
    for (std::size_t j = 0; j < coeff.size(); ++j) {
        const double bound = limits::kCoeffBounds[j];
        const auto checked = ddx::CheckDouble(coeff[j], -bound, bound);
        if (!checked) {
            GetPrompter().MessageBox(checked.error, MB_OK);
            return false;
        }
    }
    m_dCoeff = coeff;
    m_bUseAperture = useAperture ? 1 : 0;
    return true;
}

void CTessaronDoc::SetJumpOptions(bool limitJumps, int maxJumps, bool minVoltage) {
    m_bLimitJumps = limitJumps ? 1 : 0;
    m_nMaxJumps = maxJumps;
    m_bMinVoltage = minVoltage ? 1 : 0;
}

void CTessaronDoc::SetNote(const std::string& note, DocumentView* sender) {
    m_strNote = note;
    UpdateNoteInViews(sender);
    SetModifiedFlag();
}

bool CTessaronDoc::SetValue(std::size_t index, double value) {
    bool stored = false;
    if (index < m_phase.size()) {
        if (value >= 0.0 && value <= m_dMaxPhase) {
            m_phase[index] = value + 0.0; // a "-0" is stored as 0
            SetModifiedFlag();
            stored = true;
        } else {
            GetPrompter().MessageBox(FormatMessage(LoadString(IDS_BAD_DATA_VALUE),
                                                   {numtext::FormatGeneral(m_dMaxPhase, 15)}),
                                     MB_OK);
        }
    }
    // Also after a refused value: every view shows the document's value again.
    UpdateAllViews(nullptr, HINT_FULL);
    return stored;
}

bool CTessaronDoc::SetValueText(std::size_t index, std::string_view text) {
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    // The data list shows a value rounded to seven digits; taking that text back unchanged
    // would silently round the stored value, so an untouched entry keeps it exactly.
    if (index >= m_phase.size() || text == ValueText(m_phase[index])) {
        UpdateAllViews(nullptr, HINT_FULL);
        return false;
    }
    // An entry that does not begin with a number goes to SetValue as a NaN, which it refuses
    // with the range message.
    const double value = text.empty() ? 0.0 : numtext::ScanDouble(text).value_or(NAN);
    return SetValue(index, value);
}

std::string CTessaronDoc::ValueText(double value) {
    return numtext::FormatExp(value, 6, 3);
}

bool CTessaronDoc::SetValues(std::vector<double> values) {
    bool taken = false;
    if (m_nElements < 0 || values.size() != static_cast<std::size_t>(m_nElements)) {
        GetPrompter().Message(IDS_ELEMENTS_INVALID, MB_OK | MB_ICONSTOP);
    } else if (CheckPhaseArray(values.data(), m_nElements, m_dMaxPhase)) {
        m_phase = std::move(values);
        SetModifiedFlag();
        taken = true;
    }
    UpdateAllViews(nullptr, HINT_PARAMS);
    return taken;
}
