#include "volt/LC_VoltDoc.h"

#include "framework/Archive.h"
#include "framework/FieldExchange.h"
#include "framework/Prompter.h"
#include "framework/SettingsStore.h"
#include "profile/DacCodes.h"
#include "profile/TessaronDoc.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr std::int32_t kFileVersion = 1;

// Writes a field that passed its checks; shows the message of one that did not.
template <typename T, typename U>
bool Exchange(Prompter& prompter, const ddx::Field<T>& field, U& target) {
    if (!field) {
        prompter.MessageBox(field.error, MB_OK);
        return false;
    }
    target = *field.value;
    return true;
}

} // namespace

CLC_VoltDoc::CLC_VoltDoc(AppContext& context) : Document(context) {}

bool CLC_VoltDoc::OnNewDocument() {
    if (!Document::OnNewDocument()) {
        return false;
    }
    const limits::NewDocumentSize size = limits::NewDocumentSizeFrom(Settings());
    m_nDacDigits = size.dacDigits;
    m_nElements = size.elements;
    m_strComment.clear();
    m_nSection = 1;
    m_nLevel1 = 0;
    m_nLevel0 = 0;
    m_dRefVoltage = 0.0;
    // A new document holds zeros until the first Apply builds the pattern.
    m_elementCodes.assign(static_cast<std::size_t>(m_nElements), 0);
    m_codes.clear();
    return true;
}

CLC_VoltDoc::ApplyResult CLC_VoltDoc::ApplyParameters(const VoltFormTexts& texts) {
    Prompter& prompter = GetPrompter();
    if (!Exchange(prompter,
                  ddx::ReadInt(texts.elements, limits::kMinElements, limits::kMaxElements),
                  m_nElements)) {
        return ApplyResult::BadElements;
    }
    if (!Exchange(prompter,
                  ddx::ReadInt(texts.dacDigits, limits::kMinDacDigits, limits::kMaxDacDigits),
                  m_nDacDigits)) {
        return ApplyResult::BadDacDigits;
    }
    // The later ranges depend on the values just written.
    if (!Exchange(prompter, ddx::ReadInt(texts.section, 1, m_nElements), m_nSection)) {
        return ApplyResult::BadSection;
    }
    const int maxLevel = static_cast<int>(daccodes::HalfRange(m_nDacDigits)) - 1;
    if (!Exchange(prompter, ddx::ReadInt(texts.level1, 0, maxLevel), m_nLevel1)) {
        return ApplyResult::BadLevel1;
    }
    if (!Exchange(prompter, ddx::ReadInt(texts.level0, 0, maxLevel), m_nLevel0)) {
        return ApplyResult::BadLevel0;
    }
    m_strComment = texts.comment;
    if (!Exchange(prompter, ddx::ReadDouble(texts.refVoltage), m_dRefVoltage)) {
        return ApplyResult::BadRefVoltage;
    }
    SetModifiedFlag();
    BuildPattern();
    UpdateAllViews(nullptr, HINT_FULL);
    return ApplyResult::Applied;
}

int CLC_VoltDoc::UsableElementCount() const {
    return std::clamp(m_nElements, 0, limits::kMaxElements);
}

void CLC_VoltDoc::BuildPattern() {
    const auto count = static_cast<std::size_t>(UsableElementCount());
    m_elementCodes.assign(count, 0);
    // 64-bit, so that twice a section length read from a file cannot overflow.
    const std::int64_t section = m_nSection;
    const auto level1 = static_cast<std::uint16_t>(m_nLevel1);
    const auto level0 = static_cast<std::uint16_t>(m_nLevel0);
    std::int64_t j = 0;
    for (std::size_t k = 0; k < count; ++k) {
        m_elementCodes[k] = j < section ? level1 : level0;
        if (++j == 2 * section) {
            j = 0;
        }
    }
}

void CLC_VoltDoc::BuildOutputCodes() {
    const auto count = static_cast<std::size_t>(UsableElementCount());
    // A loaded file may hold fewer codes than elements, and an Apply stopped by a range check
    // may have left a larger element count without rebuilding the pattern.
    std::vector<std::uint16_t> levels(count, 0);
    std::copy_n(m_elementCodes.begin(), std::min(count, m_elementCodes.size()), levels.begin());
    m_codes = daccodes::Mirrored(levels, m_nDacDigits);
}

