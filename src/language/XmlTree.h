#pragma once

#include <libxml/tree.h>
#include <memory>
#include <string>

struct XmlDocFree {
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
using XmlDocPtr = std::unique_ptr<xmlDoc, XmlDocFree>;

// Parses the file at `path` (a file-system path in the local 8-bit encoding) into a tree,
// decoded by its XML declaration. No DTD, external entity or network resource is ever loaded,
// and nothing is printed. Text nodes made only of white space are removed, so indentation
// between elements adds no nodes. Null for a missing, unreadable or ill-formed file.
XmlDocPtr ParseXmlFile(const std::string& path);

// The node's name as written in the document, with its prefix if it has one.
std::string XmlNodeName(const xmlNode* node);
