#include "profile_ui/ProfileTemplate.h"

#include "framework/StringTable.h"
#include "optics_ui/OpticalCheckPane.h"
#include "profile/TessaronDoc.h"
#include "profile_ui/ChildFrame.h"
#include "profile_ui/TessaronView.h"
#include "ui/CommandIds.h"
#include "ui/DocTemplate.h"
#include "ui/Icons.h"

std::unique_ptr<DocTemplate> MakeProfileTemplate() {
    auto type = std::make_unique<DocTemplate>(
        IDR_PROFILE_TYPE, LoadString(IDR_PROFILE_TYPE),
        [](AppContext& context) { return std::make_unique<CTessaronDoc>(context); },
        [](Document& document, QMdiArea& workspace) -> DocumentFrame* {
            const auto [frame, view] =
                AddFrameWithView<CChildFrame, CTessaronView, CTessaronDoc>(document, workspace);
            // "Edit Data" follows the selection of the view's data list.
            QObject::connect(view, &CTessaronView::editDataStateChanged, frame,
                             &DocumentFrame::commandStatesChanged);
            return frame;
        });
    type->SetCommandHandlers(
        [](DocumentFrame& frame, int id) {
            auto& doc = static_cast<CTessaronDoc&>(frame.GetDocument());
            auto* view = qobject_cast<CTessaronView*>(frame.widget());
            switch (id) {
            case ID_CONTROLLER_SEND:
                return doc.OnSend();
            case ID_EDIT_DATA:
                if (view != nullptr) {
                    view->OnEditData();
                }
                return view != nullptr;
            case ID_EDIT_CLEAR_ALL:
                doc.OnClearData();
                return true;
            case ID_OPTICAL_CHECK:
                if (view != nullptr) {
                    ShowOpticalCheck(doc, *view);
                }
                return view != nullptr;
            default:
                return false;
            }
        },
        [](DocumentFrame& frame, int id) -> std::optional<CommandState> {
            switch (id) {
            case ID_CONTROLLER_SEND:
                return static_cast<CTessaronDoc&>(frame.GetDocument()).OnUpdateSend();
            case ID_EDIT_DATA: {
                const auto* view = qobject_cast<const CTessaronView*>(frame.widget());
                return CommandState{view != nullptr && view->CanEditData(), false};
            }
            case ID_EDIT_CLEAR_ALL:
            case ID_OPTICAL_CHECK:
                return CommandState{true, false};
            default:
                return std::nullopt;
            }
        });
    type->SetIcon(ProfileDocIcon());
    type->SetHelpTopic("from-a-lens-to-the-controller");
    return type;
}
