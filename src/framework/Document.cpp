#include "framework/Document.h"

#include "framework/Archive.h"
#include "framework/Prompter.h"
#include "framework/SafeFile.h"
#include "framework/StringTable.h"

#include <algorithm>

bool Document::OnNewDocument() {
    m_path.clear();
    m_modified = false;
    return true;
}

bool Document::OnOpenDocument(const std::string& path) {
    int error = 0;
    const auto bytes = safefile::ReadAll(path, safefile::kMaxDocumentBytes, &error);
    if (!bytes) {
        GetPrompter().Message(IDP_FAILED_TO_OPEN_DOC, safefile::Detail(path, error), MB_OK);
        return false;
    }
    try {
        Archive ar = Archive::ForLoading(*bytes);
        Serialize(ar);
    } catch (const ArchiveException&) {
        // Among several files the message must say which one it is about.
        GetPrompter().Message(IDP_INVALID_FORMAT, path, MB_OK);
        return false;
    }
    SetPathName(path);
    m_modified = false;
    return true;
}

bool Document::OnSaveDocument(const std::string& path) {
    Archive ar = Archive::ForStoring();
    Serialize(ar);
    int error = 0;
    if (!safefile::WriteAtomically(path, ar.Buffer(), &error)) {
        GetPrompter().Message(IDP_FAILED_TO_SAVE_DOC, safefile::Detail(path, error), MB_OK);
        return false;
    }
    SetPathName(path);
    m_modified = false;
    return true;
}

bool Document::DoFileSave() {
    return DoSave(m_path);
}

bool Document::DoSave(const std::string& path) {
    std::string target = path;
    if (target.empty()) {
        FileDialogRequest request;
        request.filter = m_fileType.filter;
        if (!m_fileType.extension.empty()) {
            request.defaultExtension = m_fileType.extension.substr(1);
        }
        // A new document is offered under its title with the type's extension.
        request.initialName = m_title;
        if (m_path.empty() && !m_fileType.extension.empty() &&
            m_title.find('.') == std::string::npos && !m_title.empty()) {
            request.initialName += m_fileType.extension;
        }
        request.overwritePrompt = true;
        const auto choice = GetPrompter().AskSaveFile(request);
        if (!choice) {
            return false;
        }
        target = choice->path;
    }
    return OnSaveDocument(target);
}

bool Document::SaveModified() {
    if (!m_modified) {
        return true;
    }
    const std::string& name = m_path.empty() ? m_title : m_path;
    const int answer = GetPrompter().MessageBox(FormatMessage(LoadString(IDP_ASK_TO_SAVE), {name}),
                                                MB_YESNOCANCEL | MB_ICONEXCLAMATION);
    if (answer == IDCANCEL) {
        return false;
    }
    if (answer == IDYES) {
        return DoFileSave();
    }
    return true;
}

void Document::SetPathName(const std::string& path) {
    m_path = path;
    const auto slash = path.find_last_of('/');
    m_title = slash == std::string::npos ? path : path.substr(slash + 1);
}

void Document::AddView(DocumentView* view) {
    if (std::find(m_views.begin(), m_views.end(), view) == m_views.end()) {
        m_views.push_back(view);
    }
}

void Document::RemoveView(DocumentView* view) {
    std::erase(m_views, view);
}

void Document::UpdateAllViews(DocumentView* sender, int hint) {
    // A view may remove itself while it updates; walk a copy of the list.
    const auto views = m_views;
    for (DocumentView* view : views) {
        if (view != sender) {
            view->OnUpdate(sender, hint);
        }
    }
}

SettingsStore& Document::Settings() const {
    return m_context.settings;
}

Prompter& Document::GetPrompter() const {
    return m_context.prompter;
}
