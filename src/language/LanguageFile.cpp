#include "language/LanguageFile.h"

#include "language/Language.h"
#include "language/XmlTree.h"

#include <QFile>
#include <array>
#include <libxml/xmlmemory.h>

namespace {

struct Key {
    const char* name;
    QString Lang::*member;
};

// The order in which the keys are read: a load that stops at a key has renewed exactly the
// members before it.
constexpr std::array<Key, 27> kKeys{{
    {"stCountry", &Lang::stCountry},
    {"stConnect", &Lang::stConnect},
    {"stFile", &Lang::stFile},
    {"stClose", &Lang::stClose},
    {"stLanguage", &Lang::stLanguage},
    {"stTurkish", &Lang::stTurkish},
    {"stEnglish", &Lang::stEnglish},
    {"stGreek", &Lang::stGreek},
    {"stRussian", &Lang::stRussian},
    {"stRefresh", &Lang::stRefresh},
    {"stAppName", &Lang::stAppName},
    {"stShow", &Lang::stShow},
    {"stNetworkList", &Lang::stNetworkList},
    {"stMessage", &Lang::stMessage},
    {"stBtnRetry", &Lang::stBtnRetry},
    {"stBtnOk", &Lang::stBtnOk},
    {"stYes", &Lang::stYes},
    {"stNo", &Lang::stNo},
    {"stSearchKorvaneProducts", &Lang::stSearchKorvaneProducts},
    {"stProductName", &Lang::stProductName},
    {"stIpAddress", &Lang::stIpAddress},
    {"stUtilityCaption", &Lang::stUtilityCaption},
    {"stAbout", &Lang::stAbout},
    {"stHelp", &Lang::stHelp},
    {"stVersion", &Lang::stVersion},
    {"stMnUsageGuide", &Lang::stMnUsageGuide},
    {"stLegalNotice", &Lang::stLegalNotice},
}};

// Keys added after the first language files: a section without them keeps its load, and the
// text falls back to the built-in English one.
struct OptionalKey {
    const char* name;
    QString Lang::*member;
    const char* english;
};

const std::array<OptionalKey, 13> kOptionalKeys{{
    {"stCannotOpenAddress", &Lang::stCannotOpenAddress, Lang::kEnglishCannotOpenAddress},
    {"stCannotOpenFolder", &Lang::stCannotOpenFolder, Lang::kEnglishCannotOpenFolder},
    {"stAdviceNotConnected", &Lang::stAdviceNotConnected, Lang::kEnglishAdviceNotConnected},
    {"stAdviceNoAnswer", &Lang::stAdviceNoAnswer, Lang::kEnglishAdviceNoAnswer},
    {"stAdviceFirewallFound", &Lang::stAdviceFirewallFound, Lang::kEnglishAdviceFirewallFound},
    {"stAdviceOtherNetwork", &Lang::stAdviceOtherNetwork, Lang::kEnglishAdviceOtherNetwork},
    {"stAdviceUnreadable", &Lang::stAdviceUnreadable, Lang::kEnglishAdviceUnreadable},
    {"stAdviceForeignOnly", &Lang::stAdviceForeignOnly, Lang::kEnglishAdviceForeignOnly},
    {"stModelName", &Lang::stModelName, Lang::kEnglishModelName},
    {"stModelNumber", &Lang::stModelNumber, Lang::kEnglishModelNumber},
    {"stSerialNumber", &Lang::stSerialNumber, Lang::kEnglishSerialNumber},
    {"stDescriptionAddress", &Lang::stDescriptionAddress, Lang::kEnglishDescriptionAddress},
    {"stCopyAddress", &Lang::stCopyAddress, Lang::kEnglishCopyAddress},
}};

xmlNode* FirstChildElement(const xmlNode* parent, const char* name) {
    for (xmlNode* node = parent->children; node != nullptr; node = node->next) {
        if (node->type == XML_ELEMENT_NODE && XmlNodeName(node) == name)
            return node;
    }
    return nullptr;
}

// A node that is not an element, or an element without the attribute, has no "ID": the search
// fails there, as it cannot tell what the node is.
bool ReadId(const xmlNode* node, std::string& id) {
    if (node->type != XML_ELEMENT_NODE)
        return false;
    xmlChar* const value = xmlGetNoNsProp(node, reinterpret_cast<const xmlChar*>("ID"));
    if (value == nullptr)
        return false;
    id = reinterpret_cast<const char*>(value);
    xmlFree(value);
    return true;
}

xmlNode* FindSection(const xmlNode* interfaceElement, const std::string& code) {
    std::size_t count = 0;
    for (const xmlNode* node = interfaceElement->children; node != nullptr; node = node->next)
        ++count;
    // The search walks on from the first "Language" element over every following sibling,
    // whatever its name or kind, and gives up at the first one without an "ID".
    xmlNode* current = FirstChildElement(interfaceElement, "Language");
    for (std::size_t step = 0; step < count && current != nullptr; ++step) {
        std::string id;
        if (!ReadId(current, id))
            return nullptr;
        if (id == code)
            return current;
        current = current->next;
    }
    return nullptr;
}

// The key's content must be exactly one non-empty text node: no element, comment, CDATA
// section or unresolved entity reference beside or instead of it.
bool ReadKey(const xmlNode* section, const char* name, QString& text) {
    const xmlNode* element = FirstChildElement(section, name);
    if (element == nullptr)
        return false;
    const xmlNode* child = element->children;
    if (child == nullptr || child->next != nullptr || child->type != XML_TEXT_NODE ||
        child->content == nullptr || *child->content == 0)
        return false;
    text = QString::fromUtf8(reinterpret_cast<const char*>(child->content));
    return true;
}

} // namespace

bool LoadLanguage(const std::string& code, const QString& path, Lang& table) {
    if (path.isEmpty())
        return false;
    const XmlDocPtr doc = ParseXmlFile(QFile::encodeName(path).toStdString());
    if (!doc)
        return false;
    const xmlNode* root = xmlDocGetRootElement(doc.get());
    if (root == nullptr)
        return false;
    const xmlNode* interfaceElement = FirstChildElement(root, "Interface");
    if (interfaceElement == nullptr)
        return false;
    const xmlNode* section = FindSection(interfaceElement, code);
    if (section == nullptr)
        return false;
    for (const Key& key : kKeys) {
        QString text;
        if (!ReadKey(section, key.name, text))
            return false;
        table.*key.member = text;
    }
    for (const OptionalKey& key : kOptionalKeys) {
        QString text;
        table.*key.member =
            ReadKey(section, key.name, text) ? text : QString::fromUtf8(key.english);
    }
    return true;
}
