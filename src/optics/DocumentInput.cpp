#include "optics/DocumentInput.h"

#include "profile/DacCodes.h"
#include "profile/TessaronDoc.h"
#include "volt/LC_VoltDoc.h"

#include <string>

namespace optics {

namespace {

std::string DigitsProblem(int digits) {
    if (digits >= limits::kMinDacDigits && digits <= limits::kMaxDacDigits) {
        return {};
    }
    return "The DAC has " + std::to_string(digits) + " digits; codes are made for " +
           std::to_string(limits::kMinDacDigits) + " to " + std::to_string(limits::kMaxDacDigits) +
           " digits only.";
}

} // namespace

InputOutcome ProfileInput(CTessaronDoc& doc) {
    InputOutcome outcome;
    CheckInput in;
    switch (doc.CreationMode()) {
    case CTessaronDoc::MODE_DIOPTERS:
        in.design = Design::Lens;
        in.diopters = doc.Diopters();
        break;
    case CTessaronDoc::MODE_POLYNOMIAL:
        in.design = Design::Polynomial;
        in.coefficients = doc.Coeff();
        in.useAperture = doc.UseAperture() != 0;
        break;
    default:
        outcome.error = "The profile's creation mode " + std::to_string(doc.CreationMode()) +
                        " is neither a lens nor a polynomial.";
        return outcome;
    }
    outcome.error = DigitsProblem(doc.DacDigits());
    if (!outcome.error.empty()) {
        return outcome;
    }
    const bool correction = doc.UseCorrection() != 0;
    // ComputeDacCodes would read such a table again, with a message if that failed; the check
    // asks nothing and leaves that to the next Send or export.
    if (correction && doc.Correction().size() != daccodes::HalfRange(doc.DacDigits())) {
        outcome.error = "The correction table was read for another number of DAC digits; Send "
                        "or Export reads it again for " +
                        std::to_string(doc.DacDigits()) + " digits.";
        return outcome;
    }
    if (!doc.ComputeDacCodes(correction)) {
        outcome.error = "The profile's DAC codes cannot be computed.";
        return outcome;
    }
    in.waveLength = doc.WaveLength();
    in.elements = doc.Elements();
    in.aperture = doc.Aperture();
    in.dacDigits = doc.DacDigits();
    in.maxPhase = doc.MaxPhase();
    in.codes = doc.Codes();
    outcome.input = std::move(in);
    return outcome;
}

InputOutcome VoltTableInput(CLC_VoltDoc& doc, const PatternSetup& setup) {
    InputOutcome outcome;
    outcome.error = DigitsProblem(doc.DacDigits());
    if (!outcome.error.empty()) {
        return outcome;
    }
    doc.BuildOutputCodes();
    CheckInput in;
    in.design = Design::None;
    in.waveLength = setup.waveLength;
    in.elements = doc.UsableElementCount();
    in.aperture = setup.aperture;
    in.dacDigits = doc.DacDigits();
    in.maxPhase = setup.maxPhase;
    in.codes = doc.Codes();
    outcome.input = std::move(in);
    return outcome;
}

} // namespace optics
