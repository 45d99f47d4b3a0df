// Document base of the program's document/view model.
//
// A document owns its data, knows its file path, title and modified flag, and keeps a list
// of views that observe it. Every change ends with UpdateAllViews, which calls OnUpdate of
// each view but the sender. Files are read and written through Serialize with an Archive.
#pragma once

#include <string>
#include <vector>

class Archive;
class ControllerHost;
class Document;
class Prompter;
class SettingsStore;

// Update hints passed to OnUpdate.
enum UpdateHint : int {
    HINT_FULL = 0,   // refresh everything, including the wizard page and its check boxes
    HINT_PARAMS = 1, // refresh everything but those
};

class DocumentView {
public:
    virtual ~DocumentView() = default;
    virtual void OnUpdate(DocumentView* sender, int hint) = 0;
};

// What a document needs of the application around it; the window program passes the real
// parts, the command line tool and tests their own.
struct AppContext {
    SettingsStore& settings;
    Prompter& prompter;
    // The controller's host, for documents that can be sent; none outside the window program.
    ControllerHost* controller = nullptr;
};

// The file type of a document: the filter of its file dialogs ("Name (*.ext)|*.ext||") and
// the extension that Save As appends to a name typed without one.
struct DocumentFileType {
    std::string filter;
    std::string extension; // with its dot: ".lcp"
};

class Document {
public:
    explicit Document(AppContext& context) : m_context(context) {}
    virtual ~Document() = default;
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;

    // File New: clears the path and the modified flag. Overrides set their defaults.
    virtual bool OnNewDocument();
    // File Open: reads the whole file and loads it through Serialize. A file that cannot be
    // read shows "Failed to open document." with the path and the system's reason as its
    // detail; a file whose contents do not load shows "Unexpected file format." with the
    // path. Returns false then; the document's data are not touched.
    virtual bool OnOpenDocument(const std::string& path);
    // File Save: stores through Serialize and replaces the file atomically. On failure shows
    // "Failed to save document." with the path and the system's reason as its detail and
    // returns false; the old file stays intact.
    virtual bool OnSaveDocument(const std::string& path);
    virtual void Serialize(Archive& ar) = 0;

    // Save and Save As. DoSave with an empty path (Save As, or Save of a document that has no
    // file yet) asks for a file name first; false when the person cancels or saving fails.
    bool DoFileSave();
    bool DoSave(const std::string& path);
    // Before the document is closed: when it has unsaved changes, asks "Save changes to ...?"
    // and saves on Yes. False (keep the document open) on Cancel or a failed save.
    bool SaveModified();
    // Before the last window of the document closes. Documents that can be sent add the guard
    // that keeps them open during a send.
    virtual bool CanCloseFrame() { return SaveModified(); }

    void SetFileType(DocumentFileType type) { m_fileType = std::move(type); }
    const DocumentFileType& FileType() const { return m_fileType; }

    bool IsModified() const { return m_modified; }
    void SetModifiedFlag(bool modified = true) { m_modified = modified; }
    const std::string& GetPathName() const { return m_path; }
    // Sets the path and makes its file name the title.
    void SetPathName(const std::string& path);
    const std::string& GetTitle() const { return m_title; }
    void SetTitle(const std::string& title) { m_title = title; }

    void AddView(DocumentView* view);
    void RemoveView(DocumentView* view);
    const std::vector<DocumentView*>& Views() const { return m_views; }
    void UpdateAllViews(DocumentView* sender, int hint = HINT_FULL);

    AppContext& Context() const { return m_context; }
    SettingsStore& Settings() const;
    Prompter& GetPrompter() const;

private:
    AppContext& m_context;
    DocumentFileType m_fileType;
    std::vector<DocumentView*> m_views;
    std::string m_path;
    std::string m_title;
    bool m_modified = false;
};
