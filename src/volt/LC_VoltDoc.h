// The volt-phase document: a square pattern of two DAC codes over the row of elements.
//
// Level 1 and level 0 alternate in sections of equal length, starting with level 1. The
// document shows which voltage each level stands for and is sent to the controller with the
// same two-codes-per-element arrangement as a profile. It is stored in a .vf file. The state is
// read through const accessors and changed through "&Apply" and SetComment.
#pragma once

#include "framework/ControllerHost.h"
#include "framework/Document.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// What a volt-phase document asks of its views beyond OnUpdate.
class VoltDocView : public DocumentView {
public:
    // Show the document's comment (without it counting as an edit).
    virtual void SetCommentText(const std::string& comment) = 0;
};

// The texts of the volt-phase form's fields as the user left them, read by "&Apply".
struct VoltFormTexts {
    std::string elements;
    std::string dacDigits;
    std::string section;
    std::string level1;
    std::string level0;
    std::string comment;
    std::string refVoltage;
};

class CLC_VoltDoc : public Document {
public:
    explicit CLC_VoltDoc(AppContext& context);

    // Document overrides.
    bool OnNewDocument() override;
    void Serialize(Archive& ar) override;
    // The save prompt, then the send guard: the window stays open while a send runs.
    bool CanCloseFrame() override;

    // "Send": builds the codes and hands a copy of them to the controller's worker.
    bool OnSend();
    CommandState OnUpdateSend() const;
    // What a Send hands to the worker: the codes of BuildOutputCodes with the document's
    // description for the record of loads.
    std::unique_ptr<ProfileTransfer> PrepareSend();
    // The fields by the names of the listings and records: elements, dac_digits, section,
    // level1, level0, ref_voltage, comment.
    FieldList Parameters() const;

    // "&Apply" of the form: reads the fields in the form's order (elements, digits, section,
    // level 1, level 0, comment, reference voltage), each checked and written into the
    // document as soon as it is read. The first field that fails shows its message and stops
    // the exchange; the fields before it keep their new values, but the document is neither
    // marked modified nor is the pattern rebuilt. When every field passes, the document is
    // marked modified, the pattern is built and every view is updated (HINT_FULL).
    enum class ApplyResult {
        Applied,
        BadElements,
        BadDacDigits,
        BadSection,
        BadLevel1,
        BadLevel0,
        BadRefVoltage,
    };
    ApplyResult ApplyParameters(const VoltFormTexts& texts);

    // The state, as the form and the file hold it.
    std::int32_t DacDigits() const { return m_nDacDigits; }
    std::int32_t Elements() const { return m_nElements; }
    std::int32_t Section() const { return m_nSection; }
    std::int32_t Level1() const { return m_nLevel1; }
    std::int32_t Level0() const { return m_nLevel0; }
    double RefVoltage() const { return m_dRefVoltage; }
    // One code per element, as built by the last Apply or as loaded (any count).
    const std::vector<std::uint16_t>& ElementCodes() const { return m_elementCodes; }
    // The codes of the last BuildOutputCodes: two per usable element.
    const std::vector<std::uint16_t>& Codes() const { return m_codes; }
    const std::string& Comment() const { return m_strComment; }

    // The comment, as typed in `sender` (which already shows it): every other view shows it
    // and the document is marked modified.
    void SetComment(const std::string& comment, DocumentView* sender = nullptr);

    // Fills ElementCodes() with the pattern: Section() elements at level 1, then as many at
    // level 0, and so on, cut off at the last element.
    void BuildPattern();
    // Fills Codes() with the codes a send transmits: two per element, mirrored around the
    // middle of the DAC range. Elements without a code in ElementCodes() send code 0, the
    // middle of the range; codes beyond the element count are not sent. Codes() always holds
    // 2 * UsableElementCount() values.
    void BuildOutputCodes();
    // The element count that the pattern and the sent codes use: Elements() kept within
    // 0..512, since a damaged file may hold any count.
    int UsableElementCount() const;

    // The voltage that a DAC code stands for at the present reference voltage and digits.
    // Not a number when the digits leave no voltage step (fewer than 2).
    double CodeVoltage(int code) const;

    // Shows Comment() in every view but the sender.
    void UpdateCommentInViews(DocumentView* sender);

private:
    // Tests reach the fields directly, to set up states no operation makes (damaged files).
    friend struct DocTestAccess;

    // Fields, in their declared order.
    std::int32_t m_nDacDigits = 0;
    std::int32_t m_nElements = 0;
    std::int32_t m_nSection = 0;
    std::int32_t m_nLevel1 = 0;
    std::int32_t m_nLevel0 = 0;
    double m_dRefVoltage = 0.0;
    std::vector<std::uint16_t> m_elementCodes; // one code per element, stored in the file
    std::vector<std::uint16_t> m_codes;        // the sent codes, built at each send
    std::string m_strComment;
};
