#include "ui/DocTemplate.h"

#include "framework/Document.h"

#include <QFileInfo>

DocTemplate::DocTemplate(int resourceId, const std::string& typeString,
                         DocumentFactory createDocument, FrameFactory createFrame)
    : m_resourceId(resourceId), m_fields(QString::fromStdString(typeString).split('\n')),
      m_createDocument(std::move(createDocument)), m_createFrame(std::move(createFrame)) {}

QString DocTemplate::GetDocString(Field field) const {
    const int index = static_cast<int>(field);
    return index < m_fields.size() ? m_fields[index] : QString();
}

std::string DocTemplate::FileFilter() const {
    const QString ext = GetDocString(filterExt);
    return (GetDocString(filterName) + "|*" + ext + "||").toStdString();
}

bool DocTemplate::MatchesPath(const QString& path) const {
    const QString ext = GetDocString(filterExt);
    return !ext.isEmpty() && QFileInfo(path).fileName().endsWith(ext, Qt::CaseInsensitive);
}

std::unique_ptr<Document> DocTemplate::CreateDocument(AppContext& context) const {
    auto document = m_createDocument(context);
    document->SetFileType({FileFilter(), GetDocString(filterExt).toStdString()});
    return document;
}

void DocTemplate::SetCommandHandlers(CommandHandler onCommand, CommandStateHandler onUpdate) {
    m_onCommand = std::move(onCommand);
    m_onUpdate = std::move(onUpdate);
}

bool DocTemplate::OnCommand(DocumentFrame& frame, int commandId) const {
    return m_onCommand && m_onCommand(frame, commandId);
}

std::optional<CommandState> DocTemplate::OnUpdateCommand(DocumentFrame& frame,
                                                         int commandId) const {
    return m_onUpdate ? m_onUpdate(frame, commandId) : std::nullopt;
}
