#include "volt_ui/VoltTemplate.h"

#include "framework/StringTable.h"
#include "ui/CommandIds.h"
#include "ui/DocTemplate.h"
#include "ui/Icons.h"
#include "volt/LC_VoltDoc.h"
#include "volt_ui/TessaronVoltView.h"
#include "volt_ui/VoltChildFrame.h"

std::unique_ptr<DocTemplate> MakeVoltTemplate() {
    auto type = std::make_unique<DocTemplate>(
        IDR_VOLT_TYPE, LoadString(IDR_VOLT_TYPE),
        [](AppContext& context) { return std::make_unique<CLC_VoltDoc>(context); },
        [](Document& document, QMdiArea& workspace) -> DocumentFrame* {
            return AddFrameWithView<CVoltChildFrame, CTessaronVoltView, CLC_VoltDoc>(document,
                                                                                     workspace)
                .first;
        });
    type->SetCommandHandlers(
        [](DocumentFrame& frame, int id) {
            return id == ID_CONTROLLER_SEND &&
                   static_cast<CLC_VoltDoc&>(frame.GetDocument()).OnSend();
        },
        [](DocumentFrame& frame, int id) -> std::optional<CommandState> {
            if (id == ID_CONTROLLER_SEND) {
                return static_cast<CLC_VoltDoc&>(frame.GetDocument()).OnUpdateSend();
            }
            return std::nullopt;
        });
    type->SetIcon(VoltDocIcon());
    type->SetHelpTopic("volt-phase-calibration-tables");
    return type;
}
