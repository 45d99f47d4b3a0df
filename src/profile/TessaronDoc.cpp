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

// An integer setting outside the range the program works with would make a document that
// cannot be sent or stored sensibly (an element count of -1, a DAC of 20 bits whose codes
// no longer fit 16 bits); such a value is treated like a missing one.
int SettingInRange(const SettingsStore& settings, std::string_view key, int defaultValue, int low,
                   int high) {
    const int value = settings.GetInt(settings::kSection, key, defaultValue);
    return value >= low && value <= high ? value : defaultValue;
}

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
    m_nDacDigits = SettingInRange(store, settings::kDacDigit, kDefaultDacDigits,
                                  limits::kMinDacDigits, limits::kMaxDacDigits);
    m_nElements = SettingInRange(store, settings::kElements, kDefaultElements, limits::kMinElements,
                                 limits::kMaxElements);
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
    return Document::OnOpenDocument(path);
}

void CTessaronDoc::OnClearData() {
    if (GetPrompter().Message(IDS_CLEAR_CONFIRM, MB_OKCANCEL | MB_ICONQUESTION) != IDOK) {
        return;
    }
    std::fill(m_phase.begin(), m_phase.end(), 0.0);
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
    if (!(params.lowLimit < params.highLimit && params.highLimit <= params.maxPhase)) {
        GetPrompter().Message(IDS_LIMITS_PHASE, MB_OK);
        return ApplyResult::BadLimits;
    }
    m_dLowLimit = params.lowLimit;
    m_dHighLimit = params.highLimit;
    m_dAperture = params.aperture;
    m_dMaxPhase = params.maxPhase;
    m_nDacDigits = params.dacDigits;
    m_nElements = params.elements;
    m_phase.resize(static_cast<std::size_t>(std::max(m_nElements, 0)), 0.0);
    UpdateAllViews(nullptr, HINT_PARAMS);
    UpdateElementReadouts();
    SetModifiedFlag();
    return ApplyResult::Applied;
}
