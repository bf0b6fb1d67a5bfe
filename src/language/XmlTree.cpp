#include "language/XmlTree.h"

#include "files/RegularFile.h"

#include <libxml/parser.h>
#include <mutex>

namespace {

// No XML_PARSE_NOENT or XML_PARSE_DTDLOAD: entities are never substituted or fetched, so an
// external entity stays an unresolved reference, and libxml2's amplification check rejects an
// entity-expansion bomb at once. NOBLANKS is not used either: its heuristics keep some blank
// nodes, so they are removed explicitly below.
constexpr int kParseOptions = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;

struct ParserCtxtFree {
    void operator()(xmlParserCtxt* ctxt) const { xmlFreeParserCtxt(ctxt); }
};

void Quiet(void*, const char*, ...) {}
void QuietStructured(void*, xmlError*) {}

// libxml2's I/O layer reports through the thread's generic error handler, not the context's.
class QuietGenericErrors {
public:
    QuietGenericErrors() : handler_(xmlGenericError), context_(xmlGenericErrorContext) {
        xmlSetGenericErrorFunc(nullptr, Quiet);
    }
    ~QuietGenericErrors() { xmlSetGenericErrorFunc(context_, handler_); }
    QuietGenericErrors(const QuietGenericErrors&) = delete;
    QuietGenericErrors& operator=(const QuietGenericErrors&) = delete;

private:
    xmlGenericErrorFunc handler_;
    void* context_;
};

bool IsBlank(const xmlChar* text) {
    if (text == nullptr)
        return true;
    for (; *text != 0; ++text) {
        if (*text != ' ' && *text != '\t' && *text != '\r' && *text != '\n')
            return false;
    }
    return true;
}

// Recurses only into elements: the children of an entity reference belong to the declaration.
void RemoveBlankText(xmlNode* parent) {
    xmlNode* node = parent->children;
    while (node != nullptr) {
        xmlNode* next = node->next;
        if (node->type == XML_TEXT_NODE && IsBlank(node->content)) {
            xmlUnlinkNode(node);
            xmlFreeNode(node);
        } else if (node->type == XML_ELEMENT_NODE) {
            RemoveBlankText(node);
        }
        node = next;
    }
}

} // namespace

XmlDocPtr ParseXmlFile(const std::string& path) {
    static std::once_flag initialised;
    std::call_once(initialised, [] { xmlInitParser(); });

    const FileDescriptor file = OpenRegularFileForReading(path);
    if (!file.valid())
        return nullptr;
    const int fd = file.get();

    const std::unique_ptr<xmlParserCtxt, ParserCtxtFree> ctxt(xmlNewParserCtxt());
    if (!ctxt)
        return nullptr;
    // Errors are reported by the result only; keep libxml2 from writing to stderr.
    ctxt->sax->error = Quiet;
    ctxt->sax->warning = Quiet;
    ctxt->sax->fatalError = Quiet;
    ctxt->sax->serror = QuietStructured;
    ctxt->sax->initialized = XML_SAX2_MAGIC;
    const QuietGenericErrors quiet;
    XmlDocPtr doc(xmlCtxtReadFd(ctxt.get(), fd, nullptr, nullptr, kParseOptions));
    if (!doc || ctxt->wellFormed == 0)
        return nullptr;
    for (xmlNode* node = doc->children; node != nullptr; node = node->next) {
        if (node->type == XML_ELEMENT_NODE)
            RemoveBlankText(node);
    }
    return doc;
}

std::string XmlNodeName(const xmlNode* node) {
    std::string name;
    if (node->ns != nullptr && node->ns->prefix != nullptr)
        name.append(reinterpret_cast<const char*>(node->ns->prefix)).push_back(':');
    if (node->name != nullptr)
        name.append(reinterpret_cast<const char*>(node->name));
    return name;
}