bool CLC_VoltDoc::CanCloseFrame() {
    return Document::CanCloseFrame() &&
           controller::AllowsClose(Context().controller, GetPrompter());
}

bool CLC_VoltDoc::OnSend() {
    if (!OnUpdateSend().enabled) {
        return false;
    }
    return controller::PostSend(Context().controller, PrepareSend());
}

std::unique_ptr<ProfileTransfer> CLC_VoltDoc::PrepareSend() {
    BuildOutputCodes();
    auto transfer = std::make_unique<ProfileTransfer>();
    transfer->codes = m_codes;
    transfer->elements = static_cast<std::uint16_t>(UsableElementCount());
    transfer->load = controller::Describe(*this, "volt-phase", Parameters(), "");
    return transfer;
}

FieldList CLC_VoltDoc::Parameters() const {
    const auto integer = [](std::int32_t value) { return FieldValue(std::int64_t{value}); };
    return {
        {"elements", integer(m_nElements)}, {"dac_digits", integer(m_nDacDigits)},
        {"section", integer(m_nSection)},   {"level1", integer(m_nLevel1)},
        {"level0", integer(m_nLevel0)},     {"ref_voltage", m_dRefVoltage},
        {"comment", m_strComment},
    };
}

CommandState CLC_VoltDoc::OnUpdateSend() const {
    return controller::SendState(Context().controller);
}

double CLC_VoltDoc::CodeVoltage(int code) const {
    const double steps = std::ldexp(1.0, m_nDacDigits) - 2.0;
    if (!(steps > 0.0)) {
        return std::numeric_limits<double>::quiet_NaN();
    }
    return static_cast<double>(code) * m_dRefVoltage / steps;
}

void CLC_VoltDoc::SetComment(const std::string& comment, DocumentView* sender) {
    m_strComment = comment;
    UpdateCommentInViews(sender);
    SetModifiedFlag();
}

void CLC_VoltDoc::UpdateCommentInViews(DocumentView* sender) {
    const auto views = Views();
    for (DocumentView* view : views) {
        auto* voltView = dynamic_cast<VoltDocView*>(view);
        if (voltView != nullptr && view != sender) {
            voltView->SetCommentText(m_strComment);
        }
    }
}

// The .vf file: version 1, then digits, level 0, level 1, reference voltage, elements,
// section, comment and the element codes. m_codes is neither written nor read.
void CLC_VoltDoc::Serialize(Archive& ar) {
    if (ar.IsStoring()) {
        ar.WriteInt32(kFileVersion);
        ar.WriteInt32(m_nDacDigits);
        ar.WriteInt32(m_nLevel0);
        ar.WriteInt32(m_nLevel1);
        ar.WriteDouble(m_dRefVoltage);
        ar.WriteInt32(m_nElements);
        ar.WriteInt32(m_nSection);
        ar.WriteString(m_strComment);
        ar.WriteWordArray(m_elementCodes);
        return;
    }

    // Read into locals and taken over only when the whole file has loaded, so a file that
    // fails halfway leaves the document as it was.
    if (ar.ReadInt32() != kFileVersion) {
        throw ArchiveException("unsupported volt-phase file version");
    }
    const std::int32_t dacDigits = ar.ReadInt32();
    const std::int32_t level0 = ar.ReadInt32();
    const std::int32_t level1 = ar.ReadInt32();
    const double refVoltage = ar.ReadDouble();
    const std::int32_t elements = ar.ReadInt32();
    const std::int32_t section = ar.ReadInt32();
    std::string comment = ar.ReadString();
    // The stored codes are kept as they are, whatever the stored element count.
    std::vector<std::uint16_t> elementCodes = ar.ReadWordArray();

    m_nDacDigits = dacDigits;
    m_nLevel0 = level0;
    m_nLevel1 = level1;
    m_dRefVoltage = refVoltage;
    m_nElements = elements;
    m_nSection = section;
    m_strComment = std::move(comment);
    m_elementCodes = std::move(elementCodes);
}
