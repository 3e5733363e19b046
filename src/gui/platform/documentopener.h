#pragma once

#include <QString>
#include <QStringList>

// Opens a document or a web page with the desktop's handler for it (xdg-open).
class DocumentOpener
{
public:
    virtual ~DocumentOpener() = default;
    // True when the handler was launched, not when the document was shown.
    virtual bool open(const QString& pathOrUrl) = 0;

protected:
    DocumentOpener() = default;
};

// Records what it was asked to open.
class RecordingDocumentOpener final : public DocumentOpener
{
public:
    bool open(const QString& pathOrUrl) override
    {
        m_opened.append(pathOrUrl);
        return true;
    }
    const QStringList& opened() const { return m_opened; }

private:
    QStringList m_opened;
};
