// The profile file (.lcp): the document's fields in a fixed order behind a version number.
// Version 2 is written; versions 1 (some numbers kept as text) and 2 are read.
#include "framework/Archive.h"
#include "framework/NumberText.h"
#include "profile/TessaronDoc.h"

#include <cstdint>

namespace {

constexpr std::int32_t kFileVersion = 2;

// Version 1 kept some numbers as text. Text that does not scan as a number gives 0.0.
double ReadNumberText(Archive& ar) {
    const std::string text = ar.ReadString();
    return numtext::ScanDouble(text).value_or(0.0);
}

} // namespace

void CTessaronDoc::Serialize(Archive& ar) {
    if (ar.IsStoring()) {
        ar.WriteInt32(kFileVersion);
        ar.WriteInt32(m_nCreationMode);
        ar.WriteDouble(m_dDiopters);
        ar.WriteDouble(m_dWaveLength);
        for (double coefficient : m_dCoeff) {
            ar.WriteDouble(coefficient);
        }
        ar.WriteInt32(m_bUseAperture);
        ar.WriteDouble(m_dAperture);
        ar.WriteDouble(m_dMaxPhase);
        ar.WriteDouble(m_dLowLimit);
        ar.WriteDouble(m_dHighLimit);
        ar.WriteInt32(m_nDacDigits);
        ar.WriteInt32(m_nElements);
        ar.WriteString(m_strCorrectionPath);
        ar.WriteInt32(m_bUseCorrection);
        ar.WriteInt32(m_nMaxJumps);
        ar.WriteInt32(m_bLimitJumps);
        ar.WriteInt32(m_bMinVoltage);
        ar.WriteString(m_strNote);
        ar.WriteDoubleArray(m_phase);
        return;
    }

    // Everything is read into locals first and taken over only when the whole file has
    // loaded, so a file that fails halfway leaves the document as it was.
    const std::int32_t version = ar.ReadInt32();
    if (version > kFileVersion) {
        throw ArchiveException("unsupported profile file version");
    }
    const std::int32_t creationMode = ar.ReadInt32();
    double diopters = 0.0;
    double waveLength = 0.0;
    std::array<double, 4> coeff{};
    if (version == 1) {
        diopters = ReadNumberText(ar);
        waveLength = ReadNumberText(ar);
        for (double& c : coeff) {
            c = ReadNumberText(ar);
        }
    } else {
        diopters = ar.ReadDouble();
        waveLength = ar.ReadDouble();
        for (double& c : coeff) {
            c = ar.ReadDouble();
        }
    }
    const std::int32_t useAperture = ar.ReadInt32();
    double aperture = 0.0;
    double maxPhase = 0.0;
    double lowLimit = 0.0;
    double highLimit = 0.0;
    if (version == 1) {
        (void)ar.ReadString(); // a text the first version kept and nothing uses
        aperture = ar.ReadDouble();
        maxPhase = ReadNumberText(ar);
        lowLimit = 0.0;
        highLimit = maxPhase;
    } else {
        aperture = ar.ReadDouble();
        maxPhase = ar.ReadDouble();
        lowLimit = ar.ReadDouble();
        highLimit = ar.ReadDouble();
    }
    const std::int32_t dacDigits = ar.ReadInt32();
    const std::int32_t elements = ar.ReadInt32();
    std::string correctionPath = ar.ReadString();
    const std::int32_t useCorrection = ar.ReadInt32();
    const std::int32_t maxJumps = ar.ReadInt32();
    const std::int32_t limitJumps = ar.ReadInt32();
    const std::int32_t minVoltage = ar.ReadInt32();
    std::string note = ar.ReadString();
    std::vector<double> phase = ar.ReadDoubleArray();

    m_nCreationMode = creationMode;
    m_dDiopters = diopters;
    m_dWaveLength = waveLength;
    m_dCoeff = coeff;
    m_bUseAperture = useAperture;
    m_dAperture = aperture;
    m_dMaxPhase = maxPhase;
    m_dLowLimit = lowLimit;
    m_dHighLimit = highLimit;
    m_nDacDigits = dacDigits;
    m_nElements = elements;
    m_strCorrectionPath = std::move(correctionPath);
    m_bUseCorrection = useCorrection;
    m_nMaxJumps = maxJumps;
    m_bLimitJumps = limitJumps;
    m_bMinVoltage = minVoltage;
    m_strNote = std::move(note);
    m_phase = std::move(phase);
}
