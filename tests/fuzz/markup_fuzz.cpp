// HTML and XML escaping: any value written into a report's markup, as element text or as an attribute value,
// parses back with libxml2 to the same text, the characters a markup file must not carry read as U+FFFD. For
// HTML in each kind of character set the page can declare (UTF-8, the built-in single-byte sets, sets through
// iconv).
//
// Not among the sets: Shift_JIS, whose iconv table (used by libxml2 as by the encoder) maps 0x5C and 0x7E to
// the yen sign and the overline where browsers read a backslash and a tilde; iconv is no reference there.
//
// Input: a mode byte, then the value: as UTF-8 (mode even) or as code points of three bytes each (mode odd,
// reaching surrogates, noncharacters and values beyond U+10FFFF that UTF-8 cannot carry).

#include <libxml/HTMLparser.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <string>

#include "fuzz_support.h"
#include "markup.h"

namespace {

constexpr const wchar_t* kCharsets[] = {L"utf-8", L"iso-8859-1", L"windows-1252", L"us-ascii", L"iso-8859-15",
                                        L"koi8-r", L"euc-jp", L"gb18030"};

// The value as a parser must read it back.
std::wstring Expected(std::wstring_view value) {
    std::wstring expected;
    for (const wchar_t c : value) expected.push_back(markup::IsUnsafeChar(static_cast<char32_t>(c)) ? L'\xFFFD' : c);
    return expected;
}

std::wstring Owned(xmlChar* text) {
    std::wstring wide = text ? tw::Utf8ToWide(reinterpret_cast<const char*>(text)) : std::wstring();
    xmlFree(text);
    return wide;
}

// The first element named name in a depth-first walk.
xmlNode* FindElement(xmlNode* node, const char* name) {
    for (; node != nullptr; node = node->next) {
        if (node->type == XML_ELEMENT_NODE && xmlStrcmp(node->name, BAD_CAST name) == 0) return node;
        if (xmlNode* found = FindElement(node->children, name)) return found;
    }
    return nullptr;
}

void SilentErrors(void*, const char*, ...) {}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    xmlInitParser();
    xmlSetGenericErrorFunc(nullptr, SilentErrors);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input input(data, size);
    const uint8_t mode = input.Byte();
    std::wstring value;
    if (mode & 1) {
        while (!input.AtEnd()) {
            const char32_t c = static_cast<char32_t>(input.Byte()) << 16 | static_cast<char32_t>(input.Byte()) << 8 |
                               input.Byte();
            value.push_back(static_cast<wchar_t>(c % 0x110800));
        }
    } else {
        value = tw::Utf8ToWide(input.Rest());
    }
    const std::wstring expected = Expected(value);
    const std::string where = "value '" + fuzz::Shown(value) + "'";

    // XML: element text and attribute value.
    {
        std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<r a=\"";
        markup::AppendXmlAttributeEscaped(xml, value);
        xml += "\">";
        markup::AppendXmlEscaped(xml, value);
        xml += "</r>\n";
        xmlDoc* doc = xmlReadMemory(xml.data(), static_cast<int>(xml.size()), nullptr, "UTF-8",
                                    XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
        FUZZ_CHECK(doc != nullptr, where + ": the XML does not parse: " + fuzz::Shown(xml));
        xmlNode* root = xmlDocGetRootElement(doc);
        const std::wstring text = Owned(xmlNodeGetContent(root));
        const std::wstring attribute = Owned(xmlGetProp(root, BAD_CAST "a"));
        xmlFreeDoc(doc);
        FUZZ_CHECK(text == expected, where + ": XML text reads back as '" + fuzz::Shown(text) + "'");
        FUZZ_CHECK(attribute == expected, where + ": XML attribute reads back as '" + fuzz::Shown(attribute) + "'");
    }

    // HTML in the character set the mode byte picks.
    {
        const wchar_t* charset = kCharsets[(mode >> 1) % std::size(kCharsets)];
        markup::HtmlEncoder encoder;
        if (!encoder.SetCharset(charset)) return 0;  // a set this system's iconv lacks
        const std::string name = tw::WideToUtf8(encoder.Charset());
        std::string html = "<!DOCTYPE html>\n<html><head><meta charset=\"" + name + "\"><title>t</title></head>"
                           "<body><p title=\"";
        encoder.Append(html, value, true);
        html += "\">";
        encoder.Append(html, value, true);
        html += "</p></body></html>\n";
        htmlDocPtr doc = htmlReadMemory(html.data(), static_cast<int>(html.size()), nullptr, name.c_str(),
                                        HTML_PARSE_NONET | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING |
                                            HTML_PARSE_NOBLANKS);
        FUZZ_CHECK(doc != nullptr, where + ": the HTML does not parse");
        xmlNode* paragraph = FindElement(xmlDocGetRootElement(doc), "p");
        FUZZ_CHECK(paragraph != nullptr, where + ": no <p> in " + fuzz::Shown(html));
        const std::wstring text = Owned(xmlNodeGetContent(paragraph));
        const std::wstring attribute = Owned(xmlGetProp(paragraph, BAD_CAST "title"));
        xmlFreeDoc(doc);
        FUZZ_CHECK(text == expected,
                   where + " in " + name + ": HTML text reads back as '" + fuzz::Shown(text) + "' from " + fuzz::Shown(html));
        FUZZ_CHECK(attribute == expected,
                   where + " in " + name + ": HTML attribute reads back as '" + fuzz::Shown(attribute) + "'");
    }
    return 0;
}
