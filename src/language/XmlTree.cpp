#include "XmlTree.h"

#include <fcntl.h>
#include <libxml/parser.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// No XML_PARSE_NOENT or XML_PARSE_DTDLOAD: entities are never substituted or fetched, so an
// external entity stays an unresolved reference, and libxml2's amplification check rejects an
// entity-expansion bomb at once. NOBLANKS is not used either: its heuristics keep some blank
// nodes, so they are removed explicitly below.
constexpr int kParseOptions = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;

struct ParserCtxtFree {
    void operator()(xmlParserCtxt* ctxt) const { xmlFreeParserCtxt(ctxt); }
};

struct FdClose {
    int fd;
    ~FdClose() { ::close(fd); }
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

// Only a regular file is read: a FIFO would block the caller, a device could be endless.
int OpenRegularFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return -1;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

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

    const int fd = OpenRegularFile(path);
    if (fd < 0)
        return nullptr;
    const FdClose closer{fd};

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
