// The documents' private fields for tests: states that no operation makes (what a damaged file
// holds, a table of a few entries, phases outside the window).
// DocFields(doc).m_nElements = 1 << 30; writes the field.
#pragma once

#include "profile/TessaronDoc.h"
#include "volt/LC_VoltDoc.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct ProfileFields {
    std::int32_t& m_nCreationMode;
    std::int32_t& m_bUseCorrection;
    double& m_dAperture;
    std::string& m_strCorrectionPath;
    std::int32_t& m_nDacDigits;
    std::int32_t& m_nElements;
    double& m_dMaxPhase;
    std::int32_t& m_bLimitJumps;
    std::int32_t& m_bMinVoltage;
    std::int32_t& m_nMaxJumps;
    std::vector<double>& m_phase;
    std::vector<std::uint16_t>& m_codes;
    std::vector<std::uint16_t>& m_correction;
    std::string& m_strNote;
    double& m_dLowLimit;
    double& m_dHighLimit;
    double& m_dDiopters;
    double& m_dWaveLength;
    std::array<double, 4>& m_dCoeff;
    std::int32_t& m_bUseAperture;
};

struct VoltFields {
    std::int32_t& m_nDacDigits;
    std::int32_t& m_nElements;
    std::int32_t& m_nSection;
    std::int32_t& m_nLevel1;
    std::int32_t& m_nLevel0;
    double& m_dRefVoltage;
    std::vector<std::uint16_t>& m_elementCodes;
    std::vector<std::uint16_t>& m_codes;
    std::string& m_strComment;
};

struct DocTestAccess {
    static ProfileFields Fields(CTessaronDoc& d) {
        return {d.m_nCreationMode, d.m_bUseCorrection, d.m_dAperture, d.m_strCorrectionPath,
                d.m_nDacDigits,    d.m_nElements,      d.m_dMaxPhase, d.m_bLimitJumps,
                d.m_bMinVoltage,   d.m_nMaxJumps,      d.m_phase,     d.m_codes,
                d.m_correction,    d.m_strNote,        d.m_dLowLimit, d.m_dHighLimit,
                d.m_dDiopters,     d.m_dWaveLength,    d.m_dCoeff,    d.m_bUseAperture};
    }
    static VoltFields Fields(CLC_VoltDoc& d) {
        return {d.m_nDacDigits,  d.m_nElements,    d.m_nSection, d.m_nLevel1,   d.m_nLevel0,
                d.m_dRefVoltage, d.m_elementCodes, d.m_codes,    d.m_strComment};
    }
};

inline ProfileFields DocFields(CTessaronDoc& d) {
    return DocTestAccess::Fields(d);
}
inline VoltFields DocFields(CLC_VoltDoc& d) {
    return DocTestAccess::Fields(d);
}
