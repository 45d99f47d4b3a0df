// Check inputs made by the profile document itself: a new profile gets its parameters
// through "Apply", the wizard's settings and "Generate data", and the check takes exactly the
// codes a Send of it would transmit (optics::ProfileInput).
#pragma once

#include "framework/SettingsStore.h"
#include "optics/DocumentInput.h"
#include "optics/OpticalCheck.h"
#include "profile/TessaronDoc.h"
#include "support/FakePrompter.h"
#include "support/TempDir.h"

#include <array>
#include <gtest/gtest.h>
#include <memory>
#include <numbers>

namespace testcodes {

struct Window {
    double low = 0.0;
    double high = 2.0;
    bool minVoltage = false;
    int maxJumps = -1; // the jump limit, -1 for none
};

struct Row {
    int elements = 256;
    double aperture = 5e-3;
    double maxPhase = 8.0;
    int digits = 16;
};

// Profiles made and kept for the test that owns the maker; a generation the document refuses
// fails the test.
class ProfileMaker {
public:
    // A new profile with the row's parameters and the window's limits, generated in `mode`
    // after `setUp` gave the wizard its parameters.
    template <typename SetUp>
    CTessaronDoc& Make(const Row& row, const Window& window, int mode, SetUp setUp) {
        m_docs.push_back(std::make_unique<CTessaronDoc>(m_context));
        CTessaronDoc& doc = *m_docs.back();
        EXPECT_TRUE(doc.OnNewDocument());
        ProfileParameters params;
        params.dacDigits = row.digits;
        params.elements = row.elements;
        params.aperture = row.aperture;
        params.maxPhase = row.maxPhase;
        params.lowLimit = window.low;
        params.highLimit = window.high;
        EXPECT_EQ(doc.ApplyParameters(params), CTessaronDoc::ApplyResult::Applied);
        EXPECT_TRUE(doc.SetCreationMode(mode));
        doc.SetJumpOptions(window.maxJumps >= 0, window.maxJumps, window.minVoltage);
        setUp(doc);
        EXPECT_TRUE(doc.GenerateData(true)) << "the profile could not be generated";
        return doc;
    }

    // The check's input of a profile, as the window and the command line make it.
    static optics::CheckInput Input(CTessaronDoc& doc) {
        optics::InputOutcome outcome = optics::ProfileInput(doc);
        EXPECT_TRUE(outcome.input) << outcome.error;
        return outcome.input ? *outcome.input : optics::CheckInput{};
    }

    // A thin lens, generated from the centre outwards and mirrored.
    optics::CheckInput Lens(const Row& row, double diopters, double waveLength,
                            const Window& window) {
        return Input(Make(row, window, CTessaronDoc::MODE_DIOPTERS,
                          [&](CTessaronDoc& doc) { doc.SetLensParameters(diopters, waveLength); }));
    }

    // A cubic polynomial in radians, generated from element 0 on; the wave length is the one
    // the profile keeps for its lens page.
    optics::CheckInput Polynomial(const Row& row, const std::array<double, 4>& a, bool useAperture,
                                  double waveLength, const Window& window) {
        return Input(Make(row, window, CTessaronDoc::MODE_POLYNOMIAL, [&](CTessaronDoc& doc) {
            doc.SetLensParameters(doc.Diopters(), waveLength);
            EXPECT_TRUE(doc.SetPolynomialParameters(a, useAperture));
        }));
    }

    // A blazed grating of `period` elements per 2 PI, folded into one period.
    optics::CheckInput Grating(const Row& row, double period, double waveLength) {
        return Polynomial(row, {0.0, 2.0 * std::numbers::pi / period, 0.0, 0.0}, false, waveLength,
                          Window{0.0, 2.0});
    }

    SettingsStore& Settings() { return m_settings; }
    FakePrompter& Prompter() { return m_prompter; }
    AppContext& Context() { return m_context; }
    const TempDir& Dir() const { return m_dir; }

private:
    TempDir m_dir;
    FakePrompter m_prompter;
    SettingsStore m_settings{m_dir.File("tessaron.ini")};
    AppContext m_context{m_settings, m_prompter};
    std::vector<std::unique_ptr<CTessaronDoc>> m_docs;
};

} // namespace testcodes
