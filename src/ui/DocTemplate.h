// A document type of the window program: how its documents are made, which windows show them,
// the texts of its type string, its icon, its topic in the user guide and its command table.
// Each document type's window folder makes its own (MakeProfileTemplate, MakeVoltTemplate);
// the application registers them and knows no view.
//
// The type string has seven fields separated by line breaks: window title, the name File New
// offers, the file type's name, the file dialog's filter text, the extension, and the desktop
// file type's ID and name.
#pragma once

#include "framework/ControllerHost.h"

#include <QIcon>
#include <QMdiArea>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

class DocumentFrame;
class Document;
struct AppContext;

class DocTemplate {
public:
    enum Field {
        windowTitle,
        fileNewName,
        fileTypeName,
        filterName,
        filterExt,
        regFileTypeId,
        regFileTypeName
    };

    // Makes a new, empty document of the type.
    using DocumentFactory = std::function<std::unique_ptr<Document>(AppContext&)>;
    // Makes a child frame with its view for a document of the type, puts it into the
    // workspace and gives the view its initial update (the frame is not shown yet).
    using FrameFactory = std::function<DocumentFrame*(Document&, QMdiArea&)>;
    // A command of the type's command table for the active window `frame` (a window of a
    // document of this type): handles it and answers true, or answers false when the type has
    // no such command.
    using CommandHandler = std::function<bool(DocumentFrame& frame, int commandId)>;
    // The state of a command of the type's command table in the active window `frame`;
    // nothing when the type has no such command.
    using CommandStateHandler =
        std::function<std::optional<CommandState>(DocumentFrame& frame, int commandId)>;

    DocTemplate(int resourceId, const std::string& typeString, DocumentFactory createDocument,
                FrameFactory createFrame);

    // The menu and icon resource of the type (129 profile, 130 volt-phase).
    int ResourceId() const { return m_resourceId; }
    // One field of the type string; "Volt-Phase files(*.vf)" for filterName, ".vf" for
    // filterExt.
    QString GetDocString(Field field) const;
    // The filter for the file dialogs: "Volt-Phase files(*.vf)|*.vf||".
    std::string FileFilter() const;
    // Whether `path` has the type's extension (compared without regard to case).
    bool MatchesPath(const QString& path) const;

    std::unique_ptr<Document> CreateDocument(AppContext& context) const;
    DocumentFrame* CreateFrame(Document& document, QMdiArea& workspace) const {
        return m_createFrame(document, workspace);
    }

    void SetCommandHandlers(CommandHandler onCommand, CommandStateHandler onUpdate);
    bool OnCommand(DocumentFrame& frame, int commandId) const;
    std::optional<CommandState> OnUpdateCommand(DocumentFrame& frame, int commandId) const;

    void SetIcon(const QIcon& icon) { m_icon = icon; }
    const QIcon& Icon() const { return m_icon; }
    // The anchor of the user guide's section on the type, where F1 opens the guide.
    void SetHelpTopic(const QString& anchor) { m_helpTopic = anchor; }
    const QString& HelpTopic() const { return m_helpTopic; }

    // Untitled documents are named after the type with a running number: "VoltPhase1".
    QString NextUntitledName() { return GetDocString(fileNewName) + QString::number(++m_untitled); }

private:
    int m_resourceId;
    QStringList m_fields;
    DocumentFactory m_createDocument;
    FrameFactory m_createFrame;
    CommandHandler m_onCommand;
    CommandStateHandler m_onUpdate;
    QIcon m_icon;
    QString m_helpTopic;
    int m_untitled = 0;
};

// The usual frame factory's work: a new `Frame` around a new `View` of `document` (a `Doc`),
// put into `workspace`; the view then gets its initial update.
template <typename Frame, typename View, typename Doc>
std::pair<Frame*, View*> AddFrameWithView(Document& document, QMdiArea& workspace) {
    auto* frame = new Frame(document);
    auto* view = new View(static_cast<Doc&>(document), frame);
    frame->setWidget(view);
    workspace.addSubWindow(frame);
    view->OnInitialUpdate();
    return {frame, view};
}
