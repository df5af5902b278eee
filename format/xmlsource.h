#pragma once
// The elements of an XML document as the description readers see them: each element's tag,
// attributes and place, its child elements in order, and its markup written out. Two sources
// give the same view. A streamed document is read once from start to end and never held
// whole: that is how description files are loaded. A DOM document serves whoever holds one
// (lint changes its document between readings; tests build small ones).
//
// Markup is written as the DOM library writes a node in its place in the document with an
// indentation of 4: a line break after markup unless text follows, indentation unless text
// comes before, text escaped, whitespace-only text left out. Descriptions shown to the user
// and macro texts both keep exactly that form.
#include <QDomElement>
#include <QList>
#include <QPair>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

class XmlSource;

struct XmlElement {
    QString tag;
    QList<QPair<QString, QString>> attributes; // in the order the source keeps them
    // Where the DOM places the element (the end of its start tag); 0 when unknown.
    int line = 0;
    int column = 0;
    // The node before it is text, so its markup starts without indentation.
    bool afterText = false;
    XmlSource *source = nullptr;
    QDomElement dom;  // the element itself, for a DOM source
    int captured = -1; // its index, for a captured copy

    bool hasAttribute(QLatin1String name) const;
    QString attribute(QLatin1String name, const QString &absent = QString()) const;
};

// How an element's markup is written: under another tag, and without some or all attributes.
struct MarkupForm {
    QString tag;             // null: the element's own
    bool attributes = true;  // false: none at all
    QLatin1String without;   // an attribute left out (when attributes are written)
};

class XmlSource
{
public:
    virtual ~XmlSource() = default;

    // Calls handle for each child element of parent, in document order, and stops as soon as
    // it returns false; true when every call did. What handle does not read of a child (its
    // children, its markup) is passed over.
    using ChildHandler = std::function<bool(XmlElement &)>;
    virtual bool forEachChild(XmlElement &parent, const ChildHandler &handle) = 0;

    // Appends the element's markup in the given form to *out. False, after the line "Markup in
    // '<tag>' nested too deeply", when elements nest more than `limit` levels inside it: the
    // DOM library writes markup recursively and would exhaust the stack. Read from a stream,
    // the node after the element is looked at, since the line end after markup depends on it.
    virtual bool writeMarkup(XmlElement &element, const MarkupForm &form, int limit, QString *out) = 0;

    // The element in *copy, with its descendant elements (no text), in a form that can be walked
    // any number of times: a streamed element is copied into *owner, which has to outlive the
    // copy; any other is itself. False when the document fails inside the element.
    virtual bool capture(XmlElement &element, XmlElement *copy, std::unique_ptr<XmlSource> *owner) = 0;
};

// A DOM document's elements.
class DomXmlSource : public XmlSource
{
public:
    XmlElement element(const QDomElement &e);
    bool forEachChild(XmlElement &parent, const ChildHandler &handle) override;
    bool writeMarkup(XmlElement &element, const MarkupForm &form, int limit, QString *out) override;
    bool capture(XmlElement &element, XmlElement *copy, std::unique_ptr<XmlSource> *owner) override;
};

class QXmlStreamReader;
class XmlGuard;

// A document read token by token. Reading stops at the first fault of the XML (or refusal of
// the guard, when one is given); the owner tells that from a refused element by failed().
class StreamXmlSource : public XmlSource
{
public:
    StreamXmlSource(QXmlStreamReader &reader, XmlGuard *guard);
    ~StreamXmlSource() override;

    // Reads up to the document element; false when the document fails before one.
    bool readRoot(XmlElement *root);
    // Reads what is left of the document without building anything, so that a fault anywhere
    // in it is found; false when there is one.
    bool readToEnd();
    // The reader failed or the guard refused the document.
    bool failed() const { return fault; }
    bool refusedByGuard() const { return guardRefused; }
    // What the DOM parser says about the fault, and where.
    QString errorString() const;
    int errorLine() const;
    int errorColumn() const;

    bool forEachChild(XmlElement &parent, const ChildHandler &handle) override;
    bool writeMarkup(XmlElement &element, const MarkupForm &form, int limit, QString *out) override;
    bool capture(XmlElement &element, XmlElement *copy, std::unique_ptr<XmlSource> *owner) override;

private:
    QString name(QStringView text);
    bool read();
    bool advance();
    void take(XmlElement *element);
    bool peekIsText();

    QXmlStreamReader &reader;
    XmlGuard *guard;
    bool pending = false; // the reader stands at a token not handled yet
    bool fault = false;
    bool guardRefused = false;
    bool sawDocumentType = false;
    QString ownError; // a fault the DOM parser finds where the reader finds none
    int ownErrorLine = 0;
    int ownErrorColumn = 0;
    int depth = 0;        // elements open
    enum { NameSlots = 251 };
    QString names[NameSlots];
};
