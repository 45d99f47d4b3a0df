#include "profile/TessaronDoc.h"

#include "framework/NumberText.h"
#include "framework/Prompter.h"
#include "framework/SettingsStore.h"
#include "framework/StringTable.h"

#include <algorithm>

namespace {

// Defaults of a new profile when the settings file does not say otherwise.
constexpr int kDefaultDacDigits = 16;
constexpr int kDefaultElements = 256;
constexpr const char* kDefaultAperture = "0.01";
constexpr const char* kDefaultMaxPhase = "8.0";
constexpr double kDefaultWaveLength = 7.8e-07;

// The bad-value list of CheckPhaseArray stops after this many entries.
constexpr int kMaxListedValues = 28;

} // namespace

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
    m_dAperture = store.GetNumber(settings::kSection, settings::kAperture, kDefaultAperture);
    m_strCorrectionPath.clear();
    // A DAC of 20 bits or an element count of -1 would make a document whose codes do not fit
    // the controller's words or whose data cannot exist; such settings count as absent.
    m_nDacDigits = store.GetIntInRange(settings::kSection, settings::kDacDigit, kDefaultDacDigits,
                                       limits::kMinDacDigits, limits::kMaxDacDigits);
    m_nElements = store.GetIntInRange(settings::kSection, settings::kElements, kDefaultElements,
                                      limits::kMinElements, limits::kMaxElements);
    m_dMaxPhase = store.GetNumber(settings::kSection, settings::kMaxPhase, kDefaultMaxPhase);
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
    if (!ComputeDacCodes(m_bUseCorrection != 0)) {
        return false;
    }
    // The controller is told the low 16 bits of the element count.
    return controller::PostSend(Context().controller, m_codes,
                                static_cast<std::uint16_t>(m_nElements & 0xFFFF));
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
    m_phase.resize(static_cast<std::size_t>(std::max(m_nElements, 0)), 0.0);
    // A table has one entry per level of the DAC; new digits need the table read again.
    if (digitsChanged && m_bUseCorrection && !LoadCorrectionTable()) {
        m_bUseCorrection = 0;
    }
    UpdateAllViews(nullptr, HINT_PARAMS);
    UpdateElementReadouts();
    SetModifiedFlag();
    return ApplyResult::Applied;
}
