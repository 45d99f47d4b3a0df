// The optical check's input from the program's documents: the design, the geometry, the DAC
// and exactly the codes a Send of the document transmits.
#pragma once

#include "optics/OpticalCheck.h"

#include <optional>
#include <string>

class CTessaronDoc;
class CLC_VoltDoc;

namespace optics {

// A check's input, or the reason there is none, in a sentence for the user.
struct InputOutcome {
    std::optional<CheckInput> input;
    std::string error;
};

// A profile's check: the design of its creation mode (the thin lens of its diopters and wave
// length, or its polynomial), its elements, aperture, DAC digits and maximum phase, and the
// codes of ComputeDacCodes, through the correction table while the profile uses it, as a Send
// makes them. The light's wave length is the profile's (the lens page's, for a polynomial
// too). Nothing is asked and no message is shown: a profile whose codes cannot be made
// without one (DAC digits outside 10 to 16, a table read for other digits and not yet read
// again) is refused with the reason. Only the document's Codes() change.
InputOutcome ProfileInput(CTessaronDoc& doc);

// What a volt-phase table does not say itself: the row it drives and the light.
struct PatternSetup {
    double aperture = 0.0;   // m
    double maxPhase = 0.0;   // parts of PI at the highest level, for the linear response
    double waveLength = 0.0; // m
};

// A volt-phase table's check: its codes as a Send makes them, without a design (the far field
// only), on the row and in the light of `setup`.
InputOutcome VoltTableInput(CLC_VoltDoc& doc, const PatternSetup& setup);

} // namespace optics
